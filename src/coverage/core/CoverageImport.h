// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Platform.h"
#include "coverage/core/CoverageListing.h"
#include "coverage/core/TransmitterTable.h"

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

// Makes the 54 state files and the transmitter table from NOAA's county
// coverage listing. Every state file line is 62 characters and CR LF:
//
//   columns  1-6   six-digit code (SAME)
//   columns  7-8   two blanks
//   columns  9-30  county name, blank padded
//   column  31     blank
//   columns 32-47  the transmitter's site name, blank padded
//   column  48     blank
//   columns 49-54  its call sign, blank padded
//   column  55     blank
//   columns 56-62  frequency, "162.550"
//
// so columns 31-62, the field by which the editor, the settings, profiles
// and receivers know a transmitter, always hold the call sign: two
// transmitters never share a field, and one transmitter has the same field in
// every state whose counties it covers. A county that no transmitter covers
// has "--No NWR Coverage--" in columns 32-50 and blanks up to column 62.
//
// One line per county and transmitter, in the order of the listing. A state's
// file holds its own counties, with every transmitter that covers them
// (Adams County, Ohio, lists KZZ49 Maysville, Kentucky). The District of
// Columbia has no file: its lines follow Maryland's, so that its county is
// found with the transmitters that cover it.
//
// Shortening (the only change made to the data besides the layout):
// - site names: non-breaking spaces become blanks and runs of blanks one; a
//   site longer than 16 characters is shortened by the abbreviations below,
//   each only while it is still too long; what is still too long is cut at
//   16 and the cut is noted. The call sign is never shortened.
// - county names longer than 22 characters: "City of X" becomes "X City"
//   (Virginia's independent cities); what is still too long is cut at 22 and
//   the cut is noted.
namespace CoverageImport {

constexpr int SiteWidth = 16;
constexpr int CallWidth = 6;
constexpr int CountyWidth = 22;
// Notes kept on one file; more are only counted.
constexpr int MaxNotes = 1000;
inline const QString InfoFileName = QStringLiteral("listing.txt");

enum class IssueKind {
    BadCode,         // not six digits
    NoStateFile,     // DC, FM, MH, PW, UM, AS: no state file
    BadFrequency,    // not one of the seven
    Cut,             // a site or county name cut to fit
    Duplicate,       // the same county and transmitter twice
    MissingCounty,   // a county listed today that has no row
    BadText,         // neither UTF-8 nor Latin-1
    BadRow,          // a call sign too long, no state, ...
    WrongState,      // the code's state digits name another state than the row's
    ControlCharacter,   // a tab or another control character in a field
};
QString kindName(IssueKind kind);   // "bad code", "duplicate", ...

struct Issue {
    IssueKind kind;
    int line = 0;      // line of the input (0: no line, as for a missing county)
    QString text;      // one sentence
};

// What the listing file beside the state files records.
struct ListingInfo {
    QString name;      // the file's name, "CCL.js"
    QString date;      // the listing's own date, else the file's
    int rows = 0;      // rows read
    QString shape;     // "CCL.js", "ccl-data.js", "CSV"
    QString imported;  // when it was imported (ISO 8601), empty for the shipped set

    QByteArray serialise() const;
    static ListingInfo parse(const QByteArray &text);
};

struct Result {
    bool refused = false;
    QString refusal;                       // why, for the user; empty when not refused
    QVector<Issue> issues;                 // in the order of the input, the first MaxNotes
    QHash<int, int> issueCounts;           // by IssueKind, every one
    int rowsRead = 0;
    int rowsUsed = 0;
    // Lines of each state's file, by StateID, 62 characters each, no line end.
    QVector<QStringList> stateLines;
    QHash<QString, TransmitterInfo> transmitters;   // keyed by the field
    ListingInfo info;

    // The files to write: the 54 state files, the transmitter table and the
    // listing file, by file name.
    QMap<QString, QByteArray> files() const;
    int issueCount(IssueKind kind) const;
};

// The StateID of a two-letter postal code ("OH" 34), or -1.
int stateIdOfPostal(const QString &postal);
QString postalOfStateId(int stateId);

// One state file line for a county and its transmitter (empty callsign: no
// coverage). *siteCut / *countyCut tell whether a name had to be cut.
QString stateLine(const QString &code, const QString &county, const QString &site, const QString &callsign,
                  const QString &frequency, bool *siteCut = nullptr, bool *countyCut = nullptr);
QString shortenSite(const QString &site);
QString shortenCounty(const QString &county);

// The listing checked and turned into state files. `current` holds the lines
// of the state files in use today, by StateID (empty lists when unknown):
// a county listed there without a row here is noted, and a state that would
// lose all its counties refuses the whole listing.
Result build(const CoverageListing::Listing &listing, const QString &name, const QVector<QStringList> &current);

// The lines of the 54 state files in `folder` (an unreadable file gives an
// empty list).
QVector<QStringList> readFolder(const QString &folder);

// Reads the file at `path` and builds its state files against the folder in
// use today. The listing's date is its own when it names one, else the
// file's modification date.
Result importFile(const QString &path, const QString &currentFolder);

// The program's own entries in the folder that holds the imported listing:
// the lock that keeps imports one at a time, and the record of what the
// imports made there (the only entries they ever remove).
inline const QString ImportLockName = QStringLiteral(".nx4400c-import.lock");
inline const QString MadeRecordName = QStringLiteral(".nx4400c-made");
// How long an import waits for another one to end.
constexpr int ImportLockWaitMs = 10000;

// Imports, reverts and the editor's Apply one at a time: a lock on a file
// in the listing's folder, held until this is destroyed (or the program
// ends, however it ends).
class ImportLock
{
public:
    // Waits up to `timeoutMs` for another holder to let go. False with a
    // sentence ("another import of the coverage listing is running...").
    bool acquire(const QString &folder, int timeoutMs, QString *why);

private:
    Platform::NativeFile m_file;
};

// Writes the result's files into a new folder beside `target` and makes
// `target` name it in one rename (target is then a link to the new folder),
// then removes the folder it named before, under the import lock. On
// failure nothing that `target` names has changed; *why says what went
// wrong. Only entries the imports recorded as theirs are ever removed, and
// nothing at all when the folder or the data folder above it is a symbolic
// link (refused).
bool replaceFolder(const Result &result, const QString &target, QString *why,
                   int lockTimeoutMs = ImportLockWaitMs);
// Writes the files into `folder` as plain files, replacing existing files
// of the same names one by one.
bool writeInto(const Result &result, const QString &folder, QString *why);
// What became of a folder the user named for the files.
struct OutputResult {
    bool ok = false;
    QString message;   // what happened to the folder, either way
};
// Writes the files into a new folder beside `folder` and renames it into
// place whole (what else the folder held comes along); on failure the new
// folder is removed and `folder` is as it was. A symbolic link at the name
// is refused, or replaced itself with `replaceLink`.
OutputResult writeOutputFolder(const Result &result, const QString &folder, bool replaceLink);
// Removes `target` and the folder it names, under the import lock. True
// when nothing is left.
bool removeFolder(const QString &target, QString *why, int lockTimeoutMs = ImportLockWaitMs);

} // namespace CoverageImport
