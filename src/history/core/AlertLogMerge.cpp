// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/AlertLog.h"
#include "history/core/AlertLogDetail.h"

#include <QHash>
#include <QSet>

using namespace alertlog;

QByteArray AlertLogText(const QList<AlertLogEntry> &entries, bool withReceiver)
{
    QByteArray out = (withReceiver ? AlertLogHeaderWithReceiver : AlertLogHeader).toUtf8() + '\n';
    for (const AlertLogEntry &e : entries)
        out += e.csvLine(withReceiver).toUtf8() + '\n';
    return out;
}

namespace alertlog {

// The merge over a reader: only the keys of the alerts being added are
// counted, so memory does not grow with the log.
AlertLogMerge mergeFrom(AlertLogReader &r, bool empty, const QList<AlertLogEntry> &alerts, const QString &name)
{
    AlertLogMerge m;
    QByteArray appended;
    m.receiverColumn = empty || r.receiverColumn();
    QList<AlertLogEntry> rows = alerts;
    for (AlertLogEntry &row : rows) {
        if (!m.receiverColumn && !row.receiver.isEmpty()) {
            // A log without the column cannot say which receiver heard it;
            // the alert is matched and written as the one receiver's.
            m.receiverDropped = true;
            row.receiver.clear();
        }
    }
    QHash<QString, int> logged;
    for (const AlertLogEntry &row : std::as_const(rows))
        logged.insert(row.key(), 0);
    // A cheap first test per row: the minute of the alert in UTC.
    QSet<qint64> minutes;
    for (const AlertLogEntry &row : std::as_const(rows))
        minutes.insert(AlertLogMinute(row.localTime));
    r.setMinutes(minutes);

    if (empty) {
        appended = AlertLogHeaderWithReceiver.toUtf8() + '\n';
    } else {
        AlertLogEntry e;
        while (r.next(&e)) {
            if (!minutes.contains(AlertLogMinute(e.localTime)))
                continue;
            const auto it = logged.find(e.key());
            if (it != logged.end())
                ++it.value();
        }
        if (!r.error().isEmpty()) {
            m.error = r.error();
            return m;
        }
        if (r.endsInTornRow()) {
            m.tornRow = true;
            appended += '\n' + AlertLogTornMarker + '\n';
            m.notice = QStringLiteral("the last row of %1 was cut off (no line end): it is not counted as an alert, "
                                      "and the new rows start on a fresh line")
                           .arg(shown(name));
        } else if (r.endsWithoutNewline()) {
            appended += '\n';   // the header, or a line another program left open
        }
    }
    for (int i = 0; i < rows.size(); ++i) {
        int &count = logged[rows.at(i).key()];
        if (count > 0) {
            --count;
            continue;
        }
        appended += rows.at(i).csvLine(m.receiverColumn).toUtf8() + '\n';
        m.added << alerts.at(i);
    }
    if (empty || !m.added.isEmpty())
        m.appended = appended;
    m.ok = true;
    return m;
}

} // namespace alertlog

AlertLogMerge MergeAlertLog(const QByteArray &existing, const QList<AlertLogEntry> &alerts)
{
    AlertLogReader r;
    QString why;
    if (!existing.isEmpty() && !r.openBytes(existing, &why)) {
        AlertLogMerge m;
        m.error = why;
        return m;
    }
    AlertLogMerge m = mergeFrom(r, existing.isEmpty(), alerts, QStringLiteral("the log"));
    if (m.ok)
        m.content = existing + m.appended;
    return m;
}
