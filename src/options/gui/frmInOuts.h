// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class Services;
struct ReceiverConfig;
class QButtonGroup;
class QCheckBox;
class QTabWidget;

// The rear connector page: what grounding input 1 or 2 does (NV8009,
// NV800A), which events pulse outputs 1 and 2 (NV800D, NV800E) and which
// moments raise and drop output 3 (NV800F).
class frmInOuts : public QDialog
{
    Q_OBJECT
public:
    frmInOuts(Services &services, ReceiverConfig &config, QWidget *parent = nullptr);

    void GetData();
    void SaveData();
    void InitButtons();

private:
    void cmdOK_Click();

    Services &m_svc;
    ReceiverConfig &m_config;
    QTabWidget *m_SSTab1 = nullptr;
    // Inputs 1 and 2, outputs 1 and 2: an in-use box and eight buttons each.
    QCheckBox *m_inUse[4] = {};
    QButtonGroup *m_group[4] = {};
    QButtonGroup *m_optTab3Raise = nullptr;
    QButtonGroup *m_optTab3Trail = nullptr;
};
