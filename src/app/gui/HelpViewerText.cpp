// SPDX-License-Identifier: GPL-3.0-or-later
// The help window of a build without Qt Help: the same pages, read from the
// manual's folder, with the contents and the keyword index of its project
// file and a plain search through the pages' words.
#include "app/gui/HelpViewer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

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
    return QTextBrowser::loadResource(type, name);
}

void HelpBrowser::follow(const QUrl &link)
{
    const QUrl target = source().resolved(link);
    if (target.isLocalFile())
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
    m_ready = m_manual.load(QFileInfo(collection).absolutePath());
    buildWindow();
}

HelpViewer::~HelpViewer() = default;

namespace {

QListWidgetItem *pageItem(const HelpManual::Entry &e)
{
    auto *item = new QListWidgetItem(e.title);
    item->setData(Qt::UserRole, e.page);
    return item;
}

} // namespace

void HelpViewer::buildWindow()
{
    resize(860, 600);
    m_browser = new HelpBrowser(nullptr, this);
    AddHelpNavigation(this, m_browser, [this] { showPage(homePage()); });
    auto pageOf = [this](const QString &page) {
        return QUrl::fromLocalFile(QDir(m_manual.folder).filePath(page.section(QLatin1Char('#'), 0, 0)))
            .resolved(QUrl(page.contains(QLatin1Char('#')) ? QLatin1Char('#') + page.section(QLatin1Char('#'), 1)
                                                            : QString()));
    };

    m_tabs = new QTabWidget;
    m_tabs->setObjectName(QStringLiteral("tabsHelp"));
    m_tabs->setAccessibleName(QStringLiteral("Contents, index and search"));

    m_contents = new QTreeWidget;
    m_contents->setObjectName(QStringLiteral("treeContents"));
    m_contents->setAccessibleName(QStringLiteral("Table of contents"));
    m_contents->setHeaderHidden(true);
    QList<QTreeWidgetItem *> parents;
    for (const HelpManual::Entry &e : std::as_const(m_manual.contents)) {
        parents.resize(e.depth);
        auto *item = parents.isEmpty() ? new QTreeWidgetItem(m_contents) : new QTreeWidgetItem(parents.last());
        item->setText(0, e.title);
        item->setData(0, Qt::UserRole, e.page);
        parents.append(item);
    }
    m_contents->expandToDepth(0);
    connect(m_contents, &QTreeWidget::itemActivated, this,
            [this, pageOf](QTreeWidgetItem *item) { showPage(pageOf(item->data(0, Qt::UserRole).toString())); });
    connect(m_contents, &QTreeWidget::itemClicked, this,
            [this, pageOf](QTreeWidgetItem *item) { showPage(pageOf(item->data(0, Qt::UserRole).toString())); });
    m_tabs->addTab(m_contents, QStringLiteral("&Contents"));

    m_index = new QListWidget;
    QWidget *indexPage = MakeHelpIndexPage(&m_indexFind, m_index);
    fillIndex(QString());
    connect(m_indexFind, &QLineEdit::textChanged, this, &HelpViewer::fillIndex);
    auto openItem = [this, pageOf](QListWidgetItem *item) {
        if (item && !item->data(Qt::UserRole).toString().isEmpty())
            showPage(pageOf(item->data(Qt::UserRole).toString()));
    };
    connect(m_indexFind, &QLineEdit::returnPressed, this, [this, openItem] {
        openItem(m_index->currentItem() ? m_index->currentItem() : m_index->item(0));
    });
    connect(m_index, &QListWidget::itemActivated, this, openItem);
    m_tabs->addTab(indexPage, QStringLiteral("&Index"));

    auto *searchPage = new QWidget;
    auto *searchLayout = new QVBoxLayout(searchPage);
    auto *searchLabel = new QLabel(QStringLiteral("Search &for:"));
    m_searchFor = new QLineEdit;
    m_searchFor->setObjectName(QStringLiteral("qrySearch"));
    m_searchFor->setAccessibleName(QStringLiteral("Search for"));
    searchLabel->setBuddy(m_searchFor);
    m_results = new QListWidget;
    m_results->setObjectName(QStringLiteral("lstSearchResults"));
    m_results->setAccessibleName(QStringLiteral("Search results"));
    searchLayout->addWidget(searchLabel);
    searchLayout->addWidget(m_searchFor);
    searchLayout->addWidget(m_results, 1);
    connect(m_searchFor, &QLineEdit::returnPressed, this, &HelpViewer::runSearch);
    connect(m_results, &QListWidget::itemActivated, this, openItem);
    m_tabs->addTab(searchPage, QStringLiteral("&Search"));
    FinishHelpWindow(this, m_tabs, m_browser);
}

void HelpViewer::fillIndex(const QString &prefix)
{
    m_index->clear();
    for (const HelpManual::Entry &e : std::as_const(m_manual.keywords))
        if (e.title.startsWith(prefix, Qt::CaseInsensitive))
            m_index->addItem(pageItem(e));
    if (m_index->count() > 0)
        m_index->setCurrentRow(0);
}

QUrl HelpViewer::homePage() const
{
    return QUrl::fromLocalFile(QDir(m_manual.folder).filePath(QStringLiteral("index.html")));
}

void HelpViewer::showPage(const QUrl &url)
{
    if (url.isValid())
        m_browser->setSource(url);
}

void HelpViewer::runSearch()
{
    m_results->clear();
    const QList<HelpManual::Entry> found = m_manual.search(m_searchFor->text());
    for (const HelpManual::Entry &e : found)
        m_results->addItem(pageItem(e));
    if (found.isEmpty())
        m_results->addItem(QStringLiteral("No page holds these words."));
}

void HelpViewer::showContents()
{
    m_tabs->setCurrentIndex(0);
    if (m_browser->source() != homePage())
        showPage(homePage());
    m_contents->setFocus();
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
    m_searchFor->setFocus();
}
