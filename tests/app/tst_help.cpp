// SPDX-License-Identifier: GPL-3.0-or-later
// The manual: the help collection built from help/, the help window's
// contents, index and search, and the links to the maker's web pages.
#include "app/gui/HelpCommands.h"
#include "app/gui/HelpViewer.h"
#include "app/gui/NX4400C.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QHelpContentItem>
#include <QHelpSearchEngine>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTabWidget>
#include <QtTest>

namespace {

// Waits until the help window's contents and index are filled (the help
// engine builds them in the background).
bool waitForModels(HelpViewer &v)
{
    return QTest::qWaitFor([&v] {
        return v.engine()->contentModel()->rowCount() > 0 && v.engine()->indexModel()->rowCount() > 0
               && !v.engine()->contentModel()->isCreatingContents() && !v.engine()->indexModel()->isCreatingIndex();
    }, 15000);
}

QList<QUrl> contentUrls(QHelpContentItem *item)
{
    QList<QUrl> urls;
    if (!item)
        return urls;
    if (item->url().isValid())
        urls << item->url();
    for (int i = 0; i < item->childCount(); ++i)
        urls << contentUrls(item->child(i));
    return urls;
}

} // namespace

class tst_Help : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY2(!HelpViewer::collectionFile().isEmpty(), "the help collection was not built");
    }

    void cleanup()
    {
        HelpViewer::setCollectionFile(QString());
        WebLinks::setUrlOpener({});
    }

    // Every page of the contents is in the help file, and every link between
    // pages leads to a page that is there too.
    void contentsComplete()
    {
        HelpViewer v(HelpViewer::collectionFile());
        QVERIFY(v.isReady());
        QVERIFY(waitForModels(v));
        QHelpContentModel *model = v.engine()->contentModel();
        QCOMPARE(model->rowCount(), 1);
        QHelpContentItem *root = model->contentItemAt(model->index(0, 0));
        QCOMPARE(root->title(), QStringLiteral("NX-4400C Editor"));
        QStringList titles;
        for (int i = 0; i < root->childCount(); ++i)
            titles << root->child(i)->title();
        for (const char *t : {"Getting started", "Transferring data", "The data dump", "Troubleshooting",
                              "Test packets", "Alert options"})
            QVERIFY2(titles.contains(QString::fromLatin1(t)), t);

        const QRegularExpression href(QStringLiteral("href=\"([^\"#:]+\\.html)"));
        for (const QUrl &url : contentUrls(root)) {
            const QByteArray page = v.engine()->fileData(url);
            QVERIFY2(page.contains("<h1>"), qPrintable(url.toString()));
            auto links = href.globalMatch(QString::fromUtf8(page));
            while (links.hasNext()) {
                const QUrl target = url.resolved(QUrl(links.next().captured(1)));
                QVERIFY2(!v.engine()->fileData(target).isEmpty(),
                         qPrintable(url.toString() + " -> " + target.toString()));
            }
        }
    }

    void keywordIndex_data()
    {
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QString>("page");
        QTest::newRow("permissions") << "dialout group" << "troubleshooting.html";
        QTest::newRow("dump file") << "NX_DUMP.TXT" << "data-dump.html";
        QTest::newRow("virtual receiver") << "Virtual receiver" << "getting-started.html";
        QTest::newRow("status texts") << "Status texts" << "transfer.html";
    }
    void keywordIndex()
    {
        QFETCH(QString, keyword);
        QFETCH(QString, page);
        HelpViewer v(HelpViewer::collectionFile());
        QVERIFY(waitForModels(v));
        QVERIFY(v.engine()->indexModel()->stringList().contains(keyword));
        const QList<QHelpLink> docs = v.engine()->documentsForKeyword(keyword);
        QCOMPARE(docs.size(), 1);
        QVERIFY(docs.first().url.path().endsWith(page));
    }

    void fullTextSearch()
    {
        HelpViewer v(HelpViewer::collectionFile());
        QHelpSearchEngine *search = v.engine()->searchEngine();
        QSignalSpy indexed(search, &QHelpSearchEngine::indexingFinished);
        QVERIFY(indexed.wait(20000) || indexed.count() > 0);
        QSignalSpy done(search, &QHelpSearchEngine::searchingFinished);
        search->search(QStringLiteral("usermod"));
        QVERIFY(done.wait(10000));
        QVERIFY(search->searchResultCount() > 0);
        QVERIFY(search->searchResults(0, 1).first().url().path().endsWith(QStringLiteral("troubleshooting.html")));
    }

    // "Help Contents" opens the window at the contents and the first page;
    // "Search For Help On..." at the keyword index, ready for typing. Both
    // use the one help window.
    void menuCommands()
    {
        TestEnv env;
        QWidget main;
        HelpCommands::helpContents(*env.ctx, &main);
        auto *v = main.findChild<HelpViewer *>(QStringLiteral("HelpViewer"));
        QVERIFY(v);
        QVERIFY(v->isVisible());
        QCOMPARE(v->tabs()->currentIndex(), 0);
        QCOMPARE(v->browser()->source(), v->homePage());
        QVERIFY(v->browser()->toPlainText().contains(QStringLiteral("NX-4400C Editor")));

        HelpCommands::helpSearch(*env.ctx, &main);
        QCOMPARE(main.findChildren<HelpViewer *>().size(), 1);
        QCOMPARE(v->tabs()->currentIndex(), 1);
        QVERIFY(QTest::qWaitForWindowActive(v) || true);
        QCOMPARE(v->focusWidget(), v->findChild<QLineEdit *>(QStringLiteral("txtIndexFind")));

        // Typing picks the keyword; Enter opens its page.
        QVERIFY(waitForModels(*v));
        QTest::keyClicks(v->findChild<QLineEdit *>(QStringLiteral("txtIndexFind")), QStringLiteral("dialout"));
        QTest::keyClick(v->findChild<QLineEdit *>(QStringLiteral("txtIndexFind")), Qt::Key_Return);
        QTRY_VERIFY(v->browser()->source().path().endsWith(QStringLiteral("troubleshooting.html")));
        QVERIFY(env.prompter.boxes.isEmpty());
        HelpCommands::helpContents(*env.ctx, &main);
        QCOMPARE(v->tabs()->currentIndex(), 0);
        QCOMPARE(v->browser()->source(), v->homePage());

        const QString dir = qEnvironmentVariable("NX_GRAB_DIR");
        if (!dir.isEmpty()) {
            v->resize(900, 620);
            QVERIFY(QTest::qWaitForWindowExposed(v));
            QVERIFY(v->grab().save(dir + QStringLiteral("/help-index.png")));
            HelpCommands::helpContents(*env.ctx, &main);
            QCOMPARE(v->browser()->source(), v->homePage());
            v->engine()->contentWidget()->expandAll();
            QTest::qWait(100);
            QVERIFY(v->grab().save(dir + QStringLiteral("/help-contents.png")));
            v->showSearch();
            QSignalSpy done(v->engine()->searchEngine(), &QHelpSearchEngine::searchingFinished);
            v->engine()->searchEngine()->search(QStringLiteral("receiver"));
            done.wait(10000);
            QTest::qWait(100);
            QVERIFY(v->grab().save(dir + QStringLiteral("/help-search.png")));
        }
    }

    // The main window's menu items and toolbar button reach the help window.
    void mainWindowWiring()
    {
        TestEnv env;
        NX4400C w(*env.ctx);
        w.findChild<QAction *>(QStringLiteral("mnuSearchHelp"))->trigger();
        auto *v = w.findChild<HelpViewer *>(QStringLiteral("HelpViewer"));
        QVERIFY(v);
        QCOMPARE(v->tabs()->currentIndex(), 1);
        w.findChild<QAction *>(QStringLiteral("mnuHelpContents"))->trigger();
        QCOMPARE(v->tabs()->currentIndex(), 0);
        v->showSearch();
        w.runToolbarCommand(QStringLiteral("Help"));
        QCOMPARE(v->tabs()->currentIndex(), 0);
        QCOMPARE(w.findChildren<HelpViewer *>().size(), 1);
        QVERIFY(env.prompter.boxes.isEmpty());
    }

    void missingCollection()
    {
        TestEnv env;
        HelpViewer::setCollectionFile(env.path("nowhere/nx4400c.qhc"));
        QWidget main;
        HelpCommands::helpContents(*env.ctx, &main);
        QVERIFY(!main.findChild<HelpViewer *>());
        QCOMPARE(env.prompter.boxes.size(), 1);
        QCOMPARE(env.prompter.boxes.first().icon, Prompter::Icon::Exclamation);
    }

    // The three pages of the maker's site, from the main window's menu; a
    // browser that does not start gives message 50.
    void webPages_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("browserStarts");
        QTest::newRow("home") << "mnuHomePage" << "/index.html" << true;
        QTest::newRow("database") << "mnuUpdate" << "/weather1.html" << true;
        QTest::newRow("manuals") << "mnuManuals" << "/manuals.html" << true;
        QTest::newRow("no browser") << "mnuHomePage" << "/index.html" << false;
    }
    void webPages()
    {
        QFETCH(QString, item);
        QFETCH(QString, page);
        QFETCH(bool, browserStarts);
        TestEnv env;
        NX4400C w(*env.ctx);
        QList<QUrl> opened;
        WebLinks::setUrlOpener([&](const QUrl &u) {
            opened << u;
            return browserStarts;
        });
        w.findChild<QAction *>(item)->trigger();
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().toString(), QStringLiteral(NX_VENDOR_WEB_ADDRESS) + page);
        if (browserStarts) {
            QVERIFY(env.prompter.boxes.isEmpty());
        } else {
            QCOMPARE(env.prompter.texts(), QStringList{"Error #500:  Could not load your Web Browser. "});
            QCOMPARE(env.prompter.boxes.first().title, QStringLiteral("NX-4400C Digital Weather Receiver"));
        }
        // Nothing is written to find the browser.
        QVERIFY(!QFile::exists(QDir::temp().filePath(QStringLiteral("dummy.html"))));
    }

    void badAddressIsNotOpened()
    {
        int calls = 0;
        WebLinks::setUrlOpener([&](const QUrl &) {
            ++calls;
            return true;
        });
        QVERIFY(!WebLinks::OpenWebPage(QStringLiteral("not an address")));
        QVERIFY(!WebLinks::OpenWebPage(QString()));
        QCOMPARE(calls, 0);
    }
};

QTEST_MAIN(tst_Help)
#include "tst_help.moc"
