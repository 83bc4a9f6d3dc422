// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a state file: reading it, listing its transmitters and
// finding a transmitter's counties never crash or hang.
#include "FuzzSupport.h"

#include "coverage/core/StateDatabase.h"

#include <QDir>

using namespace StateDatabase;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FuzzHarness h;
    auto ctx = h.freshContext();
    QDir().mkpath(ctx->statesFolder);
    // Florida's file, the state a new user starts with.
    const QString path = ctx->statesFolder + QLatin1Char('/') + GetStateFileName(8);
    h.writeFile(path, data, size);
    QStringList lines;
    readStateLines(path, &lines);
    for (const QString &line : lines) {
        GetStateName(line);
        transmitterField(line);
    }
    QStringList transmitters;
    LoadStateFile(ctx->prompter(), ctx->statesFolder, ctx->config.FrequencyListingFilter, 8, &transmitters);
    if (!transmitters.isEmpty()) {
        QStringList counties;
        FindTransmitterCounties(ctx->prompter(), ctx->statesFolder, transmitters.first(), &counties);
    }
    return 0;
}
