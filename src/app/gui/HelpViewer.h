// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMainWindow>
#include <QTextBrowser>
#include <QUrl>

#include <functional>

class AppContext;
class QHelpEngine;
class QLineEdit;
class QListWidget;
class QTabWidget;
class QTreeWidget;

// The page area of the help window: pages come out of the help collection
// (qthelp: addresses), or, in a build without Qt Help, straight from the
// manual's folder; links to the web go to the user's browser.
class HelpBrowser : public QTextBrowser
{
    Q_OBJECT

public:
    HelpBrowser(QHelpEngine *engine, QWidget *parent = nullptr);
    QVariant loadResource(int type, const QUrl &name) override;

private:
    void follow(const QUrl &link);
    QHelpEngine *m_engine;
};

// The manual as a build without Qt Help reads it: the pages and their
// project file (nx4400c.qhp) in one folder.
struct HelpManual
{
    struct Entry {
        QString title;
        QString page;       // file name with its #anchor, relative to the folder
        int depth = 0;      // in the contents
    };
    QString folder;
    QList<Entry> contents;
    QList<Entry> keywords;  // sorted by title, case folded

    // Reads the project file of the manual in `folder`; false when there is
    // none or it cannot be read.
    bool load(const QString &folder);
    // The pages whose text holds every word of `query` (case folded), in
    // the order of the contents.
    QList<Entry> search(const QString &query) const;
};

// The help window: contents, keyword index and full-text search on the left,
// the page on the right. One per main window, found again by its objectName
// "HelpViewer"; it stays open beside the main window like any help window.
class HelpViewer : public QMainWindow
{
    Q_OBJECT

public:
    enum class Start { Contents, Index };

    // Shows the help window of `parent` (made on first use) at its contents
    // or at its keyword index. When the help collection cannot be found or
    // opened the user is told so and nothing is shown; returns nullptr then.
    static HelpViewer *open(AppContext &ctx, QWidget *parent, Start start);

    // The help collection the program uses: beside the program in help/, or
    // in the installed data folder; empty when there is none. A test may
    // point it elsewhere. In a build without Qt Help it is the manual's
    // project file (help/manual/nx4400c.qhp), read by HelpManual.
    static QString collectionFile();
    static void setCollectionFile(const QString &path);

    HelpViewer(const QString &collection, QWidget *parent = nullptr);
    ~HelpViewer() override;

    bool isReady() const { return m_ready; }
#ifndef NX_WITHOUT_HELP
    QHelpEngine *engine() const { return m_engine; }
#else
    const HelpManual &manual() const { return m_manual; }
#endif
    HelpBrowser *browser() const { return m_browser; }
    QTabWidget *tabs() const { return m_tabs; }

    void showContents();
    void showIndex();
    void showSearch();
    void showPage(const QUrl &url);
    QUrl homePage() const;

private:
    void buildWindow();
    void runSearch();

    QHelpEngine *m_engine = nullptr;
    HelpBrowser *m_browser = nullptr;
    QTabWidget *m_tabs = nullptr;
    QLineEdit *m_indexFind = nullptr;
    bool m_ready = false;
#ifdef NX_WITHOUT_HELP
    void fillIndex(const QString &prefix);
    HelpManual m_manual;
    QTreeWidget *m_contents = nullptr;
    QListWidget *m_index = nullptr;
    QLineEdit *m_searchFor = nullptr;
    QListWidget *m_results = nullptr;
#endif
};

// The parts both help windows share: the toolbar (Back, Forward, Contents,
// which calls `home`), the keyword index page (a "Look for" line over
// `list`), and the split of the tabs beside the page.
void AddHelpNavigation(QMainWindow *window, QTextBrowser *browser, const std::function<void()> &home);
QWidget *MakeHelpIndexPage(QLineEdit **find, QWidget *list);
void FinishHelpWindow(QMainWindow *window, QTabWidget *tabs, QTextBrowser *browser);

// Links to the maker's web site, opened by the desktop's URL opener.
namespace WebLinks {
using UrlOpener = std::function<bool(const QUrl &)>;

// The base address of the maker's site (set when the program is built).
QString VendorWebAddress();
// Replaces the desktop opener, for tests; an empty function restores it.
void setUrlOpener(UrlOpener opener);
// Opens `url` in the user's web browser; false when none could be started.
bool OpenWebPage(const QString &url);
} // namespace WebLinks
