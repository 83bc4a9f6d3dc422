// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/core/DumpCollector.h"

namespace {
const QByteArray Header = QByteArrayLiteral("ZCZC");
}

bool RawDumpCollector::feed(int byte)
{
    if (m_finished || byte < 0 || byte > 255)
        return m_finished;
    ++m_bytesRead;
    if (byte == DumpBytes::ETX) {
        m_finished = true;
        return true;
    }
    if (byte <= 31)
        return false;
    const char c = static_cast<char>(byte);
    if (!m_found) {
        // Only the tail can still complete the header, so a receiver that
        // sends noise for a long time does not grow the buffer.
        m_search.append(c);
        if (m_search.endsWith(Header)) {
            m_found = true;
            m_text = Header;
            m_search.clear();
        } else if (m_search.size() > Header.size()) {
            m_search.remove(0, m_search.size() - (Header.size() - 1));
        }
        return false;
    }
    m_text.append(c);
    if (m_text.size() == 62 || m_text.size() == 124)
        m_text.append("\r\n");
    return false;
}

bool NvDumpCollector::feed(int byte)
{
    if (m_finished || byte < 0 || byte > 255)
        return m_finished;
    ++m_bytesRead;
    if (byte == DumpBytes::ETX) {
        m_finished = true;
        return true;
    }
    m_text.append(static_cast<char>(byte));
    return false;
}

QString DumpDisplayText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
            out += QLatin1Char('\n');
            ++i;
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\t')) {
            out += c;
        } else if (c.unicode() < 32 || c.unicode() == 127) {
            out += QStringLiteral("<%1>").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        } else {
            out += c;
        }
    }
    return out;
}
