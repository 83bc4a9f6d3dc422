// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/AlertLog.h"

#include "history/core/HistoryDecoder.h"
#include "base/SafeWrite.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString KeyFormat = QStringLiteral("yyyy-MM-ddTHH:mm");

// A log larger than this is not read: at about 70 bytes a row it would hold
// millions of alerts, so it is not a log this program made.
constexpr qint64 MaxLogBytes = 256LL * 1024 * 1024;

bool needsGuard(QChar c)
{
    switch (c.unicode()) {
    case '=': case '+': case '-': case '@': case '\'': case '\t': case '\r': return true;
    default: return false;
    }
}

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

// The minute (UTC) of a row's date read straight from its bytes, the same
// rules as parseLogTime; false when the row does not start with a date.
bool rawMinute(const QByteArray &line, qint64 *minute)
{
    const qsizetype comma = line.indexOf(',');
    const qsizetype n = comma < 0 ? line.size() : comma;
    if (n != 25 && n != 20)
        return false;
    const char *p = line.constData();
    const bool zulu = n == 20 && p[19] == 'Z';
    if ((n == 20 && !zulu) || p[4] != '-' || p[7] != '-' || p[10] != 'T' || p[13] != ':' || p[16] != ':')
        return false;
    if (!zulu && (p[22] != ':' || (p[19] != '+' && p[19] != '-')))
        return false;
    auto num = [p](int at, int len) {
        int v = 0;
        for (int i = at; i < at + len; ++i) {
            if (p[i] < '0' || p[i] > '9')
                return -1;
            v = v * 10 + (p[i] - '0');
        }
        return v;
    };
    const int y = num(0, 4), mo = num(5, 2), d = num(8, 2), h = num(11, 2), mi = num(14, 2), se = num(17, 2);
    const int oh = zulu ? 0 : num(20, 2), om = zulu ? 0 : num(23, 2);
    if (y < AlertLogFirstYear || y > AlertLogLastYear || h < 0 || h > 23 || mi < 0 || mi > 59 || se < 0 || se > 59
        || oh < 0 || oh > 23 || om < 0 || om > 59)
        return false;
    const QDate date(y, mo, d);
    if (!date.isValid())
        return false;
    const qint64 offset = (oh * 3600 + om * 60) * (!zulu && p[19] == '-' ? -1 : 1);
    const qint64 secs = (date.toJulianDay() - 2440588) * 86400 + h * 3600 + mi * 60 + se - offset;
    *minute = secs >= 0 ? secs / 60 : -((59 - secs) / 60);
    return true;
}

EventClass classFromName(const QString &s)
{
    if (s == QLatin1String("Warning"))
        return EventClass::Warning;
    if (s == QLatin1String("Watch"))
        return EventClass::Watch;
    return EventClass::Other;
}

// Which header the first line is: 0 none, 1 without, 2 with the Receiver
// column. A byte-order mark that a spreadsheet put in front is allowed.
int headerKind(QString first)
{
    if (first.startsWith(QChar(0xfeff)))
        first.remove(0, 1);
    if (first.endsWith(QLatin1Char('\r')))
        first.chop(1);
    if (first == AlertLogHeader)
        return 1;
    if (first == AlertLogHeaderWithReceiver)
        return 2;
    return 0;
}

QString notALog()
{
    return QStringLiteral("it is not an alert log (its first line is not \"%1\")").arg(AlertLogHeader);
}

QString sysError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// What a path that exists but is no regular file is, for the message.
QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a named pipe (FIFO)");
    if (S_ISCHR(mode))
        return QStringLiteral("a character device");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("not a regular file");
}

// The open log file, closed (and so unlocked) on every way out.
struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Lines longer than this are no rows of a log (a row is about 70 bytes);
// they are skipped without being held in memory.
constexpr qsizetype MaxLineBytes = 64 * 1024;
constexpr qsizetype ChunkBytes = 1024 * 1024;

QString headerKindProblem()
{
    return notALog();
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
    return keyOf(localTime.toUTC().toString(KeyFormat), originator, code, length, receiver);
}

QString AlertLogEntry::csvLine(bool withReceiver) const
{
    QStringList f{localTime.toString(Qt::ISODate), CsvField(originator), CsvField(code),
                  CsvField(name), EventClassName(cls), CsvField(length)};
    if (withReceiver)
        f << CsvField(receiver);
    return f.join(QLatin1Char(','));
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

QString DefaultAlertLogPath()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (dir.isEmpty() || qEnvironmentVariableIsEmpty("HOME"))
        return QString();
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
    return true;
}

AlertLogReader::AlertLogReader() = default;

AlertLogReader::~AlertLogReader()
{
    if (m_ownFd && m_fd >= 0)
        ::close(m_fd);
}

bool AlertLogReader::open(const QString &fileName, QString *error, bool missingIsEmpty)
{
    m_name = fileName;
    auto fail = [&](const QString &why) {
        m_error = QStringLiteral("the alert log %1 cannot be read: %2").arg(shown(fileName), why);
        if (error)
            *error = m_error;
        return false;
    };
    const QByteArray path = QFile::encodeName(fileName);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0) {
        if (errno == ENOENT && missingIsEmpty) {
            m_eof = true;
            return true;
        }
        return fail(sysError(errno));
    }
    if (!S_ISREG(st.st_mode))
        return fail(QStringLiteral("it is %1").arg(kindOf(st.st_mode)));
    m_fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0)
        return fail(sysError(errno));
    m_ownFd = true;
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
        return fail(QStringLiteral("it is not a regular file"));
    m_size = st.st_size;
    QString why;
    if (!readHeader(&why))
        return fail(why);
    return true;
}

bool AlertLogReader::openDescriptor(int fd, qint64 size, QString *error)
{
    m_fd = fd;
    m_ownFd = false;
    m_size = size;
    return startReading(error);
}

bool AlertLogReader::openBytes(const QByteArray &bytes, QString *error)
{
    m_buffer = bytes;
    m_size = bytes.size();
    m_eof = true;
    return startReading(error);
}

// The header is read before any row; a log without a usable one is refused.
bool AlertLogReader::startReading(QString *error)
{
    QString why;
    if (!readHeader(&why)) {
        m_error = why;
        if (error)
            *error = why;
        return false;
    }
    return true;
}

bool AlertLogReader::fill()
{
    if (m_eof || m_fd < 0) {
        m_eof = true;
        return false;
    }
    if (m_pos > 0) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    const qint64 want = std::min<qint64>(ChunkBytes, m_size - m_offset);
    if (want <= 0) {
        m_eof = true;
        return false;
    }
    const qsizetype had = m_buffer.size();
    m_buffer.resize(had + want);
    for (;;) {
        const ssize_t n = ::pread(m_fd, m_buffer.data() + had, size_t(want), m_offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            m_error = QStringLiteral("%1: %2").arg(shown(m_name), sysError(errno));
            m_buffer.resize(had);
            m_eof = true;
            return false;
        }
        m_buffer.resize(had + n);
        m_offset += n;
        if (n == 0)
            m_eof = true;   // shorter than it was: someone cut it
        return n > 0;
    }
}

// The next line without its line end (and without a CR before it).
// *terminated tells whether it had its line end. Lines past MaxLineBytes
// come back cut to that length, their rest skipped.
bool AlertLogReader::nextLine(QByteArray *line, bool *terminated)
{
    bool tooLong = false;
    for (;;) {
        const char *begin = m_buffer.constData() + m_pos;
        const qsizetype avail = m_buffer.size() - m_pos;
        const void *nl = avail > 0 ? std::memchr(begin, '\n', size_t(avail)) : nullptr;
        if (nl) {
            const qsizetype len = static_cast<const char *>(nl) - begin;
            if (!tooLong)
                *line = QByteArray(begin, len);
            m_pos += len + 1;
            m_consumed += len + 1;
            *terminated = true;
            break;
        }
        if (avail > MaxLineBytes) {
            // Keep the beginning for the message; drop the rest as it comes.
            if (!tooLong)
                *line = QByteArray(begin, 80);
            tooLong = true;
            m_consumed += avail;
            m_pos = m_buffer.size();
        }
        if (!fill()) {
            const qsizetype rest = m_buffer.size() - m_pos;
            if (rest == 0 && !tooLong)
                return false;
            if (!tooLong)
                *line = QByteArray(m_buffer.constData() + m_pos, rest);
            m_consumed += rest;
            m_pos = m_buffer.size();
            *terminated = false;
            break;
        }
    }
    if (line->endsWith('\r'))
        line->chop(1);
    if (tooLong)
        line->append("\x01too long");
    return true;
}

bool AlertLogReader::readHeader(QString *why)
{
    QByteArray first;
    bool terminated = false;
    if (!nextLine(&first, &terminated)) {
        if (!m_error.isEmpty()) {
            *why = m_error;
            return false;
        }
        return true;   // an empty file: an empty log
    }
    m_lineNo = 1;
    m_header = headerKind(QString::fromUtf8(first));
    if (m_header == 0) {
        *why = headerKindProblem();
        return false;
    }
    m_noNewlineAtEnd = !terminated;
    return true;
}

void AlertLogReader::leaveOut(const Pending &p)
{
    if (p.passedOver)
        return;
    ++m_skipped;
    if (m_firstProblem.isEmpty())
        m_firstProblem = QStringLiteral("line %1: %2").arg(p.line).arg(p.problem);
}

bool AlertLogReader::next(AlertLogEntry *entry)
{
    if (m_header == 0)
        return false;
    QByteArray line;
    for (;;) {
        bool terminated = true;
        const bool got = nextLine(&line, &terminated);
        if (got)
            ++m_lineNo;
        if (!got) {
            // The end: the row held back is a good one.
            if (m_pending.present) {
                m_current = std::move(m_pending);
                m_pending = Pending();
                if (m_current.valid) {
                    *entry = m_current.entry;
                    return true;
                }
                leaveOut(m_current);
            }
            return false;
        }
        if (line.startsWith('#')) {
            if (line == AlertLogTornMarker && m_pending.present) {
                // The row before was torn by a crash; a later append marked it.
                ++m_torn;
                m_pending = Pending();
            }
            m_noNewlineAtEnd = !terminated;
            continue;
        }
        if (line.isEmpty()) {
            m_noNewlineAtEnd = !terminated;
            continue;
        }
        Pending p;
        p.present = true;
        p.line = m_lineNo;
        p.raw = line;
        if (!terminated) {
            // The last line of the file without its line end: torn.
            ++m_torn;
            m_endsTorn = true;
            m_noNewlineAtEnd = true;
            continue;   // the next call ends, returning the row held back
        }
        m_noNewlineAtEnd = false;
        qint64 minute = 0;
        if (m_useMinutes && rawMinute(line, &minute) && !m_minutes.contains(minute)) {
            p.passedOver = true;   // surely not one looked for: no need to parse it
        } else if (line.endsWith("\x01too long")) {
            p.problem = QStringLiteral("it is longer than %1 bytes").arg(MaxLineBytes);
        } else {
            p.valid = ParseAlertLogRow(line, m_header == 2, &p.entry, &p.problem);
        }
        const bool had = m_pending.present;
        Pending out = std::move(m_pending);
        m_pending = std::move(p);
        if (!had)
            continue;
        if (!out.valid) {
            leaveOut(out);
            continue;
        }
        m_current = std::move(out);
        *entry = m_current.entry;
        return true;
    }
}

namespace {

bool readAll(AlertLogReader &r, AlertLogContent *content)
{
    AlertLogEntry e;
    while (r.next(&e))
        content->entries << e;
    content->receiverColumn = r.receiverColumn();
    content->skipped = r.skipped();
    content->torn = r.torn();
    content->firstProblem = r.firstProblem();
    return r.error().isEmpty();
}

} // namespace

bool ParseAlertLog(const QByteArray &bytes, AlertLogContent *content, QString *error)
{
    *content = AlertLogContent();
    AlertLogReader r;
    if (!r.openBytes(bytes, error))
        return false;
    return readAll(r, content);
}

bool ReadAlertLog(const QString &fileName, AlertLogContent *content, QString *error, bool missingIsEmpty)
{
    *content = AlertLogContent();
    AlertLogReader r;
    if (!r.open(fileName, error, missingIsEmpty))
        return false;
    if (!readAll(r, content)) {
        if (error)
            *error = QStringLiteral("the alert log %1 cannot be read: %2").arg(shown(fileName), r.error());
        return false;
    }
    return true;
}

QByteArray AlertLogText(const QList<AlertLogEntry> &entries, bool withReceiver)
{
    QByteArray out = (withReceiver ? AlertLogHeaderWithReceiver : AlertLogHeader).toUtf8() + '\n';
    for (const AlertLogEntry &e : entries)
        out += e.csvLine(withReceiver).toUtf8() + '\n';
    return out;
}

namespace {

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

} // namespace

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

namespace {

// Opens FILE for appending without following a dangling link and without
// blocking; a missing file is created. Returns -1 with *why.
int openLog(const QByteArray &path, QString *why)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        struct stat lst {};
        if (::lstat(path.constData(), &lst) != 0) {
            if (errno != ENOENT) {
                *why = sysError(errno);
                return -1;
            }
            const int fd = ::open(path.constData(),
                                  O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
            if (fd >= 0)
                return fd;
            if (errno != EEXIST) {
                *why = QStringLiteral("cannot be created: %1").arg(sysError(errno));
                return -1;
            }
            continue;   // another program made it just now; open that one
        }
        struct stat st {};
        if (::stat(path.constData(), &st) != 0) {
            *why = errno == ENOENT ? QStringLiteral("it is a link to a file that does not exist") : sysError(errno);
            return -1;
        }
        if (!S_ISREG(st.st_mode)) {
            *why = QStringLiteral("it is %1; nothing was written").arg(kindOf(st.st_mode));
            return -1;
        }
        const int fd = ::open(path.constData(), O_RDWR | O_APPEND | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            *why = QStringLiteral("cannot be opened: %1").arg(sysError(errno));
        return fd;
    }
    *why = QStringLiteral("cannot be opened");
    return -1;
}

// flock has neither a time limit nor a notice when the lock is freed, so
// the wait tries again at growing intervals until the deadline.
bool lockLog(int fd, int timeoutMs, QString *why)
{
    QDeadlineTimer deadline(timeoutMs);
    int pause = 5;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK) {
            *why = QStringLiteral("cannot be locked: %1").arg(sysError(errno));
            return false;
        }
        if (deadline.hasExpired()) {
            *why = QStringLiteral("another program has held it locked for %1 s; nothing was written")
                       .arg(timeoutMs / 1000.0);
            return false;
        }
        QThread::msleep(std::min<qint64>(pause, std::max<qint64>(1, deadline.remainingTime())));
        pause = std::min(pause * 2, 200);
    }
    return true;
}

// True when the name still leads to the file that `fd` holds: `log upgrade`
// may have put a new file in its place while we waited for the lock.
bool stillThere(const QByteArray &path, int fd)
{
    struct stat a {}, b {};
    return ::fstat(fd, &a) == 0 && ::stat(path.constData(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

AlertLogMerge AppendAlertLog(const QString &fileName, const QList<AlertLogEntry> &alerts, int lockTimeoutMs)
{
    AlertLogMerge m;
    const QByteArray path = QFile::encodeName(fileName);
    auto fail = [&](const QString &why) {
        m.ok = false;
        m.added.clear();
        m.error = QStringLiteral("%1: %2").arg(shown(fileName), why);
        return m;
    };
    if (fileName.isEmpty())
        return fail(QStringLiteral("no file name"));

    Fd f;
    struct stat st {};
    QString why;
    for (int attempt = 0;; ++attempt) {
        f.fd = openLog(path, &why);
        if (f.fd < 0)
            return fail(why);
        // What was opened is what counts: the path may have changed since.
        if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode))
            return fail(QStringLiteral("it is not a regular file; nothing was written"));
        if (!lockLog(f.fd, lockTimeoutMs, &why))
            return fail(why);
        if (stillThere(path, f.fd) || attempt >= 3)
            break;
        ::close(f.fd);
        f.fd = -1;
    }

    if (::fstat(f.fd, &st) != 0)
        return fail(sysError(errno));
    if (st.st_size > MaxLogBytes)
        return fail(QStringLiteral("it is larger than %1 MiB and is not read; start a new log")
                        .arg(MaxLogBytes >> 20));
    const qint64 before = st.st_size;
    AlertLogReader reader;
    if (before > 0 && !reader.openDescriptor(f.fd, before, &why))
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
    // O_APPEND puts it after anything a program that does not lock added.
    qint64 done = 0;
    while (done < m.appended.size()) {
        const ssize_t n = ::write(f.fd, m.appended.constData() + done, size_t(m.appended.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            // Take back a cut-off row (a full disk), unless someone else has
            // written behind it meanwhile.
            struct stat now {};
            if (done > 0 && ::fstat(f.fd, &now) == 0 && now.st_size == before + done)
                (void)::ftruncate(f.fd, before);
            return fail(QStringLiteral("cannot be written: %1; no alert was added").arg(sysError(err)));
        }
        done += n;
    }
    if (::fsync(f.fd) != 0)
        return fail(QStringLiteral("the new alerts may not have reached the disk: %1").arg(sysError(errno)));
    ::flock(f.fd, LOCK_UN);
    return m;
}

bool CheckAlertLogNamesReceivers(const QString &fileName, QString *why)
{
    AlertLogReader r;
    QString error;
    if (!r.open(fileName, &error, true)) {
        if (why)
            *why = error;
        return false;
    }
    if (!r.hasHeader() || r.receiverColumn())
        return true;
    if (why)
        *why = QStringLiteral("%1 has no Receiver column, so the alerts of different receivers could not be told "
                              "apart; rewrite it in the new layout with: nx4400c-cli log upgrade %1 --receiver NAME "
                              "(NAME: the receiver its rows came from)")
                   .arg(shown(fileName));
    return false;
}

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
