// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <initializer_list>

class QButtonGroup;

// Exclusive option groups of the five receiver option pages. The controls
// themselves are made by the named-widget helper (widgets/NamedWidgets.h).
namespace OptionPage {

// Selects button `index` of the group, or none at all for -1 (an exclusive
// group normally refuses to be left without a selection).
void select(QButtonGroup *group, int index);
// The first selected button from index 0 upward, -1 when none is selected.
int selected(const QButtonGroup *group);
// Enables or disables every button of the group; selections stay.
void setGroupEnabled(QButtonGroup *group, bool enabled);

// Index of the first true flag of a run, -1 when none is true. The store
// may hold several true flags of one exclusive group; the first one wins.
inline int firstTrue(std::initializer_list<bool> flags)
{
    int i = 0;
    for (bool f : flags) {
        if (f)
            return i;
        ++i;
    }
    return -1;
}

} // namespace OptionPage
