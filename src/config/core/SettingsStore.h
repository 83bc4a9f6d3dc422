// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Services.h"
#include "config/core/ReceiverConfig.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

class QSettings;
class Services;

// Moves ReceiverConfig between memory and the settings store (application
// "NX4400C", sections EDITOR, NV8007..NV800F, TIMERS; 88 keys).
// A store that cannot be used (Services::settingsProblem) is not read: the
// defaults are loaded, the reason goes to the left status panel and to
// *problem, and the result is false.
bool LoadConfiguration(const Services &services, ReceiverConfig &config, QString *problem = nullptr);
// Returns false when the store could not be written (the exit goes on), with
// the reason in *why. A store that cannot be used is never saved over.
bool SaveConfiguration(const Services &services, const ReceiverConfig &config, QString *why = nullptr);

// Services::settingsFile and Services::settingsProblem, by the store's name.
QString SettingsStoreFile(const Services &services);
QString SettingsStoreProblem(const Services &services);
inline constexpr qint64 SettingsStoreMaxBytes = Services::SettingsStoreMaxBytes;

// The text forms of the store. A boolean is written "True" or "False" and
// read back from those words in any letter case or from a number (0 is
// false, any other number true). An integer is read from a decimal number,
// rounded half to even; anything outside 16 bits does not convert.
QString formatStoreBoolean(bool value);
std::optional<bool> parseStoreBoolean(const QString &text);
std::optional<int16_t> parseStoreInteger(const QString &text);

// The field of `key` as the store holds it ("True", "-5", the text itself);
// also the listing of every value in the dump file.
QString configValueText(const ConfigKey &key, const ReceiverConfig &config);
// Converts `text` and assigns the field of `key`. Returns false, leaving the
// field untouched, when the text does not convert.
bool setConfigValueFromText(const ConfigKey &key, ReceiverConfig &config, const QString &text);
// The default text of `key`; WorkingDirectory's is the current directory.
QString configDefaultText(const ConfigKey &key);

// Loads all 88 keys from `store` into `config`. An absent key takes its
// default; so does a key whose stored value does not convert, and loading
// goes on with the others. Returns "SECTION/Key" of every key whose stored
// value was replaced by its default.
QStringList loadConfigurationFrom(QSettings &store, ReceiverConfig &config);
// Writes all 88 keys and flushes the store; false when writing failed (a
// store file that came out incomplete is put back as it was).
bool saveConfigurationTo(QSettings &store, const ReceiverConfig &config);
// True when the text of a store file holds all 88 keys and ends with a
// complete line.
bool storeFileHoldsEveryKey(const QByteArray &ini);
