// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppContext.h"

#include "link/core/LinkSession.h"

AppContext::AppContext() = default;

AppContext::~AppContext() = default;

LinkSession &AppContext::session() const
{
    if (!m_session)
        m_session = std::make_unique<LinkSession>(const_cast<AppContext &>(*this));
    return *m_session;
}

HistorySource AppContext::historySource() const
{
    return HistorySource{session().ReceiveBuffer, config, DaylightTimeActive, clock().date(), catalog};
}
