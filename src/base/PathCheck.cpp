// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/PathCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

PathKind kindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return PathKind::Regular;
    if (S_ISDIR(mode))
        return PathKind::Directory;
    if (S_ISFIFO(mode))
        return PathKind::Fifo;
    if (S_ISCHR(mode))
        return PathKind::CharDevice;
    if (S_ISBLK(mode))
        return PathKind::BlockDevice;
    if (S_ISSOCK(mode))
        return PathKind::Socket;
    return PathKind::Other;
}

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
        return QStringLiteral("%1 cannot be looked at (%2)").arg(name, qt_error_string(st.error));
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

bool accessible(const QString &path, int mode)
{
    // The effective ids decide, as they do for the open that follows.
    return ::faccessat(AT_FDCWD, QFile::encodeName(path).constData(), mode, AT_EACCESS) == 0;
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
    if (!accessible(folder, W_OK | X_OK)) {
        setWhy(why, QStringLiteral("%1 cannot be %2 in %3 (%4)")
                        .arg(shown(path), verb, shown(folder), qt_error_string(errno)));
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
    const QByteArray name = QFile::encodeName(path);
    struct stat sb {};
    if (::lstat(name.constData(), &sb) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            st.kind = PathKind::Missing;
        } else {
            st.kind = PathKind::Unreadable;
            st.error = errno;
        }
        return st;
    }
    if (S_ISLNK(sb.st_mode)) {
        st.viaLink = true;
        QByteArray raw(4096, '\0');
        const ssize_t n = ::readlink(name.constData(), raw.data(), size_t(raw.size()));
        if (n > 0)
            st.linkTarget = QFile::decodeName(raw.left(n));
        if (::stat(name.constData(), &sb) != 0) {
            if (errno == ENOENT || errno == ENOTDIR) {
                st.kind = PathKind::DanglingLink;
            } else {
                st.kind = PathKind::Unreadable;
                st.error = errno;
            }
            return st;
        }
    }
    st.kind = kindOfMode(sb.st_mode);
    if (st.kind == PathKind::Regular)
        st.size = qint64(sb.st_size);
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
    if (!accessible(path, R_OK)) {
        setWhy(why, QStringLiteral("%1 cannot be read (%2)").arg(shown(path), qt_error_string(errno)));
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
    if (!accessible(path, R_OK)) {
        setWhy(why, QStringLiteral("%1 cannot be read (%2)").arg(shown(path), qt_error_string(errno)));
        return false;
    }
    if (!accessible(path, W_OK)) {
        setWhy(why, QStringLiteral("%1 cannot be written (%2)").arg(shown(path), qt_error_string(errno)));
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
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        setWhy(why, QStringLiteral("%1 cannot be read (%2)").arg(shown(path), qt_error_string(errno)));
        return false;
    }
    struct stat sb {};
    if (::fstat(fd, &sb) != 0 || !S_ISREG(sb.st_mode)) {
        PathStatus st;
        st.kind = kindOfMode(sb.st_mode);
        ::close(fd);
        setWhy(why, describe(path, st));
        return false;
    }
    const qint64 limit = maxBytes;
    QByteArray buffer;
    // One byte past the limit shows a file that grew beyond it meanwhile.
    buffer.resize(qsizetype(qMin<qint64>(qint64(sb.st_size), limit) + 1));
    qint64 got = 0;
    int err = 0;
    for (;;) {
        if (got == buffer.size()) {
            if (got > limit)
                break;
            buffer.resize(qsizetype(qMin<qint64>(got * 2 + 4096, limit + 1)));
        }
        const ssize_t n = ::read(fd, buffer.data() + got, size_t(buffer.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            err = errno;
            break;
        }
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    if (err != 0) {
        setWhy(why, QStringLiteral("%1 cannot be read (%2)").arg(shown(path), qt_error_string(err)));
        return false;
    }
    if (got > limit) {
        setWhy(why, tooLarge(path, got, maxBytes));
        return false;
    }
    buffer.resize(qsizetype(got));
    if (data)
        *data = buffer;
    return true;
}
