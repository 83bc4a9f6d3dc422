// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// File > Open Receiver...: the receivers of the fleet file, one a row (name,
// device, profile), and the editor's own setup first. The fleet file is the
// one the settings store names; another can be typed and read. The chosen
// row is what the windows edit next.

#include "link/core/Fleet.h"

#include <QDialog>
#include <QList>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class frmOpenReceiver : public QDialog
{
    Q_OBJECT

public:
    frmOpenReceiver(const QString &fleetFile, const QString &current, QWidget *parent = nullptr);

    // The fleet file whose receivers are listed; empty when none was read.
    QString fleetFile() const { return m_fleetFile; }
    // The chosen receiver; `isEditors` when the editor's own setup was.
    bool choseEditors() const;
    FleetReceiver chosen() const;

    // Reads `path` and lists its receivers; false (with the reason shown in
    // the window) when it is refused, and the list is left as it was.
    bool readFleet(const QString &path);

private:
    void fillList(const QString &current);

    QLineEdit *m_txtFleetFile = nullptr;
    QPushButton *m_cmdRead = nullptr;
    QListWidget *m_lstReceivers = nullptr;
    QLabel *m_lblProblem = nullptr;
    QPushButton *m_cmdOpen = nullptr;
    QString m_fleetFile;
    QList<FleetReceiver> m_receivers;
};
