// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "config/core/ReceiverConfig.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

class AppContext;
class QSettings;

// Moves ReceiverConfig between memory and the settings store (application
// "NX4400C", sections EDITOR, NV8007..NV800F, TIMERS; 88 keys).
// A store that cannot be used (see SettingsStoreProblem) is not read: the
// defaults are loaded, the reason goes to the left status panel and to
// *problem, and the result is false.
bool LoadConfiguration(AppContext &ctx, QString *problem = nullptr);
// Returns false when the store could not be written (the exit goes on), with
// the reason in *why. A store that cannot be used is never saved over.
bool SaveConfiguration(AppContext &ctx, QString *why = nullptr);

// The file of the settings store: ctx.settingsPath, or the per-user file
// QSettings keeps ($XDG_CONFIG_HOME, else $HOME/.config, then
// NX4400C/NX4400C.ini).
QString SettingsStoreFile(const AppContext &ctx);
// Empty while the store can be used: there is no file yet, or a regular file
// this program may read, of sane size. Otherwise one sentence naming the file
// and what is wrong with it: a pipe (whose open would wait forever), a device,
// a folder, a link to nothing, a file we may not read or a huge one; or, with
// HOME unset, no place for a per-user store at all. While there is a problem,
// AppContext::openSettings hands out a store with no file behind it (it
// reads nothing and refuses every write), and a transfer must not start: the
// receiver would get factory defaults in place of the user's settings.
QString SettingsStoreProblem(const AppContext &ctx);
inline constexpr qint64 SettingsStoreMaxBytes = 1024 * 1024;

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
