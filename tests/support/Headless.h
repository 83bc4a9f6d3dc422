// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A headless machine for one test: an empty home (settings store and alert
// log land under it), a working folder, a few virtual receivers on
// pseudo-terminals, and the built programs first on PATH. Commands run
// through /bin/sh as a user types them, with the documentation's device
// names (/dev/ttyUSB0, rfc2217://rack1:2000, ...) mapped onto the virtual
// receivers' links.

#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

struct ShellRun {
    bool finished = false;
    int exitCode = -1;
    QString out;
    QString err;
};

class HeadlessMachine
{
public:
    HeadlessMachine()
    {
        QDir().mkpath(home());
        QDir().mkpath(work());
    }
    ~HeadlessMachine()
    {
        for (auto &p : m_receivers) {
            p->terminate();
            if (!p->waitForFinished(3000))
                p->kill();
            p->waitForFinished(1000);
        }
    }

    QString home() const { return m_dir.filePath(QStringLiteral("home")); }
    QString work() const { return m_dir.filePath(QStringLiteral("home/work")); }
    QString path(const QString &name) const { return QDir(work()).filePath(name); }
    QString dataHome() const { return home() + QStringLiteral("/.local/share"); }
    QString defaultLog() const { return dataHome() + QStringLiteral("/NX4400C/alerts.csv"); }

    // Starts a fast virtual receiver; `history` lines replace its built-in
    // history when given. Returns its link path, or empty.
    QString startReceiver(const QStringList &history = {}, const QString &name = QString())
    {
        const QString id = name.isEmpty() ? QStringLiteral("vr%1").arg(m_receivers.size() + 1) : name;
        const QString link = m_dir.filePath(id + QStringLiteral(".tty"));
        QStringList args{QStringLiteral("--link"), link, QStringLiteral("--fast")};
        if (!history.isEmpty()) {
            const QString file = m_dir.filePath(id + QStringLiteral(".history"));
            QFile f(file);
            if (!f.open(QIODevice::WriteOnly))
                return QString();
            f.write(history.join(QLatin1Char('\n')).toLatin1() + '\n');
            f.close();
            args << QStringLiteral("--history") << file;
        }
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(buildBinDir() + QStringLiteral("/nx4400c-virtual-receiver"), args);
        if (!p->waitForStarted(5000) || !p->waitForReadyRead(10000) || !QFileInfo::exists(link))
            return QString();
        m_receivers.push_back(std::move(p));
        return link;
    }

    // Device names as the documentation writes them -> the receivers' links.
    QMap<QString, QString> deviceMap;

    // Runs one command line through the shell in the working folder.
    ShellRun run(const QString &commandLine, int timeoutMs = 60000) const
    {
        QString line = commandLine;
        // Longest names first, so "/dev/ttyUSB1" is not cut by "/dev/ttyUSB".
        QStringList names = deviceMap.keys();
        std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) { return a.size() > b.size(); });
        for (const QString &n : names)
            line.replace(n, deviceMap.value(n));
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home());
        env.insert(QStringLiteral("USER"), QStringLiteral("tester"));
        for (const char *v : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"})
            env.remove(QString::fromLatin1(v));
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        env.insert(QStringLiteral("PATH"), buildBinDir() + QLatin1Char(':') + env.value(QStringLiteral("PATH")));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(work());
        p.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), line});
        ShellRun r;
        r.finished = p.waitForFinished(timeoutMs);
        if (!r.finished) {
            p.kill();
            p.waitForFinished(3000);
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    bool writeFile(const QString &name, const QByteArray &data) const
    {
        QFile f(path(name));
        return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
    }

private:
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<QProcess>> m_receivers;
};

// True when the programs a headless test needs were built.
inline bool headlessToolsBuilt()
{
    return QFileInfo(buildBinDir() + QStringLiteral("/nx4400c-cli")).isExecutable()
        && QFileInfo(buildBinDir() + QStringLiteral("/nx4400c-virtual-receiver")).isExecutable();
}
