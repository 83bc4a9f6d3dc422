// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/ReceiverCrossCheck.h"

#include "history/core/RequiredTestAudit.h"

#include <QTextStream>

#include <cstdlib>

ReceiverProgram ReceiverProgram::fromSetup(const QStringList &fipEntries, const QStringList &eventSelection)
{
    ReceiverProgram p;
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
    return result;
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
    s << result.rows.size() << " heard, " << programmed << " for this receiver, " << result.missed()
      << " not recorded\n";
    return text;
}

void CrossCheckCollector::add(const AlertLogEntry &e)
{
    if (IsMonitorSource(e.receiver)) {
        const QDate d = e.localTime.date();
        if ((!m_from.isValid() || d >= m_from) && (!m_to.isValid() || d <= m_to))
            m_heard.append({e, e.locations});
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
    return "{\"schema\":\"nx4400c-log-crosscheck\",\"version\":1,\"receiver\":" + JsonString(receiver)
        + ",\"from\":" + date(from) + ",\"to\":" + date(to) + ",\"heard\":" + QByteArray::number(result.rows.size())
        + ",\"programmed\":" + QByteArray::number(programmed) + ",\"missed\":" + QByteArray::number(result.missed())
        + ",\"missing\":[" + missing + "]}\n";
}
