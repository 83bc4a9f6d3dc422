// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli sounds: the editor's test recordings for a receiver that sits
// next to another machine. "sounds DIR" writes them as WAV files;
// "sounds --play ID" plays one test message on this machine's sound output,
// "sounds --list-devices" names the outputs it can play on.
#include "app/cli/CliCommands.h"
#include "app/cli/CliCommand.h"
#include "base/SafeWrite.h"

#include "base/Timings.h"
#include "testpackets/core/SameAudio.h"
#include "testpackets/core/PacketPlayer.h"
#include "testpackets/core/SoundCard.h"
#include "testpackets/core/SystemPlayerAudio.h"

#include <QDir>
#include <QHash>
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
                           "       nx4400c-cli sounds --play ID [--device NAME] [--level PERCENT]\n"
                           "       nx4400c-cli sounds --list-devices\n"
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

int listDevices()
{
    QTextStream out(stdout);
    if (SoundCard::backend().isEmpty()) {
        QTextStream(stderr) << "sounds: this build has no sound card; --play hands the sound to the system's player\n";
        return 0;
    }
    for (const QString &name : SoundCard::outputNames())
        out << name << '\n';
    return 0;
}

int play(const QString &which, const QString &device, int levelPercent)
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
    const Timings timings;
    std::unique_ptr<PacketAudio> audio;
    SinkAudio *card = nullptr;
    if (!SoundCard::backend().isEmpty()) {
        // The output is tried before a word is printed: a missing or
        // refusing device is told at once, not after 45 silent seconds.
        QString why;
        if (!device.isEmpty() && device != QLatin1String("default") && !SoundCard::outputNames().contains(device))
            why = QStringLiteral("no sound output is called \"%1\"").arg(device);
        else if (SoundCard::outputNames().isEmpty())
            why = QStringLiteral("this machine has no sound output");
        if (!why.isEmpty()) {
            err << "sounds: " << why << '\n';
            return 1;
        }
        auto sink = std::make_unique<SinkAudio>(timings.speed);
        sink->setDevice(device);
        sink->setLevel(levelPercent / 100.0);
        card = sink.get();
        audio = std::move(sink);
    } else {
        if (!device.isEmpty()) {
            err << "sounds: this build has no sound card to choose from; --device cannot be used\n";
            return 1;
        }
        if (SystemPlayerAudio::defaultCommand().isEmpty()) {
            err << "sounds: this machine has no sound output\n";
            return 1;
        }
    }
    PacketPlayer player(timings, std::move(audio));
    // A sound that could not start (the device refused) ends the run with
    // the reason instead of playing on in silence.
    auto failed = [&] {
        if (card && card->silent()) {
            err << "sounds: " << card->lastError() << '\n';
            return true;
        }
        return false;
    };
    if (name.isEmpty()) {
        out << "Playing recording " << id << '\n';
        out.flush();
        player.play(id, SameAudio::makeRecording(id));
        return failed() ? 1 : 0;
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
        if (failed())
            return 1;
    }
    return 0;
}

} // namespace

int runSoundsCommand(const QStringList &args)
{
    if (args.size() == 1 && args.at(0) == QLatin1String("--list-devices"))
        return listDevices();
    if (args.size() >= 2 && args.at(0) == QLatin1String("--play")) {
        QString device;
        int level = 100;
        for (int i = 2; i < args.size(); i += 2) {
            if (i + 1 >= args.size())
                return usage();
            if (args.at(i) == QLatin1String("--device") && device.isEmpty() && !args.at(i + 1).isEmpty()) {
                device = args.at(i + 1);
            } else if (args.at(i) == QLatin1String("--level")) {
                bool ok = false;
                level = args.at(i + 1).toInt(&ok);
                if (!ok || level < 1 || level > 100) {
                    QTextStream(stderr) << "sounds: --level takes 1 to 100 (percent of the recording's level)\n";
                    return 2;
                }
            } else {
                return usage();
            }
        }
        return play(args.at(1), device, level);
    }
    if (args.size() == 1 && !args.at(0).startsWith(QLatin1Char('-')))
        return writeSounds(args.at(0));
    return usage();
}

namespace {
const bool registered = Cli::add({
    QStringLiteral("sounds"),
    QStringLiteral("DIR | --play ID [--device NAME] [--level PERCENT] | --list-devices"),
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
        {QStringLiteral("--device"), QStringLiteral("NAME"), QStringLiteral("With --play: the sound output, by a name --list-devices prints; the default one without it."), false, QStringLiteral("none")},
        {QStringLiteral("--level"), QStringLiteral("PERCENT"), QStringLiteral("With --play: 1 to 100 percent of the recording's own level; 100 by default."), false, QStringLiteral("none")},
        {QStringLiteral("--list-devices"), QString(), QStringLiteral("Prints the sound outputs, one name a line."), false, QString()},
    },
    {QStringLiteral("0\tdone"), QStringLiteral("1\ta file could not be written or the sound not played"), QStringLiteral("2\ta usage error")},
    {},
    [](const QStringList &args) { return runSoundsCommand(args); },
    60,
});
} // namespace
