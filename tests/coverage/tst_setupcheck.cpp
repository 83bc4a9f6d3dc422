// SPDX-License-Identifier: GPL-3.0-or-later
// The stored setup against the listing in use: every finding with its
// severity, the headline that counts the counties, and the transmitters
// suggested in place of one that is gone or off the air, best first.
#include "config/core/ReceiverSetup.h"
#include "coverage/core/CoverageImport.h"
#include "coverage/core/EventCatalog.h"
#include "coverage/core/SetupCheck.h"

#include <QtTest>

using SetupCheck::Kind;

namespace {

struct County {
    const char *code;
    const char *name;
    QStringList calls;   // transmitters that cover it
};

// Ohio: KZZ49 Maysville, WXM69 Otway, WXJ93 Lima, KZZ50 Mansfield, and
// WXZ01 Dover, which is out of service.
CoverageChanges::Side listing(const QMap<QString, QString> &status)
{
    static const QMap<QString, QPair<QString, QString>> sites{
        {QStringLiteral("KZZ49"), {QStringLiteral("Maysville"), QStringLiteral("162.425")}},
        {QStringLiteral("WXM69"), {QStringLiteral("Otway"), QStringLiteral("162.525")}},
        {QStringLiteral("WXJ93"), {QStringLiteral("Lima"), QStringLiteral("162.400")}},
        {QStringLiteral("KZZ50"), {QStringLiteral("Mansfield"), QStringLiteral("162.450")}},
        {QStringLiteral("WXZ01"), {QStringLiteral("Dover"), QStringLiteral("162.475")}},
    };
    const County counties[] = {
        {"039001", "Adams", {QStringLiteral("KZZ49"), QStringLiteral("WXM69")}},
        {"039003", "Allen", {QStringLiteral("WXJ93"), QStringLiteral("WXZ01")}},
        {"039005", "Ashland", {QStringLiteral("KZZ50"), QStringLiteral("WXM69"), QStringLiteral("WXZ01")}},
        {"039007", "Ashtabula", {QStringLiteral("KZZ50"), QStringLiteral("WXZ01")}},
        {"039009", "Athens", {}},
    };
    CoverageChanges::Side side;
    side.stateLines.resize(54);
    for (const County &c : counties) {
        if (c.calls.isEmpty())
            side.stateLines[34] << CoverageImport::stateLine(QLatin1String(c.code), QLatin1String(c.name), QString(),
                                                             QString(), QString());
        for (const QString &call : c.calls) {
            const QString line = CoverageImport::stateLine(QLatin1String(c.code), QLatin1String(c.name),
                                                           sites[call].first, call, sites[call].second);
            side.stateLines[34] << line;
            TransmitterInfo t;
            t.field = line.mid(30);
            t.callsign = call;
            t.status = status.value(call, QStringLiteral("NORMAL"));
            side.transmitters.insert(t.field, t);
        }
    }
    return side;
}

QString fieldOf(const char *site, const char *call, const char *freq)
{
    return CoverageImport::stateLine(QStringLiteral("039001"), QStringLiteral("Adams"), QLatin1String(site),
                                     QLatin1String(call), QLatin1String(freq))
        .mid(30);
}

} // namespace

class tst_SetupCheck : public QObject
{
    Q_OBJECT

private slots:
    void findings_data();
    void findings();
};

void tst_SetupCheck::findings_data()
{
    QTest::addColumn<QString>("transmitter");
    QTest::addColumn<QStringList>("selected");        // codes; "-" before one: listed, not selected
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("offAir");          // "CALL=STATUS"
    QTest::addColumn<QStringList>("expected");        // "kind severity subject"
    QTest::addColumn<QStringList>("suggested");       // call signs, best first
    QTest::addColumn<QString>("headline");

    const QString maysville = fieldOf("Maysville", "KZZ49", "162.425");
    const QStringList adams{QStringLiteral("039001")};
    const QStringList ok{QStringLiteral("TOR"), QStringLiteral("SVR")};

    QTest::newRow("clean") << maysville << adams << ok << QStringList() << QStringList() << QStringList()
                           << "Your setup matches the coverage listing.";
    QTest::newRow("no transmitter chosen, nothing to compare")
        << QString() << QStringList() << ok << QStringList() << QStringList() << QStringList()
        << "Your setup matches the coverage listing.";
    // KIH42 is in no line: gone. Ashland and Ashtabula are both under
    // KZZ50; Adams under WXM69 too, which covers Ashland: KZZ50 and WXM69
    // cover two each, the tie broken by call sign; WXZ01 is out of service
    // and never suggested though it covers three.
    QTest::newRow("gone, suggestions best first")
        << fieldOf("Covington", "KIH42", "162.550")
        << QStringList{QStringLiteral("039001"), QStringLiteral("039005"), QStringLiteral("039007"), QStringLiteral("-039003")}
        << ok << QStringList{QStringLiteral("WXZ01=OUT OF SERVICE")}
        << QStringList{QStringLiteral("transmitterGone serious KIH42")}
        << QStringList{QStringLiteral("KZZ50"), QStringLiteral("WXM69"), QStringLiteral("KZZ49")}
        << "Your transmitter KIH42 is gone; 3 of your counties are affected.";
    QTest::newRow("gone, a field from an older listing without a call sign")
        << QStringLiteral(" Miami                  162.475") << adams << ok << QStringList()
        << QStringList{QStringLiteral("transmitterGone serious Miami 162.475")}
        << QStringList{QStringLiteral("KZZ49"), QStringLiteral("WXM69")}
        << "Your transmitter \"Miami 162.475\" is gone; 1 of your counties is affected.";
    QTest::newRow("out of service, never suggests itself")
        << maysville << QStringList{QStringLiteral("039001"), QStringLiteral("039005")} << ok
        << QStringList{QStringLiteral("KZZ49=OUT OF SERVICE")}
        << QStringList{QStringLiteral("transmitterOutOfService serious KZZ49")}
        << QStringList{QStringLiteral("WXM69"), QStringLiteral("KZZ50"), QStringLiteral("WXZ01")}
        << "Your transmitter KZZ49 is out of service; 2 of your counties are affected.";
    QTest::newRow("degraded is a notice") << maysville << adams << ok << QStringList{QStringLiteral("KZZ49=DEGRADED")}
                                          << QStringList{QStringLiteral("transmitterDegraded notice KZZ49")}
                                          << QStringList() << "";
    QTest::newRow("retuned") << fieldOf("Maysville", "KZZ49", "162.550") << adams << ok << QStringList()
                             << QStringList{QStringLiteral("transmitterRetuned serious KZZ49")} << QStringList()
                             << "Your transmitter KZZ49 moved to 162.425; 1 of your counties is affected.";
    QTest::newRow("renamed, its counties still checked against it")
        << fieldOf("Maysvl", "KZZ49", "162.425") << QStringList{QStringLiteral("039001"), QStringLiteral("039003")} << ok
        << QStringList()
        << QStringList{QStringLiteral("transmitterRenamed warning KZZ49"), QStringLiteral("countyNotCovered warning 039003")}
        << QStringList() << "Your setup has 2 points to look at.";
    QTest::newRow("county not covered, county in no file, each county once")
        << maysville
        << QStringList{QStringLiteral("039001"), QStringLiteral("039007"), QStringLiteral("039999"), QStringLiteral("039007")}
        << ok << QStringList()
        << QStringList{QStringLiteral("countyNotCovered warning 039007"), QStringLiteral("countyUnknown warning 039999")}
        << QStringList() << "Your setup has 2 points to look at.";
    QTest::newRow("a county without coverage is in the listing, not covered")
        << maysville << QStringList{QStringLiteral("039009")} << ok << QStringList()
        << QStringList{QStringLiteral("countyNotCovered warning 039009")} << QStringList() << "";
    QTest::newRow("event code not in the catalogue, slot 48 never read")
        << maysville << adams << QStringList{QStringLiteral("TOR"), QStringLiteral("XYZ"), QStringLiteral("tor")}
        << QStringList()
        << QStringList{QStringLiteral("eventUnknown warning XYZ"), QStringLiteral("eventUnknown warning tor")}
        << QStringList() << "Your setup has 2 points to look at.";
}

void tst_SetupCheck::findings()
{
    QFETCH(QString, transmitter);
    QFETCH(QStringList, selected);
    QFETCH(QStringList, events);
    QFETCH(QStringList, offAir);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, suggested);
    QFETCH(QString, headline);

    QMap<QString, QString> status;
    for (const QString &s : offAir)
        status.insert(s.section(QLatin1Char('='), 0, 0), s.section(QLatin1Char('='), 1));
    ReceiverSetup setup;
    setup.config.TransmitterLocation = transmitter;
    for (int i = 0; i < selected.size(); ++i) {
        QString code = selected.at(i);
        const bool checked = !code.startsWith(QLatin1Char('-'));
        code.remove(QLatin1Char('-'));
        setup.FipEntries[i] = (checked ? QStringLiteral("X ") : QStringLiteral("  "))
                              + QStringLiteral("%1  County %2").arg(code, QString::number(i)).leftJustified(31) + QStringLiteral("Ohio");
    }
    for (int i = 0; i < events.size(); ++i)
        setup.EventSelection[i] = events.at(i);
    setup.EventSelection[48] = QStringLiteral("QQQ");
    EventCatalog catalog;
    InitEventCatalog(catalog);

    const SetupCheck::Report r = SetupCheck::check(listing(status), setup, catalog);
    QStringList got;
    for (const SetupCheck::Finding &f : r.findings) {
        got << QStringLiteral("%1 %2 %3").arg(SetupCheck::kindName(f.kind), SetupCheck::severityName(f.severity), f.subject);
        // Plain sentences a person reads: no capitals shouted, no field padding.
        QVERIFY2(f.text.endsWith(QLatin1Char('.')) && !f.text.contains(QLatin1String("  ")), qPrintable(f.text));
        QVERIFY2(f.text != f.text.toUpper(), qPrintable(f.text));
    }
    QCOMPARE(got, expected);
    QStringList calls;
    for (const SetupCheck::Suggestion &s : r.suggestions)
        calls << s.callsign;
    QCOMPARE(calls, suggested);
    static const QRegularExpression said(QStringLiteral("^[A-Z0-9]+ [A-Za-z ]+ 162\\.\\d{3} covers (your county|\\d of your \\d counties)$"));
    for (const SetupCheck::Suggestion &s : r.suggestions)
        QVERIFY2(said.match(s.text()).hasMatch(), qPrintable(s.text()));
    if (!r.suggestions.isEmpty() && r.selectedCounties == 3)
        QCOMPARE(r.suggestions.first().text(), QStringLiteral("KZZ50 Mansfield 162.450 covers 2 of your 3 counties"));
    if (!headline.isEmpty())
        QCOMPARE(r.headline(), headline);
    else
        QCOMPARE(r.headline(), r.findings.value(0).text);
    QCOMPARE(r.hasSerious(), expected.join(QLatin1Char(' ')).contains(QLatin1String("serious")));
    // Nothing is said twice, wherever the lines are shown.
    const QStringList lines = r.lines();
    QCOMPARE(QSet<QString>(lines.begin(), lines.end()).size(), lines.size());
    QCOMPARE(lines.size(), 1 + r.details().size() + (r.suggestions.isEmpty() ? 0 : 1 + r.suggestions.size()));
    QCOMPARE(r.json().value(QStringLiteral("findings")).toArray().size(), r.findings.size());
}

QTEST_GUILESS_MAIN(tst_SetupCheck)
#include "tst_setupcheck.moc"
