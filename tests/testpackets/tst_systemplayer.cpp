// SPDX-License-Identifier: GPL-3.0-or-later
// Test packets in a build without Qt Multimedia: the recording is written as
// a WAV file and handed to the system's player, and finished() follows in
// every case - played, no player, a player that cannot start or fails, and
// a stop in the middle - exactly once.
#include "testpackets/core/SystemPlayerAudio.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestSystemPlayer : public QObject
{
    Q_OBJECT

private slots:
    void handsTheRecordingOver_data();
    void handsTheRecordingOver();
    void stopEndsThePlayer();
};

void TestSystemPlayer::handsTheRecordingOver_data()
{
    QTest::addColumn<QString>("player");    // shell text run with the file as $0; "" none; "-" missing
    QTest::addColumn<bool>("silent");
    QTest::addColumn<bool>("copied");

    QTest::newRow("the player plays it") << "cp \"$0\" \"$OUT\"" << false << true;
    QTest::newRow("a player that fails") << "exit 3" << false << false;
    QTest::newRow("no player on this system") << "" << true << false;
    QTest::newRow("a player that cannot start") << "-" << true << false;
}

void TestSystemPlayer::handsTheRecordingOver()
{
#ifndef Q_OS_UNIX
    QSKIP("the stand-in player is a shell script");
#endif
    QFETCH(QString, player);
    QFETCH(bool, silent);
    QFETCH(bool, copied);
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("played.wav"));
    qputenv("OUT", QFile::encodeName(out));
    const QByteArray wav = TestPacketRecording(110);
    QVERIFY(!wav.isEmpty());

    SystemPlayerAudio audio(0.01);
    if (player.isEmpty())
        audio.setCommand({});
    else if (player == QLatin1String("-"))
        audio.setCommand({dir.filePath(QStringLiteral("no-such-player")), QStringLiteral("%1")});
    else
        audio.setCommand({QStringLiteral("/bin/sh"), QStringLiteral("-c"), player, QStringLiteral("%1")});
    QSignalSpy done(&audio, &PacketAudio::finished);
    audio.start(110, wav);
    QCOMPARE(done.count(), 0);   // never before start() has returned
    QVERIFY(done.wait(20000));
    QCOMPARE(audio.silent(), silent);
    QCOMPARE(QFile::exists(out), copied);
    if (copied) {
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), wav);
    }
    QTest::qWait(50);
    QCOMPARE(done.count(), 1);
}

void TestSystemPlayer::stopEndsThePlayer()
{
#ifndef Q_OS_UNIX
    QSKIP("the stand-in player is a shell script");
#endif
    SystemPlayerAudio audio(0.01);
    audio.setCommand({QStringLiteral("/bin/sh"), QStringLiteral("-c"), QStringLiteral("exec sleep 60"),
                      QStringLiteral("%1")});
    QSignalSpy done(&audio, &PacketAudio::finished);
    audio.start(120, TestPacketRecording(120));
    QTest::qWait(100);
    audio.stop();
    QCOMPARE(done.count(), 1);
    audio.stop();   // once over, a second stop says nothing
    QTest::qWait(50);
    QCOMPARE(done.count(), 1);
}

QTEST_GUILESS_MAIN(TestSystemPlayer)
#include "tst_systemplayer.moc"
