// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/core/TransmitterTable.h"

#include <QDir>
#include <QFileInfo>

namespace TransmitterTable {

bool load(const QString &statesFolder, QHash<QString, TransmitterInfo> *table, QString *why)
{
    table->clear();
    if (!QFileInfo::exists(QDir(statesFolder).filePath(FileName)))
        return true;
    if (why)
        *why = QStringLiteral("the transmitter table cannot be read yet");
    return false;
}

} // namespace TransmitterTable
