// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The pieces the listing's readers share: the input taken line by line
// without keeping anything per line, JavaScript strings, the date in the
// header comments. Only CoverageListing*.cpp include this.

#include "coverage/core/CoverageListing.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <algorithm>
#include <cctype>

namespace CoverageListing {
namespace Text {

// Lines that are not text: more than this many and the file is refused, so
// that the list of them stays small whatever the file holds.
constexpr int MaxBadLines = 100000;
// The first characters of a line are enough to recognise a shape or a
// header comment; a line of megabytes is not decoded whole for that.
constexpr qsizetype PrefixChars = 4096;

// The input's lines one after another. Nothing is kept per line: a file of
// sixty million blank lines costs no more memory than its bytes.
class LineCursor
{
public:
    explicit LineCursor(const QByteArray &bytes) : m_bytes(bytes) { rewind(); }

    void rewind()
    {
        // A byte order mark is not part of the first field name.
        m_next = m_bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
        m_number = 0;
        m_done = false;
    }
    // To the next line; false after the last one.
    bool next()
    {
        if (m_done)
            return false;
        const qsizetype n = m_bytes.size();
        qsizetype end = m_bytes.indexOf('\n', m_next);
        if (end < 0) {
            end = n;
            m_done = true;
        }
        m_start = m_next;
        m_length = end - m_start;
        if (m_length > 0 && m_bytes.at(m_start + m_length - 1) == '\r')
            --m_length;
        m_next = end + 1;
        ++m_number;
        return true;
    }
    int number() const { return m_number; }   // 1 = first line
    const char *data() const { return m_bytes.constData() + m_start; }
    qsizetype length() const { return m_length; }
    // The line as text (its first `maxBytes` bytes when that is not -1).
    QString text(qsizetype maxBytes = -1) const
    {
        bool unused = true;
        return decodeLine(data(), maxBytes < 0 ? m_length : std::min(m_length, maxBytes), &unused);
    }
    // The line's first characters, enough to tell what it is.
    QString prefix() const { return text(PrefixChars); }
    bool isBlank() const
    {
        for (qsizetype i = 0; i < m_length; ++i)
            if (!std::isspace(uchar(data()[i])))
                return false;
        return true;
    }

private:
    const QByteArray &m_bytes;
    qsizetype m_next = 0;
    qsizetype m_start = 0;
    qsizetype m_length = 0;
    int m_number = 0;
    bool m_done = false;
};

// Whether line `number` (1-based) is text, from the sorted list of those
// that are not.
inline bool lineIsText(const QVector<int> &badLines, int number)
{
    return !std::binary_search(badLines.begin(), badLines.end(), number);
}

bool isIdentStart(QChar c);
bool isIdentChar(QChar c);
// Reads a quoted JavaScript string starting at s[i] (the quote); i ends
// after the closing quote. False when the string is not closed.
bool readQuoted(const QString &s, qsizetype &i, QString *value);
// "Updated: ..." or a similar date in the comments of the first lines.
QString headerDate(const QByteArray &bytes, int beforeLine);

// The ccl-data.js reader (CoverageListingData.cpp).
void readCclDataJs(const QByteArray &bytes, const QVector<int> &badLines, Listing *out, const RowSink &each);

} // namespace Text
} // namespace CoverageListing
