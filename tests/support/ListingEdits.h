// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// NOAA's 2018 coverage listing (the one the state files are made from) with
// a transmitter taken out, as a later listing drops one that went off the
// air. Empty when the listing cannot be read.

#include "support/TestEnv.h"

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

inline QByteArray ListingWithoutTransmitter(const QString &callsign)
{
    QFile f(sourceDir() + QStringLiteral("/tools/make-states/CCL-2018-08-10.js"));
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    QString text = QString::fromUtf8(f.readAll());
    const QRegularExpression sign(QStringLiteral("CALLSIGN\\[(\\d+)\\] = \"%1\";").arg(QRegularExpression::escape(callsign)));
    QStringList rows;
    for (auto it = sign.globalMatch(text); it.hasNext();)
        rows << it.next().captured(1);
    for (const QString &i : std::as_const(rows))
        text.remove(QRegularExpression(QStringLiteral("^[A-Z]+\\[%1\\] = .*\\n").arg(i),
                                       QRegularExpression::MultilineOption));
    return text.toUtf8();
}
