// SPDX-License-Identifier: GPL-3.0-or-later
// What the help window does the same with Qt Help or without it: finding
// the manual, opening the window, reading the manual's project file, and the
// links to the maker's web site.
#include "app/gui/HelpViewer.h"

#include "app/AppContext.h"
#include "base/Messages.h"

#include <QCoreApplication>
#include <QAction>
#include <QDesktopServices>
#include <QStyle>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

#ifndef NX_WITHOUT_HELP
const QString CollectionName = QStringLiteral("nx4400c.qhc");
#else
const QString CollectionName = QStringLiteral("manual/nx4400c.qhp");
#endif

QString &collectionOverride()
{
    static QString path;
    return path;
}

// The words of a page, tags and entities left out, case folded.
QString pageText(const QByteArray &html)
{
    QString text = QString::fromUtf8(html);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    text.replace(tags, QStringLiteral(" "));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    text.replace(QLatin1String("&nbsp;"), QLatin1String(" "));
    return text.toCaseFolded();
}

} // namespace

QString HelpViewer::collectionFile()
{
    if (!collectionOverride().isEmpty())
        return collectionOverride();
    const QString here = QCoreApplication::applicationDirPath();
    for (const QString &folder : {here + QStringLiteral("/help"), here + QStringLiteral("/../bin/help"),
                                  here + QStringLiteral("/../share/nx4400c/help")}) {
        const QString candidate = folder + QLatin1Char('/') + CollectionName;
        if (QFileInfo::exists(candidate))
            return QFileInfo(candidate).canonicalFilePath();
    }
    return {};
}

void HelpViewer::setCollectionFile(const QString &path)
{
    collectionOverride() = path;
}

bool HelpManual::load(const QString &folderPath)
{
    folder = folderPath;
    contents.clear();
    keywords.clear();
    QFile project(QDir(folderPath).filePath(QStringLiteral("nx4400c.qhp")));
    if (!project.open(QIODevice::ReadOnly))
        return false;
    QXmlStreamReader xml(&project);
    int depth = -1;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("section")) {
            ++depth;
            contents.append({xml.attributes().value(QLatin1String("title")).toString(),
                             xml.attributes().value(QLatin1String("ref")).toString(), depth});
        } else if (xml.isEndElement() && xml.name() == QLatin1String("section")) {
            --depth;
        } else if (xml.isStartElement() && xml.name() == QLatin1String("keyword")) {
            keywords.append({xml.attributes().value(QLatin1String("name")).toString(),
                             xml.attributes().value(QLatin1String("ref")).toString(), 0});
        }
    }
    if (xml.hasError() || contents.isEmpty())
        return false;
    std::stable_sort(keywords.begin(), keywords.end(), [](const Entry &a, const Entry &b) {
        return a.title.compare(b.title, Qt::CaseInsensitive) < 0;
    });
    return true;
}

QList<HelpManual::Entry> HelpManual::search(const QString &query) const
{
    const QStringList words = query.toCaseFolded().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QList<Entry> found;
    if (words.isEmpty())
        return found;
    QStringList seen;
    for (const Entry &e : contents) {
        const QString file = e.page.section(QLatin1Char('#'), 0, 0);
        if (seen.contains(file))
            continue;
        seen << file;
        QFile page(QDir(folder).filePath(file));
        if (!page.open(QIODevice::ReadOnly))
            continue;
        const QString text = pageText(page.readAll());
        if (std::all_of(words.begin(), words.end(), [&](const QString &w) { return text.contains(w); }))
            found.append({e.title, file, 0});
    }
    return found;
}

HelpViewer *HelpViewer::open(AppContext &ctx, QWidget *parent, Start start)
{
    HelpViewer *viewer = parent ? parent->findChild<HelpViewer *>(QStringLiteral("HelpViewer"),
                                                                  Qt::FindDirectChildrenOnly)
                                : nullptr;
    if (!viewer) {
        const QString collection = collectionFile();
        if (collection.isEmpty()) {
            ctx.prompter().ask(Messages::Title,
                               QStringLiteral("The help file could not be found. "
                                              "Reinstall the NX-4400C editor to restore it."),
                               Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
            return nullptr;
        }
        viewer = new HelpViewer(collection, parent);
        if (!viewer->isReady()) {
            delete viewer;
            ctx.prompter().ask(Messages::Title,
                               QStringLiteral("The help file could not be opened:\r\n") + collection,
                               Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
            return nullptr;
        }
    }
    if (start == Start::Index)
        viewer->showIndex();
    else
        viewer->showContents();
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
    return viewer;
}

void AddHelpNavigation(QMainWindow *window, QTextBrowser *browser, const std::function<void()> &goHome)
{
    QToolBar *bar = window->addToolBar(QStringLiteral("Navigation"));
    bar->setObjectName(QStringLiteral("tlbHelp"));
    bar->setMovable(false);
    QAction *back = bar->addAction(window->style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("&Back"));
    back->setObjectName(QStringLiteral("actBack"));
    back->setShortcut(QKeySequence::Back);
    QAction *forward = bar->addAction(window->style()->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("&Forward"));
    forward->setObjectName(QStringLiteral("actForward"));
    forward->setShortcut(QKeySequence::Forward);
    QAction *home = bar->addAction(window->style()->standardIcon(QStyle::SP_DirHomeIcon), QStringLiteral("&Contents"));
    home->setObjectName(QStringLiteral("actHome"));
    back->setEnabled(false);
    forward->setEnabled(false);
    QObject::connect(back, &QAction::triggered, browser, &QTextBrowser::backward);
    QObject::connect(forward, &QAction::triggered, browser, &QTextBrowser::forward);
    QObject::connect(home, &QAction::triggered, window, goHome);
    QObject::connect(browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    QObject::connect(browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
}

QWidget *MakeHelpIndexPage(QLineEdit **find, QWidget *list)
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    auto *lookFor = new QLabel(QStringLiteral("&Type the first letters of the word you are looking for:"));
    lookFor->setWordWrap(true);
    *find = new QLineEdit;
    (*find)->setObjectName(QStringLiteral("txtIndexFind"));
    (*find)->setAccessibleName(QStringLiteral("Look for"));
    (*find)->setClearButtonEnabled(true);
    lookFor->setBuddy(*find);
    list->setObjectName(QStringLiteral("lstIndex"));
    list->setAccessibleName(QStringLiteral("Keyword index"));
    layout->addWidget(lookFor);
    layout->addWidget(*find);
    layout->addWidget(list);
    return page;
}

void FinishHelpWindow(QMainWindow *window, QTabWidget *tabs, QTextBrowser *browser)
{
    // A tab bar is heard by its current tab, whose caption is also the name
    // of a button ("Contents", "Search"): the tabs say they are pages.
    for (int i = 0; i < tabs->count(); ++i)
        tabs->tabBar()->setAccessibleTabName(i, tabs->tabText(i).remove(QLatin1Char('&')) + QStringLiteral(" page"));
    auto *split = new QSplitter;
    split->setObjectName(QStringLiteral("splHelp"));
    split->addWidget(tabs);
    split->addWidget(browser);
    split->setStretchFactor(1, 1);
    split->setSizes({300, 560});
    window->setCentralWidget(split);
}

// ---- Web links --------------------------------------------------------------------

namespace WebLinks {

namespace {
UrlOpener &opener()
{
    static UrlOpener o;
    return o;
}
} // namespace

QString VendorWebAddress()
{
    return QStringLiteral(NX_VENDOR_WEB_ADDRESS);
}

void setUrlOpener(UrlOpener o)
{
    opener() = std::move(o);
}

bool OpenWebPage(const QString &url)
{
    const QUrl u(url, QUrl::StrictMode);
    if (!u.isValid() || u.scheme().isEmpty())
        return false;
    if (opener())
        return opener()(u);
    return QDesktopServices::openUrl(u);
}

} // namespace WebLinks
