// SPDX-License-Identifier: GPL-3.0-or-later
// nx4400c-cli monitor --iq / --rtl-sdr: the whole weather band from a
// software radio, every channel decoded at once; each message says which
// channel it came on and which transmitters may have sent it.
#include "app/cli/MonitorIqCommand.h"

#include "base/Clock.h"
#include "base/Platform.h"
#include "coverage/core/CoverageLocation.h"
#include "coverage/core/TransmitterFrequency.h"
#include "monitor/core/CountyNames.h"
#include "monitor/core/IqMonitor.h"
#include "monitor/core/MonitorExec.h"
#include "monitor/core/RtlSdrInput.h"

#include <QTimeZone>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

#include <cerrno>
#include <cstdio>
#include <cstring>

int parseMonitorIqOption(const QStringList &args, int &i, MonitorIqArgs &iq)
{
    QString a = args.at(i);
    QString value;
    bool inline_ = false;
    const int eq = a.indexOf(QLatin1Char('='));
    if (a.startsWith(QLatin1String("--")) && eq > 0) {
        value = a.mid(eq + 1);
        a = a.left(eq);
        inline_ = true;
    }
    static const QStringList names = {QStringLiteral("--iq"),       QStringLiteral("--iq-format"), QStringLiteral("--center"),
                                      QStringLiteral("--channels"), QStringLiteral("--ppm"),       QStringLiteral("--rtl-sdr"),
                                      QStringLiteral("--gain")};
    if (!names.contains(a))
        return 0;
    auto take = [&]() -> bool {
        if (inline_)
            return true;
        if (i + 1 >= args.size())
            return false;
        value = args.at(++i);
        return true;
    };
    auto fail = [&](const QString &why) {
        iq.error = why;
        return -1;
    };
    if (a != QLatin1String("--iq") && a != QLatin1String("--rtl-sdr") && iq.firstOption.isEmpty())
        iq.firstOption = a;
    if (a == QLatin1String("--iq")) {
        if (!take() || value.isEmpty())
            return fail(QStringLiteral("--iq needs a file, or - for standard input"));
        iq.file = value;
        iq.iqGiven = true;
    } else if (a == QLatin1String("--rtl-sdr")) {
        iq.rtlSdr = true;
        // The index is optional: a following number is it.
        static const QRegularExpression number(QStringLiteral("^[0-9]{1,3}$"));
        if (!inline_ && i + 1 < args.size() && number.match(args.at(i + 1)).hasMatch())
            value = args.at(++i), inline_ = true;
        if (inline_) {
            bool ok = false;
            iq.rtlIndex = value.toInt(&ok);
            if (!ok || iq.rtlIndex < 0 || iq.rtlIndex > 255)
                return fail(QStringLiteral("--rtl-sdr takes a device number from 0"));
        }
    } else if (a == QLatin1String("--iq-format")) {
        if (!take() || !iqFormatFromName(value, &iq.format))
            return fail(QStringLiteral("--iq-format is cu8, cs16 or cf32"));
        iq.formatGiven = true;
    } else if (a == QLatin1String("--center")) {
        if (!take() || value.isEmpty())
            return fail(QStringLiteral("--center needs a frequency, such as 162.475M"));
        iq.centreText = value;
    } else if (a == QLatin1String("--channels")) {
        QString why;
        if (!take() || !WeatherBand::parseChannelList(value, &iq.channels, &why))
            return fail(QStringLiteral("--channels: %1").arg(why.isEmpty() ? QStringLiteral("needs a list such as 162.400,162.550") : why));
    } else if (a == QLatin1String("--ppm")) {
        bool ok = false;
        if (!take() || (iq.ppm = value.toDouble(&ok), !ok) || !std::isfinite(iq.ppm) || std::abs(iq.ppm) > 1000)
            return fail(QStringLiteral("--ppm is a number from -1000 to 1000"));
    } else if (a == QLatin1String("--gain")) {
        bool ok = false;
        if (!take() || (iq.gain = value.toDouble(&ok), !ok) || !std::isfinite(iq.gain) || iq.gain < 0 || iq.gain > 60)
            return fail(QStringLiteral("--gain is a number of dB from 0 to 60"));
    }
    return 1;
}

QString finishMonitorIqArgs(MonitorIqArgs &iq)
{
    if (iq.iqGiven && iq.rtlSdr)
        return QStringLiteral("choose one of --iq and --rtl-sdr");
    if (iq.iqGiven && iq.rateText.isEmpty())
        return QStringLiteral("--iq needs --rate (the radio's samples per second)");
    if (iq.iqGiven && iq.centreText.isEmpty())
        return QStringLiteral("--iq needs --center (the frequency the radio was tuned to, such as 162.475M)");
    if (iq.rtlSdr && iq.formatGiven && iq.format != IqFormat::Cu8)
        return QStringLiteral("an RTL-SDR dongle gives cu8 samples; leave out --iq-format");
    if (iq.iqGiven && !std::isnan(iq.gain))
        return QStringLiteral("--gain goes with --rtl-sdr");
    if (iq.rateText.isEmpty()) {
        iq.rate = 2400000;
    } else {
        bool ok = false;
        iq.rate = iq.rateText.toDouble(&ok);
        if (!ok || !std::isfinite(iq.rate) || iq.rate < IqChanneliser::MinRate || iq.rate > IqChanneliser::MaxRate)
            return QStringLiteral("--rate of IQ input is a number of samples per second from %1 to %2")
                .arg(IqChanneliser::MinRate, 0, 'f', 0).arg(IqChanneliser::MaxRate, 0, 'f', 0);
    }
    if (iq.centreText.isEmpty())
        iq.centre = 162475000;
    else if (!WeatherBand::parseFrequency(iq.centreText, &iq.centre))
        return QStringLiteral("--center is a frequency such as 162.475M or 162475000, not \"%1\"").arg(iq.centreText);
    return QString();
}

namespace {

// "KIH42 Covington 162.550", several joined by ", ", or the bare channel
// when the listing names none.
QString heardOn(const MonitorMessage &m)
{
    return m.transmitters.isEmpty() ? WeatherBand::channelName(m.frequencyHz) : m.transmitters.join(QStringLiteral(", "));
}

} // namespace

int runMonitorIq(const MonitorIqArgs &iq, const MonitorIqOutput &o)
{
    QTextStream err(stderr);
    QTextStream out(stdout);

    QFile file;
    RtlSdrInput dongle;
    QString source;
    if (iq.rtlSdr) {
        RtlSdrInput::Options ro;
        ro.index = iq.rtlIndex;
        ro.sampleRate = iq.rate;
        ro.centreHz = iq.centre;
        ro.ppm = int(std::lround(iq.ppm));
        ro.gainDb = iq.gain;
        QString why;
        if (!dongle.open(ro, &why)) {
            err << "monitor: " << why << '\n';
            return 1;
        }
        source = QStringLiteral("monitor:rtl-sdr:%1").arg(iq.rtlIndex);
    } else if (iq.file == QLatin1String("-")) {
        source = QStringLiteral("monitor:iq");
    } else {
        file.setFileName(iq.file);
        if (!file.open(QIODevice::ReadOnly)) {
            err << "monitor: cannot read " << QDir::toNativeSeparators(iq.file) << ": " << file.errorString() << '\n';
            return 1;
        }
        source = QStringLiteral("monitor:iq");
    }

    const QString states = CoverageLocation::activeFolder(
        CoverageLocation::shippedFolder(QCoreApplication::applicationDirPath()), QString());
    CountyNames names(states, {});
    TransmitterFrequency transmitters(states);
    SystemClock clock;
    IqMonitor::Options mo;
    mo.format = iq.format;
    mo.band.sampleRate = iq.rate;
    mo.band.centreHz = iq.centre;
    mo.band.channels = iq.channels;
    // A dongle corrects its own tuning; a recording's error is corrected here.
    mo.band.ppm = iq.rtlSdr ? 0 : iq.ppm;
    mo.session.mode = o.mode;
    mo.session.logFile = o.log;
    if (!o.zone.isEmpty())
        mo.session.zone = QTimeZone(o.zone.toUtf8());
    mo.session.names = &names;
    // A file is read faster than it plays: it is heard at the start of the
    // run. A pipe or a dongle is live.
    mo.session.realTime = !file.isOpen();
    mo.source = source;
    mo.transmitters = &transmitters;
    IqMonitor monitor(mo, clock);
    QString why;
    if (!monitor.start(&why)) {
        err << "monitor: " << why << '\n';
        return 1;
    }
    QStringList heard;
    for (qint64 hz : monitor.channels())
        heard << WeatherBand::channelName(hz);
    err << "monitor: listening to " << heard.join(QStringLiteral(", ")) << " MHz (audio at " << monitor.audioRate()
        << " samples/s)\n";
    err.flush();

    int problems = 0;
    MonitorExec exec({o.exec, o.execTimeout * 1000, 16});
    QObject::connect(&exec, &MonitorExec::problem, [&](const QString &text) {
        err << "monitor: " << text << '\n';
        err.flush();
    });
    QObject::connect(&monitor, &IqMonitor::messageDecoded, [&](const MonitorMessage &m) {
        if (o.json)
            out << monitorJsonLine(m) << '\n';
        else if (o.text)
            out << monitorTextLine(m) << "; heard on " << WeatherBand::channelName(m.frequencyHz) << " MHz"
                << (m.transmitters.isEmpty() ? QString() : QStringLiteral(" from ") + m.transmitters.join(QStringLiteral(", ")))
                << '\n';
        else
            out << m.report.header.text << ' ' << heardOn(m) << '\n';
        out.flush();
        if (!m.report.header.note.isEmpty())
            err << "monitor: " << m.report.header.text << " is malformed: " << m.report.header.note
                << "; it was heard alike in its bursts and is logged with that note\n";
        if (!o.exec.isEmpty())
            exec.run(m);
    });
    QObject::connect(&monitor, &IqMonitor::endOfMessage, [&](const QDateTime &heardAt, qint64 hz) {
        if (o.json) {
            MonitorMessage m;
            m.report.kind = SameReport::EndOfMessage;
            m.report.mode = o.mode;
            m.source = source + QLatin1Char(':') + WeatherBand::channelName(hz);
            m.heard = heardAt;
            m.frequencyHz = hz;
            out << monitorJsonLine(m) << '\n';
        } else {
            out << "NNNN " << WeatherBand::channelName(hz) << '\n';
        }
        out.flush();
    });
    QObject::connect(&monitor, &IqMonitor::problem, [&](const QString &text) {
        err << "monitor: " << text << '\n';
        err.flush();
        ++problems;
    });

    int status = 0;
    if (iq.rtlSdr) {
        QByteArray buffer;
        while (dongle.read(&buffer, &why)) {
            monitor.feed(buffer.constData(), buffer.size());
            QCoreApplication::processEvents();
        }
        err << "monitor: " << why << '\n';
        status = 1;
    } else {
        // A block at a time (about 0.1 s at 2.4 MS/s in cu8): memory stays
        // flat for a stream of any length.
        QByteArray buffer(512 * 1024, Qt::Uninitialized);
        if (!file.isOpen())
            Platform::BinaryStandardInput();
        for (;;) {
            const qint64 n = file.isOpen() ? file.read(buffer.data(), buffer.size())
                                           : qint64(std::fread(buffer.data(), 1, size_t(buffer.size()), stdin));
            if (n < 0 || (!file.isOpen() && n == 0 && std::ferror(stdin))) {
                err << "monitor: reading " << (file.isOpen() ? QDir::toNativeSeparators(iq.file) : QStringLiteral("standard input"))
                    << " failed: " << (file.isOpen() ? file.errorString() : QString::fromLocal8Bit(std::strerror(errno))) << '\n';
                status = 1;
                break;
            }
            if (n == 0)
                break;
            monitor.feed(buffer.constData(), qsizetype(n));
            QCoreApplication::processEvents();   // the programs that ended, the time-out
        }
        if (monitor.hasPartialSample())
            err << "monitor: the input ended in the middle of a sample\n";
    }
    monitor.finish();
    exec.finish();
    if (exec.dropped() > 0)
        err << "monitor: " << exec.dropped() << " message(s) were not passed to " << QDir::toNativeSeparators(o.exec)
            << ": it was busy and the queue was full\n";
    return problems > 0 || exec.startFailed() || status != 0 ? 1 : 0;
}
