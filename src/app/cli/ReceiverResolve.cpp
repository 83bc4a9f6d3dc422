// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/cli/ReceiverResolve.h"

#include "app/cli/CliCommands.h"

#include "base/Services.h"
#include "config/core/ReceiverTimeZone.h"
#include "config/core/SettingsStore.h"
#include "coverage/core/SetupCheck.h"
#include "history/core/AlertStore.h"
#include "link/core/Fleet.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <QTimeZone>

QString CliReceiver::option() const
{
    return isEditors() ? QString() : QStringLiteral(" --receiver ") + name;
}

QString CliReceiver::described(const Services &services) const
{
    if (!place.isEditors())
        return QStringLiteral("receiver %1: profile %2").arg(name, QDir::toNativeSeparators(place.profile));
    const QString settings = QDir::toNativeSeparators(SettingsStoreFile(services));
    const QString dat = shownCliPath(services.parameterFilePath);
    if (isEditors())
        return QStringLiteral("the editor's setup: settings %1, parameter file %2").arg(settings, dat);
    // A fleet line without a profile is sent the editor's setup.
    return QStringLiteral("receiver %1 (its fleet line names no profile), the editor's setup: settings %2, "
                          "parameter file %3")
        .arg(name, settings, dat);
}

int takeReceiverOptions(const QString &command, QStringList &args, QString *receiver, QString *fleet,
                        QTextStream &err)
{
    QStringList rest;
    bool receiverGiven = false;
    bool fleetGiven = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--")) {
            rest += args.mid(i);
            break;
        }
        QString name = a;
        QString value;
        bool hasValue = false;
        if (a.startsWith(QLatin1String("--")) && a.contains(QLatin1Char('='))) {
            name = a.section(QLatin1Char('='), 0, 0);
            value = a.section(QLatin1Char('='), 1);
            hasValue = true;
        }
        const bool isReceiver = name == QLatin1String("--receiver");
        const bool isFleet = fleet && name == QLatin1String("--fleet");
        if (!isReceiver && !isFleet) {
            rest << a;
            continue;
        }
        if (!hasValue) {
            if (i + 1 >= args.size()) {
                err << command << ": " << name << " needs a value\n";
                return 2;
            }
            value = args.at(++i);
        }
        bool &given = isReceiver ? receiverGiven : fleetGiven;
        if (given) {
            err << command << ": " << name << " is given twice\n";
            return 2;
        }
        given = true;
        if (value.isEmpty()) {
            err << command << ": " << name << " needs a value\n";
            return 2;
        }
        *(isReceiver ? receiver : fleet) = value;
    }
    args = rest;
    return -1;
}

namespace {

bool readFleet(const Services &services, const QString &given, QList<FleetReceiver> *fleet, QString *file,
               QString *why)
{
    *file = given.isEmpty() ? StoredFleetFile(services) : given;
    if (file->isEmpty()) {
        if (why)
            *why = QStringLiteral("no fleet file names the receivers: give --fleet FILE (NAME DEVICE [PROFILE] a "
                                  "line), or open one in the editor's File > Open Receiver...");
        return false;
    }
    return ReadFleetFile(*file, fleet, why);
}

CliReceiver fromFleet(const FleetReceiver &r, const QString &file)
{
    CliReceiver c;
    c.name = r.name;
    c.device = r.device;
    c.place.profile = r.profile;
    c.fleetFile = file;
    c.zone = receiverZone(r.name, QString());
    return c;
}

} // namespace

bool resolveReceiver(const Services &services, const QString &name, const QString &fleet, CliReceiver *receiver,
                     QString *why)
{
    QList<FleetReceiver> all, chosen;
    QString file;
    if (!readFleet(services, fleet, &all, &file, why) || !SelectFleetReceivers(all, {name}, &chosen, why))
        return false;
    *receiver = fromFleet(chosen.first(), file);
    return true;
}

bool resolveFleet(const Services &services, const QString &fleet, QList<CliReceiver> *receivers, QString *why)
{
    QList<FleetReceiver> all;
    QString file;
    if (!readFleet(services, fleet, &all, &file, why))
        return false;
    for (const FleetReceiver &r : std::as_const(all))
        receivers->append(fromFleet(r, file));
    return true;
}

CliReceiver editorsReceiver(const Services &)
{
    CliReceiver c;
    c.zone = receiverZone(QString(), QString());
    return c;
}

QString storedReceiverZone(const QString &name)
{
    // The zone a transfer or a monitor stored with the receiver in the
    // alert record. Only asked, never made: a missing or unreadable record
    // leaves the choice to the receiver's setup or the computer.
    if (name.isEmpty())
        return QString();
    const QString file = AlertStore::DefaultPath();
    if (file.isEmpty() || !QFileInfo(file).isFile())
        return QString();
    AlertStore store;
    if (!store.open(file, /*create*/ false, nullptr))
        return QString();
    const std::optional<StoredReceiver> r = store.receiver(name);
    if (!r || r->zone.isEmpty() || !ReceiverTimeZone::isKnown(r->zone))
        return QString();
    return r->zone;
}

QString receiverZone(const QString &name, const QString &setupZone)
{
    if (const QString stored = storedReceiverZone(name); !stored.isEmpty())
        return stored;
    if (!setupZone.isEmpty())
        return setupZone;
    return QString::fromUtf8(QTimeZone::systemTimeZoneId());
}

bool loadCliReceiverSetup(Services &services, CliReceiver &receiver, ReceiverSetup &setup, const QString &command,
                          QTextStream &err)
{
    QString why;
    switch (LoadReceiverSetup(services, receiver.place, setup, &why)) {
    case SetupLoadResult::Loaded:
        receiver.zone = receiverZone(receiver.name, setup.config.TimeZoneName);
        return true;
    case SetupLoadResult::ParameterFileUnreadable:
        err << command << ": " << missingParameterFileText(services.parameterFilePath) << '\n';
        return false;
    case SetupLoadResult::StoreUnusable:
    case SetupLoadResult::ProfileRefused:
        break;
    }
    err << command << ": " << (receiver.isEditors() ? QString() : receiver.name + QStringLiteral(": ")) << why
        << '\n';
    return false;
}

QStringList fixCommands(const SetupCheck::Report &report, const CliReceiver &receiver)
{
    const QString cli = QStringLiteral("nx4400c-cli ");
    const QString option = receiver.option();
    QStringList fixes;
    bool transmitterFixed = false;
    QStringList counties, events;
    for (const SetupCheck::Finding &f : report.findings) {
        switch (f.kind) {
        case SetupCheck::Kind::TransmitterGone:
        case SetupCheck::Kind::TransmitterOutOfService:
            transmitterFixed = true;
            break;
        case SetupCheck::Kind::CountyNotCovered:
        case SetupCheck::Kind::CountyUnknown:
            counties << f.subject;
            break;
        case SetupCheck::Kind::EventUnknown:
            events << f.subject;
            break;
        default:
            break;
        }
    }
    if (transmitterFixed) {
        // The best replacement, when the listing has one; a new transmitter
        // brings its own county list, so nothing more is said of counties.
        const QString callsign = report.suggestions.isEmpty() ? QStringLiteral("CALLSIGN")
                                                              : report.suggestions.first().callsign;
        fixes << cli + QStringLiteral("setup transmitter") + option + QLatin1Char(' ') + callsign;
    } else if (!counties.isEmpty()) {
        fixes << cli + QStringLiteral("setup counties remove") + option + QLatin1Char(' ')
                     + counties.join(QLatin1Char(' '));
    }
    if (!events.isEmpty())
        fixes << cli + QStringLiteral("setup events remove") + option + QLatin1Char(' ') + events.join(QLatin1Char(' '));
    return fixes;
}

CliOption receiverCliOption(const QString &help)
{
    return {QStringLiteral("--receiver"), QStringLiteral("NAME"),
            help + QStringLiteral(" NAME is looked up in the fleet file (--fleet FILE, else the one the editor's "
                                  "File > Open Receiver... chose)."),
            false, QStringLiteral("none")};
}

CliOption fleetCliOption(const QString &help)
{
    return {QStringLiteral("--fleet"), QStringLiteral("FILE"),
            help.isEmpty() ? QStringLiteral("The fleet file in which --receiver is looked up (NAME DEVICE [PROFILE] "
                                            "a line).")
                           : help,
            false, QStringLiteral("file")};
}
