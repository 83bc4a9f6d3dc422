// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/core/SetupCheck.h"

#include "config/core/ReceiverSetup.h"
#include "coverage/core/EventCatalog.h"

#include <QJsonArray>

#include <algorithm>

namespace SetupCheck {

namespace {

QString frequencyOf(const QString &field)
{
    return field.trimmed().right(7);
}

// "KIH42 Covington 162.550", or the field as a person reads it when it
// carries no call sign.
QString nameOf(const QString &field, const QString &call)
{
    if (call.isEmpty())
        return QLatin1Char('"') + field.simplified() + QLatin1Char('"');
    const QString site = CoverageChanges::siteOf(field, call);
    return site.isEmpty() ? QStringLiteral("%1 %2").arg(call, frequencyOf(field))
                          : QStringLiteral("%1 %2 %3").arg(call, site, frequencyOf(field));
}

QString countiesAffected(int n)
{
    return n == 1 ? QStringLiteral("1 of your counties is affected")
                  : QStringLiteral("%1 of your counties are affected").arg(n);
}

QStringList unique(const QStringList &in)
{
    QStringList out;
    for (const QString &s : in) {
        if (!s.isEmpty() && !out.contains(s))
            out << s;
    }
    return out;
}

// The county name of a selected county line ("X 039001  Adams   ...").
QString lineName(const QStringList &fipEntries, const QString &code)
{
    for (const QString &line : fipEntries) {
        if (line.startsWith(QLatin1String("X ")) && line.mid(2, 6) == code) {
            const QString county = line.mid(10, 22).trimmed();
            const QString state = line.mid(33).trimmed();
            return state.isEmpty() ? county : QStringLiteral("%1 (%2)").arg(county, state);
        }
    }
    return QString();
}

QVector<Suggestion> suggest(const CoverageChanges::Index &ix, const CoverageChanges::Side &listing,
                            const QString &storedCall, const QStringList &codes)
{
    QVector<Suggestion> all;
    if (codes.isEmpty())
        return all;
    for (auto it = ix.rawField.cbegin(); it != ix.rawField.cend(); ++it) {
        if (it.key() == storedCall)
            continue;
        const TransmitterInfo info = listing.transmitters.value(it.value());
        if (!info.inService())
            continue;
        const QSet<QString> covers = ix.fieldCounties.value(it.value().trimmed());
        int covered = 0;
        for (const QString &c : codes)
            covered += covers.contains(c) ? 1 : 0;
        if (covered == 0)
            continue;
        all.append(Suggestion{it.value(), it.key(), CoverageChanges::siteOf(it.value(), it.key()), frequencyOf(it.value()), covered,
                              int(codes.size())});
    }
    std::sort(all.begin(), all.end(), [](const Suggestion &a, const Suggestion &b) {
        if (a.covered != b.covered)
            return a.covered > b.covered;
        return a.callsign < b.callsign;
    });
    if (all.size() > MaxSuggestions)
        all.resize(MaxSuggestions);
    return all;
}

} // namespace

QString severityName(Severity s)
{
    switch (s) {
    case Severity::Notice:
        return QStringLiteral("notice");
    case Severity::Warning:
        return QStringLiteral("warning");
    case Severity::Serious:
        return QStringLiteral("serious");
    }
    return QString();
}

QString kindName(Kind k)
{
    switch (k) {
    case Kind::TransmitterGone:
        return QStringLiteral("transmitterGone");
    case Kind::TransmitterOutOfService:
        return QStringLiteral("transmitterOutOfService");
    case Kind::TransmitterDegraded:
        return QStringLiteral("transmitterDegraded");
    case Kind::TransmitterRetuned:
        return QStringLiteral("transmitterRetuned");
    case Kind::TransmitterRenamed:
        return QStringLiteral("transmitterRenamed");
    case Kind::CountyNotCovered:
        return QStringLiteral("countyNotCovered");
    case Kind::CountyUnknown:
        return QStringLiteral("countyUnknown");
    case Kind::EventUnknown:
        return QStringLiteral("eventUnknown");
    }
    return QString();
}

QString Suggestion::text() const
{
    const QString name = site.isEmpty() ? QStringLiteral("%1 %2").arg(callsign, frequency)
                                        : QStringLiteral("%1 %2 %3").arg(callsign, site, frequency);
    if (selected == 1)
        return QStringLiteral("%1 covers your county").arg(name);
    return QStringLiteral("%1 covers %2 of your %3 counties").arg(name).arg(covered).arg(selected);
}

bool Report::hasSerious() const
{
    return std::any_of(findings.cbegin(), findings.cend(),
                       [](const Finding &f) { return f.severity == Severity::Serious; });
}

QString Report::headline() const
{
    if (findings.isEmpty())
        return QStringLiteral("Your setup matches the coverage listing.");
    const Finding &first = findings.first();
    const QString who = callsign.isEmpty() ? QLatin1Char('"') + transmitter + QLatin1Char('"') : callsign;
    QString what;
    switch (first.kind) {
    case Kind::TransmitterGone:
        what = QStringLiteral("Your transmitter %1 is gone").arg(who);
        break;
    case Kind::TransmitterOutOfService:
        what = QStringLiteral("Your transmitter %1 is out of service").arg(who);
        break;
    case Kind::TransmitterRetuned:
        what = QStringLiteral("Your transmitter %1 moved to %2").arg(who, retunedTo);
        break;
    default:
        break;
    }
    if (!what.isEmpty())
        return selectedCounties > 0 ? what + QStringLiteral("; ") + countiesAffected(selectedCounties) + QLatin1Char('.')
                                    : what + QLatin1Char('.');
    if (findings.size() == 1)
        return first.text;
    return QStringLiteral("Your setup has %1 points to look at.").arg(findings.size());
}

QStringList Report::details() const
{
    QStringList out;
    for (qsizetype i = 0; i < findings.size(); ++i) {
        const Finding &f = findings.at(i);
        // The headline says the first finding when it is about the
        // transmitter's being gone, off or moved, or when it is the only one.
        const bool inHeadline = i == 0
                                && (findings.size() == 1 || f.kind == Kind::TransmitterGone
                                    || f.kind == Kind::TransmitterOutOfService || f.kind == Kind::TransmitterRetuned);
        if (!inHeadline)
            out << f.text;
    }
    return out;
}

QStringList Report::lines() const
{
    QStringList out{headline()};
    out += details();
    if (!suggestions.isEmpty()) {
        out << QStringLiteral("Transmitters that cover your counties:");
        for (const Suggestion &s : suggestions)
            out << QStringLiteral("  ") + s.text();
    }
    return out;
}

QString Report::transferQuestion() const
{
    return lines().join(QLatin1Char('\n')) + QStringLiteral("\n\nSend this setup to the receiver anyway?");
}

QJsonObject Report::json() const
{
    auto orNull = [](const QString &s) { return s.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(s); };
    QJsonArray found;
    for (const Finding &f : findings)
        found.append(QJsonObject{{QStringLiteral("kind"), kindName(f.kind)},
                                 {QStringLiteral("severity"), severityName(f.severity)},
                                 {QStringLiteral("subject"), f.subject},
                                 {QStringLiteral("text"), f.text}});
    QJsonArray suggested;
    for (const Suggestion &s : suggestions)
        suggested.append(QJsonObject{{QStringLiteral("callsign"), s.callsign},
                                     {QStringLiteral("site"), s.site},
                                     {QStringLiteral("frequency"), s.frequency},
                                     {QStringLiteral("field"), s.field},
                                     {QStringLiteral("covered"), s.covered},
                                     {QStringLiteral("selected"), s.selected},
                                     {QStringLiteral("text"), s.text()}});
    return QJsonObject{{QStringLiteral("schema"), QStringLiteral("nx4400c-check")},
                       {QStringLiteral("version"), JsonVersion},
                       {QStringLiteral("transmitter"), orNull(transmitter)},
                       {QStringLiteral("callsign"), orNull(callsign)},
                       {QStringLiteral("selectedCounties"), selectedCounties},
                       {QStringLiteral("serious"), hasSerious()},
                       {QStringLiteral("headline"), headline()},
                       {QStringLiteral("findings"), found},
                       {QStringLiteral("suggestions"), suggested}};
}

Report check(const CoverageChanges::Side &listing, const ReceiverSetup &setup, const EventCatalog &catalog)
{
    Report r;
    const CoverageChanges::Index ix = CoverageChanges::indexOf(listing);
    const QStringList codes = unique(CoverageChanges::selectedCodes(setup.FipEntries));
    r.selectedCounties = int(codes.size());

    const QString storedRaw = setup.config.TransmitterLocation;
    const QString stored = storedRaw.trimmed();
    r.transmitter = storedRaw.simplified();
    QString coverField;   // the field whose counties the selected ones should be
    bool offAir = false;
    if (!stored.isEmpty()) {
        for (auto it = ix.fieldOf.cbegin(); it != ix.fieldOf.cend() && r.callsign.isEmpty(); ++it) {
            if (it.value() == stored)
                r.callsign = it.key();
        }
        const bool listed = !r.callsign.isEmpty();
        if (!listed)
            r.callsign = CoverageChanges::callsignOf(storedRaw, listing.transmitters);
        const QString name = nameOf(storedRaw, r.callsign);
        if (listed) {
            coverField = stored;
            const QString status = listing.transmitters.value(ix.rawField.value(r.callsign)).status;
            if (status == QLatin1String("OUT OF SERVICE")) {
                offAir = true;
                r.findings.append({Kind::TransmitterOutOfService, Severity::Serious, r.callsign,
                                   QStringLiteral("Your transmitter %1 is out of service: your receiver may hear no "
                                                  "alerts until it is back. Choose another transmitter.")
                                       .arg(name)});
            } else if (status == QLatin1String("DEGRADED")) {
                r.findings.append({Kind::TransmitterDegraded, Severity::Notice, r.callsign,
                                   QStringLiteral("Your transmitter %1 is listed as degraded: it may not reach all of "
                                                  "its area.")
                                       .arg(name)});
            }
        } else if (!r.callsign.isEmpty() && ix.fieldOf.contains(r.callsign)) {
            const QString now = ix.rawField.value(r.callsign);
            coverField = now.trimmed();
            if (frequencyOf(now) != frequencyOf(storedRaw)) {
                r.retunedTo = frequencyOf(now);
                r.findings.append({Kind::TransmitterRetuned, Severity::Serious, r.callsign,
                                   QStringLiteral("Your transmitter %1 now broadcasts on %2, not on %3: choose it again "
                                                  "in the transmitter window.")
                                       .arg(r.callsign, frequencyOf(now), frequencyOf(storedRaw))});
            } else {
                r.findings.append({Kind::TransmitterRenamed, Severity::Warning, r.callsign,
                                   QStringLiteral("Your transmitter %1 is now listed as \"%2\": choose it again in the "
                                                  "transmitter window.")
                                       .arg(r.callsign, now.simplified())});
            }
        } else {
            offAir = true;
            r.findings.append({Kind::TransmitterGone, Severity::Serious, r.callsign.isEmpty() ? r.transmitter : r.callsign,
                               QStringLiteral("Your transmitter %1 is not in the coverage listing: your receiver will "
                                              "hear no alerts from it. Choose another transmitter.")
                                   .arg(name)});
        }
        if (offAir)
            r.suggestions = suggest(ix, listing, r.callsign, codes);
    }

    const QSet<QString> covered = ix.fieldCounties.value(coverField);
    for (const QString &code : codes) {
        if (!ix.countyName.contains(code)) {
            const QString name = lineName(setup.FipEntries, code);
            r.findings.append({Kind::CountyUnknown, Severity::Warning, code,
                               QStringLiteral("Your county %1 %2: no transmitter covers it any more.")
                                   .arg(code, name.isEmpty() ? QStringLiteral("(no name)") : name)});
        } else if (!coverField.isEmpty() && !offAir && !covered.contains(code)) {
            r.findings.append({Kind::CountyNotCovered, Severity::Warning, code,
                               QStringLiteral("Your county %1 %2 is not covered by your transmitter %3.")
                                   .arg(code, ix.countyName.value(code), r.callsign.isEmpty() ? r.transmitter : r.callsign)});
        }
    }

    QStringList events;
    for (int i = 0; i < EventSelectionRules::ComparedSlots && i < setup.EventSelection.size(); ++i)
        events << setup.EventSelection.at(i);
    for (const QString &code : unique(events)) {
        if (!catalog.find(code))
            r.findings.append({Kind::EventUnknown, Severity::Warning, code,
                               QStringLiteral("Your event code \"%1\" is not in the event catalogue; the receiver "
                                              "will never alert for it.")
                                   .arg(code)});
    }
    return r;
}

Report checkFolder(const QString &statesFolder, const ReceiverSetup &setup, const EventCatalog &catalog)
{
    return check(CoverageChanges::sideOf(statesFolder), setup, catalog);
}

bool isGone(const Report &report)
{
    return std::any_of(report.findings.cbegin(), report.findings.cend(),
                       [](const Finding &f) { return f.kind == Kind::TransmitterGone; });
}

} // namespace SetupCheck
