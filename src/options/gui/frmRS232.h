// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class Services;
struct ReceiverConfig;
class QCheckBox;
class QPushButton;

// The rear RS-232 port page: whether the receiver copies each weather data
// packet out of its rear port and how it frames it (section NV800C). It has
// OK only; the close box and Escape leave without saving.
class frmRS232 : public QDialog
{
    Q_OBJECT
public:
    frmRS232(Services &services, ReceiverConfig &config, QWidget *parent = nullptr);

    void GetData();
    void SaveData();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void applyEnabling();   // chkRs232_Click
    void cmdOK_Click();

    Services &m_svc;
    ReceiverConfig &m_config;
    QCheckBox *m_chkRs232[8] = {};
    QPushButton *m_cmdOk = nullptr;
};
