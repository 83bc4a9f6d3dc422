// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/UnattendedPrompter.h"

Prompter::Button UnattendedPrompter::ask(const QString &title, const QString &text, Icon, Buttons buttons)
{
    lastMessage = text.simplified();
    if (m_show) {
        QString shown = text;
        shown.replace(QLatin1String("\r\n"), QLatin1String(" "));
        shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
        m_show(title + QLatin1String(": ") + shown);
    }
    switch (buttons) {
    case Buttons::Ok: return Button::Ok;
    case Buttons::OkCancel:
    case Buttons::YesNoCancel: return Button::Cancel;
    case Buttons::YesNo: break;
    }
    return Button::No;
}
