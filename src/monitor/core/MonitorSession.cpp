// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/core/MonitorSession.h"

#include "base/PathCheck.h"
#include "base/Platform.h"

#include "base/Clock.h"
#include "base/SafeWrite.h"
#include "coverage/core/EventCatalog.h"
#include "coverage/core/TransmitterFrequency.h"
#include "history/core/AlertLog.h"
#include "history/core/AlertRecord.h"
#include "monitor/core/CountyNames.h"
#include "testpackets/core/SameAudio.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace {

// Enough to reach back from the decision to the first burst of the longest
// header: three bursts of four seconds and their pauses, and the wait for a
// missing one.
constexpr int HistorySeconds = 20;

QByteArray wav16(const QVector<qint16> &samples, int rate)
{
    QByteArray out;
    const quint32 dataSize = quint32(samples.size() * 2);
    auto le32 = [&](quint32 v) { char b[4]; qToLittleEndian(v, b); out.append(b, 4); };
    auto le16 = [&](quint16 v) { char b[2]; qToLittleEndian(v, b); out.append(b, 2); };
    out.append("RIFF");
    le32(36 + dataSize);
    out.append("WAVEfmt ");
    le32(16);
    le16(1);
    le16(1);
    le32(quint32(rate));
    le32(quint32(rate) * 2);
    le16(2);
    le16(16);
    out.append("data");
    le32(dataSize);
    for (qint16 s : samples)
        le16(quint16(s));
    return out;
}

void appendSamples(QVector<qint16> &to, const qint16 *from, qsizetype n)
{
    const qsizetype at = to.size();
    to.resize(at + n);
    std::copy(from, from + n, to.begin() + at);
}

QDateTime localWithOffset(const QDateTime &t, const QTimeZone &zone)
{
    const int offset = zone.isValid() ? zone.offsetFromUtc(t) : t.toLocalTime().offsetFromUtc();
    return t.toOffsetFromUtc(offset);
}

QString isoUtc(const QDateTime &t)
{
    return t.isValid() ? t.toUTC().toString(Qt::ISODate) : QString();
}

QString issueText(const SameHeader &h)
{
    return QStringLiteral("%1%2%3").arg(h.issueDay, 3, 10, QLatin1Char('0')).arg(h.issueHour, 2, 10, QLatin1Char('0'))
        .arg(h.issueMinute, 2, 10, QLatin1Char('0'));
}

} // namespace

AlertLogEntry monitorLogEntry(const MonitorMessage &m)
{
    AlertLogEntry e;
    // The log's zone rule: local time with its offset, in the monitor's
    // zone (the computer's unless one was given).
    const QDateTime issued = m.issued();
    e.localTime = issued.isValid() ? localWithOffset(issued, m.zone) : m.heard;
    e.originator = m.report.header.originator;
    e.code = m.report.header.event;
    EventCatalog catalog;
    GetEventName(catalog, e.code, &e.name, &e.cls);
    e.length = m.report.header.purgeText();
    e.receiver = m.source;
    e.locations = m.report.header.locations;
    e.header = QString::fromLatin1(m.report.header.text);
    e.heard = m.heard;
    e.note = m.report.header.note;
    return e;
}

QString monitorZoneTime(const QDateTime &t, const QDateTime &near, const QTimeZone &zone)
{
    const QDateTime local = zone.isValid() ? t.toTimeZone(zone) : t.toLocalTime();
    const bool sameDay = near.isValid() && local.date() == (zone.isValid() ? near.toTimeZone(zone) : near.toLocalTime()).date();
    return local.toString(sameDay ? QStringLiteral("HH:mm t") : QStringLiteral("yyyy-MM-dd HH:mm t"));
}

QString monitorTextLine(const MonitorMessage &m)
{
    const SameHeader &h = m.report.header;
    const QString where = m.countyNames.isEmpty() ? h.locations.join(QStringLiteral(", "))
                                                  : m.countyNames.join(QStringLiteral("; "));
    QString line = QStringLiteral("%1 for %2").arg(m.eventName.isEmpty() ? h.event : m.eventName, where);
    const QDateTime issued = m.issued();
    if (issued.isValid())
        line += QStringLiteral(" until %1 (issued %2)").arg(monitorZoneTime(m.ends(), issued, m.zone), monitorZoneTime(issued, m.heard, m.zone));
    if (!h.sender.trimmed().isEmpty())
        line += QStringLiteral(" by ") + h.sender.trimmed();
    if (!h.note.isEmpty())
        line += QStringLiteral(" [malformed: %1]").arg(h.note);
    return line;
}

QByteArray monitorJsonLine(const MonitorMessage &m)
{
    const SameHeader &h = m.report.header;
    QJsonObject o;
    o.insert(QStringLiteral("schema"), QStringLiteral("nx4400c-monitor"));
    o.insert(QStringLiteral("version"), 2);
    o.insert(QStringLiteral("source"), m.source);
    o.insert(QStringLiteral("heard"), m.heard.toString(Qt::ISODate));
    o.insert(QStringLiteral("mode"), sameModeName(m.report.mode));
    if (m.frequencyHz > 0) {
        o.insert(QStringLiteral("frequencyHz"), double(m.frequencyHz));
        if (m.report.kind != SameReport::EndOfMessage)
            o.insert(QStringLiteral("transmitters"), QJsonArray::fromStringList(m.transmitters));
    }
    if (m.report.kind == SameReport::EndOfMessage) {
        o.insert(QStringLiteral("type"), QStringLiteral("end"));
    } else {
        o.insert(QStringLiteral("type"), QStringLiteral("header"));
        o.insert(QStringLiteral("header"), QString::fromLatin1(h.text));
        o.insert(QStringLiteral("originator"), h.originator);
        o.insert(QStringLiteral("event"), h.event);
        o.insert(QStringLiteral("eventName"), m.eventName);
        o.insert(QStringLiteral("locations"), QJsonArray::fromStringList(h.locations));
        o.insert(QStringLiteral("purgeMinutes"), h.purgeMinutes);
        o.insert(QStringLiteral("countyNames"), QJsonArray::fromStringList(m.countyNames));
        o.insert(QStringLiteral("issued"), issueText(h));
        // null when the header's issue day or time is out of range
        const QDateTime issued = m.issued();
        o.insert(QStringLiteral("issueTime"), issued.isValid() ? QJsonValue(isoUtc(issued)) : QJsonValue());
        o.insert(QStringLiteral("endTime"), issued.isValid() ? QJsonValue(isoUtc(m.ends())) : QJsonValue());
        if (!h.note.isEmpty())
            o.insert(QStringLiteral("note"), h.note);
        o.insert(QStringLiteral("sender"), h.sender);
        o.insert(QStringLiteral("confidence"), std::round(m.report.confidence * 1e4) / 1e4);
        o.insert(QStringLiteral("bursts"), m.report.bursts);
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QStringList monitorCommandArguments(const MonitorMessage &m)
{
    const SameHeader &h = m.report.header;
    return {QString::fromLatin1(h.text), h.originator, h.event, h.locations.join(QLatin1Char(',')),
            h.purgeText(), issueText(h), h.sender, sameModeName(m.report.mode), m.source};
}

QStringList monitorCommandEnvironment(const MonitorMessage &m)
{
    const SameHeader &h = m.report.header;
    return {QStringLiteral("SAME_HEADER=") + QString::fromLatin1(h.text),
            QStringLiteral("SAME_ORIGINATOR=") + h.originator,
            QStringLiteral("SAME_EVENT=") + h.event,
            QStringLiteral("SAME_EVENT_NAME=") + m.eventName,
            QStringLiteral("SAME_LOCATIONS=") + h.locations.join(QLatin1Char(',')),
            QStringLiteral("SAME_PURGE=") + h.purgeText(),
            QStringLiteral("SAME_ISSUED=") + issueText(h),
            QStringLiteral("SAME_SENDER=") + h.sender,
            QStringLiteral("SAME_MODE=") + sameModeName(m.report.mode),
            QStringLiteral("SAME_CONFIDENCE=") + QString::number(m.report.confidence, 'f', 4),
            QStringLiteral("SAME_SOURCE=") + m.source,
            QStringLiteral("SAME_HEARD=") + m.heard.toString(Qt::ISODate)};
}

MonitorSession::MonitorSession(const Options &options, const Clock &clock, QObject *parent)
    : QObject(parent), m_options(options), m_clock(clock), m_decoder(options.sampleRate, options.mode),
      m_started(clock.now())
{
    // Log rows carry the offset from UTC they were heard with, in the
    // monitor's zone.
    m_started = m_options.zone.isValid() ? localWithOffset(m_started, m_options.zone)
                                         : m_started.toOffsetFromUtc(m_started.offsetFromUtc());
}

QDateTime MonitorSession::timeOf(qint64 sample) const
{
    const qint64 ms = sample * 1000 / m_decoder.sampleRate();
    if (m_options.audioStart.isValid())
        return localWithOffset(m_options.audioStart.addMSecs(ms), m_options.zone);
    return m_options.realTime ? m_started.addMSecs(ms) : m_started;
}

bool MonitorSession::logAccepts(const QString &logFile, QString *why)
{
    return logFile.isEmpty() || CheckAlertLogTakesMonitorRows(logFile, why);
}

bool MonitorSession::canWrite(const QString &logFile, QString *why)
{
    if (logFile.isEmpty())
        return true;
    if (!CheckAppendableFile(logFile, why))
        return false;
    // A file of our own, written and removed: this finds a read-only or
    // full disk as well as a folder we may not write to (also as root, whom
    // permissions do not stop).
    const QString folder = QFileInfo(logFile).absolutePath();
    const QString probe = QDir(folder).filePath(
        QStringLiteral(".nx4400c-monitor-probe-%1").arg(QCoreApplication::applicationPid()));
    Platform::NativeFile f;
    bool ok = f.open(probe, Platform::NativeFile::Mode::CreateAppend);
    int error = f.error();
    if (ok) {
        const QByteArray block(4096, '\0');
        ok = f.write(block.constData(), block.size()) == block.size() && f.sync();
        error = f.error();
        f.close();
        QFile::remove(probe);
    }
    if (!ok && why)
        *why = QStringLiteral("the alert log and audio files cannot be written in %1 (%2)")
                   .arg(QDir::toNativeSeparators(folder), Platform::ErrorText(error));
    return ok;
}

QString MonitorSession::audioFileName(const QString &logFile, const QString &source, const QDateTime &heard,
                                      const QString &event)
{
    const QFileInfo log(logFile);
    QString tag = source;
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._]+"));
    tag.replace(unsafe, QStringLiteral("_"));
    const QString stem = QStringLiteral("%1-%2-%3-%4")
                             .arg(log.completeBaseName(), tag, heard.toString(QStringLiteral("yyyyMMdd'T'HHmmss")), event);
    return log.absoluteDir().filePath(stem + QStringLiteral(".wav"));
}

void MonitorSession::feed(const qint16 *samples, qsizetype count)
{
    if (count <= 0)
        return;
    int peak = 0;
    for (qsizetype i = 0; i < count; ++i)
        peak = std::max(peak, std::abs(int(samples[i])));
    m_level = peak / 32768.0;

    const int rate = m_decoder.sampleRate();
    // Decode in pieces, so that a report is handled with the audio of its
    // own moment at hand however large the chunk is.
    const qsizetype piece = rate / 10;
    for (qsizetype at = 0; at < count; at += piece) {
        const qsizetype n = std::min(piece, count - at);
        appendSamples(m_history, samples + at, n);
        if (m_recording) {
            const qsizetype room = qsizetype(MaxAudioSeconds) * rate - m_recordingAudio.size();
            appendSamples(m_recordingAudio, samples + at, std::min(n, std::max<qsizetype>(room, 0)));
            if (m_recordingAudio.size() >= qsizetype(MaxAudioSeconds) * rate)
                closeRecording();
        }
        m_decoder.feed(samples + at, n);
        const QList<SameReport> reports = m_decoder.takeReports();
        for (const SameReport &r : reports)
            handle(r);
        const qsizetype keep = qsizetype(HistorySeconds) * rate;
        if (m_history.size() > 2 * keep) {
            const qsizetype drop = m_history.size() - keep;
            m_history.remove(0, drop);
            m_historyStart += drop;
        }
    }
}

void MonitorSession::finish()
{
    m_decoder.finish();
    const QList<SameReport> reports = m_decoder.takeReports();
    for (const SameReport &r : reports)
        handle(r);
    closeRecording();
}

void MonitorSession::handle(const SameReport &r)
{
    if (r.kind == SameReport::EndOfMessage) {
        if (m_recording) {
            // Keep the NNNN bursts that have come so far in the recording.
            closeRecording();
        }
        emit endOfMessage(timeOf(r.startSample));
        return;
    }
    closeRecording();   // a new header ends the last message's recording

    MonitorMessage m;
    m.report = r;
    m.source = m_options.source;
    m.heard = timeOf(r.startSample);
    m.zone = m_options.zone;
    EventClass cls;
    EventCatalog catalog;
    GetEventName(catalog, r.header.event, &m.eventName, &cls);
    if (m_options.names) {
        for (const QString &code : r.header.locations)
            m.countyNames << m_options.names->name(code);
    }
    m.frequencyHz = m_options.frequencyHz;
    if (m.frequencyHz > 0 && m_options.transmitters)
        m.transmitters = m_options.transmitters->transmitters(QString::number(double(m.frequencyHz) / 1e6, 'f', 3),
                                                              r.header.locations);
    m_messages.append(m);

    if (!m_options.logFile.isEmpty()) {
        // Into the alert database beside the log; a test recording is kept
        // there marked as a test, never counted.
        const AlertLogEntry row = monitorLogEntry(m);
        QString why;
        const QString source = IsMonitorName(row.receiver) ? row.receiver : MonitorNamePrefix + row.receiver;
        if (!AlertRecord::logAlerts(m_options.logFile, source, ReceiverKind::Monitor, {row}, m_options.test, &why,
                                    nullptr, m.frequencyHz, m.transmitters.join(QStringLiteral("; ")),
                                    m_options.zone.isValid() ? QString::fromUtf8(m_options.zone.id()) : QString()))
            emit problem(why);
    }
    if (m_options.saveAudio && !m_options.logFile.isEmpty()) {
        m_recording = true;
        m_recordingMessage = int(m_messages.size()) - 1;
        const qsizetype from = std::max<qint64>(0, r.startSample - m_historyStart);
        m_recordingAudio = m_history.mid(from);
    }
    emit messageDecoded(m);
}

void MonitorSession::closeRecording()
{
    if (!m_recording)
        return;
    m_recording = false;
    if (m_recordingMessage < 0 || m_recordingMessage >= m_messages.size())
        return;
    MonitorMessage &m = m_messages[m_recordingMessage];
    m_recordingAudio.resize(std::min<qsizetype>(m_recordingAudio.size(), qsizetype(MaxAudioSeconds) * m_decoder.sampleRate()));
    // Two monitors that share a folder, or one header heard twice in a
    // second, never overwrite a recording: the name is claimed by creating
    // the file, and the next free "-N" is taken when it exists.
    const QString base = audioFileName(m_options.logFile, m.source, m.heard, m.report.header.event);
    QString path;
    QString why;
    for (int n = 1; n < 1000 && path.isEmpty(); ++n) {
        const QString candidate = n == 1 ? base : base.chopped(4) + QStringLiteral("-%1.wav").arg(n);
        QFile claim(candidate);
        if (claim.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            path = candidate;
        else if (!claim.exists())
            why = claim.errorString();
    }
    if (path.isEmpty()) {
        emit problem(QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(base),
                                                               why.isEmpty() ? QStringLiteral("every name is taken") : why));
        m_recordingAudio.clear();
        return;
    }
    if (writeFileAtomically(path, wav16(m_recordingAudio, m_decoder.sampleRate()), &why)) {
        m.audioFile = path;
        emit audioSaved(path);
    } else {
        QFile::remove(path);   // the empty file that claimed the name
        emit problem(QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), why));
    }
    m_recordingAudio.clear();
}
