// SPDX-License-Identifier: GPL-3.0-or-later
// The system calls behind Platform.h on Windows.
//
// Errors are GetLastError() codes. A serial port (COM3, \\.\COM3) is a
// character device whose identity is its name.
//
// The lock on a log is taken on a file of its own beside it ("<log>.lock",
// hidden, never removed): Windows will not rename a new log over one that is
// open, so the holder must be able to let the log go while it keeps the
// lock, and a program waiting for the lock must not hold the log open
// meanwhile. While it waits, the log is closed; it is opened again by name
// once the lock is had, so it is the log as it stands then.
#include "base/Platform.h"

#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QRegularExpression>

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <cstdio>
#include <tlhelp32.h>

namespace Platform {

namespace {

std::wstring wide(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

HANDLE handleOf(qintptr h)
{
    return reinterpret_cast<HANDLE>(h);
}

// The COM port a name stands for ("COM3"), or empty.
QString comPort(const QString &path)
{
    static const QRegularExpression pattern(QStringLiteral("^(?:[\\\\/]{2}\\.[\\\\/])?(COM[0-9]{1,3})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = pattern.match(path);
    return m.hasMatch() ? m.captured(1).toUpper() : QString();
}

FileStat fromHandle(HANDLE h)
{
    FileStat st;
    BY_HANDLE_FILE_INFORMATION info {};
    const DWORD type = GetFileType(h);
    if (type == FILE_TYPE_PIPE) {
        st.ok = true;
        st.kind = PathKind::Fifo;
        return st;
    }
    if (type == FILE_TYPE_CHAR) {
        st.ok = true;
        st.kind = PathKind::CharDevice;
        return st;
    }
    if (!GetFileInformationByHandle(h, &info)) {
        st.error = int(GetLastError());
        return st;
    }
    st.ok = true;
    st.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Directory : PathKind::Regular;
    st.size = (qint64(info.nFileSizeHigh) << 32) | qint64(info.nFileSizeLow);
    st.identity = QStringLiteral("%1:%2")
                      .arg(quint64(info.dwVolumeSerialNumber))
                      .arg((quint64(info.nFileIndexHigh) << 32) | quint64(info.nFileIndexLow));
    return st;
}

FileStat statName(const QString &path, DWORD extraFlags, bool *isLink)
{
    if (isLink)
        *isLink = false;
    const QString port = comPort(path);
    if (!port.isEmpty()) {
        FileStat st;
        st.ok = true;
        st.kind = PathKind::CharDevice;
        st.identity = port;
        st.deviceNumber = port;
        return st;
    }
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        FileStat st;
        st.error = int(GetLastError());
        return st;
    }
    if (isLink)
        *isLink = (extraFlags & FILE_FLAG_OPEN_REPARSE_POINT) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    // No access asked for: this looks at the file, it never opens it for
    // reading, so a pipe is not waited on and a device is not touched.
    HANDLE h = CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | extraFlags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        FileStat st;
        st.error = int(GetLastError());
        return st;
    }
    FileStat st = fromHandle(h);
    CloseHandle(h);
    if (isLink && *isLink)
        st.kind = PathKind::Other;
    return st;
}

} // namespace

FileStat StatPath(const QString &path)
{
    return statName(path, 0, nullptr);
}

FileStat LstatPath(const QString &path, bool *isLink)
{
    return statName(path, FILE_FLAG_OPEN_REPARSE_POINT, isLink);
}

QString ReadLink(const QString &path)
{
    return QFileInfo(path).symLinkTarget();
}

QString RealPath(const QString &path, int *error)
{
    const QString port = comPort(path);
    if (!port.isEmpty())
        return QStringLiteral("\\\\.\\") + port;
    const QString real = QFileInfo(path).canonicalFilePath();
    if (real.isEmpty() && error)
        *error = int(ERROR_FILE_NOT_FOUND);
    return real;
}

bool MayAccess(const QString &path, int access, int *error)
{
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (error)
            *error = int(GetLastError());
        return false;
    }
    // Windows grants by access lists that only an open can fully test; the
    // open that follows reports what this cannot see. A read-only file is
    // the one refusal known beforehand.
    if ((access & int(Access::Write)) && !(attributes & FILE_ATTRIBUTE_DIRECTORY)
        && (attributes & FILE_ATTRIBUTE_READONLY)) {
        if (error)
            *error = int(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

bool RenameOver(const QString &from, const QString &to, int *error)
{
    // MoveFileEx replaces a symbolic link at `to` itself, not its target.
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    if (error)
        *error = int(GetLastError());
    return false;
}

bool RemoveName(const QString &path, int *error)
{
    if (DeleteFileW(wide(path).c_str()))
        return true;
    if (error)
        *error = int(GetLastError());
    return false;
}

bool HardLink(const QString &target, const QString &link, int *error)
{
    if (CreateHardLinkW(wide(link).c_str(), wide(target).c_str(), nullptr))
        return true;
    if (error)
        *error = int(GetLastError());
    return false;
}

void KeepOwner(const QString &, uint, uint)
{
    // A new file takes its folder's access list, which is what a user's own
    // files have.
}

void KeepPermissions(const QString &, uint)
{
    // Access lists, not permission bits: see KeepOwner.
}

QString ErrorText(int error)
{
    return qt_error_string(error);
}

bool IsMissingError(int error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME;
}

bool IsNoEntryError(int error)
{
    return IsMissingError(error);
}

bool IsExistsError(int error)
{
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

bool IsPermissionError(int error)
{
    return error == ERROR_ACCESS_DENIED;
}

bool IsBusyError(int error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_BUSY;
}

bool IsGoneError(int error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_DEV_NOT_EXIST || error == ERROR_DEVICE_NOT_CONNECTED;
}

bool ProcessRuns(qint64 pid)
{
    if (pid <= 0 || pid > qint64(MAXDWORD))
        return false;
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!h)
        return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(h, &code) && code == STILL_ACTIVE;
    CloseHandle(h);
    return running;
}

void OwnProcessGroup(QProcess &process, bool outputToStderr)
{
    process.setCreateProcessArgumentsModifier([outputToStderr](QProcess::CreateProcessArguments *args) {
        args->flags |= CREATE_NEW_PROCESS_GROUP;
        if (outputToStderr) {
            args->startupInfo->dwFlags |= STARTF_USESTDHANDLES;
            args->startupInfo->hStdOutput = args->startupInfo->hStdError;
        }
    });
}

// Windows sends no signal to end a console program that the program could
// act on before it ends (a console close event ends it after a few seconds
// at most); what the children do is left as it was there.
bool EndWithThisProgram(qint64 pid)
{
    return pid > 0;
}

void NoLongerEndWithThisProgram(qint64) {}

bool KillProcessTree(qint64 pid)
{
    if (pid <= 0 || pid > qint64(MAXDWORD))
        return false;
    // Windows keeps no groups to end at once: the processes it started are
    // found by their parent's id, from a snapshot taken before any ends.
    QList<DWORD> tree {DWORD(pid)};
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot != INVALID_HANDLE_VALUE) {
        QList<PROCESSENTRY32W> all;
        PROCESSENTRY32W entry {};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
            all << entry;
        CloseHandle(snapshot);
        for (qsizetype i = 0; i < tree.size(); ++i) {
            for (const PROCESSENTRY32W &e : all) {
                if (e.th32ParentProcessID == tree.at(i) && e.th32ProcessID != tree.at(i) && !tree.contains(e.th32ProcessID))
                    tree << e.th32ProcessID;
            }
        }
    }
    bool ended = false;
    for (const DWORD id : tree) {
        HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, id);
        if (!h)
            continue;
        if (TerminateProcess(h, 1))
            ended = true;
        CloseHandle(h);
    }
    return ended;
}

bool NativeFile::open(const QString &path, Mode mode)
{
    close();
    DWORD access = GENERIC_READ;
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    DWORD disposition = OPEN_EXISTING;
    DWORD flags = FILE_ATTRIBUTE_NORMAL;
    QString name = path;
    switch (mode) {
    case Mode::Read:
        break;
    case Mode::ReadWrite:
    case Mode::Append:
        access |= GENERIC_WRITE;
        break;
    case Mode::AppendNoLink:
        access |= GENERIC_WRITE;
        flags |= FILE_FLAG_OPEN_REPARSE_POINT;   // the link itself, found out below
        break;
    case Mode::CreateAppend:
        access |= GENERIC_WRITE;
        disposition = CREATE_NEW;
        flags |= FILE_FLAG_OPEN_REPARSE_POINT;
        break;
    case Mode::Device:
        access |= GENERIC_WRITE;
        share = 0;
        if (!comPort(path).isEmpty())
            name = QStringLiteral("\\\\.\\") + comPort(path);
        break;
    }
    HANDLE h = CreateFileW(wide(name).c_str(), access, share, nullptr, disposition, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        m_error = int(GetLastError());
        return false;
    }
    if (mode == Mode::AppendNoLink) {
        BY_HANDLE_FILE_INFORMATION info {};
        const bool known = GetFileInformationByHandle(h, &info);
        if (!known || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            m_error = known ? int(ERROR_CANT_RESOLVE_FILENAME) : int(GetLastError());
            CloseHandle(h);
            return false;
        }
    }
    m_handle = reinterpret_cast<qintptr>(h);
    m_error = 0;
    m_append = mode == Mode::Append || mode == Mode::AppendNoLink || mode == Mode::CreateAppend;
    m_path = path;
    m_mode = mode;
    return true;
}

void NativeFile::close()
{
    if (m_lockHandle != Invalid) {
        unlock();
        CloseHandle(handleOf(m_lockHandle));
        m_lockHandle = Invalid;
    }
    if (m_handle == Invalid)
        return;
    CloseHandle(handleOf(m_handle));
    m_handle = Invalid;
    m_exclusive = false;
    m_append = false;
}

FileStat NativeFile::stat()
{
    FileStat st = fromHandle(handleOf(m_handle));
    if (!st.ok)
        m_error = st.error;
    return st;
}

qint64 NativeFile::read(char *data, qint64 size)
{
    DWORD got = 0;
    if (ReadFile(handleOf(m_handle), data, DWORD(qMin<qint64>(size, 1 << 30)), &got, nullptr))
        return qint64(got);
    const DWORD e = GetLastError();
    if (e == ERROR_HANDLE_EOF || e == ERROR_BROKEN_PIPE)
        return 0;
    m_error = int(e);
    return -1;
}

qint64 NativeFile::readAt(char *data, qint64 size, qint64 offset)
{
    OVERLAPPED ov {};
    ov.Offset = DWORD(quint64(offset) & 0xFFFFFFFFu);
    ov.OffsetHigh = DWORD(quint64(offset) >> 32);
    DWORD got = 0;
    if (ReadFile(handleOf(m_handle), data, DWORD(qMin<qint64>(size, 1 << 30)), &got, &ov))
        return qint64(got);
    const DWORD e = GetLastError();
    if (e == ERROR_HANDLE_EOF)
        return 0;
    m_error = int(e);
    return -1;
}

qint64 NativeFile::write(const char *data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        DWORD n = 0;
        OVERLAPPED ov {};
        // Offsets of all ones put every write at the end of the file, as it
        // is at the moment of the write.
        ov.Offset = 0xFFFFFFFFu;
        ov.OffsetHigh = 0xFFFFFFFFu;
        const DWORD chunk = DWORD(qMin<qint64>(size - done, 1 << 30));
        if (!WriteFile(handleOf(m_handle), data + done, chunk, &n, m_append ? &ov : nullptr) || n == 0) {
            m_error = int(GetLastError());
            break;
        }
        done += n;
    }
    return done;
}

bool NativeFile::sync()
{
    if (FlushFileBuffers(handleOf(m_handle)))
        return true;
    m_error = int(GetLastError());
    return false;
}

bool NativeFile::truncate(qint64 size)
{
    FILE_END_OF_FILE_INFO info {};
    info.EndOfFile.QuadPart = size;
    if (SetFileInformationByHandle(handleOf(m_handle), FileEndOfFileInfo, &info, sizeof info))
        return true;
    m_error = int(GetLastError());
    return false;
}

NativeFile::LockResult NativeFile::tryLock()
{
    if (m_path.isEmpty()) {
        m_error = int(ERROR_INVALID_HANDLE);
        return LockResult::Failed;
    }
    if (m_lockHandle == Invalid) {
        HANDLE h = CreateFileW(wide(m_path + QStringLiteral(".lock")).c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            m_error = int(GetLastError());
            return LockResult::Failed;
        }
        m_lockHandle = reinterpret_cast<qintptr>(h);
    }
    OVERLAPPED ov {};
    if (!LockFileEx(handleOf(m_lockHandle), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov)) {
        m_error = int(GetLastError());
        if (m_error != int(ERROR_LOCK_VIOLATION) && m_error != int(ERROR_IO_PENDING))
            return LockResult::Failed;
        // The holder may be about to put a new log in this one's place,
        // which an open handle here would stop.
        if (m_handle != Invalid) {
            CloseHandle(handleOf(m_handle));
            m_handle = Invalid;
        }
        return LockResult::Busy;
    }
    if (m_handle == Invalid) {
        // The log as it stands now; the one made by a create is there by now.
        const Mode mode = m_mode == Mode::CreateAppend ? Mode::AppendNoLink : m_mode;
        const qintptr lock = m_lockHandle;
        const QString path = m_path;
        m_lockHandle = Invalid;   // open() must not let the lock go
        const bool opened = open(path, mode);
        m_lockHandle = lock;
        if (!opened) {
            const int error = m_error;
            close();
            m_error = error;
            return LockResult::Failed;
        }
    }
    return LockResult::Locked;
}

void NativeFile::unlock()
{
    if (m_lockHandle == Invalid)
        return;
    OVERLAPPED ov {};
    UnlockFileEx(handleOf(m_lockHandle), 0, 1, 0, &ov);
}

void NativeFile::letGoKeepingLock()
{
    if (m_handle == Invalid)
        return;
    CloseHandle(handleOf(m_handle));
    m_handle = Invalid;
    m_append = false;
}

bool NativeFile::isTerminal()
{
    DCB dcb {};
    dcb.DCBlength = sizeof dcb;
    return GetCommState(handleOf(m_handle), &dcb) != 0;
}

bool NativeFile::setExclusive()
{
    // A device is opened without sharing: it is this program's alone from
    // the open on.
    m_exclusive = true;
    return true;
}

} // namespace Platform

void Platform::BinaryStandardInput()
{
    _setmode(_fileno(stdin), _O_BINARY);
}
