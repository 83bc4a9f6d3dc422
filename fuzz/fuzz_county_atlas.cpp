// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a county boundary file: the TopoJSON reader refuses what is
// not a topology of counties and never crashes, hangs or runs out of memory
// on arcs and rings that point anywhere.
#include "FuzzSupport.h"

#include "coverage/core/CountyAtlas.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CountyAtlas::Atlas atlas;
    QString why;
    if (atlas.read(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), &why)) {
        for (const QString &state : atlas.states())
            atlas.neighbourhood(state);
    }
    return 0;
}
