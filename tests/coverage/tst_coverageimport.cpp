// SPDX-License-Identifier: GPL-3.0-or-later
// NOAA's county coverage listing brought in: the three shapes, every check
// on a row, the refusals that leave the disk as it was, the transmitter of
// another state, the summary against the user's choice, and the 2018
// snapshot that must give the shipped state files byte for byte.
#include "config/core/ReceiverSetup.h"
#include "coverage/core/CoverageChanges.h"
#include "coverage/core/CoverageImport.h"
#include "coverage/core/CoverageLocation.h"
#include "coverage/core/EventCatalog.h"
#include "coverage/core/SetupCheck.h"
#include "coverage/core/StateDatabase.h"
#include "support/CoverageListings.h"
#include "support/TestEnv.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <unistd.h>

using namespace CoverageListings;
using CoverageImport::IssueKind;

namespace {

QList<Row> baseRows()
{
    return {
        // Adams County, Ohio, is covered by KZZ49 Maysville, Kentucky, too.
        row("OH", "Adams", "039001", "Maysville", "KY", "162.425", "KZZ49"),
        row("OH", "Adams", "039001", "Otway", "OH", "162.525", "WXM69", "NORMAL", "S"),
        row("OH", "Allen", "039003", "Lima", "OH", "162.400", "WXJ93"),
        row("KY", "Mason", "021161", "Maysville", "KY", "162.425", "KZZ49"),
    };
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every file under a folder (links followed) with its bytes.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> all;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString p = it.next();
        // The import lock and the record of what imports made are the
        // program's bookkeeping, not the listing.
        if (!it.fileName().startsWith(QLatin1String(".nx4400c-")))
            all.insert(p, readAll(p));
    }
    return all;
}

QString padded(const QString &s)
{
    return s.leftJustified(StateDatabase::LineLength);
}

} // namespace

Q_DECLARE_METATYPE(IssueKind)

class tst_CoverageImport : public QObject
{
    Q_OBJECT

private slots:
    void importsEachShape_data();
    void importsEachShape();
    void snapshotGivesShippedFiles_data();
    void snapshotGivesShippedFiles();
    void foldersStayInside_data();
    void foldersStayInside();
    void summaryWarnsAboutTheUsersChoice();
    void summaryReportsOnlyNews_data();
    void summaryReportsOnlyNews();
    void revertLeavesTheShippedSet();
    void hostileShapes_data();
    void hostileShapes();
    void importsOneAtATime();
};

// One case per check, run in each of the three shapes. `mutate` changes the
// base listing; `badRow` is the row the note must name (-1: none, -2: a note
// without a line).
void tst_CoverageImport::importsEachShape_data()
{
    QTest::addColumn<int>("shape");
    QTest::addColumn<QList<Row>>("rows");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("badRow");
    QTest::addColumn<QString>("ohioLine");   // a line Ohio's file must hold afterwards

    const QString adamsKzz = padded(QStringLiteral("039001  Adams                  Maysville        KZZ49  162.425"));
    struct Case {
        const char *name;
        std::function<void(QList<Row> &)> mutate;
        bool refused;
        int kind;
        int badRow;
        QString ohioLine;
    };
    const QList<Case> cases = {
        {"clean", [](QList<Row> &) {}, false, -1, -1, adamsKzz},
        {"code not six digits", [](QList<Row> &r) { r << row("OH", "Brown", "39015", "Otway", "OH", "162.525", "WXM69"); },
         false, int(IssueKind::BadCode), 4, adamsKzz},
        {"state without a file", [](QList<Row> &r) { r << row("FM", "Chuuk", "064002", "Weno", "FM", "162.550", "WXX90"); },
         false, int(IssueKind::NoStateFile), 4, adamsKzz},
        {"district into Maryland", [](QList<Row> &r) {
             r << row("MD", "Allegany", "024001", "Cumberland", "MD", "162.475", "WXM43");
             r << row("DC", "District of Columbia", "011001", "Washington DC", "DC", "162.450", "WNG736");
         }, false, int(IssueKind::NoStateFile), 5, adamsKzz},
        {"frequency not NWR", [](QList<Row> &r) { r << row("OH", "Brown", "039015", "Otway", "OH", "162.600", "WXM69"); },
         false, int(IssueKind::BadFrequency), 4, adamsKzz},
        {"frequency written short", [](QList<Row> &r) { r[2][7] = "162.4"; }, false, -1, -1,
         padded(QStringLiteral("039003  Allen                  Lima             WXJ93  162.400"))},
        {"location cut", [](QList<Row> &r) { r[2][4] = "Lima Transmitter Number Two"; }, false, int(IssueKind::Cut), 2,
         padded(QStringLiteral("039003  Allen                  Lima Transmitter WXJ93  162.400"))},
        {"site abbreviated, not cut", [](QList<Row> &r) { r[2][4] = "Lima North Mountain"; }, false, -1, -1,
         padded(QStringLiteral("039003  Allen                  Lima North Mtn   WXJ93  162.400"))},
        {"duplicate row", [](QList<Row> &r) { r << r.at(1); }, false, int(IssueKind::Duplicate), 4, adamsKzz},
        {"county with no row", [](QList<Row> &r) { r.removeAt(2); }, false, int(IssueKind::MissingCounty), -2, adamsKzz},
        {"not UTF-8 nor Latin-1", [](QList<Row> &r) { r << row("OH", "Br\x81\x82wn", "039015", "Otway", "OH", "162.525", "WXM69"); },
         false, int(IssueKind::BadText), 4, adamsKzz},
        {"Latin-1 is read", [](QList<Row> &r) { r << row("OH", "Do\xF1" "a", "039015", "Otway", "OH", "162.525", "WXM69"); },
         false, -1, -1, padded(QStringLiteral("039015  Do\u00F1a                   Otway            WXM69  162.525"))},
        {"no coverage", [](QList<Row> &r) { r << row("OH", "Brown", "039015", "---No  NWR Coverage---", "", "", ""); },
         false, -1, -1, padded(QStringLiteral("039015  Brown                  --No NWR Coverage--"))},
        {"county code of another state", [](QList<Row> &r) { r << row("IN", "Posey", "039049", "Evansville", "IN", "162.550", "KIG76"); },
         false, int(IssueKind::WrongState), 4, adamsKzz},
        {"tab in a field", [](QList<Row> &r) { r << row("OH", "Brown\tCounty", "039015", "Otway", "OH", "162.525", "WXM69"); },
         false, int(IssueKind::ControlCharacter), 4, adamsKzz},
        {"rows in another order", [](QList<Row> &r) { std::reverse(r.begin(), r.end()); }, false, -1, -1, adamsKzz},
        {"refused: no usable rows", [](QList<Row> &r) { for (Row &x : r) x[3] = "12345"; }, true, int(IssueKind::BadCode), 0,
         QString()},
        {"refused: empties a state", [](QList<Row> &r) { r.removeAt(3); }, true, -1, -1, QString()},
    };
    const char *shapes[] = {"CCL.js", "ccl-data.js", "CSV"};
    for (int s = 0; s < 3; ++s) {
        for (const Case &c : cases) {
            QList<Row> rows = baseRows();
            c.mutate(rows);
            QTest::addRow("%s: %s", shapes[s], c.name) << s << rows << c.refused << c.kind << c.badRow << c.ohioLine;
        }
    }
}

void tst_CoverageImport::importsEachShape()
{
    QFETCH(int, shape);
    QFETCH(QList<Row>, rows);
    QFETCH(bool, refused);
    QFETCH(int, kind);
    QFETCH(int, badRow);
    QFETCH(QString, ohioLine);

    // The listing in use is the base listing.
    const CoverageImport::Result base =
        CoverageImport::build(CoverageListing::read(write(Shape::CclJs, baseRows())), QStringLiteral("base.js"), {});
    QVERIFY2(!base.refused, qPrintable(base.refusal));
    QVector<int> lines;
    const QByteArray bytes = write(Shape(shape), rows, &lines);
    const CoverageImport::Result r = CoverageImport::build(CoverageListing::read(bytes), QStringLiteral("listing"),
                                                           base.stateLines);
    QCOMPARE(r.refused, refused);
    if (kind >= 0) {
        const auto it = std::find_if(r.issues.begin(), r.issues.end(), [&](const auto &i) { return int(i.kind) == kind; });
        QVERIFY2(it != r.issues.end(), qPrintable(QStringLiteral("no note of kind %1").arg(kind)));
        QCOMPARE(it->line, badRow == -2 ? 0 : lines.value(badRow));
        if (badRow != -2)
            QVERIFY2(it->text.contains(QStringLiteral("Line %1").arg(it->line)), qPrintable(it->text));
    } else if (!refused) {
        QVERIFY2(r.issues.isEmpty(), qPrintable(r.issues.value(0).text));
    }
    if (!refused) {
        const QStringList ohio = r.stateLines.value(34);
        QVERIFY2(ohio.contains(ohioLine), qPrintable(ohio.join(QLatin1Char('\n'))));
        // Rows in another order, or a row refused for its state or a
        // control character, leave every file as the base listing has it.
        const QByteArray tag = QTest::currentDataTag();
        if (tag.endsWith("clean") || tag.endsWith("order") || kind == int(IssueKind::WrongState)
            || kind == int(IssueKind::ControlCharacter))
            QCOMPARE(r.stateLines, base.stateLines);
        for (const QString &line : std::as_const(ohio))
            QVERIFY2(!line.contains(QLatin1Char('\t')), qPrintable(line));
    }
    // On disk once per kind of outcome (the disk is slow under load): a
    // refused file leaves every byte as it was; an accepted one replaces the
    // listing in one step, and its transmitter of another state finds the
    // counties of both.
    if (shape != int(Shape::CclJs) || !(refused || kind < 0))
        return;
    TestEnv env;
    const QString data = env.path(QStringLiteral("data"));
    const QString mine = CoverageLocation::overrideFolder(data);
    QString why;
    QVERIFY2(CoverageImport::replaceFolder(base, mine, &why), qPrintable(why));
    const QMap<QString, QByteArray> before = snapshot(data);
    QCOMPARE(before.size(), 56);   // 54 state files, the table, the listing file
    const QString path = env.path(QStringLiteral("listing.js"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    const CoverageImport::Result again = CoverageImport::importFile(path, mine);
    QCOMPARE(again.refused, refused);
    QCOMPARE(again.stateLines, r.stateLines);
    if (refused) {
        QVERIFY(!again.refusal.isEmpty());
        QCOMPARE(snapshot(data), before);
        return;
    }
    if (QTest::currentDataTag() != QByteArray("CCL.js: clean"))
        return;
    QVERIFY2(CoverageImport::replaceFolder(again, mine, &why), qPrintable(why));
    QCOMPARE(CoverageLocation::activeFolder(env.path(QStringLiteral("shipped")), data), mine);
    // The old folder is gone: one listing on disk, behind the one link.
    QCOMPARE(QDir(data + QStringLiteral("/coverage")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), 2);
    QStringList counties;
    QVERIFY(StateDatabase::FindTransmitterCounties(env.prompter, mine, QStringLiteral(" Maysville        KZZ49  162.425"),
                                                   &counties));
    QCOMPARE(counties, QStringList({QStringLiteral("021161  Mason                  Kentucky"),
                                    QStringLiteral("039001  Adams                  Ohio")}));
    QHash<QString, TransmitterInfo> table;
    QVERIFY2(TransmitterTable::load(mine, &table, &why), qPrintable(why));
    const TransmitterInfo kzz = table.value(QStringLiteral(" Maysville        KZZ49  162.425"));
    QCOMPARE(kzz.siteState, QStringLiteral("KY"));
    QCOMPARE(kzz.power, QStringLiteral("1000"));
    QCOMPARE(kzz.wfo, QStringLiteral("Wilmington|OH"));
    QVERIFY(kzz.hasPosition());
    QCOMPARE(table.value(QStringLiteral(" Otway            WXM69  162.525")).remarks.value(QStringLiteral("039001")),
             QStringLiteral("S"));
}

void tst_CoverageImport::snapshotGivesShippedFiles_data()
{
    QTest::addColumn<int>("shape");
    QTest::addColumn<bool>("shuffled");
    QTest::newRow("CCL.js as published") << -1 << false;
    QTest::newRow("CCL.js, rows shuffled") << int(Shape::CclJs) << true;
    QTest::newRow("ccl-data.js, rows shuffled") << int(Shape::CclDataJs) << true;
    QTest::newRow("CSV, rows shuffled") << int(Shape::Csv) << true;
}

void tst_CoverageImport::snapshotGivesShippedFiles()
{
    QFETCH(int, shape);
    QFETCH(bool, shuffled);
    const QString ccl = sourceDir() + QStringLiteral("/tools/make-states/CCL-2018-08-10.js");
    CoverageImport::Result r = CoverageImport::importFile(ccl, QString());
    QVERIFY2(!r.refused, qPrintable(r.refusal));
    QCOMPARE(r.rowsRead, 6563);
    if (shape >= 0) {
        // The same rows in another shape and another order.
        const CoverageListing::Listing published = CoverageListing::read(readAll(ccl));
        QList<Row> rows;
        for (const CoverageListing::Row &p : published.rows) {
            Row x;
            for (const QString &v : p.values)
                x << v.toUtf8();
            rows << x;
        }
        if (shuffled) {
            QRandomGenerator random(4400);
            std::shuffle(rows.begin(), rows.end(), random);
        }
        r = CoverageImport::build(CoverageListing::read(write(Shape(shape), rows)), QStringLiteral("again"), {});
        QVERIFY2(!r.refused, qPrintable(r.refusal));
        QCOMPARE(r.rowsRead, 6563);
    }
    const QMap<QString, QByteArray> files = r.files();
    QCOMPARE(files.size(), 56);
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        if (shape >= 0 && it.key() == CoverageImport::InfoFileName)
            continue;
        const QByteArray shipped = readAll(sourceDir() + QStringLiteral("/data/States/") + it.key());
        if (shipped != it.value())
            QFAIL(qPrintable(it.key() + QStringLiteral(" differs from the shipped file")));
    }
}

void tst_CoverageImport::summaryReportsOnlyNews_data()
{
    QTest::addColumn<QByteArray>("was");
    QTest::addColumn<QByteArray>("now");
    QTest::addColumn<int>("outOfService");
    QTest::addColumn<int>("degraded");
    QTest::newRow("goes off the air") << QByteArray("NORMAL") << QByteArray("OUT OF SERVICE") << 1 << 0;
    QTest::newRow("off the air already") << QByteArray("OUT OF SERVICE") << QByteArray("OUT OF SERVICE") << 0 << 0;
    QTest::newRow("degraded already") << QByteArray("DEGRADED") << QByteArray("DEGRADED") << 0 << 0;
    QTest::newRow("back on the air, degraded") << QByteArray("OUT OF SERVICE") << QByteArray("DEGRADED") << 0 << 1;
    QTest::newRow("becomes degraded") << QByteArray("NORMAL") << QByteArray("DEGRADED") << 0 << 1;
    QTest::newRow("back to normal") << QByteArray("DEGRADED") << QByteArray("NORMAL") << 0 << 0;
}

// The update summary lists what this listing changes against the one in
// use: a transmitter that was off the air or degraded before is not news.
void tst_CoverageImport::summaryReportsOnlyNews()
{
    QFETCH(QByteArray, was);
    QFETCH(QByteArray, now);
    QFETCH(int, outOfService);
    QFETCH(int, degraded);
    auto side = [](const QList<Row> &rows) {
        const CoverageImport::Result r = CoverageImport::build(CoverageListing::read(write(Shape::CclJs, rows)),
                                                               QStringLiteral("t"), {});
        return CoverageChanges::Side{r.stateLines, r.transmitters};
    };
    QList<Row> before = baseRows(), after = baseRows();
    for (const int i : {0, 3}) {   // both of KZZ49's rows
        before[i][12] = was;
        after[i][12] = now;
    }
    const CoverageChanges::Summary s = CoverageChanges::compare(side(before), side(after));
    QCOMPARE(int(s.outOfService.size()), outOfService);
    QCOMPARE(int(s.degraded.size()), degraded);
    for (const QStringList *list : {&s.outOfService, &s.degraded})
        for (const QString &item : *list)
            QVERIFY(item.startsWith(QStringLiteral("KZZ49")));
}

void tst_CoverageImport::summaryWarnsAboutTheUsersChoice()
{
    auto side = [](const QList<Row> &rows) {
        const CoverageImport::Result r = CoverageImport::build(CoverageListing::read(write(Shape::CclJs, rows)),
                                                               QStringLiteral("t"), {});
        return CoverageChanges::Side{r.stateLines, r.transmitters};
    };
    const CoverageChanges::Side before = side(baseRows());
    const QString kzz = QStringLiteral(" Maysville        KZZ49  162.425");
    const QString otway = QStringLiteral(" Otway            WXM69  162.525");
    EventCatalog catalog;
    InitEventCatalog(catalog);
    auto check = [&](const CoverageChanges::Side &listing, const QString &transmitter) {
        ReceiverSetup setup;
        setup.config.TransmitterLocation = transmitter;
        setup.FipEntries[0] = QStringLiteral("X 039001  Adams                  Ohio");
        return SetupCheck::check(listing, setup, catalog);
    };

    QList<Row> changed = baseRows();
    changed[0][12] = "OUT OF SERVICE";          // KZZ49 off the air
    changed[3][12] = "OUT OF SERVICE";
    changed[1][7] = "162.475";                  // WXM69 retuned
    changed.removeAt(2);                        // WXJ93 gone
    changed << row("OH", "Allen", "039003", "Lima North", "OH", "162.550", "WXN99");   // a new one
    const CoverageChanges::Summary s = CoverageChanges::compare(before, side(changed));
    QCOMPARE(s.added.size(), 1);
    QVERIFY(s.added.first().startsWith(QStringLiteral("WXN99")));
    QCOMPARE(s.removed.size(), 1);
    QVERIFY(s.removed.first().startsWith(QStringLiteral("WXJ93")));
    QCOMPARE(s.retuned.size(), 1);
    QVERIFY(s.retuned.first().contains(QStringLiteral("162.525 -> 162.475")));
    QCOMPARE(s.outOfService.size(), 1);
    QVERIFY(s.countiesChanged.join(QLatin1Char('|')).contains(QStringLiteral("039003 Allen (Ohio): +WXN99 -WXJ93")));

    // What it means for the user's choice is the setup check's: the stored
    // transmitter off the air, retuned, or no longer covering a county.
    QCOMPARE(check(side(changed), kzz).headline(),
             QStringLiteral("Your transmitter KZZ49 is out of service; 1 of your counties is affected."));
    QCOMPARE(check(side(changed), otway).findings.value(0).kind, SetupCheck::Kind::TransmitterRetuned);
    QList<Row> shrunk = baseRows();
    shrunk[0][3] = "039005";
    QCOMPARE(check(side(shrunk), kzz).findings.value(0).kind, SetupCheck::Kind::CountyNotCovered);
    QVERIFY(check(before, kzz).isClean());
}

// The folders of the data location: what a killed import left is cleared
// at the next import, a link is never followed out of the location, and a
// state file the editor could not read makes the shipped set be used.
void tst_CoverageImport::foldersStayInside_data()
{
    QTest::addColumn<QString>("what");
    for (const char *c : {"leftovers of a killed import", "chained link, import", "chained link, revert",
                          "coverage folder a link, import", "coverage folder a link, revert",
                          "data folder a link, import", "the user's own entries stay",
                          "another import holds the lock, import", "another import holds the lock, revert",
                          "output folder of a listing, replaced whole", "output folder with the user's files",
                          "oversize state file", "unreadable state file"})
        QTest::newRow(c) << QString::fromLatin1(c);
}

void tst_CoverageImport::foldersStayInside()
{
    QFETCH(QString, what);
    TestEnv env;
    const QString data = env.path(QStringLiteral("data"));
    const QString coverage = data + QStringLiteral("/coverage");
    const QString mine = CoverageLocation::overrideFolder(data);
    const QString shipped = buildBinDir() + QStringLiteral("/States");
    QVERIFY(QDir().mkpath(coverage));
    const CoverageImport::Result r = CoverageImport::build(CoverageListing::read(write(Shape::Csv, baseRows())),
                                                           QStringLiteral("t.csv"), {});
    // A folder outside the data location that must come through whole.
    const QString victim = env.path(QStringLiteral("victim"));
    QVERIFY(QDir().mkpath(victim));
    QFile keep(victim + QStringLiteral("/keep.txt"));
    QVERIFY(keep.open(QIODevice::WriteOnly));
    keep.close();
    QString why;
    if (what.startsWith(QLatin1String("chained"))) {
        QVERIFY(QFile::link(victim, coverage + QStringLiteral("/States-x")));
        QVERIFY(QFile::link(QStringLiteral("States-x"), mine));
        if (what.endsWith(QLatin1String("import")))
            QVERIFY2(CoverageImport::replaceFolder(r, mine, &why), qPrintable(why));
        else
            QVERIFY2(CoverageImport::removeFolder(mine, &why), qPrintable(why));
        QVERIFY(QFileInfo::exists(victim + QStringLiteral("/keep.txt")));
        QVERIFY(!QFileInfo(coverage + QStringLiteral("/States-x")).isSymLink());
        return;
    }
    if (what.contains(QLatin1String("a link"))) {
        // The folder the listing lives in, or the data folder above it, leads
        // elsewhere: entries of the listing's shape there are someone else's.
        const bool dataLink = what.startsWith(QLatin1String("data"));
        const QString linkAt = dataLink ? data : coverage;
        QVERIFY(QDir(linkAt).removeRecursively());
        if (dataLink) {
            QVERIFY(QDir().mkpath(victim + QStringLiteral("/coverage/States-20200101-000000-a")));
            QVERIFY(QFile::link(QStringLiteral("States-20200101-000000-a"), victim + QStringLiteral("/coverage/States")));
        } else {
            QVERIFY(QDir().mkpath(victim + QStringLiteral("/States-20200101-000000-a")));
            QVERIFY(QFile::link(QStringLiteral("States-20200101-000000-a"), victim + QStringLiteral("/States")));
        }
        QVERIFY(QFile::link(victim, linkAt));
        const QStringList before = QDir(victim).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        const bool done = what.endsWith(QLatin1String("revert")) ? CoverageImport::removeFolder(mine, &why)
                                                                 : CoverageImport::replaceFolder(r, mine, &why);
        QVERIFY(!done);
        QVERIFY2(why.contains(QLatin1String("is a symbolic link")) && why.contains(linkAt), qPrintable(why));
        QCOMPARE(QDir(victim).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot), before);
        QVERIFY(QFileInfo::exists(victim + QStringLiteral("/keep.txt")));
        return;
    }
    if (what.startsWith(QLatin1String("output folder"))) {
        const QString out = env.path(QStringLiteral("out/States"));
        CoverageImport::OutputResult w = CoverageImport::writeOutputFolder(r, out + QLatin1Char('/'), false);
        QVERIFY2(w.ok, qPrintable(w.message));
        QCOMPARE(QDir(out).entryList(QDir::Files).size(), 56);
        const bool theirs = what.endsWith(QLatin1String("files"));
        if (theirs)
            QVERIFY(QDir(out).mkdir(QStringLiteral("notes")));
        else   // a state file of the last run, changed since
            QVERIFY(QFile::resize(out + QStringLiteral("/Oh_135.st"), 10));
        const QMap<QString, QByteArray> before = snapshot(env.path(QStringLiteral("out")));
        w = CoverageImport::writeOutputFolder(r, out, false);
        QCOMPARE(w.ok, !theirs);
        if (theirs) {
            QVERIFY2(w.message.contains(QLatin1String("holds \"notes\" besides a listing's files")), qPrintable(w.message));
            QCOMPARE(snapshot(env.path(QStringLiteral("out"))), before);
            QVERIFY(QFileInfo(out + QStringLiteral("/notes")).isDir());
        } else {
            QVERIFY2(w.message.contains(QLatin1String("in place of what it held")), qPrintable(w.message));
            QVERIFY(QFileInfo(out + QStringLiteral("/Oh_135.st")).size() > 10);
            // Nothing is left beside it.
            QCOMPARE(QDir(env.path(QStringLiteral("out"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                     QStringList{QStringLiteral("States")});
        }
        return;
    }
    if (what.startsWith(QLatin1String("another import"))) {
        // An import that runs (here: its lock, held by this test) makes the
        // next wait and then give up, changing nothing.
        QVERIFY2(CoverageImport::replaceFolder(r, mine, &why), qPrintable(why));
        const QMap<QString, QByteArray> before = snapshot(coverage);
        CoverageImport::ImportLock running;
        QVERIFY2(running.acquire(coverage, 1000, &why), qPrintable(why));
        QElapsedTimer waited;
        waited.start();
        const bool done = what.endsWith(QLatin1String("revert")) ? CoverageImport::removeFolder(mine, &why, 400)
                                                                 : CoverageImport::replaceFolder(r, mine, &why, 400);
        QVERIFY(!done);
        QVERIFY(waited.elapsed() >= 400);
        QVERIFY2(why.contains(QLatin1String("another import of the coverage listing is running")), qPrintable(why));
        QCOMPARE(snapshot(coverage), before);
        QCOMPARE(CoverageLocation::activeFolder(shipped, data), mine);
        return;
    }
    if (what.startsWith(QLatin1String("the user's"))) {
        // Named like the program's own, but not made by it.
        for (const char *name : {"States-20200101-000000-mine", ".States-x.link"})
            QVERIFY(QDir().mkpath(coverage + QLatin1Char('/') + QLatin1String(name)));
        for (int i = 0; i < 3; ++i)
            QVERIFY2(CoverageImport::replaceFolder(r, mine, &why), qPrintable(why));
        QVERIFY2(CoverageImport::removeFolder(mine, &why), qPrintable(why));
        QCOMPARE(QDir(coverage).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
                 QStringList{"States-20200101-000000-mine"});
        QVERIFY(QFileInfo(coverage + QStringLiteral("/.States-x.link")).isDir());
        return;
    }
    if (what.startsWith(QLatin1String("leftovers"))) {
        QVERIFY2(CoverageImport::replaceFolder(r, mine, &why), qPrintable(why));
        // As a kill leaves them: a folder half written and a temporary
        // link, each put on the record before it was made.
        QFile record(coverage + QLatin1Char('/') + CoverageImport::MadeRecordName);
        QVERIFY(record.open(QIODevice::Append));
        for (const char *name : {"States-20261208-000000-half", ".States-20261208-000000-half.link"})
            record.write(QByteArray(name) + '\n');
        record.close();
        QVERIFY(QDir().mkpath(coverage + QStringLiteral("/States-20261208-000000-half")));
        QFile f(coverage + QStringLiteral("/States-20261208-000000-half/Oh_135.st"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(QStringLiteral("States-20261208-000000-half"), coverage + QStringLiteral("/.States-20261208-000000-half.link")));
        QVERIFY2(CoverageImport::replaceFolder(r, mine, &why), qPrintable(why));
        QStringList left = QDir(coverage).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        left.removeAll(CoverageImport::MadeRecordName);
        left.removeAll(CoverageImport::ImportLockName);
        QCOMPARE(left.size(), 2);   // the link and the folder it names
        QCOMPARE(CoverageLocation::activeFolder(shipped, data), mine);
        return;
    }
    // A state file the editor would refuse: the shipped set is used, with
    // the warning a missing file gets.
    QVERIFY2(CoverageImport::replaceFolder(r, mine, &why), qPrintable(why));
    QCOMPARE(CoverageLocation::activeFolder(shipped, data), mine);
    QFile f(mine + QStringLiteral("/Tx_143.st"));
    if (what.startsWith(QLatin1String("oversize"))) {
        QVERIFY(f.open(QIODevice::Append));
        QVERIFY(f.write(QByteArray(StateDatabase::MaxFileSize + 1, ' ')) > 0);
        f.close();
    } else {
        if (::geteuid() == 0)
            QSKIP("root reads every file");
        QVERIFY(f.setPermissions(QFileDevice::Permissions()));
    }
    QCOMPARE(CoverageLocation::activeFolder(shipped, data), shipped);
    const QString bad = CoverageLocation::inUse(shipped, shipped, data).problem;
    QVERIFY(QFile::remove(mine + QStringLiteral("/Tx_143.st")));
    QCOMPARE(bad, CoverageLocation::inUse(shipped, shipped, data).problem);
    QVERIFY2(bad.contains(QStringLiteral("Tx_143.st")), qPrintable(bad));
}

void tst_CoverageImport::revertLeavesTheShippedSet()
{
    TestEnv env;
    const QString data = env.path(QStringLiteral("data"));
    const QString mine = CoverageLocation::overrideFolder(data);
    const CoverageImport::Result r = CoverageImport::build(CoverageListing::read(write(Shape::Csv, baseRows())),
                                                           QStringLiteral("t.csv"), {});
    QString why;
    QVERIFY2(CoverageImport::replaceFolder(r, mine, &why), qPrintable(why));
    const QString shipped = buildBinDir() + QStringLiteral("/States");
    CoverageLocation::InUse use = CoverageLocation::inUse(mine, shipped, data);
    QVERIFY(use.imported);
    QCOMPARE(use.info.name, QStringLiteral("t.csv"));
    QVERIFY(use.describe().contains(QStringLiteral("t.csv")));
    // An override that lost a file is not used.
    QVERIFY(QFile::remove(QDir(mine).filePath(QStringLiteral("Tx_143.st"))));
    QCOMPARE(CoverageLocation::activeFolder(shipped, data), shipped);
    QVERIFY(!CoverageLocation::inUse(shipped, shipped, data).problem.isEmpty());
    QVERIFY2(CoverageImport::removeFolder(mine, &why), qPrintable(why));
    QCOMPARE(QDir(data + QStringLiteral("/coverage")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size(), 0);
    use = CoverageLocation::inUse(shipped, shipped, data);
    QVERIFY(!use.imported);
    QVERIFY(use.describe().contains(QStringLiteral("shipped")));
}

// Files shaped to make the reader hold much, in small: each is read with
// the rows it really holds, or refused, never taken for more.
void tst_CoverageImport::hostileShapes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("rows");          // rows read
    QTest::addColumn<QString>("error");     // the reader's error, a pattern; empty: none

    const QByteArray js = write(Shape::CclJs, baseRows());
    // The same listing minified: every assignment on one line.
    QByteArray minified = js;
    minified.replace(";\n", ";");
    QTest::newRow("CCL.js on one line") << minified << int(baseRows().size()) << QString();
    // A remark with ";" and an escaped quote inside: one value, not three statements.
    QByteArray remark = js;
    remark.append("REMARKS[0] = \"north; \\\"part\\\" only\";");
    QTest::newRow("CCL.js, ; inside a value") << remark << int(baseRows().size()) << QString();
    const QByteArray header = "ST,STATE,COUNTY,SAME,SITENAME,SITELOC,SITESTATE,FREQ,CALLSIGN,LAT,LON,PWR,STATUS,WFO,REMARKS\n";
    QTest::newRow("CSV, a million commas on one row") << header + QByteArray(1000000, ',') + "\n" << 0 << QString();
    QTest::newRow("CSV, blank lines") << header + QByteArray(500000, '\n') + write(Shape::Csv, baseRows()).mid(header.size())
                                      << int(baseRows().size()) << QString();
    QTest::newRow("CSV, a quote that never closes") << header + "OH,Ohio,\"Adams" + QByteArray(200000, 'x') + "\n"
                                                           + write(Shape::Csv, baseRows()).mid(header.size())
                                                    << 1 << QString();
    QTest::newRow("ccl-data.js, blank lines") << "var cclData = [\n" + QByteArray(300000, '\n') + "];\n" << 0 << QString();
    QByteArray binary = header;
    for (int i = 0; i < 100001; ++i)
        binary += "\x01\n";
    QTest::newRow("more than 100000 lines that are no text") << binary << 0 << "more than 100000 lines are not text";
}

void tst_CoverageImport::hostileShapes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, rows);
    QFETCH(QString, error);
    const CoverageListing::Listing l = CoverageListing::read(bytes);
    QVERIFY2(QRegularExpression(error.isEmpty() ? QStringLiteral("^$") : error).match(l.error).hasMatch(), qPrintable(l.error));
    QCOMPARE(int(l.rows.size()), rows);
    for (const CoverageListing::Row &r : l.rows)
        for (const QString &v : r.values)
            QVERIFY(v.size() <= 4096);
    if (QTest::currentDataTag() == QByteArray("CCL.js, ; inside a value"))
        QCOMPARE(l.rows.first()[CoverageListing::Remarks], QStringLiteral("north; \"part\" only"));
}

// Three imports at once, in rounds: each applies, or waits for the others
// and gives up saying so; the listing in use is whole after every round.
// NX_IMPORT_RACE_ROUNDS sets the rounds (scripts/bench.sh runs 100).
void tst_CoverageImport::importsOneAtATime()
{
    const QString listing = QFileInfo(sourceDir() + QStringLiteral("/tools/make-states/CCL-2018-08-10.js")).absoluteFilePath();
    QVERIFY(QFileInfo::exists(listing));
    TestEnv env;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("HOME"), env.dir.path());
    e.insert(QStringLiteral("XDG_DATA_HOME"), env.path(QStringLiteral("data")));
    e.insert(QStringLiteral("XDG_CONFIG_HOME"), env.path(QStringLiteral("config")));
    const QString data = env.path(QStringLiteral("data/NX4400C"));
    const QString mine = CoverageLocation::overrideFolder(data);
    const QString shipped = buildBinDir() + QStringLiteral("/States");
    const int rounds = qEnvironmentVariableIntValue("NX_IMPORT_RACE_ROUNDS") > 0
                           ? qEnvironmentVariableIntValue("NX_IMPORT_RACE_ROUNDS") : 10;
    int applied = 0, gaveUp = 0;
    for (int round = 0; round < rounds; ++round) {
        QList<QProcess *> runs;
        for (int k = 0; k < 3; ++k) {
            auto *p = new QProcess(this);
            p->setProcessEnvironment(e);
            p->setWorkingDirectory(env.dir.path());
            p->start(buildBinDir() + QStringLiteral("/nx4400c-cli"), {QStringLiteral("coverage"), QStringLiteral("import"), listing});
            runs << p;
        }
        for (QProcess *p : std::as_const(runs)) {
            QVERIFY(p->waitForFinished(60000));
            const QString out = QString::fromUtf8(p->readAllStandardOutput());
            const QString err = QString::fromUtf8(p->readAllStandardError());
            if (p->exitCode() == 0) {
                QVERIFY2(out.contains(QLatin1String("Applied: the editor now uses")), qPrintable(out));
                ++applied;
            } else {
                QCOMPARE(p->exitCode(), 1);
                QVERIFY2(err.contains(QLatin1String("another import of the coverage listing is running")), qPrintable(err));
                ++gaveUp;
            }
            delete p;
        }
        // One whole set in use: the imported one, with every file.
        QCOMPARE(CoverageLocation::activeFolder(shipped, data), mine);
        QCOMPARE(QDir(mine).entryList(QDir::Files).size(), 56);
        QStringList entries = QDir(QFileInfo(mine).absolutePath()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        entries.removeAll(CoverageImport::ImportLockName);
        entries.removeAll(CoverageImport::MadeRecordName);
        QCOMPARE(entries.size(), 2);   // the link and the folder it names
    }
    qInfo("%d rounds of 3 imports: %d applied, %d waited and gave up", rounds, applied, gaveUp);
    QCOMPARE(applied + gaveUp, 3 * rounds);
}

QTEST_GUILESS_MAIN(tst_CoverageImport)
#include "tst_coverageimport.moc"
