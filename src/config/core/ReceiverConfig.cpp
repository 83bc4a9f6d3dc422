// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/core/ReceiverConfig.h"

namespace {

using T = ConfigKey::Type;
using RC = ReceiverConfig;

ConfigKey b(const char *section, const char *key, const char *def, bool RC::*field, int byte, int bit)
{
    ConfigKey k{section, key, T::Boolean, def};
    k.boolField = field;
    k.imageByte = byte;
    k.imageBit = bit;
    return k;
}

ConfigKey nested(const char *section, const char *key, bool *(*get)(RC &), int byte, int bit)
{
    ConfigKey k{section, key, T::Boolean, "0"};
    k.nestedBool = get;
    k.imageByte = byte;
    k.imageBit = bit;
    return k;
}

ConfigKey i(const char *section, const char *key, const char *def, int16_t RC::*field, int byte = -1)
{
    ConfigKey k{section, key, T::Integer, def};
    k.intField = field;
    k.imageByte = byte;
    return k;
}

ConfigKey s(const char *section, const char *key, const char *def, QString RC::*field)
{
    ConfigKey k{section, key, T::String, def};
    k.stringField = field;
    return k;
}

#define IN(grp, f) [](RC &c) -> bool * { return &c.grp.f; }

std::vector<ConfigKey> makeKeys()
{
    // The EDITOR defaults are numbers and booleans in the store's text form;
    // WorkingDirectory's default (the current directory) is filled in by the
    // loader, since it is only known at that moment.
    return {
        i("EDITOR", "SerialPort", "1", &RC::SerialPort),
        s("EDITOR", "WorkingDirectory", "", &RC::WorkingDirectory),
        s("EDITOR", "EditorVersion", "1.00", &RC::EditorVersion),
        s("EDITOR", "ReceiverVersion", "1.00", &RC::ReceiverVersion),
        b("EDITOR", "ShowTipsAtStartup", "True", &RC::ShowTipsAtStartup, -1, 0),
        i("EDITOR", "TimeZoneOffset", "-5", &RC::TimeZoneOffset),
        b("EDITOR", "DaylightSavings", "True", &RC::DaylightSavings, -1, 0),
        i("EDITOR", "StateID", "8", &RC::StateID),
        s("EDITOR", "TransmitterLocation", "", &RC::TransmitterLocation),
        i("EDITOR", "FrequencyListingFilter", "0", &RC::FrequencyListingFilter),
        s("EDITOR", "UserStationID", "", &RC::UserStationID),

        b("NV8007", "GiveStationID", "0", &RC::GiveStationID, 7, 0x01),
        b("NV8007", "AppendThisIs", "0", &RC::AppendThisIs, 7, 0x02),
        b("NV8007", "AppendRepeater", "0", &RC::AppendRepeater, 7, 0x04),
        b("NV8007", "AppendTransmitter", "0", &RC::AppendTransmitter, 7, 0x08),
        b("NV8007", "Spare8007_1", "0", &RC::Spare8007_1, 7, 0x10),
        b("NV8007", "Spare8007_2", "0", &RC::Spare8007_2, 7, 0x20),
        b("NV8007", "Spare8007_3", "0", &RC::Spare8007_3, 7, 0x40),
        b("NV8007", "Spare8007_4", "0", &RC::Spare8007_4, 7, 0x80),

        b("NV8008", "SpeakerActive", "1", &RC::SpeakerActive, 8, 0x01),
        b("NV8008", "LineActive", "1", &RC::LineActive, 8, 0x02),
        b("NV8008", "AlertLedActive", "1", &RC::AlertLedActive, 8, 0x04),
        b("NV8008", "ForceOnSpeaker", "1", &RC::ForceOnSpeaker, 8, 0x08),
        b("NV8008", "ForceOnLine", "1", &RC::ForceOnLine, 8, 0x10),
        b("NV8008", "AcceptAllFips", "0", &RC::AcceptAllFips, 8, 0x20),
        b("NV8008", "AcceptAllEvents", "0", &RC::AcceptAllEvents, 8, 0x40),
        b("NV8008", "IgnoreTerminationPacket", "0", &RC::IgnoreTerminationPacket, 8, 0x80),

        nested("NV8009", "AcceptAllAlerts", IN(NV8009, AcceptAllAlerts), 9, 0x01),
        nested("NV8009", "WatchAndWarningOnly", IN(NV8009, WatchAndWarningOnly), 9, 0x02),
        nested("NV8009", "WarningOnly", IN(NV8009, WarningOnly), 9, 0x04),
        nested("NV8009", "CancelAlert", IN(NV8009, CancelAlert), 9, 0x08),
        nested("NV8009", "SkipVoiceAnnc", IN(NV8009, SkipVoiceAnnc), 9, 0x10),
        nested("NV8009", "ForceVocInterval", IN(NV8009, ForceVocInterval), 9, 0x20),
        b("NV8009", "Spare8009_1", "0", &RC::Spare8009_1, 9, 0x40),
        b("NV8009", "Spare8009_2", "0", &RC::Spare8009_2, 9, 0x80),

        nested("NV800A", "AcceptAllAlerts", IN(NV800A, AcceptAllAlerts), 10, 0x01),
        nested("NV800A", "WatchAndWarningOnly", IN(NV800A, WatchAndWarningOnly), 10, 0x02),
        nested("NV800A", "WarningOnly", IN(NV800A, WarningOnly), 10, 0x04),
        nested("NV800A", "CancelAlert", IN(NV800A, CancelAlert), 10, 0x08),
        nested("NV800A", "SkipVoiceAnnc", IN(NV800A, SkipVoiceAnnc), 10, 0x10),
        nested("NV800A", "ForceVocInterval", IN(NV800A, ForceVocInterval), 10, 0x20),
        b("NV800A", "Spare800A_1", "0", &RC::Spare800A_1, 10, 0x40),
        b("NV800A", "Spare800A_2", "0", &RC::Spare800A_2, 10, 0x80),

        b("NV800B", "VoiceIntervalSpeaker", "1", &RC::VoiceIntervalSpeaker, 11, 0x01),
        b("NV800B", "VoiceIntervalLine", "1", &RC::VoiceIntervalLine, 11, 0x02),
        b("NV800B", "VocAllEvents", "1", &RC::VocAllEvents, 11, 0x04),
        b("NV800B", "VocWarningsWatch", "0", &RC::VocWarningsWatch, 11, 0x08),
        b("NV800B", "VocWarnings", "0", &RC::VocWarnings, 11, 0x10),
        b("NV800B", "VocTruncateTest", "1", &RC::VocTruncateTest, 11, 0x20),
        b("NV800B", "Spare800B_1", "0", &RC::Spare800B_1, 11, 0x40),
        b("NV800B", "Spare800B_2", "0", &RC::Spare800B_2, 11, 0x80),

        b("NV800C", "SendPacketRs232", "0", &RC::SendPacketRs232, 12, 0x01),
        b("NV800C", "BeginSOH", "0", &RC::BeginSOH, 12, 0x02),
        b("NV800C", "InsertSTX", "0", &RC::InsertSTX, 12, 0x04),
        b("NV800C", "AppendTrailingCrlf", "0", &RC::AppendTrailingCrlf, 12, 0x08),
        b("NV800C", "EndingETX", "0", &RC::EndingETX, 12, 0x10),
        b("NV800C", "EndingEOT", "0", &RC::EndingEOT, 12, 0x20),
        b("NV800C", "Spare800C_1", "0", &RC::Spare800C_1, 12, 0x40),
        b("NV800C", "Spare800C_2", "0", &RC::Spare800C_2, 12, 0x80),

        nested("NV800D", "PulseAll", IN(NV800D, PulseAll), 13, 0x01),
        nested("NV800D", "PulseWatchWarning", IN(NV800D, PulseWatchWarning), 13, 0x02),
        nested("NV800D", "PulseWatch", IN(NV800D, PulseWatch), 13, 0x04),
        nested("NV800D", "PulseWarning", IN(NV800D, PulseWarning), 13, 0x08),
        nested("NV800D", "PulseNonWatchWarning", IN(NV800D, PulseNonWatchWarning), 13, 0x10),
        b("NV800D", "Spare800D_1", "0", &RC::Spare800D_1, 13, 0x20),
        b("NV800D", "Spare800D_2", "0", &RC::Spare800D_2, 13, 0x40),
        b("NV800D", "Spare800D_3", "0", &RC::Spare800D_3, 13, 0x80),

        nested("NV800E", "PulseAll", IN(NV800E, PulseAll), 14, 0x01),
        nested("NV800E", "PulseWatchWarning", IN(NV800E, PulseWatchWarning), 14, 0x02),
        nested("NV800E", "PulseWatch", IN(NV800E, PulseWatch), 14, 0x04),
        nested("NV800E", "PulseWarning", IN(NV800E, PulseWarning), 14, 0x08),
        nested("NV800E", "PulseNonWatchWarning", IN(NV800E, PulseNonWatchWarning), 14, 0x10),
        b("NV800E", "Spare800E_1", "0", &RC::Spare800E_1, 14, 0x20),
        b("NV800E", "Spare800E_2", "0", &RC::Spare800E_2, 14, 0x40),
        b("NV800E", "Spare800E_3", "0", &RC::Spare800E_3, 14, 0x80),

        b("NV800F", "HighTrigCodeMatch", "1", &RC::HighTrigCodeMatch, 15, 0x01),
        b("NV800F", "HighTrigAfterStart", "0", &RC::HighTrigAfterStart, 15, 0x02),
        b("NV800F", "HighTrigAfterRelayTimer", "0", &RC::HighTrigAfterRelayTimer, 15, 0x04),
        b("NV800F", "HighTrigBeginSynVoice", "0", &RC::HighTrigBeginSynVoice, 15, 0x08),
        b("NV800F", "HighTrigBeginWxReport", "0", &RC::HighTrigBeginWxReport, 15, 0x10),
        b("NV800F", "LowTrigEndPacket", "1", &RC::LowTrigEndPacket, 15, 0x20),
        b("NV800F", "LowTrigAlertEnd", "0", &RC::LowTrigAlertEnd, 15, 0x40),
        b("NV800F", "Spare800F_1", "0", &RC::Spare800F_1, 15, 0x80),

        i("TIMERS", "SpeakerTimeoutTimer", "3", &RC::SpeakerTimeoutTimer, 1),
        i("TIMERS", "LineTimeoutTimer", "3", &RC::LineTimeoutTimer, 2),
        i("TIMERS", "VoiceIntervalTimer", "1", &RC::VoiceIntervalTimer, 3),
        i("TIMERS", "RelayDelayTimer", "0", &RC::RelayDelayTimer, 4),
        i("TIMERS", "PreVoiceAnnc", "2", &RC::PreVoiceAnnc, 5),
    };
}

#undef IN

} // namespace

bool *ConfigKey::boolIn(ReceiverConfig &c) const
{
    if (nestedBool)
        return nestedBool(c);
    return boolField ? &(c.*boolField) : nullptr;
}

const bool *ConfigKey::boolIn(const ReceiverConfig &c) const
{
    return boolIn(const_cast<ReceiverConfig &>(c));
}

const std::vector<ConfigKey> &configKeys()
{
    static const std::vector<ConfigKey> keys = makeKeys();
    return keys;
}

const std::vector<ConfigKey> &optionalConfigKeys()
{
    static const std::vector<ConfigKey> keys{s("EDITOR", "TimeZoneName", "", &RC::TimeZoneName)};
    return keys;
}

QStringList configSections()
{
    return {"EDITOR", "NV8007", "NV8008", "NV8009", "NV800A", "NV800B", "NV800C",
            "NV800D", "NV800E", "NV800F", "TIMERS"};
}
