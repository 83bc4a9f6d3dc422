// SPDX-License-Identifier: GPL-3.0-or-later
#include "options/gui/OptionPage.h"

#include <QButtonGroup>

namespace OptionPage {

void select(QButtonGroup *group, int index)
{
    if (QAbstractButton *b = group->button(index)) {
        b->setChecked(true);
        return;
    }
    const bool exclusive = group->exclusive();
    group->setExclusive(false);
    for (QAbstractButton *b : group->buttons())
        b->setChecked(false);
    group->setExclusive(exclusive);
}

int selected(const QButtonGroup *group)
{
    for (int i = 0;; ++i) {
        QAbstractButton *b = group->button(i);
        if (!b)
            return -1;
        if (b->isChecked())
            return i;
    }
}

void setGroupEnabled(QButtonGroup *group, bool enabled)
{
    for (QAbstractButton *b : group->buttons())
        b->setEnabled(enabled);
}

} // namespace OptionPage
