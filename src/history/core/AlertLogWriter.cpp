// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/AlertLog.h"
#include "history/core/AlertLogDetail.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace alertlog;

namespace alertlog {

// The only place the log's file lock is asked for or given back: every
// program that logs takes the same whole-file lock on the log.
// `take` asks for it without waiting; false (errno set) when another holds it.
static bool fileLock(int fd, bool take)
{
    return ::flock(fd, take ? LOCK_EX | LOCK_NB : LOCK_UN) == 0;
}

// The lock has neither a time limit nor a notice when it is freed, so the
// wait tries again at growing intervals until the deadline.
bool lockLog(int fd, int timeoutMs, QString *why)
{
    QDeadlineTimer deadline(timeoutMs);
    int pause = 5;
    while (!fileLock(fd, true)) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK) {
            *why = QStringLiteral("cannot be locked: %1").arg(sysError(errno));
            return false;
        }
        if (deadline.hasExpired()) {
            *why = QStringLiteral("another program has held it locked for %1 s; nothing was written")
                       .arg(timeoutMs / 1000.0);
            return false;
        }
        QThread::msleep(std::min<qint64>(pause, std::max<qint64>(1, deadline.remainingTime())));
        pause = std::min(pause * 2, 200);
    }
    return true;
}

void unlockLog(int fd)
{
    (void)fileLock(fd, false);
}

} // namespace alertlog

namespace {

// Opens FILE for appending without following a dangling link and without
// blocking; a missing file is created. Returns -1 with *why.
int openLog(const QByteArray &path, QString *why)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        struct stat lst {};
        if (::lstat(path.constData(), &lst) != 0) {
            if (errno != ENOENT) {
                *why = sysError(errno);
                return -1;
            }
            const int fd = ::open(path.constData(),
                                  O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
            if (fd >= 0)
                return fd;
            if (errno != EEXIST) {
                *why = QStringLiteral("cannot be created: %1").arg(sysError(errno));
                return -1;
            }
            continue;   // another program made it just now; open that one
        }
        struct stat st {};
        if (::stat(path.constData(), &st) != 0) {
            *why = errno == ENOENT ? QStringLiteral("it is a link to a file that does not exist") : sysError(errno);
            return -1;
        }
        if (!S_ISREG(st.st_mode)) {
            *why = QStringLiteral("it is %1; nothing was written").arg(kindOf(st.st_mode));
            return -1;
        }
        const int fd = ::open(path.constData(), O_RDWR | O_APPEND | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            *why = QStringLiteral("cannot be opened: %1").arg(sysError(errno));
        return fd;
    }
    *why = QStringLiteral("cannot be opened");
    return -1;
}

// True when the name still leads to the file that `fd` holds: `log upgrade`
// may have put a new file in its place while we waited for the lock.
bool stillThere(const QByteArray &path, int fd)
{
    struct stat a {}, b {};
    return ::fstat(fd, &a) == 0 && ::stat(path.constData(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

AlertLogMerge AppendAlertLog(const QString &fileName, const QList<AlertLogEntry> &alerts, int lockTimeoutMs)
{
    AlertLogMerge m;
    const QByteArray path = QFile::encodeName(fileName);
    auto fail = [&](const QString &why) {
        m.ok = false;
        m.added.clear();
        m.error = QStringLiteral("%1: %2").arg(shown(fileName), why);
        return m;
    };
    if (fileName.isEmpty())
        return fail(QStringLiteral("no file name"));

    Fd f;
    struct stat st {};
    QString why;
    for (int attempt = 0;; ++attempt) {
        f.fd = openLog(path, &why);
        if (f.fd < 0)
            return fail(why);
        // What was opened is what counts: the path may have changed since.
        if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode))
            return fail(QStringLiteral("it is not a regular file; nothing was written"));
        if (!lockLog(f.fd, lockTimeoutMs, &why))
            return fail(why);
        if (stillThere(path, f.fd) || attempt >= 3)
            break;
        ::close(f.fd);
        f.fd = -1;
    }

    if (::fstat(f.fd, &st) != 0)
        return fail(sysError(errno));
    if (st.st_size > MaxLogBytes)
        return fail(QStringLiteral("it is larger than %1 MiB and is not read; start a new log")
                        .arg(MaxLogBytes >> 20));
    const qint64 before = st.st_size;
    AlertLogReader reader;
    if (before > 0 && !reader.openDescriptor(f.fd, before, &why))
        return fail(why);
    if (before > 0 && !reader.hasHeader())
        return fail(notALog());   // only blank bytes
    m = mergeFrom(reader, before == 0, alerts, fileName);
    if (!m.ok) {
        const QString e = m.error;
        return fail(QStringLiteral("cannot be read: %1").arg(e));
    }
    if (m.appended.isEmpty())
        return m;   // nothing new: the file is not touched

    // One write; the lock keeps every program that logs out of the way, and
    // O_APPEND puts it after anything a program that does not lock added.
    qint64 done = 0;
    while (done < m.appended.size()) {
        const ssize_t n = ::write(f.fd, m.appended.constData() + done, size_t(m.appended.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            // Take back a cut-off row (a full disk), unless someone else has
            // written behind it meanwhile.
            struct stat now {};
            if (done > 0 && ::fstat(f.fd, &now) == 0 && now.st_size == before + done)
                (void)::ftruncate(f.fd, before);
            return fail(QStringLiteral("cannot be written: %1; no alert was added").arg(sysError(err)));
        }
        done += n;
    }
    if (::fsync(f.fd) != 0)
        return fail(QStringLiteral("the new alerts may not have reached the disk: %1").arg(sysError(errno)));
    unlockLog(f.fd);
    return m;
}

namespace {

// The layout FILE's header names: 0 for a missing or empty file, -1 with
// *why when it cannot be read or is no alert log. Only the header is read.
int layoutOf(const QString &fileName, QString *why)
{
    AlertLogReader r;
    QString error;
    if (!r.open(fileName, &error, true)) {
        if (why)
            *why = error;
        return -1;
    }
    return r.layout();
}

} // namespace

bool CheckAlertLogNamesReceivers(const QString &fileName, QString *why)
{
    const int layout = layoutOf(fileName, why);
    if (layout < 0)
        return false;
    if (layout == 0 || layout >= AlertLogLayoutReceiver)
        return true;
    if (why)
        *why = QStringLiteral("%1 has no Receiver column, so the alerts of different receivers could not be told "
                              "apart; rewrite it in the new layout with: nx4400c-cli log upgrade %1 --receiver NAME "
                              "(NAME: the receiver its rows came from)")
                   .arg(shown(fileName));
    return false;
}

bool CheckAlertLogTakesMonitorRows(const QString &fileName, QString *why)
{
    const int layout = layoutOf(fileName, why);
    if (layout < 0)
        return false;
    if (layout == 0 || layout >= AlertLogLayoutMonitor)
        return true;
    if (why)
        *why = layout >= AlertLogLayoutReceiver
            ? QStringLiteral("%1 has no columns for the monitor's locations, header and times, so its rows "
                             "could not be told apart; rewrite it in the new layout with: nx4400c-cli log upgrade %1")
                  .arg(shown(fileName))
            : QStringLiteral("%1 has no Receiver column, so the monitor's alerts would be credited to the receiver "
                             "whose rows it holds; rewrite it in the new layout with: nx4400c-cli log upgrade %1 "
                             "--receiver NAME (NAME: the receiver its rows came from)")
                  .arg(shown(fileName));
    return false;
}
