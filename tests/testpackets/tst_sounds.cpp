// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli sounds: writing the recordings and refusing what it cannot do.
#include "app/cli/CliCommands.h"
#include "base/Timings.h"
#include "testpackets/core/SameAudio.h"
#include "testpackets/core/PacketPlayer.h"

#include <QtTest>

class tst_Sounds : public QObject
{
    Q_OBJECT
private slots:
    void writesAllRecordings();
    void unwritableFolder();
    void badArguments_data();
    void badArguments();
    void playWithoutSoundOutput();
};

void tst_Sounds::writesAllRecordings()
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("new/sub"));   // made on the way
    QCOMPARE(runSoundsCommand({folder}), 0);
    const QStringList written = QDir(folder).entryList(QDir::Files, QDir::Name);
    QCOMPARE(written, QStringList({"110.wav", "120.wav", "130.wav", "140.wav", "150.wav", "160.wav", "FFW.wav", "RWT.wav",
                                   "SVA.wav", "TOA.wav"}));
    for (int id : SameAudio::recordingIds()) {
        QFile f(QDir(folder).filePath(QStringLiteral("%1.wav").arg(id)));
        QVERIFY(f.open(QIODevice::ReadOnly));
        // The very recordings the window plays.
        QCOMPARE(f.readAll(), TestPacketRecording(id));
    }
    // Each whole message at the window's own pauses, about 45 seconds.
    const Timings timings;
    for (const auto &[code, header] : {std::pair{"RWT", 110}, std::pair{"FFW", 120}, std::pair{"SVA", 130}, std::pair{"TOA", 140}}) {
        QFile f(QDir(folder).filePath(QStringLiteral("%1.wav").arg(QLatin1String(code))));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray wav = f.readAll();
        QVERIFY(wav == SameAudio::testMessageWav(header, timings.packetStartMs, timings.packetPauseMs));
        SameAudio::WavInfo info;
        QVERIFY(SameAudio::parseWav(wav, &info));
        QVERIFY2(info.durationMs() > 43000 && info.durationMs() < 48000, qPrintable(QString::number(info.durationMs())));
    }
}

void tst_Sounds::unwritableFolder()
{
    QTemporaryDir dir;
    // A file where the folder should be.
    const QString blocker = dir.filePath(QStringLiteral("file"));
    QFile f(blocker);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QCOMPARE(runSoundsCommand({blocker + QStringLiteral("/sounds")}), 1);
    QCOMPARE(runSoundsCommand({blocker}), 1);
}

void tst_Sounds::badArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("two folders") << QStringList{"a", "b"};
    QTest::newRow("--play alone") << QStringList{"--play"};
    QTest::newRow("unknown id") << QStringList{"--play", "170"};
    QTest::newRow("not a number") << QStringList{"--play", "loud"};
    QTest::newRow("unknown option") << QStringList{"--loud"};
    QTest::newRow("--device without --play") << QStringList{"--device", "NXLoop"};
    QTest::newRow("--device without a name") << QStringList{"--play", "RWT", "--device"};
    QTest::newRow("--device twice") << QStringList{"--play", "RWT", "--device", "a", "--device", "b"};
    QTest::newRow("--level 0") << QStringList{"--play", "RWT", "--level", "0"};
    QTest::newRow("--level above 100") << QStringList{"--play", "RWT", "--level", "101"};
    QTest::newRow("--level not a number") << QStringList{"--play", "RWT", "--level", "loud"};
    QTest::newRow("--list-devices with more") << QStringList{"--list-devices", "x"};
}

void tst_Sounds::badArguments()
{
    QFETCH(QStringList, args);
    QCOMPARE(runSoundsCommand(args), 2);
}

void tst_Sounds::playWithoutSoundOutput()
{
    // With no sound output the command says so at once instead of
    // pretending to play for 45 seconds.
#ifdef NX_WITHOUT_MULTIMEDIA
    QSKIP("without Qt Multimedia the recordings go to the system's player");
#endif
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(runSoundsCommand({"--play", "RWT"}), 1);
    QCOMPARE(runSoundsCommand({"--play", "160"}), 1);
    QVERIFY(clock.elapsed() < 5000);
}

int main(int argc, char **argv)
{
    qputenv("PULSE_SERVER", "unix:/nonexistent/nx4400c-test");
    QCoreApplication app(argc, argv);
    tst_Sounds test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sounds.moc"
