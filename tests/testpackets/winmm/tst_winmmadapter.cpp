// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows sound card adapter (SoundCardWin32.cpp) on Linux, over a
// stand-in of the wave API: devices by name, the end of a sound reported
// once and never after stop(), the watchdog, the input's rate and its
// blocks, and every refusal with its reason. The wave API itself runs under
// Wine in windows_waveloop and in the Windows build's play-and-hear loop.
#include "WaveAudioStandIn.h"
#include "testpackets/core/SoundCard.h"

#include <QtTest>

class tst_WinmmAdapter : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void lists();
    void outputRefused_data();
    void outputRefused();
    void outputPlaysToItsEnd();
    void outputWatchdog();
    void outputStoppedIsSilent();
    void inputRate_data();
    void inputRate();
    void inputBlocksAndFailure();
};

void tst_WinmmAdapter::init()
{
    StandIn::outputs = {"Speakers (Realtek)", "NXLoop"};
    StandIn::inputs = {"Microphone", "Monitor of NXLoop"};
    StandIn::rates = {22050, 48000};
    StandIn::openFails = false;
    StandIn::playDone = false;
    StandIn::recorderFails = false;
    StandIn::pending.clear();
    StandIn::lastDevice = -100;
}

void tst_WinmmAdapter::lists()
{
    QCOMPARE(SoundCard::backend(), QStringLiteral("winmm"));
    QCOMPARE(SoundCard::outputNames(), (QStringList{"Speakers (Realtek)", "NXLoop"}));
    QCOMPARE(SoundCard::inputNames(), (QStringList{"Microphone", "Monitor of NXLoop"}));
    QCOMPARE(SoundCard::defaultOutputName(), QStringLiteral("Speakers (Realtek)"));
    StandIn::inputs.clear();
    QCOMPARE(SoundCard::defaultInputName(), QString());
}

void tst_WinmmAdapter::outputRefused_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<bool>("noOutputs");
    QTest::addColumn<bool>("openFails");
    QTest::addColumn<QString>("why");
    QTest::newRow("unknown name") << "Headphones" << false << false << "no sound output is called \"Headphones\"";
    QTest::newRow("no output at all") << "" << true << false << "this machine has no sound output";
    QTest::newRow("the device refuses") << "NXLoop" << false << true << "stand-in refused";
}

void tst_WinmmAdapter::outputRefused()
{
    QFETCH(QString, device);
    QFETCH(bool, noOutputs);
    QFETCH(bool, openFails);
    QFETCH(QString, why);
    if (noOutputs)
        StandIn::outputs.clear();
    StandIn::openFails = openFails;
    auto out = SoundOutput::create();
    QSignalSpy finished(out.get(), &SoundOutput::finished);
    QString error;
    QVERIFY(!out->start(device, QByteArray(800, '\0'), 8000, &error));
    QVERIFY2(error.contains(why), qPrintable(error));
    QTest::qWait(100);
    QCOMPARE(finished.size(), 0);
}

void tst_WinmmAdapter::outputPlaysToItsEnd()
{
    auto out = SoundOutput::create();
    QSignalSpy finished(out.get(), &SoundOutput::finished);
    QString error;
    QVERIFY2(out->start(QStringLiteral("NXLoop"), QByteArray(16000, '\0'), 8000, &error), qPrintable(error));
    QCOMPARE(StandIn::lastDevice, 1);
    QCOMPARE(StandIn::lastRate, 8000);
    QCOMPARE(StandIn::lastCount, std::size_t(8000));
    QTest::qWait(100);
    QCOMPARE(finished.size(), 0);      // not before the device says so
    StandIn::playDone = true;
    QVERIFY(finished.wait(1000));
    QCOMPARE(finished.first().first().toBool(), false);
    QTest::qWait(100);
    QCOMPARE(finished.size(), 1);      // once
    // "default" is the system's choice, not a device of the list.
    QVERIFY(out->start(QStringLiteral("default"), QByteArray(160, '\0'), 8000, &error));
    QCOMPARE(StandIn::lastDevice, WaveAudio::DefaultDevice);
}

void tst_WinmmAdapter::outputWatchdog()
{
    // A device that never reports the end: the sound still ends, some
    // seconds after its own length.
    auto out = SoundOutput::create();
    QSignalSpy finished(out.get(), &SoundOutput::finished);
    QString error;
    QVERIFY(out->start(QString(), QByteArray(160, '\0'), 8000, &error));
    QElapsedTimer clock;
    clock.start();
    QVERIFY(finished.wait(6000));
    QVERIFY(clock.elapsed() >= 2900);
}

void tst_WinmmAdapter::outputStoppedIsSilent()
{
    auto out = SoundOutput::create();
    QSignalSpy finished(out.get(), &SoundOutput::finished);
    QString error;
    QVERIFY(out->start(QStringLiteral("NXLoop"), QByteArray(16000, '\0'), 8000, &error));
    out->stop();
    StandIn::playDone = true;
    QTest::qWait(150);
    QCOMPARE(finished.size(), 0);
}

void tst_WinmmAdapter::inputRate_data()
{
    QTest::addColumn<QVector<int>>("rates");
    QTest::addColumn<int>("expected");   // 0: refused
    QTest::newRow("the wanted rate") << QVector<int>{8000, 22050, 48000} << 22050;
    QTest::newRow("48000 when 22050 is not taken") << QVector<int>{44100, 48000} << 48000;
    QTest::newRow("44100 after that") << QVector<int>{11025, 44100} << 44100;
    QTest::newRow("no rate the device takes") << QVector<int>{96000} << 0;
}

void tst_WinmmAdapter::inputRate()
{
    QFETCH(QVector<int>, rates);
    QFETCH(int, expected);
    StandIn::rates.assign(rates.begin(), rates.end());
    auto in = SoundInput::create();
    QString error;
    const bool ok = in->start(QStringLiteral("Monitor of NXLoop"), SoundCard::PreferredInputRate, &error);
    QCOMPARE(ok, expected != 0);
    if (ok) {
        QCOMPARE(in->sampleRate(), expected);
        QCOMPARE(StandIn::lastDevice, 1);
        QVERIFY(in->isRunning());
    } else {
        QVERIFY2(error.contains(QLatin1String("records no 16-bit mono sound")), qPrintable(error));
        QVERIFY(!in->isRunning());
    }
}

void tst_WinmmAdapter::inputBlocksAndFailure()
{
    auto in = SoundInput::create();
    QSignalSpy data(in.get(), &SoundInput::data);
    QString error;
    QVERIFY(!in->start(QStringLiteral("Line In"), 22050, &error));
    QVERIFY2(error.contains(QLatin1String("no sound input is called \"Line In\"")), qPrintable(error));
    QVERIFY(in->start(QString(), 22050, &error));
    StandIn::pending = {1, -2, 300};
    QVERIFY(data.wait(1000));
    QCOMPARE(data.first().first().toByteArray(), QByteArray("\x01\x00\xfe\xff\x2c\x01", 6));
    // A device that fails hands over what it had and stops being polled.
    StandIn::pending = {7};
    StandIn::recorderFails = true;
    QVERIFY(data.wait(1000));
    QVERIFY(!in->isRunning());
    QTest::qWait(100);
    QCOMPARE(data.size(), 2);
}

QTEST_GUILESS_MAIN(tst_WinmmAdapter)
#include "tst_winmmadapter.moc"
