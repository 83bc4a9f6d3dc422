// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/AlertLog.h"
#include "history/core/AlertLogDetail.h"

#include <QHash>
#include <QSet>

using namespace alertlog;

QByteArray AlertLogText(const QList<AlertLogEntry> &entries, bool withReceiver)
{
    return AlertLogTextFor(entries, withReceiver ? AlertLogLayoutCurrent : AlertLogLayoutSixColumns);
}

QByteArray AlertLogTextFor(const QList<AlertLogEntry> &entries, int layout)
{
    QByteArray out = AlertLogHeaderOf(layout).toUtf8() + '\n';
    for (const AlertLogEntry &e : entries)
        out += e.csvLineFor(layout).toUtf8() + '\n';
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
    m.layout = empty ? AlertLogLayoutCurrent : r.layout();
    QList<AlertLogEntry> rows = alerts;
    for (AlertLogEntry &row : rows) {
        if (m.layout < AlertLogLayoutMonitor) {
            // An older layout has no place for the header: matched as a
            // receiver's row. (The monitor refuses such a log beforehand.)
            row.locations.clear();
            row.header.clear();
            row.heard = QDateTime();
            row.note.clear();
        }
        if (!m.receiverColumn && !row.receiver.isEmpty()) {
            // A log without the column cannot say which receiver heard it;
            // the alert is matched and written as the one receiver's.
            m.receiverDropped = true;
            row.receiver.clear();
        }
    }
    // A receiver's rows: how often each key is logged. A monitor's rows:
    // until when a repeat of each header is the same message.
    QHash<QString, int> logged;
    QHash<QString, QDateTime> repeatEnds;
    for (const AlertLogEntry &row : std::as_const(rows)) {
        if (row.offAir())
            repeatEnds.insert(row.key(), QDateTime());
        else
            logged.insert(row.key(), 0);
    }
    // A cheap first test per row: the minute of the alert in UTC.
    QSet<qint64> minutes;
    for (const AlertLogEntry &row : std::as_const(rows))
        minutes.insert(AlertLogMinute(row.localTime));
    r.setMinutes(minutes);

    if (empty) {
        appended = AlertLogHeaderOf(AlertLogLayoutCurrent).toUtf8() + '\n';
    } else {
        AlertLogEntry e;
        while (r.next(&e)) {
            if (!minutes.contains(AlertLogMinute(e.localTime)))
                continue;
            const QString key = e.key();
            if (e.offAir()) {
                const auto end = repeatEnds.find(key);
                if (end != repeatEnds.end() && (!end.value().isValid() || end.value() < e.repeatEnd()))
                    end.value() = e.repeatEnd();
                continue;
            }
            const auto it = logged.find(key);
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
        const AlertLogEntry &row = rows.at(i);
        if (row.offAir()) {
            // The same header heard again before its repeat time ends is
            // the same message (a second relay, the next burst group).
            QDateTime &end = repeatEnds[row.key()];
            if (end.isValid() && (!row.heard.isValid() || row.heard < end))
                continue;
            end = row.repeatEnd();
        } else {
            int &count = logged[row.key()];
            if (count > 0) {
                --count;
                continue;
            }
        }
        appended += row.csvLineFor(m.layout).toUtf8() + '\n';
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
