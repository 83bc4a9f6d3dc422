// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli coverage import FILE [--dry-run] [--output DIR]
// nx4400c-cli coverage revert
// nx4400c-cli coverage show [--state XX] [--transmitter TEXT] [--json]
// nx4400c-cli coverage print --pdf FILE
//
// NOAA's county coverage listing, brought in by the user: the same importer,
// checks and summary as File > Update Coverage... in the editor.
#include "app/cli/CliCommand.h"
#include "app/cli/ReceiverResolve.h"

#include "app/AppContext.h"
#include "base/SafeWrite.h"
#include "config/core/OptionSummary.h"
#include "config/core/ParameterFile.h"
#include "config/core/SettingsStore.h"
#include "coverage/core/CoverageChanges.h"
#include "coverage/core/CoverageImport.h"
#include "coverage/core/CoverageLocation.h"
#include "coverage/core/CoverageSheet.h"
#include "coverage/core/SetupCheck.h"
#include "coverage/core/StateDatabase.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDate>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <algorithm>
#include <cmath>

namespace {

constexpr int SchemaVersion = 2;

QString shipped()
{
    return CoverageLocation::shippedFolder(QCoreApplication::applicationDirPath());
}

QString active()
{
    return CoverageLocation::activeFolder(shipped(), QString());
}

// Positional arguments, with the values of valued options left out.
QStringList positionals(const QStringList &args, const QStringList &valued)
{
    QStringList out;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--")) {
            out += args.mid(i + 1);
            break;
        }
        if (valued.contains(a)) {
            ++i;
            continue;
        }
        if (!a.startsWith(QLatin1String("--")))
            out << a;
    }
    return out;
}

QString valueOf(const QStringList &args, const QString &name)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--"))
            break;
        if (args.at(i) == name && i + 1 < args.size())
            return args.at(i + 1);
        if (args.at(i).startsWith(name + QLatin1Char('=')))
            return args.at(i).mid(name.size() + 1);
    }
    return QString();
}

void printIssues(QTextStream &out, const CoverageImport::Result &r)
{
    if (r.issues.isEmpty())
        return;
    out << "\nNotes on the file (" << r.issues.size() << "):\n";
    for (const CoverageImport::Issue &i : r.issues)
        out << "  [" << CoverageImport::kindName(i.kind) << "] " << i.text << '\n';
}

int runImport(const QStringList &args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList files = positionals(args, {QStringLiteral("--output")});
    if (files.size() != 1) {
        err << "coverage import: name one listing FILE\n";
        return 2;
    }
    const bool dryRun = args.contains(QLatin1String("--dry-run"));
    const QString output = valueOf(args, QStringLiteral("--output"));
    const QString current = output.isEmpty() ? active() : output;

    CoverageImport::Result r = CoverageImport::importFile(files.first(), current);
    if (r.refused) {
        printIssues(out, r);
        err << "coverage import: refused, nothing was changed: " << r.refusal << '\n';
        return 1;
    }
    AppContext ctx;
    if (output.isEmpty()) {
        // The user's choice, to check the new listing against it.
        LoadConfiguration(ctx, ctx.config);
        if (QFileInfo(ctx.parameterFilePath).isFile())
            LoadParameterFile(ctx, ctx);
    }
    const CoverageChanges::Side after{r.stateLines, r.transmitters};
    const CoverageChanges::Summary summary = CoverageChanges::compare(CoverageChanges::sideOf(current), after);
    // What the new listing means for the user's own setup comes first, in
    // the words of nx4400c-cli check.
    SetupCheck::Report report;
    if (output.isEmpty()) {
        InitEventCatalog(ctx.catalog);
        report = SetupCheck::check(after, ctx, ctx.catalog);
    }
    out << "Listing " << r.info.name << " (" << r.info.shape << ", " << r.info.date << "): " << r.rowsRead
        << " rows read, " << r.rowsUsed << " used.\n\n";
    if (!report.isClean()) {
        for (const QString &line : report.lines())
            out << line << '\n';
        if (report.hasSerious())
            out << "Choose another transmitter with nx4400c-cli setup transmitter --state STATE CALLSIGN.\n";
        out << '\n';
    }
    out << summary.text();
    printIssues(out, r);
    if (dryRun) {
        out << "\nDry run: nothing was changed.\n";
        return 0;
    }
    if (!output.isEmpty()) {
        // Building the shipped set: plain files, no import time, so that
        // the same listing always gives the same bytes. The folder is made
        // whole beside its name and renamed into place.
        const CoverageImport::OutputResult written =
            CoverageImport::writeOutputFolder(r, output, args.contains(QLatin1String("--force")));
        if (!written.ok) {
            err << "coverage import: not written: " << written.message << '\n';
            return 1;
        }
        out << "\nWritten: " << written.message << ". The editor goes on using the listing it used before.\n";
        return 0;
    }
    QString why;
    r.info.imported = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    const QString where = CoverageLocation::overrideFolder(QString());
    const bool ok = !where.isEmpty() && CoverageImport::replaceFolder(r, where, &why);
    if (where.isEmpty())
        why = QStringLiteral("there is no per-user data folder (is HOME set?)");
    if (!ok) {
        err << "coverage import: not applied, nothing was changed: " << why << '\n';
        return 1;
    }
    out << "\nApplied: the editor now uses " << QDir::toNativeSeparators(where) << '\n';
    return 0;
}

int runRevert(const QStringList &)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QString mine = CoverageLocation::overrideFolder(QString());
    if (mine.isEmpty() || (!QFileInfo::exists(mine) && !QFileInfo(mine).isSymLink())) {
        out << "The shipped coverage is in use already.\n";
        return 0;
    }
    QString why;
    if (!CoverageImport::removeFolder(mine, &why)) {
        err << "coverage revert: " << why << '\n';
        return 1;
    }
    out << "Reverted: the editor uses the shipped coverage in " << QDir::toNativeSeparators(shipped()) << '\n';
    return 0;
}

struct CountyRef {
    QString code, county, state, remark;
};

int runShow(const QStringList &args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!positionals(args, {QStringLiteral("--state"), QStringLiteral("--transmitter")}).isEmpty()) {
        err << "coverage show: takes no file or other argument\n";
        return 2;
    }
    const QString stateArg = valueOf(args, QStringLiteral("--state"));
    const QString txArg = valueOf(args, QStringLiteral("--transmitter")).trimmed();
    const bool json = args.contains(QLatin1String("--json"));
    int stateFilter = -1;
    if (args.contains(QLatin1String("--state")) || !stateArg.isEmpty()) {
        stateFilter = CoverageImport::stateIdOfPostal(stateArg);
        if (stateFilter < 0)
            stateFilter = int(StateDatabase::stateList().indexOf(stateArg.trimmed()));
        if (stateFilter < 0) {
            err << "coverage show: \"" << stateArg.left(40) << "\" is not a state of the list (two letters, as OH)\n";
            return 2;
        }
    }
    const QString folder = active();
    const CoverageLocation::InUse use = CoverageLocation::inUse(folder, shipped(), QString());
    if (!use.problem.isEmpty())
        err << "coverage show: " << use.problem << '\n';
    const CoverageChanges::Side side = CoverageChanges::sideOf(folder);
    QStringList order;                               // fields, first seen
    QHash<QString, QList<CountyRef>> countiesOf;     // field -> its counties
    QHash<QString, QSet<int>> statesOf;              // field -> files listing it
    QList<QPair<CountyRef, QStringList>> stateCounties;   // with --state
    int unreadable = 0;
    for (int id = 0; id < StateDatabase::StateCount; ++id) {
        const QStringList &lines = side.stateLines.at(id);
        unreadable += lines.isEmpty() ? 1 : 0;
        for (const QString &raw : lines) {
            if (!StateDatabase::usableLine(raw))
                continue;
            const QString line = StateDatabase::normalisedLine(raw);
            CountyRef c{line.left(6), line.mid(8, 22).trimmed(), StateDatabase::GetStateName(line), QString()};
            QString call;
            if (!StateDatabase::hasNoCoverage(line)) {
                const QString field = StateDatabase::transmitterField(line);
                c.remark = side.transmitters.value(field).remarks.value(c.code);
                if (!countiesOf.contains(field))
                    order << field;
                countiesOf[field] << c;
                statesOf[field].insert(id);
                call = CoverageChanges::callsignOf(field, side.transmitters);
            }
            if (id == stateFilter) {
                if (stateCounties.isEmpty() || stateCounties.last().first.code != c.code)
                    stateCounties.append({c, {}});
                if (!call.isEmpty())
                    stateCounties.last().second << call;
            }
        }
    }
    if (unreadable == StateDatabase::StateCount) {
        err << "coverage show: no state file can be read in " << QDir::toNativeSeparators(folder) << '\n';
        return 1;
    }
    QStringList shown;
    for (const QString &field : std::as_const(order)) {
        if (stateFilter >= 0 && !statesOf.value(field).contains(stateFilter))
            continue;
        if (!txArg.isEmpty() && !field.contains(txArg, Qt::CaseInsensitive)
            && CoverageChanges::callsignOf(field, side.transmitters).compare(txArg, Qt::CaseInsensitive) != 0)
            continue;
        shown << field;
    }
    std::sort(shown.begin(), shown.end(), [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });

    if (json) {
        QJsonObject listing{{QStringLiteral("origin"), use.imported ? QStringLiteral("imported") : QStringLiteral("shipped")},
                            {QStringLiteral("name"), use.info.name},
                            {QStringLiteral("date"), use.info.date},
                            {QStringLiteral("rows"), use.info.rows},
                            {QStringLiteral("shape"), use.info.shape},
                            {QStringLiteral("imported"), use.info.imported},
                            {QStringLiteral("folder"), QDir::toNativeSeparators(folder)}};
        QJsonArray transmitters;
        for (const QString &field : std::as_const(shown)) {
            const TransmitterInfo t = side.transmitters.value(field);
            QJsonArray counties;
            for (const CountyRef &c : countiesOf.value(field))
                counties.append(QJsonObject{{QStringLiteral("code"), c.code}, {QStringLiteral("county"), c.county},
                                            {QStringLiteral("state"), c.state}, {QStringLiteral("remarks"), c.remark}});
            QJsonObject o{{QStringLiteral("field"), field},
                          {QStringLiteral("callsign"), CoverageChanges::callsignOf(field, side.transmitters)},
                          {QStringLiteral("site"), t.siteName.isEmpty() ? field.left(17).trimmed() : t.siteName},
                          {QStringLiteral("siteState"), t.siteState},
                          {QStringLiteral("frequency"), field.right(7)},
                          {QStringLiteral("status"), t.status},
                          {QStringLiteral("power"), t.power},
                          {QStringLiteral("office"), t.wfo},
                          {QStringLiteral("counties"), counties}};
            o.insert(QStringLiteral("latitude"), t.hasPosition() ? QJsonValue(t.latitude) : QJsonValue());
            o.insert(QStringLiteral("longitude"), t.hasPosition() ? QJsonValue(t.longitude) : QJsonValue());
            transmitters.append(o);
        }
        QJsonObject doc{{QStringLiteral("schema"), QStringLiteral("nx4400c-coverage-show")},
                        {QStringLiteral("version"), SchemaVersion},
                        {QStringLiteral("listing"), listing},
                        {QStringLiteral("transmitters"), transmitters}};
        if (stateFilter >= 0) {
            QJsonArray counties;
            for (const auto &c : std::as_const(stateCounties))
                counties.append(QJsonObject{{QStringLiteral("code"), c.first.code},
                                            {QStringLiteral("county"), c.first.county},
                                            {QStringLiteral("callsigns"), QJsonArray::fromStringList(c.second)}});
            doc.insert(QStringLiteral("state"), StateDatabase::stateList().at(stateFilter));
            doc.insert(QStringLiteral("counties"), counties);
        }
        out << QJsonDocument(doc).toJson(QJsonDocument::Indented);
        return 0;
    }

    out << "Listing: " << use.describe() << "\nFolder:  " << QDir::toNativeSeparators(folder) << "\n\n";
    out << "Transmitters (" << shown.size() << "):\n";
    for (const QString &field : std::as_const(shown)) {
        const TransmitterInfo t = side.transmitters.value(field);
        out << "  " << field << "  " << (t.status.isEmpty() ? QStringLiteral("-") : t.status);
        if (!t.power.isEmpty())
            out << ", " << t.power << " W";
        if (!t.wfo.isEmpty())
            out << ", office " << t.wfo;
        if (!t.siteState.isEmpty())
            out << ", in " << t.siteState;
        out << '\n';
        if (!txArg.isEmpty()) {
            for (const CountyRef &c : countiesOf.value(field))
                out << "      " << c.code << "  " << c.county.leftJustified(22) << ' ' << c.state
                    << (c.remark.isEmpty() ? QString() : QStringLiteral("  (") + c.remark + QLatin1Char(')')) << '\n';
        }
    }
    if (stateFilter >= 0) {
        out << "\nCounties of " << StateDatabase::stateList().at(stateFilter) << " (" << stateCounties.size() << "):\n";
        for (const auto &c : std::as_const(stateCounties))
            out << "  " << c.first.code << "  " << c.first.county.leftJustified(22) << ' '
                << (c.second.isEmpty() ? QStringLiteral("no NWR coverage") : c.second.join(QLatin1Char(' '))) << '\n';
    }
    return 0;
}

int runPrint(const QStringList &given)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = given;
    QString receiverName, fleet;
    if (const int code = takeReceiverOptions(QStringLiteral("coverage print"), args, &receiverName, &fleet, err);
        code >= 0)
        return code;
    if (receiverName.isEmpty() && !fleet.isEmpty()) {
        err << "coverage print: --fleet names the file in which --receiver NAME is looked up\n";
        return 2;
    }
    if (!positionals(args, {QStringLiteral("--pdf"), QStringLiteral("--page")}).isEmpty()) {
        err << "coverage print: takes no file other than --pdf FILE\n";
        return 2;
    }
    const QString path = valueOf(args, QStringLiteral("--pdf"));
    if (path.isEmpty()) {
        err << "coverage print: name the PDF file with --pdf FILE\n";
        return 2;
    }
    const QString pageName = valueOf(args, QStringLiteral("--page"));
    if (!pageName.isEmpty() && pageName.compare(QLatin1String("letter"), Qt::CaseInsensitive) != 0
        && pageName.compare(QLatin1String("a4"), Qt::CaseInsensitive) != 0) {
        err << "coverage print: --page is letter or a4\n";
        return 2;
    }
    // The receiver's setup: the editor's (settings and NX_4400C.DAT) or a
    // fleet receiver's profile. A page without counties or event codes
    // would look like a receiver that alerts for nothing.
    AppContext ctx;
    CliReceiver receiver;
    if (!receiverName.isEmpty()) {
        QString why;
        if (!resolveReceiver(ctx, receiverName, fleet, &receiver, &why)) {
            err << "coverage print: " << why << '\n';
            return 1;
        }
    }
    if (!loadCliReceiverSetup(ctx, receiver, ctx, QStringLiteral("coverage print"), err))
        return 1;
    CoverageSheet::Source source;
    source.statesFolder = active();
    source.listing = CoverageLocation::inUse(source.statesFolder, shipped(), QString()).describe();
    source.made = QDate::currentDate();
    source.stateId = ctx.config.StateID;
    source.transmitter = ctx.config.TransmitterLocation;
    source.fipEntries = ctx.FipEntries;
    source.eventSelection = ctx.EventSelection;
    source.options = optionSummary(ctx.config);
    source.catalog = &ctx.catalog;
    // The paper asked for, else the locale's: Letter in the United States,
    // A4 elsewhere, as the editor's PDF.
    if (pageName.isEmpty())
        source.paper = CoverageSheet::defaultPaper(QLocale::system());
    else
        source.paper = QPageSize(pageName.compare(QLatin1String("a4"), Qt::CaseInsensitive) == 0 ? QPageSize::A4
                                                                                                : QPageSize::Letter);

    // The editor prints through QPrinter; the tool, which links no widgets,
    // through its PDF writer: both are paged devices at the same resolution,
    // and the page is drawn by the same code.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QString why;
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(1200);
        writer.setTitle(QStringLiteral("NX-4400C Coverage"));
        writer.setCreator(QStringLiteral("nx4400c-cli"));
        if (!CoverageSheet::printSetup(writer, source, &why)) {
            err << "coverage print: " << why << '\n';
            return 1;
        }
    }
    buffer.close();
    const bool force = args.contains(QLatin1String("--force"));
    if (!writeFileAtomically(path, bytes, &why, force ? LinkAtName::Replace : LinkAtName::Refuse)) {
        err << "coverage print: " << why;
        if (!force && isSymbolicLink(path))
            err << " (--force replaces the link itself)";
        err << '\n';
        return 1;
    }
    out << "Coverage page written to " << QDir::toNativeSeparators(path) << '\n';
    return 0;
}

const bool importRegistered = Cli::add({
    QStringLiteral("coverage import"),
    QStringLiteral("FILE [--dry-run] [--output DIR [--force]]"),
    QStringLiteral("Brings in NOAA's county coverage listing and shows what it changes."),
    QStringLiteral("FILE is NOAA Weather Radio's county coverage listing as downloaded from the National Weather "
                   "Service (CCL.js or ccl-data.js) or saved from a spreadsheet as CSV with a header row. The "
                   "listing is checked, turned into the 54 state files and compared with the listing in use and "
                   "with your stored transmitter and selected counties; the summary and every note on the file are "
                   "printed.\n\nA file with no usable rows, or one that would leave a state without its counties, is "
                   "refused whole and nothing changes. Otherwise the new state files go into your data folder in one "
                   "step and override the shipped ones until `coverage revert`. One import (or revert, or the "
                   "editor's Apply) runs at a time: another one waits up to 10 s for it, then gives up and changes "
                   "nothing."),
    {
        {QStringLiteral("FILE"), QString(), QStringLiteral("The listing: CCL.js, ccl-data.js or a CSV file."), false,
         QStringLiteral("file")},
        {QStringLiteral("--dry-run"), QString(), QStringLiteral("Prints the summary and the notes, changes nothing."),
         false, QStringLiteral("none")},
        {QStringLiteral("--output"), QStringLiteral("DIR"),
         QStringLiteral("Writes the state files, the transmitter table and the listing file into DIR instead of your "
                        "data folder, and compares with what DIR holds. Used to build the shipped files. The files "
                        "are written into a new folder beside DIR, which takes DIR's place only when it is whole."),
         false, QStringLiteral("dir")},
        {QStringLiteral("--force"), QString(),
         QStringLiteral("With --output: replaces a symbolic link at DIR itself (never what it leads to)."), false,
         QStringLiteral("none")},
    },
    {QStringLiteral("0\tapplied (or, with --dry-run, it would be)"),
     QStringLiteral("1\trefused or not written, or another import ran for longer than 10 s; nothing changed"),
     QStringLiteral("2\ta usage error")},
    {QStringLiteral("nx4400c-cli coverage import ~/Downloads/CCL.js --dry-run"),
     QStringLiteral("nx4400c-cli coverage import ~/Downloads/CCL.js")},
    [](const QStringList &args) { return runImport(args); },
    60,
});

const bool revertRegistered = Cli::add({
    QStringLiteral("coverage revert"),
    QString(),
    QStringLiteral("Removes the imported listing; the editor uses the shipped coverage again."),
    QString(),
    {},
    {QStringLiteral("0\tthe shipped coverage is in use"), QStringLiteral("1\tthe imported listing could not be removed")},
    {},
    [](const QStringList &args) { return runRevert(args); },
    61,
});

const bool showRegistered = Cli::add({
    QStringLiteral("coverage show"),
    QStringLiteral("[--state XX] [--transmitter TEXT] [--json]"),
    QStringLiteral("Lists the transmitters and counties of the listing in use, with status and call sign."),
    QStringLiteral("Names the listing in use (shipped or imported, its file, date and rows), then its transmitters "
                   "with status, power and forecast office. With --state, the transmitters that the state's file "
                   "lists and each county with the call signs that cover it; with --transmitter, the matching "
                   "transmitters with every county they cover."),
    {
        {QStringLiteral("--state"), QStringLiteral("XX"),
         QStringLiteral("A state of the editor's list, by postal code (OH) or name (Ohio)."), false,
         QStringLiteral("AL|AK|AZ|AR|CA|CO|CT|DE|FL|GA|HI|ID|IL|IN|IA|KS|KY|LA|ME|MD|MA|MI|MN|MS|MO|MT|NE|NV|NH|NJ|NM|NY|"
                        "NC|ND|OH|OK|OR|PA|RI|SC|SD|TN|TX|UT|VT|VA|WA|WV|WI|WY|GU|MP|PR|VI")},
        {QStringLiteral("--transmitter"), QStringLiteral("TEXT"),
         QStringLiteral("Transmitters whose field holds TEXT (any letter case), or whose call sign is TEXT."), false,
         QStringLiteral("none")},
        {QStringLiteral("--json"), QString(),
         QStringLiteral("Prints JSON as described by docs/json/coverage-show.schema.json (schema nx4400c-coverage-show, version 2)."), false,
         QStringLiteral("none")},
    },
    {QStringLiteral("0\tlisted"), QStringLiteral("1\tno state file could be read"), QStringLiteral("2\ta usage error")},
    {QStringLiteral("nx4400c-cli coverage show --state OH"), QStringLiteral("nx4400c-cli coverage show --transmitter KZZ49")},
    [](const QStringList &args) { return runShow(args); },
    62,
});

const bool printRegistered = Cli::add({
    QStringLiteral("coverage print"),
    QStringLiteral("--pdf FILE [--page letter|a4] [--force] [--receiver NAME [--fleet FILE]]"),
    QStringLiteral("Prints the stored setup's coverage page into a PDF file."),
    QStringLiteral("The page a site keeps with its receiver, as the editor's File > Print Coverage... prints it: the "
                   "county map of the stored state and transmitter, the selected counties with the transmitters that "
                   "cover them, the chosen event codes and a summary of the receiver's options, with the listing in "
                   "use and the date. Always one page with margins of at least 15 mm; a long county list makes "
                   "the map, then the type, smaller."),
    {
        {QStringLiteral("--pdf"), QStringLiteral("FILE"), QStringLiteral("The PDF file to write (replaced whole)."), false,
         QStringLiteral("file")},
        {QStringLiteral("--page"), QStringLiteral("letter|a4"), QStringLiteral("The paper size; without it the locale's: letter in the United States, a4 "
                                                           "elsewhere."), false,
         QStringLiteral("letter|a4")},
        {QStringLiteral("--force"), QString(),
         QStringLiteral("Replaces a symbolic link at FILE itself; without it a link is refused, and what it leads to is "
                        "never written."), false, QStringLiteral("none")},
        receiverCliOption(QStringLiteral("Prints the page of this receiver's own setup (its profile).")),
        fleetCliOption(),
    },
    {QStringLiteral("0\tthe page was written"),
     QStringLiteral("1\tthe setup could not be read (without NX_4400C.DAT: run nx4400c-cli init) or the file could not be written"),
     QStringLiteral("2\ta usage error")},
    {QStringLiteral("nx4400c-cli coverage print --pdf ~/Documents/coverage.pdf")},
    [](const QStringList &args) { return runPrint(args); },
    63,
    true,
});

const bool dataFile = Cli::addFile({QStringLiteral("~/.local/share/NX4400C/coverage/States"),
                                    QStringLiteral("The imported coverage listing (a link to the folder of its state "
                                                   "files), which overrides the shipped one; `coverage revert` removes it.")});

} // namespace
