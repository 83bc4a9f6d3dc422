// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/AlertLog.h"
#include "history/core/AlertLogDetail.h"

#include "history/core/HistoryDecoder.h"

#include <QRegularExpression>

using namespace alertlog;

namespace {

const QString KeyFormat = QStringLiteral("yyyy-MM-ddTHH:mm");

QString keyOf(const QString &time, const QString &org, const QString &code, const QString &length,
              const QString &receiver)
{
    const QChar sep(0x1f);
    return time + sep + org + sep + code + sep + length + sep + receiver;
}

int digits(const QChar *p, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i) {
        const ushort c = p[i].unicode();
        if (c < '0' || c > '9')
            return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

// The log's own form, 2026-03-06T09:30:00-05:00 (or ...T09:30:00Z for UTC),
// read without the general ISO parser (which costs more than the rest of a
// row and takes forms without the offset). Years 1900 to 9999 only.
QDateTime parseLogTime(const QString &s)
{
    const bool zulu = s.size() == 20 && s.at(19) == QLatin1Char('Z');
    if ((s.size() != 25 && !zulu) || s.at(4) != QLatin1Char('-') || s.at(7) != QLatin1Char('-')
        || s.at(10) != QLatin1Char('T') || s.at(13) != QLatin1Char(':') || s.at(16) != QLatin1Char(':'))
        return QDateTime();
    if (!zulu && (s.at(22) != QLatin1Char(':') || (s.at(19) != QLatin1Char('+') && s.at(19) != QLatin1Char('-'))))
        return QDateTime();
    const QChar *p = s.constData();
    const int y = digits(p, 4), mo = digits(p + 5, 2), d = digits(p + 8, 2);
    const int h = digits(p + 11, 2), mi = digits(p + 14, 2), se = digits(p + 17, 2);
    const int oh = zulu ? 0 : digits(p + 20, 2), om = zulu ? 0 : digits(p + 23, 2);
    if (y < AlertLogFirstYear || y > AlertLogLastYear)
        return QDateTime();
    const QDate date(y, mo, d);
    const QTime time(h, mi, se);
    if (!date.isValid() || !time.isValid() || oh < 0 || oh > 23 || om < 0 || om > 59)
        return QDateTime();
    const int offset = (oh * 3600 + om * 60) * (!zulu && s.at(19) == QLatin1Char('-') ? -1 : 1);
    return QDateTime(date, time, Qt::OffsetFromUTC, offset);
}


EventClass classFromName(const QString &s)
{
    if (s == QLatin1String("Warning"))
        return EventClass::Warning;
    if (s == QLatin1String("Watch"))
        return EventClass::Watch;
    return EventClass::Other;
}

} // namespace

QString CsvField(const QString &s)
{
    const bool guard = !s.isEmpty() && needsGuard(s.at(0));
    if (!guard && !s.contains(QLatin1Char(',')) && !s.contains(QLatin1Char('"')) && !s.contains(QLatin1Char('\n'))
        && !s.contains(QLatin1Char('\r')))
        return s;
    QString q = s;
    q.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + (guard ? QStringLiteral("'") : QString()) + q + QLatin1Char('"');
}

// Alerts are matched by their instant in UTC, so that a change of daylight
// time or of the time-zone setting between two runs logs nothing twice.
QString AlertLogEntry::key() const
{
    const QString k = keyOf(localTime.toUTC().toString(KeyFormat), originator, code, length, receiver);
    return header.isEmpty() ? k : k + QChar(0x1f) + header;
}

int AlertLogEntry::purgeMinutes() const
{
    if (length.size() != 5 || length.at(2) != QLatin1Char(':'))
        return 0;
    const int h = digits(length.constData(), 2), m = digits(length.constData() + 3, 2);
    return h < 0 || m < 0 ? 0 : h * 60 + m;
}

QDateTime AlertLogEntry::repeatEnd() const
{
    const qint64 purge = qint64(purgeMinutes()) * 60;
    const QDateTime end = localTime.addSecs(purge);
    return heard.isValid() && heard >= end ? heard.addSecs(purge) : end;
}

QString AlertLogEntry::csvLine(bool withReceiver) const
{
    return csvLineFor(withReceiver ? AlertLogLayoutCurrent : AlertLogLayoutSixColumns);
}

QString AlertLogEntry::csvLineFor(int layout) const
{
    QStringList f{localTime.toString(Qt::ISODate), CsvField(originator), CsvField(code),
                  CsvField(name), EventClassName(cls), CsvField(length)};
    if (layout >= AlertLogLayoutReceiver)
        f << CsvField(receiver);
    if (layout >= AlertLogLayoutMonitor)
        f << CsvField(locations.join(QLatin1Char(' '))) << CsvField(header)
          << (heard.isValid() ? heard.toString(Qt::ISODate) : QString()) << CsvField(note);
    return f.join(QLatin1Char(','));
}

QString AlertLogHeaderOf(int layout)
{
    switch (layout) {
    case AlertLogLayoutSixColumns: return AlertLogHeader;
    case AlertLogLayoutReceiver: return AlertLogHeaderWithReceiver;
    default: return AlertLogHeaderWithMonitor;
    }
}

QStringList SplitCsvLine(const QString &line)
{
    QStringList fields;
    QString cur;
    bool quoted = false;
    bool wasQuoted = false;
    auto finish = [&] {
        // The guard is only ever written inside quotes, so an unquoted
        // field that begins with ' is taken as it is.
        if (wasQuoted && cur.size() >= 2 && cur.at(0) == QLatin1Char('\'') && needsGuard(cur.at(1)))
            cur.remove(0, 1);
        fields << cur;
        cur.clear();
        wasQuoted = false;
    };
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
            if (cur.isEmpty())
                wasQuoted = true;
        } else if (c == QLatin1Char(',')) {
            finish();
        } else {
            cur += c;
        }
    }
    finish();
    return fields;
}

QDate ParseAlertLogDateOption(const QString &option, const QString &value, QString *error)
{
    // Exactly YYYY-MM-DD: the ISO parser would also take "+2026-..." forms.
    static const QRegularExpression form(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    QDate d;
    if (form.match(value).hasMatch())
        d = QDate::fromString(value, Qt::ISODate);
    if (!d.isValid()) {
        if (error)
            *error = QStringLiteral("%1: \"%2\" is not a date (YYYY-MM-DD)").arg(option, value);
        return QDate();
    }
    if (d.year() < AlertLogFirstYear || d.year() > AlertLogLastYear) {
        if (error)
            *error = QStringLiteral("%1: the year of %2 is not between %3 and %4")
                         .arg(option, value).arg(AlertLogFirstYear).arg(AlertLogLastYear);
        return QDate();
    }
    return d;
}


qint64 AlertLogMinute(const QDateTime &t)
{
    const qint64 s = t.toSecsSinceEpoch();
    return s >= 0 ? s / 60 : -((59 - s) / 60);
}

bool ParseAlertLogRow(const QByteArray &raw, bool receiverColumn, AlertLogEntry *e, QString *why)
{
    return ParseAlertLogRowFor(raw, receiverColumn ? AlertLogLayoutReceiver : AlertLogLayoutSixColumns, e, why);
}

bool ParseAlertLogRowFor(const QByteArray &raw, int layout, AlertLogEntry *e, QString *why)
{
    const bool receiverColumn = layout >= AlertLogLayoutReceiver;
    auto fail = [&](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    const QString line = QString::fromUtf8(raw);
    // Most rows hold no quote: a plain split is a good deal faster.
    const QStringList f = line.contains(QLatin1Char('"')) ? SplitCsvLine(line) : line.split(QLatin1Char(','));
    if (f.size() < 6)
        return fail(QStringLiteral("it has %1 field(s), not %2").arg(f.size()).arg(receiverColumn ? 7 : 6));
    e->localTime = parseLogTime(f.at(0));
    if (!e->localTime.isValid())
        return fail(QStringLiteral("\"%1\" is not a date and time with its offset from UTC "
                                   "(YYYY-MM-DDThh:mm:ss-05:00, years %2 to %3)")
                        .arg(f.at(0).left(40)).arg(AlertLogFirstYear).arg(AlertLogLastYear));
    e->originator = f.at(1);
    e->code = f.at(2);
    e->name = f.at(3);
    e->cls = classFromName(f.at(4));
    e->length = f.at(5);
    e->receiver = receiverColumn && f.size() >= 7 ? f.at(6) : QString();
    // The monitor's columns; a receiver's row may end before them.
    const bool monitor = layout >= AlertLogLayoutMonitor;
    auto field = [&](int i) { return monitor && f.size() > i ? f.at(i) : QString(); };
    e->locations = field(7).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    e->header = field(8);
    e->heard = field(9).isEmpty() ? QDateTime() : parseLogTime(field(9));
    e->note = field(10);
    if (!field(9).isEmpty() && !e->heard.isValid())
        return fail(QStringLiteral("its Heard field \"%1\" is not a date and time with its offset from UTC")
                        .arg(field(9).left(40)));
    return true;
}
