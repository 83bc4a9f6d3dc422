// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/core/CoverageListing.h"

#include "coverage/core/CoverageListingText.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace CoverageListing {

namespace {

struct Alias {
    const char *name;
    Field field;
};

// Names as NOAA's files and common spreadsheet headings write them, upper
// case, without blanks or punctuation.
const Alias kAliases[] = {
    {"ST", St}, {"STATE", State}, {"STATENAME", State}, {"COUNTY", County}, {"COUNTYNAME", County},
    {"SAME", Same}, {"SAMECODE", Same}, {"FIPS", Same}, {"SITENAME", SiteName}, {"SITE", SiteName},
    {"NWRTX", SiteName}, {"SITELOC", SiteLoc}, {"SITELOCATION", SiteLoc}, {"SITESTATE", SiteState},
    {"FREQ", Freq}, {"FREQUENCY", Freq}, {"CALLSIGN", Callsign}, {"CALL", Callsign}, {"LAT", Lat},
    {"LATITUDE", Lat}, {"LON", Lon}, {"LONG", Lon}, {"LNG", Lon}, {"LONGITUDE", Lon}, {"PWR", Power},
    {"POWER", Power}, {"WATTS", Power}, {"STATUS", Status}, {"WFO", Wfo}, {"OFFICE", Wfo},
    {"REMARKS", Remarks}, {"REMARK", Remarks},
};

const char *const kNames[FieldCount] = {"ST", "STATE", "COUNTY", "SAME", "SITENAME", "SITELOC", "SITESTATE", "FREQ",
                                        "CALLSIGN", "LAT", "LON", "PWR", "STATUS", "WFO", "REMARKS"};

// ---- CCL.js: NAME[i] = "value"; ----------------------------------------

// Whether a line's first characters start an assignment NAME[i] = of CCL.js.
// A minified file has them after other statements on its one line.
bool startsCclAssignment(const QString &prefix)
{
    static const QRegularExpression re(QStringLiteral("(?:^|;)\\s*([A-Za-z]+)\\s*\\[\\s*\\d+\\s*\\]\\s*="));
    for (QRegularExpressionMatchIterator it = re.globalMatch(prefix); it.hasNext();) {
        if (fieldNamed(it.next().captured(1)) != FieldCount)
            return true;
    }
    return false;
}

// The values of CCL.js rows while the arrays are read: each distinct text
// once, as UTF-8 in one block, each row fifteen numbers. The arrays are
// parallel, so a row is complete only at the end of the file, and a million
// rows of different texts must not take a QString (and a hash node) each.
class ValuePool
{
public:
    ValuePool() { m_ends.append(0); }   // id 0: the empty text

    quint32 id(const QString &value)
    {
        if (value.isEmpty())
            return 0;
        const QByteArray utf8 = value.toUtf8();
        if (m_slots.size() < 2 * m_ends.size())
            grow();
        const size_t mask = size_t(m_slots.size()) - 1;
        for (size_t at = qHash(utf8) & mask;; at = (at + 1) & mask) {
            const quint32 id = m_slots.at(qsizetype(at));
            if (id == 0) {
                m_arena += utf8;
                m_ends.append(quint32(m_arena.size()));
                const quint32 made = quint32(m_ends.size() - 1);
                m_slots[qsizetype(at)] = made;
                return made;
            }
            const QByteArrayView held = bytesOf(id);
            if (held.size() == utf8.size() && std::memcmp(held.data(), utf8.constData(), size_t(utf8.size())) == 0)
                return id;
        }
    }
    QString value(quint32 id) const { return id == 0 ? QString() : QString::fromUtf8(bytesOf(id)); }

private:
    QByteArrayView bytesOf(quint32 id) const
    {
        const quint32 from = m_ends.at(id - 1);
        return QByteArrayView(m_arena.constData() + from, m_ends.at(id) - from);
    }
    void grow()
    {
        QVector<quint32> table(std::max<qsizetype>(1024, m_slots.size() * 2), 0);
        const size_t mask = size_t(table.size()) - 1;
        for (quint32 id = 1; id < quint32(m_ends.size()); ++id) {
            size_t at = qHash(bytesOf(id)) & mask;
            while (table.at(qsizetype(at)) != 0)
                at = (at + 1) & mask;
            table[qsizetype(at)] = id;
        }
        m_slots = std::move(table);
    }

    QByteArray m_arena;        // every distinct value, one after another
    QVector<quint32> m_ends;   // where value id ends in the arena
    QVector<quint32> m_slots;  // open addressing: ids by hash, 0 free
};

struct PackedRow {
    std::array<quint32, FieldCount> values{};
    int line = 0;
    bool badText = false;
};

// A statement of CCL.js is longer than this only in a file made to hurt:
// no value of a listing comes near it. It is passed over, not decoded.
constexpr qsizetype MaxStatementBytes = 64 * 1024;

// The statements of one line, split at ";" outside quotes: a listing
// minified to one line of 60 MB is then read a statement at a time.
template <typename F>
void eachStatement(const char *data, qsizetype length, F take)
{
    qsizetype start = 0;
    char quote = 0;
    for (qsizetype i = 0; i <= length; ++i) {
        const char c = i < length ? data[i] : ';';
        if (quote) {
            if (c == '\\')
                ++i;
            else if (c == quote)
                quote = 0;
            if (i < length)
                continue;
        } else if (c == '"' || c == '\'') {
            quote = c;
            continue;
        }
        if (c != ';' && i < length)
            continue;
        if (i > start && i - start <= MaxStatementBytes)
            take(data + start, i - start);
        start = i + 1;
    }
}

void readCclJs(const QByteArray &bytes, const QVector<int> &badLines, Listing *out, const RowSink &each)
{
    ValuePool pool;
    QVector<PackedRow> rows;
    QVector<qint32> rowOf;     // array index -> position in rows, -1: none yet
    QVector<int> indexOf;      // position -> array index
    int firstData = -1;
    Text::LineCursor lines(bytes);
    while (lines.next()) {
        const int ln = lines.number() - 1;
        const bool lineOk = Text::lineIsText(badLines, lines.number());
        eachStatement(lines.data(), lines.length(), [&](const char *data, qsizetype size) {
            bool unused = true;
            const QString s = decodeLine(data, size, &unused);
            qsizetype i = 0;
            while (i < s.size() && s.at(i).isSpace())
                ++i;
            if (i >= s.size() || !Text::isIdentStart(s.at(i)))
                return;
            const qsizetype nameStart = i;
            while (i < s.size() && Text::isIdentChar(s.at(i)))
                ++i;
            const QString name = s.mid(nameStart, i - nameStart);
            while (i < s.size() && s.at(i).isSpace())
                ++i;
            if (i >= s.size() || s.at(i) != QLatin1Char('['))
                return;
            const qsizetype close = s.indexOf(QLatin1Char(']'), i);
            if (close < 0)
                return;
            bool numeric = false;
            const qlonglong index = s.mid(i + 1, close - i - 1).trimmed().toLongLong(&numeric);
            i = close + 1;
            while (i < s.size() && s.at(i).isSpace())
                ++i;
            if (i >= s.size() || s.at(i) != QLatin1Char('='))
                return;
            ++i;
            while (i < s.size() && s.at(i).isSpace())
                ++i;
            QString value;
            if (i < s.size() && (s.at(i) == QLatin1Char('"') || s.at(i) == QLatin1Char('\''))) {
                if (!Text::readQuoted(s, i, &value))
                    return;
            } else {
                value = s.mid(i).trimmed();
                if (value == QLatin1String("null") || value == QLatin1String("undefined"))
                    value.clear();
            }
            const Field f = fieldNamed(name);
            if (f == FieldCount || !numeric || index < 0 || index > MaxIndex)
                return;
            if (firstData < 0)
                firstData = ln;
            if (rowOf.size() <= index)
                rowOf.resize(index + 1, -1);
            qint32 &at = rowOf[index];
            if (at < 0) {
                at = qint32(rows.size());
                rows.append(PackedRow{});
                rows.last().line = ln + 1;
                indexOf.append(int(index));
            }
            PackedRow &row = rows[at];
            row.values[size_t(f)] = pool.id(value);
            row.line = std::min(row.line, ln + 1);
            row.badText = row.badText || !lineOk;
        });
    }
    out->date = Text::headerDate(bytes, firstData < 0 ? 40 : firstData);
    // By array index, whatever order the assignments came in.
    rowOf.clear();
    rowOf.squeeze();
    QVector<int> order(rows.size());
    for (int k = 0; k < order.size(); ++k)
        order[k] = k;
    std::sort(order.begin(), order.end(), [&](int a, int b) { return indexOf.at(a) < indexOf.at(b); });
    for (int k : std::as_const(order)) {
        const PackedRow &p = rows.at(k);
        Row row;
        row.line = p.line;
        row.badText = p.badText;
        for (int f = 0; f < FieldCount; ++f)
            row.values[size_t(f)] = pool.value(p.values[size_t(f)]);
        each(std::move(row));
    }
}

// ---- CSV ------------------------------------------------------------------

QChar delimiterOf(const QString &headerLine)
{
    int best = 0;
    QChar pick = QLatin1Char(',');
    for (const QChar d : {QLatin1Char(','), QLatin1Char(';'), QLatin1Char('\t')}) {
        const int n = int(headerLine.count(d));
        if (n > best) {
            best = n;
            pick = d;
        }
    }
    return pick;
}

// No listing has more columns than this, nor a value longer: what lies
// beyond is read over, not kept, so that one row of sixty million commas or
// a quote that never closes costs no more than its bytes.
constexpr int MaxCsvColumns = 256;
constexpr qsizetype MaxCsvValue = 4096;

void readCsv(const QByteArray &bytes, const QVector<int> &badLines, Listing *out, const RowSink &each)
{
    Text::LineCursor lines(bytes);
    bool more = lines.next();
    while (more && lines.isBlank())
        more = lines.next();
    if (!more) {
        out->error = QStringLiteral("the file is empty");
        return;
    }
    const QChar delim = delimiterOf(lines.prefix());
    // Reads one record from the current line on; a quoted value may run
    // over lines. Leaves the cursor on the record's last line.
    auto record = [&](bool *bad) {
        QStringList fields;
        QString field;
        bool quoted = false;
        *bad = false;
        for (;;) {
            const QString s = lines.text();
            *bad = *bad || !Text::lineIsText(badLines, lines.number());
            for (qsizetype i = 0; i < s.size(); ++i) {
                const QChar c = s.at(i);
                if (quoted) {
                    if (c == QLatin1Char('"')) {
                        if (i + 1 < s.size() && s.at(i + 1) == QLatin1Char('"')) {
                            if (field.size() < MaxCsvValue)
                                field += c;
                            ++i;
                        } else {
                            quoted = false;
                        }
                    } else if (field.size() < MaxCsvValue) {
                        field += c;
                    }
                } else if (c == QLatin1Char('"') && field.trimmed().isEmpty()) {
                    field.clear();
                    quoted = true;
                } else if (c == delim) {
                    if (fields.size() < MaxCsvColumns)
                        fields << field;
                    field.clear();
                } else if (field.size() < MaxCsvValue) {
                    field += c;
                }
            }
            if (!quoted || !lines.next())
                break;
            if (field.size() < MaxCsvValue)
                field += QLatin1Char('\n');
        }
        if (fields.size() < MaxCsvColumns)
            fields << field;
        return fields;
    };
    bool bad = false;
    const QStringList head = record(&bad);
    QVector<Field> columns;
    bool any = false;
    for (const QString &h : head) {
        columns << fieldNamed(h);
        any = any || columns.last() != FieldCount;
    }
    if (!any) {
        out->error = QStringLiteral("the first row names none of the listing's fields (ST, COUNTY, SAME, SITENAME, FREQ, CALLSIGN...)");
        return;
    }
    while (lines.next()) {
        if (lines.isBlank())
            continue;
        const int first = lines.number();
        const QStringList values = record(&bad);
        bool empty = true;
        for (const QString &v : values)
            empty = empty && v.trimmed().isEmpty();
        if (empty)
            continue;
        Row row;
        row.line = first;
        row.badText = bad;
        for (int k = 0; k < values.size() && k < columns.size(); ++k) {
            if (columns.at(k) != FieldCount)
                row[columns.at(k)] = values.at(k).trimmed();
        }
        each(std::move(row));
    }
}

} // namespace

namespace Text {

bool isIdentStart(QChar c) { return c.isLetter() || c == QLatin1Char('_') || c == QLatin1Char('$'); }
bool isIdentChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$'); }

// Reads a quoted JavaScript string starting at s[i] (the quote); i ends
// after the closing quote. False when the string is not closed.
bool readQuoted(const QString &s, qsizetype &i, QString *value)
{
    const QChar quote = s.at(i++);
    value->clear();
    while (i < s.size()) {
        const QChar c = s.at(i++);
        if (c == quote)
            return true;
        if (c == QLatin1Char('\n'))
            return false;
        if (c != QLatin1Char('\\') || i >= s.size()) {
            value->append(c);
            continue;
        }
        const QChar e = s.at(i++);
        switch (e.unicode()) {
        case 'n': value->append(QLatin1Char('\n')); break;
        case 't': value->append(QLatin1Char('\t')); break;
        case 'r': value->append(QLatin1Char('\r')); break;
        case 'u':
            if (i + 4 <= s.size()) {
                bool ok = false;
                const ushort u = s.mid(i, 4).toUShort(&ok, 16);
                if (ok) {
                    value->append(QChar(u));
                    i += 4;
                    break;
                }
            }
            value->append(e);
            break;
        default: value->append(e); break;   // \" \' \\ \/
        }
    }
    return false;
}

QString headerDate(const QByteArray &bytes, int beforeLine)
{
    static const QRegularExpression re(QStringLiteral("(?:updated|as of|date)\\s*[:=]?\\s*(\\S.*)$"),
                                       QRegularExpression::CaseInsensitiveOption);
    LineCursor lines(bytes);
    while (lines.next() && lines.number() <= beforeLine) {
        const QString t = lines.prefix().trimmed();
        if (!(t.startsWith(QLatin1String("//")) || t.startsWith(QLatin1Char('*')) || t.startsWith(QLatin1String("/*"))
              || t.startsWith(QLatin1Char('#'))))
            continue;
        const QRegularExpressionMatch m = re.match(t);
        if (m.hasMatch())
            return m.captured(1).trimmed().left(60);
    }
    return QString();
}

} // namespace Text

Field fieldNamed(const QString &name)
{
    QString key;
    for (const QChar c : name) {
        if (c.isLetterOrNumber())
            key += c.toUpper();
    }
    for (const Alias &a : kAliases) {
        if (key == QLatin1String(a.name))
            return a.field;
    }
    return FieldCount;
}

QString fieldName(Field f)
{
    return f >= 0 && f < FieldCount ? QString::fromLatin1(kNames[f]) : QString();
}

QString shapeName(Shape s)
{
    switch (s) {
    case Shape::CclJs: return QStringLiteral("CCL.js");
    case Shape::CclDataJs: return QStringLiteral("ccl-data.js");
    case Shape::Csv: return QStringLiteral("CSV");
    case Shape::Unknown: break;
    }
    return QStringLiteral("unknown");
}

QString decodeLine(const char *data, qsizetype size, bool *ok)
{
    *ok = true;
    bool ascii = true;
    for (qsizetype i = 0; i < size; ++i) {
        const uchar b = uchar(data[i]);
        if (b >= 0x80)
            ascii = false;
        else if (b < 0x20 && b != '\t')
            *ok = false;   // NUL and other controls are no text in any encoding
    }
    if (ascii)
        return QString::fromLatin1(data, size);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(data, size));
    if (!utf8.hasError())
        return text;
    for (qsizetype i = 0; i < size; ++i) {
        const uchar b = uchar(data[i]);
        if (b >= 0x80 && b < 0xA0)
            *ok = false;
    }
    return QString::fromLatin1(data, size);
}

Listing scan(const QByteArray &bytes, const RowSink &each)
{
    Listing out;
    if (bytes.size() > MaxBytes) {
        out.error = QStringLiteral("the file is larger than %1 MB; no coverage listing is").arg(MaxBytes / (1024 * 1024));
        return out;
    }
    // One pass for the lines that are not text and for the shape; the
    // readers then go through the lines again, keeping nothing per line.
    static const QRegularExpression dataRe(QStringLiteral("^\\s*(?:(?:var|let|const)\\s+)?(?:window\\.)?cclData\\s*="));
    bool dataJs = false;
    bool cclJs = false;
    Text::LineCursor lines(bytes);
    while (lines.next()) {
        bool ok = true;
        bool ascii = true;
        for (qsizetype i = 0; i < lines.length() && ascii; ++i) {
            const uchar b = uchar(lines.data()[i]);
            ascii = b < 0x80 && (b >= 0x20 || b == '\t');
        }
        if (!ascii)
            decodeLine(lines.data(), lines.length(), &ok);
        if (!ok) {
            if (out.badTextLines.size() >= Text::MaxBadLines) {
                out.error = QStringLiteral("more than %1 lines are not text; no coverage listing is").arg(Text::MaxBadLines);
                out.badTextLines.clear();
                return out;
            }
            out.badTextLines.append(lines.number());
        }
        if (!dataJs && !lines.isBlank()) {
            const QString prefix = lines.prefix();
            dataJs = dataRe.match(prefix).hasMatch();
            cclJs = cclJs || startsCclAssignment(prefix);
        }
    }
    if (dataJs) {
        out.shape = Shape::CclDataJs;
        Text::readCclDataJs(bytes, out.badTextLines, &out, each);
    } else if (cclJs) {
        out.shape = Shape::CclJs;
        readCclJs(bytes, out.badTextLines, &out, each);
    } else {
        out.shape = Shape::Csv;
        readCsv(bytes, out.badTextLines, &out, each);
    }
    return out;
}

Listing read(const QByteArray &bytes)
{
    QVector<Row> rows;
    Listing out = scan(bytes, [&rows](Row &&row) { rows.append(std::move(row)); });
    if (out.error.isEmpty())
        out.rows = std::move(rows);
    return out;
}

} // namespace CoverageListing
