// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/core/CoverageChanges.h"

#include "coverage/core/CoverageImport.h"
#include "coverage/core/StateDatabase.h"

#include <QMap>
#include <QSet>

#include <algorithm>

namespace CoverageChanges {

namespace {

QString frequencyOf(const QString &field)
{
    return field.right(7);
}

QString describe(const QString &call, const QString &field, const QHash<QString, TransmitterInfo> &table)
{
    const TransmitterInfo t = table.value(field);
    QString s = QStringLiteral("%1  %2").arg(call.leftJustified(6), siteOf(field, call));
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

QString callsignOf(const QString &field, const QHash<QString, TransmitterInfo> &table)
{
    const auto it = table.constFind(field);
    if (it != table.constEnd() && !it->callsign.isEmpty())
        return it->callsign;
    return field.mid(18, 6).trimmed();
}

QString siteOf(const QString &field, const QString &call)
{
    QString site = field.trimmed();
    site = site.left(std::max<qsizetype>(0, site.size() - 7)).trimmed();
    if (!call.isEmpty() && site.endsWith(call))
        site = site.left(site.size() - call.size()).trimmed();
    return site.simplified();
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

Summary compare(const Side &before, const Side &after)
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
        // Only what this listing changes: a transmitter that was off the
        // air or degraded in the listing in use already is no news.
        const QString was = a.fieldOf.contains(call) ? before.transmitters.value(a.rawField.value(call)).status : QString();
        if (t.status == QLatin1String("OUT OF SERVICE") && was != t.status)
            s.outOfService << describe(call, field, after.transmitters);
        else if (t.status == QLatin1String("DEGRADED") && was != t.status)
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

    return s;
}

QString Summary::text(int max) const
{
    QString t = QStringLiteral("Transmitters: %1 before, %2 after.\n").arg(transmittersBefore).arg(transmittersAfter);
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
