// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// No one sits at a cron job or at the sessions of a batch: every box is
// handed to `show` as one line ("title: text", line breaks made blanks) and
// answered with its most cautious button (Ok, No, Cancel), so nothing is
// created or overwritten on the user's behalf. The last box's text is kept
// as the reason a failed run gives.

#include "base/Prompter.h"

#include <functional>

class UnattendedPrompter : public Prompter
{
public:
    explicit UnattendedPrompter(std::function<void(const QString &line)> show = {}) : m_show(std::move(show)) {}

    Button ask(const QString &title, const QString &text, Icon icon, Buttons buttons) override;
    void beep() override {}
    QString saveFileName(const SaveRequest &) override { return QString(); }

    QString lastMessage;   // the last box's text, on one line

private:
    std::function<void(const QString &line)> m_show;
};
