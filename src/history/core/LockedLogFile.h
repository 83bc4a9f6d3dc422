// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A log file held under the lock every program that writes the alert log
// takes (flock, exclusive): the transfer log's appends and the receiver
// rename hold it while they add to a log or put a rewritten one in its place.
// The file is opened without following a dangling link and without blocking,
// and refused unless it is a regular file.

#include <QByteArray>
#include <QString>

class LockedLogFile
{
public:
    LockedLogFile() = default;
    ~LockedLogFile();
    LockedLogFile(const LockedLogFile &) = delete;
    LockedLogFile &operator=(const LockedLogFile &) = delete;

    // Opens (creating it when `create`) and locks FILE. A lock another
    // program holds longer than `timeoutMs` ends the wait with a message. A
    // file that another program replaced while this waited is opened again.
    // False with a reason (without the file's name) in *why.
    bool open(const QString &fileName, bool create, int timeoutMs, QString *why);
    bool isOpen() const { return m_fd >= 0; }

    // The whole file as it stands.
    bool readAll(QByteArray *data, QString *why) const;
    // Appends `bytes` in one write and syncs.
    bool append(const QByteArray &bytes, QString *why);
    // Puts `data` in the file's place at once (a new file renamed over it)
    // with the old file's mode, still under the lock.
    bool replace(const QByteArray &data, QString *why);

private:
    void close();
    int m_fd = -1;
    QString m_name;
};
