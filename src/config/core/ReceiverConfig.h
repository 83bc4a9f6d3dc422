// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// The receiver's rear connector inputs share their keys (sections NV8009 and
// NV800A), as do the two pulse outputs (NV800D and NV800E).
struct RearInputFlags {
    bool AcceptAllAlerts = false;
    bool WatchAndWarningOnly = false;
    bool WarningOnly = false;
    bool CancelAlert = false;
    bool SkipVoiceAnnc = false;
    bool ForceVocInterval = false;
};

struct RearOutputFlags {
    bool PulseAll = false;
    bool PulseWatchWarning = false;
    bool PulseWatch = false;
    bool PulseWarning = false;
    bool PulseNonWatchWarning = false;
};

// Every value the editor keeps between runs. Each field carries the name of
// its key in the settings store. Before LoadConfiguration everything is 0,
// false or empty.
struct ReceiverConfig {
    // EDITOR
    int16_t SerialPort = 0;
    QString WorkingDirectory;
    QString EditorVersion;
    QString ReceiverVersion;
    bool ShowTipsAtStartup = false;
    int16_t TimeZoneOffset = 0;
    bool DaylightSavings = false;
    int16_t StateID = 0;
    QString TransmitterLocation;
    int16_t FrequencyListingFilter = 0;
    QString UserStationID;
    // Optional, kept beside the 88 keys (see optionalConfigKeys): the IANA
    // zone whose daylight time the history follows; empty: none.
    QString TimeZoneName;

    // NV8007: station identification (image byte 7)
    bool GiveStationID = false;
    bool AppendThisIs = false;
    bool AppendRepeater = false;
    bool AppendTransmitter = false;
    bool Spare8007_1 = false;
    bool Spare8007_2 = false;
    bool Spare8007_3 = false;
    bool Spare8007_4 = false;

    // NV8008: alert outputs and overrides (image byte 8)
    bool SpeakerActive = false;
    bool LineActive = false;
    bool AlertLedActive = false;
    bool ForceOnSpeaker = false;
    bool ForceOnLine = false;
    bool AcceptAllFips = false;
    bool AcceptAllEvents = false;
    bool IgnoreTerminationPacket = false;

    // NV8009 / NV800A: rear connector inputs 1 and 2 (image bytes 9 and 10)
    RearInputFlags NV8009;
    bool Spare8009_1 = false;
    bool Spare8009_2 = false;
    RearInputFlags NV800A;
    bool Spare800A_1 = false;
    bool Spare800A_2 = false;

    // NV800B: voice interval announcements (image byte 11)
    bool VoiceIntervalSpeaker = false;
    bool VoiceIntervalLine = false;
    bool VocAllEvents = false;
    bool VocWarningsWatch = false;
    bool VocWarnings = false;
    bool VocTruncateTest = false;
    bool Spare800B_1 = false;
    bool Spare800B_2 = false;

    // NV800C: rear RS-232 output framing (image byte 12)
    bool SendPacketRs232 = false;
    bool BeginSOH = false;
    bool InsertSTX = false;
    bool AppendTrailingCrlf = false;
    bool EndingETX = false;
    bool EndingEOT = false;
    bool Spare800C_1 = false;
    bool Spare800C_2 = false;

    // NV800D / NV800E: rear connector pulse outputs 1 and 2 (image bytes 13, 14)
    RearOutputFlags NV800D;
    bool Spare800D_1 = false;
    bool Spare800D_2 = false;
    bool Spare800D_3 = false;
    RearOutputFlags NV800E;
    bool Spare800E_1 = false;
    bool Spare800E_2 = false;
    bool Spare800E_3 = false;

    // NV800F: output trigger edges (image byte 15)
    bool HighTrigCodeMatch = false;
    bool HighTrigAfterStart = false;
    bool HighTrigAfterRelayTimer = false;
    bool HighTrigBeginSynVoice = false;
    bool HighTrigBeginWxReport = false;
    bool LowTrigEndPacket = false;
    bool LowTrigAlertEnd = false;
    bool Spare800F_1 = false;

    // TIMERS (image bytes 1 to 5)
    int16_t SpeakerTimeoutTimer = 0;
    int16_t LineTimeoutTimer = 0;
    int16_t VoiceIntervalTimer = 0;
    int16_t RelayDelayTimer = 0;
    int16_t PreVoiceAnnc = 0;
};

// One key of the settings store and the field that holds it. The table in
// ReceiverConfig.cpp lists all 88 keys in store order (EDITOR, NV8007 to
// NV800F, TIMERS); loading, saving, the image packer and the dump listing
// all walk it, so a key is named in one place only.
struct ConfigKey {
    enum class Type { Boolean, Integer, String };
    const char *section;
    const char *key;
    Type type;
    const char *defaultText;   // the default as handed to the store
    bool ReceiverConfig::*boolField = nullptr;
    int16_t ReceiverConfig::*intField = nullptr;
    QString ReceiverConfig::*stringField = nullptr;
    // For the flags of the two rear inputs and outputs, which live in nested
    // records: a function that returns the field's address.
    bool *(*nestedBool)(ReceiverConfig &) = nullptr;
    int imageByte = -1;        // 7..15 for flags, 1..5 for timers, -1 otherwise
    int imageBit = 0;          // 0x01..0x80 for flags

    bool *boolIn(ReceiverConfig &c) const;
    const bool *boolIn(const ReceiverConfig &c) const;
};

const std::vector<ConfigKey> &configKeys();
// Settings the editor keeps beside the 88 keys, in the same sections: read
// with their defaults like the others, but written only once they hold a
// value (or the store holds them already), so a store that never used them
// stays as it was. Not packed, not listed in the dump file, not part of a
// profile. EDITOR/TimeZoneName.
const std::vector<ConfigKey> &optionalConfigKeys();

// The section names in store order.
QStringList configSections();
