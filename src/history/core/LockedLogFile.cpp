// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/LockedLogFile.h"

#include "base/SafeWrite.h"

#include <QDeadlineTimer>
#include <QThread>

#include <algorithm>

using Platform::NativeFile;

namespace {

QString sysError(int err)
{
    return Platform::ErrorText(err);
}

bool fail(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return false;
}

} // namespace

// The system's lock has neither a time limit nor a notice when it is freed:
// the wait tries again at growing intervals until the deadline.
bool LockLogFile(NativeFile &file, int timeoutMs, QString *why)
{
    QDeadlineTimer deadline(timeoutMs);
    int pause = 5;
    for (;;) {
        switch (file.tryLock()) {
        case NativeFile::LockResult::Locked:
            return true;
        case NativeFile::LockResult::Failed:
            return fail(why, QStringLiteral("cannot be locked: %1").arg(file.errorText()));
        case NativeFile::LockResult::Busy:
            break;
        }
        if (deadline.hasExpired())
            return fail(why, QStringLiteral("another program has held it locked for %1 s; nothing was written")
                                 .arg(timeoutMs / 1000.0));
        QThread::msleep(std::min<qint64>(pause, std::max<qint64>(1, deadline.remainingTime())));
        pause = std::min(pause * 2, 200);
    }
}

LockedLogFile::~LockedLogFile()
{
    close();
}

void LockedLogFile::close()
{
    if (m_file.isOpen())
        m_file.unlock();
    m_file.close();
}

bool LockedLogFile::open(const QString &fileName, bool create, int timeoutMs, QString *why)
{
    close();
    m_name = fileName;
    for (int attempt = 0; attempt < 5; ++attempt) {
        NativeFile::Mode mode = NativeFile::Mode::AppendNoLink;
        bool isLink = false;
        const Platform::FileStat lst = Platform::LstatPath(fileName, &isLink);
        if (!lst.ok) {
            if (!Platform::IsNoEntryError(lst.error) || !create)
                return fail(why, Platform::IsNoEntryError(lst.error) ? QStringLiteral("does not exist")
                                                                     : sysError(lst.error));
            mode = NativeFile::Mode::CreateAppend;
        } else if (isLink) {
            // A link the user made on purpose is followed; a dangling one is not.
            if (!Platform::StatPath(fileName).ok)
                return fail(why, QStringLiteral("is a link to a file that does not exist"));
            mode = NativeFile::Mode::Append;
        }
        if (!m_file.open(fileName, mode)) {
            if (Platform::IsExistsError(m_file.error()))
                continue;   // another program made it just now
            return fail(why, QStringLiteral("cannot be opened: %1").arg(m_file.errorText()));
        }
        const Platform::FileStat st = m_file.stat();
        if (!st.ok || st.kind != PathKind::Regular) {
            m_file.close();
            return fail(why, QStringLiteral("is not a regular file; nothing was written"));
        }
        if (!LockLogFile(m_file, timeoutMs, why)) {
            m_file.close();
            return false;
        }
        // A rename may have put a new file in its place while we waited.
        const Platform::FileStat now = Platform::StatPath(fileName);
        if (now.ok && now.identity == st.identity)
            return true;
        close();
    }
    return fail(why, QStringLiteral("kept being replaced while it was opened"));
}

bool LockedLogFile::readAll(QByteArray *data, QString *why) const
{
    const Platform::FileStat st = m_file.isOpen() ? m_file.stat() : Platform::FileStat();
    if (!st.ok)
        return fail(why, QStringLiteral("cannot be read"));
    data->resize(qsizetype(st.size));
    qint64 done = 0;
    while (done < st.size) {
        const qint64 n = m_file.readAt(data->data() + done, st.size - done, done);
        if (n <= 0)
            return fail(why, QStringLiteral("cannot be read: %1").arg(n < 0 ? m_file.errorText() : QStringLiteral("it shrank")));
        done += n;
    }
    return true;
}

bool LockedLogFile::append(const QByteArray &bytes, QString *why)
{
    if (m_file.write(bytes.constData(), bytes.size()) != bytes.size())
        return fail(why, QStringLiteral("cannot be written: %1").arg(m_file.errorText()));
    if (!m_file.sync())
        return fail(why, QStringLiteral("cannot be written: %1").arg(m_file.errorText()));
    return true;
}

bool LockedLogFile::replace(const QByteArray &data, QString *why)
{
    const Platform::FileStat st = m_file.isOpen() ? m_file.stat() : Platform::FileStat();
    if (!st.ok)
        return fail(why, QStringLiteral("cannot be replaced"));
    QString reason;
    // Windows renames nothing over an open file; the lock stays held.
    m_file.letGoKeepingLock();
    if (!writeFileAtomically(m_name, data, &reason))
        return fail(why, reason);
    // The next program that appends must still be allowed to.
    Platform::KeepOwner(m_name, st.owner, st.group);
    Platform::KeepPermissions(m_name, st.permissions);
    return true;
}
