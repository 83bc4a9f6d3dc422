// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/TransmitterTable.h"

#include <QDateTime>
#include <QHash>
#include <QLabel>

class QListWidget;
class Services;

// The line under the transmitter list that says what NOAA's listing knows
// about the highlighted transmitter: call sign, status, power, forecast
// office and where it stands. The list's entries stay as they are. The
// table is read again whenever the listing in use changes.
class TransmitterInfoLine : public QLabel
{
    Q_OBJECT

public:
    TransmitterInfoLine(Services &services, QListWidget *list, QWidget *parent);

    // The text for a transmitter field (empty field: nothing highlighted).
    QString describe(const QString &field);

private:
    void refresh();
    void reloadIfChanged();

    Services &m_svc;
    QListWidget *m_list;
    QHash<QString, TransmitterInfo> m_table;
    QString m_folder;
    QDateTime m_stamp;
    QString m_problem;
};
