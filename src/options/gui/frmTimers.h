// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class Services;
struct ReceiverConfig;
class QButtonGroup;
class QGroupBox;

// The timer settings page: the five timer codes of section TIMERS, each an
// exclusive group of option buttons whose index gives the code.
class frmTimers : public QDialog
{
    Q_OBJECT
public:
    frmTimers(Services &services, ReceiverConfig &config, QWidget *parent = nullptr);

    void GetData();
    void SaveData();

private:
    void cmdOK_Click();

    Services &m_svc;
    ReceiverConfig &m_config;
    QButtonGroup *m_optTimeSp = nullptr;
    QButtonGroup *m_optTimeLn = nullptr;
    QButtonGroup *m_optVoiceTimer = nullptr;
    QButtonGroup *m_optRelayDelay = nullptr;
    QButtonGroup *m_optVoiceDelay = nullptr;
    QGroupBox *m_fraVoiceTimer = nullptr;
};
