// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A scripted receiver on a pseudo-terminal, for the dump window's tests: it
// answers each command byte with the reply a test gives it, records what the
// editor sent, and can fall silent or pull the cable half-way through a
// reply, which the virtual receiver does not script.

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

class PtyReceiver : public QObject
{

public:
    PtyReceiver()
    {
        char name[256] = {};
        if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
            return;
        termios t{};
        tcgetattr(m_slave, &t);
        cfmakeraw(&t);
        tcsetattr(m_slave, TCSANOW, &t);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_path = QString::fromLocal8Bit(name);
        m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &PtyReceiver::onReadable);
    }
    ~PtyReceiver() override
    {
        pullCable();
        if (m_slave >= 0)
            ::close(m_slave);
    }

    QString path() const { return m_path; }
    bool isValid() const { return m_master >= 0; }

    // The reply to one command byte; none means silence.
    void answer(char command, const QByteArray &reply) { m_replies.insert(command, reply); }
    // After sending the reply to `command`, close the pty (cable pulled).
    void pullCableAfter(char command) { m_pullAfter = command; }

    QByteArray received() const { return m_received; }

    void pullCable()
    {
        delete m_notifier;
        m_notifier = nullptr;
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    void onReadable()
    {
        char buf[256];
        for (;;) {
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0) {
                // The editor's side closed: nothing more to read until it
                // opens again; stop listening so a hang-up cannot spin.
                if (n < 0 && errno == EAGAIN)
                    return;
                if (m_notifier)
                    m_notifier->setEnabled(false);
                QTimer::singleShot(20, this, [this] {
                    if (m_notifier)
                        m_notifier->setEnabled(true);
                });
                return;
            }
            for (ssize_t i = 0; i < n; ++i) {
                const char c = buf[i];
                m_received.append(c);
                const auto it = m_replies.constFind(c);
                if (it != m_replies.constEnd() && !it->isEmpty())
                    (void)!::write(m_master, it->constData(), size_t(it->size()));
                if (c == m_pullAfter) {
                    QTimer::singleShot(50, this, &PtyReceiver::pullCable);
                    return;
                }
            }
        }
    }

    int m_master = -1;
    int m_slave = -1;
    QString m_path;
    QSocketNotifier *m_notifier = nullptr;
    QHash<char, QByteArray> m_replies;
    QByteArray m_received;
    char m_pullAfter = 0;
};
