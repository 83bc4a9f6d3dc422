// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/EventClass.h"

#include <QString>
#include <QVector>

// The SAME event codes the editor offers, with display name and class.
struct EventCatalogEntry {
    QString EventCode;
    QString name;
    EventClass cls = EventClass::Other;
};

struct EventCatalog {
    QVector<EventCatalogEntry> rows;
};
