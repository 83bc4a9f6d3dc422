// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/AlertLog.h"
#include "history/core/AlertLogDetail.h"

#include "base/SafeWrite.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace alertlog;

AlertLogUpgrade UpgradeAlertLog(const QString &fileName, const QString &receiver, int lockTimeoutMs)
{
    AlertLogUpgrade u;
    auto fail = [&](const QString &why) {
        u.ok = false;
        u.error = QStringLiteral("%1: %2").arg(shown(fileName), why);
        return u;
    };
    if (receiver.trimmed().isEmpty())
        return fail(QStringLiteral("no receiver name was given for the old rows"));
    const QByteArray path = QFile::encodeName(fileName);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0)
        return fail(sysError(errno));
    if (!S_ISREG(st.st_mode))
        return fail(QStringLiteral("it is %1; nothing was changed").arg(kindOf(st.st_mode)));
    Fd f;
    f.fd = ::open(path.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (f.fd < 0)
        return fail(QStringLiteral("cannot be opened: %1").arg(sysError(errno)));
    QString why;
    if (!lockLog(f.fd, lockTimeoutMs, &why))
        return fail(why);
    if (::fstat(f.fd, &st) != 0)
        return fail(sysError(errno));
    AlertLogReader r;
    if (!r.openDescriptor(f.fd, st.st_size, &why))
        return fail(why);
    if (!r.hasHeader())
        return fail(notALog());
    if (r.receiverColumn()) {
        u.ok = true;
        u.rows = -1;
        return u;
    }
    u.backup = fileName + QStringLiteral(".bak");
    const QByteArray bak = QFile::encodeName(u.backup);
    struct stat bst {};
    if (::lstat(bak.constData(), &bst) == 0)
        return fail(QStringLiteral("the backup %1 exists already; move it away first; nothing was changed")
                        .arg(shown(u.backup)));

    // Every line after the header gets the receiver's field; torn rows and
    // their markers stay as they are, so they stay out.
    const QByteArray field = ',' + CsvField(receiver).toUtf8();
    QByteArray out = AlertLogHeaderWithReceiver.toUtf8() + '\n';
    out.reserve(qsizetype(st.st_size + st.st_size / 8 + 64));
    QByteArray original;
    original.resize(qsizetype(st.st_size));
    qint64 done = 0;
    while (done < st.st_size) {
        const ssize_t n = ::pread(f.fd, original.data() + done, size_t(st.st_size - done), done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(QStringLiteral("cannot be read: %1").arg(n < 0 ? sysError(errno) : QStringLiteral("it shrank")));
        done += n;
    }
    qsizetype pos = original.indexOf('\n');
    if (pos < 0)
        pos = original.size();
    ++pos;
    while (pos < original.size()) {
        qsizetype end = original.indexOf('\n', pos);
        const bool terminated = end >= 0;
        if (!terminated)
            end = original.size();
        QByteArray line = original.mid(pos, end - pos);
        if (line.endsWith('\r'))
            line.chop(1);
        if (!terminated) {
            // A torn last row: kept, marked, never read as an alert.
            out += line + '\n' + AlertLogTornMarker + '\n';
        } else if (line.isEmpty() || line.startsWith('#')) {
            out += line + '\n';
        } else {
            out += line + field + '\n';
            ++u.rows;
        }
        pos = end + 1;
    }
    original.clear();
    // The old file stays whole under the backup's name (a second name for
    // the same file); the new one takes its place at once.
    if (::link(path.constData(), bak.constData()) != 0) {
        const int err = errno;
        QByteArray copy;
        QString readWhy;
        QFile in(fileName);
        if (!in.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("the backup %1 could not be made: %2").arg(shown(u.backup), sysError(err)));
        copy = in.readAll();
        if (!writeFileAtomically(u.backup, copy, &readWhy))
            return fail(QStringLiteral("the backup could not be made: %1; nothing was changed").arg(readWhy));
    }
    if (!writeFileAtomically(fileName, out, &why))
        return fail(QStringLiteral("%1; the log is unchanged, the backup %2 is a copy of it").arg(why, shown(u.backup)));
    // The new file keeps the old one's mode and, when root upgrades a
    // user's log, its owner: the user's next transfer must still append.
    if (::geteuid() == 0)
        (void)::chown(path.constData(), st.st_uid, st.st_gid);
    ::chmod(path.constData(), st.st_mode & 07777);
    u.ok = true;
    return u;
}

