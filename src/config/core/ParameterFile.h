// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class Services;
struct ReceiverSetup;

// "NX_4400C.DAT": the county lines and the selected event codes.
bool LoadParameterFile(Services &services, ReceiverSetup &setup);
void SaveParameterFile(Services &services, const ReceiverSetup &setup);
void LoadDefaultCoverage(ReceiverSetup &setup);

namespace ParameterFile {

inline const QString Header =
    QStringLiteral("NX-4400C SAME Digital Weather Receiver Parameter File. DO NOT MODIFY");
inline const QString FipSection = QStringLiteral("[FIP Codes]");
inline const QString EventSection = QStringLiteral("[Event Codes]");
constexpr int StoredFipEntries = 99;
constexpr int StoredEventSlots = 24;
constexpr int LineCount = 126;
// A healthy file is about 6 KB; reading stops here so a stray huge file in
// its place costs neither memory nor time.
constexpr qint64 MaxReadBytes = 4 * 1024 * 1024;

// The item one line holds: leading blanks skipped, an item that starts with
// a double quote runs to the next double quote (the quotes removed).
QString itemOfLine(const QString &line);
// The items of a whole file, one per line. Lines end at CR LF, CR or LF;
// text is UTF-8, or Latin-1 where it is not valid UTF-8.
QStringList itemsOf(const QByteArray &data);
// Puts the items into the lists in file order, stopping at the first item
// that is not what the file layout requires or at the end of the items.
// Entries read before that point stay assigned. True when complete.
bool applyItems(const QStringList &items, QStringList &fipEntries, QStringList &eventSelection);
// The 126 lines of the file, each ended by CR LF.
QByteArray format(const QStringList &fipEntries, const QStringList &eventSelection);

} // namespace ParameterFile
