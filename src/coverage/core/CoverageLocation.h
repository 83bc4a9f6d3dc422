// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/CoverageImport.h"

#include <QString>

// Where the coverage listing in use lies. The state files shipped with the
// program stay read-only in its data folder; an imported listing goes into
// the user's data folder (coverage/States) and overrides them from then on;
// reverting removes that override.
namespace CoverageLocation {

// The shipped folder: "States" beside the program, else the installed
// ../share/nx4400c/States.
QString shippedFolder(const QString &programFolder);
// The per-user data folder (~/.local/share/NX4400C).
QString defaultDataFolder();
// <dataFolder>/coverage/States; an empty dataFolder is the default one.
QString overrideFolder(const QString &dataFolder);
// The override when it holds all 54 state files, else the shipped folder.
QString activeFolder(const QString &shippedFolder, const QString &dataFolder);

// What the About and System Information windows and `coverage show` say
// about the listing in use.
struct InUse {
    bool imported = false;
    QString folder;
    CoverageImport::ListingInfo info;
    // An override that exists but cannot be used (files missing), or empty.
    QString problem;
    // "NOAA listing CCL.js of August 10 2018, 6563 rows (shipped)"
    QString describe() const;
};
InUse inUse(const QString &activeFolder, const QString &shippedFolder, const QString &dataFolder);

} // namespace CoverageLocation
