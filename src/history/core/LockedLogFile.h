// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A log file held under the lock every program that writes the alert log
// takes (the system's exclusive whole-file lock, Platform's tryLock): the
// transfer log's appends and the receiver rename hold it while they add to a
// log or put a rewritten one in its place. The file is opened without
// following a dangling link and without blocking, and refused unless it is a
// regular file.

#include "base/Platform.h"

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
    bool isOpen() const { return m_file.isOpen(); }

    // The whole file as it stands.
    bool readAll(QByteArray *data, QString *why) const;
    // Appends `bytes` in one write and syncs.
    bool append(const QByteArray &bytes, QString *why);
    // Puts `data` in the file's place at once (a new file renamed over it)
    // with the old file's owner and mode, still under the lock. The file is
    // no longer open afterwards (on Windows); only the lock is held.
    bool replace(const QByteArray &data, QString *why);

private:
    void close();
    mutable Platform::NativeFile m_file;   // reading moves no position
    QString m_name;
};

// Takes the lock every program that writes the alert log asks for on `file`,
// waiting at most `timeoutMs`; false with a reason in *why otherwise. The
// one place that lock is waited for: the log files above, the alert log's
// append and its upgrade all come here. Given back by unlock() or by closing
// the file.
bool LockLogFile(Platform::NativeFile &file, int timeoutMs, QString *why);
