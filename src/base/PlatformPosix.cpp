// SPDX-License-Identifier: GPL-3.0-or-later
// The system calls behind Platform.h on Linux and other POSIX systems.
#include "base/Platform.h"

#include <QFile>
#include <QProcess>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace Platform {

namespace {

PathKind kindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return PathKind::Regular;
    if (S_ISDIR(mode))
        return PathKind::Directory;
    if (S_ISFIFO(mode))
        return PathKind::Fifo;
    if (S_ISCHR(mode))
        return PathKind::CharDevice;
    if (S_ISBLK(mode))
        return PathKind::BlockDevice;
    if (S_ISSOCK(mode))
        return PathKind::Socket;
    return PathKind::Other;
}

FileStat fromStat(int rc, const struct stat &sb)
{
    FileStat st;
    if (rc != 0) {
        st.error = errno;
        return st;
    }
    st.ok = true;
    st.kind = kindOfMode(sb.st_mode);
    st.size = qint64(sb.st_size);
    st.identity = QStringLiteral("%1:%2").arg(quint64(sb.st_dev)).arg(quint64(sb.st_ino));
    if (S_ISCHR(sb.st_mode) || S_ISBLK(sb.st_mode))
        st.deviceNumber = QStringLiteral("%1:%2").arg(major(sb.st_rdev)).arg(minor(sb.st_rdev));
    st.owner = sb.st_uid;
    st.group = sb.st_gid;
    st.permissions = uint(sb.st_mode & 07777);
    return st;
}

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

int fdOf(qintptr handle)
{
    return int(handle);
}

} // namespace

FileStat StatPath(const QString &path)
{
    struct stat sb {};
    const int rc = ::stat(native(path).constData(), &sb);
    return fromStat(rc, sb);
}

FileStat LstatPath(const QString &path, bool *isLink)
{
    struct stat sb {};
    const int rc = ::lstat(native(path).constData(), &sb);
    FileStat st = fromStat(rc, sb);
    const bool link = rc == 0 && S_ISLNK(sb.st_mode);
    if (isLink)
        *isLink = link;
    return st;
}

QString ReadLink(const QString &path)
{
    QByteArray raw(PATH_MAX, '\0');
    const ssize_t n = ::readlink(native(path).constData(), raw.data(), size_t(raw.size()));
    return n > 0 ? QFile::decodeName(raw.left(n)) : QString();
}

QString RealPath(const QString &path, int *error)
{
    char resolved[PATH_MAX];
    if (!::realpath(native(path).constData(), resolved)) {
        if (error)
            *error = errno;
        return QString();
    }
    return QFile::decodeName(resolved);
}

bool MayAccess(const QString &path, int access, int *error)
{
    int mode = 0;
    if (access & int(Access::Read))
        mode |= R_OK;
    if (access & int(Access::Write))
        mode |= W_OK;
    if (access & int(Access::Search))
        mode |= X_OK;
    // The effective ids decide, as they do for the open that follows.
    if (::faccessat(AT_FDCWD, native(path).constData(), mode, AT_EACCESS) == 0)
        return true;
    if (error)
        *error = errno;
    return false;
}

bool RenameOver(const QString &from, const QString &to, int *error)
{
    if (::rename(native(from).constData(), native(to).constData()) == 0)
        return true;
    if (error)
        *error = errno;
    return false;
}

bool RemoveName(const QString &path, int *error)
{
    if (::unlink(native(path).constData()) == 0)
        return true;
    if (error)
        *error = errno;
    return false;
}

bool HardLink(const QString &target, const QString &link, int *error)
{
    if (::link(native(target).constData(), native(link).constData()) == 0)
        return true;
    if (error)
        *error = errno;
    return false;
}

void KeepOwner(const QString &path, uint owner, uint group)
{
    if (::geteuid() == 0)
        (void)::chown(native(path).constData(), uid_t(owner), gid_t(group));
}

void KeepPermissions(const QString &path, uint permissions)
{
    (void)::chmod(native(path).constData(), mode_t(permissions & 07777));
}

QString ErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool IsMissingError(int error)
{
    return error == ENOENT || error == ENOTDIR;
}

bool IsNoEntryError(int error)
{
    return error == ENOENT;
}

bool IsExistsError(int error)
{
    return error == EEXIST;
}

bool IsPermissionError(int error)
{
    return error == EACCES || error == EPERM;
}

bool IsBusyError(int error)
{
    return error == EBUSY;
}

bool IsGoneError(int error)
{
    return error == ENOENT || error == ENXIO || error == ENODEV;
}

bool ProcessRuns(qint64 pid)
{
    if (pid <= 0 || pid > INT_MAX)
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

void OwnProcessGroup(QProcess &process, bool outputToStderr)
{
    // A session of its own: its id is the id of its process group.
    process.setChildProcessModifier([outputToStderr] {
        ::setsid();
        if (outputToStderr)
            ::dup2(STDERR_FILENO, STDOUT_FILENO);
    });
}

bool KillProcessTree(qint64 pid)
{
    if (pid <= 0 || pid > INT_MAX)
        return false;
    // The group first: what the process started goes with it. A process
    // that left the group (or was never made its leader) is ended alone.
    const bool group = ::kill(-pid_t(pid), SIGKILL) == 0;
    const bool alone = ::kill(pid_t(pid), SIGKILL) == 0;
    return group || alone;
}

namespace {

// The groups to end, read by the signal handler: plain atomics, no locks and
// no allocation, since a handler may run inside malloc.
constexpr int KeptChildren = 64;
std::atomic<pid_t> g_children[KeptChildren];
std::atomic<bool> g_handlerSet{false};

extern "C" void endChildrenAndDie(int sig)
{
    for (std::atomic<pid_t> &c : g_children) {
        const pid_t pid = c.load();
        if (pid > 0) {
            ::kill(-pid, SIGKILL);
            ::kill(pid, SIGKILL);
        }
    }
    // Then end as the signal would have ended us (the exit status says so).
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

} // namespace

bool EndWithThisProgram(qint64 pid)
{
    if (pid <= 0 || pid > INT_MAX)
        return false;
    if (!g_handlerSet.exchange(true)) {
        for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
            struct sigaction old {};
            ::sigaction(sig, nullptr, &old);
            // A signal the caller chose to ignore (nohup) stays ignored.
            if (old.sa_handler == SIG_IGN)
                continue;
            struct sigaction sa {};
            sa.sa_handler = endChildrenAndDie;
            sigemptyset(&sa.sa_mask);
            ::sigaction(sig, &sa, nullptr);
        }
    }
    for (std::atomic<pid_t> &c : g_children) {
        pid_t empty = 0;
        if (c.compare_exchange_strong(empty, pid_t(pid)))
            return true;
    }
    return false;
}

void NoLongerEndWithThisProgram(qint64 pid)
{
    for (std::atomic<pid_t> &c : g_children) {
        pid_t kept = pid_t(pid);
        c.compare_exchange_strong(kept, 0);
    }
}

bool NativeFile::open(const QString &path, Mode mode)
{
    close();
    int flags = O_CLOEXEC | O_NONBLOCK;
    switch (mode) {
    case Mode::Read: flags |= O_RDONLY | O_NOCTTY; break;
    case Mode::ReadWrite: flags |= O_RDWR | O_NOCTTY; break;
    case Mode::Append: flags |= O_RDWR | O_APPEND | O_NOCTTY; break;
    case Mode::AppendNoLink: flags |= O_RDWR | O_APPEND | O_NOFOLLOW | O_NOCTTY; break;
    case Mode::CreateAppend: flags |= O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY; break;
    case Mode::Device: flags |= O_RDWR | O_NOCTTY; break;
    }
    const int fd = ::open(native(path).constData(), flags, 0644);
    if (fd < 0) {
        m_error = errno;
        return false;
    }
    m_handle = fd;
    m_error = 0;
    return true;
}

void NativeFile::close()
{
    if (m_handle == Invalid)
        return;
    if (m_exclusive)
        ::ioctl(fdOf(m_handle), TIOCNXCL);
    ::close(fdOf(m_handle));
    m_handle = Invalid;
    m_exclusive = false;
}

FileStat NativeFile::stat()
{
    struct stat sb {};
    const int rc = ::fstat(fdOf(m_handle), &sb);
    FileStat st = fromStat(rc, sb);
    if (!st.ok)
        m_error = st.error;
    return st;
}

qint64 NativeFile::read(char *data, qint64 size)
{
    for (;;) {
        const ssize_t n = ::read(fdOf(m_handle), data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            m_error = errno;
        return qint64(n);
    }
}

qint64 NativeFile::readAt(char *data, qint64 size, qint64 offset)
{
    for (;;) {
        const ssize_t n = ::pread(fdOf(m_handle), data, size_t(size), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            m_error = errno;
        return qint64(n);
    }
}

qint64 NativeFile::write(const char *data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::write(fdOf(m_handle), data + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_error = n < 0 ? errno : EIO;
            break;
        }
        done += n;
    }
    return done;
}

bool NativeFile::sync()
{
    if (::fsync(fdOf(m_handle)) == 0)
        return true;
    m_error = errno;
    return false;
}

bool NativeFile::truncate(qint64 size)
{
    if (::ftruncate(fdOf(m_handle), off_t(size)) == 0)
        return true;
    m_error = errno;
    return false;
}

NativeFile::LockResult NativeFile::tryLock()
{
    for (;;) {
        if (::flock(fdOf(m_handle), LOCK_EX | LOCK_NB) == 0)
            return LockResult::Locked;
        if (errno == EINTR)
            continue;
        m_error = errno;
        return errno == EWOULDBLOCK ? LockResult::Busy : LockResult::Failed;
    }
}

void NativeFile::unlock()
{
    ::flock(fdOf(m_handle), LOCK_UN);
}

void NativeFile::letGoKeepingLock()
{
    // The lock is the open file's: it must stay open to keep it, and a
    // rename over its name is allowed meanwhile.
}

bool NativeFile::isTerminal()
{
    termios t {};
    return ::isatty(fdOf(m_handle)) && ::tcgetattr(fdOf(m_handle), &t) == 0;
}

bool NativeFile::setExclusive()
{
    if (!m_exclusive)
        m_exclusive = ::ioctl(fdOf(m_handle), TIOCEXCL) == 0;
    return m_exclusive;
}

} // namespace Platform

void Platform::BinaryStandardInput() {}
