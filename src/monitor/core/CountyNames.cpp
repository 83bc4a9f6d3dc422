// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/core/CountyNames.h"

#include "coverage/core/StateDatabase.h"

#include <QDir>

namespace {

// A county entry or state-file line: code in columns 1-6, county name from
// column 9 to 30.
QString countyOf(const QString &line)
{
    return line.mid(8, 22).trimmed();
}

} // namespace

CountyNames::CountyNames(const QString &statesFolder, const QStringList &fipEntries) : m_folder(statesFolder)
{
    for (QString line : fipEntries) {
        if (line.startsWith(QLatin1String("X ")) || line.startsWith(QLatin1String("  ")))
            line = line.mid(2);
        if (line.size() < 9 || !line.at(0).isDigit())
            continue;
        const QString state = StateDatabase::GetStateName(line);
        const QString county = countyOf(line);
        if (!county.isEmpty())
            m_names.insert(line.mid(1, 5), state.isEmpty() ? county : county + QStringLiteral(", ") + state);
    }
}

void CountyNames::loadState(const QString &ss)
{
    if (m_statesRead.value(ss))
        return;
    m_statesRead.insert(ss, true);
    if (!m_scanned) {
        m_scanned = true;
        for (int id = 0; id <= 53; ++id) {
            const QString file = QDir(m_folder).filePath(StateDatabase::GetStateFileName(id));
            QStringList lines;
            if (StateDatabase::readStateLines(file, &lines) == StateDatabase::ReadResult::Ok && !lines.isEmpty())
                m_stateFiles.insert(lines.first().mid(1, 2), file);
        }
    }
    QStringList lines;
    if (StateDatabase::readStateLines(m_stateFiles.value(ss), &lines) != StateDatabase::ReadResult::Ok)
        return;
    for (const QString &line : lines) {
        const QString key = line.mid(1, 5);
        if (key.size() == 5 && !m_names.contains(key)) {
            const QString county = countyOf(line);
            const QString state = StateDatabase::GetStateName(line);
            if (!county.isEmpty())
                m_names.insert(key, state.isEmpty() ? county : county + QStringLiteral(", ") + state);
        }
    }
}

QString CountyNames::name(const QString &code)
{
    if (code.size() != 6)
        return code;
    const QString state = StateDatabase::GetStateName(code);
    if (code.mid(3) == QLatin1String("000"))
        return state.isEmpty() ? code : QStringLiteral("All of %1").arg(state);
    const QString key = code.mid(1);
    if (!m_names.contains(key))
        loadState(code.mid(1, 2));
    const QString found = m_names.value(key);
    if (found.isEmpty())
        return code;
    return code.at(0) == QLatin1Char('0') ? found : QStringLiteral("Part %1 of %2").arg(code.at(0)).arg(found);
}

QString CountyNames::names(const QStringList &codes)
{
    QStringList out;
    for (const QString &c : codes)
        if (c != QLatin1String("000000"))
            out.append(name(c));
    return out.join(QStringLiteral("; "));
}
