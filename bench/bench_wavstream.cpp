// SPDX-License-Identifier: GPL-3.0-or-later
// `nx4400c-cli monitor --wav` on a very long recording: a sparse WAV file
// (2 GiB by default; the size in MiB is the first argument) holding one
// message at its start and silence after it. Prints the peak resident
// memory of the monitor, which must stay flat however long the file is,
// the time it took, and the rows it logged.
#include "support/SameSignal.h"
#include "support/TestEnv.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray le32(quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    return QByteArray(b, 4);
}

QByteArray le16(quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    return QByteArray(b, 2);
}

} // namespace

int main(int argc, char **argv)
{
    const qint64 mib = argc > 1 ? std::atoll(argv[1]) : 2048;
    const qint64 total = mib * 1024 * 1024;
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("long.wav"));
    const QString log = dir.filePath(QStringLiteral("alerts.csv"));

    // 32-bit float stereo at 8000 samples/s: the fewest samples per byte the
    // monitor takes, so the run is as short as a file of this size allows.
    const int rate = 8000;
    SameSignal::Transmitter t;
    t.rate = rate;
    QVector<float> message;
    SameSignal::appendSilence(message, t, 0.5);
    SameSignal::appendMessage(message, t, "ZCZC-WXR-RWT-039035+0015-0651500-KCLE/NWS-");
    const qint64 dataBytes = (total - 44) / 8 * 8;   // whole frames
    QByteArray head = "RIFF" + le32(quint32(std::min<qint64>(dataBytes + 36, 0xFFFFFFFFLL))) + "WAVEfmt " + le32(16)
        + le16(3) + le16(2) + le32(rate) + le32(rate * 8) + le16(8) + le16(32) + "data"
        + le32(quint32(std::min<qint64>(dataBytes, 0xFFFFFFFFLL)));
    for (float s : std::as_const(message))
        head += QByteArray(reinterpret_cast<const char *>(&s), 4).repeated(2);
    QFile f(wav);
    if (!f.open(QIODevice::WriteOnly) || f.write(head) != head.size() || !f.resize(44 + dataBytes)) {
        std::fprintf(stderr, "cannot make %s\n", qPrintable(wav));
        return 1;
    }
    f.close();

    const QByteArray cli = QFile::encodeName(buildBinDir() + QStringLiteral("/nx4400c-cli"));
    const QByteArray wavPath = QFile::encodeName(wav), logPath = QFile::encodeName(log);
    QElapsedTimer clock;
    clock.start();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout))
            _exit(127);
        execl(cli.constData(), "nx4400c-cli", "monitor", "--wav", wavPath.constData(), "--csv", logPath.constData(),
              static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) {
        std::fprintf(stderr, "cannot run %s\n", cli.constData());
        return 1;
    }
    const double seconds = clock.elapsed() / 1000.0;
    QFile l(log);
    const int rows = l.open(QIODevice::ReadOnly) ? int(l.readAll().count('\n')) - 1 : 0;
    std::printf("wav file size: %lld MiB\n", mib);
    std::printf("monitor peak resident memory: %.1f MiB\n", usage.ru_maxrss / 1024.0);
    std::printf("monitor wall time: %.1f s\n", seconds);
    std::printf("rows logged: %d\n", rows);
    std::printf("exit status: %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 && rows == 1 ? 0 : 1;
}
