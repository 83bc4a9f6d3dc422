// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/AlertLog.h"
#include "history/core/AlertLogDetail.h"

#include "history/core/LockedLogFile.h"

#include "base/Platform.h"
#include "base/SafeWrite.h"

#include <QFile>
#include <QFileInfo>

using namespace alertlog;
using Platform::NativeFile;

AlertLogUpgrade UpgradeAlertLog(const QString &fileName, const QString &receiver, int lockTimeoutMs)
{
    AlertLogUpgrade u;
    auto fail = [&](const QString &why) {
        u.ok = false;
        u.error = QStringLiteral("%1: %2").arg(shown(fileName), why);
        return u;
    };
    // Through a symbolic link the file it leads to is upgraded: that file is
    // what the backup must keep, and what the new file replaces.
    const QFileInfo info(fileName);
    const QString real = info.isSymLink() ? info.canonicalFilePath() : fileName;
    if (real.isEmpty())
        return fail(QStringLiteral("it is a link to a file that does not exist"));
    Platform::FileStat st = Platform::StatPath(real);
    if (!st.ok)
        return fail(sysError(st.error));
    if (st.kind != PathKind::Regular)
        return fail(QStringLiteral("it is %1; nothing was changed").arg(kindOf(st.kind)));
    NativeFile f;
    if (!f.open(real, NativeFile::Mode::ReadWrite))
        return fail(QStringLiteral("cannot be opened: %1").arg(f.errorText()));
    QString why;
    if (!LockLogFile(f, lockTimeoutMs, &why))
        return fail(why);
    st = f.stat();
    if (!st.ok)
        return fail(sysError(st.error));
    AlertLogReader r;
    if (!r.openFile(f, st.size, &why))
        return fail(why);
    if (!r.hasHeader())
        return fail(notALog());
    u.fromLayout = r.layout();
    if (u.fromLayout >= AlertLogLayoutCurrent) {
        u.ok = true;
        u.rows = -1;
        return u;
    }
    const bool needsReceiver = u.fromLayout < AlertLogLayoutReceiver;
    if (needsReceiver && receiver.trimmed().isEmpty())
        return fail(QStringLiteral("its rows name no receiver; give the one they came from with --receiver NAME"));
    u.backup = fileName + QStringLiteral(".bak");
    if (Platform::LstatPath(u.backup).ok) {
        // An upgrade killed after making the backup leaves a second name of
        // the log itself: nothing to keep, so it does not block this one.
        const Platform::FileStat same = Platform::StatPath(u.backup);
        const bool isLog = same.ok && same.identity == st.identity;
        if (!isLog || !QFile::remove(u.backup))
            return fail(QStringLiteral("the backup %1 exists already; move it away first; nothing was changed")
                            .arg(shown(u.backup)));
    }

    // Every row gets the columns it lacks (the receiver's name for a
    // six-column log, the monitor's columns empty); torn rows and their
    // markers stay as they are, so they stay out.
    const QByteArray field = (needsReceiver ? ',' + CsvField(receiver).toUtf8() : QByteArray()) + ",,,,";
    QByteArray out = AlertLogHeaderOf(AlertLogLayoutCurrent).toUtf8() + '\n';
    out.reserve(qsizetype(st.size + st.size / 8 + 64));
    QByteArray original;
    original.resize(qsizetype(st.size));
    qint64 done = 0;
    while (done < st.size) {
        const qint64 n = f.readAt(original.data() + done, st.size - done, done);
        if (n <= 0)
            return fail(QStringLiteral("cannot be read: %1").arg(n < 0 ? f.errorText() : QStringLiteral("it shrank")));
        done += n;
    }
    qsizetype pos = original.indexOf('\n');
    if (pos < 0)
        pos = original.size();
    ++pos;
    while (pos < original.size()) {
        qsizetype end = original.indexOf('\n', pos);
        // A quoted field may hold a line break: the row ends where its
        // quotes are closed.
        while (end >= 0 && original.at(pos) != '#' && original.mid(pos, end - pos).count('"') % 2 == 1)
            end = original.indexOf('\n', end + 1);
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
    // The old file stays whole under the backup's name (a second name for
    // the same file); the new one takes its place at once.
    int err = 0;
    if (!Platform::HardLink(real, u.backup, &err)) {
        QString copyWhy;
        if (!writeFileAtomically(u.backup, original, &copyWhy))
            return fail(QStringLiteral("the backup %1 could not be made (%2): %3; nothing was changed")
                            .arg(shown(u.backup), sysError(err), copyWhy));
    }
    original.clear();
    // Windows renames nothing over an open file; the lock stays held until
    // the new log is in place.
    f.letGoKeepingLock();
    if (!writeFileAtomically(real, out, &why))
        return fail(QStringLiteral("%1; the log is unchanged, the backup %2 is a copy of it").arg(why, shown(u.backup)));
    // The new file keeps the old one's mode and, when root upgrades a
    // user's log, its owner: the user's next transfer must still append.
    Platform::KeepOwner(real, st.owner, st.group);
    Platform::KeepPermissions(real, st.permissions);
    u.ok = true;
    return u;
}
