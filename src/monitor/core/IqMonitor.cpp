// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/core/IqMonitor.h"

IqMonitor::IqMonitor(const Options &options, const Clock &clock, QObject *parent)
    : QObject(parent), m_options(options), m_clock(clock), m_reader(options.format)
{
}

IqMonitor::~IqMonitor() = default;

bool IqMonitor::start(QString *why)
{
    m_sessions.clear();
    if (!m_channeliser.setup(m_options.band, why))
        return false;
    const QVector<qint64> list = m_channeliser.channels();
    for (qint64 hz : list) {
        MonitorSession::Options so = m_options.session;
        so.sampleRate = m_channeliser.audioRate();
        so.source = m_options.source + QLatin1Char(':') + WeatherBand::channelName(hz);
        so.frequencyHz = hz;
        so.transmitters = m_options.transmitters;
        auto session = std::make_unique<MonitorSession>(so, m_clock);
        connect(session.get(), &MonitorSession::messageDecoded, this, &IqMonitor::messageDecoded);
        connect(session.get(), &MonitorSession::endOfMessage, this,
                [this, hz](const QDateTime &heard) { emit endOfMessage(heard, hz); });
        connect(session.get(), &MonitorSession::audioSaved, this, &IqMonitor::audioSaved);
        connect(session.get(), &MonitorSession::problem, this, &IqMonitor::problem);
        m_sessions.push_back(std::move(session));
    }
    m_channeliser.setSink([this](int channel, const qint16 *samples, qsizetype count) {
        m_sessions[size_t(channel)]->feed(samples, count);
    });
    return true;
}

void IqMonitor::feed(const char *bytes, qsizetype count)
{
    m_iq.clear();
    m_reader.push(bytes, count, &m_iq);
    const qsizetype n = qsizetype(m_iq.size() / 2);
    m_samples += n;
    m_channeliser.push(m_iq.data(), n);
}

void IqMonitor::finish()
{
    for (auto &s : m_sessions)
        s->finish();
}

double IqMonitor::channelLevel(int channel) const
{
    const MonitorSession *s = session(channel);
    return s ? s->level() : 0.0;
}

MonitorSession *IqMonitor::session(int channel) const
{
    return channel >= 0 && size_t(channel) < m_sessions.size() ? m_sessions[size_t(channel)].get() : nullptr;
}
