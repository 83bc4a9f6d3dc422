// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// What the writer does when the name it is to write is a symbolic link.
enum class LinkAtName {
    // Refused with a sentence naming the link and where it leads; nothing
    // is written and the file it leads to is untouched. What every output
    // file gets unless the user asked otherwise.
    Refuse,
    // The link itself is replaced by the new file; its target is untouched
    // (an output the user forced, or confirmed in a save dialog).
    Replace,
    // The file the link leads to is replaced (a file of the program's own
    // that the user keeps elsewhere on purpose).
    Follow,
};

// Replaces the file at `path` with `data` all at once: the new text is
// written beside the old file and renamed over it only when every byte is on
// disk, so a full disk, a missing permission or a crash never leaves a
// half-written file in place of a good one. Returns false (and, when asked,
// a sentence for the user naming the file and the system's reason, such as
// "No space left on device") when the file could not be written; the
// previous file is then untouched. A name that stands for anything but a
// regular file (a device, a pipe, a folder, a link to nothing) is refused
// before anything is written, with a sentence that names it.
bool writeFileAtomically(const QString &path, const QByteArray &data, QString *errorText = nullptr,
                         LinkAtName link = LinkAtName::Refuse);

// True when `path` is a symbolic link (whatever it leads to).
bool isSymbolicLink(const QString &path);
