// SPDX-License-Identifier: GPL-3.0-or-later
// Any text as the file name a save dialog returns: the extension check
// never crashes, and saving to it either writes the file or fails cleanly.
#include "FuzzSupport.h"

#include "history/core/HistoryReport.h"

#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FuzzHarness h;
    static auto ctx = h.freshContext();
    const QString name = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    CheckTxtExtension(name);
    // Only names inside the scratch folder are written.
    const QString inside = h.dir.filePath(QStringLiteral("out/")) + QString(name).remove(QLatin1Char('/'));
    QDir().mkpath(h.dir.filePath(QStringLiteral("out")));
    QString error;
    if (CheckTxtExtension(inside))
        SaveHistoryFile(ctx->HistoryRows, ctx->clock().date(), inside, &error);
    QDir(h.dir.filePath(QStringLiteral("out"))).removeRecursively();
    return 0;
}
