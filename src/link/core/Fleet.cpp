// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/Fleet.h"

#include "base/PathCheck.h"
#include "base/Services.h"
#include "link/core/DeviceName.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

namespace {

// A fleet of a few hundred receivers is a few tens of KiB.
constexpr qint64 MaxFleetFileBytes = 1024 * 1024;

bool fail(QString *why, const QString &text)
{
    if (why)
        *why = text;
    return false;
}

} // namespace

QString StripListComment(QString line)
{
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    // "#" begins a comment at the start of the line or of a field: a device
    // server's address or a path may hold "#" inside a word.
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line.at(i) == QLatin1Char('#') && (i == 0 || line.at(i - 1).isSpace())) {
            line.truncate(i);
            break;
        }
    }
    return line.trimmed();
}

bool IsAcceptableReceiverName(const QString &name, QString *why)
{
    if (name.isEmpty())
        return fail(why, QStringLiteral("the receiver's name is empty"));
    if (name.size() > MaxReceiverNameLength)
        return fail(why, QStringLiteral("the receiver's name is longer than %1 characters").arg(MaxReceiverNameLength));
    if (name.startsWith(QLatin1Char('#')))
        return fail(why, QStringLiteral("a receiver's name cannot start with #"));
    for (const QChar c : name) {
        if (c.isSpace() || !c.isPrint() || c == QChar::ReplacementCharacter || c.isSurrogate())
            return fail(why, QStringLiteral("the receiver's name \"%1\" holds a blank or a character that is not "
                                            "printable")
                                 .arg(name));
    }
    return true;
}

bool ReadFleetFile(const QString &path, QList<FleetReceiver> *receivers, QString *why)
{
    QByteArray data;
    if (!CheckReadableFile(path, why, MaxFleetFileBytes) || !ReadFileBounded(path, MaxFleetFileBytes, &data, why))
        return false;
    const QString file = QDir::toNativeSeparators(path);
    const QDir folder = QFileInfo(path).absoluteDir();
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QStringList lines = QString::fromUtf8(data).split(QLatin1Char('\n'));
    QList<FleetReceiver> found;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString text = StripListComment(lines.at(i));
        if (text.isEmpty())
            continue;
        const int lineNo = int(i + 1);
        auto refuse = [&](const QString &reason) { return fail(why, QStringLiteral("%1: line %2: %3").arg(file).arg(lineNo).arg(reason)); };
        const QStringList f = text.split(blanks, Qt::SkipEmptyParts);
        if (f.size() < 2 || f.size() > 3)
            return refuse(QStringLiteral("a line is NAME DEVICE [PROFILE], not \"%1\"").arg(text));
        FleetReceiver r;
        r.name = f.at(0);
        r.device = f.at(1);
        r.line = lineNo;
        QString reason;
        if (!IsAcceptableReceiverName(r.name, &reason))
            return refuse(reason);
        if (!IsAcceptableDeviceName(r.device, &reason))
            return refuse(QStringLiteral("%1: %2").arg(r.device, reason));
        for (const FleetReceiver &earlier : std::as_const(found)) {
            if (earlier.name == r.name)
                return refuse(QStringLiteral("the name %1 is given on line %2 already").arg(r.name).arg(earlier.line));
            if (earlier.device == r.device)
                return refuse(QStringLiteral("%1 is %2's device on line %3 already")
                                  .arg(r.device, earlier.name)
                                  .arg(earlier.line));
        }
        if (f.size() == 3) {
            r.profile = QDir::cleanPath(folder.absoluteFilePath(f.at(2)));
            if (!CheckReadableFile(r.profile, &reason))
                return refuse(QStringLiteral("profile %1").arg(reason));
        }
        found << r;
    }
    if (found.isEmpty())
        return fail(why, QStringLiteral("%1 names no receiver").arg(file));
    receivers->append(found);
    return true;
}

bool SelectFleetReceivers(const QList<FleetReceiver> &fleet, const QStringList &only, QList<FleetReceiver> *chosen,
                          QString *why)
{
    QStringList names;
    for (const FleetReceiver &r : fleet)
        names << r.name;
    for (const QString &n : only) {
        if (!names.contains(n))
            return fail(why, QStringLiteral("the fleet has no receiver named %1 (it has %2)").arg(n, names.join(QLatin1String(", "))));
    }
    for (const FleetReceiver &r : fleet) {
        if (only.isEmpty() || only.contains(r.name))
            chosen->append(r);
    }
    return true;
}

QString StoredFleetFile(const Services &services)
{
    if (!services.settingsProblem().isEmpty())
        return QString();
    auto settings = services.openSettings();
    return settings->value(QStringLiteral("Fleet/File")).toString().trimmed();
}

bool StoreFleetFile(const Services &services, const QString &path, QString *why)
{
    if (const QString problem = services.settingsProblem(); !problem.isEmpty())
        return fail(why, problem);
    auto settings = services.openSettings();
    if (path.isEmpty())
        settings->remove(QStringLiteral("Fleet/File"));
    else
        settings->setValue(QStringLiteral("Fleet/File"), QFileInfo(path).absoluteFilePath());
    settings->sync();
    if (settings->status() == QSettings::NoError && settings->isWritable())
        return true;
    return fail(why, QStringLiteral("the settings store %1 could not be written").arg(services.settingsFile()));
}
