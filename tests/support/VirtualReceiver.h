// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Starts tools/virtual-receiver for one test and points a port number of the
// AppContext's link at its pty.

#include "support/TestEnv.h"

#include "link/core/LinkSession.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

class VirtualReceiver
{
public:
    VirtualReceiver(const QString &folder, const QString &name = QStringLiteral("vr"))
        : link(folder + QLatin1Char('/') + name + QStringLiteral(".tty"))
        , record(folder + QLatin1Char('/') + name + QStringLiteral(".rec"))
        , image(folder + QLatin1Char('/') + name + QStringLiteral(".img"))
    {
    }
    ~VirtualReceiver() { stop(); }

    // Starts the receiver (fast unless `paced`) with extra arguments; returns
    // when its pty path exists.
    bool start(const QStringList &extra = {}, bool paced = false)
    {
        QFile::remove(record);
        QFile::remove(image);
        QStringList args{QStringLiteral("--link"), link, QStringLiteral("--record"), record,
                         QStringLiteral("--image"), image};
        if (!paced)
            args << QStringLiteral("--fast");
        args << extra;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(buildBinDir() + QStringLiteral("/nx4400c-virtual-receiver"), args);
        if (!process.waitForStarted(5000))
            return false;
        // It prints its path once the link is in place.
        if (!process.waitForReadyRead(5000))
            return false;
        return QFileInfo::exists(link);
    }

    void stop()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(3000))
                process.kill();
            process.waitForFinished(1000);
        }
    }

    QByteArray recorded() const { return readAll(record); }
    QByteArray uploadedImage() const { return readAll(image); }

    // Port `number` of ctx now leads to this receiver; the others lead
    // nowhere unless given.
    void attach(AppContext &ctx, int number = 1) const
    {
        QStringList devices = ctx.session().Port1.devicePaths();
        while (devices.size() < 4)
            devices << QString();
        devices[number - 1] = link;
        ctx.session().Port1.setDevicePaths(devices);
    }

    QProcess process;
    QString link;
    QString record;
    QString image;

private:
    static QByteArray readAll(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

// Timings short enough for tests, yet long enough for a receiver process on
// a loaded machine (tests run in parallel, some under sanitizers). The port
// test keeps its real 200 ms.
inline void shortenTimings(AppContext &ctx, int negotiateMs = 1000, int transferMs = 2000)
{
    ctx.timings.negotiateMs = negotiateMs;
    ctx.timings.transferMs = transferMs;
}

// Sanitizer builds run several times slower: figures are printed there but
// not held against targets.
#if defined(NX_SANITIZED)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

// A clock moment whose second-boundary wait is short: set just before a
// transfer, the upload starts before 12:00:11 and waits until 12:00:12, a
// little over a second.
inline QDateTime quickBoundary()
{
    return QDateTime(QDate(2026, 3, 6), QTime(12, 0, 10, 800));
}
