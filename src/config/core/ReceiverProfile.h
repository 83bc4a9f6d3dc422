// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/SafeWrite.h"

#include "config/core/ReceiverConfig.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// A receiver profile: one text file that holds a whole receiver setup, so
// that the same setup can be kept, mailed, and sent to many receivers. It
// holds the receiver's settings, the 99 county lines and the 49 event slots,
// and leaves out what belongs to the computer the editor runs on.
//
//     NX4400C-PROFILE 1
//     # comment
//     [Settings]
//     EDITOR.StateID=8
//     EDITOR.TransmitterLocation="Miami       162.475"
//     NV8008.SpeakerActive=True
//     TIMERS.SpeakerTimeoutTimer=3
//     [Counties]
//     00="X 012011  Broward                Florida"
//     [Events]
//     00=CFA
//
// UTF-8 text, LF or CR LF line ends. The first line names the format and
// its version. Blank lines and lines whose first non-blank character is "#"
// are comments. Every setting of the profile appears once as SECTION.Key;
// booleans read True/False (any letter case) or 1, -1, 0; integers are
// plain decimal numbers. Text values stand in double quotes: the value is
// everything between the first quote after "=" and the last quote of the
// line, taken as it is, so leading and trailing blanks (the two blanks of
// an unticked county line, the padding of a transmitter field) survive a
// text editor that strips line ends. No control character may appear in a
// value. Counties and events are written by slot number (county 00..98,
// event 00..48); a slot that is not written is empty.
namespace ReceiverProfileFormat {
inline const QString FormatName = QStringLiteral("NX4400C-PROFILE");
constexpr int Version = 1;
constexpr int CountySlots = 99;
constexpr int EventSlots = 49;
constexpr int MaxTickedCounties = 24;   // what the receiver holds
constexpr int MaxEvents = 48;           // what the receiver holds
constexpr qint64 MaxFileBytes = 1024 * 1024;   // a full profile is about 8 KB
constexpr int MaxTextLength = 200;      // longest county line or text setting
constexpr int StateListSize = 54;       // entries of the state list (StateID 0..53)
constexpr int FrequencyFilters = 8;     // FrequencyListingFilter 0..7

// Whether a settings key is part of a profile. Left out, since they describe
// the computer or the user at it rather than the receiver: SerialPort,
// WorkingDirectory, EditorVersion, ReceiverVersion (the ROM of whichever
// receiver was programmed last), ShowTipsAtStartup, TimeZoneOffset and
// DaylightSavings (the clock history times are shown in).
bool isProfileKey(const ConfigKey &key);
// "EDITOR.StateID", as written in the file.
QString keyName(const ConfigKey &key);
} // namespace ReceiverProfileFormat

struct ReceiverProfile {
    ReceiverConfig config;
    QStringList FipEntries;       // 99 county lines
    QStringList EventSelection;   // 49 event slots
};

// Where and why a profile was refused; line is 1-based, 0 when the fault
// belongs to the file as a whole.
struct ProfileError {
    int line = 0;
    QString reason;
};

// The text of a profile. Timer codes the receiver does not accept are
// written as 0, which packs into the same image byte.
QByteArray FormatProfile(const ReceiverConfig &config, const QStringList &fips, const QStringList &events);

// Reads profile text. `profile.config` comes in as the current settings and
// keeps the keys a profile leaves out; the county and event lists are built
// anew. All or nothing: on failure `profile` is untouched and `error` says
// which line is wrong and why.
bool ParseProfile(const QByteArray &data, ReceiverProfile &profile, ProfileError *error);

// Writes the profile to `path` in one step (the old file stays whole when
// anything fails). Refuses, writing nothing, a setup that the loader would
// refuse (more than 24 ticked counties, a malformed event code, ...), so a
// saved profile always loads again. `error` gets a sentence naming the file.
// A symbolic link at `path` is refused unless `link` says to replace it.
bool SaveProfile(const QString &path, const ReceiverConfig &config, const QStringList &fips,
                 const QStringList &events, QString *error, LinkAtName link = LinkAtName::Refuse);

// Reads the profile at `path` into the three arguments, all or nothing.
// Only a regular file of at most 1 MiB is read; a folder, a pipe or a device
// is refused without blocking. `error` gets "FILE: line N: why".
bool LoadProfile(const QString &path, ReceiverConfig &config, QStringList &fips, QStringList &events,
                 QString *error);
