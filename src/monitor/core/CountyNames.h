// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// Names for the location codes of a header ("039173" -> "Wood, Ohio"),
// from the receiver's own county list first and then from the state files.
// A state file is read once, when a header first names its state.
class CountyNames
{
public:
    CountyNames(const QString &statesFolder, const QStringList &fipEntries);

    // "Wood, Ohio"; "Part 2 of Wood, Ohio" for a part of a county; "All of
    // Ohio" for the whole state; the code itself when nothing names it.
    QString name(const QString &pssccc);
    QString names(const QStringList &codes);   // joined with "; "

private:
    void loadState(const QString &ss);

    QString m_folder;
    QHash<QString, QString> m_names;           // "SSCCC" -> "County, State"
    QHash<QString, bool> m_statesRead;
    QHash<QString, QString> m_stateFiles;      // "SS" -> file, once scanned
    bool m_scanned = false;
};
