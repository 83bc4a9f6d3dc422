// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Prompter.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <functional>

// A prompter for tests: records every box, beep and save dialog, and answers
// from queues. A box with no queued answer gets the first button of its set
// (Ok or Yes) and is still recorded, so a test can fail on boxes it did not
// expect by looking at `boxes`.
class ScriptedPrompter : public Prompter
{
public:
    struct Box {
        QString title;
        QString text;
        Icon icon;
        Buttons buttons;
    };

    QList<Box> boxes;
    QQueue<Button> answers;
    int beeps = 0;
    QList<SaveRequest> saveRequests;
    QQueue<QString> saveAnswers;
    // Called when a box is shown, before it is answered (for tests that act
    // while a box would be on screen).
    std::function<void(const Box &)> onBox;

    Button ask(const QString &title, const QString &text, Icon icon, Buttons buttons) override;
    void beep() override { ++beeps; }
    QString saveFileName(const SaveRequest &request) override;

    QStringList texts() const;
    void clear();
};
