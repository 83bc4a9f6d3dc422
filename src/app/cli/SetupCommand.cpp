// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli setup transmitter [--state S] CALLSIGN|LOCATION
// nx4400c-cli setup counties list | add CODE... | remove CODE...
// nx4400c-cli setup events list | add CODE... | remove CODE...
// nx4400c-cli setup choices state|callsign|county|event
//
// The transmitter, county and event windows without the windows, with their
// rules: the transmitter is picked from the state's transmitter list and
// brings its counties, unselected; at most 24 counties are selected, and
// more are refused with the county window's message; event codes are stored
// in catalogue order. What is written (settings and NX_4400C.DAT) is what
// the windows write for the same choices.
#include "app/cli/CliCommand.h"
#include "app/cli/CliCommands.h"
#include "app/cli/ReceiverResolve.h"

#include "app/AppContext.h"
#include "base/Messages.h"
#include "base/SafeWrite.h"
#include "base/UnattendedPrompter.h"
#include "config/core/ParameterFile.h"
#include "config/core/SettingsStore.h"
#include "coverage/core/CountyEntries.h"
#include "coverage/core/CoverageImport.h"
#include "coverage/core/SetupChoice.h"
#include "coverage/core/StateDatabase.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QTextStream>

namespace {

struct Io {
    QTextStream out{stdout};
    QTextStream err{stderr};
};

// Reads the receiver's setup (its profile, or the editor's settings and
// NX_4400C.DAT), as every setup command changes them, and says first which
// setup that is: an edit of the shared settings store reaches every folder.
bool load(AppContext &ctx, Io &io, const QString &command, CliReceiver &receiver, bool firstLineToOut)
{
    (firstLineToOut ? io.out : io.err) << receiver.described(ctx) << '\n';
    InitEventCatalog(ctx.catalog);
    if (!loadCliReceiverSetup(ctx, receiver, ctx, command, io.err)) {
        io.err << command << ": nothing was changed\n";
        return false;
    }
    return true;
}

// Writes the setup back where it was read from; the editor's parameter file
// is put back when the settings cannot be written, so that a failure leaves
// both as they were. A profile is one file, replaced in one step.
bool save(AppContext &ctx, Io &io, const QString &command, const CliReceiver &receiver, bool settingsToo)
{
    QString why;
    if (!SaveReceiverSetup(ctx, receiver.place, ctx, settingsToo, &why)) {
        io.err << command << ": " << why << "; nothing was changed\n";
        return false;
    }
    return true;
}

// "list", or "add" or "remove" with codes, then the setup read. -1 to go
// on, otherwise the exit code.
int begin(const QStringList &args, Io &io, const QString &command, AppContext &ctx, CliReceiver &receiver)
{
    const QString verb = args.value(0);
    const bool list = verb == QLatin1String("list") && args.size() == 1;
    const bool change = (verb == QLatin1String("add") || verb == QLatin1String("remove")) && args.size() > 1;
    if (!list && !change) {
        io.err << "usage: nx4400c-cli " << command << " [--receiver NAME] list | add CODE... | remove CODE...\n";
        return 2;
    }
    return load(ctx, io, command, receiver, !list) ? -1 : 1;
}

QString entryLine(const CountyEntries::Item &item)
{
    return (item.checked ? QStringLiteral("X ") : QStringLiteral("  ")) + item.text;
}

// The state whose transmitter list to take a call sign from when the stored
// state's list lacks it: the one list that has it, or, as a transmitter is
// listed in every state it covers, the list of the state it stands in. -1
// when no list has it; *list gets the chosen state's list.
int stateWithTransmitter(const QString &folder, const QString &callsign, QStringList *list)
{
    static const QRegularExpression sign(QStringLiteral("^[A-Z]{1,3}[0-9A-Z]{2,4}$"));
    if (!sign.match(callsign.toUpper()).hasMatch())
        return -1;
    UnattendedPrompter quiet([](const QString &) {});
    QMap<int, QStringList> having;
    QString field;
    for (int id = 0; id < StateDatabase::stateList().size(); ++id) {
        QStringList candidates;
        SetupChoice::transmitterList(quiet, folder, 0, id, &candidates);
        for (const QString &f : std::as_const(candidates)) {
            if (CoverageChanges::callsignOf(f, {}).compare(callsign, Qt::CaseInsensitive) == 0) {
                having.insert(id, candidates);
                field = f;
            }
        }
    }
    if (having.isEmpty())
        return -1;
    int chosen = having.firstKey();
    if (having.size() > 1) {
        const QString site = CoverageChanges::sideOf(folder).transmitters.value(field).siteState;
        const int id = site.isEmpty() ? -1 : SetupChoice::stateIdNamed(site);
        if (having.contains(id))
            chosen = id;
    }
    *list = having.value(chosen);
    return chosen;
}

int transmitter(const QStringList &args, Io &io, CliReceiver &receiver)
{
    const QString command = QStringLiteral("setup transmitter");
    QString state;
    QStringList words;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--state") && i + 1 < args.size())
            state = args.at(++i);
        else if (args.at(i).startsWith(QLatin1String("--state=")))
            state = args.at(i).mid(8);
        else if (args.at(i).startsWith(QLatin1String("--"))) {
            io.err << command << ": unexpected argument \"" << args.at(i) << "\"\n";
            return 2;
        } else
            words << args.at(i);
    }
    if (words.isEmpty()) {
        io.err << "usage: nx4400c-cli setup transmitter [--state STATE] CALLSIGN|LOCATION\n";
        return 2;
    }
    AppContext ctx;
    if (!load(ctx, io, command, receiver, true))
        return 1;
    ctx.statesFolder = cliStatesFolder();
    if (!state.isEmpty()) {
        const int id = SetupChoice::stateIdNamed(state);
        if (id < 0) {
            io.err << command << ": \"" << state << "\" is no state of the list (a name such as Ohio, its code OH, or 0 to 53)\n";
            return 2;
        }
        ctx.config.StateID = int16_t(id);
    }
    UnattendedPrompter prompter([&io, &command](const QString &line) { io.err << command << ": " << line << '\n'; });
    QStringList list;
    if (!SetupChoice::transmitterList(prompter, ctx.statesFolder, 0, ctx.config.StateID, &list))
        return 1;
    QString why;
    const QString wanted = words.join(QLatin1Char(' '));
    QString field = SetupChoice::findTransmitter(list, wanted, &why);
    if (field.isEmpty() && state.isEmpty()) {
        // A call sign of another state's list (a replacement that check
        // suggested) is taken from the list of the state it stands in; the
        // state comes along, as choosing it in that list would set it.
        const int found = stateWithTransmitter(ctx.statesFolder, wanted, &list);
        if (found >= 0) {
            ctx.config.StateID = int16_t(found);
            field = SetupChoice::findTransmitter(list, wanted, nullptr);
        }
    }
    if (field.isEmpty()) {
        io.err << command << ": " << why << " in " << StateDatabase::stateList().value(ctx.config.StateID)
               << "; nothing was changed\n";
        return 2;
    }
    const QStringList before = CoverageChanges::selectedCodes(ctx.FipEntries);
    QStringList counties;
    if (!SetupChoice::chooseTransmitter(prompter, ctx.statesFolder, ctx, field, &counties)) {
        io.err << command << ": a state file could not be read; nothing was changed\n";
        return 1;
    }
    // The county list becomes the transmitter's counties, none selected, as
    // the county window stores it after the transmitter is confirmed.
    QVector<CountyEntries::Item> items;
    for (const QString &c : std::as_const(counties))
        items.append({c, false});
    CountyEntries::storeItems(items, ctx.FipEntries, ReceiverSetup::FipEntryCount);
    if (!save(ctx, io, command, receiver, true))
        return 1;
    io.out << "Transmitter " << field.simplified() << " (" << StateDatabase::stateList().value(ctx.config.StateID)
           << "), " << counties.size() << " counties, none selected:\n";
    QStringList again;
    for (const QString &c : std::as_const(counties)) {
        io.out << "  " << c << '\n';
        if (before.contains(c.left(6)))
            again << c.left(6);
    }
    io.out << "Select counties with nx4400c-cli setup counties add" << receiver.option() << " CODE...";
    if (!again.isEmpty())
        io.out << "; your counties before were: " << again.join(QLatin1Char(' '));
    io.out << '\n';
    return 0;
}

// A county the chosen transmitter does not cover (most often one of another
// state) is stored as asked, with a word: the receiver will not hear its
// alerts from that transmitter.
void warnUncovered(const AppContext &ctx, const QStringList &added, Io &io, const QString &command)
{
    const SetupCheck::Report report = checkCliSetup(ctx);
    const QString by = report.callsign.isEmpty() ? report.transmitter : report.callsign;
    for (const SetupCheck::Finding &f : report.findings) {
        if (f.kind != SetupCheck::Kind::CountyNotCovered || !added.contains(f.subject))
            continue;
        QString name;
        for (const QString &line : ctx.FipEntries) {
            if (line.mid(2, 6) == f.subject)
                name = line.mid(8).simplified();
        }
        io.err << command << ": warning: " << f.subject << (name.isEmpty() ? QString() : QLatin1Char(' ') + name)
               << " is not covered by " << by << "; selected all the same\n";
    }
}

int counties(const QStringList &args, Io &io, CliReceiver &receiver)
{
    const QString verb = args.value(0);
    const QString command = QStringLiteral("setup counties");
    const QStringList codes = args.mid(1);
    AppContext ctx;
    if (const int code = begin(args, io, command, ctx, receiver); code >= 0)
        return code;
    QVector<CountyEntries::Item> items = CountyEntries::itemsFromFipEntries(ctx.FipEntries);
    if (verb == QLatin1String("list")) {
        for (const CountyEntries::Item &i : std::as_const(items))
            io.out << entryLine(i) << '\n';
        return 0;
    }
    const bool add = verb == QLatin1String("add");
    const QString folder = cliStatesFolder();
    for (const QString &code : codes) {
        if (code.size() != CountyEntries::FipLength) {
            io.err << command << ": \"" << code << "\" is not a six-digit county code; nothing was changed\n";
            return 2;
        }
        bool found = false;
        for (CountyEntries::Item &i : items) {
            if (i.text.left(6) == code) {
                i.checked = add;
                found = true;
            }
        }
        if (!found && !add) {
            io.err << command << ": " << code << " is not in the county list" << (receiver.isEditors() ? QString() : QStringLiteral(" of ") + receiver.name)
                   << "; nothing was changed\n";
            return 1;
        }
        if (found)
            continue;
        // A county not listed yet is added, selected, as a click on the map
        // adds it.
        const QString entry = SetupChoice::countyEntryOf(folder, code);
        if (entry.isEmpty()) {
            io.err << command << ": no county of the coverage listing has the code " << code
                   << "; nothing was changed\n";
            return 2;
        }
        items.append({entry, true});
    }
    if (CountyEntries::storeItems(items, ctx.FipEntries, ReceiverSetup::FipEntryCount)
        == CountyEntries::StoreResult::TooManySelected) {
        io.err << command << ": " << Messages::errorText(5).trimmed() << " Nothing was changed.\n";
        return 2;
    }
    if (!save(ctx, io, command, receiver, false))
        return 1;
    if (add)
        warnUncovered(ctx, codes, io, command);
    io.out << CountyEntries::countChecked(items) << " of " << CountyEntries::MaxSelected << " counties selected\n";
    return 0;
}

int events(const QStringList &args, Io &io, CliReceiver &receiver)
{
    const QString verb = args.value(0);
    const QString command = QStringLiteral("setup events");
    const QStringList codes = args.mid(1);
    AppContext ctx;
    if (const int code = begin(args, io, command, ctx, receiver); code >= 0)
        return code;
    QStringList selected = SetupChoice::selectedEvents(ctx.EventSelection);
    if (verb == QLatin1String("list")) {
        for (const QString &code : std::as_const(selected)) {
            QString name;
            GetEventName(ctx.catalog, code, &name, nullptr);
            io.out << code << '\t' << name << '\n';
        }
        return 0;
    }
    const bool add = verb == QLatin1String("add");
    for (const QString &code : codes) {
        // A code the catalogue lacks can be removed, never added.
        if (add && !ctx.catalog.find(code)) {
            io.err << command << ": \"" << code << "\" is not an event code of the catalogue; nothing was changed\n";
            return 2;
        }
        if (add && !selected.contains(code))
            selected << code;
        else if (!add)
            selected.removeAll(code);
    }
    for (const QString &code : std::as_const(selected)) {
        if (!ctx.catalog.find(code))
            io.err << command << ": \"" << code << "\" is not in the catalogue and is left out, as the event window leaves it out\n";
    }
    if (!SetupChoice::storeEvents(ctx.catalog, selected, ctx.EventSelection)) {
        io.err << command << ": at most " << EventSelectionRules::MaxSelected
               << " event codes can be selected; nothing was changed\n";
        return 2;
    }
    if (!save(ctx, io, command, receiver, false))
        return 1;
    io.out << SetupChoice::selectedEvents(ctx.EventSelection).size() << " of " << EventSelectionRules::MaxSelected
           << " event codes selected\n";
    return 0;
}

// What completion offers, one a line.
int choices(const QStringList &args, Io &io)
{
    const QString kind = args.value(0);
    if (args.size() != 1) {
        io.err << "usage: nx4400c-cli setup choices state|callsign|county|event\n";
        return 2;
    }
    if (kind == QLatin1String("state")) {
        const QStringList names = StateDatabase::stateList();
        for (int i = 0; i < names.size(); ++i)
            io.out << names.at(i) << '\n' << CoverageImport::postalOfStateId(i) << '\n';
        return 0;
    }
    if (kind == QLatin1String("event")) {
        EventCatalog catalog;
        InitEventCatalog(catalog);
        for (const EventCatalogEntry &e : std::as_const(catalog.rows))
            io.out << e.EventCode << '\n';
        return 0;
    }
    if (kind != QLatin1String("callsign") && kind != QLatin1String("county")) {
        io.err << "setup choices: \"" << kind << "\" is none of state, callsign, county, event\n";
        return 2;
    }
    // The callsigns of the stored state, the counties of the whole listing.
    AppContext ctx;
    if (SettingsStoreProblem(ctx).isEmpty())
        LoadConfiguration(ctx, ctx.config);
    const QString folder = cliStatesFolder();
    QSet<QString> seen;
    const QVector<QStringList> states = CoverageImport::readFolder(folder);
    for (int s = 0; s < states.size(); ++s) {
        if (kind == QLatin1String("callsign") && s != ctx.config.StateID)
            continue;
        for (const QString &raw : states.at(s)) {
            if (!StateDatabase::usableLine(raw))
                continue;
            const QString line = StateDatabase::normalisedLine(raw);
            const QString value = kind == QLatin1String("county") ? line.left(6) : line.mid(48, 6).trimmed();
            if (!value.isEmpty() && !StateDatabase::hasNoCoverage(line) && !seen.contains(value)) {
                seen.insert(value);
                io.out << value << '\n';
            }
        }
    }
    return 0;
}

int runSetup(const QString &what, const QStringList &given)
{
    Io io;
    if (what == QLatin1String("choices"))
        return choices(given, io);
    // --receiver NAME edits that receiver's setup and nothing else; without
    // it the editor's setup is edited, as the windows edit it.
    const QString command = QStringLiteral("setup ") + what;
    QStringList args = given;
    QString name, fleet;
    if (const int code = takeReceiverOptions(command, args, &name, &fleet, io.err); code >= 0)
        return code;
    CliReceiver receiver;
    if (name.isEmpty()) {
        if (!fleet.isEmpty()) {
            io.err << command << ": --fleet names the file in which --receiver NAME is looked up\n";
            return 2;
        }
    } else {
        AppContext ctx;
        QString why;
        if (!resolveReceiver(ctx, name, fleet, &receiver, &why)) {
            io.err << command << ": " << why << "; nothing was changed\n";
            return 1;
        }
    }
    if (what == QLatin1String("transmitter"))
        return transmitter(args, io, receiver);
    if (what == QLatin1String("counties"))
        return counties(args, io, receiver);
    return events(args, io, receiver);
}

const QString kActionHelp = QStringLiteral("list, add or remove.");
const QString kCodeHelp = QStringLiteral("With list nothing; with add and remove one or more codes.");

const bool transmitterCommand = Cli::add({
    QStringLiteral("setup transmitter"),
    QStringLiteral("[--receiver NAME [--fleet FILE]] [--state STATE] CALLSIGN|LOCATION"),
    QStringLiteral("Chooses the receiver's transmitter, as the transmitter window does."),
    QStringLiteral("Picks the transmitter from the state's list (the stored state, or --state) by its call sign "
                   "(KIH42), or by its location when only one transmitter of the state is there. It becomes the "
                   "stored transmitter, and the county list becomes every county it covers, in all states, none "
                   "selected: select them with setup counties add. The settings and NX_4400C.DAT are written as the "
                   "windows write them. Without --receiver this is the editor's setup: the transmitter is kept in the "
                   "settings store, which every folder shares, so the first line names the store and the parameter "
                   "file. With --receiver NAME the receiver's profile alone is changed."),
    {{QStringLiteral("--state"), QStringLiteral("STATE"),
      QStringLiteral("The state whose list to pick from: its name (Ohio), its code (OH) or its number (0 to 53). It "
                     "becomes the stored state."),
      false, QStringLiteral("state")},
     {QStringLiteral("CALLSIGN|LOCATION"), QString(), QStringLiteral("The transmitter."), false, QStringLiteral("callsign")},
     receiverCliOption(QStringLiteral("Edits this receiver's setup (its profile) instead of the editor's.")),
     fleetCliOption()},
    {QStringLiteral("0\tchosen"), QStringLiteral("1\tthe setup or a state file could not be read or written"),
     QStringLiteral("2\tno such state or transmitter, or a usage error; nothing was changed")},
    {QStringLiteral("nx4400c-cli setup transmitter --state Kentucky KZZ49"),
     QStringLiteral("nx4400c-cli setup transmitter --receiver gym KIH42")},
    [](const QStringList &args) { return runSetup(QStringLiteral("transmitter"), args); },
    13,
});
const bool countiesCommand = Cli::add({
    QStringLiteral("setup counties"),
    QStringLiteral("[--receiver NAME [--fleet FILE]] list | add CODE... | remove CODE..."),
    QStringLiteral("Lists, selects or unselects the counties the receiver alerts for."),
    QStringLiteral("list prints the county lines of NX_4400C.DAT, \"X \" before a selected one. add selects the "
                   "counties of the six-digit codes; a county not in the list yet is taken from the coverage listing "
                   "and added. remove unselects them; a code that is not in the list is refused (exit status 1). At most 24 "
                   "counties can be selected; more are refused with the county window's message and nothing changes. "
                   "A county the chosen transmitter does not cover is selected with a warning (\"not covered by "
                   "KIH42\"). Without --receiver the editor's setup is edited, and the first line says so."),
    {{QStringLiteral("ACTION"), QString(), kActionHelp, false, QStringLiteral("list|add|remove")},
     {QStringLiteral("CODE"), QString(), kCodeHelp, true, QStringLiteral("county")},
     receiverCliOption(QStringLiteral("Edits this receiver's setup (its profile) instead of the editor's.")),
     fleetCliOption()},
    {QStringLiteral("0\tlisted or stored"), QStringLiteral("1\tthe setup could not be read or written, or a county to remove is not in the list"),
     QStringLiteral("2\tno such county, more than 24 selected, or a usage error; nothing was changed")},
    {QStringLiteral("nx4400c-cli setup counties add 039001 039015")},
    [](const QStringList &args) { return runSetup(QStringLiteral("counties"), args); },
    14,
});
const bool eventsCommand = Cli::add({
    QStringLiteral("setup events"),
    QStringLiteral("[--receiver NAME [--fleet FILE]] list | add CODE... | remove CODE..."),
    QStringLiteral("Lists, selects or unselects the event codes the receiver alerts for."),
    QStringLiteral("The codes are stored in the event catalogue's order, as the event window stores them, at most "
                   "48. A code the catalogue does not have is refused."),
    {{QStringLiteral("ACTION"), QString(), kActionHelp, false, QStringLiteral("list|add|remove")},
     {QStringLiteral("CODE"), QString(), kCodeHelp, true, QStringLiteral("event")},
     receiverCliOption(QStringLiteral("Edits this receiver's setup (its profile) instead of the editor's.")),
     fleetCliOption()},
    {QStringLiteral("0\tlisted or stored"), QStringLiteral("1\tthe setup could not be read or written"),
     QStringLiteral("2\tno such event code, too many, or a usage error; nothing was changed")},
    {QStringLiteral("nx4400c-cli setup events add TOR SVR")},
    [](const QStringList &args) { return runSetup(QStringLiteral("events"), args); },
    15,
});
const bool choicesCommand = Cli::add({
    QStringLiteral("setup choices"),
    QStringLiteral("state|callsign|county|event"),
    QStringLiteral("Prints what the setup commands take, one a line, for shell completion."),
    QStringLiteral("state: the state names and codes; callsign: the call signs of the stored state; county: every "
                   "county code of the coverage listing; event: the catalogue's event codes."),
    {{QStringLiteral("KIND"), QString(), QStringLiteral("What to list."), false, QStringLiteral("state|callsign|county|event")}},
    {QStringLiteral("0\tprinted"), QStringLiteral("2\ta usage error")},
    {},
    [](const QStringList &args) { return runSetup(QStringLiteral("choices"), args); },
    16,
});

} // namespace
