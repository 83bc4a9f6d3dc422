// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/DeviceClaim.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("DeviceClaim", text);
}

QString permissionHint()
{
    return tr("permission denied; serial ports belong to the dialout group: "
              "sudo usermod -aG dialout $USER (then log out and in again)");
}

QString missingText()
{
    const QStringList present = DeviceClaim::presentDevices();
    if (present.isEmpty())
        return tr("no such device (no serial devices are present)");
    return tr("no such device (serial devices present: %1)").arg(present.join(QLatin1String(", ")));
}

// A UUCP lock file (/run/lock/LCK..ttyUSB0) that minicom, picocom and Qt's
// serial port leave while they hold the device: the PID of a live holder.
qint64 uucpLockHolder(const QString &canonical)
{
    const QString base = QFileInfo(canonical).fileName();
    for (const char *dir : {"/run/lock", "/var/lock"}) {
        QFile f(QStringLiteral("%1/LCK..%2").arg(QLatin1String(dir), base));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray head = f.read(64);
        // Binary (a 4-byte int) or ASCII; only ASCII is in use today.
        bool ok = false;
        const qint64 pid = head.split('\n').value(0).trimmed().toLongLong(&ok);
        if (!ok || pid <= 0 || pid > INT_MAX || pid == qint64(::getpid()))
            continue;
        if (::kill(pid_t(pid), 0) == 0 || errno == EPERM)
            return pid;
    }
    return 0;
}

QString programName(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/comm").arg(pid));
    if (f.open(QIODevice::ReadOnly))
        return QString::fromLocal8Bit(f.readAll().trimmed());
    return QString();
}

QString busyText(const QString &canonical, qint64 lockPid = 0)
{
    QStringList who = DeviceClaim::holders(canonical);
    if (who.isEmpty() && lockPid > 0) {
        const QString name = programName(lockPid);
        who << (name.isEmpty() ? QStringLiteral("PID %1").arg(lockPid) : QStringLiteral("%1 (PID %2)").arg(name).arg(lockPid));
    }
    if (who.isEmpty())
        return tr("the port is busy (another program has it open)");
    return tr("the port is busy, in use by %1").arg(who.join(QLatin1String(", ")));
}

} // namespace

QStringList DeviceClaim::holders(const QString &canonicalPath)
{
    QStringList out;
    const QByteArray target = QFile::encodeName(canonicalPath);
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pidText : pids) {
        bool ok = false;
        const qint64 pid = pidText.toLongLong(&ok);
        if (!ok)
            continue;
        // Other users' descriptors are not readable; those stay unnamed.
        const QByteArray fdDir = QFile::encodeName(QStringLiteral("/proc/%1/fd").arg(pid));
        QDir dir(QString::fromLocal8Bit(fdDir));
        const QStringList fds = dir.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
        for (const QString &fd : fds) {
            char buf[PATH_MAX];
            const QByteArray link = fdDir + '/' + fd.toLatin1();
            const ssize_t n = ::readlink(link.constData(), buf, sizeof buf - 1);
            if (n > 0 && QByteArray(buf, int(n)) == target) {
                const QString name = programName(pid);
                const QString entry = QStringLiteral("%1 (PID %2)").arg(name.isEmpty() ? QStringLiteral("?") : name).arg(pid);
                if (!out.contains(entry))
                    out << entry;
                break;
            }
        }
        if (out.size() >= 4)
            break;
    }
    return out;
}

QStringList DeviceClaim::presentDevices()
{
    QStringList out;
    const QDir dev(QStringLiteral("/dev"));
    const QStringList names = dev.entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*"), QStringLiteral("ttyS*")},
                                            QDir::System | QDir::Files, QDir::Name);
    QStringList usb, onboard;
    for (const QString &n : names) {
        if (n.startsWith(QLatin1String("ttyS"))) {
            // The kernel makes ttyS0..31 whether or not a UART is there;
            // type 0 means none.
            QFile type(QStringLiteral("/sys/class/tty/%1/type").arg(n));
            if (type.open(QIODevice::ReadOnly) && type.readAll().trimmed() == "0")
                continue;
            onboard << dev.filePath(n);
        } else {
            usb << dev.filePath(n);
        }
    }
    out << usb << onboard;
    if (out.size() > 12) {
        const int more = int(out.size()) - 12;
        out = out.mid(0, 12);
        out << tr("and %1 more").arg(more);
    }
    return out;
}

bool DeviceClaim::claim(const QString &path, QString *why)
{
    release();
    auto fail = [&](const QString &reason) {
        if (why)
            *why = tr("Cannot open %1: %2").arg(path, reason);
        release();
        return false;
    };
    const QByteArray name = QFile::encodeName(path);
    char resolved[PATH_MAX];
    if (!::realpath(name.constData(), resolved)) {
        const int e = errno;
        if (e == ENOENT || e == ENOTDIR) {
            QFileInfo link(path);
            if (link.isSymLink())
                return fail(tr("it links to %1, which does not exist; %2").arg(link.symLinkTarget(), missingText()));
            return fail(missingText());
        }
        if (e == EACCES)
            return fail(permissionHint());
        return fail(QString::fromLocal8Bit(std::strerror(e)));
    }
    m_canonical = QFile::decodeName(resolved);
    const QString shown = m_canonical == path ? QString() : QStringLiteral(" (%1)").arg(m_canonical);

    struct stat st {};
    if (::stat(resolved, &st) != 0)
        return fail(missingText());
    if (!S_ISCHR(st.st_mode))
        return fail(tr("not a serial device%1").arg(shown));
    if (const qint64 pid = uucpLockHolder(m_canonical))
        return fail(busyText(m_canonical, pid));

    // Non-blocking: a modem line without carrier would otherwise hold the
    // open until carrier comes.
    m_fd = ::open(resolved, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        const int e = errno;
        switch (e) {
        case EACCES:
        case EPERM:
            return fail(permissionHint());
        case EBUSY:
            return fail(busyText(m_canonical));
        case ENOENT:
        case ENXIO:
        case ENODEV:
            return fail(tr("the device%1 is not there (unplugged?); %2").arg(shown, missingText()));
        default:
            return fail(QString::fromLocal8Bit(std::strerror(e)));
        }
    }
    termios t {};
    if (!::isatty(m_fd) || ::tcgetattr(m_fd, &t) != 0)
        return fail(tr("not a serial device%1").arg(shown));
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            return fail(busyText(m_canonical));
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    }
    return true;
}

void DeviceClaim::exclusive()
{
    if (m_fd >= 0 && !m_exclusive)
        m_exclusive = ::ioctl(m_fd, TIOCEXCL) == 0;
}

void DeviceClaim::release()
{
    if (m_fd >= 0) {
        if (m_exclusive)
            ::ioctl(m_fd, TIOCNXCL);
        ::close(m_fd);
    }
    m_fd = -1;
    m_exclusive = false;
}
