// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/core/OptionSummary.h"

namespace {

QString onOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

QString listOrNone(const QStringList &items)
{
    return items.isEmpty() ? QStringLiteral("none") : items.join(QStringLiteral(", "));
}

} // namespace

QStringList optionSummary(const ReceiverConfig &c)
{
    QStringList forced;
    if (c.ForceOnSpeaker)
        forced << QStringLiteral("speaker");
    if (c.ForceOnLine)
        forced << QStringLiteral("line");
    QString identification = onOff(c.GiveStationID);
    if (c.GiveStationID && !c.UserStationID.trimmed().isEmpty())
        identification += QStringLiteral(" (%1)").arg(c.UserStationID.trimmed());
    return {
        QStringLiteral("Counties: ")
            + (c.AcceptAllFips ? QStringLiteral("every county code accepted") : QStringLiteral("the selected counties only")),
        QStringLiteral("Event codes: ")
            + (c.AcceptAllEvents ? QStringLiteral("every event code accepted") : QStringLiteral("the chosen codes only")),
        QStringLiteral("Alert outputs: speaker %1, line %2, alert light %3")
            .arg(onOff(c.SpeakerActive), onOff(c.LineActive), onOff(c.AlertLedActive)),
        QStringLiteral("Forced on: ") + listOrNone(forced),
        QStringLiteral("Termination packet: ") + (c.IgnoreTerminationPacket ? QStringLiteral("ignored") : QStringLiteral("obeyed")),
        QStringLiteral("Voice interval announcements: speaker %1, line %2")
            .arg(onOff(c.VoiceIntervalSpeaker), onOff(c.VoiceIntervalLine)),
        QStringLiteral("Station identification: ") + identification,
        QStringLiteral("Alert packets on the RS-232 output: ") + onOff(c.SendPacketRs232),
    };
}
