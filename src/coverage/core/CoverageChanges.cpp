// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/core/CoverageChanges.h"

#include "coverage/core/CoverageImport.h"
#include "coverage/core/StateDatabase.h"

#include <QMap>
#include <QSet>

#include <algorithm>

namespace CoverageChanges {

namespace {

struct Index {
    QHash<QString, QString> fieldOf;            // call sign -> field (trimmed)
    QHash<QString, QString> rawField;           // call sign -> field as in the files
    QHash<QString, QSet<QString>> countyCalls;  // code -> call signs that cover it
    QHash<QString, QString> countyName;         // code -> "Adams (Ohio)"
    QHash<QString, QSet<QString>> fieldCounties;   // trimmed field -> codes
};

Index indexOf(const Side &side)
{
    Index ix;
    for (const QStringList &lines : side.stateLines) {
        for (const QString &raw : lines) {
            if (!StateDatabase::usableLine(raw))
                continue;
            const QString line = raw.size() == StateDatabase::LineLength ? raw : StateDatabase::normalisedLine(raw);
            const QString code = line.left(6);
            if (!ix.countyName.contains(code))
                ix.countyName.insert(code, QStringLiteral("%1 (%2)").arg(line.mid(8, 22).trimmed(),
                                                                         StateDatabase::GetStateName(line)));
            QSet<QString> &calls = ix.countyCalls[code];
            if (StateDatabase::hasNoCoverage(line))
                continue;
            const QString field = StateDatabase::transmitterField(line);
            const QString call = callsignOf(field, side.transmitters);
            if (call.isEmpty())
                continue;
            calls.insert(call);
            if (!ix.fieldOf.contains(call)) {
                ix.fieldOf.insert(call, field.trimmed());
                ix.rawField.insert(call, field);
            }
            ix.fieldCounties[field.trimmed()].insert(code);
        }
    }
    return ix;
}

QString frequencyOf(const QString &field)
{
    return field.right(7);
}

QString describe(const QString &call, const QString &field, const QHash<QString, TransmitterInfo> &table)
{
    const TransmitterInfo t = table.value(field);
    QString site = field.left(field.size() - 7).trimmed();
    if (site.endsWith(call))
        site = site.left(site.size() - call.size()).trimmed();
    QString s = QStringLiteral("%1  %2").arg(call.leftJustified(6), site);
    if (!t.siteState.isEmpty())
        s += QStringLiteral(" (%1)").arg(t.siteState);
    return s + QLatin1Char(' ') + frequencyOf(field);
}

QString listText(const QString &title, const QStringList &items, int max)
{
    if (items.isEmpty())
        return QString();
    QString s = QStringLiteral("%1 (%2):\n").arg(title).arg(items.size());
    const int shown = max > 0 ? std::min<int>(max, int(items.size())) : int(items.size());
    for (int i = 0; i < shown; ++i)
        s += QStringLiteral("  ") + items.at(i) + QLatin1Char('\n');
    if (shown < items.size())
        s += QStringLiteral("  ... and %1 more\n").arg(items.size() - shown);
    return s;
}

QStringList sortedCalls(const QSet<QString> &set)
{
    QStringList l(set.begin(), set.end());
    std::sort(l.begin(), l.end());
    return l;
}

} // namespace

QString callsignOf(const QString &field, const QHash<QString, TransmitterInfo> &table)
{
    const auto it = table.constFind(field);
    if (it != table.constEnd() && !it->callsign.isEmpty())
        return it->callsign;
    return field.mid(18, 6).trimmed();
}

Side sideOf(const QString &folder)
{
    Side side;
    side.stateLines = CoverageImport::readFolder(folder);
    // An unreadable table only costs the call signs' details.
    TransmitterTable::load(folder, &side.transmitters);
    return side;
}

QStringList selectedCodes(const QStringList &fipEntries)
{
    QStringList codes;
    for (const QString &line : fipEntries) {
        if (line.startsWith(QLatin1String("X ")))
            codes << line.mid(2, 6);
    }
    return codes;
}

Summary compare(const Side &before, const Side &after, const QString &storedTransmitter, const QStringList &selected)
{
    Summary s;
    const Index a = indexOf(before);
    const Index b = indexOf(after);
    s.transmittersBefore = int(a.fieldOf.size());
    s.transmittersAfter = int(b.fieldOf.size());

    QStringList calls = b.fieldOf.keys();
    std::sort(calls.begin(), calls.end());
    for (const QString &call : std::as_const(calls)) {
        const QString field = b.rawField.value(call);
        const TransmitterInfo t = after.transmitters.value(field);
        if (t.status == QLatin1String("OUT OF SERVICE"))
            s.outOfService << describe(call, field, after.transmitters);
        else if (t.status == QLatin1String("DEGRADED"))
            s.degraded << describe(call, field, after.transmitters);
        if (!a.fieldOf.contains(call)) {
            s.added << describe(call, field, after.transmitters);
            continue;
        }
        const QString old = a.rawField.value(call);
        if (frequencyOf(old) != frequencyOf(field))
            s.retuned << QStringLiteral("%1: %2 -> %3").arg(describe(call, old, before.transmitters), frequencyOf(old),
                                                             frequencyOf(field));
        else if (old.trimmed() != field.trimmed())
            s.renamed << QStringLiteral("%1  now \"%2\"").arg(describe(call, old, before.transmitters), field.trimmed());
    }
    QStringList gone = a.fieldOf.keys();
    std::sort(gone.begin(), gone.end());
    for (const QString &call : std::as_const(gone)) {
        if (!b.fieldOf.contains(call))
            s.removed << describe(call, a.rawField.value(call), before.transmitters);
    }
    QSet<QString> codes;
    codes.reserve(a.countyCalls.size() + b.countyCalls.size());
    for (auto it = a.countyCalls.cbegin(); it != a.countyCalls.cend(); ++it)
        codes.insert(it.key());
    for (auto it = b.countyCalls.cbegin(); it != b.countyCalls.cend(); ++it)
        codes.insert(it.key());
    QStringList sortedCodes(codes.begin(), codes.end());
    std::sort(sortedCodes.begin(), sortedCodes.end());
    for (const QString &code : std::as_const(sortedCodes)) {
        const QSet<QString> was = a.countyCalls.value(code);
        const QSet<QString> now = b.countyCalls.value(code);
        if (was == now)
            continue;
        QStringList change;
        for (const QString &c : sortedCalls(now - was))
            change << QLatin1Char('+') + c;
        for (const QString &c : sortedCalls(was - now))
            change << QLatin1Char('-') + c;
        if (!b.countyCalls.contains(code))
            change << QStringLiteral("(no longer listed)");
        const QString name = b.countyName.value(code, a.countyName.value(code));
        s.countiesChanged << QStringLiteral("%1 %2: %3").arg(code, name, change.join(QLatin1Char(' ')));
    }

    // The user's own choice.
    const QString stored = storedTransmitter.trimmed();
    const QString said = storedTransmitter.simplified();   // as a person reads it
    if (!stored.isEmpty()) {
        QString call;
        for (auto it = a.fieldOf.cbegin(); it != a.fieldOf.cend() && call.isEmpty(); ++it) {
            if (it.value() == stored)
                call = it.key();
        }
        if (call.isEmpty())
            call = callsignOf(storedTransmitter, before.transmitters);
        const bool stillThere = b.fieldCounties.contains(stored);
        QString storedNow;   // the field the new listing gives
        for (auto it = b.fieldOf.cbegin(); it != b.fieldOf.cend(); ++it) {
            if (it.value() == stored)
                storedNow = b.rawField.value(it.key());
        }
        if (!stillThere) {
            if (!call.isEmpty() && b.fieldOf.contains(call))
                s.warnings << QStringLiteral("YOUR TRANSMITTER CHANGED: \"%1\" is now listed as \"%2\". Choose it again "
                                             "in the transmitter window and check your counties.")
                                  .arg(said, b.fieldOf.value(call).simplified());
            else
                s.warnings << QStringLiteral("YOUR TRANSMITTER IS GONE: \"%1\" is not in the new listing. Choose another "
                                             "transmitter for your receiver.")
                                  .arg(said);
        } else {
            const QString status = after.transmitters.value(storedNow).status;
            if (status == QLatin1String("OUT OF SERVICE"))
                s.warnings << QStringLiteral("YOUR TRANSMITTER IS OUT OF SERVICE: \"%1\". Your receiver may hear no "
                                             "alerts until it is back or you choose another transmitter.")
                                  .arg(said);
            else if (status == QLatin1String("DEGRADED"))
                s.warnings << QStringLiteral("Your transmitter \"%1\" is listed as DEGRADED.").arg(said);
        }
        const QSet<QString> coveredBefore = a.fieldCounties.value(stored);
        const QSet<QString> coveredAfter = b.fieldCounties.value(stored);
        for (const QString &code : selected) {
            if (coveredBefore.contains(code) && !coveredAfter.contains(code))
                s.warnings << QStringLiteral("Your selected county %1 %2 is no longer covered by \"%3\".")
                                  .arg(code, b.countyName.value(code, a.countyName.value(code)), said);
        }
    }
    return s;
}

QString Summary::text(int max) const
{
    QString t;
    for (const QString &w : warnings)
        t += QStringLiteral("!! ") + w + QLatin1Char('\n');
    if (!warnings.isEmpty())
        t += QLatin1Char('\n');
    t += QStringLiteral("Transmitters: %1 before, %2 after.\n").arg(transmittersBefore).arg(transmittersAfter);
    t += listText(QStringLiteral("Added"), added, max);
    t += listText(QStringLiteral("Removed"), removed, max);
    t += listText(QStringLiteral("Retuned"), retuned, max);
    t += listText(QStringLiteral("Renamed"), renamed, max);
    t += listText(QStringLiteral("Out of service"), outOfService, max);
    t += listText(QStringLiteral("Degraded"), degraded, max);
    t += listText(QStringLiteral("Counties whose transmitters changed"), countiesChanged, max);
    if (added.isEmpty() && removed.isEmpty() && retuned.isEmpty() && renamed.isEmpty() && countiesChanged.isEmpty())
        t += QStringLiteral("No transmitter or county changed.\n");
    return t;
}

} // namespace CoverageChanges
