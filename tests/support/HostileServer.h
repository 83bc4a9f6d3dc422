// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A device server that misbehaves, on 127.0.0.1, in a thread of its own so
// that it goes on while the test waits for a child process:
//   Silent        accepts, reads what comes, never says a word;
//   CloseAtOnce   accepts and hangs up;
//   Flood         confirms 4800 8N1 over RFC 2217, then sends IAC WILL, WONT,
//                 DO and DONT for all 256 options over and over, and never
//                 reads again;
//   FloodAfterAck reads until the client's "Z", answers ACK, then floods as
//                 above;
//   StaleFirst    sends bytes it collected from the line before the client
//                 came ("old"), then confirms 4800 8N1, answers the
//                 client's "Z" with ACK and reads on: a well-behaved server
//                 whose stale bytes beat its purge onto the wire.
// Memory of its own stays at one small buffer whatever the client does.

#include <QtGlobal>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

class HostileServer
{
public:
    enum class Mode { Silent, CloseAtOnce, Flood, FloodAfterAck, StaleFirst };

    explicit HostileServer(Mode mode) : m_mode(mode)
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0
            || ::listen(m_listen, 8) != 0 || ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&a), &len) != 0)
            return;
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~HostileServer()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_listen >= 0)
            ::close(m_listen);
    }
    HostileServer(const HostileServer &) = delete;
    HostileServer &operator=(const HostileServer &) = delete;

    quint16 port() const { return m_port; }
    int connections() const { return m_connections; }
    // Bytes of negotiation sent to the client, all connections together.
    qint64 flooded() const { return m_flooded; }

private:
    // Waits up to 50 ms for fd; true when it is ready.
    static bool ready(int fd, short events)
    {
        pollfd p{fd, events, 0};
        return ::poll(&p, 1, 50) > 0;
    }

    void run()
    {
        std::vector<int> open;
        while (!m_stop) {
            if (!ready(m_listen, POLLIN))
                continue;
            const int c = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0)
                continue;
            ++m_connections;
            if (m_mode == Mode::CloseAtOnce) {
                ::close(c);
                continue;
            }
            serve(c);
            open.push_back(c);   // kept open, unread, until the server ends
        }
        for (int c : open)
            ::close(c);
    }

    // Reads and forgets until the client closes or the server ends.
    void readOn(int c)
    {
        char buf[4096];
        while (!m_stop) {
            if (!ready(c, POLLIN))
                continue;
            if (::recv(c, buf, sizeof buf, 0) <= 0)
                return;
        }
    }

    void serve(int c)
    {
        char buf[4096];
        if (m_mode == Mode::Silent)
            return readOn(c);
        if (m_mode == Mode::StaleFirst)
            ::send(c, "old", 3, MSG_NOSIGNAL);
        // IAC SB COM-PORT <code + 100> <value> IAC SE: speed, size, parity, stop.
        const unsigned char confirm[] = {255, 250, 44, 101, 0, 0, 18, 192, 255, 240,
                                         255, 250, 44, 102, 8, 255, 240,
                                         255, 250, 44, 103, 1, 255, 240,
                                         255, 250, 44, 104, 1, 255, 240};
        ::send(c, confirm, sizeof confirm, MSG_NOSIGNAL);
        if (m_mode == Mode::FloodAfterAck || m_mode == Mode::StaleFirst) {
            bool z = false;
            while (!m_stop && !z) {
                if (!ready(c, POLLIN))
                    continue;
                const ssize_t n = ::recv(c, buf, sizeof buf, 0);
                if (n <= 0)
                    return;
                z = std::memchr(buf, 'Z', size_t(n)) != nullptr;
            }
            const char ack = 6;
            ::send(c, &ack, 1, MSG_NOSIGNAL);
        }
        if (m_mode == Mode::StaleFirst)
            return readOn(c);
        std::vector<unsigned char> flood;
        for (int opt = 0; opt < 256; ++opt)
            for (unsigned char verb : {251, 252, 253, 254})
                flood.insert(flood.end(), {255, verb, static_cast<unsigned char>(opt)});
        // Until the client gives up (its end closes) or the server ends.
        while (!m_stop) {
            if (!ready(c, POLLOUT))
                continue;
            const ssize_t n = ::send(c, flood.data(), flood.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return;
            if (n > 0)
                m_flooded += n;
        }
    }

    Mode m_mode;
    int m_listen = -1;
    quint16 m_port = 0;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::atomic<qint64> m_flooded{0};
};
