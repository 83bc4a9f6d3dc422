// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli sounds: the editor's test recordings for a receiver that sits
// next to another machine. "sounds DIR" writes them as WAV files;
// "sounds --play ID" plays one test message on this machine's sound output.
#include "app/cli/CliCommands.h"
#include "app/cli/CliCommand.h"
#include "base/SafeWrite.h"

#include "base/Timings.h"
#include "testpackets/core/SameAudio.h"
#include "testpackets/core/PacketPlayer.h"

#include <QDir>
#include <QHash>
#ifndef NX_WITHOUT_MULTIMEDIA
#include <QMediaDevices>
#include <QAudioDevice>
#else
#include "testpackets/core/SystemPlayerAudio.h"
#endif
#include <QTextStream>

namespace {

struct Message {
    const char *code;
    const char *name;
    int header;
};

constexpr Message kMessages[] = {
    {"RWT", "Required Weekly Test", SameAudio::RwtHeader},
    {"FFW", "Flash Flood Warning", SameAudio::FfwHeader},
    {"SVA", "Severe Thunderstorm Watch", SameAudio::SvaHeader},
    {"TOA", "Tornado Watch", SameAudio::ToaHeader},
};

int usage()
{
    QTextStream(stderr) << "usage: nx4400c-cli sounds DIR\n"
                           "       nx4400c-cli sounds --play ID\n"
                           "ID is 110, 120, 130 or 140 (or RWT, FFW, SVA, TOA) for a whole test\n"
                           "message, 150 for one beep, 160 for one end-of-message packet.\n";
    return 2;
}

bool writeOne(const QString &name, const QByteArray &wav, QTextStream &out, QTextStream &err)
{
    QString why;
    if (!writeFileAtomically(name, wav, &why)) {
        err << "sounds: cannot write " << QDir::toNativeSeparators(name) << ": " << why << '\n';
        return false;
    }
    out << QDir::toNativeSeparators(name) << '\n';
    return true;
}

// The six recordings by number, and each whole test message by its event
// code (RWT.wav ...), as the test packet window plays it at its own pace.
int writeSounds(const QString &folder)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!QDir().mkpath(folder)) {
        err << "sounds: cannot create folder " << QDir::toNativeSeparators(folder) << '\n';
        return 1;
    }
    const QDir dir(folder);
    for (int id : SameAudio::recordingIds()) {
        if (!writeOne(dir.filePath(QStringLiteral("%1.wav").arg(id)), SameAudio::makeRecording(id), out, err))
            return 1;
    }
    const Timings timings;
    for (const Message &m : kMessages) {
        const QByteArray wav = SameAudio::testMessageWav(m.header, timings.packetStartMs, timings.packetPauseMs);
        if (!writeOne(dir.filePath(QStringLiteral("%1.wav").arg(QLatin1String(m.code))), wav, out, err))
            return 1;
    }
    return 0;
}

int play(const QString &which)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    bool isNumber = false;
    int id = which.toInt(&isNumber);
    QString name;
    if (!isNumber)
        id = 0;
    for (const Message &m : kMessages) {
        if (which.compare(QLatin1String(m.code), Qt::CaseInsensitive) == 0)
            id = m.header;
        if (id == m.header)
            name = QString::fromLatin1(m.name);
    }
    if (!SameAudio::isRecording(id)) {
        err << "sounds: unknown recording " << which << '\n';
        return usage();
    }
#ifndef NX_WITHOUT_MULTIMEDIA
    const bool canPlay = !QMediaDevices::defaultAudioOutput().isNull();
#else
    const bool canPlay = !SystemPlayerAudio::defaultCommand().isEmpty();
#endif
    if (!canPlay) {
        err << "sounds: this machine has no sound output\n";
        return 1;
    }

    const Timings timings;
    PacketPlayer player(timings);
    if (name.isEmpty()) {
        out << "Playing recording " << id << '\n';
        out.flush();
        player.play(id, SameAudio::makeRecording(id));
        return 0;
    }
    out << "Playing " << name << " (about 45 seconds)\n";
    out.flush();
    // The steps of the test packet window, each recording made once.
    QHash<int, QByteArray> recordings;
    for (const SameAudio::MessageStep &step : SameAudio::testMessage(id, timings.packetStartMs, timings.packetPauseMs)) {
        if (step.id && !recordings.contains(step.id))
            recordings.insert(step.id, SameAudio::makeRecording(step.id));
        if (step.id ? !player.play(step.id, recordings.value(step.id)) : !player.pause(step.pauseMs))
            break;
    }
    return 0;
}

} // namespace

int runSoundsCommand(const QStringList &args)
{
    if (args.size() == 2 && args.at(0) == QLatin1String("--play"))
        return play(args.at(1));
    if (args.size() == 1 && !args.at(0).startsWith(QLatin1Char('-')))
        return writeSounds(args.at(0));
    return usage();
}

namespace {
const bool registered = Cli::add({
    QStringLiteral("sounds"),
    QStringLiteral("DIR | --play ID"),
    QStringLiteral("Writes the SAME test packets as WAV files, or plays one."),
    QStringLiteral("ID is 110, 120, 130 or 140 (or RWT, FFW, SVA, TOA) for a whole test message, 150 for one beep, "
                   "160 for one end-of-message packet.\n\n"
                   "DIR receives the six packets as 110.wav to 160.wav and each whole test message of about 45 seconds "
                   "as RWT.wav, FFW.wav, SVA.wav and TOA.wav: the header three times, 24 beeps and the end of message "
                   "three times with the pauses of the test packet window, so that any player can sound it into a "
                   "receiver. Files of the same names are replaced."),
    {
        {QStringLiteral("DIR"), QString(), QStringLiteral("The folder the WAV files are written to; made when missing."), false, QStringLiteral("dir")},
        {QStringLiteral("--play"), QStringLiteral("ID"), QStringLiteral("Plays one test packet through the sound card."), false,
         QStringLiteral("110|120|130|140|150|160|RWT|FFW|SVA|TOA")},
    },
    {QStringLiteral("0\tdone"), QStringLiteral("1\ta file could not be written or the sound not played"), QStringLiteral("2\ta usage error")},
    {},
    [](const QStringList &args) { return runSoundsCommand(args); },
    60,
});
} // namespace
