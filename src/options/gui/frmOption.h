// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class Services;
struct ReceiverConfig;
class QButtonGroup;
class QCheckBox;
class QPushButton;
class QRadioButton;

// The alert options page: alert outputs, front-panel switch, overrides and
// voice interval announcements (flag bytes NV8008 and NV800B). Edits reach
// ReceiverConfig only through OK.
class frmOption : public QDialog
{
    Q_OBJECT
public:
    frmOption(Services &services, ReceiverConfig &config, QWidget *parent = nullptr);

    void GetData();
    void SaveData();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void applyEnabling();   // chkVocInt_Click
    void cmdOK_Click();

    Services &m_svc;
    ReceiverConfig &m_config;
    QCheckBox *m_chkFrontPanel[5] = {};
    QCheckBox *m_chkOverride[3] = {};
    QCheckBox *m_chkVocInt[3] = {};
    QRadioButton *m_optVocInt[3] = {};
    QButtonGroup *m_vocGroup = nullptr;
    QPushButton *m_cmdOk = nullptr;
};
