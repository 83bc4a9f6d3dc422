// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/AlertLog.h"
#include "history/core/AlertLogDetail.h"

#include "history/core/LockedLogFile.h"

#include "base/Platform.h"

using namespace alertlog;
using Platform::NativeFile;

namespace {

// Opens FILE into `f` for appending without following a dangling link and
// without blocking; a missing file is created. False with *why.
bool openLog(const QString &fileName, NativeFile &f, QString *why)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        const Platform::FileStat lst = Platform::LstatPath(fileName);
        if (!lst.ok) {
            if (!Platform::IsNoEntryError(lst.error)) {
                *why = sysError(lst.error);
                return false;
            }
            if (f.open(fileName, NativeFile::Mode::CreateAppend))
                return true;
            if (!Platform::IsExistsError(f.error())) {
                *why = QStringLiteral("cannot be created: %1").arg(f.errorText());
                return false;
            }
            continue;   // another program made it just now; open that one
        }
        const Platform::FileStat st = Platform::StatPath(fileName);
        if (!st.ok) {
            *why = Platform::IsNoEntryError(st.error) ? QStringLiteral("it is a link to a file that does not exist")
                                                      : sysError(st.error);
            return false;
        }
        if (st.kind != PathKind::Regular) {
            *why = QStringLiteral("it is %1; nothing was written").arg(kindOf(st.kind));
            return false;
        }
        if (f.open(fileName, NativeFile::Mode::Append))
            return true;
        *why = QStringLiteral("cannot be opened: %1").arg(f.errorText());
        return false;
    }
    *why = QStringLiteral("cannot be opened");
    return false;
}

// True when the name still leads to the file `f` holds: `log upgrade` may
// have put a new file in its place while we waited for the lock.
bool stillThere(const QString &fileName, NativeFile &f)
{
    const Platform::FileStat a = f.stat();
    const Platform::FileStat b = Platform::StatPath(fileName);
    return a.ok && b.ok && a.identity == b.identity;
}

} // namespace

AlertLogMerge AppendAlertLog(const QString &fileName, const QList<AlertLogEntry> &alerts, int lockTimeoutMs)
{
    AlertLogMerge m;
    auto fail = [&](const QString &why) {
        m.ok = false;
        m.added.clear();
        m.error = QStringLiteral("%1: %2").arg(shown(fileName), why);
        return m;
    };
    if (fileName.isEmpty())
        return fail(QStringLiteral("no file name"));

    NativeFile f;
    Platform::FileStat st;
    QString why;
    for (int attempt = 0;; ++attempt) {
        if (!openLog(fileName, f, &why))
            return fail(why);
        // What was opened is what counts: the path may have changed since.
        st = f.stat();
        if (!st.ok || st.kind != PathKind::Regular)
            return fail(QStringLiteral("it is not a regular file; nothing was written"));
        if (!LockLogFile(f, lockTimeoutMs, &why))
            return fail(why);
        if (stillThere(fileName, f) || attempt >= 3)
            break;
        f.close();
    }

    st = f.stat();
    if (!st.ok)
        return fail(sysError(st.error));
    if (st.size > MaxLogBytes)
        return fail(QStringLiteral("it is larger than %1 MiB and is not read; start a new log")
                        .arg(MaxLogBytes >> 20));
    const qint64 before = st.size;
    AlertLogReader reader;
    if (before > 0 && !reader.openFile(f, before, &why))
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
    // the append mode puts it after anything a program that does not lock
    // added.
    const qint64 done = f.write(m.appended.constData(), m.appended.size());
    if (done < m.appended.size()) {
        const int err = f.error();
        // Take back a cut-off row (a full disk), unless someone else has
        // written behind it meanwhile.
        if (done > 0) {
            const Platform::FileStat now = f.stat();
            if (now.ok && now.size == before + done)
                (void)f.truncate(before);
        }
        return fail(QStringLiteral("cannot be written: %1; no alert was added").arg(sysError(err)));
    }
    if (!f.sync())
        return fail(QStringLiteral("the new alerts may not have reached the disk: %1").arg(f.errorText()));
    f.unlock();
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
