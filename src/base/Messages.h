// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Prompter.h"

#include <QString>

#include <functional>

// The shared message catalogue: callers pass a selector, the catalogue owns
// the texts, titles, icons and buttons.
namespace Messages {

inline const QString FatalTitle = QStringLiteral("NX-4400 Digital Weather Receiver");
inline const QString Title = QStringLiteral("NX-4400C Digital Weather Receiver");

// Text of a parameter error (fatal) or operation error; empty for an
// unknown selector.
QString fatalErrorText(int selector);
QString errorText(int selector);

// Shows the parameter error and ends the program without saving. When a
// test's endProgram returns, so does this.
void ShowFatalError(Prompter &prompter, const std::function<void(int code)> &endProgram, int selector);
// Shows the operation error; the caller goes on afterwards.
void ShowError(Prompter &prompter, int selector);
// Selector 1: Yes or No.
Prompter::Button ConfirmNoCounties(Prompter &prompter, int selector);
// Selector 1: Yes, No or Cancel; selector 2: Yes or No.
Prompter::Button ConfirmSaveChanges(Prompter &prompter, int selector);

} // namespace Messages
