// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Prompter.h"

class QMessageBox;
class QWidget;

// The application's prompter: real message boxes, the system beep and the
// platform's file-save dialog.
class QtPrompter : public Prompter
{
public:
    Button ask(const QString &title, const QString &text, Icon icon, Buttons buttons) override;
    void beep() override;
    QString saveFileName(const SaveRequest &request) override;

    // Sets up a box with the title, text, icon and buttons given; ask()
    // shows it modally.
    static void configure(QMessageBox &box, const QString &title, const QString &text, Icon icon,
                          Buttons buttons);
    // The answer that sends, prints, overwrites and deletes nothing: what
    // Return, Escape and the close box give.
    static Button safeAnswer(Buttons buttons);
};
