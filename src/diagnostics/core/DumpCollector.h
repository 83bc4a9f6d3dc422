// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// The receiver ends each dump reply with ETX. A collector is fed the reply
// one byte at a time (-1 for "no byte") and says when it has seen ETX; it
// never touches the port, so the rules can be checked byte by byte.
namespace DumpBytes {
constexpr int ETX = 3;
}

// The "R" reply: the last raw SAME data the receiver decoded. Whatever the
// receiver sends before the header "ZCZC" is line noise and is dropped, as
// are all control characters; the message is broken after its 62nd and
// 124th character (the line break counts towards the second) so it fits
// the window.
class RawDumpCollector
{
public:
    // Returns true once ETX has been read; later bytes are ignored.
    bool feed(int byte);
    bool finished() const { return m_finished; }
    // The collected text from "ZCZC" on; empty when "ZCZC" never came.
    QString text() const { return QString::fromLatin1(m_text); }
    int bytesRead() const { return m_bytesRead; }

private:
    QByteArray m_search;   // the last few characters before "ZCZC"
    QByteArray m_text;
    bool m_found = false;
    bool m_finished = false;
    int m_bytesRead = 0;
};

// The "X" reply: the receiver's non-volatile memory as its own text, shown
// as received, control characters included.
class NvDumpCollector
{
public:
    bool feed(int byte);
    bool finished() const { return m_finished; }
    QString text() const { return QString::fromLatin1(m_text); }
    int bytesRead() const { return m_bytesRead; }

private:
    QByteArray m_text;
    bool m_finished = false;
    int m_bytesRead = 0;
};

// How the dump window shows received text: CR LF becomes a plain line
// break, a tab stays a tab, and every other control character is shown by
// its code in hex between angle brackets ("<1B>"), so that an NV reply's
// control bytes can be seen and told apart. The dump file keeps the bytes
// as received.
QString DumpDisplayText(const QString &text);
