// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What each settings key may hold, as the setting windows allow it, so that
// a setting changed without a window (nx4400c-cli config set) can never hold
// a value the windows would not have written: a time zone outside -4..-11, a
// timer code the receiver does not know, two flags of one option group set
// at once.

#include "config/core/ReceiverConfig.h"

#include <QString>
#include <QStringList>

namespace ConfigRules {

// One key of the store as a user names it: "SECTION/Key" always works; the
// bare key works where it is unique ("TimeZoneOffset", but not
// "AcceptAllAlerts", which NV8009 and NV800A share). Letter case is ignored.
// Returns nullptr with the reason in *why.
const ConfigKey *findKey(const QString &name, QString *why = nullptr);

// "SECTION/Key".
QString fullName(const ConfigKey &key);

// The 88 keys, then the optional ones (EDITOR/TimeZoneName).
QList<const ConfigKey *> everyKey();

// The values the key takes, in words, for listings and refusals:
// "-4 to -11 (hours from UTC)", "True or False", "1 to 6".
QString allowedValues(const ConfigKey &key);

// False for the keys that no window changes (the versions, the spare flags
// outside option groups): they are shown but never set by hand.
bool isSettable(const ConfigKey &key);

// Checks `text` against the key's allowed values and, when it is allowed,
// puts it into `config` as the window would: a flag of an option group set
// to True clears the group's other flags; call letters are upper-cased; a
// time zone name sets TimeZoneOffset to the zone's standard offset, and
// another offset clears the name.
// Returns false with a sentence naming the allowed values in *why, and then
// leaves `config` exactly as it was. *changed lists every other key
// ("SECTION/Key") that the assignment changed.
bool assign(const ConfigKey &key, ReceiverConfig &config, const QString &text, QString *why,
            QStringList *changed = nullptr);

} // namespace ConfigRules
