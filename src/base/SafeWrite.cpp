// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/SafeWrite.h"

#include "base/PathCheck.h"
#include "base/Platform.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

namespace {

bool fail(QString *errorText, const QString &text)
{
    if (errorText)
        *errorText = text;
    return false;
}

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

bool isSymbolicLink(const QString &path)
{
    bool link = false;
    Platform::LstatPath(path, &link);
    return link;
}

bool writeFileAtomically(const QString &path, const QByteArray &data, QString *errorText, LinkAtName policy)
{
    const bool link = !path.isEmpty() && isSymbolicLink(path);
    if (link && policy == LinkAtName::Refuse)
        return fail(errorText, QStringLiteral("%1 is a symbolic link to %2; nothing was written, and the file it "
                                              "leads to is untouched")
                                   .arg(shown(path), shown(Platform::ReadLink(path))));
    // The new file is renamed over the name: a device, a pipe or a folder
    // there would be replaced by a plain file (or the rename would fail
    // half-way), so only a missing or regular file is replaced. A link that
    // is replaced itself may lead anywhere.
    if (!(link && policy == LinkAtName::Replace) && !CheckReplaceableFile(path, errorText))
        return false;
    QString target = path;
    if (link && policy == LinkAtName::Follow) {
        target = Platform::RealPath(path);
        if (target.isEmpty())
            return fail(errorText, QStringLiteral("%1 leads nowhere; nothing was written").arg(shown(path)));
    }
    // A file we may not write is not replaced behind its owner's back, even
    // where the folder would let us.
    int denied = 0;
    if (!(link && policy == LinkAtName::Replace) && QFileInfo::exists(target)
        && !Platform::MayAccess(target, int(Platform::Access::Write), &denied))
        return fail(errorText, QStringLiteral("%1 cannot be written (%2)").arg(shown(path), Platform::ErrorText(denied)));
    const Platform::FileStat before = isSymbolicLink(target) ? Platform::FileStat() : Platform::StatPath(target);

    // The new text goes into a file of its own beside the old one, made
    // new (never a name someone put there first), written, flushed to the
    // disk and only then renamed over the name.
    const QFileInfo info(target);
    const QString folder = info.absolutePath();
    Platform::NativeFile out;
    QString temp;
    int error = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = QDir(folder).filePath(QStringLiteral(".%1.%2.new").arg(info.fileName())
                                         .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        if (out.open(temp, Platform::NativeFile::Mode::CreateAppend))
            break;
        error = out.error();
        temp.clear();
        if (!Platform::IsExistsError(error))
            break;
    }
    const QString untouched = before.ok ? QStringLiteral("; the file there before is untouched") : QString();
    if (temp.isEmpty())
        return fail(errorText, QStringLiteral("%1 cannot be written (%2)%3")
                                   .arg(shown(path), Platform::ErrorText(error), untouched));
    bool ok = out.write(data.constData(), data.size()) == data.size() && out.sync();
    error = out.error();
    out.close();
    if (ok && before.ok) {
        Platform::KeepOwner(temp, before.owner, before.group);
        Platform::KeepPermissions(temp, before.permissions);
    }
    if (ok) {
        ok = Platform::RenameOver(temp, target, &error);
    }
    if (!ok) {
        Platform::RemoveName(temp);
        return fail(errorText, QStringLiteral("%1 cannot be written (%2)%3")
                                   .arg(shown(path), Platform::ErrorText(error), untouched));
    }
    return true;
}
