// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/gui/HelpViewer.h"

#include "app/AppContext.h"
#include "base/Messages.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QHelpSearchEngine>
#include <QHelpSearchQueryWidget>
#include <QHelpSearchResultWidget>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QStandardPaths>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const QString HelpNamespace = QStringLiteral("com.norvale.nx4400c.editor");
const QString CollectionName = QStringLiteral("nx4400c.qhc");
const QString HelpFileName = QStringLiteral("nx4400c.qch");

// The search index is written beside the collection, and the installed
// collection may sit in a folder the user cannot write. The window works on
// a copy in the user's cache folder, renewed whenever the installed one
// changes.
QString writableCopy(const QString &collection)
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (cache.isEmpty())
        return collection;
    const QString folder = cache + QStringLiteral("/help");
    if (!QDir().mkpath(folder))
        return collection;
    const QDir source = QFileInfo(collection).absoluteDir();
    bool changed = false;
    for (const QString &name : {HelpFileName, CollectionName}) {
        QFile from(source.filePath(name));
        QFile to(folder + QLatin1Char('/') + name);
        if (!from.open(QIODevice::ReadOnly))
            return collection;
        const QByteArray data = from.readAll();
        if (to.open(QIODevice::ReadOnly) && to.readAll() == data && !changed)
            continue;
        to.close();
        changed = true;
        QFile::remove(to.fileName());
        if (!to.open(QIODevice::WriteOnly) || to.write(data) != data.size())
            return collection;
    }
    if (changed)   // an old search index would describe the old pages
        QDir(folder + QStringLiteral("/.nx4400c")).removeRecursively();
    return folder + QLatin1Char('/') + CollectionName;
}

} // namespace

// ---- Page area -----------------------------------------------------------------

HelpBrowser::HelpBrowser(QHelpEngine *engine, QWidget *parent)
    : QTextBrowser(parent), m_engine(engine)
{
    setObjectName(QStringLiteral("txtHelpPage"));
    setAccessibleName(QStringLiteral("Help page"));
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &HelpBrowser::follow);
}

QVariant HelpBrowser::loadResource(int type, const QUrl &name)
{
    if (name.scheme() == QLatin1String("qthelp"))
        return m_engine->fileData(name);
    return QTextBrowser::loadResource(type, name);
}

void HelpBrowser::follow(const QUrl &link)
{
    const QUrl target = source().resolved(link);
    if (target.scheme() == QLatin1String("qthelp"))
        setSource(target);
    else
        WebLinks::OpenWebPage(target.toString());
}

// ---- Window ---------------------------------------------------------------------

HelpViewer::HelpViewer(const QString &collection, QWidget *parent)
    : QMainWindow(parent, Qt::Window)
{
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("NX-4400C Help"));
    setAccessibleName(QStringLiteral("NX-4400C Help"));

    m_engine = new QHelpEngine(writableCopy(collection), this);
    m_engine->setUsesFilterEngine(true);
    m_ready = QFileInfo::exists(collection) && m_engine->setupData()
              && m_engine->registeredDocumentations().contains(HelpNamespace);
    buildWindow();
    if (m_ready) {
        // The full-text index is built in the background the first time.
        m_engine->searchEngine()->scheduleIndexDocumentation();
    }
}

HelpViewer::~HelpViewer() = default;

void HelpViewer::buildWindow()
{
    resize(860, 600);

    m_browser = new HelpBrowser(m_engine, this);
    AddHelpNavigation(this, m_browser, [this] { showPage(homePage()); });

    m_tabs = new QTabWidget;
    m_tabs->setObjectName(QStringLiteral("tabsHelp"));
    m_tabs->setAccessibleName(QStringLiteral("Contents, index and search"));

    QHelpContentWidget *contents = m_engine->contentWidget();
    contents->setObjectName(QStringLiteral("treeContents"));
    // "Contents" is already the toolbar's button and the tab.
    contents->setAccessibleName(QStringLiteral("Table of contents"));
    connect(contents, &QHelpContentWidget::linkActivated, this, &HelpViewer::showPage);
    connect(m_engine->contentModel(), &QHelpContentModel::contentsCreated, contents,
            [contents] { contents->expandToDepth(0); });
    m_tabs->addTab(contents, QStringLiteral("&Contents"));

    QHelpIndexWidget *index = m_engine->indexWidget();
    QWidget *indexPage = MakeHelpIndexPage(&m_indexFind, index);
    connect(m_indexFind, &QLineEdit::textChanged, index, [index](const QString &text) {
        index->filterIndices(text);
    });
    connect(m_indexFind, &QLineEdit::returnPressed, index, &QHelpIndexWidget::activateCurrentItem);
    connect(index, &QHelpIndexWidget::documentActivated, this,
            [this](const QHelpLink &document, const QString &) { showPage(document.url); });
    connect(index, &QHelpIndexWidget::documentsActivated, this,
            [this](const QList<QHelpLink> &documents, const QString &) {
                if (!documents.isEmpty())
                    showPage(documents.first().url);
            });
    m_tabs->addTab(indexPage, QStringLiteral("&Index"));

    auto *searchPage = new QWidget;
    auto *searchLayout = new QVBoxLayout(searchPage);
    QHelpSearchEngine *search = m_engine->searchEngine();
    QHelpSearchQueryWidget *query = search->queryWidget();
    query->setObjectName(QStringLiteral("qrySearch"));
    query->setAccessibleName(QStringLiteral("Search for"));
    QHelpSearchResultWidget *results = search->resultWidget();
    results->setObjectName(QStringLiteral("lstSearchResults"));
    results->setAccessibleName(QStringLiteral("Search results"));
    // The help module's own controls come unnamed: its line edit, its
    // history arrows (named by their tool tips), and the four paging arrows
    // of the results, which have neither text nor tool tip and are made
    // first, previous, next, last.
    if (auto *edit = query->findChild<QLineEdit *>())
        edit->setAccessibleName(QStringLiteral("Search for"));
    for (QToolButton *b : query->findChildren<QToolButton *>()) {
        if (b->accessibleName().isEmpty())
            b->setAccessibleName(b->toolTip().isEmpty() ? b->objectName() : b->toolTip());
    }
    const QList<QToolButton *> paging = results->findChildren<QToolButton *>();
    const char *const pagingNames[] = {"First results page", "Previous results page", "Next results page",
                                       "Last results page"};
    for (int i = 0; i < paging.size() && i < 4; ++i) {
        if (paging.at(i)->accessibleName().isEmpty())
            paging.at(i)->setAccessibleName(QString::fromLatin1(pagingNames[i]));
    }
    if (auto *list = results->findChild<QTextBrowser *>())
        list->setAccessibleName(QStringLiteral("Search results"));
    searchLayout->addWidget(query);
    searchLayout->addWidget(results, 1);
    connect(query, &QHelpSearchQueryWidget::search, this, &HelpViewer::runSearch);
    connect(results, &QHelpSearchResultWidget::requestShowLink, this, &HelpViewer::showPage);
    connect(search, &QHelpSearchEngine::indexingStarted, query, [query] { query->setEnabled(false); });
    connect(search, &QHelpSearchEngine::indexingFinished, query, [query] { query->setEnabled(true); });
    m_tabs->addTab(searchPage, QStringLiteral("&Search"));
    FinishHelpWindow(this, m_tabs, m_browser);
}

QUrl HelpViewer::homePage() const
{
    return QUrl(QStringLiteral("qthelp://%1/manual/index.html").arg(HelpNamespace));
}

void HelpViewer::showPage(const QUrl &url)
{
    if (url.isValid())
        m_browser->setSource(url);
}

void HelpViewer::runSearch()
{
    m_engine->searchEngine()->search(m_engine->searchEngine()->queryWidget()->searchInput());
}

void HelpViewer::showContents()
{
    // "Help Contents" always starts from the first page, as a help file's
    // contents do.
    m_tabs->setCurrentIndex(0);
    if (m_browser->source() != homePage())
        showPage(homePage());
    m_engine->contentWidget()->setFocus();
}

void HelpViewer::showIndex()
{
    m_tabs->setCurrentIndex(1);
    if (m_browser->source().isEmpty())
        showPage(homePage());
    m_indexFind->clear();
    m_indexFind->setFocus();
}

void HelpViewer::showSearch()
{
    m_tabs->setCurrentIndex(2);
    m_engine->searchEngine()->queryWidget()->setFocus();
}
