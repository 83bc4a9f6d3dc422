// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/core/DumpListing.h"

#include "base/Services.h"
#include "base/SafeWrite.h"

#include "config/core/ReceiverConfig.h"

#include <QLocale>

QString DumpGroupName(const QString &section)
{
    if (section == QLatin1String("EDITOR"))
        return QStringLiteral("REGISTRY_EDITOR");
    if (section.startsWith(QLatin1String("NV")))
        return QStringLiteral("NV_RAM_") + section.mid(2);
    return QStringLiteral("NV_RAM_") + section;
}

namespace {

QString valueText(const ConfigKey &k, const ReceiverConfig &c)
{
    switch (k.type) {
    case ConfigKey::Type::Boolean: {
        const bool *b = k.boolIn(c);
        return (b && *b) ? QStringLiteral("True") : QStringLiteral("False");
    }
    case ConfigKey::Type::Integer:
        return QString::number(c.*(k.intField));
    case ConfigKey::Type::String:
        return c.*(k.stringField);
    }
    return {};
}

} // namespace

QString WriteRegistry(const ReceiverConfig &config)
{
    QString out = DumpLineBreak;
    QString section;
    for (const ConfigKey &k : configKeys()) {
        const QString s = QString::fromLatin1(k.section);
        if (!section.isEmpty() && s != section)
            out += DumpLineBreak;
        section = s;
        // The one key whose listed name differs from its store name.
        QString key = QString::fromLatin1(k.key);
        if (section == QLatin1String("EDITOR") && key == QLatin1String("StateID"))
            key = QStringLiteral("StateId");
        out += DumpGroupName(section) + QLatin1Char('.') + key + QLatin1Char('=') + valueText(k, config)
               + DumpLineBreak;
    }
    if (!section.isEmpty())
        out += DumpLineBreak;
    return out;
}

QString DumpCreatedLine(const QDateTime &now)
{
    const QLocale locale = QLocale::system();
    // The short date and a time with seconds: what the system calls its
    // general date form. The time zone name of the long form is left out.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QLatin1Char('t')).replace(QStringLiteral("  "), QStringLiteral(" "));
    timeFormat = timeFormat.trimmed();
    return QStringLiteral("File Created On ") + locale.toString(now.date(), QLocale::ShortFormat)
           + QLatin1Char(' ') + locale.toString(now.time(), timeFormat);
}

QByteArray DumpFileBytes(const QDateTime &now, const QString &windowText, const QString &listing)
{
    const QString text = DumpCreatedLine(now) + DumpLineBreak + DumpLineBreak + windowText + DumpLineBreak
                         + listing + DumpLineBreak;
    return text.toLatin1();
}

bool SaveDumpFile(const Services &services, const ReceiverConfig &config, const QString &windowText,
                  QString *why)
{
    const QByteArray bytes = DumpFileBytes(services.clock().now(), windowText, WriteRegistry(config));
    return writeFileAtomically(services.dumpFilePath, bytes, why, LinkAtName::Follow);
}
