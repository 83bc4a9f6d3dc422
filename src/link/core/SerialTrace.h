// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// SerialTrace: every byte that went to the receiver and came from it, with a
// monotonic time stamp, kept for the last few exchanges so that a user can
// send it with a support request.
//
// An exchange starts with beginExchange("Upload") and runs until the next
// one; only the last maxExchanges are kept, and within them at most maxBytes
// of data (the oldest records go first), so a receiver that floods the line
// cannot grow the trace without bound. Bytes that follow one another in the
// same direction within a millisecond are one record: a 512-byte frame
// written in one go is one record of 32 lines, not 512 records.
//
// text() renders, per exchange, a header and then one line per 16 bytes:
//       12.345678 ms  TX  5A                                                Z
// time since the trace started, TX (to the receiver) or RX (from it), the
// bytes in hex and as text ('.' for what is not printable ASCII). Notes
// (port opened, failed, purged) appear in the same order as the bytes.

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <deque>

class SerialTrace
{
public:
    enum class Direction { ToReceiver, FromReceiver, Note };

    explicit SerialTrace(int maxExchanges = 8, qsizetype maxBytes = 256 * 1024);

    void beginExchange(const QString &label);
    // Begins the exchange that a transfer's step starts, from the text it
    // puts in the left status panel: negotiation, upload and download read
    // apart in the trace. Other texts change nothing.
    void followTransferStep(const QString &leftStatus, const QString &device = QString());
    void record(Direction direction, const char *data, qsizetype size);
    void record(Direction direction, const QByteArray &data) { record(direction, data.constData(), data.size()); }
    // A line of its own among the bytes ("port opened on /dev/ttyUSB0").
    void note(const QString &text);
    void clear();

    QString text() const;

    int exchangeCount() const { return int(m_exchanges.size()); }
    qsizetype byteCount() const { return m_bytes; }
    // Ns since the trace started (or was cleared).
    qint64 elapsedNs() const { return m_clock.nsecsElapsed(); }

private:
    struct Record {
        qint64 startNs = 0;
        qint64 lastNs = 0;
        Direction direction = Direction::Note;
        QByteArray bytes;     // UTF-8 text for a note
    };
    struct Exchange {
        QString label;
        qint64 startNs = 0;
        qsizetype droppedBytes = 0;
        std::deque<Record> records;
    };
    void trim();

    QElapsedTimer m_clock;
    std::deque<Exchange> m_exchanges;
    int m_maxExchanges;
    qsizetype m_maxBytes;
    qsizetype m_bytes = 0;
    qsizetype m_records = 0;
};
