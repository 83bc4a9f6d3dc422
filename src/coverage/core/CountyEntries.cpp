// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/core/CountyEntries.h"

namespace CountyEntries {

QVector<Item> itemsFromFipEntries(const QStringList &fipEntries)
{
    QVector<Item> items;
    for (const QString &line : fipEntries) {
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1String("X ")))
            items.append({line.mid(2, 51), true});
        else if (line.startsWith(QLatin1String("  ")))
            items.append({line.mid(2), false});
        else
            items.append({line, false});
    }
    return items;
}

int countChecked(const QVector<Item> &items)
{
    int n = 0;
    for (const Item &item : items)
        n += item.checked ? 1 : 0;
    return n;
}

StoreResult storeItems(const QVector<Item> &items, QStringList &fipEntries, int lineCount)
{
    const int checked = countChecked(items);
    if (checked > MaxSelected)
        return StoreResult::TooManySelected;

    // Unchecked entries that may be stored: all of them when the list fits.
    int uncheckedRoom = lineCount - checked;
    fipEntries.clear();
    for (const Item &item : items) {
        if (fipEntries.size() >= lineCount)
            break;
        if (item.checked) {
            fipEntries << QStringLiteral("X ") + item.text;
        } else if (uncheckedRoom > 0) {
            fipEntries << QStringLiteral("  ") + item.text;
            --uncheckedRoom;
        }
    }
    while (fipEntries.size() < lineCount)
        fipEntries << QString();
    return StoreResult::Stored;
}

QString ConstructOutString(const QString &fip, const QString &county, const QString &state)
{
    QString out = fip.trimmed() + QStringLiteral("  ") + county.trimmed();
    while (out.size() <= 30)
        out += QLatin1Char(' ');
    return out + state.trimmed();
}

Boxes FillBoxes(const QString &entry)
{
    // The code stays as it stands: the length check looks at it untrimmed.
    return {entry.left(6), entry.mid(8, 23).trimmed(), entry.mid(31).trimmed()};
}

QString removeQuestion(const QString &entry)
{
    return QStringLiteral("Are you sure you want to remove FIP county:\r\n") + entry.left(28).trimmed();
}

} // namespace CountyEntries
