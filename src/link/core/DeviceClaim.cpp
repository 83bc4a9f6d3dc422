// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/DeviceClaim.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <climits>
#include <cstring>

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

// The UUCP lock files (/run/lock/LCK..ttyUSB0) that minicom, picocom and
// Qt's serial port leave while they hold a device. Qt names a device below
// /dev/ by its path there with "/" made "_" (LCK..pts_5 for /dev/pts/5);
// the older tools by the last part of the name.
QStringList uucpLockFiles(const QString &canonical)
{
    QStringList names;
    if (canonical.startsWith(QLatin1String("/dev/")))
        names << canonical.mid(5).replace(QLatin1Char('/'), QLatin1Char('_'));
    names << QFileInfo(canonical).fileName();
    names.removeDuplicates();
    QStringList files;
    QStringList seenDirs;
    for (const char *dir : {"/run/lock", "/var/lock"}) {
        // /var/lock is a link to /run/lock on most systems.
        const QString real = QFileInfo(QLatin1String(dir)).canonicalFilePath();
        if (real.isEmpty() || seenDirs.contains(real))
            continue;
        seenDirs << real;
        for (const QString &n : std::as_const(names))
            files << QStringLiteral("%1/LCK..%2").arg(real, n);
    }
    return files;
}

// The PID a lock file names: ASCII (Qt writes "PID\nprogram\nhost\n",
// UUCP tools "     PID\n") or a binary 4-byte int; 0 when it names none.
qint64 lockPid(const QString &file, QByteArray *content = nullptr)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray head = f.read(256);
    if (content)
        *content = head;
    bool ok = false;
    qint64 pid = head.split('\n').value(0).trimmed().toLongLong(&ok);
    if (!ok && head.size() == 4) {
        qint32 binary = 0;
        std::memcpy(&binary, head.constData(), 4);
        pid = binary;
        ok = true;
    }
    if (!ok || pid <= 0 || pid > INT_MAX)
        return 0;
    return pid;
}

// A live holder's PID from the lock files; stale ones (their process has
// ended) are listed in *stale.
qint64 uucpLockHolder(const QString &canonical, QStringList *stale)
{
    for (const QString &file : uucpLockFiles(canonical)) {
        const qint64 pid = lockPid(file);
        if (pid <= 0 || pid == QCoreApplication::applicationPid())
            continue;
        if (Platform::ProcessRuns(pid))
            return pid;
        if (stale)
            *stale << file;
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
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pidText : pids) {
        bool ok = false;
        const qint64 pid = pidText.toLongLong(&ok);
        if (!ok)
            continue;
        // Other users' descriptors are not readable; those stay unnamed.
        const QDir dir(QStringLiteral("/proc/%1/fd").arg(pid));
        const QStringList fds = dir.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
        for (const QString &fd : fds) {
            if (Platform::ReadLink(dir.filePath(fd)) == canonicalPath) {
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
    m_notices.clear();
    auto fail = [&](const QString &reason) {
        if (why)
            *why = tr("Cannot open %1: %2").arg(path, reason);
        release();
        return false;
    };
    int error = 0;
    m_canonical = Platform::RealPath(path, &error);
    if (m_canonical.isEmpty()) {
        if (Platform::IsMissingError(error)) {
            QFileInfo link(path);
            if (link.isSymLink())
                return fail(tr("it links to %1, which does not exist; %2").arg(link.symLinkTarget(), missingText()));
            return fail(missingText());
        }
        if (Platform::IsPermissionError(error))
            return fail(permissionHint());
        return fail(Platform::ErrorText(error));
    }
    const QString shown = m_canonical == path ? QString() : QStringLiteral(" (%1)").arg(m_canonical);

    const Platform::FileStat st = Platform::StatPath(m_canonical);
    if (!st.ok)
        return fail(missingText());
    if (st.kind != PathKind::CharDevice)
        return fail(tr("not a serial device%1").arg(shown));
    QStringList staleLocks;
    if (const qint64 pid = uucpLockHolder(m_canonical, &staleLocks))
        return fail(busyText(m_canonical, pid));

    // Non-blocking: a modem line without carrier would otherwise hold the
    // open until carrier comes.
    if (!m_device.open(m_canonical, Platform::NativeFile::Mode::Device)) {
        const int e = m_device.error();
        if (Platform::IsPermissionError(e))
            return fail(permissionHint());
        if (Platform::IsBusyError(e))
            return fail(busyText(m_canonical));
        if (Platform::IsGoneError(e))
            return fail(tr("the device%1 is not there (unplugged?); %2").arg(shown, missingText()));
        return fail(Platform::ErrorText(e));
    }
    if (!m_device.isTerminal())
        return fail(tr("not a serial device%1").arg(shown));
    switch (m_device.tryLock()) {
    case Platform::NativeFile::LockResult::Locked:
        break;
    case Platform::NativeFile::LockResult::Busy:
        return fail(busyText(m_canonical));
    case Platform::NativeFile::LockResult::Failed:
        return fail(m_device.errorText());
    }
    // The device is ours now. A lock file left by a holder that died (kill
    // -9, a crash) says the device is taken when it is not: it goes, and
    // the trace says so. Looked at once more just before: a program that
    // took the device meanwhile has written its own PID there.
    for (const QString &file : std::as_const(staleLocks)) {
        const qint64 pid = lockPid(file);
        if (pid <= 0 || Platform::ProcessRuns(pid))
            continue;
        QFile lock(file);
        if (lock.remove())
            m_notices << tr("removed the stale lock %1 left by PID %2, which has ended").arg(file).arg(pid);
        else
            m_notices << tr("the stale lock %1 left by PID %2 could not be removed (%3)")
                             .arg(file).arg(pid).arg(lock.errorString());
    }
    return true;
}

void DeviceClaim::exclusive()
{
    if (m_device.isOpen())
        m_device.setExclusive();
}

void DeviceClaim::release()
{
    m_device.close();
}
