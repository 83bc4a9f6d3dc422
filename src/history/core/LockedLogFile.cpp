// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/LockedLogFile.h"

#include "base/SafeWrite.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString sysError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

bool fail(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return false;
}

// flock has neither a time limit nor a notice when the lock is freed: the
// wait tries again at growing intervals until the deadline.
bool lock(int fd, int timeoutMs, QString *why)
{
    QDeadlineTimer deadline(timeoutMs);
    int pause = 5;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return fail(why, QStringLiteral("cannot be locked: %1").arg(sysError(errno)));
        if (deadline.hasExpired())
            return fail(why, QStringLiteral("another program has held it locked for %1 s; nothing was written")
                                 .arg(timeoutMs / 1000.0));
        QThread::msleep(std::min<qint64>(pause, std::max<qint64>(1, deadline.remainingTime())));
        pause = std::min(pause * 2, 200);
    }
    return true;
}

} // namespace

LockedLogFile::~LockedLogFile()
{
    close();
}

void LockedLogFile::close()
{
    if (m_fd >= 0) {
        ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
    }
    m_fd = -1;
}

bool LockedLogFile::open(const QString &fileName, bool create, int timeoutMs, QString *why)
{
    close();
    m_name = fileName;
    const QByteArray path = QFile::encodeName(fileName);
    for (int attempt = 0; attempt < 5; ++attempt) {
        int flags = O_RDWR | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
        struct stat lst {};
        if (::lstat(path.constData(), &lst) != 0) {
            if (errno != ENOENT || !create)
                return fail(why, errno == ENOENT ? QStringLiteral("does not exist") : sysError(errno));
            flags |= O_CREAT | O_EXCL;
        } else if (S_ISLNK(lst.st_mode)) {
            // A link the user made on purpose is followed; a dangling one is not.
            struct stat st {};
            if (::stat(path.constData(), &st) != 0)
                return fail(why, QStringLiteral("is a link to a file that does not exist"));
            flags &= ~O_NOFOLLOW;
        }
        const int fd = ::open(path.constData(), flags, 0644);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;   // another program made it just now
            return fail(why, QStringLiteral("cannot be opened: %1").arg(sysError(errno)));
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            return fail(why, QStringLiteral("is not a regular file; nothing was written"));
        }
        if (!lock(fd, timeoutMs, why)) {
            ::close(fd);
            return false;
        }
        // A rename may have put a new file in its place while we waited.
        struct stat now {};
        if (::stat(path.constData(), &now) == 0 && now.st_ino == st.st_ino && now.st_dev == st.st_dev) {
            m_fd = fd;
            return true;
        }
        ::flock(fd, LOCK_UN);
        ::close(fd);
    }
    return fail(why, QStringLiteral("kept being replaced while it was opened"));
}

bool LockedLogFile::readAll(QByteArray *data, QString *why) const
{
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return fail(why, QStringLiteral("cannot be read"));
    data->resize(qsizetype(st.st_size));
    qint64 done = 0;
    while (done < st.st_size) {
        const ssize_t n = ::pread(m_fd, data->data() + done, size_t(st.st_size - done), done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(why, QStringLiteral("cannot be read: %1").arg(n < 0 ? sysError(errno) : QStringLiteral("it shrank")));
        done += n;
    }
    return true;
}

bool LockedLogFile::append(const QByteArray &bytes, QString *why)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(why, QStringLiteral("cannot be written: %1").arg(sysError(errno)));
        done += n;
    }
    if (::fsync(m_fd) != 0)
        return fail(why, QStringLiteral("cannot be written: %1").arg(sysError(errno)));
    return true;
}

bool LockedLogFile::replace(const QByteArray &data, QString *why)
{
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return fail(why, QStringLiteral("cannot be replaced"));
    QString reason;
    if (!writeFileAtomically(m_name, data, &reason))
        return fail(why, reason);
    const QByteArray path = QFile::encodeName(m_name);
    // The next program that appends must still be allowed to.
    if (::geteuid() == 0)
        (void)::chown(path.constData(), st.st_uid, st.st_gid);
    ::chmod(path.constData(), st.st_mode & 07777);
    return true;
}
