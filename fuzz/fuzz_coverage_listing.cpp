// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a downloaded NOAA coverage listing: recognising its shape,
// reading its rows and building the state files from them never crash or
// hang, whatever the file holds.
#include "FuzzSupport.h"

#include "coverage/core/CoverageImport.h"
#include "coverage/core/CoverageListing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const CoverageListing::Listing listing = CoverageListing::read(bytes);
    // No current coverage: every state may be filled or left empty.
    CoverageImport::build(listing, QStringLiteral("fuzz.js"), QVector<QStringList>(54));
    return 0;
}
