// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/SerialTrace.h"

namespace {

// Records of one direction closer together than this are merged.
constexpr qint64 MergeWindowNs = 1'000'000;
// Each record costs some bookkeeping beyond its bytes; single bytes written
// one at a time (a slow receiver echoing) must not make that unbounded.
constexpr qsizetype RecordOverhead = 64;
constexpr int BytesPerLine = 16;

QString stamp(qint64 ns)
{
    return QStringLiteral("%1 ms").arg(double(ns) / 1e6, 12, 'f', 6);
}

} // namespace

SerialTrace::SerialTrace(int maxExchanges, qsizetype maxBytes)
    : m_maxExchanges(qMax(1, maxExchanges))
    , m_maxBytes(qMax<qsizetype>(1024, maxBytes))
{
    m_clock.start();
}

void SerialTrace::clear()
{
    m_exchanges.clear();
    m_bytes = 0;
    m_records = 0;
    m_clock.restart();
}

void SerialTrace::beginExchange(const QString &label)
{
    Exchange e;
    e.label = label;
    e.startNs = m_clock.nsecsElapsed();
    m_exchanges.push_back(std::move(e));
    trim();
}

void SerialTrace::record(Direction direction, const char *data, qsizetype size)
{
    if (size <= 0 && direction != Direction::Note)
        return;
    const qint64 now = m_clock.nsecsElapsed();
    if (m_exchanges.empty()) {
        Exchange e;
        e.startNs = now;
        m_exchanges.push_back(std::move(e));
    }
    auto &records = m_exchanges.back().records;
    if (direction != Direction::Note && !records.empty() && records.back().direction == direction
        && now - records.back().lastNs <= MergeWindowNs) {
        records.back().bytes.append(data, size);
        records.back().lastNs = now;
    } else {
        Record r;
        r.startNs = now;
        r.lastNs = now;
        r.direction = direction;
        r.bytes = QByteArray(data, size);
        records.push_back(std::move(r));
        ++m_records;
    }
    m_bytes += size;
    trim();
}

void SerialTrace::note(const QString &text)
{
    const QByteArray utf8 = text.left(512).toUtf8();
    record(Direction::Note, utf8.constData(), utf8.size());
}

void SerialTrace::trim()
{
    auto drop = [this](Exchange &e) {
        for (const Record &r : e.records)
            m_bytes -= r.bytes.size();
        m_records -= qsizetype(e.records.size());
    };
    while (int(m_exchanges.size()) > m_maxExchanges) {
        drop(m_exchanges.front());
        m_exchanges.pop_front();
    }
    // Over the cap: the oldest records go, from the oldest exchange first;
    // the last record always stays, cut to its newest bytes if need be.
    while (m_bytes + m_records * RecordOverhead > m_maxBytes) {
        Exchange &e = m_exchanges.front();
        if (e.records.empty()) {
            if (m_exchanges.size() == 1)
                break;
            m_exchanges.pop_front();
            continue;
        }
        Record &r = e.records.front();
        if (m_exchanges.size() == 1 && e.records.size() == 1) {
            const qsizetype keep = m_maxBytes / 2;
            const qsizetype cut = r.bytes.size() - keep;
            if (cut <= 0)
                break;
            r.bytes.remove(0, cut);
            e.droppedBytes += cut;
            m_bytes -= cut;
            break;
        }
        e.droppedBytes += r.bytes.size();
        m_bytes -= r.bytes.size();
        --m_records;
        e.records.pop_front();
    }
}

QString SerialTrace::text() const
{
    QString out;
    const QString blankStamp(stamp(0).size(), u' ');
    for (const Exchange &e : m_exchanges) {
        out += QStringLiteral("=== %1 (at %2)\n")
                   .arg(e.label.isEmpty() ? QStringLiteral("Before any exchange") : e.label, stamp(e.startNs).trimmed());
        if (e.droppedBytes > 0)
            out += QStringLiteral("    (%1 earlier bytes of this exchange not kept)\n").arg(e.droppedBytes);
        for (const Record &r : e.records) {
            if (r.direction == Direction::Note) {
                out += stamp(r.startNs) + QStringLiteral("  --  ") + QString::fromUtf8(r.bytes) + u'\n';
                continue;
            }
            const QLatin1String dir(r.direction == Direction::ToReceiver ? "TX" : "RX");
            for (qsizetype at = 0; at < r.bytes.size(); at += BytesPerLine) {
                const qsizetype n = qMin<qsizetype>(BytesPerLine, r.bytes.size() - at);
                QString hex;
                QString printable;
                for (qsizetype i = 0; i < n; ++i) {
                    const uint8_t b = uint8_t(r.bytes.at(at + i));
                    if (i)
                        hex += u' ';
                    hex += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
                    printable += (b >= 0x20 && b < 0x7F) ? QChar(b) : QChar(u'.');
                }
                out += (at == 0 ? stamp(r.startNs) : blankStamp) + QStringLiteral("  ") + dir + QStringLiteral("  ")
                    + hex.leftJustified(BytesPerLine * 3 - 1) + QStringLiteral("  ") + printable + u'\n';
            }
        }
    }
    return out;
}

void SerialTrace::followTransferStep(const QString &leftStatus, const QString &device)
{
    // "Negotiating Port # 1", or "Negotiating <device>" when the user named
    // the device directly.
    if (leftStatus.startsWith(QLatin1String("Negotiating ")))
        beginExchange(device.isEmpty() ? QStringLiteral("Negotiate") : QStringLiteral("Negotiate with %1").arg(device));
    else if (leftStatus == QLatin1String("Preparing For Upload..."))
        beginExchange(QStringLiteral("Upload"));
    else if (leftStatus == QLatin1String("Downloading Data"))
        beginExchange(QStringLiteral("Download"));
}
