// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/core/EventCatalog.h"


namespace {

struct Row {
    const char *code;
    const char *name;
    EventClass cls;
    int page;
    const char *group;
    const char *caption;
};

constexpr EventClass W = EventClass::Warning;
constexpr EventClass A = EventClass::Watch;
constexpr EventClass O = EventClass::Other;

// Catalogue order. The check box captions keep their own spellings
// ("Cival", "Inforcement", "Evacuate"), which differ from the names the
// history shows.
const Row kRows[] = {
    {"AVA", "Avalanche Watch", A, 1, "Avalanche", "Watch"},
    {"AVW", "Avalanche Warning", W, 1, "Avalanche", "Warning"},
    {"CFA", "Coastal Flood Watch", A, 1, "Coastal Flood", "Watch"},
    {"CFW", "Coastal Flood Warning", W, 1, "Coastal Flood", "Warning"},
    {"FFA", "Flash Flood Watch", A, 1, "Flash Flood", "Watch"},
    {"FFW", "Flash Flood Warning", W, 1, "Flash Flood", "Warning"},
    {"FLA", "Flood Watch", A, 1, "Flood", "Watch"},
    {"FLW", "Flood Warning", W, 1, "Flood", "Warning"},
    {"HWA", "High Wind Watch", A, 1, "High Wind", "Watch"},
    {"HWW", "High Wind Warning", W, 1, "High Wind", "Warning"},
    {"HUA", "Hurricane Watch", A, 1, "Hurricane", "Watch"},
    {"HUW", "Hurricane Warning", W, 1, "Hurricane", "Warning"},
    {"SVA", "Severe Thunderstorm Watch", A, 1, "Severe Thunderstorm", "Watch"},
    {"SVR", "Severe Thunderstorm Warning", W, 1, "Severe Thunderstorm", "Warning"},
    {"TOA", "Tornado Watch", A, 1, "Tornado", "Watch"},
    {"TOR", "Tornado Warning", W, 1, "Tornado", "Warning"},
    {"TRA", "Tropical Storm Watch", A, 1, "Tropical Storm", "Watch"},
    {"TRW", "Tropical Storm Warning", W, 1, "Tropical Storm", "Warning"},
    {"TSA", "Tsunami Watch", A, 1, "Tsunami", "Watch"},
    {"TSW", "Tsunami Warning", W, 1, "Tsunami", "Warning"},
    {"WSA", "Winter Storm Watch", A, 1, "Winter Storm", "Watch"},
    {"WSW", "Winter Storm Warning", W, 1, "Winter Storm", "Warning"},
    {"BZW", "Blizzard Warning", W, 2, "Misc Warnings", "Blizzard Warning"},
    // A civil danger warning calls for action like its neighbours, so it is
    // drawn red with them.
    {"CDW", "Civil Danger Warning", W, 2, "Misc Warnings", "Cival Danger Warning"},
    {"DSW", "Dust Storm Warning", W, 2, "Misc Warnings", "Dust Storm Warning"},
    {"EQW", "Earthquake Warning", W, 2, "Misc Warnings", "Earthquake Warning"},
    {"FRW", "Fire Warning", W, 2, "Misc Warnings", "Fire Warning"},
    // Hazardous materials are drawn in the watch colour (blue), unlike the
    // other warnings of the group.
    {"HMW", "Hazardous Materials Warning", A, 2, "Misc Warnings", "Hazardous Materials Warning"},
    {"LEW", "Law Enforcement Warning", W, 2, "Misc Warnings", "Law Inforcement Warning"},
    {"NUW", "Nuclear Power Plant Warning", W, 2, "Misc Warnings", "Nuclear Power Plant Warning"},
    {"DMO", "Practice/Demo Warning", W, 2, "Misc Warnings", "Practice/Demo Warning"},
    {"RHW", "Radiological Hazard Warning", W, 2, "Misc Warnings", "Radiological Hazard Warning"},
    {"SPW", "Shelter In Place Warning", W, 2, "Misc Warnings", "Shelter in Place Warning"},
    {"SMW", "Special Marine Warning", W, 2, "Misc Warnings", "Special Marine Warning"},
    {"VOW", "Volcano Warning", W, 2, "Misc Warnings", "Volcano Warning"},
    {"CAE", "Child Abduction Emergency", O, 2, "Emergency - Statements - Messages", "Child Abduction Emergency"},
    {"CEM", "Civil Emergency Message", O, 2, "Emergency - Statements - Messages", "Civil Emergency Message"},
    {"LAE", "Local Area Emergency", O, 2, "Emergency - Statements - Messages", "Local Area Emergency"},
    {"NMN", "Network Message Notification", O, 2, "Emergency - Statements - Messages", "Network Message Notification"},
    {"TOE", "911 Telephone Outage Emergency", O, 2, "Emergency - Statements - Messages", "911 Telephone Outage Emergency"},
    {"EAN", "Emergency Action Notification", O, 2, "Emergency - Statements - Messages", "Emergency Action Notification"},
    {"EAT", "Emergency Action Termination", O, 2, "Emergency - Statements - Messages", "Emergency Action Termination"},
    {"ADR", "Administrative Message", O, 2, "Misc Events", "Administrative Message"},
    {"EVI", "Evacuation Immediate", O, 2, "Misc Events", "Evacuate Immediate"},
    {"NPT", "National Periodic Test", O, 2, "Misc Events", "National Periodic Test"},
    {"RMT", "Required Monthly Test", O, 2, "Misc Events", "Required Monthly Test"},
    {"RWT", "Required Weekly Test", O, 2, "Misc Events", "Required Weekly Test"},
};

} // namespace

EventCatalog::EventCatalog()
{
    InitEventCatalog(*this);
}

const EventCatalogEntry *EventCatalog::find(const QString &code) const
{
    for (const EventCatalogEntry &row : rows) {
        if (row.EventCode == code)
            return &row;
    }
    return nullptr;
}

void InitEventCatalog(EventCatalog &catalog)
{
    catalog.rows.clear();
    catalog.rows.reserve(int(std::size(kRows)));
    for (const Row &r : kRows) {
        catalog.rows.append({QString::fromLatin1(r.code), QString::fromLatin1(r.name), r.cls, r.page,
                             QString::fromLatin1(r.group), QString::fromLatin1(r.caption)});
    }
}

void GetEventName(const EventCatalog &catalog, const QString &code, QString *name, EventClass *cls)
{
    const EventCatalogEntry *row = catalog.find(code);
    if (name)
        *name = row ? row->name : QStringLiteral("Unknown Event Code");
    if (cls)
        *cls = row ? row->cls : EventClass::Other;
}

namespace EventSelectionRules {

bool MatchOk(const QStringList &selection, const QString &code)
{
    const int n = qMin(ComparedSlots, int(selection.size()));
    for (int i = 0; i < n; ++i) {
        if (selection.at(i) == code)
            return true;
    }
    return false;
}

bool StoreEventCodes(QStringList &selection, const QStringList &checkedCodes)
{
    if (checkedCodes.size() > MaxSelected)
        return false;
    while (selection.size() < ComparedSlots)
        selection.append(QString());
    for (int i = 0; i < ComparedSlots; ++i)
        selection[i] = i < checkedCodes.size() ? checkedCodes.at(i) : QString();
    return true;
}

} // namespace EventSelectionRules
