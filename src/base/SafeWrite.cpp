// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/SafeWrite.h"

#include "base/PathCheck.h"

#include <QSaveFile>

bool writeFileAtomically(const QString &path, const QByteArray &data, QString *errorText)
{
    // The new file is renamed over the name: a device, a pipe or a folder
    // there would be replaced by a plain file (or the rename would fail
    // half-way), so only a missing or regular file is replaced.
    if (!CheckReplaceableFile(path, errorText))
        return false;
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
        if (errorText) {
            // QSaveFile's own text does not always say which file.
            const QString reason = file.errorString();
            *errorText = reason.contains(path) ? reason : QStringLiteral("%1 cannot be written (%2)").arg(path, reason);
        }
        file.cancelWriting();
    }
    return ok;
}
