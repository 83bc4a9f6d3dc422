// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The few things this program asks of the operating system that Qt does not
// offer: a lock on a file that every program sees, opens that never wait on
// a pipe or a modem line, appends that land at the end whoever else writes,
// the identity of a file or device behind any of its names, and a serial
// device held by one program at a time.
//
// PlatformPosix.cpp implements it on Linux (and other POSIX systems),
// PlatformWin32.cpp on Windows; only one of them is built. No other file
// includes a system header.
//
// Errors are the system's own numbers (errno, GetLastError()); ErrorText()
// turns them into words and the Is...Error() functions sort them.

#include "base/PathCheck.h"

#include <QByteArray>
#include <QString>

class QProcess;

namespace Platform {

// What stat() (or its Windows equivalent) says about a name or an open file.
struct FileStat {
    bool ok = false;
    int error = 0;          // when !ok
    PathKind kind = PathKind::Missing;
    qint64 size = 0;
    // The file itself, whatever name it was reached by: two names with equal
    // identities are one file.
    QString identity;
    // The device a character or block device stands for ("188:0"); empty
    // for anything else.
    QString deviceNumber;
    uint owner = 0;
    uint group = 0;
    // Who may read, write and run it (the mode's permission bits); 0 where
    // the system has none (Windows: access lists).
    uint permissions = 0;
};

// StatPath follows links; LstatPath looks at a link itself (*isLink set, the
// kind then PathKind::Other).
FileStat StatPath(const QString &path);
FileStat LstatPath(const QString &path, bool *isLink = nullptr);
// The text of a symbolic link; empty when `path` is none.
QString ReadLink(const QString &path);
// The name with every link and "." / ".." resolved; empty with *error set
// when it cannot be (a part is missing or cannot be looked at).
QString RealPath(const QString &path, int *error = nullptr);

enum class Access { Read = 1, Write = 2, Search = 4 };
// True when this process (its effective ids) may read / write / search
// `path`; otherwise *error says why.
bool MayAccess(const QString &path, int access, int *error = nullptr);

// Gives the file `from` the name `to` in one step, putting it in the place
// of whatever has that name: a file, or a symbolic link itself (never the
// file the link leads to). Both names are in one folder (one file system).
bool RenameOver(const QString &from, const QString &to, int *error = nullptr);
// Removes the name `path` (a file, or a symbolic link itself).
bool RemoveName(const QString &path, int *error = nullptr);

// Makes `link` a second name of the file `target` (a hard link).
bool HardLink(const QString &target, const QString &link, int *error = nullptr);
// Gives `path` the owner and group of the file it replaces when this runs
// with the rights to (root); does nothing otherwise.
void KeepOwner(const QString &path, uint owner, uint group);
// Gives `path` the permissions (FileStat::permissions) of the file it
// replaces; does nothing where there are none.
void KeepPermissions(const QString &path, uint permissions);

QString ErrorText(int error);
bool IsMissingError(int error);      // no such file, or a folder on the way is none
bool IsNoEntryError(int error);      // no such name (nor, perhaps, its folder); not a
                                     // file standing where a folder should be
bool IsExistsError(int error);       // the name is taken already
bool IsPermissionError(int error);
bool IsBusyError(int error);         // a device held by another program
bool IsGoneError(int error);         // a device that is not there (unplugged)

// True while a process with this id runs (also one of another user's).
// Standard input read as bytes: Windows opens it as text, where a byte
// 0x1A ends the stream and CR LF becomes LF (samples piped in would be cut
// short or changed). Nothing to do elsewhere.
void BinaryStandardInput();

bool ProcessRuns(qint64 pid);

// Before `process` starts: it runs in a process group of its own, so that
// KillProcessTree() on its id ends whatever it starts as well, and (with
// `outputToStderr`) what it writes to its standard output goes where its
// standard error goes (with forwarded channels: this program's).
void OwnProcessGroup(QProcess &process, bool outputToStderr);
// Ends the process `pid` at once and every process it started that still
// runs (on POSIX: its process group, made by OwnProcessGroup); true when
// there was one to end.
bool KillProcessTree(qint64 pid);
// Children that must not outlive this program: when it is ended by a
// signal (SIGTERM, SIGINT, SIGHUP on POSIX) each process group kept here is
// ended first, then the program ends as the signal asks. Up to 64 at once;
// false when that many are kept already.
bool EndWithThisProgram(qint64 pid);
void NoLongerEndWithThisProgram(qint64 pid);

// A file opened through the system's own calls, closed when destroyed.
class NativeFile
{
public:
    enum class Mode {
        Read,           // reading; never waits for a pipe's writer or a modem's carrier
        ReadWrite,
        Append,         // reading and writing, every write at the end
        AppendNoLink,   // Append to a name that is no symbolic link: a link put in
                        // its place meanwhile is refused, not followed
        CreateAppend,   // a new file for Append: fails (IsExistsError) when the
                        // name is taken, also by a link, which is not followed
        Device,         // a serial device, read and write, never the controlling terminal
    };

    NativeFile() = default;
    ~NativeFile() { close(); }
    NativeFile(const NativeFile &) = delete;
    NativeFile &operator=(const NativeFile &) = delete;

    bool open(const QString &path, Mode mode);
    void close();
    bool isOpen() const { return m_handle != Invalid; }
    // The system's number of the last failure.
    int error() const { return m_error; }
    QString errorText() const { return ErrorText(m_error); }

    FileStat stat();
    // Reads up to `size` bytes at the current position / at `offset`;
    // 0 at the end, -1 on failure. Interruptions by signals are retried.
    qint64 read(char *data, qint64 size);
    qint64 readAt(char *data, qint64 size, qint64 offset);
    // Writes all `size` bytes or fails; returns how many were written.
    qint64 write(const char *data, qint64 size);
    bool sync();
    bool truncate(qint64 size);

    enum class LockResult { Locked, Busy, Failed };
    // An exclusive lock on the whole file, without waiting. It is the
    // system's: every program that asks for it sees it, and it goes when the
    // file is closed, also when the program ends by a crash.
    LockResult tryLock();
    void unlock();
    // Closes the file but keeps its lock until unlock() or close(). Windows
    // will not put a new file in the place of one that is open, even by the
    // program that replaces it; there the lock is held on a file of its own
    // beside this one ("<name>.lock"), so the log can be let go and replaced
    // while every other program that logs still waits. On POSIX the lock is
    // the file's own, a replace is allowed while it is open, and this does
    // nothing.
    void letGoKeepingLock();

    // For Mode::Device: true when it is a terminal (a serial line).
    bool isTerminal();
    // Keeps every later open of the terminal out (not root's on Linux);
    // undone by close(). False where the system has no such thing.
    bool setExclusive();

private:
    static constexpr qintptr Invalid = -1;
    qintptr m_handle = Invalid;
    int m_error = 0;
    bool m_exclusive = false;
    bool m_append = false;   // Windows: every write goes to the end
    // Windows: the lock's own file, and what reopens the file after a wait.
    qintptr m_lockHandle = Invalid;
    QString m_path;
    Mode m_mode = Mode::Read;
};

// Reads `path` whole when it is a regular file of at most `maxBytes`. It is
// opened without waiting and checked on the open file, so a pipe or a device
// put in its place after any earlier check is found out before a read; a
// file that grows past the limit while it is read is refused, not cut short.
struct ReadOutcome {
    enum Result { Ok, CannotOpen, NotRegular, TooLarge, CannotRead };
    Result result = Ok;
    int error = 0;                          // CannotOpen, CannotRead
    PathKind kind = PathKind::Regular;      // NotRegular: what it is
    qint64 size = 0;                        // TooLarge: at least this many bytes
};
ReadOutcome ReadRegularFile(const QString &path, qint64 maxBytes, QByteArray *data);

} // namespace Platform
