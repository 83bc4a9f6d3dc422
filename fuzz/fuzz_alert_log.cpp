// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as an existing alert log (CSV): merging new alerts into it never
// crashes, and merging the same alerts twice adds nothing the second time.
#include "history/core/AlertLog.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray existing(reinterpret_cast<const char *>(data), int(size));
    AlertLogEntry e;
    e.localTime = QDateTime(QDate(2026, 3, 6), QTime(14, 5), Qt::OffsetFromUTC, -5 * 3600);
    e.originator = QStringLiteral("WXR");
    e.code = QStringLiteral("TOR");
    e.name = QStringLiteral("Tornado Warning");
    e.cls = EventClass::Warning;
    e.length = QStringLiteral("00:30");
    // The same alert as the monitor logs it: matched by its header and the
    // time it was heard.
    AlertLogEntry heard = e;
    heard.receiver = QStringLiteral("monitor:hw:1");
    heard.locations = {QStringLiteral("039035")};
    heard.header = QStringLiteral("ZCZC-WXR-TOR-039035+0030-0651905-KCLE/NWS-");
    heard.heard = e.localTime.addSecs(60);
    const QList<AlertLogEntry> alerts{e, heard};
    const AlertLogMerge first = MergeAlertLog(existing, alerts);
    SplitCsvLine(QString::fromUtf8(existing));
    if (first.ok) {
        const AlertLogMerge second = MergeAlertLog(first.content, alerts);
        if (!second.ok || !second.added.isEmpty())
            std::abort();
    }
    return 0;
}
