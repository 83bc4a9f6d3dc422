// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/AlertRecord.h"

namespace AlertRecord {

bool open(AlertStore &store, const QString &alertLogPath, const QString &sixColumnReceiver, QString *why)
{
    if (!store.open(AlertStore::PathForLog(alertLogPath), /*create*/ true, why))
        return false;
    // An old log's rows came from a receiver, never from a monitor.
    const AlertStore::Import im = store.importCsv(alertLogPath, TransferLogPathFor(alertLogPath),
                                                  IsMonitorName(sixColumnReceiver) ? QString() : sixColumnReceiver);
    if (!im.ok && why)
        *why = im.error;
    return im.ok;
}

bool logAlerts(const QString &alertLogPath, const QString &receiver, ReceiverKind kind,
               const QList<AlertLogEntry> &alerts, bool test, QString *why, int *added,
               qint64 frequencyHz, const QString &transmitter, const QString &zone)
{
    AlertStore store;
    if (!open(store, alertLogPath, receiver, why))
        return false;
    const AlertStore::Append a = store.appendAlerts(receiver, kind, alerts, test, QString(), frequencyHz, transmitter);
    if (!a.ok) {
        if (why)
            *why = a.error;
        return false;
    }
    if (added)
        *added = int(a.added.size());
    if (!zone.isEmpty()
        && !store.registerReceiver(receiver, kind, QString(), zone, QDateTime::currentDateTimeUtc(), why))
        return false;
    return true;
}

bool registerReceiver(const QString &alertLogPath, const QString &name, const QString &device, QString *why,
                      const QString &zone)
{
    AlertStore store;
    return open(store, alertLogPath, name, why)
        && store.registerReceiver(name, IsMonitorName(name) ? ReceiverKind::Monitor : ReceiverKind::Receiver, device,
                                  zone, QDateTime::currentDateTimeUtc(), why)
            != 0;
}

bool logTransfer(const QString &alertLogPath, const TransferRecord &record, QString *why)
{
    AlertStore store;
    return open(store, alertLogPath, record.receiver, why) && store.appendTransfer(record, why);
}

} // namespace AlertRecord
