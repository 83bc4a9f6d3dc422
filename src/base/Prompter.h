// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Everything the program asks of the user through a modal box, the system
// beep and the file-save dialog goes through one Prompter, so that tests can
// script the answers and count the beeps instead of blocking on a real box.
class Prompter
{
public:
    enum class Icon { None, Information, Question, Exclamation, Critical };
    enum class Buttons { Ok, YesNo, YesNoCancel, OkCancel };
    enum class Button { Ok, Yes, No, Cancel };

    struct SaveRequest {
        QString title;
        QString directory;    // start folder
        QString fileName;     // proposed name, may be empty
        QString filter;       // Qt filter string, e.g. "NX-4400 File(s) (*.TXT)"
        bool confirmOverwrite = true;
    };

    virtual ~Prompter() = default;

    // Shows a modal message box and returns the button the user pressed.
    virtual Button ask(const QString &title, const QString &text, Icon icon, Buttons buttons) = 0;
    // The system beep that windows sound when they refuse an input.
    virtual void beep() = 0;
    // The file-save dialog; returns an empty string when cancelled.
    virtual QString saveFileName(const SaveRequest &request) = 0;
};
