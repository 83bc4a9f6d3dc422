// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ScriptedPrompter.h"

Prompter::Button ScriptedPrompter::ask(const QString &title, const QString &text, Icon icon,
                                       Buttons buttons)
{
    Box box{title, text, icon, buttons};
    boxes << box;
    if (onBox)
        onBox(box);
    if (!answers.isEmpty())
        return answers.dequeue();
    return buttons == Buttons::Ok || buttons == Buttons::OkCancel ? Button::Ok : Button::Yes;
}

QString ScriptedPrompter::saveFileName(const SaveRequest &request)
{
    saveRequests << request;
    return saveAnswers.isEmpty() ? QString() : saveAnswers.dequeue();
}

QStringList ScriptedPrompter::texts() const
{
    QStringList out;
    for (const Box &b : boxes)
        out << b.text;
    return out;
}

void ScriptedPrompter::clear()
{
    boxes.clear();
    answers.clear();
    beeps = 0;
    saveRequests.clear();
    saveAnswers.clear();
}
