// SPDX-License-Identifier: GPL-3.0-or-later
#include "testpackets/core/SystemPlayerAudio.h"

#include "base/SafeWrite.h"
#include "testpackets/core/SameAudio.h"

#include <QDir>
#include <QStandardPaths>

#include <cmath>

namespace {

// A player that has not exited this long after the sound should have ended
// is stopped.
constexpr int WatchdogMarginMs = 5000;

} // namespace

SystemPlayerAudio::SystemPlayerAudio(double silentSpeed, QObject *parent)
    : PacketAudio(parent)
    , m_speed(silentSpeed)
    , m_command(defaultCommand())
{
    m_pacing.setSingleShot(true);
    m_watchdog.setSingleShot(true);
    connect(&m_pacing, &QTimer::timeout, this, &SystemPlayerAudio::finishIfDone);
    connect(&m_watchdog, &QTimer::timeout, this, [this] {
        endPlayer();
        finishIfDone();
    });
}

SystemPlayerAudio::~SystemPlayerAudio()
{
    m_running = false;
    endPlayer();
}

QStringList SystemPlayerAudio::defaultCommand()
{
#ifdef Q_OS_WIN
    const QString shell = QStandardPaths::findExecutable(QStringLiteral("powershell"));
    if (!shell.isEmpty())
        return {shell, QStringLiteral("-NoProfile"), QStringLiteral("-NonInteractive"), QStringLiteral("-Command"),
                QStringLiteral("(New-Object Media.SoundPlayer '%1').PlaySync()")};
#else
    for (const char *player : {"paplay", "aplay"}) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(player));
        if (!path.isEmpty())
            return {path, QStringLiteral("%1")};
    }
#endif
    return {};
}

void SystemPlayerAudio::start(int id, const QByteArray &wav)
{
    endPlayer();
    m_pacing.stop();
    m_watchdog.stop();
    m_running = true;
    m_silent = false;

    SameAudio::WavInfo info;
    if (!SameAudio::parseWav(wav, &info)) {
        m_pacing.start(0);   // nothing to play: end at once, after start() returns
        return;
    }
    const qint64 durationMs = info.durationMs();
    m_pacing.start(int(std::llround(durationMs * m_speed)));

    m_file = m_folder.isValid() ? m_folder.filePath(QStringLiteral("test-packet-%1.wav").arg(id)) : QString();
    if (m_command.isEmpty() || m_file.isEmpty() || !writeFileAtomically(m_file, wav)) {
        m_silent = true;
        return;
    }
    QStringList args;
    for (const QString &a : std::as_const(m_command))
        args << (a.contains(QLatin1String("%1")) ? a.arg(QDir::toNativeSeparators(m_file)) : a);
    const QString program = args.takeFirst();
    m_player = std::make_unique<QProcess>();
    m_player->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_player->setStandardOutputFile(QProcess::nullDevice());
    connect(m_player.get(), &QProcess::finished, this, &SystemPlayerAudio::finishIfDone);
    connect(m_player.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            m_silent = true;
            finishIfDone();
        }
    });
    m_player->start(program, args);
    m_watchdog.start(int(durationMs + WatchdogMarginMs));
}

void SystemPlayerAudio::stop()
{
    if (!m_running)
        return;
    m_pacing.stop();
    m_watchdog.stop();
    endPlayer();
    m_running = false;
    emit finished();
}

void SystemPlayerAudio::finishIfDone()
{
    if (!m_running || m_pacing.isActive())
        return;
    if (m_player && m_player->state() != QProcess::NotRunning)
        return;
    m_watchdog.stop();
    m_running = false;
    emit finished();
}

void SystemPlayerAudio::endPlayer()
{
    if (!m_player)
        return;
    m_player->disconnect(this);
    if (m_player->state() != QProcess::NotRunning) {
        m_player->kill();
        m_player->waitForFinished(1000);
    }
    m_player.reset();
}
