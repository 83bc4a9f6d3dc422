// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class AppContext;
class QPlainTextEdit;

// What a support call needs to know about the computer the editor runs on.
struct SysInfoReport {
    struct SerialDevice {
        QString path;          // /dev/ttyUSB0, COM3
        QString description;   // "USB-Serial Controller"
        QString manufacturer;
        QString serialNumber;
        QString usbId;         // "067b:2303", empty when not USB
        int portNumber = 0;    // 1..4 when the editor's port of that number is this device
    };
    QString operatingSystem;
    QString kernel;
    QString architecture;
    QString qtVersion;         // the Qt the program runs on
    QString qtBuildVersion;    // the Qt it was built with
    QString programVersion;
    QString receiverVersion;
    QString coverage;          // the coverage listing in use
    QString coverageFolder;
    QStringList portDevices;   // device of Port 1..4 as the editor has them
    QList<SerialDevice> devices;

    bool isEmpty() const { return operatingSystem.isEmpty() && qtVersion.isEmpty(); }
    // The report as plain text, one fact per line.
    QString text() const;
};

// Gathers the report; tests may put a collector of their own in its place
// (an empty function restores the real one).
SysInfoReport CollectSysInfo(AppContext &ctx);
void setSysInfoCollector(std::function<SysInfoReport(AppContext &)> collector);

// The system information window: the report, with a button that copies it
// to the clipboard for an e-mail to support.
class frmSysInfo : public QDialog
{
    Q_OBJECT

public:
    frmSysInfo(const SysInfoReport &report, QWidget *parent = nullptr);
    QString reportText() const { return m_text; }

private:
    QString m_text;
};

// "System Info": shows the window, or "System Information Is Unavailable
// At This Time" when nothing could be gathered.
void StartSysInfo(AppContext &ctx, QWidget *parent);
