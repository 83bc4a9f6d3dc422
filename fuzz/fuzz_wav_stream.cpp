// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a WAV recording given to `monitor --wav`: the block reader
// never crashes, never returns more samples than the bytes can hold, and
// ends.
#include "monitor/core/MonitorSources.h"

#include <QBuffer>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    WavStream wav;
    QString why;
    if (!wav.open(&in, &why))
        return 0;
    qint64 samples = 0;
    for (int blocks = 0;; ++blocks) {
        const QVector<qint16> block = wav.read(4096);
        if (block.isEmpty())
            break;
        samples += block.size();
        if (blocks > int(size) || samples > qint64(size))
            std::abort();
    }
    return 0;
}
