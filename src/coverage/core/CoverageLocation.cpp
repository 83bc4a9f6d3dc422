// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/core/CoverageLocation.h"

#include "coverage/core/StateDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace CoverageLocation {

namespace {

bool complete(const QString &folder, QString *missing = nullptr)
{
    for (int id = 0; id < StateDatabase::StateCount; ++id) {
        const QString name = StateDatabase::GetStateFileName(id);
        // A file the state database would refuse to read (too large, not
        // readable) counts as missing: the shipped set is used instead.
        const QFileInfo fi(QDir(folder).filePath(name));
        if (!fi.isFile() || !fi.isReadable() || fi.size() > StateDatabase::MaxFileSize) {
            if (missing)
                *missing = name;
            return false;
        }
    }
    return true;
}

} // namespace

QString shippedFolder(const QString &programFolder)
{
    for (const QString &candidate : {programFolder + QStringLiteral("/States"),
                                     programFolder + QStringLiteral("/../share/nx4400c/States")}) {
        if (QDir(candidate).exists())
            return QDir(candidate).canonicalPath();
    }
    return programFolder + QStringLiteral("/States");
}

QString defaultDataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString overrideFolder(const QString &dataFolder)
{
    const QString root = dataFolder.isEmpty() ? defaultDataFolder() : dataFolder;
    return root.isEmpty() ? QString() : QDir(root).filePath(QStringLiteral("coverage/States"));
}

QString activeFolder(const QString &shipped, const QString &dataFolder)
{
    const QString mine = overrideFolder(dataFolder);
    return !mine.isEmpty() && complete(mine) ? mine : shipped;
}

QString InUse::describe() const
{
    QString what = QStringLiteral("NOAA county coverage listing");
    if (!info.name.isEmpty())
        what += QStringLiteral(" ") + info.name;
    if (!info.date.isEmpty())
        what += QStringLiteral(" of ") + info.date;
    if (info.rows > 0)
        what += QStringLiteral(", %1 rows").arg(info.rows);
    if (imported)
        what += info.imported.isEmpty() ? QStringLiteral(" (imported)")
                                        : QStringLiteral(" (imported %1)").arg(info.imported.left(10));
    else if (info.name.isEmpty())
        what = QStringLiteral("NOAA county coverage listing of August 2018 (shipped)");
    else
        what += QStringLiteral(" (shipped)");
    return what;
}

InUse inUse(const QString &active, const QString &shipped, const QString &dataFolder)
{
    InUse u;
    u.folder = active;
    const QString mine = overrideFolder(dataFolder);
    u.imported = !mine.isEmpty() && QFileInfo(active).absoluteFilePath() == QFileInfo(mine).absoluteFilePath()
                 && QFileInfo(active).absoluteFilePath() != QFileInfo(shipped).absoluteFilePath();
    QString missing;
    if (!u.imported && !mine.isEmpty() && QFileInfo(mine).exists() && !complete(mine, &missing))
        u.problem = QStringLiteral("The imported listing in %1 lacks %2; the shipped listing is used.")
                        .arg(QDir::toNativeSeparators(mine), missing);
    QFile f(QDir(active).filePath(CoverageImport::InfoFileName));
    if (QFileInfo(f.fileName()).isFile() && f.open(QIODevice::ReadOnly))
        u.info = CoverageImport::ListingInfo::parse(f.read(64 * 1024));
    return u;
}

} // namespace CoverageLocation
