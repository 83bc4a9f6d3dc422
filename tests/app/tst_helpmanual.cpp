// SPDX-License-Identifier: GPL-3.0-or-later
// The manual as a build without Qt Help reads it: contents and keywords from
// the project file, every page they name present, and the plain search.
#include "app/gui/HelpViewer.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestHelpManual : public QObject
{
    Q_OBJECT

private slots:
    void contentsAndKeywordsLeadToPages();
    void search_data();
    void search();
    void missingManual();

private:
    // The pages as the build lays them out: the hand-written ones beside the
    // command reference page that nx4400c-cli writes.
    QString folder() const
    {
        for (const QString &f : {buildBinDir() + QStringLiteral("/help/manual"), buildBinDir() + QStringLiteral("/../help/manual")})
            if (QFileInfo::exists(f + QStringLiteral("/command-line.html")))
                return f;
        return sourceDir() + QStringLiteral("/help/manual");
    }
};

void TestHelpManual::contentsAndKeywordsLeadToPages()
{
    HelpManual m;
    QVERIFY(m.load(folder()));
    QVERIFY(m.contents.size() > 10);
    QCOMPARE(m.contents.first().page, QStringLiteral("index.html"));
    QCOMPARE(m.contents.first().depth, 0);
    // Nested sections are one deeper than their parent, never more.
    for (qsizetype i = 1; i < m.contents.size(); ++i)
        QVERIFY2(m.contents.at(i).depth <= m.contents.at(i - 1).depth + 1, qPrintable(m.contents.at(i).title));
    QVERIFY(!m.keywords.isEmpty());
    for (qsizetype i = 1; i < m.keywords.size(); ++i)
        QVERIFY(m.keywords.at(i - 1).title.compare(m.keywords.at(i).title, Qt::CaseInsensitive) <= 0);
    for (const auto &list : {m.contents, m.keywords}) {
        for (const HelpManual::Entry &e : list) {
            const QString file = e.page.section(QLatin1Char('#'), 0, 0);
            QVERIFY2(QFileInfo::exists(QDir(folder()).filePath(file)), qPrintable(e.title + QLatin1String(": ") + file));
        }
    }
}

void TestHelpManual::search_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("expectedPage");   // among the results; empty: no result at all

    QTest::newRow("one word") << "ser2net" << "device-servers.html";
    QTest::newRow("any letter case") << "SER2NET" << "device-servers.html";
    QTest::newRow("every word must be there") << "ser2net zzqqxx" << "";
    QTest::newRow("markup is not text") << "href" << "";
    QTest::newRow("blank query") << "   " << "";
}

void TestHelpManual::search()
{
    QFETCH(QString, query);
    QFETCH(QString, expectedPage);
    HelpManual m;
    QVERIFY(m.load(folder()));
    const QList<HelpManual::Entry> found = m.search(query);
    if (expectedPage.isEmpty()) {
        QVERIFY(found.isEmpty());
        return;
    }
    QStringList pages;
    for (const HelpManual::Entry &e : found)
        pages << e.page;
    QVERIFY2(pages.contains(expectedPage), qPrintable(pages.join(u' ')));
    QCOMPARE(pages.removeDuplicates(), qsizetype(0));
}

void TestHelpManual::missingManual()
{
    QTemporaryDir empty;
    HelpManual m;
    QVERIFY(!m.load(empty.path()));
    QVERIFY(m.contents.isEmpty());
    QVERIFY(m.search(QStringLiteral("anything")).isEmpty());
}

QTEST_GUILESS_MAIN(TestHelpManual)
#include "tst_helpmanual.moc"
