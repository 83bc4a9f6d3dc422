// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/gui/UnsavedChanges.h"

#include "app/AppContext.h"
#include "config/core/ParameterFile.h"
#include "config/core/SettingsStore.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

bool SetupDiffersFromFiles(const AppContext &ctx)
{
    // The county lines and events, as the parameter file would be written.
    QFile dat(ctx.parameterFilePath);
    if (!dat.open(QIODevice::ReadOnly) || dat.size() > 1024 * 1024
        || dat.readAll() != ParameterFile::format(ctx.FipEntries, ctx.EventSelection))
        return true;
    // Every key of the settings store, as the store would hold it.
    if (!ctx.settingsProblem().isEmpty() || !QFileInfo(ctx.settingsFile()).isFile())
        return true;
    const std::unique_ptr<QSettings> store = ctx.openSettings();
    ReceiverConfig stored;
    loadConfigurationFrom(*store, stored);
    for (const std::vector<ConfigKey> *keys : {&configKeys(), &optionalConfigKeys()})
        for (const ConfigKey &key : *keys)
            if (configValueText(key, stored) != configValueText(key, ctx.config))
                return true;
    return false;
}
