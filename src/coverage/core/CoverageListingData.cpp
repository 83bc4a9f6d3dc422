// SPDX-License-Identifier: GPL-3.0-or-later
// NOAA's ccl-data.js: var cclData = [ {callsign: ..., counties: [...]}, ... ];
// read one transmitter and one county at a time.
#include "coverage/core/CoverageListingText.h"

#include <QRegularExpression>

#include <functional>

namespace CoverageListing {
namespace Text {

namespace {

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
    // `lineAtBlock[k]`: the line (1-based) that holds character k * BlockChars.
    JsParser(const QString &s, const QVector<int> &lineAtBlock, const QVector<int> &badLines)
        : m_s(s), m_blocks(lineAtBlock), m_bad(badLines) {}

    static constexpr int BlockShift = 16;

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

    // The line of a position: from the last one asked for when it is a
    // little before, else from the start of its block, counting line ends.
    // Nothing is kept per line, so sixty million blank lines cost nothing.
    int lineAt(qsizetype pos)
    {
        if (pos < m_cachePos || pos - m_cachePos > (qsizetype(1) << BlockShift)) {
            const qsizetype block = std::min<qsizetype>(pos >> BlockShift, m_blocks.size() - 1);
            m_cachePos = block << BlockShift;
            m_cacheLine = m_blocks.value(block, 1);
        }
        const QChar *d = m_s.constData();
        const qsizetype end = std::min(pos, m_s.size());
        for (qsizetype i = m_cachePos; i < end; ++i)
            if (d[i] == QLatin1Char('\n'))
                ++m_cacheLine;
        m_cachePos = std::max(m_cachePos, end);
        return m_cacheLine;
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
        v->bad = !lineIsText(m_bad, v->line);
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
    const QVector<int> &m_blocks;
    const QVector<int> &m_bad;
    qsizetype m_cachePos = 0;
    int m_cacheLine = 1;
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

} // namespace

void readCclDataJs(const QByteArray &bytes, const QVector<int> &badLines, Listing *out, const RowSink &each)
{
    // The whole text, once (a value may run over lines), and where each
    // block of it begins in lines.
    QString all;
    all.reserve(bytes.size());
    QVector<int> lineAtBlock;
    LineCursor lines(bytes);
    while (lines.next()) {
        all += lines.text();
        all += QLatin1Char('\n');
        for (qsizetype k = lineAtBlock.size(); (k << JsParser::BlockShift) < all.size(); ++k)
            lineAtBlock.append(lines.number());
    }
    static const QRegularExpression re(QStringLiteral("\\bcclData\\s*=\\s*"));
    const QRegularExpressionMatch m = re.match(all);
    if (!m.hasMatch()) {
        out->error = QStringLiteral("no \"cclData = [...]\" in the file");
        return;
    }
    JsParser parser(all, lineAtBlock, badLines);
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
    out->date = headerDate(bytes, firstData > 0 ? firstData : 40);
}

} // namespace Text
} // namespace CoverageListing
