// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/core/AlertStore.h"

#include <QFileInfo>

// What the writers logged beside the alert log at `alertLogPath`: the rows
// of the alert database (alerts.csv -> alerts.db), in the order logged, as
// ReadAlertLog returns a CSV log's. A missing database is an empty record
// when `missingIsEmpty`.
inline bool ReadAlertRecord(const QString &alertLogPath, AlertLogContent *content, QString *why = nullptr,
                            bool missingIsEmpty = true)
{
    *content = AlertLogContent();
    content->receiverColumn = true;
    content->layout = AlertLogLayoutCurrent;
    const QString db = AlertStore::PathForLog(alertLogPath);
    if (missingIsEmpty && !QFileInfo::exists(db))
        return true;
    AlertStore store;
    QString error;
    if (!store.open(db, /*create*/ false, &error)) {
        if (why)
            *why = error;
        return false;
    }
    content->entries = store.alerts(AlertQuery(), &error);
    if (why)
        *why = error;
    return error.isEmpty();
}
