// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/Messages.h"


namespace Messages {

QString fatalErrorText(int selector)
{
    switch (selector) {
    case 1: return QStringLiteral("Error #101:  Missing NX-4400C Digital Weather Receiver Parameter File");
    case 2: return QStringLiteral("Error #102:  Missing or Corrupted NX-4400C FIP Codes");
    case 3: return QStringLiteral("Error #103:  Missing or Corrupted NX-4400C Event Codes");
    case 4: return QStringLiteral("Error #104:  Missing or Corrupted NX-4400C Flag Parameters");
    case 5: return QStringLiteral("Error #105:  Missing or Corrupted NX-4400C Timer Parameters");
    case 6: return QStringLiteral("Error #106:  Missing or Corrupted NX-4400C State Parameters");
    case 7: return QStringLiteral("Error #107:  Missing or Corrupted NX-4400C Transmitter Location Parameter");
    case 8: return QStringLiteral("Error #108:  Missing or Corrupted NX-4400C Frequency Limit Parameter");
    case 9: return QStringLiteral("Error #109:  Missing or Corrupted NX-4400C Rear Connector Input Parameters");
    case 10: return QStringLiteral("Error #110:  Missing or Corrupted NX-4400C Rear Connector Output Parameters");
    case 11: return QStringLiteral("Error #111:  Missing or Corrupted NX-4400C Voice Interval Parameters");
    case 12: return QStringLiteral("Error #112:  Missing or Corrupted NX-4400C Relay Delay Parameter");
    case 13: return QStringLiteral("Error #113:  Missing or Corrupted NX-4400C Station Identification Parameter");
    case 99: return QStringLiteral("Error #199:  Missing or Corrupted NX-4400C Data File, Please Consult Factory");
    default: return {};
    }
}

QString errorText(int selector)
{
    switch (selector) {
    case 1: return QStringLiteral("Error #201:  Selected Serial Port will not open");
    case 2: return QStringLiteral("Error #202:  Serial Connection Not Established\r\n"
                                  "Note: Insure receiver monitor switch is DOWN. ");
    case 3: return QStringLiteral(" Error, No Transmitter Location Selected. ");
    case 4: return QStringLiteral(" Error, No FIP Counties have been Selected. ");
    case 5: return QStringLiteral(" Error, More than 24 FIP codes selected. ");
    case 10: return QStringLiteral("Error #301:  No History Data to Print. ");
    case 11: return QStringLiteral("Error #302:  Print Spooling Error. ");
    case 12: return QStringLiteral("Error #303:  No History Data to Save. ");
    case 50: return QStringLiteral("Error #500:  Could not load your Web Browser. ");
    default: return {};
    }
}

void ShowFatalError(Prompter &prompter, const std::function<void(int code)> &endProgram, int selector)
{
    prompter.ask(FatalTitle, fatalErrorText(selector), Prompter::Icon::Exclamation,
                       Prompter::Buttons::Ok);
    if (endProgram)
        endProgram(1);
}

void ShowError(Prompter &prompter, int selector)
{
    prompter.ask(Title, errorText(selector), Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}

Prompter::Button ConfirmNoCounties(Prompter &prompter, int selector)
{
    Q_UNUSED(selector);
    return prompter.ask(Title,
                              QStringLiteral(" Error, No FIP Counties have been Selected\r\n"
                                             " Do you still want to Exit?"),
                              Prompter::Icon::Exclamation, Prompter::Buttons::YesNo);
}

Prompter::Button ConfirmSaveChanges(Prompter &prompter, int selector)
{
    return prompter.ask(Title, QStringLiteral(" Do you want to save any changes? "),
                              Prompter::Icon::Question,
                              selector == 1 ? Prompter::Buttons::YesNoCancel : Prompter::Buttons::YesNo);
}

} // namespace Messages
