// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as the settings store file: loading never crashes, every value
// that loads packs, and saving what was loaded works.
#include "FuzzSupport.h"

#include "config/core/ParameterImage.h"
#include "config/core/SettingsStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FuzzHarness h;
    auto ctx = h.freshContext();
    h.writeFile(ctx->settingsPath, data, size);
    LoadConfiguration(*ctx, ctx->config);
    PackParameterBlock(ctx->config, ctx->session().UploadImage);
    SaveConfiguration(*ctx, ctx->config);
    return 0;
}
