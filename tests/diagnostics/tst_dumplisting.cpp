// SPDX-License-Identifier: GPL-3.0-or-later
// The configuration listing and the dump file layout, character for character.
#include "config/core/ReceiverConfig.h"
#include "diagnostics/core/DumpListing.h"

#include <QtTest>

namespace {

// The configuration a fresh install has: every field at its store default.
ReceiverConfig defaults()
{
    ReceiverConfig c;
    c.SerialPort = 1;
    c.WorkingDirectory = QStringLiteral("/home/ann/nx");
    c.EditorVersion = QStringLiteral("3.00");
    c.ReceiverVersion = QStringLiteral("1.00");
    c.ShowTipsAtStartup = true;
    c.TimeZoneOffset = -5;
    c.DaylightSavings = true;
    c.StateID = 8;
    c.SpeakerActive = c.LineActive = c.AlertLedActive = c.ForceOnSpeaker = c.ForceOnLine = true;
    c.VoiceIntervalSpeaker = c.VoiceIntervalLine = c.VocAllEvents = c.VocTruncateTest = true;
    c.HighTrigCodeMatch = c.LowTrigEndPacket = true;
    c.SpeakerTimeoutTimer = 3;
    c.LineTimeoutTimer = 3;
    c.VoiceIntervalTimer = 1;
    c.RelayDelayTimer = 0;
    c.PreVoiceAnnc = 2;
    return c;
}

const char *const kDefaultListing[] = {
    "",
    "REGISTRY_EDITOR.SerialPort=1",
    "REGISTRY_EDITOR.WorkingDirectory=/home/ann/nx",
    "REGISTRY_EDITOR.EditorVersion=3.00",
    "REGISTRY_EDITOR.ReceiverVersion=1.00",
    "REGISTRY_EDITOR.ShowTipsAtStartup=True",
    "REGISTRY_EDITOR.TimeZoneOffset=-5",
    "REGISTRY_EDITOR.DaylightSavings=True",
    "REGISTRY_EDITOR.StateId=8",
    "REGISTRY_EDITOR.TransmitterLocation=",
    "REGISTRY_EDITOR.FrequencyListingFilter=0",
    "REGISTRY_EDITOR.UserStationID=",
    "",
    "NV_RAM_8007.GiveStationID=False",
    "NV_RAM_8007.AppendThisIs=False",
    "NV_RAM_8007.AppendRepeater=False",
    "NV_RAM_8007.AppendTransmitter=False",
    "NV_RAM_8007.Spare8007_1=False",
    "NV_RAM_8007.Spare8007_2=False",
    "NV_RAM_8007.Spare8007_3=False",
    "NV_RAM_8007.Spare8007_4=False",
    "",
    "NV_RAM_8008.SpeakerActive=True",
    "NV_RAM_8008.LineActive=True",
    "NV_RAM_8008.AlertLedActive=True",
    "NV_RAM_8008.ForceOnSpeaker=True",
    "NV_RAM_8008.ForceOnLine=True",
    "NV_RAM_8008.AcceptAllFips=False",
    "NV_RAM_8008.AcceptAllEvents=False",
    "NV_RAM_8008.IgnoreTerminationPacket=False",
    "",
    "NV_RAM_8009.AcceptAllAlerts=False",
    "NV_RAM_8009.WatchAndWarningOnly=False",
    "NV_RAM_8009.WarningOnly=False",
    "NV_RAM_8009.CancelAlert=False",
    "NV_RAM_8009.SkipVoiceAnnc=False",
    "NV_RAM_8009.ForceVocInterval=False",
    "NV_RAM_8009.Spare8009_1=False",
    "NV_RAM_8009.Spare8009_2=False",
    "",
    "NV_RAM_800A.AcceptAllAlerts=False",
    "NV_RAM_800A.WatchAndWarningOnly=False",
    "NV_RAM_800A.WarningOnly=False",
    "NV_RAM_800A.CancelAlert=False",
    "NV_RAM_800A.SkipVoiceAnnc=False",
    "NV_RAM_800A.ForceVocInterval=False",
    "NV_RAM_800A.Spare800A_1=False",
    "NV_RAM_800A.Spare800A_2=False",
    "",
    "NV_RAM_800B.VoiceIntervalSpeaker=True",
    "NV_RAM_800B.VoiceIntervalLine=True",
    "NV_RAM_800B.VocAllEvents=True",
    "NV_RAM_800B.VocWarningsWatch=False",
    "NV_RAM_800B.VocWarnings=False",
    "NV_RAM_800B.VocTruncateTest=True",
    "NV_RAM_800B.Spare800B_1=False",
    "NV_RAM_800B.Spare800B_2=False",
    "",
    "NV_RAM_800C.SendPacketRs232=False",
    "NV_RAM_800C.BeginSOH=False",
    "NV_RAM_800C.InsertSTX=False",
    "NV_RAM_800C.AppendTrailingCrlf=False",
    "NV_RAM_800C.EndingETX=False",
    "NV_RAM_800C.EndingEOT=False",
    "NV_RAM_800C.Spare800C_1=False",
    "NV_RAM_800C.Spare800C_2=False",
    "",
    "NV_RAM_800D.PulseAll=False",
    "NV_RAM_800D.PulseWatchWarning=False",
    "NV_RAM_800D.PulseWatch=False",
    "NV_RAM_800D.PulseWarning=False",
    "NV_RAM_800D.PulseNonWatchWarning=False",
    "NV_RAM_800D.Spare800D_1=False",
    "NV_RAM_800D.Spare800D_2=False",
    "NV_RAM_800D.Spare800D_3=False",
    "",
    "NV_RAM_800E.PulseAll=False",
    "NV_RAM_800E.PulseWatchWarning=False",
    "NV_RAM_800E.PulseWatch=False",
    "NV_RAM_800E.PulseWarning=False",
    "NV_RAM_800E.PulseNonWatchWarning=False",
    "NV_RAM_800E.Spare800E_1=False",
    "NV_RAM_800E.Spare800E_2=False",
    "NV_RAM_800E.Spare800E_3=False",
    "",
    "NV_RAM_800F.HighTrigCodeMatch=True",
    "NV_RAM_800F.HighTrigAfterStart=False",
    "NV_RAM_800F.HighTrigAfterRelayTimer=False",
    "NV_RAM_800F.HighTrigBeginSynVoice=False",
    "NV_RAM_800F.HighTrigBeginWxReport=False",
    "NV_RAM_800F.LowTrigEndPacket=True",
    "NV_RAM_800F.LowTrigAlertEnd=False",
    "NV_RAM_800F.Spare800F_1=False",
    "",
    "NV_RAM_TIMERS.SpeakerTimeoutTimer=3",
    "NV_RAM_TIMERS.LineTimeoutTimer=3",
    "NV_RAM_TIMERS.VoiceIntervalTimer=1",
    "NV_RAM_TIMERS.RelayDelayTimer=0",
    "NV_RAM_TIMERS.PreVoiceAnnc=2",
    "",
};

QString joined(const QStringList &lines)
{
    QString s;
    for (const QString &l : lines)
        s += l + QStringLiteral("\r\n");
    return s;
}

} // namespace

class tst_DumpListing : public QObject
{
    Q_OBJECT

private slots:
    void defaultsListedExactly()
    {
        QStringList lines;
        for (const char *l : kDefaultListing)
            lines << QString::fromLatin1(l);
        const QString listing = WriteRegistry(defaults());
        QCOMPARE(listing, joined(lines));
        // The leading line break, 88 value lines, 11 empty lines.
        QStringList got = listing.split(QStringLiteral("\r\n"));
        QCOMPARE(got.takeLast(), QString());   // text after the last line end
        QCOMPARE(got.size(), 1 + 88 + 11);
        QCOMPARE(got.count(QString()), 12);
        QCOMPARE(listing.count(QLatin1Char('\n')), listing.count(QStringLiteral("\r\n")));
    }

    // Each field is listed from its own field: a change to one shows on its
    // line and on no other (the two rear inputs and outputs share key names).
    void valueForms_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("which");
        QTest::newRow("negative integer") << "REGISTRY_EDITOR.TimeZoneOffset=-11" << 0;
        QTest::newRow("text as is") << "REGISTRY_EDITOR.UserStationID=KXYZ 99" << 1;
        QTest::newRow("input 2 only") << "NV_RAM_800A.AcceptAllAlerts=True" << 2;
        QTest::newRow("output 1 only") << "NV_RAM_800D.PulseWatch=True" << 3;
        QTest::newRow("last spare") << "NV_RAM_800F.Spare800F_1=True" << 4;
        QTest::newRow("code out of range kept") << "NV_RAM_TIMERS.PreVoiceAnnc=9" << 5;
        QTest::newRow("state id spelled") << "REGISTRY_EDITOR.StateId=53" << 6;
    }
    void valueForms()
    {
        QFETCH(QString, line);
        QFETCH(int, which);
        ReceiverConfig c = defaults();
        switch (which) {
        case 0: c.TimeZoneOffset = -11; break;
        case 1: c.UserStationID = QStringLiteral("KXYZ 99"); break;
        case 2: c.NV800A.AcceptAllAlerts = true; break;
        case 3: c.NV800D.PulseWatch = true; break;
        case 4: c.Spare800F_1 = true; break;
        case 5: c.PreVoiceAnnc = 9; break;
        case 6: c.StateID = 53; break;
        }
        const QStringList before = WriteRegistry(defaults()).split(QStringLiteral("\r\n"));
        const QStringList after = WriteRegistry(c).split(QStringLiteral("\r\n"));
        QCOMPARE(after.size(), before.size());
        QVERIFY2(after.contains(line), qPrintable(line));
        int changed = 0;
        for (int i = 0; i < after.size(); ++i)
            changed += after.at(i) != before.at(i);
        QCOMPARE(changed, 1);
    }

    void groupNames_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("group");
        QTest::newRow("editor") << "EDITOR" << "REGISTRY_EDITOR";
        QTest::newRow("first flags") << "NV8007" << "NV_RAM_8007";
        QTest::newRow("hex flags") << "NV800A" << "NV_RAM_800A";
        QTest::newRow("timers") << "TIMERS" << "NV_RAM_TIMERS";
    }
    void groupNames()
    {
        QFETCH(QString, section);
        QFETCH(QString, group);
        QCOMPARE(DumpGroupName(section), group);
    }

    // Created-on line and an empty line, the window's text, the listing,
    // each closed by a line end; window bytes pass through unchanged.
    void fileLayout()
    {
        const QDateTime when(QDate(2026, 3, 6), QTime(14, 5, 9));
        const QString window = QStringLiteral("\r\n\r\nNV Data Dump..Please wait\r\nA\x01\tB\xe9\x7f");
        const QString listing = WriteRegistry(defaults());
        const QByteArray bytes = DumpFileBytes(when, window, listing);
        const QByteArray created = DumpCreatedLine(when).toLatin1();
        QVERIFY(created.startsWith("File Created On "));
        // The system's own time format: 14:05:09, or 2:05:09 PM.
        QVERIFY(created.contains("05") && created.contains("09") && (created.contains("14") || created.contains("2")));
        QCOMPARE(bytes, created + "\r\n\r\n" + window.toLatin1() + "\r\n" + listing.toLatin1() + "\r\n");
        QVERIFY(bytes.contains(QByteArray("A\x01\tB\xe9\x7f")));
    }
};

QTEST_GUILESS_MAIN(tst_DumpListing)
#include "tst_dumplisting.moc"
