// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QStringList>

class LinkSession;
struct ReceiverConfig;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

// " NX-4400C Setup": which serial port the receiver is on (and which device
// each port number stands for), the port search, the time zone, the
// daylight-saving adjustment and the zone whose daylight dates it follows. OK stores the choices in ReceiverConfig; a
// changed device is written to the settings store at once, since it belongs
// to this computer rather than to the receiver's settings.
class frmCommPort : public QDialog
{
    Q_OBJECT

public:
    static constexpr int PortCount = 4;

    // Edits the port and time-zone fields of `config`; searches ports through
    // `session`, the editor's link with its receiver.
    frmCommPort(LinkSession &session, ReceiverConfig &config, QWidget *parent = nullptr);

    void LoadCombos();
    void GetSettings();
    void SaveSettings();
    // Ports 1..4 in order; the first that answers "T" with ACK, or -1.
    int TestSerial();
    bool TestOpenPort(int port);

    // The eight time-zone entries and their offsets, in list order.
    static const QStringList &timeZoneEntries();
    static int timeZoneOffset(int index);
    // The first entry of the daylight zone list: no TimeZoneName.
    static const QString &computerZoneEntry();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void onActivate();
    void onTest();
    void onOk();
    QStringList shownDevices() const;
    QString shownZoneName() const;

    LinkSession &m_session;
    ReceiverConfig &m_config;
    QStringList m_storedDevices;
    QRadioButton *m_optCommPort[PortCount] = {};
    QComboBox *m_cmbDevice[PortCount] = {};
    QComboBox *m_cmbTimeZone = nullptr;
    QCheckBox *m_chkAdjustTime = nullptr;
    QComboBox *m_cmbTimeZoneName = nullptr;
    QPushButton *m_cmdTest = nullptr;
    QPushButton *m_cmdOk = nullptr;
    QLabel *m_Image1 = nullptr;
};
