// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file at `path` with `data` all at once: the new text is
// written beside the old file and renamed over it only when every byte is on
// disk, so a full disk, a missing permission or a crash never leaves a
// half-written file in place of a good one. Returns false (and, when asked,
// a sentence for the user) when the file could not be written; the previous
// file is then untouched. A name that stands for anything but a regular file
// (a device, a pipe, a folder, a link to nothing) is refused before anything
// is written, with a sentence that names it.
bool writeFileAtomically(const QString &path, const QByteArray &data, QString *errorText = nullptr);
