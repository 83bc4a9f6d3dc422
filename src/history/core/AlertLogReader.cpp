// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/AlertLog.h"
#include "history/core/AlertLogDetail.h"

#include "base/Platform.h"

#include <algorithm>
#include <cstring>

using namespace alertlog;

namespace {

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
    if (first == AlertLogHeaderWithMonitor)
        return 3;
    return 0;
}

// Lines longer than this are no rows of a log (a row is about 70 bytes);
// they are skipped without being held in memory.
constexpr qsizetype MaxLineBytes = 64 * 1024;
constexpr qsizetype ChunkBytes = 1024 * 1024;
// A row whose quoted field goes on over line breaks ends here at the
// latest, so one stray quote cannot swallow the rest of a log.
constexpr qsizetype MaxQuotedRowBytes = 4096;

} // namespace

AlertLogReader::AlertLogReader() = default;

AlertLogReader::~AlertLogReader() = default;

bool AlertLogReader::open(const QString &fileName, QString *error, bool missingIsEmpty)
{
    m_name = fileName;
    auto fail = [&](const QString &why) {
        m_error = QStringLiteral("the alert log %1 cannot be read: %2").arg(shown(fileName), why);
        if (error)
            *error = m_error;
        return false;
    };
    Platform::FileStat st = Platform::StatPath(fileName);
    if (!st.ok) {
        if (Platform::IsNoEntryError(st.error) && missingIsEmpty) {
            m_eof = true;
            return true;
        }
        return fail(sysError(st.error));
    }
    if (st.kind != PathKind::Regular)
        return fail(QStringLiteral("it is %1").arg(kindOf(st.kind)));
    m_ownFile = std::make_unique<Platform::NativeFile>();
    if (!m_ownFile->open(fileName, Platform::NativeFile::Mode::Read))
        return fail(m_ownFile->errorText());
    m_file = m_ownFile.get();
    st = m_file->stat();
    if (!st.ok || st.kind != PathKind::Regular)
        return fail(QStringLiteral("it is not a regular file"));
    m_size = st.size;
    QString why;
    if (!readHeader(&why))
        return fail(why);
    return true;
}

bool AlertLogReader::openFile(Platform::NativeFile &file, qint64 size, QString *error)
{
    m_file = &file;
    m_ownFile.reset();
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
    if (m_eof || !m_file) {
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
    const qint64 n = m_file->readAt(m_buffer.data() + had, want, m_offset);
    if (n < 0) {
        m_error = QStringLiteral("%1: %2").arg(shown(m_name), m_file->errorText());
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

namespace {

// A line that begins with a row's date (2026-03-06T...) is the start of a
// row, never the rest of a quoted field.
bool startsLikeRow(const QByteArray &line)
{
    if (line.size() < 11 || line.at(4) != '-' || line.at(7) != '-' || line.at(10) != 'T')
        return false;
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (line.at(i) < '0' || line.at(i) > '9')
            return false;
    return true;
}

} // namespace

// The next line without its line end (and without a CR before it).
// *terminated tells whether it had its line end. Lines past MaxLineBytes
// come back cut to that length, their rest skipped.
bool AlertLogReader::nextLine(QByteArray *line, bool *terminated)
{
    if (m_hasBack) {
        *line = std::move(m_back);
        *terminated = m_backTerminated;
        m_hasBack = false;
        return true;
    }
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
        *why = notALog();
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
        // A quoted field may hold a line break: the row goes on until its
        // quotes are closed (or the file ends, which makes it torn).
        while (got && terminated && line.count('"') % 2 == 1 && !line.startsWith('#')) {
            QByteArray more;
            bool moreTerminated = true;
            if (!nextLine(&more, &moreTerminated))
                break;
            if (startsLikeRow(more)) {
                // The next line is a row of its own: the open quote is this
                // row's fault, and it must not take good rows with it.
                m_back = std::move(more);
                m_backTerminated = moreTerminated;
                m_hasBack = true;
                break;
            }
            terminated = moreTerminated;
            ++m_lineNo;
            line += '\n' + more;
            if (line.size() > MaxQuotedRowBytes && !line.endsWith("\x01too long")) {
                line.truncate(80);
                line.append("\x01too long");
                break;
            }
        }
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
            p.valid = ParseAlertLogRowFor(line, m_header, &p.entry, &p.problem);
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
    content->layout = r.layout();
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
