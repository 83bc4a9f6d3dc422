// SPDX-License-Identifier: GPL-3.0-or-later
// Any byte stream as the receiver's RAW and NV dump replies: the collectors
// and the window's text form never crash, and stop at the first ETX.
#include "diagnostics/core/DumpCollector.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    RawDumpCollector raw;
    NvDumpCollector nv;
    for (size_t i = 0; i < size; ++i) {
        // 0xFF stands for "no byte waiting", as the port reports it.
        const int byte = data[i] == 0xFF ? -1 : data[i];
        raw.feed(byte);
        nv.feed(byte);
    }
    DumpDisplayText(raw.text());
    DumpDisplayText(nv.text());
    if (nv.finished() && nv.text().contains(QChar(DumpBytes::ETX)))
        std::abort();   // text past the end marker was kept
    return 0;
}
