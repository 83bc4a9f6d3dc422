// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/core/HeardChannels.h"

HeardChannels &HeardChannels::instance()
{
    static HeardChannels channels;
    return channels;
}

void HeardChannels::markHeard(const QString &frequency)
{
    const QString f = frequency.trimmed();
    if (f.isEmpty() || m_frequencies.contains(f))
        return;
    m_frequencies.insert(f);
    emit changed();
}

void HeardChannels::clear()
{
    if (m_frequencies.isEmpty())
        return;
    m_frequencies.clear();
    emit changed();
}
