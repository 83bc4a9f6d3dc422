// SPDX-License-Identifier: GPL-3.0-or-later
// What the parts of the alert log (row format, reader, merge, writer,
// upgrade) share among themselves; not for use outside history/core.
#pragma once

#include "history/core/AlertLog.h"

#include "base/PathCheck.h"

#include <QString>

namespace alertlog {

// A log larger than this is not read: at about 70 bytes a row it would hold
// millions of alerts, so it is not a log this program made.
constexpr qint64 MaxLogBytes = 256LL * 1024 * 1024;

// The first characters a spreadsheet takes as a formula.
bool needsGuard(QChar c);
QString notALog();
QString sysError(int err);
QString shown(const QString &path);
// What a path that exists but is no regular file is, for the message.
QString kindOf(PathKind kind);

// Reads the log through `r` (`empty`: there is no log yet) for the keys of
// `alerts` and says what to append; `name` names the log in notices.
AlertLogMerge mergeFrom(AlertLogReader &r, bool empty, const QList<AlertLogEntry> &alerts, const QString &name);

} // namespace alertlog
