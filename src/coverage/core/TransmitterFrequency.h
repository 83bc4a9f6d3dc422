// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// Which transmitters a monitor may have heard: those of the coverage
// listing that broadcast on a frequency and cover any of a header's
// locations. A state's file is read once, when a header first names it.
class TransmitterFrequency
{
public:
    explicit TransmitterFrequency(const QString &statesFolder);

    // "KIH42 Covington 162.550" for each transmitter on `frequency`
    // ("162.550") covering any of the six-digit location codes (a code
    // ending in 000 stands for its whole state), each once, sorted.
    QStringList transmitters(const QString &frequency, const QStringList &locations);
    // A transmitter field ("Covington        KIH42  162.550") as
    // "KIH42 Covington 162.550"; the field trimmed when it is not in that form.
    static QString label(const QString &field);

private:
    const QStringList &stateLines(const QString &ss);

    QString m_folder;
    QHash<QString, QStringList> m_lines;       // "SS" -> the state's usable lines
    QHash<QString, QString> m_stateFiles;      // "SS" -> file, once scanned
    bool m_scanned = false;
};
