// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as the receiver's 1284-byte reply: the checksum check, the ROM
// version, the history decoder, the saved-file lines, the printed report and
// the alert log entries never crash, hang or read outside the buffer.
#include "FuzzSupport.h"

#include "coverage/core/EventCatalog.h"
#include "history/core/AlertLog.h"
#include "history/core/HistoryDecoder.h"
#include "history/core/HistoryReport.h"
#include "link/core/Transfer.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FuzzHarness h;
    static auto ctx = [] {
        auto c = h.freshContext();
        InitEventCatalog(c->catalog);
        return c;
    }();
    // The first two bytes choose the time zone settings, the rest is the frame.
    if (size < 2)
        return 0;
    ctx->config.TimeZoneOffset = int16_t(int8_t(data[0]));
    ctx->config.DaylightSavings = data[1] & 1;
    ctx->DaylightTimeActive = data[1] & 2;
    data += 2;
    size -= 2;
    ctx->session().ReceiveBuffer.fill('\0', LinkSession::ReceiveBufferSize);
    std::memcpy(ctx->session().ReceiveBuffer.data(), data, std::min<size_t>(size, LinkSession::ReceiveBufferSize));
    VerifyDownloadChecksum(ctx->session());
    XferRomVersion(ctx->session(), ctx->config);
    DecodeHistory(ctx->historySource(), ctx->HistoryRows);
    for (int row = 0; row < 40; ++row)
        FormatHistoryLine(ctx->HistoryRows, row);
    HistoryFileText(ctx->HistoryRows, ctx->clock().date());
    HistoryReportLines(ctx->historySource());
    AlertLogEntries(ctx->historySource());
    return 0;
}
