// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>

class Prompter;

// The 54 state files: one fixed-width line per county and transmitter that
// covers it, in a folder "States" beside the program (Services::statesFolder).
//
//   columns  1-6   FIP code (PSSCCC)
//   columns  7-8   two blanks
//   columns  9-30  county name
//   column  31     blank
//   columns 32-55  transmitter location, or "--No NWR Coverage--" in 32-50
//   columns 56-62  frequency, "162.550"
//
// Columns 31-62 are the transmitter field: the transmitter list shows it and
// a transmitter is recognised by it. Columns 1-31 become the first 31
// characters of a county entry.
//
// The scans return lists; the windows show them.
namespace StateDatabase {

constexpr int StateCount = 54;
constexpr int LineBufferSize = 501;     // a state file holds at most 501 lines
constexpr int LineLength = 62;          // characters after column 62 are ignored
constexpr int FieldColumn = 31;         // first column of the transmitter field
constexpr int FieldLength = 32;
constexpr int CountyPartLength = 31;
// Real files are about 30 KB; anything far bigger is not a state file, and
// reading it whole could take the memory of the machine.
constexpr qint64 MaxFileSize = 1024 * 1024;

inline const QString NoCoverage = QStringLiteral("--No NWR Coverage--");
// Title of the missing-file message: the program's own name.
inline const QString MessageTitle = QStringLiteral("NX4400C");

// File name for a StateID 0 to 53 ("Al_102.st"); empty for any other value.
QString GetStateFileName(int stateId);
// State name for characters 2 and 3 of a state-file line or county entry
// (the SS of PSSCCC); empty for a number with no state.
QString GetStateName(const QString &line);

// The state list (position = StateID) and the frequency list (position =
// FrequencyListingFilter, 0 = "All").
QStringList stateList();
QStringList frequencyList();
// The frequency a filter value keeps ("162.550"), or empty for no filter.
QString frequencyFilter(int filter);

// Remembers the texts one scan has seen, to list each once. Room for 501
// texts; the 502nd distinct text overflows the scan.
class SeenList
{
public:
    // 0 when the text is new (it is then remembered), -1 when it was seen
    // before. The empty text always counts as seen. A new text that does not
    // fit returns -1 and marks the list overflowed.
    int16_t NoteIfNew(const QString &text);
    void clear();
    int count() const { return int(m_entries.size()); }
    bool overflowed() const { return m_overflowed; }

private:
    QStringList m_entries;
    bool m_overflowed = false;
};

enum class ReadResult { Ok, Missing, Unreadable, TooManyLines };

// Reads a state file into at most 501 lines (CR LF or LF endings; the line
// text is decoded as UTF-8 and cut to 62 characters). Directories, devices,
// pipes and files larger than MaxFileSize count as unreadable, so a bad file
// can never hang or exhaust the program.
ReadResult readStateLines(const QString &path, QStringList *lines);

// Whether a line can be used by the scans: not empty, and no control
// character or undecodable byte in its first 62 columns. Unusable lines are
// passed over like empty ones.
bool usableLine(const QString &line);
// A usable line made exactly 62 characters long (a line whose trailing blanks
// were trimmed by an editor gets them back).
QString normalisedLine(const QString &line);
// Columns 31-62 of a normalised line.
QString transmitterField(const QString &line);
bool hasNoCoverage(const QString &line);

// The transmitter fields of a state's lines, each once, in file order, only
// those on the filter frequency when a filter (1 to 7) is given. Lines with a
// blank field name no transmitter and are passed over.
QStringList transmittersOf(const QStringList &lines, int filter, bool *overflowed = nullptr);

// Reads the state's file from `folder` and returns its transmitters (see
// transmittersOf; `filter` is the frequency listing filter). On failure shows "Error, State
// File  <name>  is missing" and returns false; `transmitters` keeps what was
// listed before the failure.
bool LoadStateFile(Prompter &prompter, const QString &folder, int filter, int stateId,
                   QStringList *transmitters);
QString missingFileMessage(const QString &fileName);

// Appends to `counties` every county of every state file (state list order,
// file order within a state) whose transmitter field equals `transmitter`,
// both trimmed: the first 31 columns of the line followed by its state name,
// each county once. A file that cannot be read ends the scan with a beep;
// what was appended stays. Returns false in that case.
bool FindTransmitterCounties(Prompter &prompter, const QString &folder, const QString &transmitter,
                             QStringList *counties);

} // namespace StateDatabase
