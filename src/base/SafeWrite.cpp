// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/SafeWrite.h"

#include <QSaveFile>

bool writeFileAtomically(const QString &path, const QByteArray &data, QString *errorText)
{
    // Unbuffered, and flushed and checked before the commit: QSaveFile does
    // not notice a failure that only shows when its buffer is flushed inside
    // commit() (a full disk), and would then put a cut-off file in place.
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    ok = ok && file.write(data) == data.size();
    ok = ok && file.flush() && file.error() == QFileDevice::NoError;
    if (ok && !file.commit())
        ok = false;
    if (!ok) {
        if (errorText)
            *errorText = file.errorString();
        file.cancelWriting();
    }
    return ok;
}
