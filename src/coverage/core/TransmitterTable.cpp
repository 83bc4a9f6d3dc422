// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/core/TransmitterTable.h"

#include "coverage/core/StateDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace TransmitterTable {

namespace {

constexpr int FixedColumns = 9;

QString clean(QString text)
{
    for (QChar &c : text) {
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    }
    return text;
}

QString number(double v)
{
    return std::isnan(v) ? QString() : QString::number(v, 'g', 10);
}

} // namespace

bool load(const QString &statesFolder, QHash<QString, TransmitterInfo> *table, QString *why)
{
    table->clear();
    const QFileInfo info(QDir(statesFolder).filePath(FileName));
    if (!info.exists())
        return true;
    // Only a regular file of sane size is read: a pipe would wait forever, a
    // huge file would take the memory.
    if (!info.isFile() || info.size() > MaxFileSize) {
        if (why)
            *why = QStringLiteral("%1 is not a transmitter table").arg(QDir::toNativeSeparators(info.filePath()));
        return false;
    }
    QFile f(info.filePath());
    if (!f.open(QIODevice::ReadOnly)) {
        if (why)
            *why = QStringLiteral("%1 cannot be read: %2").arg(QDir::toNativeSeparators(info.filePath()), f.errorString());
        return false;
    }
    if (!parse(f.read(MaxFileSize + 1), table, why)) {
        if (why)
            *why = QDir::toNativeSeparators(info.filePath()) + QStringLiteral(", ") + *why;
        return false;
    }
    return true;
}

QByteArray serialise(const QHash<QString, TransmitterInfo> &table)
{
    QStringList fields = table.keys();
    std::sort(fields.begin(), fields.end());
    QString out = QStringLiteral("# field\tcallsign\tsite\tsite state\tlatitude\tlongitude\tpower\tstatus\tforecast office"
                                 "\tremarks (code remark)...\n");
    for (const QString &field : std::as_const(fields)) {
        const TransmitterInfo &t = table.value(field);
        QStringList cols{clean(t.field), clean(t.callsign), clean(t.siteName), clean(t.siteState), number(t.latitude),
                         number(t.longitude), clean(t.power), clean(t.status), clean(t.wfo)};
        for (auto it = t.remarks.cbegin(); it != t.remarks.cend(); ++it) {
            if (!it.value().trimmed().isEmpty())
                cols << clean(it.key() + QLatin1Char(' ') + it.value().trimmed());
        }
        out += cols.join(QLatin1Char('\t'));
        out += QLatin1Char('\n');
    }
    return out.toUtf8();
}

bool parse(const QByteArray &text, QHash<QString, TransmitterInfo> *table, QString *why)
{
    table->clear();
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QByteArray raw = lines.at(n);
        if (raw.endsWith('\r'))
            raw.chop(1);
        if (raw.isEmpty() || raw.startsWith('#'))
            continue;
        const QStringList cols = QString::fromUtf8(raw).split(QLatin1Char('\t'));
        auto fail = [&](const QString &what) {
            if (why)
                *why = QStringLiteral("line %1: %2").arg(n + 1).arg(what);
            table->clear();
            return false;
        };
        if (cols.size() < FixedColumns)
            return fail(QStringLiteral("%1 columns, not at least %2").arg(cols.size()).arg(FixedColumns));
        TransmitterInfo t;
        t.field = cols.at(0);
        if (t.field.size() != StateDatabase::FieldLength)
            return fail(QStringLiteral("the transmitter field is not %1 characters").arg(StateDatabase::FieldLength));
        t.callsign = cols.at(1);
        t.siteName = cols.at(2);
        t.siteState = cols.at(3);
        bool ok = true;
        if (!cols.at(4).isEmpty())
            t.latitude = cols.at(4).toDouble(&ok);
        if (ok && !cols.at(5).isEmpty())
            t.longitude = cols.at(5).toDouble(&ok);
        if (!ok || (t.hasPosition() && (std::abs(t.latitude) > 90 || std::abs(t.longitude) > 360)))
            return fail(QStringLiteral("the position is not a latitude and longitude"));
        t.power = cols.at(6);
        t.status = cols.at(7);
        t.wfo = cols.at(8);
        for (qsizetype k = FixedColumns; k < cols.size(); ++k) {
            const QString &r = cols.at(k);
            const qsizetype blank = r.indexOf(QLatin1Char(' '));
            if (blank > 0)
                t.remarks.insert(r.left(blank), r.mid(blank + 1));
        }
        table->insert(t.field, t);
    }
    return true;
}

} // namespace TransmitterTable
