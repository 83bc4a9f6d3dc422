// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/SetupCheck.h"

#include <QDialog>

class Services;
struct ReceiverSetup;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class frmFIPS;
class CountyMapView;

// The transmitter window: a state, optionally a frequency, and one of the
// state's transmitters. Confirming a transmitter replaces the county list of
// the county window with every county it covers. Hidden, not destroyed, when
// it closes.
class frmEnterFIP : public QDialog
{
    Q_OBJECT

public:
    frmEnterFIP(Services &services, ReceiverSetup &setup, frmFIPS *countyWindow, QWidget *parent = nullptr);

    void FillStateList();
    void FillFrequencyList();
    // Refills the transmitter list for the state; false after the message.
    bool LoadStateFile(int stateId);
    // Highlights the transmitter equal to `field` (trimmed, any letter case).
    void highlightTransmitter(const QString &field);
    // Marks the stored transmitter when the setup check finds it gone, off
    // the air or retuned, with the transmitters suggested instead.
    void setSetupCheck(const SetupCheck::Report &report);
    // Confirms the highlighted transmitter; false when none is highlighted.
    bool StoreFips();

    void cmbState_Click(int index);
    void cmbLimit_Click(int index);
    void cmdOk_Click();

public slots:
    void reject() override;   // Cancel, Escape and the close box

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The map preview of the highlighted transmitter's counties.
    void updatePreview();

    Services &m_svc;
    ReceiverSetup &m_setup;
    frmFIPS *m_fips;
    QComboBox *m_cmbState = nullptr;
    QComboBox *m_cmbLimit = nullptr;
    QListWidget *m_lstCounty = nullptr;
    QPushButton *m_cmdCancel = nullptr;
    CountyMapView *m_preview = nullptr;
    QLabel *m_lblGone = nullptr;
};
