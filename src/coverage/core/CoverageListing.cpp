// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/core/CoverageListing.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>

#include <algorithm>

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

// The input's lines, decoded when asked for: a listing of 64 MB has a
// million lines or more, and holding them all as text would take several
// times the file's size.
struct Lines {
    const QByteArray *bytes = nullptr;
    QVector<qint32> start;
    QVector<qint32> length;
    QVector<bool> ok;     // whether the line is text

    qsizetype size() const { return start.size(); }
    QString text(qsizetype i) const
    {
        bool unused = true;
        return decodeLine(bytes->constData() + start.at(i), length.at(i), &unused);
    }
};

Lines splitLines(const QByteArray &bytes, QVector<int> *badLines)
{
    Lines out;
    out.bytes = &bytes;
    qsizetype start = 0;
    // A byte order mark is not part of the first field name.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        start = 3;
    const qsizetype n = bytes.size();
    while (start <= n) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = n;
        qsizetype len = end - start;
        if (len > 0 && bytes.at(start + len - 1) == '\r')
            --len;
        bool ok = true;
        decodeLine(bytes.constData() + start, len, &ok);
        out.start << qint32(start);
        out.length << qint32(len);
        out.ok << ok;
        if (!ok)
            badLines->append(int(out.size()));
        if (end == n)
            break;
        start = end + 1;
    }
    return out;
}

QString header(const Lines &lines, int before)
{
    static const QRegularExpression re(QStringLiteral("(?:updated|as of|date)\\s*[:=]?\\s*(\\S.*)$"),
                                       QRegularExpression::CaseInsensitiveOption);
    for (int i = 0; i < before && i < lines.size(); ++i) {
        const QString t = lines.text(i).trimmed();
        if (!(t.startsWith(QLatin1String("//")) || t.startsWith(QLatin1Char('*')) || t.startsWith(QLatin1String("/*"))
              || t.startsWith(QLatin1Char('#'))))
            continue;
        const QRegularExpressionMatch m = re.match(t);
        if (m.hasMatch())
            return m.captured(1).trimmed().left(60);
    }
    return QString();
}

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

// ---- CCL.js: NAME[i] = "value"; ----------------------------------------

bool looksLikeCclJs(const Lines &lines)
{
    static const QRegularExpression re(QStringLiteral("^\\s*([A-Za-z]+)\\s*\\[\\s*\\d+\\s*\\]\\s*="));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QRegularExpressionMatch m = re.match(lines.text(i));
        if (m.hasMatch() && fieldNamed(m.captured(1)) != FieldCount)
            return true;
    }
    return false;
}

// The values of CCL.js rows while the arrays are read: each distinct text
// once, each row fifteen numbers. The arrays are parallel, so a row is
// complete only at the end of the file, and a million rows of fifteen texts
// each would take a gigabyte.
class ValuePool
{
public:
    quint32 id(const QString &value)
    {
        if (value.isEmpty())
            return 0;
        const auto it = m_index.constFind(value);
        if (it != m_index.constEnd())
            return *it;
        m_values.append(value);
        const quint32 n = quint32(m_values.size() - 1);
        m_index.insert(value, n);
        return n;
    }
    const QString &value(quint32 id) const { return m_values.at(id); }

private:
    QHash<QString, quint32> m_index;
    QVector<QString> m_values{QString()};
};

struct PackedRow {
    std::array<quint32, FieldCount> values{};
    int line = 0;
    bool badText = false;
};

void readCclJs(const Lines &lines, Listing *out, const RowSink &each)
{
    ValuePool pool;
    QVector<PackedRow> rows;
    QVector<qint32> rowOf;     // array index -> position in rows, -1: none yet
    QVector<int> indexOf;      // position -> array index
    int firstData = -1;
    for (int ln = 0; ln < lines.size(); ++ln) {
        const QString s = lines.text(ln);
        qsizetype i = 0;
        // Several assignments may share a line; each is NAME[i] = value;
        while (i < s.size()) {
            while (i < s.size() && (s.at(i).isSpace() || s.at(i) == QLatin1Char(';')))
                ++i;
            if (i >= s.size() || !isIdentStart(s.at(i)))
                break;
            const qsizetype nameStart = i;
            while (i < s.size() && isIdentChar(s.at(i)))
                ++i;
            const QString name = s.mid(nameStart, i - nameStart);
            while (i < s.size() && s.at(i).isSpace())
                ++i;
            if (i >= s.size() || s.at(i) != QLatin1Char('['))
                break;
            const qsizetype close = s.indexOf(QLatin1Char(']'), i);
            if (close < 0)
                break;
            bool numeric = false;
            const qlonglong index = s.mid(i + 1, close - i - 1).trimmed().toLongLong(&numeric);
            i = close + 1;
            while (i < s.size() && s.at(i).isSpace())
                ++i;
            if (i >= s.size() || s.at(i) != QLatin1Char('='))
                break;
            ++i;
            while (i < s.size() && s.at(i).isSpace())
                ++i;
            QString value;
            if (i < s.size() && (s.at(i) == QLatin1Char('"') || s.at(i) == QLatin1Char('\''))) {
                if (!readQuoted(s, i, &value))
                    break;
            } else {
                const qsizetype end = s.indexOf(QLatin1Char(';'), i);
                value = s.mid(i, end < 0 ? -1 : end - i).trimmed();
                i = end < 0 ? s.size() : end;
                if (value == QLatin1String("null") || value == QLatin1String("undefined"))
                    value.clear();
            }
            const Field f = fieldNamed(name);
            if (f == FieldCount || !numeric || index < 0 || index > MaxIndex)
                continue;
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
            row.badText = row.badText || !lines.ok.at(ln);
        }
    }
    out->date = header(lines, firstData < 0 ? 40 : firstData);
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

// ---- ccl-data.js: var cclData = [ {...}, ... ]; --------------------------

struct JsValue {
    enum Type { Null, Text, Object, Array } type = Null;
    QString text;
    QVector<QPair<QString, JsValue>> members;
    QVector<JsValue> items;
    int line = 0;
    bool bad = false;
    qsizetype countiesAt = -1;   // where an object's skipped "counties" list starts
};

class JsParser
{
public:
    JsParser(const QString &s, const QVector<qsizetype> &lineStarts, const QVector<bool> &ok)
        : m_s(s), m_starts(lineStarts), m_ok(ok) {}

    bool parse(qsizetype from, JsValue *v)
    {
        m_i = from;
        return value(v, 0);
    }
    QString error() const { return m_error; }

    // The list of transmitters at `from`, one at a time: each transmitter's
    // own values, then its counties one by one, so that no more than one
    // county is held however large the list is.
    bool eachCounty(qsizetype from, const std::function<void(const JsValue &county, const JsValue &tx)> &give)
    {
        m_i = from;
        skip();
        if (m_i >= m_s.size() || m_s.at(m_i) != QLatin1Char('['))
            return fail(QStringLiteral("cclData is not a list"));
        m_skipCounties = true;
        const bool ok = listItems(0, [&](JsValue &tx) {
            const qsizetype after = m_i;
            if (tx.type == JsValue::Object && tx.countiesAt >= 0) {
                m_i = tx.countiesAt;
                if (!listItems(2, [&](JsValue &county) {
                        give(county, tx);
                        return true;
                    }))
                    return false;
            }
            m_i = after;
            return true;
        });
        m_skipCounties = false;
        return ok;
    }

private:
    static constexpr int MaxDepth = 32;

    int lineAt(qsizetype pos) const
    {
        const auto it = std::upper_bound(m_starts.begin(), m_starts.end(), pos);
        return int(it - m_starts.begin());   // 1-based
    }
    bool fail(const QString &why)
    {
        if (m_error.isEmpty())
            m_error = QStringLiteral("line %1: %2").arg(lineAt(m_i)).arg(why);
        return false;
    }
    void skip()
    {
        while (m_i < m_s.size()) {
            const QChar c = m_s.at(m_i);
            if (c.isSpace()) {
                ++m_i;
            } else if (c == QLatin1Char('/') && m_i + 1 < m_s.size() && m_s.at(m_i + 1) == QLatin1Char('/')) {
                const qsizetype nl = m_s.indexOf(QLatin1Char('\n'), m_i);
                m_i = nl < 0 ? m_s.size() : nl;
            } else if (c == QLatin1Char('/') && m_i + 1 < m_s.size() && m_s.at(m_i + 1) == QLatin1Char('*')) {
                const qsizetype end = m_s.indexOf(QLatin1String("*/"), m_i + 2);
                m_i = end < 0 ? m_s.size() : end + 2;
            } else {
                return;
            }
        }
    }
    bool value(JsValue *v, int depth)
    {
        if (depth > MaxDepth)
            return fail(QStringLiteral("nested too deeply"));
        skip();
        if (m_i >= m_s.size())
            return fail(QStringLiteral("the data ends early"));
        v->line = lineAt(m_i);
        v->bad = !m_ok.value(v->line - 1, true);
        const QChar c = m_s.at(m_i);
        if (c == QLatin1Char('{'))
            return object(v, depth);
        if (c == QLatin1Char('['))
            return array(v, depth);
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            v->type = JsValue::Text;
            if (!readQuoted(m_s, m_i, &v->text))
                return fail(QStringLiteral("a text is not closed"));
            return true;
        }
        // A number or a bare word (true, false, null).
        const qsizetype start = m_i;
        while (m_i < m_s.size() && (m_s.at(m_i).isLetterOrNumber() || m_s.at(m_i) == QLatin1Char('.')
                                    || m_s.at(m_i) == QLatin1Char('-') || m_s.at(m_i) == QLatin1Char('+')))
            ++m_i;
        if (m_i == start)
            return fail(QStringLiteral("unexpected \"%1\"").arg(c));
        const QString word = m_s.mid(start, m_i - start);
        if (word != QLatin1String("null") && word != QLatin1String("undefined")) {
            v->type = JsValue::Text;
            v->text = word;
        }
        return true;
    }
    bool object(JsValue *v, int depth)
    {
        v->type = JsValue::Object;
        ++m_i;
        for (;;) {
            skip();
            if (m_i >= m_s.size())
                return fail(QStringLiteral("an object is not closed"));
            if (m_s.at(m_i) == QLatin1Char('}')) {
                ++m_i;
                return true;
            }
            QString key;
            if (m_s.at(m_i) == QLatin1Char('"') || m_s.at(m_i) == QLatin1Char('\'')) {
                if (!readQuoted(m_s, m_i, &key))
                    return fail(QStringLiteral("a name is not closed"));
            } else {
                const qsizetype start = m_i;
                while (m_i < m_s.size() && isIdentChar(m_s.at(m_i)))
                    ++m_i;
                if (m_i == start)
                    return fail(QStringLiteral("a name is missing"));
                key = m_s.mid(start, m_i - start);
            }
            skip();
            if (m_i >= m_s.size() || m_s.at(m_i) != QLatin1Char(':'))
                return fail(QStringLiteral("\":\" is missing after \"%1\"").arg(key));
            ++m_i;
            skip();
            // A transmitter's counties are passed over here and read one by
            // one afterwards (eachCounty).
            const bool counties = m_skipCounties && !m_discard && depth == 1
                                  && key.compare(QLatin1String("counties"), Qt::CaseInsensitive) == 0
                                  && m_i < m_s.size() && m_s.at(m_i) == QLatin1Char('[');
            if (counties)
                v->countiesAt = m_i;
            JsValue member;
            const bool wasDiscarding = m_discard;
            m_discard = m_discard || counties;
            const bool ok = value(&member, depth + 1);
            m_discard = wasDiscarding;
            if (!ok)
                return false;
            if (!m_discard && !counties)
                v->members.append({key, std::move(member)});
            skip();
            if (m_i < m_s.size() && m_s.at(m_i) == QLatin1Char(','))
                ++m_i;
        }
    }
    bool array(JsValue *v, int depth)
    {
        v->type = JsValue::Array;
        return listItems(depth, [&](JsValue &item) {
            if (!m_discard)
                v->items.append(std::move(item));
            return true;
        });
    }
    // The items of the list whose "[" is at m_i, each handed to `each` as
    // soon as it is read.
    bool listItems(int depth, const std::function<bool(JsValue &item)> &each)
    {
        ++m_i;
        for (;;) {
            skip();
            if (m_i >= m_s.size())
                return fail(QStringLiteral("a list is not closed"));
            if (m_s.at(m_i) == QLatin1Char(']')) {
                ++m_i;
                return true;
            }
            JsValue item;
            if (!value(&item, depth + 1) || !each(item))
                return false;
            skip();
            if (m_i < m_s.size() && m_s.at(m_i) == QLatin1Char(','))
                ++m_i;
        }
    }

    const QString &m_s;
    const QVector<qsizetype> &m_starts;
    const QVector<bool> &m_ok;
    qsizetype m_i = 0;
    QString m_error;
    bool m_skipCounties = false;
    bool m_discard = false;   // parse only to find the end: keep nothing
};

// Copies the named text members of an object into the row's fields.
void takeMembers(const JsValue &object, Row *row)
{
    for (const auto &m : object.members) {
        const Field f = fieldNamed(m.first);
        if (f == FieldCount || m.second.type != JsValue::Text)
            continue;
        (*row)[f] = m.second.text;
        row->badText = row->badText || m.second.bad;
    }
}

void readCclDataJs(const Lines &lines, Listing *out, const RowSink &each)
{
    QString all;
    QVector<qsizetype> starts;
    starts.reserve(lines.size());
    all.reserve(lines.bytes->size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        starts.append(all.size());
        all += lines.text(i);
        all += QLatin1Char('\n');
    }
    static const QRegularExpression re(QStringLiteral("\\bcclData\\s*=\\s*"));
    const QRegularExpressionMatch m = re.match(all);
    if (!m.hasMatch()) {
        out->error = QStringLiteral("no \"cclData = [...]\" in the file");
        return;
    }
    JsParser parser(all, starts, lines.ok);
    int firstData = 0;
    const bool ok = parser.eachCounty(m.capturedEnd(), [&](const JsValue &county, const JsValue &tx) {
        if (county.type != JsValue::Object)
            return;
        if (firstData == 0)
            firstData = tx.line - 1;
        Row row;
        takeMembers(tx, &row);
        row.line = county.line;
        takeMembers(county, &row);
        each(std::move(row));
    });
    if (!ok) {
        out->error = parser.error();
        return;
    }
    out->date = header(lines, firstData > 0 ? firstData : 40);
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

void readCsv(const Lines &lines, Listing *out, const RowSink &each)
{
    int ln = 0;
    while (ln < lines.size() && lines.text(ln).trimmed().isEmpty())
        ++ln;
    if (ln >= lines.size()) {
        out->error = QStringLiteral("the file is empty");
        return;
    }
    const QChar delim = delimiterOf(lines.text(ln));
    // Reads one record from line ln on; a quoted value may run over lines.
    auto record = [&](int &at, bool *bad) {
        QStringList fields;
        QString field;
        bool quoted = false;
        *bad = false;
        while (at < lines.size()) {
            const QString s = lines.text(at);
            *bad = *bad || !lines.ok.at(at);
            ++at;
            for (qsizetype i = 0; i < s.size(); ++i) {
                const QChar c = s.at(i);
                if (quoted) {
                    if (c == QLatin1Char('"')) {
                        if (i + 1 < s.size() && s.at(i + 1) == QLatin1Char('"')) {
                            field += c;
                            ++i;
                        } else {
                            quoted = false;
                        }
                    } else {
                        field += c;
                    }
                } else if (c == QLatin1Char('"') && field.trimmed().isEmpty()) {
                    field.clear();
                    quoted = true;
                } else if (c == delim) {
                    fields << field;
                    field.clear();
                } else {
                    field += c;
                }
            }
            if (!quoted)
                break;
            field += QLatin1Char('\n');
        }
        fields << field;
        return fields;
    };
    bool bad = false;
    const QStringList head = record(ln, &bad);
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
    while (ln < lines.size()) {
        const int first = ln + 1;
        const QStringList values = record(ln, &bad);
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
    const Lines lines = splitLines(bytes, &out.badTextLines);
    bool dataJs = false;
    static const QRegularExpression dataRe(QStringLiteral("^\\s*(?:(?:var|let|const)\\s+)?(?:window\\.)?cclData\\s*="));
    for (qsizetype i = 0; i < lines.size() && !dataJs; ++i)
        dataJs = dataRe.match(lines.text(i)).hasMatch();
    if (dataJs) {
        out.shape = Shape::CclDataJs;
        readCclDataJs(lines, &out, each);
    } else if (looksLikeCclJs(lines)) {
        out.shape = Shape::CclJs;
        readCclJs(lines, &out, each);
    } else {
        out.shape = Shape::Csv;
        readCsv(lines, &out, each);
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
