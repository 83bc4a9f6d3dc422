// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/gui/QtPrompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

void QtPrompter::configure(QMessageBox &box, const QString &title, const QString &text, Icon icon,
                           Buttons buttons)
{
    box.setWindowTitle(title);
    // Message texts use CR LF line breaks; the box wants plain LF.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    box.setText(shown);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Question: box.setIcon(QMessageBox::Question); break;
    case Icon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    // The questions this program asks send to the receiver, print, overwrite
    // or delete when answered Yes or OK. A user who presses Return or Escape
    // without reading must get the answer that does nothing: No where there
    // is no Cancel, otherwise Cancel (a "save changes?" asked on exit then
    // keeps the window open rather than throwing the changes away).
    QMessageBox::StandardButton safe = QMessageBox::Ok;
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        safe = QMessageBox::Ok;
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        safe = QMessageBox::Cancel;
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        safe = QMessageBox::No;
        break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        safe = QMessageBox::Cancel;
        break;
    }
    box.setDefaultButton(safe);
    box.setEscapeButton(safe);
}

Prompter::Button QtPrompter::safeAnswer(Buttons buttons)
{
    switch (buttons) {
    case Buttons::Ok: return Button::Ok;
    case Buttons::YesNo: return Button::No;
    case Buttons::OkCancel:
    case Buttons::YesNoCancel: break;
    }
    return Button::Cancel;
}

Prompter::Button QtPrompter::ask(const QString &title, const QString &text, Icon icon, Buttons buttons)
{
    QMessageBox box(QApplication::activeWindow());
    configure(box, title, text, icon, buttons);
    const int r = box.exec();
    switch (r) {
    case QMessageBox::Yes: return Button::Yes;
    case QMessageBox::No: return Button::No;
    case QMessageBox::Ok: return Button::Ok;
    default:
        // The close box: the same answer as Escape.
        return safeAnswer(buttons);
    }
}

void QtPrompter::beep()
{
    QApplication::beep();
}

QString QtPrompter::saveFileName(const SaveRequest &request)
{
    QFileDialog::Options options;
    if (!request.confirmOverwrite)
        options |= QFileDialog::DontConfirmOverwrite;
    QString start = request.directory;
    if (!request.fileName.isEmpty())
        start += QLatin1Char('/') + request.fileName;
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), request.title, start,
                                        request.filter, nullptr, options);
}
