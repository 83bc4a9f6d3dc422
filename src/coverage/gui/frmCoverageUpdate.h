// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/CoverageChanges.h"
#include "coverage/core/CoverageImport.h"
#include "coverage/core/SetupCheck.h"

#include <QDialog>

class QLabel;
class QTableWidget;

// "Update Coverage": what a listing would change, before anything is
// applied. One headline says what it means for the user's own transmitter
// and counties, then the transmitters that could take over, then a compact
// table of the changes and the notes on the file. Sized for a 1024x768
// screen: long texts are cut in the table (the whole text is its tool tip),
// never scrolled sideways. A refused listing offers only Close.
class frmCoverageUpdate : public QDialog
{
    Q_OBJECT

public:
    frmCoverageUpdate(const CoverageImport::Result &result, const CoverageChanges::Summary &summary,
                      const SetupCheck::Report &check, QWidget *parent = nullptr);

    // The whole text the window shows, for tests and the screen reader.
    QString reportText() const;

private:
    void addRow(const QString &change, const QString &what);

    QLabel *m_lblListing = nullptr;
    QLabel *m_lblWarning = nullptr;
    QLabel *m_lblSuggestions = nullptr;
    QTableWidget *m_tblChanges = nullptr;
};
