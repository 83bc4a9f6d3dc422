// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as "NX_4400C.DAT": loading never crashes, and whatever it loads
// packs into an image without writing out of bounds.
#include "FuzzSupport.h"

#include "config/core/ParameterFile.h"
#include "config/core/ParameterImage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FuzzHarness h;
    auto ctx = h.freshContext();
    h.writeFile(ctx->parameterFilePath, data, size);
    LoadParameterFile(*ctx, *ctx);
    PackCoverageLists(*ctx, ctx->session().UploadImage);
    PackParameterBlock(ctx->config, ctx->session().UploadImage);
    return 0;
}
