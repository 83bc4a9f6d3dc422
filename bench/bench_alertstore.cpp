// SPDX-License-Identifier: GPL-3.0-or-later
// The alert database at a million rows, and under writers that run at once
// or are killed. Prints "name: value" lines (scripts/bench.sh picks them):
// each command runs as a program of its own, with its wall time and peak
// resident memory (the child's ru_maxrss).
//   bench_alertstore [--kills N] [--rows-per-writer N]
//   bench_alertstore --window DB   (the Alert Log window's model on DB only)
#include "history/core/AlertStore.h"
#include "history/core/AlertLogModel.h"
#include "support/GeneratedAlertLog.h"
#include "support/TestEnv.h"

#include "ChildRun.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <functional>
#include <QThread>

#include <cstdio>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace {

// Runs a program to its end; its wall time and peak resident memory.
bool runChild(const QStringList &args, double *seconds, double *peakMB)
{
    const ChildRun r = runChildMeasured(args);
    *seconds = r.wallSeconds;
    *peakMB = r.peakMB;
    return r.ran && r.exitCode >= 0 && r.exitCode <= 1;   // audit exits 1 for a gap
}

QString binary(const QString &name, const QString &sub)
{
    if (qEnvironmentVariableIsSet("NX_BINARY_DIR"))
        return qEnvironmentVariable("NX_BINARY_DIR") + QLatin1Char('/') + sub + QLatin1Char('/') + name;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../") + sub + QLatin1Char('/') + name;
}

void figure(const char *name, double seconds, double peak)
{
    std::printf("%s: %.3f s, %.0f MB\n", name, seconds, peak);
    std::fflush(stdout);
}

int reported(const QByteArray &out)
{
    int n = 0;
    for (const QByteArray &l : out.split('\n'))
        if (l.startsWith("logged "))
            n = l.mid(7).toInt();
    return n;
}

qint64 rowsOf(AlertStore &s, const QString &name)
{
    AlertQuery q;
    q.receivers = QStringList{name};
    qint64 n = 0;
    QString error;
    s.forEachAlert(q, [&](const StoredAlert &) {
        ++n;
        return true;
    }, &error);
    return n;
}

double secondsOf(const std::function<void()> &step)
{
    QElapsedTimer t;
    t.start();
    step();
    return t.nsecsElapsed() / 1e9;
}

double peakMB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}

// The Alert Log window's model and filter on a database, as the window
// uses them: open, filters, sorts and a jump to the last row, each timed
// until the first row shown has been read. Run as a process of its own so
// its peak resident memory is the model's.
int windowFigures(const QString &db)
{
    AlertLogModel model;
    AlertLogFilter filter;
    filter.setSourceModel(&model);
    filter.sort(AlertLogModel::DateTimeColumn, Qt::DescendingOrder);
    auto shown = [&] {
        if (filter.rowCount() > 0)
            filter.index(0, AlertLogModel::EventColumn).data();
    };
    QString why;
    bool ok = true;
    const double open = secondsOf([&] {
        ok = model.load(db, &why);
        shown();
    });
    if (!ok) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    std::printf("window_model_open_1m_rows: %.3f s, %d rows, %d held\n", open, filter.rowCount(), model.cachedRows());
    struct Step {
        const char *name;
        std::function<void()> run;
    };
    AlertLogCriteria warnings;
    warnings.eventClass = int(EventClass::Warning);
    AlertLogCriteria text;
    text.text = QStringLiteral("tornado");
    AlertLogCriteria day;
    day.text = QStringLiteral("2025-03-1");
    AlertLogCriteria code;
    code.codes = QStringLiteral("RWT");
    const QList<Step> steps{
        {"window_model_filter_class", [&] { filter.setFilter(warnings); }},
        {"window_model_sort_event", [&] { filter.sort(AlertLogModel::EventColumn, Qt::AscendingOrder); }},
        {"window_model_filter_text", [&] { filter.setFilter(text); }},
        {"window_model_filter_code", [&] { filter.setFilter(code); }},
        {"window_model_filter_date_text", [&] { filter.setFilter(day); }},
        {"window_model_filter_none", [&] { filter.setFilter(AlertLogCriteria()); }},
        {"window_model_sort_originator", [&] { filter.sort(AlertLogModel::OriginatorColumn, Qt::DescendingOrder); }},
        {"window_model_sort_receiver", [&] { filter.sort(AlertLogModel::ReceiverColumn, Qt::AscendingOrder); }},
        {"window_model_sort_time", [&] { filter.sort(AlertLogModel::DateTimeColumn, Qt::AscendingOrder); }},
        {"window_model_last_row", [&] { filter.index(filter.rowCount() - 1, 0).data(); }},
    };
    for (const Step &step : steps) {
        const double took = secondsOf([&] {
            step.run();
            shown();
        });
        std::printf("%s: %.3f s, %d rows\n", step.name, took, filter.rowCount());
    }
    // What the window's audit of required tests reads: every row, streamed.
    qint64 every = 0;
    const double audit = secondsOf([&] { model.forEachEntry([&](const AlertLogEntry &) { ++every; }); });
    std::printf("window_model_every_row: %.3f s, %lld rows\n", audit, every);
    // The audit of the last year (the window's audit reads from its first
    // date on, and each receiver's last tests before it).
    filter.sort(AlertLogModel::DateTimeColumn, Qt::DescendingOrder);
    const QDate newest = filter.index(0, 0).data(AlertLogModel::SortRole).toDateTime().date();
    qint64 year = 0;
    const double yearAudit = secondsOf([&] {
        model.forAuditFrom(newest.addYears(-1), [&](const AlertLogEntry &) { ++year; });
    });
    std::printf("window_model_audit_rows: %.3f s, %lld rows\n", yearAudit, year);
    std::printf("window_model_peak: %.0f MB resident at most\n", peakMB());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // The tiny run (NX_BENCH_TINY=1) only shows that every row of the table
    // fills: a fiftieth of the rows, three kills, small writers.
    const bool tiny = qEnvironmentVariableIntValue("NX_BENCH_TINY") == 1;
    int kills = tiny ? 3 : 200, perWriter = tiny ? 200 : 10000;
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("--generate")) {
        QList<AlertLogEntry> rows = generatedAlerts(qEnvironmentVariableIntValue("NX_BENCH_TINY") == 1 ? 20000 : 1000000);
        for (int i = 0; i < rows.size(); ++i)
            rows[i].receiver = QStringLiteral("r%1").arg(i % 40, 2, 10, QLatin1Char('0'));
        QFile f(args.at(2));
        return f.open(QIODevice::WriteOnly) && f.write(AlertLogTextFor(rows, AlertLogLayoutCurrent)) > 0 ? 0 : 1;
    }
    if (args.size() == 3 && args.at(1) == QLatin1String("--window"))
        return windowFigures(args.at(2));
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--kills"))
            kills = args.at(i + 1).toInt();
        else if (args.at(i) == QLatin1String("--rows-per-writer"))
            perWriter = args.at(i + 1).toInt();
    }
    const QString cli = binary(QStringLiteral("nx4400c-cli"), QStringLiteral("bin"));
    const QString writer = binary(QStringLiteral("nx-alertstore-writer"), QStringLiteral("tests"));
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("alerts.csv"));
    const QString db = dir.filePath(QStringLiteral("alerts.db"));

    // A million rows of 40 receivers, split in turn among them, written by
    // a process of its own: this one stays small, and the programs it
    // starts count only their own memory.
    if (QProcess::execute(QCoreApplication::applicationFilePath(), {QStringLiteral("--generate"), csv}) != 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(csv));
        return 1;
    }
    double s = 0, mb = 0;
    if (!runChild({cli, QStringLiteral("log"), QStringLiteral("import"), QStringLiteral("--csv"), csv}, &s, &mb))
        return 1;
    figure("import_1m_rows", s, mb);
    std::printf("database_size: %.0f MB\n", QFileInfo(db).size() / 1e6);
    if (!runChild({cli, QStringLiteral("log"), QStringLiteral("show"), QStringLiteral("--db"), db, QStringLiteral("--receiver"),
                   QStringLiteral("r07"), QStringLiteral("--from"), QStringLiteral("2025-03-01"), QStringLiteral("--to"),
                   QStringLiteral("2025-03-31")},
                  &s, &mb))
        return 1;
    figure("show_one_receiver_month", s, mb);
    if (!runChild({cli, QStringLiteral("log"), QStringLiteral("audit"), QStringLiteral("--db"), db, QStringLiteral("--from"),
                   QStringLiteral("2025-01-01"), QStringLiteral("--to"), QStringLiteral("2025-12-31")},
                  &s, &mb))
        return 1;
    figure("audit_one_year", s, mb);
    {
        // The rename through the store itself (the command also renames the
        // old CSV logs beside it, which is not the database's cost).
        AlertStore store;
        QString why;
        store.open(db, false, &why);
        QElapsedTimer t;
        t.start();
        QString message;
        store.rename(QStringLiteral("r07"), QStringLiteral("r07b"), false, &message);
        std::printf("rename: %.4f s\n", t.nsecsElapsed() / 1e9);
        t.start();
        qint64 n = 0;
        const bool ok = store.verify(&n, &why);
        std::printf("verify_1m_rows: %.3f s (%s)\n", t.nsecsElapsed() / 1e9, ok ? "ok" : "FAILED");
    }
    {
        // The window's model in a process of its own, so the figure is its
        // memory alone.
        QProcess window;
        window.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--window"), db});
        if (!window.waitForFinished(-1) || window.exitCode() != 0) {
            std::fprintf(stderr, "the window's model failed on %s\n", qPrintable(db));
            return 1;
        }
        std::fputs(window.readAllStandardOutput().constData(), stdout);
        std::fflush(stdout);
    }

    // Four writers at once: two receivers and two monitors.
    {
        const QString wdb = dir.filePath(QStringLiteral("writers.db"));
        const QStringList names{"north", "south", "monitor:hw:1", "monitor:hw:2"};
        std::vector<std::unique_ptr<QProcess>> procs;
        QElapsedTimer t;
        t.start();
        for (const QString &n : names) {
            procs.push_back(std::make_unique<QProcess>());
            procs.back()->start(writer, {wdb, n, QString::number(perWriter)});
        }
        bool all = true;
        for (auto &p : procs)
            all = p->waitForFinished(-1) && p->exitCode() == 0 && all;
        const double took = t.nsecsElapsed() / 1e9;
        AlertStore store;
        QString why;
        store.open(wdb, false, &why);
        for (const QString &n : names)
            all = all && rowsOf(store, n) == perWriter;
        all = all && store.alertCount() == qint64(names.size()) * perWriter && store.verify(nullptr, &why);
        std::printf("four_writers_x_%d: %.1f s, every row once: %s\n", perWriter, took, all ? "yes" : "NO");
    }

    // Writers killed at random moments.
    {
        int sound = 0;
        QRandomGenerator rng(36);
        for (int k = 0; k < kills; ++k) {
            const QString kdb = dir.filePath(QStringLiteral("kill.db"));
            for (const char *suffix : {"", "-wal", "-shm"})
                QFile::remove(kdb + QLatin1String(suffix));
            QProcess p;
            p.start(writer, {kdb, QStringLiteral("north"), QStringLiteral("1000000")});
            p.waitForStarted();
            QThread::msleep(5 + rng.bounded(200));
            ::kill(pid_t(p.processId()), SIGKILL);
            p.waitForFinished();
            const int done = reported(p.readAllStandardOutput());
            AlertStore store;
            QString why;
            if (!QFileInfo::exists(kdb)) {
                ++sound;
                continue;
            }
            if (store.open(kdb, false, &why) && store.integrityOk(&why) && store.verify(nullptr, &why)
                && rowsOf(store, QStringLiteral("north")) >= done)
                ++sound;
            else
                std::fprintf(stderr, "run %d: %s\n", k, qPrintable(why));
        }
        std::printf("killed_writers: %d of %d runs sound (integrity ok, chain whole, every reported row there)\n",
                    sound, kills);
    }
    return 0;
}
