// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/AlertLogRename.h"

#include "history/core/AlertLog.h"
#include "history/core/LockedLogFile.h"
#include "history/core/TransferLog.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace {

// The rows of `data` after the header as [start, end) ranges of complete
// lines; a torn last line is not a row.
struct Line {
    qsizetype start;
    qsizetype end;
};

QList<Line> rowLines(const QByteArray &data)
{
    QList<Line> lines;
    qsizetype pos = data.indexOf('\n');
    if (pos < 0)
        return lines;
    ++pos;
    for (qsizetype end; pos < data.size() && (end = data.indexOf('\n', pos)) >= 0; pos = end + 1)
        lines.append({pos, end});
    return lines;
}

QByteArray lineAt(const QByteArray &data, const Line &l)
{
    QByteArray line = data.mid(l.start, l.end - l.start);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace

ReceiverRename RenameReceiverInLogs(const QString &alertLog, const QString &transferLog, const QString &oldName,
                                    const QString &newName, int lockTimeoutMs)
{
    ReceiverRename r;
    auto fail = [&](const QString &file, const QString &why) {
        r.ok = false;
        r.error = QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(file), why);
        return r;
    };
    if (oldName.isEmpty() || newName.isEmpty() || oldName == newName)
        return fail(alertLog, QStringLiteral("the old and the new name must be two different names"));

    if (QFileInfo::exists(alertLog)) {
        LockedLogFile file;
        QString why;
        QByteArray data;
        if (!file.open(alertLog, /*create*/ false, lockTimeoutMs, &why) || !file.readAll(&data, &why))
            return fail(alertLog, why);
        AlertLogReader header;
        if (!header.openBytes(data.left(data.indexOf('\n') + 1), &why))
            return fail(alertLog, why);
        if (!data.isEmpty() && !header.receiverColumn())
            return fail(alertLog, QStringLiteral("has no Receiver column (nx4400c-cli log upgrade FILE --receiver "
                                                 "NAME first); nothing was changed"));
        // First pass: the alerts NEW holds already, counted.
        const QList<Line> lines = rowLines(data);
        QHash<QString, int> heldByNew;
        QList<int> renamed;   // indexes into lines
        QList<AlertLogEntry> entries(lines.size());
        for (qsizetype i = 0; i < lines.size(); ++i) {
            AlertLogEntry &e = entries[i];
            if (!ParseAlertLogRowFor(lineAt(data, lines[i]), header.layout(), &e))
                continue;   // unreadable lines and markers stay as they are
            if (e.receiver == newName)
                ++heldByNew[e.key()];
            else if (e.receiver == oldName)
                renamed << int(i);
        }
        if (!renamed.isEmpty()) {
            QByteArray out;
            out.reserve(data.size() + 64);
            qsizetype copied = 0;
            for (int i : std::as_const(renamed)) {
                AlertLogEntry &e = entries[i];
                e.receiver = newName;
                out += data.mid(copied, lines[i].start - copied);
                copied = lines[i].end + 1;
                int &held = heldByNew[e.key()];
                if (held > 0) {
                    --held;
                    ++r.repeatsDropped;
                    continue;
                }
                // Written in the log's own layout: a monitor's row keeps its
                // locations, header, time heard and note.
                out += e.csvLineFor(header.layout()).toUtf8() + '\n';
                ++r.alertRows;
            }
            out += data.mid(copied);
            if (!file.replace(out, &why))
                return fail(alertLog, why + QStringLiteral("; nothing was changed"));
        }
    }
    QString why;
    if (!RenameInTransferLog(transferLog, oldName, newName, &r.transferRows, &why, lockTimeoutMs)) {
        r.error = why;
        return r;
    }
    r.ok = true;
    return r;
}
