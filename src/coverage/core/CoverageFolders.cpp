// SPDX-License-Identifier: GPL-3.0-or-later
// Where an imported listing's files go: the user's data folder, switched in
// one rename under a lock, or a folder of the user's choosing, made whole
// beside it and renamed into place. What the program removes there is only
// what it made itself, as its record in the folder says, and never through
// a symbolic link.
#include "coverage/core/CoverageImport.h"

#include "base/Platform.h"
#include "base/SafeWrite.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

#include <filesystem>
#include <system_error>

namespace CoverageImport {

namespace {

namespace fs = std::filesystem;

fs::path pathOf(const QString &s)
{
    return fs::path(QFile::encodeName(s).toStdString());
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString randomTag()
{
    return QString::number(QRandomGenerator::global()->bounded(1u << 30), 36);
}

bool isLink(const QString &path)
{
    bool link = false;
    Platform::LstatPath(path, &link);
    return link;
}

// The folder a link names, read once (a link to a link is not followed),
// as a name inside `parent`; empty when it names anything else.
QString linkedName(const fs::path &link, const fs::path &parent)
{
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(link, ec)))
        return QString();
    fs::path to = fs::read_symlink(link, ec);
    if (ec)
        return QString();
    if (to.is_absolute()) {
        if (to.lexically_normal().parent_path() != parent.lexically_normal())
            return QString();
        to = to.filename();
    }
    if (to.has_parent_path() || to == "." || to == "..")
        return QString();
    return QFile::decodeName(QByteArray::fromStdString(to.string()));
}

// Removes an entry of `parent` and what is in it. A link is removed, never
// followed, at any depth, so nothing outside the data location is touched.
bool removeEntry(const fs::path &parent, const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QLatin1Char('/')))
        return false;
    std::error_code ec;
    fs::remove_all(parent / pathOf(name), ec);
    return !ec;
}

// The folder that holds the listing, and the data folder above it, must be
// folders of their own: through a link, a clean-up would remove entries of
// whatever folder it leads to. Empty when neither is a link.
QString linkOnTheWay(const QString &parent)
{
    const QFileInfo coverage(parent);
    for (const QString &p : {coverage.absoluteFilePath(), coverage.absolutePath()}) {
        if (isLink(p))
            return QStringLiteral("%1 is a symbolic link to %2; the listing is only written and cleaned up in a "
                                  "folder of its own, so nothing was changed")
                .arg(shown(p), shown(Platform::ReadLink(p)));
    }
    return QString();
}

// The entries the program made in the listing's folder, one name a line.
// What is not on it is the user's, and is left alone.
class MadeRecord
{
public:
    explicit MadeRecord(const QString &parent) : m_file(QDir(parent).filePath(MadeRecordName)) {}

    bool read(const QString &linkName, const QString &parent)
    {
        QByteArray text;
        if (QFileInfo::exists(m_file) || isLink(m_file)) {
            if (!ReadFileBounded(m_file, 1 << 20, &text, &m_why))
                return false;
            for (const QByteArray &line : text.split('\n'))
                if (!line.isEmpty())
                    m_names << QString::fromUtf8(line);
        } else {
            // Listings imported before the record was kept: the folder the
            // link names was made by the program, as its name shows.
            const QString inUse = linkedName(pathOf(QDir(parent).filePath(linkName)), pathOf(parent));
            if (inUse.startsWith(linkName + QLatin1Char('-')))
                m_names << inUse;
        }
        return true;
    }
    bool contains(const QString &name) const { return m_names.contains(name); }
    QStringList names() const { return m_names; }
    void add(const QString &name)
    {
        if (!m_names.contains(name))
            m_names << name;
    }
    void drop(const QString &name) { m_names.removeAll(name); }
    bool write()
    {
        return writeFileAtomically(m_file, m_names.join(QLatin1Char('\n')).toUtf8() + '\n', &m_why);
    }
    QString why() const { return m_why; }

private:
    QString m_file;
    QStringList m_names;
    QString m_why;
};

// Entries an import that was ended half-way left beside the link (a folder
// half written, a temporary link): every recorded one except what the link
// names now. Names no longer there leave the record as well.
void removeLeftovers(const fs::path &parent, const QString &linkName, MadeRecord &record)
{
    const QString inUse = linkedName(parent / pathOf(linkName), parent);
    for (const QString &name : record.names()) {
        if (name == inUse)
            continue;
        std::error_code ec;
        const bool there = fs::exists(fs::symlink_status(parent / pathOf(name), ec));
        if (!there || removeEntry(parent, name))
            record.drop(name);
    }
}

} // namespace

bool ImportLock::acquire(const QString &folder, int timeoutMs, QString *why)
{
    const QString path = QDir(folder).filePath(ImportLockName);
    // Made new, or opened as it is; a link in its place is never followed.
    if (!m_file.open(path, Platform::NativeFile::Mode::CreateAppend)) {
        if (!Platform::IsExistsError(m_file.error()) || !m_file.open(path, Platform::NativeFile::Mode::AppendNoLink)) {
            if (why)
                *why = QStringLiteral("the lock %1 cannot be opened (%2)").arg(shown(path), m_file.errorText());
            return false;
        }
    }
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        switch (m_file.tryLock()) {
        case Platform::NativeFile::LockResult::Locked:
            return true;
        case Platform::NativeFile::LockResult::Failed:
            if (why)
                *why = QStringLiteral("the lock %1 cannot be taken (%2)").arg(shown(path), m_file.errorText());
            m_file.close();
            return false;
        case Platform::NativeFile::LockResult::Busy:
            break;
        }
        if (waited.elapsed() >= timeoutMs) {
            if (why)
                *why = QStringLiteral("another import of the coverage listing is running; waited %1 s for it and "
                                      "gave up")
                           .arg(timeoutMs / 1000.0);
            m_file.close();
            return false;
        }
        // The system offers no lock with a time limit: look again shortly.
        QThread::msleep(50);
    }
}

bool writeInto(const Result &result, const QString &folder, QString *why)
{
    if (!QDir().mkpath(folder)) {
        if (why)
            *why = QStringLiteral("The folder %1 cannot be made.").arg(shown(folder));
        return false;
    }
    const QMap<QString, QByteArray> files = result.files();
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        if (!writeFileAtomically(QDir(folder).filePath(it.key()), it.value(), why))
            return false;
    }
    return true;
}

OutputResult writeOutputFolder(const Result &result, const QString &folder, bool replaceLink)
{
    OutputResult out;
    const QFileInfo info(QDir::cleanPath(folder));
    const QString parent = info.absolutePath();
    const QString name = info.fileName();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
        out.message = QStringLiteral("%1 names no folder to write; nothing was written").arg(shown(folder));
        return out;
    }
    const bool link = isLink(info.absoluteFilePath());
    if (link && !replaceLink) {
        out.message = QStringLiteral("%1 is a symbolic link to %2; nothing was written, and what it leads to is "
                                     "untouched (--force replaces the link itself)")
                          .arg(shown(folder), shown(Platform::ReadLink(info.absoluteFilePath())));
        return out;
    }
    if (!link && info.exists() && !info.isDir()) {
        out.message = QStringLiteral("%1 is not a folder; nothing was written").arg(shown(folder));
        return out;
    }
    if (!QDir().mkpath(parent)) {
        out.message = QStringLiteral("the folder %1 cannot be made; nothing was written").arg(shown(parent));
        return out;
    }
    // The folder is replaced whole, so it may hold a listing's files only:
    // anything else in it is the user's and is never removed.
    if (info.isDir() && !link) {
        const QMap<QString, QByteArray> names = result.files();
        QStringList others;
        for (const QString &entry :
             QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            if (!names.contains(entry))
                others << entry;
        }
        if (!others.isEmpty()) {
            out.message = QStringLiteral("%1 holds %2 besides a listing's files; nothing was written (name a new "
                                         "folder, or one that holds an imported listing only)")
                              .arg(shown(folder), others.size() == 1 ? QStringLiteral("\"%1\"").arg(others.first())
                                                                     : QStringLiteral("%1 other entries").arg(others.size()));
            return out;
        }
    }
    // Everything goes into a new folder beside it first; only a whole set
    // takes the name.
    const QString temp = QDir(parent).filePath(QStringLiteral(".%1.new-%2").arg(name, randomTag()));
    QString why;
    bool ok = QDir().mkdir(temp);
    if (!ok)
        why = QStringLiteral("the folder %1 cannot be made").arg(shown(temp));
    const QMap<QString, QByteArray> files = result.files();
    for (auto it = files.cbegin(); ok && it != files.cend(); ++it)
        ok = writeFileAtomically(QDir(temp).filePath(it.key()), it.value(), &why);
    if (!ok) {
        const bool removed = removeEntry(pathOf(parent), QFileInfo(temp).fileName());
        out.message = QStringLiteral("%1; %2, and %3 is as it was")
                          .arg(why,
                               removed ? QStringLiteral("the part written in %1 was removed").arg(shown(temp))
                                       : QStringLiteral("the part written is left in %1").arg(shown(temp)),
                               shown(folder));
        return out;
    }
    // The old folder steps aside, the new one takes its name, the old one
    // goes. A link at the name is replaced itself, never what it leads to.
    const QString old = QDir(parent).filePath(QStringLiteral(".%1.old-%2").arg(name, randomTag()));
    const bool hadOld = info.exists() || link;
    int error = 0;
    if (hadOld && !Platform::RenameOver(info.absoluteFilePath(), old, &error)) {
        removeEntry(pathOf(parent), QFileInfo(temp).fileName());
        out.message = QStringLiteral("%1 cannot be replaced (%2); the new files were removed, and %1 is as it was")
                          .arg(shown(folder), Platform::ErrorText(error));
        return out;
    }
    if (!Platform::RenameOver(temp, info.absoluteFilePath(), &error)) {
        if (hadOld)
            Platform::RenameOver(old, info.absoluteFilePath());
        removeEntry(pathOf(parent), QFileInfo(temp).fileName());
        out.message = QStringLiteral("%1 cannot take the new files (%2); they were removed, and %1 is as it was")
                          .arg(shown(folder), Platform::ErrorText(error));
        return out;
    }
    out.ok = true;
    if (hadOld && !removeEntry(pathOf(parent), QFileInfo(old).fileName()))
        out.message = QStringLiteral("%1 now holds the new listing's %2 files; the folder it replaced is left in %3")
                          .arg(shown(folder)).arg(files.size()).arg(shown(old));
    else
        out.message = QStringLiteral("%1 now holds the new listing's %2 files%3")
                          .arg(shown(folder)).arg(files.size())
                          .arg(hadOld ? QStringLiteral(", in place of what it held") : QString());
    return out;
}

bool replaceFolder(const Result &result, const QString &target, QString *why, int lockTimeoutMs)
{
    const QFileInfo link(target);
    const QString parent = link.absolutePath();
    auto fail = [&](const QString &text) {
        if (why)
            *why = text;
        return false;
    };
    QString linked = linkOnTheWay(parent);
    if (!linked.isEmpty())
        return fail(linked);
    if (!QDir().mkpath(parent))
        return fail(QStringLiteral("The folder %1 cannot be made.").arg(shown(parent)));
    // mkpath may have met a link put there meanwhile.
    linked = linkOnTheWay(parent);
    if (!linked.isEmpty())
        return fail(linked);
    ImportLock lock;
    if (!lock.acquire(parent, lockTimeoutMs, why))
        return false;

    MadeRecord record(parent);
    if (!record.read(link.fileName(), parent))
        return fail(record.why());
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"))
                          + QLatin1Char('-') + randomTag();
    const QString newName = link.fileName() + QLatin1Char('-') + stamp;
    const QString newDir = QDir(parent).filePath(newName);
    const QString tempName = QStringLiteral(".") + newName + QStringLiteral(".link");
    removeLeftovers(pathOf(parent), link.fileName(), record);
    // On the record before they exist: an import ended in between leaves
    // nothing the next one would not know as its own.
    record.add(newName);
    record.add(tempName);
    if (!record.write())
        return fail(record.why());
    if (!QDir().mkdir(newDir) || !writeInto(result, newDir, why)) {
        if (why && why->isEmpty())
            *why = QStringLiteral("The folder %1 cannot be made.").arg(shown(newDir));
        removeEntry(pathOf(parent), newName);
        record.drop(newName);
        record.drop(tempName);
        record.write();
        return false;
    }
    // What the name stands for now, to remove once it stands for the new one.
    const QString before = linkedName(pathOf(link.absoluteFilePath()), pathOf(parent));
    std::error_code ec;
    const fs::path linkPath = pathOf(link.absoluteFilePath());
    const fs::path tempLink = pathOf(QDir(parent).filePath(tempName));
    fs::create_directory_symlink(pathOf(newName), tempLink, ec);
    QString movedAside;
    if (!ec && link.exists() && !link.isSymLink()) {
        // A real folder of that name (made by hand): moved aside and kept.
        movedAside = QDir(parent).filePath(link.fileName() + QStringLiteral("-old-") + stamp);
        fs::rename(linkPath, pathOf(movedAside), ec);
    }
    if (!ec)
        fs::rename(tempLink, linkPath, ec);   // the one step that switches the listing
    if (ec) {
        const QString reason = QString::fromLocal8Bit(ec.message().c_str());
        fs::remove(tempLink, ec);
        if (!movedAside.isEmpty())
            fs::rename(pathOf(movedAside), linkPath, ec);
        removeEntry(pathOf(parent), newName);
        record.drop(newName);
        record.drop(tempName);
        record.write();
        return fail(QStringLiteral("%1 cannot be replaced: %2.").arg(shown(target), reason));
    }
    record.drop(tempName);
    // The previous listing, when the program made it.
    if (before != newName && record.contains(before) && removeEntry(pathOf(parent), before))
        record.drop(before);
    record.write();
    return true;
}

bool removeFolder(const QString &target, QString *why, int lockTimeoutMs)
{
    const QFileInfo link(target);
    const QString parent = link.absolutePath();
    auto fail = [&](const QString &text) {
        if (why)
            *why = text;
        return false;
    };
    const QString linked = linkOnTheWay(parent);
    if (!linked.isEmpty())
        return fail(linked);
    if (!QFileInfo::exists(parent))
        return true;
    ImportLock lock;
    if (!lock.acquire(parent, lockTimeoutMs, why))
        return false;
    MadeRecord record(parent);
    if (!record.read(link.fileName(), parent))
        return fail(record.why());
    const fs::path parentPath = pathOf(parent);
    if (link.isSymLink()) {
        const QString before = linkedName(pathOf(link.absoluteFilePath()), parentPath);
        // The link is the program's; removing it undoes the import at once.
        if (!QFile::remove(link.absoluteFilePath()))
            return fail(QStringLiteral("%1 cannot be removed.").arg(shown(target)));
        if (record.contains(before) && removeEntry(parentPath, before))
            record.drop(before);
    } else if (link.exists()) {
        if (!record.contains(link.fileName()))
            return fail(QStringLiteral("%1 was not made by an import, so it is left as it is; move it away to use "
                                       "the shipped listing")
                            .arg(shown(target)));
        if (!removeEntry(parentPath, link.fileName()))
            return fail(QStringLiteral("%1 cannot be removed.").arg(shown(target)));
        record.drop(link.fileName());
    }
    removeLeftovers(parentPath, link.fileName(), record);
    record.write();
    return true;
}

} // namespace CoverageImport
