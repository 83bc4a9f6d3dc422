// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/AlertLog.h"
#include "base/SafeWrite.h"

#include "history/core/HistoryDecoder.h"

#include <QFile>
#include <QHash>

#include <algorithm>

namespace {

const QString KeyFormat = QStringLiteral("yyyy-MM-ddTHH:mm");

QString csvField(const QString &s)
{
    if (!s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\n'))
        && !s.contains(QLatin1Char('\r')))
        return s;
    QString q = s;
    q.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString keyOf(const QString &time, const QString &org, const QString &code, const QString &length)
{
    return time + QLatin1Char('\x1f') + org + QLatin1Char('\x1f') + code + QLatin1Char('\x1f') + length;
}

} // namespace

// Alerts are matched by their instant in UTC, so that a change of daylight
// time or of the time-zone setting between two runs logs nothing twice.
QString AlertLogEntry::key() const
{
    return keyOf(localTime.toUTC().toString(KeyFormat), originator, code, length);
}

QString AlertLogEntry::csvLine() const
{
    return QStringList{localTime.toString(Qt::ISODate), csvField(originator), csvField(code),
                       csvField(name), EventClassName(cls), csvField(length)}
        .join(QLatin1Char(','));
}

QStringList SplitCsvLine(const QString &line)
{
    QStringList fields;
    QString cur;
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"')) {
                    cur += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                cur += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            fields << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    fields << cur;
    return fields;
}

QList<AlertLogEntry> AlertLogEntries(const HistorySource &in, int *unreadable)
{
    QList<AlertLogEntry> out;
    int bad = 0;
    const int offset = HistoryUtcOffsetSeconds(in.config, in.DaylightTimeActive);
    for (int k = 0; k < History::SlotCount; ++k) {
        const HistorySlot slot = DecodeHistorySlot(in, k);
        if (slot.empty)
            continue;
        if (!slot.dayValid || slot.hour < 0 || slot.minute < 0) {
            ++bad;
            continue;
        }
        AlertLogEntry e;
        e.localTime = QDateTime(slot.date, QTime(slot.hour, slot.minute), Qt::OffsetFromUTC, offset);
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

AlertLogMerge MergeAlertLog(const QByteArray &existing, const QList<AlertLogEntry> &alerts)
{
    AlertLogMerge m;
    QByteArray content = existing;
    QHash<QString, int> logged;

    if (content.isEmpty()) {
        content = AlertLogHeader.toUtf8() + '\n';
    } else {
        QString text = QString::fromUtf8(existing);
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        const QStringList lines = text.split(QLatin1Char('\n'));
        if (lines.first() != AlertLogHeader) {
            m.error = QStringLiteral("it is not an alert log (its first line is not \"%1\")").arg(AlertLogHeader);
            return m;
        }
        for (int i = 1; i < lines.size(); ++i) {
            if (lines.at(i).isEmpty())
                continue;
            const QStringList f = SplitCsvLine(lines.at(i));
            if (f.size() < 6)
                continue;   // a line someone edited by hand; it matches nothing
            const QDateTime when = QDateTime::fromString(f.at(0), Qt::ISODate);
            const QString time = when.isValid() ? when.toUTC().toString(KeyFormat) : f.at(0);
            ++logged[keyOf(time, f.at(1), f.at(2), f.at(5))];
        }
        if (!content.endsWith('\n'))
            content += '\n';
    }

    for (const AlertLogEntry &a : alerts) {
        int &count = logged[a.key()];
        if (count > 0) {
            --count;
            continue;
        }
        content += a.csvLine().toUtf8() + '\n';
        m.added << a;
    }
    m.content = content;
    m.ok = true;
    return m;
}

AlertLogMerge AppendAlertLog(const QString &fileName, const QList<AlertLogEntry> &alerts)
{
    QByteArray existing;
    QFile in(fileName);
    if (in.exists()) {
        if (!in.open(QIODevice::ReadOnly)) {
            AlertLogMerge m;
            m.error = in.errorString();
            return m;
        }
        existing = in.readAll();
        in.close();
    }
    AlertLogMerge m = MergeAlertLog(existing, alerts);
    if (!m.ok)
        return m;
    if (m.added.isEmpty() && !existing.isEmpty())
        return m;   // nothing new: leave the file untouched
    if (!writeFileAtomically(fileName, m.content, &m.error)) {
        m.ok = false;
        m.added.clear();
    }
    return m;
}
