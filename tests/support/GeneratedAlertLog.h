// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/EventCatalog.h"
#include "history/core/AlertLog.h"

#include <QRandomGenerator>
#include <QTimeZone>

// A log of `count` alerts (the same for every run), one every few hours from
// 1 January 2024, in US Eastern time with its daylight changes: every code
// of the catalogue, four originators, an RWT every Wednesday and an RMT on
// the first Wednesday of the month, except in the weeks and months listed
// in `skippedWeeks` (Sundays) and `skippedMonths` (first days).
inline QList<AlertLogEntry> generatedAlerts(int count, const QList<QDate> &skippedWeeks = {},
                                            const QList<QDate> &skippedMonths = {})
{
    EventCatalog catalog;
    InitEventCatalog(catalog);
    QRandomGenerator rng(4400);
    const QTimeZone eastern("America/New_York");
    const QStringList orgs{QStringLiteral("WXR"), QStringLiteral("CIV"), QStringLiteral("EAS"), QStringLiteral("PEP")};
    QList<AlertLogEntry> out;
    out.reserve(count);
    QDateTime t(QDate(2024, 1, 1), QTime(0, 0), eastern);
    auto add = [&](const QDateTime &when, const QString &code, const QString &org, const QString &length) {
        AlertLogEntry e;
        e.localTime = QDateTime(when.date(), QTime(when.time().hour(), when.time().minute()), Qt::OffsetFromUTC,
                                when.offsetFromUtc());
        e.code = code;
        e.originator = org;
        GetEventName(catalog, code, &e.name, &e.cls);
        e.length = length;
        out << e;
    };
    QDate lastWednesday;
    while (out.size() < count) {
        t = t.addSecs(3600 + qint64(rng.bounded(3 * 3600)));
        const QDate d = t.date();
        if (d.dayOfWeek() == 3 && d != lastWednesday && t.time().hour() >= 11) {
            lastWednesday = d;
            const QDate sunday = d.addDays(-3);
            const QDate first(d.year(), d.month(), 1);
            if (d.day() <= 7 && !skippedMonths.contains(first))
                add(t, QStringLiteral("RMT"), QStringLiteral("WXR"), QStringLiteral("00:15"));
            else if (!skippedWeeks.contains(sunday))
                add(t, QStringLiteral("RWT"), QStringLiteral("WXR"), QStringLiteral("00:15"));
            continue;
        }
        const EventCatalogEntry &row = catalog.rows.at(int(rng.bounded(catalog.rows.size() - 2)));   // not RMT/RWT
        add(t, row.EventCode, orgs.at(int(rng.bounded(orgs.size()))),
            QStringLiteral("%1:%2").arg(rng.bounded(1, 7), 2, 10, QLatin1Char('0')).arg(rng.bounded(4) * 15, 2, 10, QLatin1Char('0')));
    }
    return out;
}
