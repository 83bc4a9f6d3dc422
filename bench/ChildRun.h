// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Runs a program to its end in a process of its own, so the figures are
// that program's alone: its wall time, its CPU time and its peak resident
// memory. Standard output (and, when asked, standard error) goes nowhere,
// so a benchmark's own output stays machine-readable.

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QStringList>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

struct ChildRun {
    bool ran = false;        // started and waited for
    int exitCode = -1;       // -1 when it did not exit normally
    double wallSeconds = 0;
    double cpuSeconds = 0;   // user and system
    double peakMB = 0;
};

inline ChildRun runChildMeasured(const QStringList &args, bool quietStderr = false)
{
    ChildRun out;
    QList<QByteArray> bytes;
    for (const QString &a : args)
        bytes << QFile::encodeName(a);
    std::vector<char *> argv;
    for (QByteArray &b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (quietStderr)
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return out;
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid)
        return out;
    out.ran = true;
    out.wallSeconds = timer.nsecsElapsed() / 1e9;
    out.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
                     + usage.ru_stime.tv_usec / 1e6;
    out.peakMB = usage.ru_maxrss / 1024.0;   // kilobytes on Linux
    out.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}
