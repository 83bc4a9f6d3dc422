// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// What a name in the file system stands for, found with lstat and stat alone:
// nothing is opened to find out, so a named pipe is never waited on and a
// device is never read. A symbolic link is followed to see what it leads to.
enum class PathKind {
    Missing,        // nothing of that name (nor, perhaps, its folder)
    Regular,
    Directory,
    Fifo,
    CharDevice,
    BlockDevice,
    Socket,
    DanglingLink,   // a symbolic link to a name that does not exist
    Other,
    Unreadable,     // the name cannot be looked at (a folder on the way denies it, a link loop)
};

struct PathStatus {
    PathKind kind = PathKind::Missing;
    bool viaLink = false;   // the name is a symbolic link; `kind` is what it leads to
    QString linkTarget;     // the link's text, when viaLink
    qint64 size = 0;        // bytes, of a regular file
    int error = 0;          // the system's error number, for Unreadable
};

PathStatus ClassifyPath(const QString &path);

// "a character device", "a folder", ... for messages.
QString PathKindText(PathKind kind);

// Input files that are read whole (the settings store, the parameter file)
// are a few KiB when healthy; anything past this is refused rather than read.
inline constexpr qint64 MaxInputFileBytes = 1024 * 1024;

// True when `path` may be replaced by a new file: nothing is there yet, or a
// regular file is (after following links). Anything else - a device, a pipe,
// a folder, a link to nowhere - is refused with one sentence naming the path
// and what it is, e.g. "/dev/null is a character device, not a file; nothing
// was written".
bool CheckReplaceableFile(const QString &path, QString *why = nullptr);

// True when `path` is a regular file this process may read and no larger
// than `maxBytes` (no limit when negative). A missing file, a pipe, a device
// or a folder is refused; so is a file the system will not let us read, with
// the system's reason.
bool CheckReadableFile(const QString &path, QString *why = nullptr, qint64 maxBytes = MaxInputFileBytes);

// True when rows may be appended to `path`: a regular file this process may
// read and write, or no file yet in a folder it may write to. Refuses pipes,
// devices and folders, which an append would block on or destroy.
bool CheckAppendableFile(const QString &path, QString *why = nullptr);

// Reads the whole of a regular file of at most `maxBytes`. The open never
// blocks (a pipe swapped in after a check is found out before any read), and
// a file larger than the limit (MaxInputFileBytes when negative) is refused,
// not cut short. On failure `data`
// is left empty and `why` names the file and the reason.
bool ReadFileBounded(const QString &path, qint64 maxBytes, QByteArray *data, QString *why = nullptr);
