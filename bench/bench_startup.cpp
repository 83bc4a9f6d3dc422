// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up as a user sees it: milliseconds from the process start to the
// splash on screen and to the main window on screen, and the resident memory
// once the main window shows. Prints one "figure: value unit" line each.
#include "app/AppContext.h"
#include "app/gui/NX4400C.h"
#include "app/gui/StartUp.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

// Milliseconds since the process started, from the kernel's own record.
double msSinceProcessStart()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    QFile uptime(QStringLiteral("/proc/uptime"));
    if (!stat.open(QIODevice::ReadOnly) || !uptime.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray s = stat.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    const double startTicks = fields.value(19).toDouble();
    const double up = uptime.readAll().split(' ').value(0).toDouble();
    return (up - startTicks / double(sysconf(_SC_CLK_TCK))) * 1000.0;
}

long residentKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

class ShowWatcher : public QObject
{
public:
    double splashMs = -1;
    double mainMs = -1;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Show) {
            if (o->objectName() == QLatin1String("frmSplash") && splashMs < 0)
                splashMs = msSinceProcessStart();
            if (o->objectName() == QLatin1String("NX4400C") && mainMs < 0)
                mainMs = msSinceProcessStart();
        }
        return false;
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    AppContext ctx;
    ctx.settingsPath = dir.filePath(QStringLiteral("NX4400C.ini"));
    ctx.parameterFilePath = dir.filePath(QStringLiteral("NX_4400C.DAT"));
    ctx.statesFolder = QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/States");
    ctx.endProgram = [](int) {};
    ShowWatcher watcher;
    app.installEventFilter(&watcher);
    NX4400C *main = StartUp(ctx);
    app.processEvents();
    std::printf("startup_to_splash: %.0f ms\n", watcher.splashMs);
    std::printf("startup_to_main_window: %.0f ms\n", watcher.mainMs);
    std::printf("resident_memory_after_startup: %ld KiB\n", residentKiB());
    delete main;
    return 0;
}
