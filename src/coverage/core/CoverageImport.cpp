// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/core/CoverageImport.h"

#include "base/SafeWrite.h"
#include "coverage/core/StateDatabase.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace CoverageImport {

namespace {

using CoverageListing::Field;

// Postal code and state number of each StateID, in the state list's order.
struct StateCode {
    const char *postal;
    const char *number;
};
const StateCode kStates[StateDatabase::StateCount] = {
    {"AL", "01"}, {"AK", "02"}, {"AZ", "04"}, {"AR", "05"}, {"CA", "06"}, {"CO", "08"}, {"CT", "09"}, {"DE", "10"},
    {"FL", "12"}, {"GA", "13"}, {"HI", "15"}, {"ID", "16"}, {"IL", "17"}, {"IN", "18"}, {"IA", "19"}, {"KS", "20"},
    {"KY", "21"}, {"LA", "22"}, {"ME", "23"}, {"MD", "24"}, {"MA", "25"}, {"MI", "26"}, {"MN", "27"}, {"MS", "28"},
    {"MO", "29"}, {"MT", "30"}, {"NE", "31"}, {"NV", "32"}, {"NH", "33"}, {"NJ", "34"}, {"NM", "35"}, {"NY", "36"},
    {"NC", "37"}, {"ND", "38"}, {"OH", "39"}, {"OK", "40"}, {"OR", "41"}, {"PA", "42"}, {"RI", "44"}, {"SC", "45"},
    {"SD", "46"}, {"TN", "47"}, {"TX", "48"}, {"UT", "49"}, {"VT", "50"}, {"VA", "51"}, {"WA", "53"}, {"WV", "54"},
    {"WI", "55"}, {"WY", "56"}, {"GU", "66"}, {"MP", "69"}, {"PR", "72"}, {"VI", "78"},
};
constexpr int Maryland = 19;

// Applied in this order, each only while the site is still too long.
const char *const kSiteAbbreviations[][2] = {
    {" / ", "/"}, {"/ ", "/"}, {" - ", "-"}, {"OUT OF SERVICE", "OOS"}, {"DEGRADED", "DEGR"},
    {"International", "Intl"}, {"Mountain", "Mtn"}, {"Peninsula", "Pen"}, {"Springs", "Spgs"}, {"County", "Co"},
    {"Marine", "Mar"}, {"Island", "Isl"}, {"Falls", "Fls"}, {"Saint ", "St "}, {"Nat'l.", "NP"}, {"Street", "St"},
    {"North", "N"}, {"South", "S"}, {"East", "E"}, {"West", "W"}, {"River", "Rv"}, {"Park", "Pk"}, {"City", "Cy"},
    {". ", "."},
};

const char *const kFrequencies[] = {"162.400", "162.425", "162.450", "162.475", "162.500", "162.525", "162.550"};

// Blanks of any kind (no-break spaces included) made single, ends trimmed.
QString squeeze(const QString &text)
{
    return text.simplified();
}

int stateIdOf(const QString &postal)
{
    for (int i = 0; i < StateDatabase::StateCount; ++i) {
        if (postal == QLatin1String(kStates[i].postal))
            return i;
    }
    return -1;
}

QString postalOfNumber(const QString &number)
{
    if (number == QLatin1String("11"))
        return QStringLiteral("DC");
    for (const StateCode &s : kStates) {
        if (number == QLatin1String(s.number))
            return QString::fromLatin1(s.postal);
    }
    return QString();
}

// "162.55", "162.5500" and " 162.550 " are 162.550; anything else is empty.
QString canonicalFrequency(const QString &text)
{
    bool ok = false;
    const double f = text.trimmed().toDouble(&ok);
    if (!ok)
        return QString();
    for (const char *known : kFrequencies) {
        if (std::abs(f - QByteArray(known).toDouble()) < 0.0005)
            return QString::fromLatin1(known);
    }
    return QString();
}

bool sixDigits(const QString &code)
{
    if (code.size() != 6)
        return false;
    for (const QChar c : code) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

bool noCoverageSite(const QString &site)
{
    return squeeze(site).contains(QLatin1String("No NWR Coverage"), Qt::CaseInsensitive);
}

double coordinate(const QString &text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(v) ? v : std::nan("");
}

QString stateNameOf(int stateId)
{
    return StateDatabase::stateList().value(stateId);
}

} // namespace

QString kindName(IssueKind kind)
{
    switch (kind) {
    case IssueKind::BadCode: return QStringLiteral("bad code");
    case IssueKind::NoStateFile: return QStringLiteral("no state file");
    case IssueKind::BadFrequency: return QStringLiteral("bad frequency");
    case IssueKind::Cut: return QStringLiteral("cut");
    case IssueKind::Duplicate: return QStringLiteral("duplicate");
    case IssueKind::MissingCounty: return QStringLiteral("county with no row");
    case IssueKind::BadText: return QStringLiteral("not text");
    case IssueKind::BadRow: return QStringLiteral("bad row");
    case IssueKind::WrongState: return QStringLiteral("wrong state");
    case IssueKind::ControlCharacter: return QStringLiteral("control character");
    }
    return QString();
}

int stateIdOfPostal(const QString &postal)
{
    return stateIdOf(postal.trimmed().toUpper());
}

QString postalOfStateId(int stateId)
{
    return stateId >= 0 && stateId < StateDatabase::StateCount ? QString::fromLatin1(kStates[stateId].postal) : QString();
}

QByteArray ListingInfo::serialise() const
{
    QString s;
    s += QStringLiteral("name=") + QString(name).remove(QLatin1Char('\n')) + QLatin1Char('\n');
    s += QStringLiteral("date=") + QString(date).remove(QLatin1Char('\n')) + QLatin1Char('\n');
    s += QStringLiteral("rows=%1\n").arg(rows);
    s += QStringLiteral("shape=") + shape + QLatin1Char('\n');
    if (!imported.isEmpty())
        s += QStringLiteral("imported=") + imported + QLatin1Char('\n');
    return s.toUtf8();
}

ListingInfo ListingInfo::parse(const QByteArray &text)
{
    ListingInfo info;
    for (const QByteArray &raw : text.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString key = line.left(eq);
        const QString value = line.mid(eq + 1).left(200);
        if (key == QLatin1String("name"))
            info.name = value;
        else if (key == QLatin1String("date"))
            info.date = value;
        else if (key == QLatin1String("rows"))
            info.rows = value.toInt();
        else if (key == QLatin1String("shape"))
            info.shape = value;
        else if (key == QLatin1String("imported"))
            info.imported = value;
    }
    return info;
}

QMap<QString, QByteArray> Result::files() const
{
    QMap<QString, QByteArray> out;
    for (int id = 0; id < StateDatabase::StateCount; ++id) {
        QString text;
        for (const QString &line : stateLines.value(id))
            text += line + QStringLiteral("\r\n");
        out.insert(StateDatabase::GetStateFileName(id), text.toUtf8());
    }
    out.insert(TransmitterTable::FileName, TransmitterTable::serialise(transmitters));
    out.insert(InfoFileName, info.serialise());
    return out;
}

int Result::issueCount(IssueKind kind) const
{
    return issueCounts.value(int(kind));
}

QString shortenSite(const QString &site)
{
    QString s = squeeze(site);
    for (const auto &abbr : kSiteAbbreviations) {
        if (s.size() <= SiteWidth)
            break;
        s.replace(QLatin1String(abbr[0]), QLatin1String(abbr[1]));
    }
    return s;
}

QString shortenCounty(const QString &county)
{
    QString c = squeeze(county);
    if (c.size() > CountyWidth && c.startsWith(QLatin1String("City of ")))
        c = c.mid(8) + QStringLiteral(" City");
    return c;
}

QString stateLine(const QString &code, const QString &county, const QString &site, const QString &callsign,
                  const QString &frequency, bool *siteCut, bool *countyCut)
{
    QString c = shortenCounty(county);
    if (countyCut)
        *countyCut = c.size() > CountyWidth;
    c = c.left(CountyWidth);
    while (c.endsWith(QLatin1Char(' ')))
        c.chop(1);
    QString line = code + QStringLiteral("  ") + c.leftJustified(CountyWidth) + QLatin1Char(' ');
    if (siteCut)
        *siteCut = false;
    if (callsign.isEmpty()) {
        line += StateDatabase::NoCoverage;
    } else {
        QString s = shortenSite(site);
        if (siteCut)
            *siteCut = s.size() > SiteWidth;
        s = s.left(SiteWidth);
        while (s.endsWith(QLatin1Char(' ')))
            s.chop(1);
        line += s.leftJustified(SiteWidth) + QLatin1Char(' ') + callsign.leftJustified(CallWidth) + QLatin1Char(' ')
                + frequency;
    }
    return line.leftJustified(StateDatabase::LineLength);
}

namespace {

// One state file's lines while the listing is read, each with the key that
// puts it in place: the county's name as listed, its code, the site and the
// frequency, joined and compared as they are. NOAA's own listing is in that
// order, and so are the shipped files, whatever order the rows come in.
struct KeyedLine {
    QString key;
    QString line;
};

class Builder
{
public:
    Builder(const QString &name, const QVector<QStringList> &current) : current(current)
    {
        r.stateLines.resize(StateDatabase::StateCount);
        lines.resize(StateDatabase::StateCount);
        overflow.resize(StateDatabase::StateCount);
        r.info.name = name;
    }

    void add(const CoverageListing::Row &row);
    Result finish(const CoverageListing::Listing &listing);

private:
    void note(IssueKind kind, int line, const QString &text)
    {
        ++r.issueCounts[int(kind)];
        // A hostile file can have a bad row on every line: the first notes
        // are kept, the rest only counted.
        if (r.issues.size() < MaxNotes)
            r.issues.append(Issue{kind, line, text});
    }
    static void keep(QVector<KeyedLine> &to, const CoverageListing::Row &row, const QString &code, const QString &freq,
                     const QString &callsign, const QString &line)
    {
        to.append({row[Field::County] + code + row[Field::SiteName] + freq + callsign, line});
    }

    const QVector<QStringList> &current;
    Result r;
    QVector<QVector<KeyedLine>> lines;
    QVector<int> overflow;                        // lines counted past the limit, by state
    QHash<QString, int> seenLine;                 // state line -> input line, for duplicates
    QHash<QString, QPair<int, int>> homeless;     // postal -> (first line, rows)
    QStringList homelessOrder;
    QSet<QString> cutNoted;
    QSet<QString> newCodes;
    QVector<KeyedLine> dc;                        // the District's lines, after Maryland's
};

void Builder::add(const CoverageListing::Row &row)
{
    ++r.rowsRead;
    if (row.badText) {
        note(IssueKind::BadText, row.line,
             QStringLiteral("Line %1 is neither UTF-8 nor Latin-1 text; its row is left out.").arg(row.line));
        return;
    }
    // A control character (a tab, a line break inside quotes) would end up
    // in a state file, whose fixed columns it breaks: the station would
    // vanish for the county.
    for (int f = 0; f < CoverageListing::FieldCount; ++f) {
        const QString &v = row.values[size_t(f)];
        if (std::any_of(v.cbegin(), v.cend(), [](QChar c) { return c.category() == QChar::Other_Control; })) {
            note(IssueKind::ControlCharacter, row.line,
                 QStringLiteral("Line %1: the %2 holds a control character (a tab or a line break); the row is left out.")
                     .arg(row.line)
                     .arg(CoverageListing::fieldName(CoverageListing::Field(f))));
            return;
        }
    }
    const QString code = row[Field::Same].trimmed();
    if (!sixDigits(code)) {
        note(IssueKind::BadCode, row.line,
             QStringLiteral("Line %1: the county code \"%2\" is not six digits; the row is left out.")
                 .arg(row.line)
                 .arg(code.left(20)));
        return;
    }
    QString postal = row[Field::St].trimmed().toUpper();
    if (postal.isEmpty())
        postal = postalOfNumber(code.mid(1, 2));
    int stateId = stateIdOf(postal);
    const bool isDc = postal == QLatin1String("DC");
    // Digits 2 and 3 of the code name the county's state; a code of another
    // state would put a stranger into this state's file.
    const QString number = isDc ? QStringLiteral("11") : stateId >= 0 ? QString::fromLatin1(kStates[stateId].number) : QString();
    if (!number.isEmpty() && code.mid(1, 2) != number) {
        note(IssueKind::WrongState, row.line,
             QStringLiteral("Line %1: the county code %2 belongs to another state than %3; the row is left out.")
                 .arg(row.line)
                 .arg(code, postal));
        return;
    }
    if (stateId < 0 && !isDc) {
        const QString key = postal.isEmpty() ? QStringLiteral("(none)") : postal.left(10);
        auto it = homeless.find(key);
        if (it == homeless.end()) {
            homeless.insert(key, {row.line, 1});
            homelessOrder << key;
        } else {
            ++it->second;
        }
        return;
    }
    const QString callsign = row[Field::Callsign].trimmed();
    const bool covered = !callsign.isEmpty() && !noCoverageSite(row[Field::SiteName]);
    QString freq;
    if (covered) {
        freq = canonicalFrequency(row[Field::Freq]);
        if (freq.isEmpty()) {
            note(IssueKind::BadFrequency, row.line,
                 QStringLiteral("Line %1: \"%2\" (%3) is not one of the seven NOAA Weather Radio frequencies; "
                                "the row is left out.")
                     .arg(row.line)
                     .arg(row[Field::Freq].trimmed().left(20), callsign.left(10)));
            return;
        }
        if (callsign.size() > CallWidth) {
            note(IssueKind::BadRow, row.line,
                 QStringLiteral("Line %1: the call sign \"%2\" is longer than %3 characters; the row is left out.")
                     .arg(row.line)
                     .arg(callsign.left(20))
                     .arg(CallWidth));
            return;
        }
    }
    bool siteCut = false;
    bool countyCut = false;
    const QString line = stateLine(code, row[Field::County], row[Field::SiteName], covered ? callsign : QString(),
                                   freq, &siteCut, &countyCut);
    const QString dupKey = QString::number(stateId) + line;
    const auto dup = seenLine.constFind(dupKey);
    // A state with more lines than the editor reads is refused at the end;
    // its lines are counted from here on, not kept.
    if (dup == seenLine.constEnd() && (isDc ? dc : lines[stateId]).size() > StateDatabase::LineBufferSize) {
        ++overflow[isDc ? Maryland : stateId];
        ++r.rowsUsed;
        return;
    }
    if (dup != seenLine.constEnd()) {
        note(IssueKind::Duplicate, row.line,
             QStringLiteral("Line %1 repeats line %2 (%3, %4); it is left out.")
                 .arg(row.line)
                 .arg(*dup)
                 .arg(code, covered ? callsign : QStringLiteral("no coverage")));
        return;
    }
    seenLine.insert(dupKey, row.line);
    if (siteCut && !cutNoted.contains(QStringLiteral("s") + row[Field::SiteName])) {
        cutNoted.insert(QStringLiteral("s") + row[Field::SiteName]);
        note(IssueKind::Cut, row.line,
             QStringLiteral("Line %1: the location \"%2\" is longer than %3 characters and was cut to \"%4\".")
                 .arg(row.line)
                 .arg(squeeze(row[Field::SiteName]))
                 .arg(SiteWidth)
                 .arg(line.mid(31, SiteWidth).trimmed()));
    }
    if (countyCut && !cutNoted.contains(QStringLiteral("c") + row[Field::County])) {
        cutNoted.insert(QStringLiteral("c") + row[Field::County]);
        note(IssueKind::Cut, row.line,
             QStringLiteral("Line %1: the county name \"%2\" is longer than %3 characters and was cut to \"%4\".")
                 .arg(row.line)
                 .arg(squeeze(row[Field::County]))
                 .arg(CountyWidth)
                 .arg(line.mid(8, CountyWidth).trimmed()));
    }
    if (isDc) {
        if (dc.isEmpty())
            note(IssueKind::NoStateFile, row.line,
                 QStringLiteral("Line %1: the District of Columbia has no state file; its rows go into Maryland's "
                                "file, as they always have.")
                     .arg(row.line));
        keep(dc, row, code, freq, callsign, line);
    } else {
        keep(lines[stateId], row, code, freq, callsign, line);
    }
    newCodes.insert(code);
    ++r.rowsUsed;

    if (!covered)
        return;
    const QString field = line.mid(StateDatabase::FieldColumn - 1, StateDatabase::FieldLength);
    auto it = r.transmitters.find(field);
    if (it == r.transmitters.end()) {
        TransmitterInfo t;
        t.field = field;
        t.callsign = callsign;
        t.siteName = squeeze(row[Field::SiteName]);
        t.siteState = row[Field::SiteState].trimmed().toUpper();
        t.latitude = coordinate(row[Field::Lat]);
        t.longitude = coordinate(row[Field::Lon]);
        t.power = row[Field::Power].trimmed();
        t.status = squeeze(row[Field::Status]).toUpper();
        t.wfo = squeeze(row[Field::Wfo]);
        it = r.transmitters.insert(field, t);
    }
    const QString remark = squeeze(row[Field::Remarks]);
    if (!remark.isEmpty())
        it->remarks.insert(code, remark);
}

Result Builder::finish(const CoverageListing::Listing &listing)
{
    r.info.date = listing.date;
    r.info.rows = r.rowsRead;
    r.info.shape = CoverageListing::shapeName(listing.shape);
    if (!listing.error.isEmpty()) {
        Result refused;
        refused.info = r.info;
        refused.rowsRead = r.rowsRead;
        refused.stateLines.resize(StateDatabase::StateCount);
        refused.refused = true;
        refused.refusal = QStringLiteral("The file is not a county coverage listing: %1.").arg(listing.error);
        return refused;
    }
    auto byKey = [](const KeyedLine &a, const KeyedLine &b) { return a.key < b.key; };
    for (int id = 0; id < StateDatabase::StateCount; ++id) {
        std::stable_sort(lines[id].begin(), lines[id].end(), byKey);
        for (const KeyedLine &k : std::as_const(lines[id]))
            r.stateLines[id] << k.line;
        lines[id] = {};
    }
    std::stable_sort(dc.begin(), dc.end(), byKey);
    for (const KeyedLine &k : std::as_const(dc))
        r.stateLines[Maryland] << k.line;

    for (const QString &postal : std::as_const(homelessOrder)) {
        const auto h = homeless.value(postal);
        note(IssueKind::NoStateFile, h.first,
             QStringLiteral("Line %1: %2 has no state file; its %3 row(s) are left out.")
                 .arg(h.first)
                 .arg(postal)
                 .arg(h.second));
    }

    // Counties listed today that the new listing does not name at all.
    QStringList emptied;
    for (int id = 0; id < StateDatabase::StateCount; ++id) {
        QSet<QString> noted;
        bool hadCounties = false;
        for (const QString &old : current.value(id)) {
            if (!StateDatabase::usableLine(old))
                continue;
            hadCounties = true;
            const QString code = old.left(6);
            if (newCodes.contains(code) || noted.contains(code))
                continue;
            noted.insert(code);
            note(IssueKind::MissingCounty, 0,
                 QStringLiteral("%1 %2 (%3) is listed today but has no row in this listing; it will no longer be offered.")
                     .arg(code, old.mid(8, CountyWidth).trimmed(), StateDatabase::GetStateName(old)));
        }
        if (hadCounties && r.stateLines.at(id).isEmpty())
            emptied << stateNameOf(id);
        const qsizetype lineCount = r.stateLines.at(id).size() + overflow.at(id);
        if (lineCount > StateDatabase::LineBufferSize && !r.refused) {
            r.refused = true;
            r.refusal = QStringLiteral("%1 would have %2 lines; the editor reads at most %3 per state.")
                            .arg(stateNameOf(id))
                            .arg(lineCount)
                            .arg(StateDatabase::LineBufferSize);
        }
    }
    if (r.rowsUsed == 0) {
        r.refused = true;
        r.refusal = QStringLiteral("The file has no usable rows (%1 read).").arg(r.rowsRead);
    } else if (!emptied.isEmpty()) {
        r.refused = true;
        r.refusal = QStringLiteral("The listing has no counties for %1, which have counties today.")
                        .arg(emptied.join(QStringLiteral(", ")));
    }
    return r;
}

} // namespace

Result build(const CoverageListing::Listing &listing, const QString &name, const QVector<QStringList> &current)
{
    Builder b(name, current);
    for (const CoverageListing::Row &row : listing.rows)
        b.add(row);
    return b.finish(listing);
}

QVector<QStringList> readFolder(const QString &folder)
{
    QVector<QStringList> out(StateDatabase::StateCount);
    for (int id = 0; id < StateDatabase::StateCount; ++id)
        StateDatabase::readStateLines(QDir(folder).filePath(StateDatabase::GetStateFileName(id)), &out[id]);
    return out;
}

Result importFile(const QString &path, const QString &currentFolder)
{
    const QFileInfo fi(path);
    Result r;
    auto refuse = [&](const QString &why) {
        r.refused = true;
        r.refusal = why;
        r.info.name = fi.fileName();
        return r;
    };
    if (!fi.exists())
        return refuse(QStringLiteral("%1 does not exist.").arg(QDir::toNativeSeparators(path)));
    // A pipe or a device would never end; a folder is no listing.
    if (!fi.isFile())
        return refuse(QStringLiteral("%1 is not a regular file.").arg(QDir::toNativeSeparators(path)));
    if (fi.size() > CoverageListing::MaxBytes)
        return refuse(QStringLiteral("%1 is too large to be a county coverage listing.").arg(QDir::toNativeSeparators(path)));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return refuse(QStringLiteral("%1 cannot be read: %2.").arg(QDir::toNativeSeparators(path), f.errorString()));
    const QByteArray bytes = f.read(CoverageListing::MaxBytes + 1);
    if (f.error() != QFile::NoError)
        return refuse(QStringLiteral("%1 cannot be read: %2.").arg(QDir::toNativeSeparators(path), f.errorString()));
    // The rows go into the state files as they are read, never all held.
    const QVector<QStringList> current = readFolder(currentFolder);
    Builder b(fi.fileName(), current);
    CoverageListing::Listing listing = CoverageListing::scan(bytes, [&b](CoverageListing::Row &&row) { b.add(row); });
    if (listing.date.isEmpty())
        listing.date = fi.lastModified().toUTC().toString(QStringLiteral("yyyy-MM-dd"));
    return b.finish(listing);
}

} // namespace CoverageImport
