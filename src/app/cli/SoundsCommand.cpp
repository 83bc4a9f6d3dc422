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
        const QString name = dir.filePath(QStringLiteral("%1.wav").arg(id));
        QString why;
        if (!writeFileAtomically(name, SameAudio::makeRecording(id), &why)) {
            err << "sounds: cannot write " << QDir::toNativeSeparators(name) << ": " << why << '\n';
            return 1;
        }
        out << QDir::toNativeSeparators(name) << '\n';
    }
    return 0;
}

// The same message the test window plays: the header three times, 24
// beeps, the end-of-message packet three times, each sound followed by a
// pause, and one more pause before the beeps and before the end packet.
bool playRepeated(PacketPlayer &player, const Timings &t, int id, int times)
{
    const QByteArray wav = SameAudio::makeRecording(id);
    for (int i = 0; i < times; ++i)
        if (!player.play(id, wav) || !player.pause(t.packetPauseMs))
            return false;
    return true;
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
    if (player.pause(timings.packetStartMs) && playRepeated(player, timings, id, 3)
        && player.pause(timings.packetPauseMs) && playRepeated(player, timings, SameAudio::Beep, 24)
        && player.pause(timings.packetPauseMs))
        playRepeated(player, timings, SameAudio::EndOfMessage, 3);
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
                   "160 for one end-of-message packet."),
    {
        {QStringLiteral("DIR"), QString(), QStringLiteral("The folder the WAV files are written to."), false, QStringLiteral("dir")},
        {QStringLiteral("--play"), QStringLiteral("ID"), QStringLiteral("Plays one test packet through the sound card."), false,
         QStringLiteral("110|120|130|140|150|160|RWT|FFW|SVA|TOA")},
    },
    {QStringLiteral("0\tdone"), QStringLiteral("1\ta file could not be written or the sound not played"), QStringLiteral("2\ta usage error")},
    {},
    [](const QStringList &args) { return runSoundsCommand(args); },
    60,
});
} // namespace
