// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAccessible>
#include <QObject>
#include <QString>

#include <functional>

// Everything a screen reader can reach under `root`, as one text: each
// element's name and value, "name|value", a line each.
inline QString accessibleText(QObject *root)
{
    QString text;
    std::function<void(QAccessibleInterface *, int)> walk = [&](QAccessibleInterface *i, int depth) {
        if (!i || depth > 12)
            return;
        text += i->text(QAccessible::Name) + QLatin1Char('|') + i->text(QAccessible::Value) + QLatin1Char('\n');
        for (int c = 0; c < i->childCount(); ++c)
            walk(i->child(c), depth + 1);
    };
    walk(QAccessible::queryAccessibleInterface(root), 0);
    return text;
}
