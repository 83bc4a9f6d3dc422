// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QSet>
#include <QString>

// The weather-radio channels on which the monitor has heard a message
// since it started ("162.550"), for the county map to mark the
// transmitters on them. The monitor sets them; the map listens.
class HeardChannels : public QObject
{
    Q_OBJECT
public:
    static HeardChannels &instance();

    QSet<QString> frequencies() const { return m_frequencies; }
    bool heard(const QString &frequency) const { return m_frequencies.contains(frequency.trimmed()); }
    void markHeard(const QString &frequency);
    void clear();

signals:
    void changed();

private:
    QSet<QString> m_frequencies;
};
