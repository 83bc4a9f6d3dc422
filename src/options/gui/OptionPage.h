// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <initializer_list>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

// Building blocks shared by the five receiver option pages. Controls carry
// the receiver program's control names; an element of a control array is
// named "<array>_<index>" (chkRs232_3).
namespace OptionPage {

QString arrayName(const char *array, int index);

// The toolbar button's picture ("options", "timers", ...) as the page's Image1.
QLabel *picture(QWidget *parent, const QString &icon, const QString &description);

QGroupBox *frame(QWidget *parent, const QString &name, const QString &caption);
QCheckBox *checkBox(QWidget *parent, const QString &name, const QString &caption);
QPushButton *button(QWidget *parent, const QString &name, const QString &caption);

// One option button of an exclusive group; its id in the group is `index`.
// `context` prefixes the accessible name where several groups share captions.
QRadioButton *option(QButtonGroup *group, QWidget *parent, const char *array, int index,
                     const QString &caption, const QString &context = QString());

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
