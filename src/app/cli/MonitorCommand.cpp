// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli monitor: decodes SAME alerts from a sound card, a recording or
// raw samples on standard input, prints each header, logs it in the alert
// log with the monitor as its receiver, keeps its audio beside the log and,
// when asked, runs a program per message.
#include "app/cli/CliCommands.h"

#include "app/cli/CliCommand.h"
#include "app/cli/MonitorIqCommand.h"

#include "base/Clock.h"
#include "base/Platform.h"
#include "config/core/ReceiverTimeZone.h"
#include "history/core/AlertRecord.h"
#include "history/core/AlertLog.h"
#include "coverage/core/CoverageLocation.h"
#include "monitor/core/CountyNames.h"
#include "monitor/core/MonitorExec.h"
#include "monitor/core/MonitorSession.h"
#include "monitor/core/MonitorSources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTextStream>
#include <QTimeZone>

#include <cstdio>

namespace {

struct Options {
    QString device;
    bool deviceGiven = false;
    QString wav;
    bool raw = false;
    bool test = false;
    int rate = 0;
    QString rateText;          // --rate as given: audio for --raw, IQ for --iq and --rtl-sdr
    MonitorIqArgs iq;          // --iq, --rtl-sdr and their options
    SameMode mode = SameMode::Strict;
    bool json = false;
    bool text = false;
    QString log;
    QString exec;
    int execTimeout = 60;
    bool listDevices = false;
    QString zone;   // IANA name; empty: the computer's
};

int usage(const QString &why)
{
    QTextStream(stderr) << "monitor: " << why << '\n'
                        << "usage: nx4400c-cli monitor [--device NAME | --wav FILE | --raw --rate N | " << MonitorIqUsage << "] "
                           "[--mode strict|combined] [--json | --text] [--csv FILE] [--test] [--zone NAME] [--exec PROGRAM [--exec-timeout S]]\n"
                           "       nx4400c-cli monitor --list-devices\n";
    return 2;
}

QString parse(const QStringList &args, Options &o)
{
    for (int i = 0; i < args.size(); ++i) {
        QString a = args.at(i);
        QString value;
        bool inline_ = false;
        const int eq = a.indexOf(QLatin1Char('='));
        if (a.startsWith(QLatin1String("--")) && eq > 0) {
            value = a.mid(eq + 1);
            a = a.left(eq);
            inline_ = true;
        }
        auto take = [&]() -> bool {
            if (inline_)
                return true;
            if (i + 1 >= args.size())
                return false;
            value = args.at(++i);
            return true;
        };
        if (a == QLatin1String("--list-devices") && !inline_) {
            o.listDevices = true;
        } else if (a == QLatin1String("--device")) {
            if (!take())
                return QStringLiteral("--device needs a name");
            o.device = value;
            o.deviceGiven = true;
        } else if (a == QLatin1String("--wav")) {
            if (!take() || value.isEmpty())
                return QStringLiteral("--wav needs a file");
            o.wav = value;
        } else if (a == QLatin1String("--raw")) {
            o.raw = true;
        } else if (a == QLatin1String("--rate")) {
            if (!take() || value.isEmpty())
                return QStringLiteral("--rate needs a number of samples per second");
            o.rateText = value;
        } else if (int used = parseMonitorIqOption(args, i, o.iq); used != 0) {
            if (used < 0)
                return o.iq.error;
        } else if (a == QLatin1String("--mode")) {
            if (!take() || !sameModeFromName(value, &o.mode))
                return QStringLiteral("--mode is strict or combined");
        } else if (a == QLatin1String("--test")) {
            o.test = true;   // a test recording: logged as a test, never counted
        } else if (a == QLatin1String("--json")) {
            o.json = true;
        } else if (a == QLatin1String("--text")) {
            o.text = true;
        } else if (a == QLatin1String("--exec-timeout")) {
            bool ok = false;
            if (!take() || (o.execTimeout = value.toInt(&ok), !ok) || o.execTimeout < 1 || o.execTimeout > 86400)
                return QStringLiteral("--exec-timeout is a number of seconds from 1 to 86400");
        } else if (a == QLatin1String("--csv")) {
            if (!take() || value.isEmpty())
                return QStringLiteral("--csv needs a file name");
            o.log = value;
        } else if (a == QLatin1String("--zone")) {
            if (!take() || value.isEmpty())
                return QStringLiteral("--zone needs a time zone (an IANA name such as America/Denver)");
            if (!ReceiverTimeZone::isKnown(value))
                return QStringLiteral("--zone: \"%1\" is not a time zone this system knows (an IANA name such as "
                                      "America/Denver)")
                    .arg(value.left(60));
            o.zone = value;
        } else if (a == QLatin1String("--exec")) {
            if (!take() || value.isEmpty())
                return QStringLiteral("--exec needs a program");
            o.exec = value;
        } else {
            return QStringLiteral("unexpected argument \"%1\"").arg(args.at(i));
        }
    }
    if (o.listDevices && args.size() > 1)
        return QStringLiteral("--list-devices goes alone");
    const int sources = int(o.deviceGiven) + int(!o.wav.isEmpty()) + int(o.raw) + int(o.iq.radio());
    if (sources > 1)
        return QStringLiteral("choose one of --device, --wav, --raw, --iq and --rtl-sdr");
    if (o.iq.radio()) {
        if (!o.rateText.isEmpty())
            o.iq.rateText = o.rateText;
        return finishMonitorIqArgs(o.iq);
    }
    if (o.iq.optionGiven())
        return QStringLiteral("%1 goes with --iq or --rtl-sdr").arg(o.iq.firstOption);
    if (!o.rateText.isEmpty()) {
        bool ok = false;
        o.rate = o.rateText.toInt(&ok);
        if (!ok || !SameDecoder::rateSupported(o.rate))
            return QStringLiteral("--rate is a number of samples per second from %1 to %2")
                .arg(SameDecoder::MinRate).arg(SameDecoder::MaxRate);
    }
    if (o.raw && o.rate == 0)
        return QStringLiteral("--raw needs --rate");
    if (!o.raw && o.rate != 0)
        return QStringLiteral("--rate goes with --raw");
    if (o.json && o.text)
        return QStringLiteral("choose one of --json and --text");
    return QString();
}

} // namespace

int runMonitorCommand(const QStringList &args)
{
    Options o;
    const QString why = parse(args, o);
    if (!why.isEmpty())
        return usage(why);
    QTextStream err(stderr);
    if (o.listDevices) {
        // The sound inputs --device takes, one a line.
        QTextStream out(stdout);
        for (const QString &name : audioInputNames())
            out << name << '\n';
        return 0;
    }

    if (o.log.isEmpty())
        o.log = DefaultAlertLogPath();
    if (o.log.isEmpty()) {
        err << "monitor: no data folder for the default alert log (is HOME set?); name one with --csv\n";
        return 1;
    }
    QString folderWhy;
    if (!MakeAlertLogFolder(o.log, &folderWhy)) {
        err << "monitor: " << folderWhy << '\n';
        return 1;
    }
    if (!MonitorSession::logAccepts(o.log, &folderWhy) || !MonitorSession::canWrite(o.log, &folderWhy)) {
        err << "monitor: " << folderWhy << '\n';
        return 1;
    }
    if (o.iq.radio())
        return runMonitorIq(o.iq, {o.mode, o.json, o.text, o.log, o.exec, o.execTimeout,
                                   o.zone.isEmpty() ? QString::fromUtf8(QTimeZone::systemTimeZoneId()) : o.zone});

    // The source first: its rate makes the decoder.
    QFile wavFile(o.wav);
    WavStream wav;
    int rate = o.rate;
    QString source = QStringLiteral("monitor:stdin");
    AudioInput audio;
    if (!o.wav.isEmpty()) {
        if (!wavFile.open(QIODevice::ReadOnly)) {
            err << "monitor: cannot read " << QDir::toNativeSeparators(o.wav) << ": " << wavFile.errorString() << '\n';
            return 1;
        }
        QString readWhy;
        if (!wav.open(&wavFile, &readWhy)) {
            err << "monitor: " << QDir::toNativeSeparators(o.wav) << ": " << readWhy << '\n';
            return 1;
        }
        rate = wav.sampleRate();
        source = QStringLiteral("monitor:wav");
        if (!wav.note().isEmpty())
            err << "monitor: " << QDir::toNativeSeparators(o.wav) << ": " << wav.note() << '\n';
    } else if (!o.raw) {
        QString startWhy;
        if (!audio.start(o.device, &startWhy)) {
            err << "monitor: " << startWhy << '\n';
            return 1;
        }
        rate = audio.sampleRate();
        source = QStringLiteral("monitor:") + (o.device.isEmpty() ? QStringLiteral("default") : o.device);
    }

    // The monitor's zone: its dates, and the audit's weeks of its rows,
    // follow it. Kept in the alert record with the monitor, so the audit
    // finds it whichever computer asks.
    const QString zoneName = o.zone.isEmpty() ? QString::fromUtf8(QTimeZone::systemTimeZoneId()) : o.zone;
    {
        QString registerWhy;
        const QString where = !o.wav.isEmpty() ? o.wav : (o.raw ? QStringLiteral("stdin") : o.device);
        if (!AlertRecord::registerReceiver(o.log, source, where, &registerWhy, zoneName)) {
            err << "monitor: " << registerWhy << '\n';
            return 1;
        }
    }

    SystemClock clock;
    MonitorSession::Options so;
    so.sampleRate = rate;
    so.mode = o.mode;
    so.source = source;
    so.logFile = o.log;
    so.test = o.test;
    so.zone = QTimeZone(zoneName.toUtf8());
    // A recording is heard at its own time, or else at the start of the
    // run: it is read much faster than it plays.
    so.realTime = o.wav.isEmpty();
    so.audioStart = wav.recorded();
    CountyNames names(CoverageLocation::activeFolder(
                          CoverageLocation::shippedFolder(QCoreApplication::applicationDirPath()), QString()),
                      {});
    so.names = &names;
    MonitorSession session(so, clock);
    int problems = 0;
    QTextStream out(stdout);
    MonitorExec exec({o.exec, o.execTimeout * 1000, 16});
    QObject::connect(&exec, &MonitorExec::problem, [&](const QString &text) {
        err << "monitor: " << text << '\n';
        err.flush();
    });
    QObject::connect(&session, &MonitorSession::messageDecoded, [&](const MonitorMessage &m) {
        if (o.json)
            out << monitorJsonLine(m) << '\n';
        else if (o.text)
            out << monitorTextLine(m) << '\n';
        else
            out << m.report.header.text << '\n';
        out.flush();
        if (!m.report.header.note.isEmpty())
            err << "monitor: " << m.report.header.text << " is malformed: " << m.report.header.note
                << "; it was heard alike in its bursts and is logged with that note\n";
        if (!o.exec.isEmpty())
            exec.run(m);
    });
    QObject::connect(&session, &MonitorSession::endOfMessage, [&](const QDateTime &heard) {
        if (o.json) {
            MonitorMessage m;
            m.report.kind = SameReport::EndOfMessage;
            m.report.mode = o.mode;
            m.source = source;
            m.heard = heard;
            out << monitorJsonLine(m) << '\n';
        } else {
            out << "NNNN\n";
        }
        out.flush();
    });
    QObject::connect(&session, &MonitorSession::problem, [&](const QString &text) {
        err << "monitor: " << text << '\n';
        err.flush();
        ++problems;
    });

    if (!o.wav.isEmpty()) {
        // A block at a time: memory stays flat for a recording of any length.
        for (;;) {
            const QVector<qint16> block = wav.read(64 * 1024);
            if (block.isEmpty())
                break;
            session.feed(block.constData(), block.size());
            QCoreApplication::processEvents();   // the programs that ended, the time-out
        }
        if (wav.endedInFrame())
            err << "monitor: " << QDir::toNativeSeparators(o.wav) << " ends in the middle of a sample\n";
    } else if (o.raw) {
        Platform::BinaryStandardInput();
        RawSampleReader reader;
        QByteArray buffer(8192, Qt::Uninitialized);
        for (;;) {
            const size_t n = std::fread(buffer.data(), 1, size_t(buffer.size()), stdin);
            if (n == 0)
                break;
            const QVector<qint16> block = reader.push(buffer.left(qsizetype(n)));
            session.feed(block.constData(), block.size());
            QCoreApplication::processEvents();
        }
        if (reader.hasPartialSample())
            err << "monitor: the input ended in the middle of a sample\n";
    } else {
        QObject::connect(&audio, &AudioInput::samples,
                         [&](const QVector<qint16> &block) { session.feed(block.constData(), block.size()); });
        QCoreApplication::exec();
    }
    session.finish();
    exec.finish();
    if (exec.dropped() > 0)
        err << "monitor: " << exec.dropped() << " message(s) were not passed to " << QDir::toNativeSeparators(o.exec)
            << ": it was busy and the queue was full\n";
    // A recording is run to get its messages handled: a program that failed
    // on one of them makes the run fail. A live monitor goes on regardless
    // and has said so on standard error each time.
    const bool execFailed = exec.startFailed() || (!o.wav.isEmpty() && exec.anyFault());
    return problems > 0 || execFailed ? 1 : 0;
}

namespace {
const bool registered = Cli::add({
    QStringLiteral("monitor"),
    QStringLiteral("[--device NAME | --wav FILE | --raw --rate N | --iq FILE|- --rate N --center HZ | --rtl-sdr [INDEX]] [--mode strict|combined] [--json | --text] [--csv FILE] [--zone NAME] [--exec PROGRAM [--exec-timeout S]]"),
    QStringLiteral("Decodes SAME alerts from a weather radio's audio and logs them."),
    QStringLiteral(
        "Listens to a sound card (the default one without --device), a WAV recording, or raw signed 16-bit "
        "little-endian mono samples on standard input, and decodes every SAME header. Each new message prints its "
        "header exactly as decoded (ZCZC-...-) on a line of its own, or one JSON line with --json "
        "(docs/json/monitor.schema.json, with the county names and the times of issue and end in ISO 8601), "
        "or one sentence a person reads with --text; each end of message prints NNNN. Repeats of the last ten "
        "messages are not reported again. A header heard alike in its bursts but with a field out of range (issue "
        "day 000) is reported and logged with a note naming the field.\n\n"
        "Every message is added to the alert log with the source in the Receiver column (monitor:wav, "
        "monitor:stdin, monitor:NAME), its locations, whole header, time of issue and time heard, so the "
        "required-test audit counts it on the day it was issued. The same header heard again before its purge "
        "time ends is the same message and adds no row. A recording is heard at the time its file states "
        "(broadcast-wave or INFO creation time), else at the start of the run. The log must be in the current "
        "layout: an older one is refused with the command that upgrades it. The message's audio, from the first "
        "header to the end of message and at most two minutes, is saved as a WAV file beside the log, named "
        "after the log, the source, the time heard and the event, never over another file.\n\n"
        "With --iq or --rtl-sdr the input is a software-defined radio's complex samples of the weather band: every "
        "weather-radio channel inside it (162.400 to 162.550 MHz, 25 kHz apart; all seven at 2.4 MS/s tuned to "
        "162.475 MHz) is demodulated and decoded at once, logged and recorded as monitor:iq:162.550, and each line "
        "names the channel and the coverage listing's transmitters on it that cover the header's counties "
        "(\"KIH42 Covington 162.550\"). Without a dongle --rtl-sdr says \"no RTL-SDR device found\" and exits 1.\n\n"
        "In strict mode a header counts only when two of its three bursts are the same (47 CFR 11.33). Combined "
        "mode adds the three bursts up bit by bit and so decodes signals about two dB weaker; it "
        "reports a header only when the chance that any bit of it is wrong is below one in a hundred."),
    {
        {QStringLiteral("--device"), QStringLiteral("NAME"), QStringLiteral("The sound input, by the name the system gives it; \"default\" for the default one. It is recorded at its own rate, or at 22,050 samples/s."), false, QStringLiteral("none")},
        {QStringLiteral("--list-devices"), QString(), QStringLiteral("Prints the sound inputs --device takes, one name a line, and ends."), false, QString()},
        {QStringLiteral("--wav"), QStringLiteral("FILE"), QStringLiteral("A WAV recording (PCM or float, 8000 to 48000 samples/s; channels are mixed)."), false, QStringLiteral("file")},
        {QStringLiteral("--raw"), QString(), QStringLiteral("Raw signed 16-bit little-endian mono samples on standard input, for an SDR pipeline."), false, QString()},
        {QStringLiteral("--rate"), QStringLiteral("N"), QStringLiteral("Samples per second of --raw input, 8000 to 48000; of --iq input (complex samples), 48000 to 3200000; of --rtl-sdr, 2400000 by default."), false, QStringLiteral("none")},
        {QStringLiteral("--iq"), QStringLiteral("FILE|-"), QStringLiteral("Complex (IQ) samples of the weather band from a software-defined radio, from a file or standard input (-). Every weather-radio channel in the band (162.400 to 162.550 MHz) is demodulated and decoded on its own; each message names its channel and the listing's transmitters on it that cover its counties."), false, QStringLiteral("file")},
        {QStringLiteral("--iq-format"), QStringLiteral("cu8|cs16|cf32"), QStringLiteral("The samples of --iq: unsigned 8-bit as rtl_sdr writes (the default), signed 16-bit or 32-bit float, I then Q, little-endian."), false, QStringLiteral("cu8|cs16|cf32")},
        {QStringLiteral("--center"), QStringLiteral("HZ"), QStringLiteral("The frequency the radio was tuned to: 162.475M, 162475000; 162.475M by default for --rtl-sdr."), false, QStringLiteral("none")},
        {QStringLiteral("--channels"), QStringLiteral("LIST"), QStringLiteral("Only these channels, in MHz, comma-separated: 162.400,162.550."), false, QStringLiteral("none")},
        {QStringLiteral("--ppm"), QStringLiteral("N"), QStringLiteral("The radio's frequency error in parts per million (rtl_test -p measures it); 0 by default. Small errors are followed by each channel anyway."), false, QStringLiteral("none")},
        {QStringLiteral("--rtl-sdr"), QStringLiteral("[INDEX]"), QStringLiteral("Reads an RTL-SDR dongle (the first, or number INDEX) directly, as --iq reads rtl_sdr's output."), false, QStringLiteral("none")},
        {QStringLiteral("--gain"), QStringLiteral("DB"), QStringLiteral("The dongle's tuner gain in dB; automatic by default."), false, QStringLiteral("none")},
        {QStringLiteral("--mode"), QStringLiteral("strict|combined"), QStringLiteral("How the three bursts of a header are decided; strict by default."), false, QStringLiteral("strict|combined")},
        {QStringLiteral("--json"), QString(), QStringLiteral("One JSON object per line instead of the bare header."), false, QString()},
        {QStringLiteral("--text"), QString(), QStringLiteral("One sentence per message: event, counties by name, end and issue time in local time with the zone, sender."), false, QString()},
        {QStringLiteral("--csv"), QStringLiteral("FILE"), QStringLiteral("The alert log to add to; the editor's by default. The audio files go in the same folder."), false, QStringLiteral("file")},
        {QStringLiteral("--zone"), QStringLiteral("NAME"), QStringLiteral("The time zone of the monitor's dates, as an IANA name (America/Denver; aliases such as US/Pacific too); the computer's by default. It is kept with the monitor in the alert database, and the audit counts the monitor's weeks in it."), false, QStringLiteral("none")},
        {QStringLiteral("--exec"), QStringLiteral("PROGRAM"), QStringLiteral("Runs PROGRAM for every new message, without a shell. Arguments: header, originator, event, locations (comma-separated), purge time (hh:mm), issue time (JJJHHMM), sender, mode, source. The same fields are in the environment as SAME_HEADER, SAME_ORIGINATOR, SAME_EVENT, SAME_EVENT_NAME, SAME_LOCATIONS, SAME_PURGE, SAME_ISSUED, SAME_SENDER, SAME_MODE, SAME_CONFIDENCE, SAME_SOURCE and SAME_HEARD. One program runs at a time; up to 16 messages wait for it, later ones are dropped and counted. Its output goes to standard error, never into the monitor's own output."), false, QStringLiteral("file")},
        {QStringLiteral("--test"), QString(), QStringLiteral("The input is a test recording: its messages are logged as tests and never counted by the audit or the cross-check."), false, QString()},
        {QStringLiteral("--exec-timeout"), QStringLiteral("S"), QStringLiteral("Ends a program run by --exec, and what it started, after S seconds; 60 by default."), false, QStringLiteral("none")},
    },
    {QStringLiteral("0\tthe input ended (a recording or standard input)"),
     QStringLiteral("1\tthe input or log could not be used (no RTL-SDR device found), the log's folder takes no files, a log row or audio file could not be written, or the --exec program could not be started (with --wav also: it failed or ran out of time)"),
     QStringLiteral("2\ta usage error")},
    {QStringLiteral("nx4400c-cli monitor --device default --mode combined"),
     QStringLiteral("rtl_fm -f 162.55M -s 22050 - | nx4400c-cli monitor --raw --rate 22050 --json"),
     QStringLiteral("rtl_sdr -f 162475000 -s 2400000 - | nx4400c-cli monitor --iq - --rate 2400000 --center 162.475M"),
     QStringLiteral("nx4400c-cli monitor --wav alert.wav --csv /var/log/nx4400c/alerts.csv --exec /usr/local/bin/notify-alert")},
    [](const QStringList &args) { return runMonitorCommand(args); },
    45,
});
} // namespace
