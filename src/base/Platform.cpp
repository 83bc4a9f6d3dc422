// SPDX-License-Identifier: GPL-3.0-or-later
// What Platform.h offers that is the same on every system.
#include "base/Platform.h"

namespace Platform {

ReadOutcome ReadRegularFile(const QString &path, qint64 maxBytes, QByteArray *data)
{
    ReadOutcome out;
    if (data)
        data->clear();
    NativeFile file;
    if (!file.open(path, NativeFile::Mode::Read)) {
        out.result = ReadOutcome::CannotOpen;
        out.error = file.error();
        return out;
    }
    const FileStat st = file.stat();
    if (!st.ok || st.kind != PathKind::Regular) {
        out.result = st.ok ? ReadOutcome::NotRegular : ReadOutcome::CannotRead;
        out.error = st.error;
        out.kind = st.kind;
        return out;
    }
    if (st.size > maxBytes) {
        out.result = ReadOutcome::TooLarge;
        out.size = st.size;
        return out;
    }
    QByteArray buffer;
    // One byte past the limit shows a file that grew beyond it meanwhile.
    buffer.resize(qsizetype(qMin<qint64>(st.size, maxBytes) + 1));
    qint64 got = 0;
    for (;;) {
        if (got == buffer.size()) {
            if (got > maxBytes)
                break;
            buffer.resize(qsizetype(qMin<qint64>(got * 2 + 4096, maxBytes + 1)));
        }
        const qint64 n = file.read(buffer.data() + got, buffer.size() - got);
        if (n < 0) {
            out.result = ReadOutcome::CannotRead;
            out.error = file.error();
            return out;
        }
        if (n == 0)
            break;
        got += n;
    }
    if (got > maxBytes) {
        out.result = ReadOutcome::TooLarge;
        out.size = got;
        return out;
    }
    buffer.resize(qsizetype(got));
    if (data)
        *data = buffer;
    return out;
}

} // namespace Platform
