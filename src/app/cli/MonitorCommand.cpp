// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli monitor: decodes SAME alerts from a sound card, a recording or
// raw samples on standard input, prints each header, logs it in the alert
// log with the monitor as its receiver, keeps its audio beside the log and,
// when asked, runs a program per message.
#include "app/cli/CliCommands.h"
#include "app/cli/CliCommand.h"

#include "base/Clock.h"
#include "history/core/AlertLog.h"
#include "monitor/core/MonitorSession.h"
#include "monitor/core/MonitorSources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTextStream>

#include <cstdio>

namespace {

struct Options {
    QString device;
    bool deviceGiven = false;
    QString wav;
    bool raw = false;
    int rate = 0;
    SameMode mode = SameMode::Strict;
    bool json = false;
    QString log;
    QString exec;
};

int usage(const QString &why)
{
    QTextStream(stderr) << "monitor: " << why << '\n'
                        << "usage: nx4400c-cli monitor [--device NAME | --wav FILE | --raw --rate N] "
                           "[--mode strict|combined] [--json] [--csv FILE] [--exec PROGRAM]\n";
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
        if (a == QLatin1String("--device")) {
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
            bool ok = false;
            if (!take() || (o.rate = value.toInt(&ok), !ok) || !SameDecoder::rateSupported(o.rate))
                return QStringLiteral("--rate is a number of samples per second from %1 to %2")
                    .arg(SameDecoder::MinRate).arg(SameDecoder::MaxRate);
        } else if (a == QLatin1String("--mode")) {
            if (!take() || !sameModeFromName(value, &o.mode))
                return QStringLiteral("--mode is strict or combined");
        } else if (a == QLatin1String("--json")) {
            o.json = true;
        } else if (a == QLatin1String("--csv")) {
            if (!take() || value.isEmpty())
                return QStringLiteral("--csv needs a file name");
            o.log = value;
        } else if (a == QLatin1String("--exec")) {
            if (!take() || value.isEmpty())
                return QStringLiteral("--exec needs a program");
            o.exec = value;
        } else {
            return QStringLiteral("unexpected argument \"%1\"").arg(args.at(i));
        }
    }
    const int sources = int(o.deviceGiven) + int(!o.wav.isEmpty()) + int(o.raw);
    if (sources > 1)
        return QStringLiteral("choose one of --device, --wav and --raw");
    if (o.raw && o.rate == 0)
        return QStringLiteral("--raw needs --rate");
    if (!o.raw && o.rate != 0)
        return QStringLiteral("--rate goes with --raw");
    return QString();
}

void runProgram(const QString &program, const MonitorMessage &m)
{
    // Started directly with an argument list: no shell ever sees the header.
    QProcess p;
    p.setProgram(program);
    p.setArguments(monitorCommandArguments(m));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &kv : monitorCommandEnvironment(m)) {
        const int eq = kv.indexOf(QLatin1Char('='));
        env.insert(kv.left(eq), kv.mid(eq + 1));
    }
    p.setProcessEnvironment(env);
    p.setStandardInputFile(QProcess::nullDevice());
    if (!p.startDetached())
        QTextStream(stderr) << "monitor: could not start " << program << '\n';
}

} // namespace

int runMonitorCommand(const QStringList &args)
{
    Options o;
    const QString why = parse(args, o);
    if (!why.isEmpty())
        return usage(why);
    QTextStream err(stderr);

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

    // The source first: its rate makes the decoder.
    QVector<qint16> wavSamples;
    int rate = o.rate;
    QString source = QStringLiteral("monitor:stdin");
    AudioInput audio;
    if (!o.wav.isEmpty()) {
        QFile f(o.wav);
        if (!f.open(QIODevice::ReadOnly)) {
            err << "monitor: cannot read " << QDir::toNativeSeparators(o.wav) << ": " << f.errorString() << '\n';
            return 1;
        }
        QString readWhy;
        if (!readWavSamples(f.readAll(), &wavSamples, &rate, &readWhy)) {
            err << "monitor: " << QDir::toNativeSeparators(o.wav) << ": " << readWhy << '\n';
            return 1;
        }
        source = QStringLiteral("monitor:wav");
    } else if (!o.raw) {
        QString startWhy;
        if (!audio.start(o.device, &startWhy)) {
            err << "monitor: " << startWhy << '\n';
            return 1;
        }
        rate = audio.sampleRate();
        source = QStringLiteral("monitor:") + (o.device.isEmpty() ? QStringLiteral("default") : o.device);
    }

    SystemClock clock;
    MonitorSession::Options so;
    so.sampleRate = rate;
    so.mode = o.mode;
    so.source = source;
    so.logFile = o.log;
    MonitorSession session(so, clock);
    int problems = 0;
    QTextStream out(stdout);
    QObject::connect(&session, &MonitorSession::messageDecoded, [&](const MonitorMessage &m) {
        if (o.json)
            out << monitorJsonLine(m) << '\n';
        else
            out << m.report.header.text << '\n';
        out.flush();
        if (!o.exec.isEmpty())
            runProgram(o.exec, m);
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
        session.feed(wavSamples.constData(), wavSamples.size());
    } else if (o.raw) {
        RawSampleReader reader;
        QByteArray buffer(8192, Qt::Uninitialized);
        for (;;) {
            const size_t n = std::fread(buffer.data(), 1, size_t(buffer.size()), stdin);
            if (n == 0)
                break;
            const QVector<qint16> block = reader.push(buffer.left(qsizetype(n)));
            session.feed(block.constData(), block.size());
        }
        if (reader.hasPartialSample())
            err << "monitor: the input ended in the middle of a sample\n";
    } else {
        QObject::connect(&audio, &AudioInput::samples,
                         [&](const QVector<qint16> &block) { session.feed(block.constData(), block.size()); });
        QCoreApplication::exec();
    }
    session.finish();
    return problems > 0 ? 1 : 0;
}

namespace {
const bool registered = Cli::add({
    QStringLiteral("monitor"),
    QStringLiteral("[--device NAME | --wav FILE | --raw --rate N] [--mode strict|combined] [--json] [--csv FILE] [--exec PROGRAM]"),
    QStringLiteral("Decodes SAME alerts from a weather radio's audio and logs them."),
    QStringLiteral(
        "Listens to a sound card (the default one without --device), a WAV recording, or raw signed 16-bit "
        "little-endian mono samples on standard input, and decodes every SAME header. Each new message prints its "
        "header exactly as decoded (ZCZC-...-) on a line of its own, or one JSON line with --json "
        "(docs/json/monitor.schema.json); each end of message prints NNNN. Repeats of the last ten messages are "
        "not reported again.\n\n"
        "Every message is added to the alert log with the source in the Receiver column (monitor:wav, "
        "monitor:stdin, monitor:NAME), so the required-test audit counts it, and its audio, from the first "
        "header to the end of message and at most two minutes, is saved as a WAV file beside the log.\n\n"
        "In strict mode a header counts only when two of its three bursts are the same (47 CFR 11.33). Combined "
        "mode adds the three bursts up bit by bit and so decodes signals about two dB weaker; it "
        "reports a header only when the chance that any bit of it is wrong is below one in a hundred."),
    {
        {QStringLiteral("--device"), QStringLiteral("NAME"), QStringLiteral("The sound input, by the name the system gives it; \"default\" for the default one."), false, QStringLiteral("none")},
        {QStringLiteral("--wav"), QStringLiteral("FILE"), QStringLiteral("A WAV recording (PCM or float, 8000 to 48000 samples/s; channels are mixed)."), false, QStringLiteral("file")},
        {QStringLiteral("--raw"), QString(), QStringLiteral("Raw signed 16-bit little-endian mono samples on standard input, for an SDR pipeline."), false, QString()},
        {QStringLiteral("--rate"), QStringLiteral("N"), QStringLiteral("Samples per second of --raw input, 8000 to 48000."), false, QStringLiteral("none")},
        {QStringLiteral("--mode"), QStringLiteral("strict|combined"), QStringLiteral("How the three bursts of a header are decided; strict by default."), false, QStringLiteral("strict|combined")},
        {QStringLiteral("--json"), QString(), QStringLiteral("One JSON object per line instead of the bare header."), false, QString()},
        {QStringLiteral("--csv"), QStringLiteral("FILE"), QStringLiteral("The alert log to add to; the editor's by default. The audio files go in the same folder."), false, QStringLiteral("file")},
        {QStringLiteral("--exec"), QStringLiteral("PROGRAM"), QStringLiteral("Runs PROGRAM for every new message, without a shell. Arguments: header, originator, event, locations (comma-separated), purge time (hh:mm), issue time (JJJHHMM), sender, mode, source. The same fields are in the environment as SAME_HEADER, SAME_ORIGINATOR, SAME_EVENT, SAME_EVENT_NAME, SAME_LOCATIONS, SAME_PURGE, SAME_ISSUED, SAME_SENDER, SAME_MODE, SAME_CONFIDENCE, SAME_SOURCE and SAME_HEARD."), false, QStringLiteral("file")},
    },
    {QStringLiteral("0\tthe input ended (a recording or standard input)"),
     QStringLiteral("1\tthe input could not be opened, or a log row or audio file could not be written"),
     QStringLiteral("2\ta usage error")},
    {QStringLiteral("nx4400c-cli monitor --device default --mode combined"),
     QStringLiteral("rtl_fm -f 162.55M -s 22050 - | nx4400c-cli monitor --raw --rate 22050 --json"),
     QStringLiteral("nx4400c-cli monitor --wav alert.wav --csv /var/log/nx4400c/alerts.csv --exec /usr/local/bin/notify-alert")},
    [](const QStringList &args) { return runMonitorCommand(args); },
    45,
});
} // namespace
