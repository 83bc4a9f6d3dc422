// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppContext.h"

#include "history/core/AlertLog.h"
#include "link/core/LinkSession.h"

#include <QSettings>

AppContext::AppContext() = default;

AppContext::~AppContext() = default;

LinkSession &AppContext::session() const
{
    if (!m_session) {
        auto &self = const_cast<AppContext &>(*this);
        m_session = std::make_unique<LinkSession>(self);
        m_session->Port1.setTrace(&self.trace);
    }
    return *m_session;
}

void AppContext::loadAlertLogSettings()
{
    auto store = openSettings();
    alertLogEnabled = store->value(QStringLiteral("AlertLog/Enabled"), true).toBool();
    const QString stored = store->value(QStringLiteral("AlertLog/Path")).toString().trimmed();
    if (!stored.isEmpty())
        alertLogPath = stored;
    else if (alertLogPath.isEmpty())
        alertLogPath = DefaultAlertLogPath();
}

bool AppContext::saveAlertLogEnabled(bool enabled)
{
    alertLogEnabled = enabled;
    auto store = openSettings();
    store->setValue(QStringLiteral("AlertLog/Enabled"), enabled);
    store->sync();
    return store->status() == QSettings::NoError && store->isWritable();
}

HistorySource AppContext::historySource() const
{
    return HistorySource{session().ReceiveBuffer, config, DaylightTimeActive, clock().date(), catalog};
}
