// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/core/SetupChoice.h"

#include "config/core/ReceiverSetup.h"
#include "coverage/core/CoverageChanges.h"
#include "coverage/core/CoverageImport.h"
#include "coverage/core/EventCatalog.h"
#include "coverage/core/StateDatabase.h"

#include <algorithm>

namespace SetupChoice {

namespace {

// The call sign the imported layout keeps inside the field (columns 49-54
// of a state file line), and the location without it and the frequency.
QString callOf(const QString &field)
{
    return CoverageChanges::callsignOf(field, {});
}

QString locationOf(const QString &field)
{
    return CoverageChanges::siteOf(field, callOf(field));
}

} // namespace

int stateIdNamed(const QString &text)
{
    const QString t = text.trimmed();
    bool isNumber = false;
    const int n = t.toInt(&isNumber);
    if (isNumber)
        return n >= 0 && n < StateDatabase::StateCount ? n : -1;
    const QStringList names = StateDatabase::stateList();
    for (int i = 0; i < names.size(); ++i) {
        if (names.at(i).compare(t.simplified(), Qt::CaseInsensitive) == 0)
            return i;
    }
    return t.size() == 2 ? CoverageImport::stateIdOfPostal(t) : -1;
}

void sortTransmitters(QStringList *list)
{
    std::sort(list->begin(), list->end(),
              [](const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
}

bool transmitterList(Prompter &prompter, const QString &folder, int filter, int stateId, QStringList *list)
{
    list->clear();
    const bool ok = StateDatabase::LoadStateFile(prompter, folder, filter, stateId, list);
    sortTransmitters(list);
    return ok;
}

QString findTransmitter(const QStringList &list, const QString &wanted, QString *why)
{
    const QString w = wanted.simplified();
    QStringList hits;
    auto collect = [&](auto matches) {
        for (const QString &field : list) {
            if (matches(field) && !hits.contains(field))
                hits << field;
        }
    };
    collect([&](const QString &f) { return callOf(f).compare(w, Qt::CaseInsensitive) == 0; });
    if (hits.isEmpty())
        collect([&](const QString &f) { return f.simplified().compare(w, Qt::CaseInsensitive) == 0; });
    if (hits.isEmpty())
        collect([&](const QString &f) { return locationOf(f).compare(w, Qt::CaseInsensitive) == 0; });
    if (hits.isEmpty() && !w.isEmpty())
        collect([&](const QString &f) { return locationOf(f).startsWith(w, Qt::CaseInsensitive); });
    if (hits.size() == 1)
        return hits.first();
    if (why) {
        if (hits.isEmpty()) {
            *why = QStringLiteral("no transmitter of the state is called \"%1\"").arg(w);
        } else {
            QStringList named;
            for (const QString &h : std::as_const(hits))
                named << h.simplified();
            *why = QStringLiteral("\"%1\" names %2 transmitters (%3); give the call sign")
                       .arg(w)
                       .arg(hits.size())
                       .arg(named.join(QStringLiteral("; ")));
        }
    }
    return QString();
}

bool chooseTransmitter(Prompter &prompter, const QString &folder, ReceiverSetup &setup, const QString &field,
                       QStringList *counties)
{
    // The stored county lines are emptied until the county list is stored
    // again; the list becomes the transmitter's counties.
    for (QString &line : setup.FipEntries)
        line.clear();
    setup.config.TransmitterLocation = field;
    counties->clear();
    return StateDatabase::FindTransmitterCounties(prompter, folder, field, counties);
}

QVector<CountyEntries::Item> keepTicks(const QStringList &counties, const QStringList &tickedCodes,
                                       QStringList *dropped)
{
    QVector<CountyEntries::Item> items;
    QStringList kept;
    for (const QString &c : counties) {
        const QString code = c.left(6);
        const bool tick = tickedCodes.contains(code) && !kept.contains(code);
        if (tick)
            kept << code;
        items.append({c, tick});
    }
    dropped->clear();
    for (const QString &code : tickedCodes) {
        if (!kept.contains(code) && !dropped->contains(code))
            dropped->append(code);
    }
    return items;
}

QString keptTicksText(const QString &field, int kept, int dropped)
{
    // The field reads " Dayton           WXJ46  162.475": call sign first.
    const QStringList words = field.simplified().split(QLatin1Char(' '));
    QString name = field.simplified();
    if (words.size() >= 3)
        name = words.at(words.size() - 2) + QLatin1Char(' ') + words.mid(0, words.size() - 2).join(QLatin1Char(' '));
    const int had = kept + dropped;
    if (had == 0)
        return name + QStringLiteral(": no county was ticked; tick the counties to alert for.");
    auto counties = [](int n) { return n == 1 ? QStringLiteral("1 county") : QStringLiteral("%1 counties").arg(n); };
    QString text = name + QStringLiteral(" covers %1 of your %2 ticked; ").arg(kept).arg(counties(had));
    if (dropped == 0)
        text += kept == 1 ? QStringLiteral("it stays ticked.") : QStringLiteral("they stay ticked.");
    else
        text += (kept == 0 ? QStringLiteral("none stays ticked, ")
                           : kept == 1 ? QStringLiteral("it stays ticked, ") : QStringLiteral("they stay ticked, "))
                + counties(dropped) + (dropped == 1 ? QStringLiteral(" it does not cover was dropped.")
                                                    : QStringLiteral(" it does not cover were dropped."));
    return text;
}

QString countyEntryOf(const QString &folder, const QString &code)
{
    QStringList lines;
    for (int state = 0; state < StateDatabase::StateCount; ++state) {
        if (StateDatabase::readStateLines(folder + QLatin1Char('/') + StateDatabase::GetStateFileName(state), &lines)
            != StateDatabase::ReadResult::Ok)
            continue;
        for (const QString &raw : std::as_const(lines)) {
            if (!raw.startsWith(code) || !StateDatabase::usableLine(raw))
                continue;
            const QString line = StateDatabase::normalisedLine(raw);
            if (line.left(6) == code)
                return line.left(StateDatabase::CountyPartLength) + StateDatabase::GetStateName(line);
        }
    }
    return QString();
}

QStringList selectedEvents(const QStringList &selection)
{
    QStringList codes;
    for (int i = 0; i < EventSelectionRules::ComparedSlots && i < selection.size(); ++i) {
        if (!selection.at(i).isEmpty())
            codes << selection.at(i);
    }
    return codes;
}

bool storeEvents(const EventCatalog &catalog, const QStringList &codes, QStringList &selection)
{
    QStringList ordered;
    for (const EventCatalogEntry &e : catalog.rows) {
        if (codes.contains(e.EventCode))
            ordered << e.EventCode;
    }
    return EventSelectionRules::StoreEventCodes(selection, ordered);
}

} // namespace SetupChoice
