// SPDX-License-Identifier: GPL-3.0-or-later
// Play, then hear: nx4400c-cli plays a Required Weekly Test into one null
// sink of a private PulseAudio server, chosen by name while another sink is
// the default, and nx4400c-cli monitor, listening to that sink's monitor
// source by name, must print the header exactly as sent. Both programs find
// the devices through the build's sound card (Qt Multimedia here), and list
// them. Skipped, saying why, only where no PulseAudio server can start.
#include "support/GuiDriver.h"
#include "support/PrivatePulse.h"
#include "support/TestEnv.h"
#include "testpackets/core/SameAudio.h"
#include "testpackets/gui/frmTest.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QtTest>

class tst_SoundLoop : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void devicesAreListed_data();
    void devicesAreListed();
    void playedHeaderIsHeard();
    void missingDeviceIsRefused_data();
    void missingDeviceIsRefused();
    void windowChoosesTheOutput();

private:
    struct Run {
        int exitCode = -1;
        QString out, err;
    };
    Run cli(const QStringList &args, int timeoutMs = 20000);
    void prepare(QProcess &p) const;

    PrivatePulse m_pulse;
    QTemporaryDir m_home;
};

void tst_SoundLoop::initTestCase()
{
    QString why;
    // The default sink is another one, so a program that ignored the chosen
    // device would play where the monitor does not listen.
    if (!m_pulse.start({QStringLiteral("NXOther"), QStringLiteral("NXLoop")}, &why))
        QSKIP(qPrintable(QStringLiteral("no PulseAudio server to play into: ") + why));
    // This process's own sound card (the test packet window) too.
    qputenv("PULSE_SERVER", m_pulse.address().toUtf8());
}

void tst_SoundLoop::prepare(QProcess &p) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PULSE_SERVER"), m_pulse.address());
    env.insert(QStringLiteral("HOME"), m_home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_home.path());
    p.setProcessEnvironment(env);
    p.setProgram(buildBinDir() + QStringLiteral("/nx4400c-cli"));
}

tst_SoundLoop::Run tst_SoundLoop::cli(const QStringList &args, int timeoutMs)
{
    QProcess p;
    prepare(p);
    p.setArguments(args);
    p.start();
    Run r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        r.err = QStringLiteral("did not finish");
        return r;
    }
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

void tst_SoundLoop::devicesAreListed_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("outputs") << "sounds" << QStringList{"NXOther", "NXLoop"};
    QTest::newRow("inputs") << "monitor" << QStringList{"NXOther-monitor", "NXLoop-monitor"};
}

void tst_SoundLoop::devicesAreListed()
{
    QFETCH(QString, command);
    QFETCH(QStringList, names);
    const Run r = cli({command, QStringLiteral("--list-devices")});
    QCOMPARE(r.exitCode, 0);
    const QStringList lines = r.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &name : names)
        QVERIFY2(lines.contains(name), qPrintable(name + QStringLiteral(" not in: ") + r.out + r.err));
}

void tst_SoundLoop::playedHeaderIsHeard()
{
    QProcess monitor;
    prepare(monitor);
    monitor.setArguments({QStringLiteral("monitor"), QStringLiteral("--device"), QStringLiteral("NXLoop-monitor"),
                          QStringLiteral("--csv"), m_home.filePath(QStringLiteral("alerts.csv"))});
    monitor.start();
    QVERIFY(monitor.waitForStarted(5000));
    // Listening once the sound server has handed it its first (silent)
    // samples; a second is plenty, and the message starts with silence too.
    QTest::qWait(1500);
    QVERIFY2(monitor.state() == QProcess::Running, qPrintable(QString::fromUtf8(monitor.readAllStandardError())));

    QProcess player;
    prepare(player);
    player.setArguments({QStringLiteral("sounds"), QStringLiteral("--play"), QStringLiteral("RWT"),
                         QStringLiteral("--device"), QStringLiteral("NXLoop"), QStringLiteral("--level"),
                         QStringLiteral("80")});
    player.start();
    QVERIFY(player.waitForStarted(5000));

    // The header is decided after its bursts: about ten seconds in.
    QString heard;
    const bool got = QTest::qWaitFor(
        [&] {
            heard += QString::fromUtf8(monitor.readAllStandardOutput());
            return heard.contains(QLatin1String("ZCZC")) && heard.contains(QLatin1Char('\n'))
                   || monitor.state() != QProcess::Running;
        },
        30000);
    const QString playerSaid = QString::fromUtf8(player.readAllStandardOutput() + player.readAllStandardError());
    for (QProcess *p : {&player, &monitor}) {
        p->terminate();
        if (!p->waitForFinished(5000))
            p->kill();
        p->waitForFinished(2000);
    }
    const QString monitorSaid = QString::fromUtf8(monitor.readAllStandardError());
    QVERIFY2(got && heard.contains(QLatin1String("ZCZC")),
             qPrintable(QStringLiteral("the monitor heard nothing.\nplayer: %1\nmonitor: %2%3")
                            .arg(playerSaid, heard, monitorSaid)));
    // Every character of the header as the recording carries it.
    const QString sent = QString::fromLatin1(SameAudio::burstText(SameAudio::RwtHeader));
    const QString line = heard.split(QLatin1Char('\n')).filter(QStringLiteral("ZCZC")).value(0).trimmed();
    QCOMPARE(line, sent);
}

void tst_SoundLoop::missingDeviceIsRefused_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("said");
    QTest::newRow("output") << QStringList{"sounds", "--play", "160", "--device", "Nowhere"}
                            << "no sound output is called \"Nowhere\"";
    QTest::newRow("input") << QStringList{"monitor", "--device", "Nowhere", "--csv", "x.csv"}
                           << "no sound input is called \"Nowhere\"";
    QTest::newRow("level out of range") << QStringList{"sounds", "--play", "160", "--level", "0"}
                                        << "--level takes 1 to 100";
}

void tst_SoundLoop::missingDeviceIsRefused()
{
    QFETCH(QStringList, args);
    QFETCH(QString, said);
    QElapsedTimer clock;
    clock.start();
    const Run r = cli(args);
    // Told at once, not after the sound's length in silence.
    QVERIFY(clock.elapsed() < 5000);
    QCOMPARE(r.exitCode, said.startsWith(QLatin1String("--")) ? 2 : 1);
    QVERIFY2(r.err.contains(said), qPrintable(r.err));
}

void tst_SoundLoop::windowChoosesTheOutput()
{
    // The test packet window lists the outputs beside OK; the one chosen is
    // where the messages go.
    TestEnv env;
    frmTest w(*env.ctx);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto *combo = w.findChild<QComboBox *>(QStringLiteral("cboOutput"));
    QVERIFY(combo);
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    QCOMPARE(items.value(0), QStringLiteral("Default"));
    QVERIFY2(items.contains(QStringLiteral("NXLoop")) && items.contains(QStringLiteral("NXOther")),
             qPrintable(items.join(QLatin1String(", "))));
    // A screen reader hears the output chosen and the label that names it.
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(combo);
    QVERIFY(a);
    QStringList labels;
    for (const auto &rel : a->relations(QAccessible::Label))
        labels << rel.first->text(QAccessible::Name);
    QVERIFY2(labels.contains(QStringLiteral("Sound output:")), qPrintable(labels.join(QLatin1Char('|'))));
    combo->setCurrentIndex(items.indexOf(QStringLiteral("NXLoop")));
    QCOMPARE(a->text(QAccessible::Value), QStringLiteral("NXLoop"));
    auto *sink = qobject_cast<SinkAudio *>(&w.player().audio());
    QVERIFY(sink);
    QCOMPARE(sink->device(), QStringLiteral("NXLoop"));
    grab(&w, QStringLiteral("soundloop-frmtest"));
    // While a message plays the choice waits.
    w.DisableButtons(1);
    QVERIFY(!combo->isEnabled());
    w.EnableButtons();
    QVERIFY(combo->isEnabled());
    combo->setCurrentIndex(0);
    QCOMPARE(sink->device(), QString());
}

QTEST_MAIN(tst_SoundLoop)
#include "tst_soundloop.moc"
