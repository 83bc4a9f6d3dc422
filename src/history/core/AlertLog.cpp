// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/AlertLog.h"
#include "history/core/AlertLogDetail.h"

#include "history/core/HistoryDecoder.h"

#include "base/Platform.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

namespace alertlog {

bool needsGuard(QChar c)
{
    switch (c.unicode()) {
    case '=': case '+': case '-': case '@': case '\'': case '\t': case '\r': return true;
    default: return false;
    }
}

QString notALog()
{
    return QStringLiteral("it is not an alert log (its first line is not \"%1\")").arg(AlertLogHeader);
}

QString sysError(int err)
{
    return Platform::ErrorText(err);
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// What a path that exists but is no regular file is, for the message.
QString kindOf(PathKind kind)
{
    switch (kind) {
    case PathKind::Directory: return QStringLiteral("a folder");
    case PathKind::Fifo: return QStringLiteral("a named pipe (FIFO)");
    case PathKind::CharDevice: return QStringLiteral("a character device");
    case PathKind::BlockDevice: return QStringLiteral("a block device");
    case PathKind::Socket: return QStringLiteral("a socket");
    default: return QStringLiteral("not a regular file");
    }
}

} // namespace alertlog

using namespace alertlog;

QString DefaultAlertLogPath()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (dir.isEmpty())
        return QString();
#ifndef Q_OS_WIN
    // Without HOME the folder Qt names is under the root folder. Windows
    // finds the user's folders without it.
    if (qEnvironmentVariableIsEmpty("HOME"))
        return QString();
#endif
    return dir + QStringLiteral("/alerts.csv");
}

bool MakeAlertLogFolder(const QString &fileName, QString *error)
{
    const QString folder = QFileInfo(fileName).absolutePath();
    if (QDir().mkpath(folder))
        return true;
    if (error)
        *error = QStringLiteral("the folder %1 for the alert log could not be made").arg(shown(folder));
    return false;
}

QList<AlertLogEntry> AlertLogEntries(const HistorySource &in, int *unreadable)
{
    QList<AlertLogEntry> out;
    int bad = 0;
    for (int k = 0; k < History::SlotCount; ++k) {
        const HistorySlot slot = DecodeHistorySlot(in, k);
        if (slot.empty)
            continue;
        if (!slot.dayValid || slot.hour < 0 || slot.minute < 0) {
            ++bad;
            continue;
        }
        AlertLogEntry e;
        e.localTime = QDateTime(slot.date, QTime(slot.hour, slot.minute), Qt::OffsetFromUTC, slot.utcOffsetSeconds);
        e.originator = slot.rawOrg;
        e.code = slot.code;
        e.name = slot.row.Event;
        e.cls = slot.row.Class;
        e.length = slot.row.Length;
        out << e;
    }
    std::stable_sort(out.begin(), out.end(), [](const AlertLogEntry &a, const AlertLogEntry &b) {
        return a.localTime < b.localTime;
    });
    if (unreadable)
        *unreadable = bad;
    return out;
}

QList<AlertLogEntry> AlertLogEntries(const HistorySource &in, const QString &receiver, int *unreadable)
{
    QList<AlertLogEntry> out = AlertLogEntries(in, unreadable);
    for (AlertLogEntry &e : out)
        e.receiver = receiver;
    return out;
}
