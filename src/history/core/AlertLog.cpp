// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/AlertLog.h"

#include "history/core/HistoryDecoder.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
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

// The log's own form, 2026-03-06T09:30:00-05:00, read without the general
// ISO parser (which costs more than the rest of a row); anything else goes
// to the general parser.
QDateTime parseLogTime(const QString &s)
{
    if (s.size() == 25 && s.at(4) == QLatin1Char('-') && s.at(7) == QLatin1Char('-') && s.at(10) == QLatin1Char('T')
        && s.at(13) == QLatin1Char(':') && s.at(16) == QLatin1Char(':') && s.at(22) == QLatin1Char(':')
        && (s.at(19) == QLatin1Char('+') || s.at(19) == QLatin1Char('-'))) {
        const QChar *p = s.constData();
        const int y = digits(p, 4), mo = digits(p + 5, 2), d = digits(p + 8, 2);
        const int h = digits(p + 11, 2), mi = digits(p + 14, 2), se = digits(p + 17, 2);
        const int oh = digits(p + 20, 2), om = digits(p + 23, 2);
        const QDate date(y, mo, d);
        const QTime time(h, mi, se);
        if (date.isValid() && time.isValid() && oh >= 0 && oh < 24 && om >= 0 && om < 60) {
            const int offset = (oh * 3600 + om * 60) * (s.at(19) == QLatin1Char('-') ? -1 : 1);
            return QDateTime(date, time, Qt::OffsetFromUTC, offset);
        }
    }
    return QDateTime::fromString(s, Qt::ISODate);
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

bool readAt(int fd, qint64 size, QByteArray *out, int *err)
{
    out->resize(size);
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, out->data() + done, size_t(size - done), done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *err = errno;
            return false;
        }
        if (n == 0)
            break;   // shorter than fstat said: someone truncated it
        done += n;
    }
    out->resize(done);
    return true;
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

bool ParseAlertLog(const QByteArray &bytes, AlertLogContent *content, QString *error)
{
    *content = AlertLogContent();
    if (bytes.isEmpty())
        return true;
    QString text = QString::fromUtf8(bytes);
    const QStringList lines = text.split(QLatin1Char('\n'));
    const int kind = headerKind(lines.first());
    if (kind == 0) {
        if (error)
            *error = notALog();
        return false;
    }
    content->receiverColumn = kind == 2;
    content->entries.reserve(lines.size());
    for (int i = 1; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const QStringList f = SplitCsvLine(line);
        AlertLogEntry e;
        if (f.size() >= 6)
            e.localTime = parseLogTime(f.at(0));
        if (!e.localTime.isValid()) {
            ++content->skipped;   // edited by hand or cut off
            continue;
        }
        e.originator = f.at(1);
        e.code = f.at(2);
        e.name = f.at(3);
        e.cls = classFromName(f.at(4));
        e.length = f.at(5);
        if (content->receiverColumn && f.size() >= 7)
            e.receiver = f.at(6);
        content->entries << e;
    }
    return true;
}

bool ReadAlertLog(const QString &fileName, AlertLogContent *content, QString *error, bool missingIsEmpty)
{
    *content = AlertLogContent();
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("the alert log %1 cannot be read: %2").arg(shown(fileName), why);
        return false;
    };
    struct stat st {};
    if (::stat(QFile::encodeName(fileName).constData(), &st) != 0) {
        if (errno == ENOENT && missingIsEmpty)
            return true;
        return fail(sysError(errno));
    }
    if (!S_ISREG(st.st_mode))
        return fail(QStringLiteral("it is %1").arg(kindOf(st.st_mode)));
    Fd f;
    f.fd = ::open(QFile::encodeName(fileName).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (f.fd < 0)
        return fail(sysError(errno));
    if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode))
        return fail(QStringLiteral("it is not a regular file"));
    if (st.st_size > MaxLogBytes)
        return fail(QStringLiteral("it is larger than %1 MiB").arg(MaxLogBytes >> 20));
    QByteArray bytes;
    int err = 0;
    if (!readAt(f.fd, st.st_size, &bytes, &err))
        return fail(sysError(err));
    QString why;
    if (!ParseAlertLog(bytes, content, &why))
        return fail(why);
    return true;
}

QByteArray AlertLogText(const QList<AlertLogEntry> &entries, bool withReceiver)
{
    QByteArray out = (withReceiver ? AlertLogHeaderWithReceiver : AlertLogHeader).toUtf8() + '\n';
    for (const AlertLogEntry &e : entries)
        out += e.csvLine(withReceiver).toUtf8() + '\n';
    return out;
}

AlertLogMerge MergeAlertLog(const QByteArray &existing, const QList<AlertLogEntry> &alerts)
{
    AlertLogMerge m;
    QHash<QString, int> logged;
    QByteArray appended;

    if (existing.isEmpty()) {
        m.receiverColumn = std::any_of(alerts.begin(), alerts.end(),
                                       [](const AlertLogEntry &a) { return !a.receiver.isEmpty(); });
        appended = (m.receiverColumn ? AlertLogHeaderWithReceiver : AlertLogHeader).toUtf8() + '\n';
    } else {
        const QString text = QString::fromUtf8(existing);
        const QStringList lines = text.split(QLatin1Char('\n'));
        const int kind = headerKind(lines.first());
        if (kind == 0) {
            m.error = notALog();
            return m;
        }
        m.receiverColumn = kind == 2;
        for (int i = 1; i < lines.size(); ++i) {
            QString line = lines.at(i);
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
            if (line.isEmpty())
                continue;
            const QStringList f = SplitCsvLine(line);
            if (f.size() < 6)
                continue;   // a line someone edited by hand; it matches nothing
            const QDateTime when = parseLogTime(f.at(0));
            const QString time = when.isValid() ? when.toUTC().toString(KeyFormat) : f.at(0);
            const QString receiver = m.receiverColumn ? f.value(6) : QString();
            ++logged[keyOf(time, f.at(1), f.at(2), f.at(5), receiver)];
        }
        // The last line of a log another program wrote may lack its line end.
        if (!existing.endsWith('\n'))
            appended += '\n';
    }

    for (const AlertLogEntry &a : alerts) {
        AlertLogEntry row = a;
        if (!m.receiverColumn && !row.receiver.isEmpty()) {
            // A log without the column cannot say which receiver heard it;
            // the alert is matched and written as the one receiver's.
            m.receiverDropped = true;
            row.receiver.clear();
        }
        int &count = logged[row.key()];
        if (count > 0) {
            --count;
            continue;
        }
        appended += row.csvLine(m.receiverColumn).toUtf8() + '\n';
        m.added << a;
    }
    if (existing.isEmpty() || !m.added.isEmpty())
        m.appended = appended;
    m.content = existing + m.appended;
    m.ok = true;
    return m;
}

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

    // Look before opening: a FIFO would block the open, a device would be
    // written to. A link is followed only to a regular file that exists, so
    // a dangling link never makes a file appear where it points.
    Fd f;
    struct stat st {};
    for (int attempt = 0; attempt < 2 && f.fd < 0; ++attempt) {
        struct stat lst {};
        if (::lstat(path.constData(), &lst) != 0) {
            if (errno != ENOENT)
                return fail(sysError(errno));
            f.fd = ::open(path.constData(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                          0644);
            if (f.fd < 0 && errno != EEXIST)
                return fail(QStringLiteral("cannot be created: %1").arg(sysError(errno)));
            continue;   // EEXIST: another program made it just now; open that one
        }
        if (::stat(path.constData(), &st) != 0)
            return fail(errno == ENOENT ? QStringLiteral("it is a link to a file that does not exist")
                                        : sysError(errno));
        if (!S_ISREG(st.st_mode))
            return fail(QStringLiteral("it is %1; nothing was written").arg(kindOf(st.st_mode)));
        f.fd = ::open(path.constData(), O_RDWR | O_APPEND | O_NONBLOCK | O_CLOEXEC);
        if (f.fd < 0)
            return fail(QStringLiteral("cannot be opened: %1").arg(sysError(errno)));
    }
    if (f.fd < 0)
        return fail(QStringLiteral("cannot be opened"));
    // What was opened is what counts: the path may have changed since.
    if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode))
        return fail(QStringLiteral("it is not a regular file; nothing was written"));

    // flock has neither a time limit nor a notice when the lock is freed, so
    // the wait tries again at growing intervals until the deadline.
    QDeadlineTimer deadline(lockTimeoutMs);
    int pause = 5;
    while (::flock(f.fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return fail(QStringLiteral("cannot be locked: %1").arg(sysError(errno)));
        if (deadline.hasExpired())
            return fail(QStringLiteral("another program has held it locked for %1 s; nothing was written")
                            .arg(lockTimeoutMs / 1000.0));
        QThread::msleep(std::min<qint64>(pause, std::max<qint64>(1, deadline.remainingTime())));
        pause = std::min(pause * 2, 200);
    }

    if (::fstat(f.fd, &st) != 0)
        return fail(sysError(errno));
    if (st.st_size > MaxLogBytes)
        return fail(QStringLiteral("it is larger than %1 MiB and is not read; start a new log")
                        .arg(MaxLogBytes >> 20));
    QByteArray existing;
    int err = 0;
    if (!readAt(f.fd, st.st_size, &existing, &err))
        return fail(QStringLiteral("cannot be read: %1").arg(sysError(err)));

    m = MergeAlertLog(existing, alerts);
    if (!m.ok) {
        const QString why = m.error;
        return fail(why);
    }
    if (m.appended.isEmpty())
        return m;   // nothing new: the file is not touched

    // One write; the lock keeps every program that logs out of the way, and
    // O_APPEND puts it after anything a program that does not lock added.
    const qint64 before = existing.size();
    qint64 done = 0;
    while (done < m.appended.size()) {
        const ssize_t n = ::write(f.fd, m.appended.constData() + done, size_t(m.appended.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
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
