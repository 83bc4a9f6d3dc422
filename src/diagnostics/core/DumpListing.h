// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class Services;
struct ReceiverConfig;

#include <QByteArray>
#include <QDateTime>
#include <QString>

struct ReceiverConfig;

// Texts of the dump file "NX_DUMP.TXT". Line ends are carriage return and
// line feed throughout, as support's tools expect.

inline const QString DumpLineBreak = QStringLiteral("\r\n");

// The group a settings section is listed under: "EDITOR" becomes
// "REGISTRY_EDITOR", "NV8007" to "NV800F" become "NV_RAM_8007" to
// "NV_RAM_800F", "TIMERS" becomes "NV_RAM_TIMERS".
QString DumpGroupName(const QString &section);

// The listing of every configuration value: a leading line break, then one
// "GROUP.Key=value" line per field in store order, and an empty line after
// each group (88 value lines, 11 empty lines).
QString WriteRegistry(const ReceiverConfig &config);

// "File Created On " and the moment in the system's general date form
// (short date, time with seconds).
QString DumpCreatedLine(const QDateTime &now);

// The whole dump file: the created-on line and an empty line, the window's
// text, the configuration listing. `windowText` carries the window's text as
// received (CR LF line breaks, control characters included); every character
// is written as one byte.
QByteArray DumpFileBytes(const QDateTime &now, const QString &windowText, const QString &listing);

// Writes "NX_DUMP.TXT" (services.dumpFilePath) at once: the window's text and the
// listing of every configuration value. False, with the reason, when the file
// could not be written; the previous file then stays as it was.
bool SaveDumpFile(const Services &services, const ReceiverConfig &config, const QString &windowText,
                  QString *why = nullptr);
