// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/core/TransmitterFrequency.h"

#include "coverage/core/StateDatabase.h"

#include <QDir>
#include <QRegularExpression>

#include <algorithm>

TransmitterFrequency::TransmitterFrequency(const QString &statesFolder) : m_folder(statesFolder) {}

QString TransmitterFrequency::label(const QString &field)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    const QStringList words = field.simplified().split(blanks, Qt::SkipEmptyParts);
    if (words.size() < 3)
        return field.simplified();
    const QString site = QStringList(words.mid(0, words.size() - 2)).join(QLatin1Char(' '));
    return words.at(words.size() - 2) + QLatin1Char(' ') + site + QLatin1Char(' ') + words.last();
}

const QStringList &TransmitterFrequency::stateLines(const QString &ss)
{
    auto it = m_lines.find(ss);
    if (it != m_lines.end())
        return *it;
    if (!m_scanned) {
        m_scanned = true;
        for (int id = 0; id < StateDatabase::StateCount; ++id) {
            const QString file = QDir(m_folder).filePath(StateDatabase::GetStateFileName(id));
            QStringList lines;
            if (StateDatabase::readStateLines(file, &lines) == StateDatabase::ReadResult::Ok && !lines.isEmpty())
                m_stateFiles.insert(lines.first().mid(1, 2), file);
        }
    }
    QStringList lines, usable;
    if (m_stateFiles.contains(ss)
        && StateDatabase::readStateLines(m_stateFiles.value(ss), &lines) == StateDatabase::ReadResult::Ok) {
        for (const QString &line : std::as_const(lines))
            if (StateDatabase::usableLine(line) && !StateDatabase::hasNoCoverage(line))
                usable.append(StateDatabase::normalisedLine(line));
    }
    return *m_lines.insert(ss, usable);
}

QStringList TransmitterFrequency::transmitters(const QString &frequency, const QStringList &locations)
{
    QStringList out;
    const QString wanted = frequency.trimmed();
    for (const QString &code : locations) {
        if (code.size() != 6 || code == QLatin1String("000000"))
            continue;
        const QString ss = code.mid(1, 2);
        const bool wholeState = code.mid(3) == QLatin1String("000");
        for (const QString &line : stateLines(ss)) {
            if (!wholeState && line.mid(1, 5) != code.mid(1))
                continue;
            const QString field = StateDatabase::transmitterField(line);
            if (field.simplified().section(QLatin1Char(' '), -1) == wanted) {
                const QString name = label(field);
                if (!out.contains(name))
                    out.append(name);
            }
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}
