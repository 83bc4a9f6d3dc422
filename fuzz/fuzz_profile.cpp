// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a receiver profile: reading never crashes; a profile that is
// accepted writes out as text that reads back to the same setup and the
// same image.
#include "FuzzSupport.h"

#include "config/core/ParameterImage.h"
#include "config/core/ReceiverProfile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FuzzHarness h;
    auto ctx = h.freshContext();
    ReceiverProfile profile{ctx->config, ctx->FipEntries, ctx->EventSelection};
    ProfileError error;
    const QByteArray input(reinterpret_cast<const char *>(data), int(size));
    if (!ParseProfile(input, profile, &error))
        return 0;
    const QByteArray text = FormatProfile(profile.config, profile.FipEntries, profile.EventSelection);
    ReceiverProfile again{ctx->config, {}, {}};
    if (!ParseProfile(text, again, &error) || again.FipEntries != profile.FipEntries
        || again.EventSelection != profile.EventSelection
        || FormatProfile(again.config, again.FipEntries, again.EventSelection) != text)
        std::abort();
    ctx->config = again.config;
    ctx->FipEntries = again.FipEntries;
    ctx->EventSelection = again.EventSelection;
    PackParameterBlock(ctx->config, ctx->session().UploadImage);
    PackCoverageLists(*ctx, ctx->session().UploadImage);
    return 0;
}
