// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/PathCheck.h"

#include "base/Platform.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// "X is a named pipe, not a file", "X leads to /dev/null, a character
// device, not a file", "X is a link to Y, which does not exist".
QString describe(const QString &path, const PathStatus &st)
{
    const QString name = shown(path);
    switch (st.kind) {
    case PathKind::Missing:
        return QStringLiteral("%1 does not exist").arg(name);
    case PathKind::DanglingLink:
        return QStringLiteral("%1 is a link to %2, which does not exist").arg(name, st.linkTarget);
    case PathKind::Unreadable:
        return QStringLiteral("%1 cannot be looked at (%2)").arg(name, Platform::ErrorText(st.error));
    default:
        break;
    }
    const QString what = PathKindText(st.kind);
    const QString tail = st.kind == PathKind::Regular ? QString() : QStringLiteral(", not a file");
    if (st.viaLink)
        return QStringLiteral("%1 leads to %2, %3%4").arg(name, st.linkTarget, what, tail);
    return QStringLiteral("%1 is %2%3").arg(name, what, tail);
}

void setWhy(QString *why, const QString &text)
{
    if (why)
        *why = text;
}

QString tooLarge(const QString &path, qint64 size, qint64 maxBytes)
{
    return QStringLiteral("%1 is too large (%2 bytes, more than the %3 read at most)")
        .arg(shown(path))
        .arg(size)
        .arg(maxBytes);
}

QString errorText(int error)
{
    return Platform::ErrorText(error);
}

// True when the folder of `path` is there and takes new files; otherwise
// "X cannot be <verb>: <folder> does not exist" or "... in <folder> (reason)".
bool folderTakesFiles(const QString &path, const QString &verb, QString *why)
{
    const QString folder = QFileInfo(path).absolutePath();
    const PathStatus dir = ClassifyPath(folder);
    if (dir.kind != PathKind::Directory) {
        setWhy(why, QStringLiteral("%1 cannot be %2: %3").arg(shown(path), verb, describe(folder, dir)));
        return false;
    }
    int error = 0;
    if (!Platform::MayAccess(folder, int(Platform::Access::Write) | int(Platform::Access::Search), &error)) {
        setWhy(why, QStringLiteral("%1 cannot be %2 in %3 (%4)")
                        .arg(shown(path), verb, shown(folder), errorText(error)));
        return false;
    }
    return true;
}

} // namespace

PathStatus ClassifyPath(const QString &path)
{
    PathStatus st;
    if (path.isEmpty())
        return st;
    bool isLink = false;
    Platform::FileStat sb = Platform::LstatPath(path, &isLink);
    auto failed = [&st](const Platform::FileStat &s, PathKind missing) {
        if (Platform::IsMissingError(s.error)) {
            st.kind = missing;
        } else {
            st.kind = PathKind::Unreadable;
            st.error = s.error;
        }
        return st;
    };
    if (!sb.ok)
        return failed(sb, PathKind::Missing);
    if (isLink) {
        st.viaLink = true;
        st.linkTarget = Platform::ReadLink(path);
        sb = Platform::StatPath(path);
        if (!sb.ok)
            return failed(sb, PathKind::DanglingLink);
    }
    st.kind = sb.kind;
    if (st.kind == PathKind::Regular)
        st.size = sb.size;
    return st;
}

QString PathKindText(PathKind kind)
{
    switch (kind) {
    case PathKind::Missing: return QStringLiteral("nothing");
    case PathKind::Regular: return QStringLiteral("a file");
    case PathKind::Directory: return QStringLiteral("a folder");
    case PathKind::Fifo: return QStringLiteral("a named pipe");
    case PathKind::CharDevice: return QStringLiteral("a character device");
    case PathKind::BlockDevice: return QStringLiteral("a block device");
    case PathKind::Socket: return QStringLiteral("a socket");
    case PathKind::DanglingLink: return QStringLiteral("a link to nothing");
    case PathKind::Other: return QStringLiteral("a special file");
    case PathKind::Unreadable: return QStringLiteral("something that cannot be looked at");
    }
    return QString();
}

bool CheckReplaceableFile(const QString &path, QString *why)
{
    if (path.isEmpty()) {
        setWhy(why, QStringLiteral("the file name is empty"));
        return false;
    }
    const PathStatus st = ClassifyPath(path);
    // A new file is renamed over the name: done to a device or a pipe, that
    // would put a plain file in its place (as root, /dev/null itself).
    if (st.kind != PathKind::Missing && st.kind != PathKind::Regular) {
        setWhy(why, describe(path, st) + QStringLiteral("; nothing was written"));
        return false;
    }
    // The new file is made beside the old one and renamed over it, so the
    // folder must be there and take new files, whether or not the file is.
    return folderTakesFiles(path, QStringLiteral("written"), why);
}

bool CheckReadableFile(const QString &path, QString *why, qint64 maxBytes)
{
    const PathStatus st = ClassifyPath(path);
    if (st.kind != PathKind::Regular) {
        setWhy(why, describe(path, st));
        return false;
    }
    if (maxBytes >= 0 && st.size > maxBytes) {
        setWhy(why, tooLarge(path, st.size, maxBytes));
        return false;
    }
    int error = 0;
    if (!Platform::MayAccess(path, int(Platform::Access::Read), &error)) {
        setWhy(why, QStringLiteral("%1 cannot be read (%2)").arg(shown(path), errorText(error)));
        return false;
    }
    return true;
}

bool CheckAppendableFile(const QString &path, QString *why)
{
    if (path.isEmpty()) {
        setWhy(why, QStringLiteral("the file name is empty"));
        return false;
    }
    const PathStatus st = ClassifyPath(path);
    if (st.kind == PathKind::Missing)
        return folderTakesFiles(path, QStringLiteral("made"), why);
    if (st.kind != PathKind::Regular) {
        setWhy(why, describe(path, st) + QStringLiteral("; nothing was written"));
        return false;
    }
    int error = 0;
    if (!Platform::MayAccess(path, int(Platform::Access::Read), &error)) {
        setWhy(why, QStringLiteral("%1 cannot be read (%2)").arg(shown(path), errorText(error)));
        return false;
    }
    if (!Platform::MayAccess(path, int(Platform::Access::Write), &error)) {
        setWhy(why, QStringLiteral("%1 cannot be written (%2)").arg(shown(path), errorText(error)));
        return false;
    }
    return true;
}

bool ReadFileBounded(const QString &path, qint64 maxBytes, QByteArray *data, QString *why)
{
    if (data)
        data->clear();
    if (maxBytes < 0)
        maxBytes = MaxInputFileBytes;
    if (!CheckReadableFile(path, why, maxBytes))
        return false;
    // The name may have changed since the check: the open does not wait for
    // a pipe's writer, and what was opened is checked again.
    const Platform::ReadOutcome read = Platform::ReadRegularFile(path, maxBytes, data);
    switch (read.result) {
    case Platform::ReadOutcome::Ok:
        return true;
    case Platform::ReadOutcome::CannotOpen:
    case Platform::ReadOutcome::CannotRead:
        setWhy(why, QStringLiteral("%1 cannot be read (%2)").arg(shown(path), errorText(read.error)));
        return false;
    case Platform::ReadOutcome::NotRegular: {
        PathStatus st;
        st.kind = read.kind;
        setWhy(why, describe(path, st));
        return false;
    }
    case Platform::ReadOutcome::TooLarge:
        setWhy(why, tooLarge(path, read.size, maxBytes));
        return false;
    }
    return false;
}
