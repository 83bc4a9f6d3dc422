// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/core/ConfigRules.h"

#include "config/core/ReceiverTimeZone.h"
#include "config/core/SettingsStore.h"

#include <QRegularExpression>

namespace ConfigRules {

namespace {

struct Range {
    const char *section;
    const char *key;
    int low;
    int high;
    const char *meaning;   // what the number stands for, or nullptr
};

// The integer keys and what their windows offer. The time zone list of the
// Setup window runs from Atlantic (-4) to Midway (-11); the timer pages'
// option buttons give codes 1..6 (minutes, or 5 to 30 minute intervals)
// and 0..4 (the delays); the county window's state list has 54 entries and
// its frequency filter eight.
constexpr Range kRanges[] = {
    {"EDITOR", "SerialPort", 1, 4, "the port number"},
    {"EDITOR", "TimeZoneOffset", -11, -4, "hours from UTC: -4 Atlantic, -5 Eastern, -6 Central, -7 Mountain, "
                                          "-8 Pacific, -9 Alaska, -10 Hawaii, -11 Midway"},
    {"EDITOR", "StateID", 0, 53, "the state's place in the state list; 8 is Florida"},
    {"EDITOR", "FrequencyListingFilter", 0, 7, "0 all frequencies, 1 to 7 only 162.400 to 162.550 MHz"},
    {"TIMERS", "SpeakerTimeoutTimer", 1, 6, "minutes"},
    {"TIMERS", "LineTimeoutTimer", 1, 6, "minutes"},
    {"TIMERS", "VoiceIntervalTimer", 1, 6, "1 = every 5 minutes ... 6 = every 30 minutes"},
    {"TIMERS", "RelayDelayTimer", 0, 4, nullptr},
    {"TIMERS", "PreVoiceAnnc", 0, 4, nullptr},
};

const Range *rangeOf(const ConfigKey &key)
{
    for (const Range &r : kRanges) {
        if (qstrcmp(r.section, key.section) == 0 && qstrcmp(r.key, key.key) == 0)
            return &r;
    }
    return nullptr;
}

// Flags that the windows edit as option buttons: at most one of each group
// is true. The rear inputs and pulse outputs offer their spare flags as
// buttons too.
struct Group {
    const char *section;
    QStringList keys;   // empty: every key of the section
};

const QList<Group> &groups()
{
    static const QList<Group> all{
        {"NV800B", {QStringLiteral("VocAllEvents"), QStringLiteral("VocWarningsWatch"), QStringLiteral("VocWarnings")}},
        {"NV8009", {}},
        {"NV800A", {}},
        {"NV800D", {}},
        {"NV800E", {}},
        {"NV800F",
         {QStringLiteral("HighTrigCodeMatch"), QStringLiteral("HighTrigAfterStart"),
          QStringLiteral("HighTrigAfterRelayTimer"), QStringLiteral("HighTrigBeginSynVoice"),
          QStringLiteral("HighTrigBeginWxReport")}},
        {"NV800F", {QStringLiteral("LowTrigEndPacket"), QStringLiteral("LowTrigAlertEnd"), QStringLiteral("Spare800F_1")}},
    };
    return all;
}

const Group *groupOf(const ConfigKey &key)
{
    for (const Group &g : groups()) {
        if (qstrcmp(g.section, key.section) != 0)
            continue;
        if (g.keys.isEmpty() || g.keys.contains(QLatin1String(key.key)))
            return &g;
    }
    return nullptr;
}

bool inGroup(const Group &g, const ConfigKey &key)
{
    return qstrcmp(g.section, key.section) == 0 && (g.keys.isEmpty() || g.keys.contains(QLatin1String(key.key)));
}

bool isKey(const ConfigKey &key, const char *section, const char *name)
{
    return qstrcmp(key.section, section) == 0 && qstrcmp(key.key, name) == 0;
}

constexpr int MaxStationIdCharacters = 15;

bool hasControlCharacters(const QString &text)
{
    for (QChar c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            return true;
    }
    return false;
}

// A refused value as it is quoted back: short, and without the control
// characters that could rewrite the user's terminal.
QString quoted(const QString &text)
{
    QString s = text.left(40);
    for (QChar &c : s) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    }
    return s + (text.size() > 40 ? QStringLiteral("...") : QString());
}

} // namespace

QString fullName(const ConfigKey &key)
{
    return QLatin1String(key.section) + QLatin1Char('/') + QLatin1String(key.key);
}

QList<const ConfigKey *> everyKey()
{
    QList<const ConfigKey *> keys;
    for (const ConfigKey &k : configKeys())
        keys << &k;
    for (const ConfigKey &k : optionalConfigKeys())
        keys << &k;
    return keys;
}

const ConfigKey *findKey(const QString &name, QString *why)
{
    const QString wanted = name.trimmed();
    QList<const ConfigKey *> matches;
    for (const ConfigKey *key : everyKey()) {
        const ConfigKey &k = *key;
        if (wanted.compare(fullName(k), Qt::CaseInsensitive) == 0
            || wanted.compare(QLatin1String(k.section) + QLatin1Char('.') + QLatin1String(k.key), Qt::CaseInsensitive) == 0)
            return &k;
        if (wanted.compare(QLatin1String(k.key), Qt::CaseInsensitive) == 0)
            matches << &k;
    }
    if (matches.size() == 1)
        return matches.first();
    if (why) {
        if (matches.isEmpty()) {
            *why = QStringLiteral("there is no setting \"%1\" (nx4400c-cli config list shows them all)").arg(wanted);
        } else {
            QStringList names;
            for (const ConfigKey *k : matches)
                names << fullName(*k);
            *why = QStringLiteral("\"%1\" is in more than one section; name one of %2")
                       .arg(wanted, names.join(QLatin1String(", ")));
        }
    }
    return nullptr;
}

bool isSettable(const ConfigKey &key)
{
    if (isKey(key, "EDITOR", "EditorVersion") || isKey(key, "EDITOR", "ReceiverVersion"))
        return false;
    // A spare flag outside an option group has no control in any window.
    if (QLatin1String(key.key).startsWith(QLatin1String("Spare")) && !groupOf(key))
        return false;
    return true;
}

QString allowedValues(const ConfigKey &key)
{
    if (!isSettable(key)) {
        if (isKey(key, "EDITOR", "ReceiverVersion"))
            return QStringLiteral("read only: the receiver's ROM version, set by each transfer");
        if (isKey(key, "EDITOR", "EditorVersion"))
            return QStringLiteral("read only: the editor's version");
        return QStringLiteral("read only: a spare flag that no window changes");
    }
    switch (key.type) {
    case ConfigKey::Type::Boolean: {
        QString s = QStringLiteral("True or False");
        if (const Group *g = groupOf(key)) {
            Q_UNUSED(g);
            s += QStringLiteral(" (True clears the other flags of its group, as the window's option buttons do)");
        }
        return s;
    }
    case ConfigKey::Type::Integer:
        if (const Range *r = rangeOf(key)) {
            // The time zones count downwards from Atlantic, as the list shows them.
            QString s = r->high < 0 ? QStringLiteral("%1 to %2").arg(r->high).arg(r->low)
                                    : QStringLiteral("%1 to %2").arg(r->low).arg(r->high);
            if (r->meaning)
                s += QStringLiteral(" (%1)").arg(QLatin1String(r->meaning));
            return s;
        }
        return QStringLiteral("a whole number");
    case ConfigKey::Type::String:
        if (isKey(key, "EDITOR", "UserStationID"))
            return QStringLiteral("up to %1 letters A to Z and digits 0 to 9, or empty").arg(MaxStationIdCharacters);
        if (isKey(key, "EDITOR", "TimeZoneName"))
            return QStringLiteral("an IANA time zone whose standard time is %1 (America/Denver), or empty for "
                                  "the computer's daylight time; sets TimeZoneOffset to its standard offset")
                .arg(ReceiverTimeZone::allowedOffsetsText());
        return QStringLiteral("text on one line");
    }
    return QString();
}

bool assign(const ConfigKey &key, ReceiverConfig &config, const QString &text, QString *why, QStringList *changed)
{
    auto refuse = [&](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    const QString name = fullName(key);
    if (!isSettable(key))
        return refuse(QStringLiteral("%1 cannot be set: it is %2").arg(name, allowedValues(key)));
    const QString refusal = QStringLiteral("%1 takes %2, not \"%3\"").arg(name, allowedValues(key), quoted(text));

    switch (key.type) {
    case ConfigKey::Type::Boolean: {
        // Words, or 1 and 0; the store reads other numbers too, but "2" from
        // a user is more likely a slip than a wish for True.
        const QString t = text.trimmed();
        bool value = false;
        if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || t == QLatin1String("1"))
            value = true;
        else if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0 || t == QLatin1String("0"))
            value = false;
        else
            return refuse(refusal);
        if (value) {
            if (const Group *g = groupOf(key)) {
                for (const ConfigKey &other : configKeys()) {
                    if (&other == &key || other.type != ConfigKey::Type::Boolean || !inGroup(*g, other))
                        continue;
                    bool *flag = other.boolIn(config);
                    if (*flag && changed)
                        *changed << fullName(other);
                    *flag = false;
                }
            }
        }
        *key.boolIn(config) = value;
        return true;
    }
    case ConfigKey::Type::Integer: {
        // Whole numbers only: the store would round "-7.4", a user meant something else.
        static const QRegularExpression whole(QStringLiteral("^\\s*[+-]?\\d{1,6}\\s*$"));
        if (!whole.match(text).hasMatch())
            return refuse(refusal);
        const int v = text.trimmed().toInt();
        if (const Range *r = rangeOf(key); r && (v < r->low || v > r->high))
            return refuse(refusal);
        if (v < -32768 || v > 32767)
            return refuse(refusal);
        // An offset other than the named zone's standard one means another
        // zone: the name goes, so that the two never disagree.
        if (isKey(key, "EDITOR", "TimeZoneOffset") && !config.TimeZoneName.isEmpty()) {
            int hours = 0;
            if (!ReceiverTimeZone::checkName(config.TimeZoneName, &hours, nullptr) || hours != v) {
                config.TimeZoneName.clear();
                if (changed)
                    *changed << QStringLiteral("EDITOR/TimeZoneName");
            }
        }
        config.*key.intField = int16_t(v);
        return true;
    }
    case ConfigKey::Type::String:
        if (hasControlCharacters(text))
            return refuse(QStringLiteral("%1 takes %2; the value holds a line break or a control character")
                              .arg(name, allowedValues(key)));
        if (isKey(key, "EDITOR", "UserStationID")) {
            const QString upper = text.toUpper();
            static const QRegularExpression letters(QStringLiteral("^[A-Z0-9]{0,15}$"));
            if (!letters.match(upper).hasMatch())
                return refuse(refusal);
            config.*key.stringField = upper;
            return true;
        }
        if (isKey(key, "EDITOR", "TimeZoneName")) {
            const QString zone = text.trimmed();
            int hours = 0;
            QString reason;
            if (!zone.isEmpty() && !ReceiverTimeZone::checkName(zone, &hours, &reason))
                return refuse(QStringLiteral("%1: %2").arg(name, reason));
            config.TimeZoneName = zone;
            if (!zone.isEmpty() && config.TimeZoneOffset != hours) {
                config.TimeZoneOffset = int16_t(hours);
                if (changed)
                    *changed << QStringLiteral("EDITOR/TimeZoneOffset");
            }
            return true;
        }
        config.*key.stringField = text;
        return true;
    }
    return refuse(refusal);
}

} // namespace ConfigRules
