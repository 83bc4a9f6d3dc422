// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/core/ReceiverProfile.h"

#include "base/Platform.h"
#include "base/SafeWrite.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QStringDecoder>

#include <optional>

using namespace ReceiverProfileFormat;

namespace {

const QString SettingsSection = QStringLiteral("[Settings]");
const QString CountiesSection = QStringLiteral("[Counties]");
const QString EventsSection = QStringLiteral("[Events]");

bool isKey(const ConfigKey &key, const char *section, const char *name)
{
    return qstrcmp(key.section, section) == 0 && qstrcmp(key.key, name) == 0;
}

// The values a profile accepts for an integer key. The timers take the codes
// the receiver knows, and 0 besides: the first three have no code 0, but 0
// packs exactly as any unknown code does (the receiver gets 0), so a setup
// holding an unknown code can still be saved without changing its image.
struct IntRange {
    int low;
    int high;
};

IntRange rangeOf(const ConfigKey &key)
{
    if (isKey(key, "EDITOR", "StateID"))
        return {0, StateListSize - 1};
    if (isKey(key, "EDITOR", "FrequencyListingFilter"))
        return {0, FrequencyFilters - 1};
    if (key.imageByte >= 1 && key.imageByte <= 3)
        return {0, 6};
    if (key.imageByte >= 4 && key.imageByte <= 5)
        return {0, 4};
    return {-32768, 32767};
}

bool isTimer(const ConfigKey &key)
{
    return key.type == ConfigKey::Type::Integer && key.imageByte >= 1 && key.imageByte <= 5;
}

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The text shown in a message for a value the user wrote: cut short, so a
// stray long line does not fill the screen.
QString shown(const QString &value)
{
    return value.size() > 40 ? quoted(value.left(40) + QStringLiteral("...")) : quoted(value);
}

bool hasControlCharacter(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return true;
    }
    return false;
}

bool isThreeCapitals(const QString &code)
{
    if (code.size() != 3)
        return false;
    for (QChar c : code) {
        if (c < QLatin1Char('A') || c > QLatin1Char('Z'))
            return false;
    }
    return true;
}

bool isStationId(const QString &id)
{
    // The identification page admits A-Z and 0-9; the receiver speaks
    // fifteen characters at most.
    if (id.size() > 15)
        return false;
    for (QChar c : id) {
        const bool letter = c >= QLatin1Char('A') && c <= QLatin1Char('Z');
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (!letter && !digit)
            return false;
    }
    return true;
}

bool isTicked(const QString &countyLine)
{
    return countyLine.startsWith(QLatin1String("X "));
}

// A county line the receiver gets a code from must carry six digits after
// its mark; anything else would go out as a code no alert can match.
bool hasFipCode(const QString &countyLine)
{
    if (countyLine.size() < 8)
        return false;
    for (int i = 2; i < 8; ++i) {
        if (!countyLine.at(i).isDigit() || countyLine.at(i).unicode() > 0x7F)
            return false;
    }
    return true;
}

QString slotName(int slot)
{
    return QStringLiteral("%1").arg(slot, 2, 10, QLatin1Char('0'));
}

std::optional<bool> parseBoolean(const QString &value)
{
    if (value.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 || value == QLatin1String("1")
        || value == QLatin1String("-1"))
        return true;
    if (value.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0 || value == QLatin1String("0"))
        return false;
    return std::nullopt;
}

std::optional<int> parseInteger(const QString &value)
{
    // Plain decimal digits with an optional sign; no fractions, exponents or
    // blanks inside, since a profile is written by this program or by a
    // person who can be told exactly what is wrong.
    if (value.isEmpty() || value.size() > 7)
        return std::nullopt;
    int start = (value.at(0) == QLatin1Char('-') || value.at(0) == QLatin1Char('+')) ? 1 : 0;
    if (start == value.size())
        return std::nullopt;
    for (int i = start; i < value.size(); ++i) {
        if (value.at(i) < QLatin1Char('0') || value.at(i) > QLatin1Char('9'))
            return std::nullopt;
    }
    return value.toInt();
}

// Reads the whole profile; one object per parse, so a failure anywhere
// leaves the caller's data as it was.
class Parser
{
public:
    Parser(ReceiverProfile &profile)
        : m_result(profile)
    {
        for (const ConfigKey &key : configKeys()) {
            m_allKeys.insert(keyName(key), &key);
        }
        m_result.FipEntries.clear();
        m_result.EventSelection.clear();
        for (int i = 0; i < CountySlots; ++i)
            m_result.FipEntries << QString();
        for (int i = 0; i < EventSlots; ++i)
            m_result.EventSelection << QString();
    }

    bool parse(const QByteArray &data, ProfileError *error);

private:
    bool fail(int line, const QString &reason)
    {
        m_error = {line, reason};
        return false;
    }
    bool formatLine(const QString &line);
    bool sectionLine(int n, const QString &line);
    bool settingLine(int n, const QString &key, const QString &value);
    bool countyLine(int n, const QString &key, const QString &value);
    bool eventLine(int n, const QString &key, const QString &value);
    bool finish(int lastLine);
    // The text between the quotes of a text value.
    bool unquote(int n, const QString &what, const QString &value, QString *text);
    bool slotNumber(int n, const QString &key, int slotCount, const char *what, int *slot);

    ReceiverProfile &m_result;
    ProfileError m_error;
    QHash<QString, const ConfigKey *> m_allKeys;
    QHash<QString, int> m_settingLines;   // key name -> line it was set on
    QHash<int, int> m_countyLines;        // slot -> line
    QHash<int, int> m_eventLines;
    QHash<QString, int> m_sectionLines;   // section header -> line
    QString m_section;
    int m_ticked = 0;
    int m_events = 0;
};

bool Parser::parse(const QByteArray &data, ProfileError *error)
{
    const bool ok = [&] {
        if (data.size() > MaxFileBytes)
            return fail(0, QStringLiteral("larger than 1 MiB, so not a receiver profile"));
        QByteArray bytes = data;
        if (bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);
        QList<QByteArray> rawLines = bytes.split('\n');
        // A file that ends with a line end has no further line after it.
        if (rawLines.size() > 1 && rawLines.last().isEmpty())
            rawLines.removeLast();
        int n = 0;
        for (QByteArray raw : rawLines) {
            ++n;
            if (raw.endsWith('\r'))
                raw.chop(1);
            if (raw.contains('\0'))
                return fail(n, QStringLiteral("a NUL byte: this is not a text file"));
            QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            QString line = utf8.decode(raw);
            if (utf8.hasError())
                return fail(n, QStringLiteral("not UTF-8 text"));
            // Blanks at the end of a line carry nothing: values that keep
            // blanks stand in quotes.
            while (!line.isEmpty() && (line.back() == QLatin1Char(' ') || line.back() == QLatin1Char('\t')))
                line.chop(1);
            if (n == 1) {
                if (!formatLine(line))
                    return false;
                continue;
            }
            const QString trimmed = line.trimmed();
            if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
                continue;
            if (trimmed.startsWith(QLatin1Char('['))) {
                if (!sectionLine(n, trimmed))
                    return false;
                continue;
            }
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (eq < 0)
                return fail(n, QStringLiteral("expected KEY=value"));
            const QString key = line.left(eq).trimmed();
            const QString value = line.mid(eq + 1).trimmed();
            if (m_section.isEmpty())
                return fail(n, QStringLiteral("a value before the first section"));
            bool lineOk = false;
            if (m_section == SettingsSection)
                lineOk = settingLine(n, key, value);
            else if (m_section == CountiesSection)
                lineOk = countyLine(n, key, value);
            else
                lineOk = eventLine(n, key, value);
            if (!lineOk)
                return false;
        }
        if (n == 0)
            return fail(1, QStringLiteral("the file is empty, so not a receiver profile"));
        return finish(n);
    }();
    if (!ok && error)
        *error = m_error;
    return ok;
}

bool Parser::formatLine(const QString &line)
{
    const QString expected = FormatName + QLatin1Char(' ') + QString::number(Version);
    if (line == expected)
        return true;
    const QString prefix = FormatName + QLatin1Char(' ');
    if (line.startsWith(prefix)) {
        if (const auto version = parseInteger(line.mid(prefix.size())); version && *version > 0) {
            return fail(1, QStringLiteral("format version %1; this editor reads version %2 only")
                               .arg(*version)
                               .arg(Version));
        }
    }
    return fail(1, QStringLiteral("the first line must be \"%1\": this is not a receiver profile").arg(expected));
}

bool Parser::sectionLine(int n, const QString &line)
{
    if (line != SettingsSection && line != CountiesSection && line != EventsSection)
        return fail(n, QStringLiteral("unknown section %1 (known: [Settings], [Counties], [Events])")
                           .arg(shown(line)));
    if (const auto it = m_sectionLines.constFind(line); it != m_sectionLines.constEnd())
        return fail(n, QStringLiteral("the section %1 appears again (first on line %2)").arg(line).arg(*it));
    m_sectionLines.insert(line, n);
    m_section = line;
    return true;
}

bool Parser::unquote(int n, const QString &what, const QString &value, QString *text)
{
    if (value.size() < 2 || !value.startsWith(QLatin1Char('"')) || !value.endsWith(QLatin1Char('"')))
        return fail(n, QStringLiteral("%1: the text must stand in double quotes").arg(what));
    *text = value.mid(1, value.size() - 2);
    if (hasControlCharacter(*text))
        return fail(n, QStringLiteral("%1: the text holds a control character").arg(what));
    if (text->size() > MaxTextLength)
        return fail(n, QStringLiteral("%1: the text is longer than %2 characters").arg(what).arg(MaxTextLength));
    return true;
}

bool Parser::settingLine(int n, const QString &name, const QString &value)
{
    const ConfigKey *key = m_allKeys.value(name);
    if (!key)
        return fail(n, QStringLiteral("unknown setting %1").arg(shown(name)));
    if (!isProfileKey(*key))
        return fail(n, QStringLiteral("%1 belongs to the computer, not to the receiver, and has no place in a profile")
                           .arg(name));
    if (const auto it = m_settingLines.constFind(name); it != m_settingLines.constEnd())
        return fail(n, QStringLiteral("%1 is set again (first on line %2)").arg(name).arg(*it));
    m_settingLines.insert(name, n);

    ReceiverConfig &config = m_result.config;
    switch (key->type) {
    case ConfigKey::Type::Boolean: {
        const auto b = parseBoolean(value);
        if (!b)
            return fail(n, QStringLiteral("%1 must be True or False, not %2").arg(name, shown(value)));
        *key->boolIn(config) = *b;
        return true;
    }
    case ConfigKey::Type::Integer: {
        const IntRange range = rangeOf(*key);
        const auto v = parseInteger(value);
        if (!v)
            return fail(n, QStringLiteral("%1 must be a whole number, not %2").arg(name, shown(value)));
        if (*v < range.low || *v > range.high)
            return fail(n, QStringLiteral("%1 is %2; it must be from %3 to %4")
                               .arg(name)
                               .arg(*v)
                               .arg(range.low)
                               .arg(range.high));
        config.*key->intField = static_cast<int16_t>(*v);
        return true;
    }
    case ConfigKey::Type::String: {
        QString text;
        if (!unquote(n, name, value, &text))
            return false;
        if (isKey(*key, "EDITOR", "UserStationID") && !isStationId(text))
            return fail(n, QStringLiteral("%1 must be at most 15 characters A-Z and 0-9, not %2")
                               .arg(name, shown(text)));
        config.*key->stringField = text;
        return true;
    }
    }
    return fail(n, QStringLiteral("unknown setting %1").arg(shown(name)));
}

bool Parser::slotNumber(int n, const QString &key, int slotCount, const char *what, int *slot)
{
    const auto v = key.size() <= 2 ? parseInteger(key) : std::nullopt;
    if (!v || key.startsWith(QLatin1Char('-')) || key.startsWith(QLatin1Char('+')) || *v >= slotCount)
        return fail(n, QStringLiteral("%1 slot %2 is not a number from 00 to %3")
                           .arg(QLatin1String(what), shown(key))
                           .arg(slotCount - 1));
    *slot = *v;
    return true;
}

bool Parser::countyLine(int n, const QString &key, const QString &value)
{
    int slot = 0;
    if (!slotNumber(n, key, CountySlots, "county", &slot))
        return false;
    if (const auto it = m_countyLines.constFind(slot); it != m_countyLines.constEnd())
        return fail(n, QStringLiteral("county %1 is given again (first on line %2)")
                           .arg(slotName(slot))
                           .arg(*it));
    m_countyLines.insert(slot, n);
    QString text;
    if (!unquote(n, QStringLiteral("county %1").arg(slotName(slot)), value, &text))
        return false;
    if (isTicked(text)) {
        if (!hasFipCode(text))
            return fail(n, QStringLiteral("county %1 is ticked but has no six-digit FIP code after \"X \"")
                               .arg(slotName(slot)));
        if (++m_ticked > MaxTickedCounties)
            return fail(n, QStringLiteral("county %1 is the %2th ticked county; the receiver holds at most %3")
                               .arg(slotName(slot))
                               .arg(m_ticked)
                               .arg(MaxTickedCounties));
    }
    m_result.FipEntries[slot] = text;
    return true;
}

bool Parser::eventLine(int n, const QString &key, const QString &value)
{
    int slot = 0;
    if (!slotNumber(n, key, EventSlots, "event", &slot))
        return false;
    if (const auto it = m_eventLines.constFind(slot); it != m_eventLines.constEnd())
        return fail(n, QStringLiteral("event %1 is given again (first on line %2)")
                           .arg(slotName(slot))
                           .arg(*it));
    m_eventLines.insert(slot, n);
    if (value.isEmpty())
        return true;
    if (!isThreeCapitals(value))
        return fail(n, QStringLiteral("event %1: %2 is not an event code of three capital letters A-Z")
                           .arg(slotName(slot), shown(value)));
    if (++m_events > MaxEvents)
        return fail(n, QStringLiteral("event %1 is the %2th event code; the receiver holds at most %3")
                           .arg(slotName(slot))
                           .arg(m_events)
                           .arg(MaxEvents));
    m_result.EventSelection[slot] = value;
    return true;
}

bool Parser::finish(int lastLine)
{
    for (const QString &section : {SettingsSection, CountiesSection, EventsSection}) {
        if (!m_sectionLines.contains(section))
            return fail(lastLine, QStringLiteral("the file ends without a %1 section").arg(section));
    }
    // A profile holds the whole setup: a missing setting would leave the
    // receiver with whatever this computer had, which differs from one
    // computer to the next.
    for (const ConfigKey &key : configKeys()) {
        if (isProfileKey(key) && !m_settingLines.contains(keyName(key)))
            return fail(m_sectionLines.value(SettingsSection),
                        QStringLiteral("the section [Settings] lacks %1").arg(keyName(key)));
    }
    return true;
}

QString withFile(const QString &path, const ProfileError &e)
{
    const QString file = QDir::toNativeSeparators(path);
    if (e.line > 0)
        return QStringLiteral("%1, line %2: %3").arg(file).arg(e.line).arg(e.reason);
    return QStringLiteral("%1: %2").arg(file, e.reason);
}

} // namespace

namespace ReceiverProfileFormat {

bool isProfileKey(const ConfigKey &key)
{
    if (qstrcmp(key.section, "EDITOR") != 0)
        return true;
    return isKey(key, "EDITOR", "StateID") || isKey(key, "EDITOR", "TransmitterLocation")
           || isKey(key, "EDITOR", "FrequencyListingFilter") || isKey(key, "EDITOR", "UserStationID");
}

QString keyName(const ConfigKey &key)
{
    return QLatin1String(key.section) + QLatin1Char('.') + QLatin1String(key.key);
}

} // namespace ReceiverProfileFormat

QByteArray FormatProfile(const ReceiverConfig &config, const QStringList &fips, const QStringList &events)
{
    QString t;
    t.reserve(16 * 1024);
    auto line = [&t](const QString &s) {
        t += s;
        t += QLatin1Char('\n');
    };
    line(FormatName + QLatin1Char(' ') + QString::number(Version));
    line(QStringLiteral("# NX-4400C receiver profile: the receiver's settings, county lines and event codes."));
    line(QStringLiteral("# One value a line; text in double quotes, taken exactly as it stands between them."));
    line(QStringLiteral("# Lines that start with # are comments."));
    line(QString());
    line(SettingsSection);
    line(QStringLiteral("# SECTION.Key=value: True or False, whole numbers, or \"text\". Not here, because they"));
    line(QStringLiteral("# belong to the computer: serial port, working folder, versions, tips, time zone."));
    QString section;
    for (const ConfigKey &key : configKeys()) {
        if (!isProfileKey(key))
            continue;
        const QString name = keyName(key);
        switch (key.type) {
        case ConfigKey::Type::Boolean:
            line(name + (*key.boolIn(config) ? QStringLiteral("=True") : QStringLiteral("=False")));
            break;
        case ConfigKey::Type::Integer: {
            int v = config.*key.intField;
            const IntRange range = rangeOf(key);
            if (isTimer(key) && (v < range.low || v > range.high))
                v = 0;
            line(name + QLatin1Char('=') + QString::number(v));
            break;
        }
        case ConfigKey::Type::String:
            line(name + QLatin1Char('=') + quoted(config.*key.stringField));
            break;
        }
    }
    line(QString());
    line(CountiesSection);
    line(QStringLiteral("# slot=\"line\" for slots 00 to 98: \"X \" and the six-digit FIP code for a ticked"));
    line(QStringLiteral("# county (at most 24), two blanks or no mark for one that is listed only."));
    for (int i = 0; i < CountySlots; ++i) {
        const QString entry = fips.value(i);
        if (!entry.isEmpty())
            line(slotName(i) + QLatin1Char('=') + quoted(entry));
    }
    line(QString());
    line(EventsSection);
    line(QStringLiteral("# slot=code for slots 00 to 48: three capital letters, at most 48 codes."));
    for (int i = 0; i < EventSlots; ++i) {
        const QString code = events.value(i);
        if (!code.isEmpty())
            line(slotName(i) + QLatin1Char('=') + code);
    }
    return t.toUtf8();
}

bool ParseProfile(const QByteArray &data, ReceiverProfile &profile, ProfileError *error)
{
    ReceiverProfile work = profile;
    Parser parser(work);
    if (!parser.parse(data, error))
        return false;
    profile = std::move(work);
    return true;
}

bool SaveProfile(const QString &path, const ReceiverConfig &config, const QStringList &fips,
                 const QStringList &events, QString *error, LinkAtName link)
{
    auto refuse = [&](const QString &reason) {
        if (error)
            *error = QStringLiteral("%1 was not saved: %2").arg(QDir::toNativeSeparators(path), reason);
        return false;
    };
    // A line break inside a value would split its line in the file; name
    // the value that holds it rather than the line it would make.
    for (const ConfigKey &key : configKeys()) {
        if (key.type == ConfigKey::Type::String && isProfileKey(key) && hasControlCharacter(config.*key.stringField))
            return refuse(QStringLiteral("%1 holds a control character").arg(keyName(key)));
    }
    for (int i = 0; i < CountySlots; ++i) {
        if (hasControlCharacter(fips.value(i)))
            return refuse(QStringLiteral("county %1 holds a control character").arg(slotName(i)));
    }
    for (int i = 0; i < EventSlots; ++i) {
        if (hasControlCharacter(events.value(i)))
            return refuse(QStringLiteral("event %1 holds a control character").arg(slotName(i)));
    }
    const QByteArray text = FormatProfile(config, fips, events);
    // What is written must load again: read it back before writing, and
    // refuse a setup the loader would refuse.
    ReceiverProfile check{config, {}, {}};
    ProfileError e;
    if (!ParseProfile(text, check, &e))
        return refuse(e.reason);
    QString why;
    if (!writeFileAtomically(path, text, &why, link))
        return refuse(why);
    return true;
}

bool LoadProfile(const QString &path, ReceiverConfig &config, QStringList &fips, QStringList &events,
                 QString *error)
{
    auto refuse = [&](const QString &reason) {
        if (error)
            *error = withFile(path, {0, reason});
        return false;
    };
    // Opened without blocking and checked on the open file itself: a pipe
    // or a device put in the profile's place (even between a check and the
    // open) is refused instead of waiting for a writer that never comes.
    QByteArray data;
    const Platform::ReadOutcome read = Platform::ReadRegularFile(path, MaxFileBytes, &data);
    switch (read.result) {
    case Platform::ReadOutcome::Ok:
        break;
    case Platform::ReadOutcome::CannotOpen:
        return refuse(QStringLiteral("cannot be opened (%1)").arg(Platform::ErrorText(read.error)));
    case Platform::ReadOutcome::CannotRead:
        return refuse(QStringLiteral("cannot be read (%1)").arg(Platform::ErrorText(read.error)));
    case Platform::ReadOutcome::NotRegular:
        return refuse(QStringLiteral("not a regular file, so not a receiver profile"));
    case Platform::ReadOutcome::TooLarge:
        // Also when it grew past the limit while it was read.
        return refuse(QStringLiteral("larger than 1 MiB, so not a receiver profile"));
    }

    ReceiverProfile profile{config, fips, events};
    ProfileError e;
    if (!ParseProfile(data, profile, &e)) {
        if (error)
            *error = withFile(path, e);
        return false;
    }
    config = std::move(profile.config);
    fips = std::move(profile.FipEntries);
    events = std::move(profile.EventSelection);
    return true;
}
