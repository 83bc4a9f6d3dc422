// SPDX-License-Identifier: GPL-3.0-or-later
// The test packet window: its texts, the state while a message plays, the
// order and pacing of the sounds, no sound output, and a second press or a
// close while a message plays.
#include "support/TestEnv.h"

#include "testpackets/core/SameAudio.h"
#include "testpackets/core/PacketPlayer.h"
#include "testpackets/gui/frmTest.h"

#include <QtTest>
#include <QApplication>
#include <QAudioDevice>
#include <QLabel>
#include <QMediaDevices>
#include <QPushButton>

namespace {

// Stands in for the sound output: records what is played and ends each
// sound after `soundMs`.
class FakeAudio : public PacketAudio
{
public:
    QList<int> ids;
    QList<qint64> startedAt;
    QElapsedTimer clock;
    int soundMs = 0;
    std::function<void(int)> onStart;

    FakeAudio() { clock.start(); }

    void start(int id, const QByteArray &wav) override
    {
        ids.append(id);
        startedAt.append(clock.elapsed());
        lastWav = wav;
        running = true;
        const int generation = ++m_generation;
        if (onStart)
            onStart(id);
        QTimer::singleShot(soundMs, this, [this, generation] {
            if (generation == m_generation)
                stop();
        });
    }
    void stop() override
    {
        if (!running)
            return;
        running = false;
        ++m_generation;
        emit finished();
    }

    QByteArray lastWav;
    bool running = false;

private:
    int m_generation = 0;
};

struct Snapshot {
    bool picture;
    QString ident;
    QList<bool> buttons;   // RWT, FFW, SVA, TOA, OK
    QList<bool> labels;
    QColor colour;         // of the pressed button
};

const char *const kButtons[] = {"cmdRWT", "cmdFFW", "cmdSVA", "cmdTOA"};

QList<int> expectedSounds(int header)
{
    QList<int> ids{header, header, header};
    for (int i = 0; i < 24; ++i)
        ids.append(SameAudio::Beep);
    ids << SameAudio::EndOfMessage << SameAudio::EndOfMessage << SameAudio::EndOfMessage;
    return ids;
}

} // namespace

class tst_FrmTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void idleWindow();
    void message_data();
    void message();
    void pacing();
    void messageAsOneWav_data();
    void messageAsOneWav();
    void disableButtons_data();
    void disableButtons();
    void noSoundOutput();
    void secondPressIgnored();
    void closeDuringMessage_data();
    void closeDuringMessage();

private:
    std::unique_ptr<TestEnv> env;
    QString oldCwd;

    frmTest *makeWindow(FakeAudio **audio)
    {
        auto fake = std::make_unique<FakeAudio>();
        *audio = fake.get();
        auto *w = new frmTest(*env->ctx, nullptr, std::move(fake));
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        return w;
    }
    static QPushButton *button(QWidget *w, const QString &name) { return w->findChild<QPushButton *>(name); }
    static QLabel *label(QWidget *w, const QString &name) { return w->findChild<QLabel *>(name); }

    Snapshot snapshot(frmTest *w, int row)
    {
        Snapshot s;
        s.picture = label(w, QStringLiteral("Picture1"))->isVisible();
        s.ident = label(w, QStringLiteral("lblIdent"))->text();
        for (const char *b : kButtons)
            s.buttons.append(button(w, QString::fromLatin1(b))->isEnabled());
        s.buttons.append(button(w, QStringLiteral("cmdOk"))->isEnabled());
        for (int i = 0; i < 4; ++i)
            s.labels.append(label(w, QStringLiteral("Label1_%1").arg(i))->isEnabled());
        s.colour = button(w, QString::fromLatin1(kButtons[row - 1]))->palette().color(QPalette::Button);
        return s;
    }

    void verifyIdle(frmTest *w)
    {
        QVERIFY(!w->isPlaying());
        QCOMPARE(label(w, QStringLiteral("lblIdent"))->text(), QString());
        QVERIFY(!label(w, QStringLiteral("Picture1"))->isVisible());
        for (const char *b : kButtons) {
            QVERIFY(button(w, QString::fromLatin1(b))->isEnabled());
            QCOMPARE(button(w, QString::fromLatin1(b))->palette().color(QPalette::Button),
                     QApplication::palette().color(QPalette::Button));
        }
        QVERIFY(button(w, QStringLiteral("cmdOk"))->isEnabled());
        for (int i = 0; i < 4; ++i)
            QVERIFY(label(w, QStringLiteral("Label1_%1").arg(i))->isEnabled());
    }
};

void tst_FrmTest::init()
{
    env = std::make_unique<TestEnv>();
    env->ctx->timings.packetStartMs = 5;
    env->ctx->timings.packetPauseMs = 2;
    oldCwd = QDir::currentPath();
    QDir::setCurrent(env->dir.path());
}

void tst_FrmTest::cleanup()
{
    QDir::setCurrent(oldCwd);
    // This window never shows a message box.
    QCOMPARE(env->prompter.boxes.size(), 0);
    env.reset();
}

void tst_FrmTest::idleWindow()
{
    FakeAudio *audio = nullptr;
    std::unique_ptr<frmTest> w(makeWindow(&audio));
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    QCOMPARE(w->windowTitle(), QStringLiteral("NX-4400C SAME Packet Test"));
    const QStringList captions{"RWT", "FFW", "SVA", "TOA"};
    const QStringList names{"Required Weekly Test", "Flash Flood Warning", "Severe Thunderstorm Watch", "Tornado Watch"};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(button(w.get(), QString::fromLatin1(kButtons[i]))->text(), captions[i]);
        QCOMPARE(label(w.get(), QStringLiteral("Label1_%1").arg(i))->text(), names[i]);
    }
    QCOMPARE(button(w.get(), QStringLiteral("cmdOk"))->text(), QStringLiteral("OK"));
    const QString info = label(w.get(), QStringLiteral("lblInfo"))->text();
    QVERIFY(info.startsWith(QStringLiteral("\r\nThese four buttons will activate SAME packets from your sound card.\r\n\r\nEach")));
    QVERIFY(info.contains(QStringLiteral("into your radio for  these test.  Consult the menu HELP section")));
    QVERIFY(info.endsWith(QStringLiteral("for more information and a step by step procedure.")));
    verifyIdle(w.get());
    QVERIFY(button(w.get(), QStringLiteral("cmdOk"))->hasFocus());

    if (!qEnvironmentVariableIsEmpty("NX_GRAB_DIR"))
        w->grab().save(qEnvironmentVariable("NX_GRAB_DIR") + QStringLiteral("/frmTest-idle.png"));

    QTest::mouseClick(button(w.get(), QStringLiteral("cmdOk")), Qt::LeftButton);
    QVERIFY(!w->isVisible());
    QCOMPARE(w->result(), int(QDialog::Accepted));
    QVERIFY(audio->ids.isEmpty());
}

void tst_FrmTest::message_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("header");
    QTest::addColumn<QString>("name");
    QTest::newRow("RWT") << 1 << 110 << QStringLiteral("Required Weekly Test");
    QTest::newRow("FFW") << 2 << 120 << QStringLiteral("Flash Flood Warning");
    QTest::newRow("SVA") << 3 << 130 << QStringLiteral("Severe Thunderstorm Watch");
    QTest::newRow("TOA") << 4 << 140 << QStringLiteral("Tornado Watch");
}

void tst_FrmTest::message()
{
    QFETCH(int, row);
    QFETCH(int, header);
    QFETCH(QString, name);
    FakeAudio *audio = nullptr;
    std::unique_ptr<frmTest> w(makeWindow(&audio));
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));

    QList<Snapshot> during;
    QList<QByteArray> played;
    audio->onStart = [&](int id) {
        during.append(snapshot(w.get(), row));
        played.append(audio->lastWav);
        if (id == header && during.size() == 1 && !qEnvironmentVariableIsEmpty("NX_GRAB_DIR"))
            w->grab().save(qEnvironmentVariable("NX_GRAB_DIR") + QStringLiteral("/frmTest-playing.png"));
    };
    QTest::mouseClick(button(w.get(), QString::fromLatin1(kButtons[row - 1])), Qt::LeftButton);

    QCOMPARE(audio->ids, expectedSounds(header));
    for (int i = 0; i < during.size(); ++i) {
        const Snapshot &s = during[i];
        QVERIFY2(s.picture, "the loudspeaker shows while a recording sounds");
        QCOMPARE(s.ident, name);
        QCOMPARE(s.colour, QColor(255, 0, 0));
        for (int b = 0; b < 4; ++b) {
            QCOMPARE(s.buttons[b], b == row - 1);
            QCOMPARE(s.labels[b], b == row - 1);
        }
        QVERIFY(!s.buttons[4]);   // OK
        // The recording played is the program's own.
        QCOMPARE(played[i], TestPacketRecording(audio->ids[i]));
    }
    verifyIdle(w.get());
    // Played from memory: nothing left in (or written to) the working folder.
    QCOMPARE(QDir(env->dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot).filter(QStringLiteral(".WAV"), Qt::CaseInsensitive),
             QStringList());
}

void tst_FrmTest::pacing()
{
    // With the pauses at 30 ms: 30 ms before the first header, one pause
    // after every sound, and two between the groups.
    env->ctx->timings.packetStartMs = 30;
    env->ctx->timings.packetPauseMs = 30;
    FakeAudio *audio = nullptr;
    std::unique_ptr<frmTest> w(makeWindow(&audio));
    w->show();
    audio->soundMs = 10;
    const qint64 pressed = audio->clock.elapsed();
    QTest::mouseClick(button(w.get(), QStringLiteral("cmdSVA")), Qt::LeftButton);
    const QList<qint64> &t = audio->startedAt;
    QCOMPARE(t.size(), 30);
    // Timers may fire up to 5 % early; allow a little more.
    auto atLeast = [](qint64 gap, int ms) { return gap >= ms * 9 / 10; };
    QVERIFY2(atLeast(t[0] - pressed, 30), qPrintable(QString::number(t[0] - pressed)));
    for (int i = 1; i < t.size(); ++i) {
        const bool groupChange = i == 3 || i == 27;
        const int expected = 10 + (groupChange ? 60 : 30);
        QVERIFY2(atLeast(t[i] - t[i - 1], expected),
                 qPrintable(QStringLiteral("sound %1: %2 ms after the previous").arg(i).arg(t[i] - t[i - 1])));
    }
}

// The whole message that `sounds DIR` writes as one WAV is the window's
// message: the recordings the window plays, in its order, with its pauses
// as silence (one after every sound, two where the groups change).
void tst_FrmTest::messageAsOneWav_data()
{
    message_data();
}

void tst_FrmTest::messageAsOneWav()
{
    QFETCH(int, row);
    QFETCH(int, header);
    env->ctx->timings.packetStartMs = 5;
    env->ctx->timings.packetPauseMs = 4;
    FakeAudio *audio = nullptr;
    std::unique_ptr<frmTest> w(makeWindow(&audio));
    w->show();
    QList<QByteArray> played;
    audio->onStart = [&](int) { played.append(audio->lastWav); };
    QTest::mouseClick(button(w.get(), QString::fromLatin1(kButtons[row - 1])), Qt::LeftButton);
    QCOMPARE(audio->ids, expectedSounds(header));

    const auto silence = [](int ms) { return QByteArray(ms * SameAudio::SampleRate / 1000, char(SameAudio::Silence)); };
    QByteArray expected = silence(5);
    for (int i = 0; i < played.size(); ++i) {
        SameAudio::WavInfo sound;
        QVERIFY(SameAudio::parseWav(played[i], &sound));
        expected += sound.data + silence(4);
        if (i + 1 < played.size() && audio->ids[i + 1] != audio->ids[i])
            expected += silence(4);
    }
    SameAudio::WavInfo whole;
    QVERIFY(SameAudio::parseWav(SameAudio::testMessageWav(header, 5, 4), &whole));
    QCOMPARE(whole.sampleRate, SameAudio::SampleRate);
    QCOMPARE(whole.data.size(), expected.size());
    QVERIFY(whole.data == expected);
}

void tst_FrmTest::disableButtons_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("changes");
    QTest::newRow("0") << 0 << false;
    QTest::newRow("1") << 1 << true;
    QTest::newRow("3") << 3 << true;
    QTest::newRow("4") << 4 << true;
    QTest::newRow("5") << 5 << false;
    QTest::newRow("-1") << -1 << false;
}

void tst_FrmTest::disableButtons()
{
    QFETCH(int, row);
    QFETCH(bool, changes);
    FakeAudio *audio = nullptr;
    std::unique_ptr<frmTest> w(makeWindow(&audio));
    w->show();
    w->DisableButtons(row);
    for (int b = 0; b < 4; ++b) {
        const bool enabled = !changes || b == row - 1;
        QCOMPARE(button(w.get(), QString::fromLatin1(kButtons[b]))->isEnabled(), enabled);
        QCOMPARE(label(w.get(), QStringLiteral("Label1_%1").arg(b))->isEnabled(), enabled);
    }
    QCOMPARE(button(w.get(), QStringLiteral("cmdOk"))->isEnabled(), !changes);
    w->EnableButtons();
    verifyIdle(w.get());
}

void tst_FrmTest::noSoundOutput()
{
    // No sound server is reachable (see main): the message still runs
    // through every sound's length and every pause, then ends idle, silently.
    QVERIFY(QMediaDevices::defaultAudioOutput().isNull());
    env->ctx->timings = Timings{};
    env->ctx->timings.speed = 0.02;
    std::unique_ptr<frmTest> w(new frmTest(*env->ctx));
    w->show();
    auto *sink = qobject_cast<SinkAudio *>(&w->player().audio());
    QVERIFY(sink);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(button(w.get(), QStringLiteral("cmdRWT")), Qt::LeftButton);
    const qint64 elapsed = clock.elapsed();
    QVERIFY(sink->silent());
    // About 45 s at real speed: 0.5 s, then three headers, 24 beeps and three
    // end-of-message packets with a second after each, two more seconds.
    const double sounds = 3 * 14410 / 8000.0 + 24 * 2073 / 8000.0 + 3 * 3430 / 8000.0;
    const double pauses = 0.5 + 30 + 2;
    const qint64 expectedMs = qint64((sounds + pauses) * 1000 * 0.02);
    QVERIFY2(elapsed >= expectedMs * 9 / 10, qPrintable(QStringLiteral("%1 ms, expected %2").arg(elapsed).arg(expectedMs)));
    QVERIFY2(elapsed < expectedMs * 3 + 2000, qPrintable(QString::number(elapsed)));
    verifyIdle(w.get());
}

void tst_FrmTest::secondPressIgnored()
{
    FakeAudio *audio = nullptr;
    std::unique_ptr<frmTest> w(makeWindow(&audio));
    w->show();
    QPushButton *ffw = button(w.get(), QStringLiteral("cmdFFW"));
    int presses = 0;
    audio->onStart = [&](int) {
        // Press the red button again (it stays enabled) on a few sounds,
        // through the event loop as a user would.
        if (audio->ids.size() == 2 || audio->ids.size() == 10 || audio->ids.size() == 29) {
            ++presses;
            QTimer::singleShot(0, ffw, [ffw] { QTest::mouseClick(ffw, Qt::LeftButton); });
        }
    };
    audio->soundMs = 5;
    QTest::mouseClick(ffw, Qt::LeftButton);
    QCOMPARE(presses, 3);
    QCOMPARE(audio->ids, expectedSounds(120));
    verifyIdle(w.get());
}

void tst_FrmTest::closeDuringMessage_data()
{
    QTest::addColumn<int>("atSound");
    QTest::addColumn<bool>("escape");
    QTest::newRow("close box, header") << 2 << false;
    QTest::newRow("close box, beeps") << 10 << false;
    QTest::newRow("Escape, end of message") << 29 << true;
}

void tst_FrmTest::closeDuringMessage()
{
    // Closing the window stops the message at once (no later sound starts),
    // puts the window back to idle and closes it.
    QFETCH(int, atSound);
    QFETCH(bool, escape);
    FakeAudio *audio = nullptr;
    std::unique_ptr<frmTest> w(makeWindow(&audio));
    audio->onStart = [&](int) {
        // Short sounds up to the one during which the user closes.
        audio->soundMs = audio->ids.size() == atSound ? 1000 : 1;
        if (audio->ids.size() != atSound)
            return;
        QTimer::singleShot(0, w.get(), [&] {
            if (escape)
                QTest::keyClick(w.get(), Qt::Key_Escape);
            else
                w->close();
        });
    };
    bool stateAtClose = false;
    QTimer::singleShot(0, w.get(), [&] {
        QTest::mouseClick(button(w.get(), QStringLiteral("cmdTOA")), Qt::LeftButton);
        stateAtClose = true;
    });
    QElapsedTimer clock;
    clock.start();
    const int result = w->exec();
    QVERIFY(stateAtClose);
    QCOMPARE(result, int(QDialog::Rejected));
    QVERIFY(!w->isVisible());
    QCOMPARE(audio->ids.size(), atSound);
    QVERIFY(!audio->running);
    QVERIFY2(clock.elapsed() < 900, "the sound that was playing was cut short");
    verifyIdle(w.get());
}

int main(int argc, char **argv)
{
    // Point Qt Multimedia at a sound server that does not exist, so that
    // "no sound output" is what these tests see on any machine.
    qputenv("PULSE_SERVER", "unix:/nonexistent/nx4400c-test");
    QApplication app(argc, argv);
    tst_FrmTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_frmtest.moc"
