// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "testpackets/core/PacketPlayer.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

// Where a recording sounds in a build without Qt Multimedia: the WAV file is
// written to a private folder and handed to the system's own player, which
// plays it to the end and exits (Windows: the sound player of PowerShell;
// elsewhere paplay or aplay). finished() follows when the player has
// exited, and never before the sound's own length (scaled by the speed) has
// passed, so a test message keeps its pacing; a player that is missing or
// fails leaves a silent wait of that length instead.
class SystemPlayerAudio : public PacketAudio
{
    Q_OBJECT
public:
    explicit SystemPlayerAudio(double silentSpeed = 1.0, QObject *parent = nullptr);
    ~SystemPlayerAudio() override;

    void start(int id, const QByteArray &wav) override;
    void stop() override;

    // The command that plays a WAV file, with "%1" for the file; empty when
    // this system has none. A test may set its own.
    static QStringList defaultCommand();
    void setCommand(const QStringList &command) { m_command = command; }

    // True while the last start() found no player to hand the sound to.
    bool silent() const { return m_silent; }
    // The file the last recording was written to (kept until the next one).
    QString lastFile() const { return m_file; }

private:
    void finishIfDone();
    void endPlayer();

    double m_speed;
    QStringList m_command;
    QTemporaryDir m_folder;
    QString m_file;
    std::unique_ptr<QProcess> m_player;
    QTimer m_pacing;        // the sound's own length
    QTimer m_watchdog;      // a player that never exits
    bool m_running = false;
    bool m_silent = false;
};
