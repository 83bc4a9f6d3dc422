// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A pseudo-terminal whose master end a test holds as a receiver would: the
// slave's path is what the code under test opens.

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

struct PtyPair {
    int master = -1;
    QString slave;
    PtyPair()
    {
        // Not inherited by programs the test starts: a copy of the master
        // there would keep the line up after closeMaster().
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            return;
        slave = QString::fromLocal8Bit(ptsname(master));
        termios t{};
        tcgetattr(master, &t);
        cfmakeraw(&t);
        tcsetattr(master, TCSANOW, &t);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair() { closeMaster(); }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;
    void closeMaster()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
    bool send(const QByteArray &b) const
    {
        qsizetype at = 0;
        QElapsedTimer t;
        t.start();
        while (at < b.size() && t.elapsed() < 5000) {
            const ssize_t n = ::write(master, b.constData() + at, size_t(b.size() - at));
            if (n > 0)
                at += n;
            else
                QTest::qWait(2);
        }
        return at == b.size();
    }
    // Waits (running the event loop) for count bytes or ms.
    QByteArray receive(qsizetype count, int ms = 3000) const
    {
        QByteArray got;
        QElapsedTimer t;
        t.start();
        while (got.size() < count && t.elapsed() < ms) {
            char buf[4096];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0)
                got.append(buf, int(n));
            else
                QTest::qWait(5);
        }
        return got;
    }
    // The line speed the slave was last set to, in bit/s (0 if unknown).
    int speed() const
    {
        termios t{};
        if (tcgetattr(master, &t) != 0)
            return 0;
        switch (cfgetospeed(&t)) {
        case B1200: return 1200;
        case B2400: return 2400;
        case B4800: return 4800;
        case B9600: return 9600;
        case B19200: return 19200;
        case B38400: return 38400;
        case B115200: return 115200;
        default: return -1;
        }
    }
};
