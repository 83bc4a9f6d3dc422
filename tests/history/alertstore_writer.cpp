// SPDX-License-Identifier: GPL-3.0-or-later
// A writer for the store's process tests: appends COUNT alerts for NAME to
// the database, one transaction each, and prints "logged N" after each
// commit, so a test that kills it knows which rows were reported written.
//   nx-alertstore-writer DB NAME COUNT [FSIZE_LIMIT_BYTES]
#include "history/core/AlertStore.h"

#include <QCoreApplication>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList a = app.arguments();
    if (a.size() < 4)
        return 2;
    if (a.size() > 4) {
        // A file-size limit stands for a full disk: writes past it fail.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlim_t limit = a.at(4).toULongLong();
        rlimit rl{limit, limit};
        setrlimit(RLIMIT_FSIZE, &rl);
    }
    const QString name = a.at(2);
    const ReceiverKind kind = IsMonitorName(name) ? ReceiverKind::Monitor : ReceiverKind::Receiver;
    AlertStore store;
    QString why;
    QTextStream err(stderr);
    if (!store.open(a.at(1), true, &why)) {
        err << why << '\n';
        return 1;
    }
    const int count = a.at(3).toInt();
    const QDateTime start(QDate(2026, 1, 4), QTime(11, 0), Qt::OffsetFromUTC, -6 * 3600);
    for (int i = 0; i < count; ++i) {
        AlertLogEntry e;
        e.localTime = start.addSecs(qint64(i) * 60);
        e.originator = QStringLiteral("WXR");
        e.code = QStringLiteral("RWT");
        e.name = QStringLiteral("Required Weekly Test");
        e.length = QStringLiteral("00:15");
        e.note = QString(200, QLatin1Char('n'));   // rows of some size, so a limit is reached soon
        if (kind == ReceiverKind::Monitor) {
            e.header = QStringLiteral("ZCZC-WXR-RWT-048113+0015-%1-KDFW/NWS-").arg(i);
            e.heard = e.localTime;
        }
        const AlertStore::Append r = store.appendAlerts(name, kind, {e});
        if (!r.ok) {
            err << r.error << '\n';
            return 1;
        }
        std::printf("logged %d\n", i + 1);
        std::fflush(stdout);
    }
    return 0;
}
