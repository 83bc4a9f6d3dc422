// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/core/CountyCoverage.h"

#include "coverage/core/StateDatabase.h"

void CountyCoverage::load(const QString &statesFolder)
{
    *this = CountyCoverage();
    QStringList lines;
    for (int state = 0; state < StateDatabase::StateCount; ++state) {
        const QString name = StateDatabase::GetStateFileName(state);
        if (StateDatabase::readStateLines(statesFolder + QLatin1Char('/') + name, &lines)
            != StateDatabase::ReadResult::Ok) {
            unreadable << name;
            continue;
        }
        for (const QString &raw : std::as_const(lines)) {
            if (!StateDatabase::usableLine(raw))
                continue;
            const QString line = StateDatabase::normalisedLine(raw);
            const QString code = line.left(6);
            const QString county = code.mid(1);
            if (!m_entries.contains(code))
                m_entries.insert(code, line.left(StateDatabase::CountyPartLength) + StateDatabase::GetStateName(line));
            if (StateDatabase::hasNoCoverage(raw))
                continue;
            const QString field = StateDatabase::transmitterField(line);
            const QString key = field.trimmed();
            if (key.isEmpty())
                continue;
            m_byTransmitter[key].insert(county);
            QStringList &covering = m_byCounty[county];
            if (!covering.contains(field))
                covering << field;
        }
    }
}

QSet<QString> CountyCoverage::countiesOf(const QString &transmitter) const
{
    return m_byTransmitter.value(transmitter.trimmed());
}
