// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/CoverageChanges.h"
#include "coverage/core/CoverageImport.h"

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

// "Update Coverage": what a listing would change, before anything is
// applied. What concerns the user's own transmitter and counties stands on
// top in large red type; then the changes, then the notes on the file. A
// refused listing offers only Close.
class frmCoverageUpdate : public QDialog
{
    Q_OBJECT

public:
    frmCoverageUpdate(const CoverageImport::Result &result, const CoverageChanges::Summary &summary,
                      QWidget *parent = nullptr);

    // The whole text the window shows, for tests and the screen reader.
    QString reportText() const;

private:
    QLabel *m_lblWarning = nullptr;
    QPlainTextEdit *m_txtSummary = nullptr;
};
