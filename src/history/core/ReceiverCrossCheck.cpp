// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/ReceiverCrossCheck.h"

#include "history/core/RequiredTestAudit.h"

#include <QRegularExpression>
#include <QTextStream>

#include <algorithm>

#include <cstdlib>

ReceiverProgram ReceiverProgram::fromSetup(const QStringList &fipEntries, const QStringList &eventSelection,
                                           const QString &transmitter)
{
    ReceiverProgram p;
    p.transmitter = transmitter.simplified();
    for (const QString &line : fipEntries) {
        if (!line.startsWith(QLatin1String("X ")))
            continue;
        const QString code = line.mid(2, 6);
        bool digits = code.size() == 6;
        for (QChar c : code)
            digits = digits && c.isDigit();
        if (digits)
            p.locations.append(code);
    }
    for (const QString &e : eventSelection)
        if (!e.trimmed().isEmpty())
            p.events.append(e.trimmed());
    return p;
}

bool ReceiverProgram::coversLocation(const QString &loc) const
{
    if (loc.size() != 6)
        return false;
    for (const QString &mine : locations) {
        if (mine.mid(1, 2) != loc.mid(1, 2))
            continue;                                   // another state
        if (loc.mid(3) == QLatin1String("000"))
            return true;                                // the whole state
        if (mine.mid(3) != loc.mid(3))
            continue;
        // Part 0 is the whole county; a receiver set for the whole county
        // takes every part, one set for a part takes that part and the whole.
        if (loc.at(0) == QLatin1Char('0') || mine.at(0) == QLatin1Char('0') || mine.at(0) == loc.at(0))
            return true;
    }
    return false;
}

bool ReceiverProgram::takesEvent(const QString &event) const
{
    return events.contains(event);
}

bool ReceiverProgram::alertsFor(const QString &event, const QStringList &headerLocations) const
{
    if (!takesEvent(event))
        return false;
    for (const QString &loc : headerLocations)
        if (coversLocation(loc))
            return true;
    return false;
}

namespace {

// A transmitter as its call sign, site and frequency ("162.550").
struct Station {
    QString call, site, frequency;
    bool valid() const { return !frequency.isEmpty() && (!call.isEmpty() || !site.isEmpty()); }
    QString label() const
    {
        QStringList words;
        for (const QString &w : {call, site, frequency})
            if (!w.isEmpty())
                words << w;
        return words.join(QLatin1Char(' '));
    }
};

bool isFrequencyWord(const QString &w)
{
    static const QRegularExpression mhz(QStringLiteral("^1[0-9]{2}\\.[0-9]{2,3}$"));
    return mhz.match(w).hasMatch();
}

bool isCallSign(const QString &w)
{
    static const QRegularExpression call(QStringLiteral("^[A-Z]{1,4}[0-9]{1,3}[A-Z0-9]*$"));
    return call.match(w).hasMatch();
}

QStringList words(const QString &text)
{
    return text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// A transmitter as the setup's field writes it, site first ("Covington
// KIH42  162.550", or a site and frequency alone, "Miami  162.475"), or as
// the monitor's label does, call sign first ("KIH42 Covington 162.550").
Station station(const QString &text, bool callFirst)
{
    QStringList w = words(text);
    Station s;
    if (w.size() < 2 || !isFrequencyWord(w.last()))
        return s;
    s.frequency = w.takeLast();
    const qsizetype at = callFirst ? 0 : w.size() - 1;
    if (w.size() >= (callFirst ? 1 : 2) && isCallSign(w.at(at)))
        s.call = w.takeAt(at);
    s.site = w.join(QLatin1Char(' '));
    return s;
}

bool sameStation(const Station &a, const Station &b)
{
    if (!a.call.isEmpty() && !b.call.isEmpty())
        return a.call.compare(b.call, Qt::CaseInsensitive) == 0;
    return !a.site.isEmpty() && a.site.compare(b.site, Qt::CaseInsensitive) == 0;
}

QList<TransmitterWarning> transmitterWarnings(const QList<HeardAlert> &heard, const QString &programmedField)
{
    QList<TransmitterWarning> out;
    const Station mine = station(programmedField, false);
    if (!mine.valid())
        return out;
    for (const HeardAlert &h : heard) {
        for (const QString &label : h.transmitters) {
            const Station s = station(label, true);
            if (!s.valid() || !sameStation(mine, s) || s.frequency == mine.frequency)
                continue;
            auto it = std::find_if(out.begin(), out.end(), [&](const TransmitterWarning &w) { return w.heard == s.label(); });
            if (it == out.end())
                it = out.insert(out.end(), {mine.label(), s.label(), 0, QDateTime()});
            ++it->alerts;
            if (!it->last.isValid() || h.entry.localTime > it->last)
                it->last = h.entry.localTime;
        }
    }
    return out;
}

QString warningText(const TransmitterWarning &w)
{
    QStringList heard = words(w.heard);
    const QString frequency = heard.takeLast();
    return QStringLiteral("the receiver is tuned to %1, but the monitor heard %2 on %3 MHz (%4 %5, the last issued %6)")
        .arg(w.programmed, heard.join(QLatin1Char(' ')), frequency)
        .arg(w.alerts)
        .arg(w.alerts == 1 ? QStringLiteral("alert") : QStringLiteral("alerts"))
        .arg(w.last.toString(Qt::ISODate));
}

} // namespace

int CrossCheckResult::missed() const
{
    int n = 0;
    for (const CrossCheckRow &r : rows)
        n += r.programmed && !r.recorded;
    return n;
}

CrossCheckResult RunReceiverCrossCheck(const QList<HeardAlert> &heard, const QList<AlertLogEntry> &recorded,
                                       const ReceiverProgram &program, int slackMinutes)
{
    CrossCheckResult result;
    QList<bool> used(recorded.size(), false);
    for (const HeardAlert &h : heard) {
        CrossCheckRow row;
        row.heard = h;
        row.countiesKnown = !h.locations.isEmpty();
        row.programmed = row.countiesKnown ? program.alertsFor(h.entry.code, h.locations)
                                           : program.takesEvent(h.entry.code);
        for (qsizetype i = 0; i < recorded.size(); ++i) {
            const AlertLogEntry &r = recorded.at(i);
            if (used.at(i) || r.code != h.entry.code || r.originator != h.entry.originator)
                continue;
            const QDateTime heardAt = h.entry.heard.isValid() ? h.entry.heard : h.entry.localTime;
            const qint64 apart = std::llabs(r.localTime.secsTo(heardAt));
            if (apart <= qint64(slackMinutes) * 60) {
                used[i] = true;
                row.recorded = true;
                break;
            }
        }
        result.rows.append(row);
    }
    result.transmitterWarnings = transmitterWarnings(heard, program.transmitter);
    return result;
}

QStringList TransmitterWarningTexts(const CrossCheckResult &result)
{
    QStringList out;
    for (const TransmitterWarning &w : result.transmitterWarnings)
        out << warningText(w);
    return out;
}

QString CrossCheckText(const CrossCheckResult &result)
{
    QString text;
    QTextStream s(&text);
    int programmed = 0;
    for (const CrossCheckRow &r : result.rows) {
        programmed += r.programmed;
        if (!r.programmed || r.recorded)
            continue;
        s << "heard but not recorded: " << r.heard.entry.localTime.toString(Qt::ISODate) << ' '
          << r.heard.entry.originator << ' ' << r.heard.entry.code << " (" << r.heard.entry.name << ')';
        if (!r.heard.entry.receiver.isEmpty())
            s << " by " << r.heard.entry.receiver;
        if (!r.countiesKnown)
            s << ", counties not known";
        s << '\n';
    }
    for (const QString &w : TransmitterWarningTexts(result))
        s << "warning: " << w << '\n';
    s << result.rows.size() << " heard, " << programmed << " for this receiver, " << result.missed()
      << " not recorded\n";
    return text;
}

void CrossCheckCollector::add(const AlertLogEntry &e, qint64 frequencyHz, const QString &transmitters)
{
    if (IsMonitorSource(e.receiver)) {
        const QDate d = e.localTime.date();
        if ((!m_from.isValid() || d >= m_from) && (!m_to.isValid() || d <= m_to))
            m_heard.append({e, e.locations, frequencyHz,
                            transmitters.split(QStringLiteral("; "), Qt::SkipEmptyParts)});
        return;
    }
    if (!m_receivers.contains(e.receiver))
        m_receivers << e.receiver;
    if (e.receiver == m_receiver)
        m_recorded.append(e);
}

QByteArray CrossCheckJson(const CrossCheckResult &result, const QString &receiver, const QDate &from, const QDate &to)
{
    auto date = [](const QDate &d) { return d.isValid() ? JsonString(d.toString(Qt::ISODate)) : QByteArray("null"); };
    auto time = [](const QDateTime &t) { return t.isValid() ? JsonString(t.toString(Qt::ISODate)) : QByteArray("null"); };
    int programmed = 0;
    QByteArray missing;
    for (const CrossCheckRow &r : result.rows) {
        programmed += r.programmed;
        if (!r.programmed || r.recorded)
            continue;
        const AlertLogEntry &e = r.heard.entry;
        QByteArray locations;
        for (const QString &l : r.heard.locations)
            locations += (locations.isEmpty() ? "" : ",") + JsonString(l);
        missing += QByteArray(missing.isEmpty() ? "" : ",") + "{\"issueTime\":" + time(e.localTime)
            + ",\"heard\":" + time(e.heard) + ",\"source\":" + JsonString(e.receiver) + ",\"originator\":"
            + JsonString(e.originator) + ",\"eventCode\":" + JsonString(e.code) + ",\"eventName\":"
            + JsonString(e.name) + ",\"locations\":[" + locations + "],\"countiesKnown\":"
            + (r.countiesKnown ? "true" : "false") + ",\"header\":" + JsonString(e.header) + '}';
    }
    QByteArray warnings;
    for (const TransmitterWarning &w : result.transmitterWarnings)
        warnings += QByteArray(warnings.isEmpty() ? "" : ",") + "{\"programmed\":" + JsonString(w.programmed)
            + ",\"heard\":" + JsonString(w.heard) + ",\"alerts\":" + QByteArray::number(w.alerts)
            + ",\"lastIssueTime\":" + time(w.last) + ",\"text\":" + JsonString(warningText(w)) + '}';
    return "{\"schema\":\"nx4400c-log-crosscheck\",\"version\":1,\"receiver\":" + JsonString(receiver)
        + ",\"from\":" + date(from) + ",\"to\":" + date(to) + ",\"heard\":" + QByteArray::number(result.rows.size())
        + ",\"programmed\":" + QByteArray::number(programmed) + ",\"missed\":" + QByteArray::number(result.missed())
        + ",\"missing\":[" + missing + "],\"transmitterWarnings\":[" + warnings + "]}\n";
}
