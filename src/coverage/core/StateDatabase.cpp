// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/core/StateDatabase.h"

#include <QDir>

#include "base/Prompter.h"

#include <QFile>
#include <QFileInfo>

namespace StateDatabase {

namespace {

struct StateRow {
    const char *name;
    const char *file;
};

// Position = StateID. The number in a file name is 100 plus the position of
// the postal abbreviation among the 50 states in alphabetical order; the
// territories follow at 151 to 154. The District of Columbia has no entry:
// its county lines live in the Maryland file.
const StateRow kStates[StateCount] = {
    {"Alabama", "Al_102.st"},        {"Alaska", "Ak_101.st"},         {"Arizona", "Az_104.st"},
    {"Arkansas", "Ar_103.st"},       {"California", "Ca_105.st"},     {"Colorado", "Co_106.st"},
    {"Connecticut", "Ct_107.st"},    {"Delaware", "De_108.st"},       {"Florida", "Fl_109.st"},
    {"Georgia", "Ga_110.st"},        {"Hawaii", "Hi_111.st"},         {"Idaho", "Id_113.st"},
    {"Illinois", "Il_114.st"},       {"Indiana", "In_115.st"},        {"Iowa", "Ia_112.st"},
    {"Kansas", "Ks_116.st"},         {"Kentucky", "Ky_117.st"},       {"Louisiana", "La_118.st"},
    {"Maine", "Me_121.st"},          {"Maryland", "Md_120.st"},       {"Massachusetts", "Ma_119.st"},
    {"Michigan", "Mi_122.st"},       {"Minnesota", "Mn_123.st"},      {"Mississippi", "Ms_125.st"},
    {"Missouri", "Mo_124.st"},       {"Montana", "Mt_126.st"},        {"Nebraska", "Ne_129.st"},
    {"Nevada", "Nv_133.st"},         {"New Hampshire", "Nh_130.st"},  {"New Jersey", "Nj_131.st"},
    {"New Mexico", "Nm_132.st"},     {"New York", "Ny_134.st"},       {"North Carolina", "Nc_127.st"},
    {"North Dakota", "Nd_128.st"},   {"Ohio", "Oh_135.st"},           {"Oklahoma", "Ok_136.st"},
    {"Oregon", "Or_137.st"},         {"Pennsylvania", "Pa_138.st"},   {"Rhode Island", "Ri_139.st"},
    {"South Carolina", "Sc_140.st"}, {"South Dakota", "Sd_141.st"},   {"Tennessee", "Tn_142.st"},
    {"Texas", "Tx_143.st"},          {"Utah", "Ut_144.st"},           {"Vermont", "Vt_146.st"},
    {"Virginia", "Va_145.st"},       {"Washington", "Wa_147.st"},     {"West Virginia", "Wv_149.st"},
    {"Wisconsin", "Wi_148.st"},      {"Wyoming", "Wy_150.st"},        {"Guam", "Gu_151.st"},
    {"N Mariana Islands", "Mr_152.st"}, {"Puerto Rico", "Pr_153.st"}, {"US Virgin Islands", "Vi_154.st"},
};

struct StateNumber {
    const char *number;
    const char *name;
};

// The SS of a FIP code; the names complete county entries.
const StateNumber kStateNumbers[] = {
    {"01", "Alabama"},        {"02", "Alaska"},        {"04", "Arizona"},
    {"05", "Arkansas"},       {"06", "California"},    {"08", "Colorado"},
    {"09", "Connecticut"},    {"10", "Delaware"},      {"11", "District Of Columbia"},
    {"12", "Florida"},        {"13", "Georgia"},       {"15", "Hawaii"},
    {"16", "Idaho"},          {"17", "Illinois"},      {"18", "Indiana"},
    {"19", "Iowa"},           {"20", "Kansas"},        {"21", "Kentucky"},
    {"22", "Louisiana"},      {"23", "Maine"},         {"24", "Maryland"},
    {"25", "Massachusetts"},  {"26", "Michigan"},      {"27", "Minnesota"},
    {"28", "Mississippi"},    {"29", "Missouri"},      {"30", "Montana"},
    {"31", "Nebraska"},       {"32", "Nevada"},        {"33", "New Hampshire"},
    {"34", "New Jersey"},     {"35", "New Mexico"},    {"36", "New York"},
    {"37", "North Carolina"}, {"38", "North Dakota"},  {"39", "Ohio"},
    {"40", "Oklahoma"},       {"41", "Oregon"},        {"42", "Pennsylvania"},
    {"44", "Rhode Island"},   {"45", "South Carolina"}, {"46", "South Dakota"},
    {"47", "Tennessee"},      {"48", "Texas"},         {"49", "Utah"},
    {"50", "Vermont"},        {"51", "Virginia"},      {"53", "Washington"},
    {"54", "West Virginia"},  {"55", "Wisconsin"},     {"56", "Wyoming"},
    {"66", "Guam"},           {"69", "Mariana Islands"}, {"72", "Puerto Rico"},
    {"78", "US Virgin Islands"},
};

const char *const kFrequencies[] = {"All",     "162.400", "162.425", "162.450",
                                    "162.475", "162.500", "162.525", "162.550"};

// Seen-list room: entries 0 to 500.
constexpr int SeenCapacity = LineBufferSize;

} // namespace

QString GetStateFileName(int stateId)
{
    if (stateId < 0 || stateId >= StateCount)
        return QString();
    return QString::fromLatin1(kStates[stateId].file);
}

QString GetStateName(const QString &line)
{
    const QString number = line.mid(1, 2);
    if (number.size() != 2)
        return QString();
    for (const StateNumber &s : kStateNumbers) {
        if (number == QLatin1String(s.number))
            return QString::fromLatin1(s.name);
    }
    return QString();
}

QStringList stateList()
{
    QStringList list;
    for (const StateRow &s : kStates)
        list << QString::fromLatin1(s.name);
    return list;
}

QStringList frequencyList()
{
    QStringList list;
    for (const char *f : kFrequencies)
        list << QString::fromLatin1(f);
    return list;
}

QString frequencyFilter(int filter)
{
    if (filter < 1 || filter > 7)
        return QString();
    return QString::fromLatin1(kFrequencies[filter]);
}

int16_t SeenList::NoteIfNew(const QString &text)
{
    if (text.isEmpty() || m_entries.contains(text))
        return -1;
    if (m_entries.size() >= SeenCapacity) {
        m_overflowed = true;
        return -1;
    }
    m_entries.append(text);
    return 0;
}

void SeenList::clear()
{
    m_entries.clear();
    m_overflowed = false;
}

ReadResult readStateLines(const QString &path, QStringList *lines)
{
    lines->clear();
    const QFileInfo info(path);
    if (!info.exists())
        return ReadResult::Missing;
    // Only a regular file: a FIFO would block the open, a device would never end.
    if (!info.isFile() || info.size() > MaxFileSize)
        return ReadResult::Unreadable;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ReadResult::Unreadable;
    // The size may change after the check; never read more than the limit.
    const QByteArray data = file.read(MaxFileSize + 1);
    if (data.size() > MaxFileSize || file.error() != QFileDevice::NoError)
        return ReadResult::Unreadable;

    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf('\n', start);
        const bool last = end < 0;
        if (last)
            end = data.size();
        if (lines->size() >= LineBufferSize) {
            lines->clear();
            return ReadResult::TooManyLines;
        }
        qsizetype len = end - start;
        if (len > 0 && data.at(end - 1) == '\r')
            --len;
        // Only the first 62 characters matter; UTF-8 needs at most 4 bytes each.
        const QByteArray raw = data.mid(start, qMin<qsizetype>(len, LineLength * 4));
        lines->append(QString::fromUtf8(raw).left(LineLength));
        start = end + 1;
    }
    return ReadResult::Ok;
}

bool usableLine(const QString &line)
{
    if (line.trimmed().isEmpty())
        return false;
    for (QChar c : line.left(LineLength)) {
        const ushort u = c.unicode();
        if (u < 0x20 || u == 0x7f || c == QChar::ReplacementCharacter)
            return false;
    }
    return true;
}

QString normalisedLine(const QString &line)
{
    return line.left(LineLength).leftJustified(LineLength, QLatin1Char(' '));
}

QString transmitterField(const QString &line)
{
    return normalisedLine(line).mid(FieldColumn - 1, FieldLength);
}

bool hasNoCoverage(const QString &line)
{
    return normalisedLine(line).mid(31, NoCoverage.size()) == NoCoverage;
}

QStringList transmittersOf(const QStringList &lines, int filter, bool *overflowed)
{
    const QString frequency = frequencyFilter(filter);
    SeenList seen;
    QStringList result;
    for (const QString &raw : lines) {
        if (!usableLine(raw) || hasNoCoverage(raw))
            continue;
        const QString line = normalisedLine(raw);
        if (!frequency.isEmpty() && line.mid(55, 7) != frequency)
            continue;
        const QString field = line.mid(FieldColumn - 1, FieldLength);
        if (field.trimmed().isEmpty())
            continue;
        if (seen.NoteIfNew(field) == 0)
            result << field;
        if (seen.overflowed())
            break;
    }
    if (overflowed)
        *overflowed = seen.overflowed();
    return result;
}

QString missingFileMessage(const QString &fileName)
{
    return QStringLiteral("Error, State File  ") + fileName + QStringLiteral("  is missing");
}

bool LoadStateFile(Prompter &prompter, const QString &folder, int filter, int stateId,
                   QStringList *transmitters)
{
    transmitters->clear();
    const QString name = GetStateFileName(stateId);
    QStringList lines;
    bool overflowed = false;
    if (!name.isEmpty()
        && readStateLines(folder + QLatin1Char('/') + name, &lines) == ReadResult::Ok) {
        *transmitters = transmittersOf(lines, filter, &overflowed);
        if (!overflowed)
            return true;
    }
    // A StateID outside the list (a settings file edited by hand) has no
    // file name: the message says which state and where it was looked for.
    const QString shownName = !name.isEmpty()
        ? name
        : QStringLiteral("of StateID %1 (there is none; states are 0 to %2) in %3")
              .arg(stateId).arg(StateCount - 1).arg(QDir::toNativeSeparators(folder));
    prompter.ask(MessageTitle, missingFileMessage(shownName), Prompter::Icon::None, Prompter::Buttons::Ok);
    return false;
}

bool FindTransmitterCounties(Prompter &prompter, const QString &folder, const QString &transmitter,
                             QStringList *counties)
{
    const QString wanted = transmitter.trimmed();
    SeenList seen;
    QStringList lines;
    for (int state = 0; state < StateCount; ++state) {
        if (readStateLines(folder + QLatin1Char('/') + GetStateFileName(state), &lines)
            != ReadResult::Ok) {
            prompter.beep();
            return false;
        }
        // A blank transmitter names nothing; it must not pick up lines whose
        // field is blank.
        if (wanted.isEmpty())
            continue;
        for (const QString &raw : lines) {
            // Padding a short line adds blanks only, so comparing the trimmed
            // field of the line as it stands gives the same answer, without
            // building a padded copy of every line.
            if (QStringView(raw).mid(FieldColumn - 1, FieldLength).trimmed() != wanted)
                continue;
            if (!usableLine(raw) || hasNoCoverage(raw))
                continue;
            const QString line = normalisedLine(raw);
            const QString county = line.left(CountyPartLength);
            if (seen.NoteIfNew(county) != 0) {
                if (seen.overflowed()) {
                    prompter.beep();
                    return false;
                }
                continue;
            }
            counties->append(county + GetStateName(line));
        }
    }
    return true;
}

} // namespace StateDatabase
