// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-virtual-receiver: plays the NX-4400C receiver's side of the serial
// link on a pseudo-terminal, so the editor can be tried and tested without a
// receiver. It answers "Z" with ACK, takes the 512-byte parameter frame and
// checks its sum (ACK/NAK), sends the 1284-byte reply (history, sum, ROM
// version, ACK), answers the port test "T" and the dump commands "D", "R",
// "X", "Q". Bytes go out at 4800 bit/s (10 bits a byte) unless --fast.
//
// Plain POSIX: one thread, poll() on the pty master.
//
// --fault flood plays a receiver (or a line) that babbles without end: from
// start to exit it writes junk as fast as the pty takes it, whether or not
// the editor has the port open or reads. The junk never holds ACK, NAK or
// ETX, and the answers go out between two chunks of it, so an editor that
// drops what it does not expect still finds the ACK to "Z" and to the frame.
// The 1284-byte reply goes out in one piece (the flood resumes after it):
// the link has no framing, so junk inside the reply could not be told from
// history and the transfer could only fail. A flooding receiver can thus be
// programmed; how much the editor holds and spends meanwhile is the point.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <set>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<unsigned char>;

constexpr unsigned char ACK = 6;
constexpr unsigned char NAK = 21;
constexpr unsigned char ETX = 3;
constexpr int FrameBytes = 512;
constexpr int HistoryBytes = 1279;

volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

struct Options {
    std::string link;
    std::string record;
    std::string image;
    std::string historyFile;
    std::string rom = "205";
    std::set<std::string> faults;
    bool fast = false;
    bool verbose = false;
    int pullAfter = 600;       // bytes of the reply sent before the cable is pulled
    long byteMicros = 2084;    // 10 bits at 4800 bit/s
    bool has(const char *f) const { return faults.count(f) != 0; }
};

// The faults it can play; the texts are also its --help and manual page.
struct Fault {
    const char *name;
    const char *help;
};
const Fault kFaults[] = {
    {"silence", "answers nothing at all"},
    {"noise", "a few stray bytes before every ACK"},
    {"nak-z", "answers \"Z\" with NAK instead of ACK"},
    {"nak", "rejects the parameter frame (NAK)"},
    {"no-upload-reply", "says nothing after the parameter frame"},
    {"bad-checksum", "the reply's history sum is wrong"},
    {"short-frame", "the reply stops after 1000 bytes"},
    {"wrong-last-byte", "the reply ends with NAK instead of ACK"},
    {"extra-bytes", "16 bytes follow the reply"},
    {"pull-cable", "the line is closed in the middle of the reply (--pull-after N)"},
    {"nak-t", "answers the port test \"T\" with NAK"},
    {"nak-d", "refuses dump mode (NAK to \"D\")"},
    {"flood", "junk written without pause, before and between the answers"},
};

// The built-in history: alerts as the receiver logs them, day of the year and
// UTC time, originator, event, duration.
const char *const kHistory[] = {
    "065 14:30 WXR TOR 0030", "065 13:05 WXR SVR 0100", "064 22:47 WXR FFW 0300",
    "063 02:15 WXR SVA 0600", "061 17:00 WXR RWT 0015", "058 09:12 CIV CEM 0100",
    "052 23:59 WXR TOA 0400", "045 11:00 EAS RMT 0015", "033 06:40 WXR WSW 1200",
    "021 19:31 PEP EAN 0030", "001 03:20 WXR WSA 0800", "365 21:45 WXR HUW 2400",
};

// The usage, in the layout that the build turns into the manual page:
// usage lines, a one-line summary, paragraphs, then headed lists whose
// entries are indented by two blanks and their texts by six.
void usage(FILE *to)
{
    std::fprintf(to,
                 "usage: nx4400c-virtual-receiver [--link PATH] [--fast] [--byte-us N]\n"
                 "         [--fault NAME]... [--pull-after N] [--record FILE] [--image FILE]\n"
                 "         [--history FILE] [--rom X.YY] [--verbose]\n"
                 "\n"
                 "Plays an NX-4400C weather-alert receiver on a pseudo-terminal, for trying and testing the editor.\n"
                 "\n"
                 "It opens a pseudo-terminal, prints its path (or PATH) on standard output and answers there as the\n"
                 "receiver does at 4800 bit/s: \"Z\" with ACK, the 512-byte parameter frame with ACK or NAK after\n"
                 "checking its sum, then the 1284-byte reply with the alert history, its sum, the ROM version and ACK;\n"
                 "the port test \"T\" and the dump commands \"D\", \"R\", \"X\" and \"Q\". It runs until it is\n"
                 "interrupted (SIGINT or SIGTERM) and then removes PATH.\n"
                 "\n"
                 "Options:\n"
                 "  --link PATH\n"
                 "      Publishes the line as a symbolic link PATH, a name that stays the same between runs. A PATH\n"
                 "      that another running virtual receiver holds is refused; a stale link left by one that ended\n"
                 "      is replaced. The link is removed at exit.\n"
                 "  --fast\n"
                 "      Sends without the pace of the line.\n"
                 "  --byte-us N\n"
                 "      Microseconds per byte sent; 2084 (10 bits at 4800 bit/s) by default.\n"
                 "  --fault NAME\n"
                 "      Plays a fault; may be given more than once. NAME is one of:\n");
    for (const Fault &f : kFaults)
        std::fprintf(to, "        %-16s %s\n", f.name, f.help);
    std::fprintf(to,
                 "  --pull-after N\n"
                 "      With the fault pull-cable: the bytes of the reply sent before the line is closed; 600 by default.\n"
                 "  --record FILE\n"
                 "      Appends every byte received to FILE.\n"
                 "  --image FILE\n"
                 "      Writes the last parameter frame received to FILE.\n"
                 "  --history FILE\n"
                 "      Sends the alerts of FILE instead of the built-in history: one a line, at most 40, each as the\n"
                 "      receiver keeps it, \"DDD HH:MM ORG EEE LLLL\" (day of the year, UTC time, originator, event\n"
                 "      code, duration hhmm), for example \"061 17:00 WXR RWT 0015\". An empty FILE is an empty history.\n"
                 "  --rom X.YY\n"
                 "      The ROM version it reports; 205 by default.\n"
                 "  --verbose\n"
                 "      Tells on standard error what it receives and sends.\n"
                 "  --help\n"
                 "      Prints this text and exits.\n"
                 "\n"
                 "Exit status:\n"
                 "  0  ended by a signal, or --help\n"
                 "  1  the pseudo-terminal or PATH could not be made, or PATH is held by another virtual receiver\n"
                 "  2  a usage error\n"
                 "\n"
                 "See also:\n"
                 "  nx4400c(1), nx4400c-cli(1)\n");
}

// Who holds a link path: a lock file beside it ("PATH.lock"), locked for as
// long as the receiver runs. A lock that can be taken means no live virtual
// receiver has the path; the kernel drops the lock of one that died.
int holdLink(const std::string &link)
{
    const std::string lock = link + ".lock";
    const int fd = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        std::perror(lock.c_str());
        return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        char pid[32] = {0};
        const ssize_t n = pread(fd, pid, sizeof pid - 1, 0);
        std::string who = n > 0 ? std::string(pid, size_t(n)) : std::string();
        while (!who.empty() && (who.back() == '\n' || who.back() == ' '))
            who.pop_back();
        std::fprintf(stderr,
                     "nx4400c-virtual-receiver: %s is held by another virtual receiver%s%s%s; "
                     "stop it first or give another --link\n",
                     link.c_str(), who.empty() ? "" : " (process ", who.c_str(), who.empty() ? "" : ")");
        close(fd);
        return -1;
    }
    const std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(fd, 0) == 0 && pwrite(fd, pid.data(), pid.size(), 0) < 0) {
        // The pid is only for the message above; the lock is what counts.
    }
    return fd;
}

class Receiver
{
public:
    Receiver(const Options &o, int master) : m_opt(o), m_master(master) {}

    int run();

private:
    void log(const char *fmt, const std::string &what) const
    {
        if (m_opt.verbose)
            std::fprintf(stderr, fmt, what.c_str());
    }
    // Sends bytes at the line's pace. Returns false when the cable was pulled.
    bool send(const Bytes &bytes, bool mayPull = false);
    bool sendByte(unsigned char b) { return send(Bytes{b}); }
    void noise();
    // Writes one chunk of junk if the pty takes it; never blocks.
    void flood();
    bool ack();
    void record(const unsigned char *data, size_t n);
    void onByte(unsigned char b, Clock::time_point when);
    void onFrame();
    Bytes reply() const;
    Bytes history() const;
    void sleepUntil(Clock::time_point t) const
    {
        if (!m_opt.fast)
            std::this_thread::sleep_until(t);
    }
    std::chrono::microseconds byteTime() const { return std::chrono::microseconds(m_opt.byteMicros); }

    const Options &m_opt;
    int m_master;
    bool m_pulled = false;
    bool m_inFrame = false;
    bool m_dump = false;
    Bytes m_frame;
    Bytes m_lastImage;
    Clock::time_point m_frameStart;
    Clock::time_point m_lastByte;
    unsigned m_noiseSeed = 12345;
    unsigned m_floodSeed = 54321;
    unsigned long long m_flooded = 0;
};

bool Receiver::send(const Bytes &bytes, bool mayPull)
{
    size_t sent = 0;
    auto next = Clock::now();
    while (sent < bytes.size()) {
        if (mayPull && m_opt.has("pull-cable") && int(sent) >= m_opt.pullAfter) {
            // Let what is already on the wire arrive, then pull.
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            log("%s", "cable pulled\n");
            close(m_master);
            m_master = -1;
            m_pulled = true;
            return false;
        }
        size_t chunk = bytes.size() - sent;
        if (!m_opt.fast)
            chunk = 1;
        else if (mayPull && m_opt.has("pull-cable"))
            chunk = std::min(chunk, size_t(m_opt.pullAfter) - std::min(sent, size_t(m_opt.pullAfter)));
        chunk = std::max<size_t>(chunk, 1);
        sleepUntil(next);
        const ssize_t w = write(m_master, bytes.data() + sent, chunk);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            return false;
        }
        sent += size_t(w);
        next += byteTime() * w;
    }
    sleepUntil(next);
    return true;
}

void Receiver::flood()
{
    unsigned char junk[4096];
    for (unsigned char &b : junk) {
        m_floodSeed = m_floodSeed * 1103515245u + 12345u;
        b = (m_floodSeed >> 16) & 0xFF;
        if (b == ACK || b == NAK || b == ETX)
            b = 0x7F;
    }
    const ssize_t w = write(m_master, junk, sizeof junk);
    if (w > 0) {
        m_flooded += static_cast<unsigned long long>(w);
    } else if (w < 0 && errno == EAGAIN) {
        // poll() said there was room and there was none: do not spin.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void Receiver::noise()
{
    Bytes junk;
    for (int i = 0; i < 5; ++i) {
        m_noiseSeed = m_noiseSeed * 1103515245u + 12345u;
        unsigned char b = (m_noiseSeed >> 16) & 0xFF;
        if (b == ACK || b == NAK || b == ETX)
            b = 0x7F;
        junk.push_back(b);
    }
    send(junk);
}

bool Receiver::ack()
{
    if (m_opt.has("noise"))
        noise();
    return sendByte(ACK);
}

void Receiver::record(const unsigned char *data, size_t n)
{
    if (m_opt.record.empty())
        return;
    std::ofstream f(m_opt.record, std::ios::binary | std::ios::app);
    f.write(reinterpret_cast<const char *>(data), std::streamsize(n));
}

Bytes Receiver::history() const
{
    std::vector<std::string> lines;
    if (!m_opt.historyFile.empty()) {
        std::ifstream in(m_opt.historyFile);
        std::string line;
        while (std::getline(in, line) && lines.size() < 40) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
        }
    } else {
        lines.assign(std::begin(kHistory), std::end(kHistory));
    }
    Bytes h(HistoryBytes, 0);
    for (size_t k = 0; k < lines.size(); ++k) {
        // A slot holds 22 characters of text; the rest of its 32 bytes is 0.
        const std::string &s = lines[k];
        for (size_t i = 0; i < 22 && i < s.size(); ++i) {
            const size_t at = 32 * k + i;
            if (at < h.size())
                h[at] = static_cast<unsigned char>(s[i]);
        }
    }
    return h;
}

Bytes Receiver::reply() const
{
    Bytes r = history();
    unsigned sum = 0;
    for (unsigned char b : r)
        sum += b;
    unsigned char check = sum & 0xFF;
    if (m_opt.has("bad-checksum"))
        check = (check + 1) & 0xFF;
    r.push_back(check);
    std::string rom = m_opt.rom;
    rom.erase(std::remove(rom.begin(), rom.end(), '.'), rom.end());
    rom.resize(3, '0');
    r.insert(r.end(), rom.begin(), rom.end());
    r.push_back(m_opt.has("wrong-last-byte") ? NAK : ACK);
    if (m_opt.has("short-frame"))
        r.resize(1000);
    if (m_opt.has("extra-bytes"))
        for (int i = 0; i < 16; ++i)
            r.push_back(static_cast<unsigned char>(0xA0 + i));
    return r;
}

void Receiver::onFrame()
{
    m_inFrame = false;
    // The last byte cannot have arrived before the line could carry it.
    sleepUntil(m_frameStart + byteTime() * FrameBytes);
    unsigned sum = 0;
    for (int i = 0; i < FrameBytes - 1; ++i)
        sum += m_frame[size_t(i)];
    const bool good = (sum & 0xFF) == m_frame[FrameBytes - 1];
    m_lastImage.assign(m_frame.begin(), m_frame.begin() + FrameBytes - 1);
    if (!m_opt.image.empty()) {
        std::ofstream f(m_opt.image, std::ios::binary | std::ios::trunc);
        f.write(reinterpret_cast<const char *>(m_lastImage.data()), std::streamsize(m_lastImage.size()));
    }
    log("frame received, sum %s\n", good ? "good" : "bad");
    if (m_opt.has("no-upload-reply"))
        return;
    if (!good || m_opt.has("nak")) {
        if (m_opt.has("noise"))
            noise();
        sendByte(NAK);
        return;
    }
    if (!ack())
        return;
    send(reply(), true);
}

void Receiver::onByte(unsigned char b, Clock::time_point when)
{
    if (m_inFrame) {
        // A sender that stops mid-frame has given up; start over.
        if (when - m_lastByte > std::chrono::milliseconds(m_opt.fast ? 500 : 2000)) {
            log("%s", "frame abandoned\n");
            m_inFrame = false;
        } else {
            if (m_frame.empty())
                m_frameStart = when;
            m_frame.push_back(b);
            m_lastByte = when;
            if (int(m_frame.size()) == FrameBytes)
                onFrame();
            return;
        }
    }
    if (m_opt.has("silence"))
        return;
    switch (b) {
    case 'Z':
        log("%s", "Z\n");
        if (m_opt.has("nak-z")) {
            sendByte(NAK);
            break;
        }
        if (ack()) {
            m_inFrame = true;
            m_frame.clear();
            m_lastByte = Clock::now();
            // The frame follows after the editor's second-boundary wait.
            m_lastByte += std::chrono::seconds(6);
        }
        break;
    case 'T':
        log("%s", "T\n");
        sendByte(m_opt.has("nak-t") ? NAK : ACK);
        break;
    case 'D':
        log("%s", "D\n");
        if (m_opt.has("nak-d")) {
            sendByte(NAK);
        } else if (ack()) {
            m_dump = true;
        }
        break;
    case 'R':
        if (m_dump) {
            log("%s", "R\n");
            const std::string raw = std::string("\r\n\x11\x8a+") +
                "ZCZC-WXR-SVR-012011-012085-012099-012111-012113+0100-0651505-KTBW/NWS-"
                "\r\nNNNN\r\n";
            Bytes out(raw.begin(), raw.end());
            out.push_back(ETX);
            send(out);
        }
        break;
    case 'X':
        if (m_dump) {
            log("%s", "X\n");
            std::string nv = "NV MEMORY\r\n";
            char line[16];
            const Bytes &img = m_lastImage;
            for (int row = 0; row < 32; ++row) {
                std::snprintf(line, sizeof line, "%04X:", 0x8000 + row * 16);
                nv += line;
                for (int i = 0; i < 16; ++i) {
                    const size_t at = size_t(row * 16 + i);
                    std::snprintf(line, sizeof line, "\t%02X", at < img.size() ? img[at] : 0);
                    nv += line;
                }
                nv += "\r\n";
            }
            std::snprintf(line, sizeof line, "ROM %c.%c%c\r\n", m_opt.rom[0],
                          m_opt.rom.size() > 1 ? m_opt.rom[m_opt.rom.size() - 2] : '0',
                          m_opt.rom.back());
            nv += line;
            Bytes out(nv.begin(), nv.end());
            out.push_back(ETX);
            send(out);
        }
        break;
    case 'Q':
        log("%s", "Q\n");
        m_dump = false;
        break;
    default:
        break;
    }
}

int Receiver::run()
{
    unsigned char buf[4096];
    const bool flooding = m_opt.has("flood");
    if (flooding) {
        // The flood must never block the receiver: it still has to read what
        // the editor sends and answer it. send() waits out a full pty.
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    while (!g_stop && !m_pulled) {
        pollfd p{m_master, short(POLLIN | (flooding ? POLLOUT : 0)), 0};
        const int r = poll(&p, 1, -1);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return 1;
        }
        if (flooding && (p.revents & POLLOUT))
            flood();
        if (!(p.revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        const ssize_t n = read(m_master, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            // EIO: no one holds the other side; cannot happen while we keep
            // our own descriptor of it, but do not spin if it does.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        record(buf, size_t(n));
        const auto now = Clock::now();
        for (ssize_t i = 0; i < n && !m_pulled; ++i)
            onByte(buf[i], now);
    }
    if (flooding)
        log("flooded %s bytes\n", std::to_string(m_flooded));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                usage(stderr);
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--link") o.link = value();
        else if (a == "--fast") o.fast = true;
        else if (a == "--byte-us") o.byteMicros = std::atol(value().c_str());
        else if (a == "--fault") {
            const std::string f = value();
            if (std::find_if(std::begin(kFaults), std::end(kFaults), [&](const Fault &k) { return f == k.name; })
                == std::end(kFaults)) {
                std::fprintf(stderr, "unknown fault %s\n", f.c_str());
                usage(stderr);
                return 2;
            }
            o.faults.insert(f);
        }
        else if (a == "--pull-after") o.pullAfter = std::atoi(value().c_str());
        else if (a == "--record") o.record = value();
        else if (a == "--image") o.image = value();
        else if (a == "--history") o.historyFile = value();
        else if (a == "--rom") o.rom = value();
        else if (a == "--verbose") o.verbose = true;
        else if (a == "--help" || a == "-h") { usage(stdout); return 0; }
        else {
            std::fprintf(stderr, "nx4400c-virtual-receiver: unknown option %s\n", a.c_str());
            usage(stderr);
            return 2;
        }
    }
    if (o.rom.empty())
        o.rom = "205";

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("posix_openpt");
        return 1;
    }
    const char *slaveName = ptsname(master);
    if (!slaveName) {
        std::perror("ptsname");
        return 1;
    }
    const std::string slave = slaveName;
    // Hold the far side open ourselves: the line stays up while the editor
    // opens and closes it, and reads never report a hang-up.
    const int keep = open(slave.c_str(), O_RDWR | O_NOCTTY);
    if (keep < 0) {
        std::perror(slave.c_str());
        return 1;
    }
    termios t{};
    if (tcgetattr(keep, &t) == 0) {
        cfmakeraw(&t);
        cfsetispeed(&t, B4800);
        cfsetospeed(&t, B4800);
        tcsetattr(keep, TCSANOW, &t);
    }
    int linkLock = -1;
    if (!o.link.empty()) {
        linkLock = holdLink(o.link);
        if (linkLock < 0)
            return 1;
        struct stat st{};
        if (lstat(o.link.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            unlink(o.link.c_str());
        if (symlink(slave.c_str(), o.link.c_str()) != 0) {
            std::perror(o.link.c_str());
            return 1;
        }
    }
    struct sigaction sa{};
    sa.sa_handler = onSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::printf("%s\n", o.link.empty() ? slave.c_str() : o.link.c_str());
    std::fflush(stdout);

    Receiver r(o, master);
    const int code = r.run();
    if (!o.link.empty()) {
        unlink(o.link.c_str());
        unlink((o.link + ".lock").c_str());
        close(linkLock);
    }
    close(keep);
    return code;
}
