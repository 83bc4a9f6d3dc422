// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/BatchTransfer.h"

#include "history/core/AlertRecord.h"

#include "base/Messages.h"
#include "base/PathCheck.h"
#include "base/Services.h"
#include "base/UnattendedPrompter.h"
#include "coverage/core/EventCatalog.h"
#include "history/core/AlertLog.h"
#include "history/core/HistoryDecoder.h"
#include "history/core/TransferLog.h"
#include "link/core/DeviceName.h"
#include "link/core/Fleet.h"
#include "link/core/LinkSession.h"
#include "link/core/SerialTrace.h"
#include "link/core/Transfer.h"

#include <QElapsedTimer>
#include <QMap>
#include <QMutex>
#include <QThread>

#include <memory>

namespace {

const QString Left = QStringLiteral("Left");
const QString Right = QStringLiteral("Right");

// What the batch's sessions share: the report sink and the alert log. Both
// are reached from every session's thread.
struct Shared {
    const BatchOptions &options;
    QMutex reportLock;
    QMutex logLock;

    void report(const QString &device, const QString &text)
    {
        if (!options.report)
            return;
        QString line = text;
        line.replace(QLatin1String("\r\n"), QLatin1String(" "));
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        QMutexLocker lock(&reportLock);
        options.report(device + QLatin1String(": ") + line);
    }
};

// The status panels become report lines. With a trace, the left panel's
// steps also start the trace's exchanges, so that the trace reads
// negotiation, upload and download apart.
class SessionView : public NullView
{
public:
    SessionView(Shared &shared, const QString &device) : m_shared(shared), m_device(device) {}

    void setStatusText(const QString &key, const QString &text) override
    {
        m_panels[key] = text;
        if (trace && key == Left)
            trace->followTransferStep(text);
        if (!text.isEmpty())
            m_shared.report(m_device, text);
    }
    QString statusText(const QString &key) const override { return m_panels.value(key); }

    SerialTrace *trace = nullptr;

private:
    Shared &m_shared;
    QString m_device;
    QMap<QString, QString> m_panels;
};

// One receiver, start to end, in the calling thread. Every object that
// waits (the session's timer, the port, its socket) is made here, so it
// belongs to this thread and its events come to this thread's loops.
void programOne(Shared &shared, const BatchReceiver &receiver, const EventCatalog &catalog, BatchResult &result)
{
    const BatchOptions &o = shared.options;
    QElapsedTimer took;
    took.start();
    const QString &device = receiver.device;
    const QString &name = receiver.name;
    result.name = name;
    result.device = device;

    // No one answers a box in a batch: each one is reported.
    UnattendedPrompter prompter([&shared, &name](const QString &line) { shared.report(name, line); });
    SessionView view(shared, name);
    Services services;
    services.setPrompter(&prompter);
    services.setView(&view);
    services.setClock(o.clock);
    services.timings = o.timings;
    services.DaylightTimeActive = o.DaylightTimeActive;
    services.settingsPath = o.settingsPath;
    services.endProgram = [](int) {};

    std::unique_ptr<SerialTrace> trace;
    if (o.trace) {
        trace = std::make_unique<SerialTrace>();
        view.trace = trace.get();
    }

    ReceiverSetup setup = receiver.setup;
    setup.config.SerialPort = 1;
    LinkSession session(services, QStringList{device, QString(), QString(), QString()});
    session.receiverName = name;
    session.Port1.setConnectTimeoutMs(o.connectTimeoutMs);
    session.Port1.setTrace(trace.get());

    if (!o.alertLogPath.isEmpty()) {
        QMutexLocker lock(&shared.logLock);
        QString why;
        // With the zone of its own setup, which its audit's weeks follow.
        if (!AlertRecord::registerReceiver(o.alertLogPath, name, device, &why, setup.config.TimeZoneName))
            result.logError = why;
    }
    HistoryRowTable history{};
    result.ok = EstConnect(session, setup, catalog, history);
    CloseReceiverPort(session);
    session.Port1.setTrace(nullptr);

    result.status = view.statusText(Left);
    if (result.ok) {
        result.romVersion = setup.config.ReceiverVersion;
    } else {
        // The status says which step failed; the port or the box says why.
        QStringList why;
        if (!result.status.isEmpty())
            why << result.status;
        // The transfer's own reason (bad checksum, short frame, lost port)
        // comes first; the port's or the box's after it.
        const QString reason = view.statusText(QStringLiteral("Reason"));
        if (!reason.isEmpty())
            why << reason;
        else if (!session.Port1.errorString().isEmpty())
            why << session.Port1.errorString();
        else if (!prompter.lastMessage.isEmpty())
            why << prompter.lastMessage;
        if (why.isEmpty())
            why << QStringLiteral("the transfer failed");
        result.reason = why.join(QLatin1String(": "));
    }

    if (result.ok && !o.alertLogPath.isEmpty()) {
        const HistorySource source{session.ReceiveBuffer, setup.config, services.DaylightTimeActive,
                                   services.clock().date(), catalog};
        QList<AlertLogEntry> alerts = AlertLogEntries(source, &result.unreadableAlerts);
        for (AlertLogEntry &a : alerts)
            a.receiver = name;
        // The database's lock keeps other programs out; the mutex keeps
        // this batch's threads from queueing on it with timed retries.
        QMutexLocker lock(&shared.logLock);
        QString why;
        int added = 0;
        if (!AlertRecord::logAlerts(o.alertLogPath, name, ReceiverKind::Receiver, alerts, false, &why, &added))
            result.logError = why;
        else
            result.alertsLogged = added;
    }
    if (!o.alertLogPath.isEmpty()) {
        const TransferRecord record{services.clock().now(), name, result.ok, result.reason, result.romVersion};
        QMutexLocker lock(&shared.logLock);
        QString why;
        if (!AlertRecord::logTransfer(o.alertLogPath, record, &why))
            result.transferLogError = why;
    }
    if (trace)
        result.trace = trace->text();
    result.seconds = took.nsecsElapsed() / 1e9;
}

} // namespace

QList<BatchResult> RunBatchTransfer(const QList<BatchReceiver> &receivers, const EventCatalog &catalog,
                                    const BatchOptions &options)
{
    Shared shared{options, {}, {}};
    QList<BatchResult> results(receivers.size());
    QStringList devices;
    for (const BatchReceiver &r : receivers)
        devices << r.device;
    // One receiver under two names would get two sessions on one line, whose
    // bytes mix: nothing is sent to any of them.
    QString twice;
    if (!CheckDistinctReceivers(devices, &twice)) {
        for (qsizetype i = 0; i < receivers.size(); ++i) {
            results[i].name = receivers.at(i).name;
            results[i].device = receivers.at(i).device;
            results[i].reason = twice + QStringLiteral("; nothing was sent");
        }
        return results;
    }
    std::vector<std::unique_ptr<QThread>> threads;
    threads.reserve(size_t(receivers.size()));
    for (qsizetype i = 0; i < receivers.size(); ++i) {
        BatchResult *slot = &results[i];
        const BatchReceiver *receiver = &receivers.at(i);
        threads.emplace_back(QThread::create([&shared, receiver, &catalog, slot] {
            programOne(shared, *receiver, catalog, *slot);
        }));
        threads.back()->start();
    }
    // Blocks on each thread's end; the sessions need nothing from this thread.
    for (auto &t : threads)
        t->wait();
    return results;
}

QList<BatchResult> RunBatchTransfer(const QStringList &devices, const ReceiverSetup &setup,
                                    const EventCatalog &catalog, const BatchOptions &options)
{
    QList<BatchReceiver> receivers;
    for (const QString &d : devices)
        receivers.append({d, d, setup});
    return RunBatchTransfer(receivers, catalog, options);
}

bool CheckBatchAlertLog(const QString &path, QString *why)
{
    if (!CheckAppendableFile(path, why))
        return false;
    const PathStatus st = ClassifyPath(path);
    if (st.kind == PathKind::Missing || st.size == 0)
        return true;
    // Only the header is read: the log may hold millions of rows.
    return CheckAlertLogNamesReceivers(path, why);
}

bool ReadDeviceList(const QString &path, QStringList *devices, QString *why)
{
    QByteArray data;
    // A device list is a few lines; 64 KiB is far past any real one.
    if (!CheckReadableFile(path, why, 64 * 1024) || !ReadFileBounded(path, 64 * 1024, &data, why))
        return false;
    const QString text = QString::fromUtf8(data);
    const QStringList lines = text.split(QLatin1Char('\n'));
    QStringList found;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        // A comment may also follow the device on its line.
        const QString name = StripListComment(lines.at(i));
        if (name.isEmpty())
            continue;
        QString reason;
        if (!IsAcceptableDeviceName(name, &reason)) {
            if (why)
                *why = QStringLiteral("%1: line %2: %3").arg(path).arg(i + 1).arg(reason);
            return false;
        }
        if (found.contains(name)) {
            if (why)
                *why = QStringLiteral("%1: line %2: %3 is named twice").arg(path).arg(i + 1).arg(name);
            return false;
        }
        found << name;
    }
    if (found.isEmpty()) {
        if (why)
            *why = QStringLiteral("%1 names no device").arg(path);
        return false;
    }
    devices->append(found);
    return true;
}
