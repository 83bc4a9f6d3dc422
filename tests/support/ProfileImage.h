// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The parameter image the command line sends for a profile: the settings
// store at `settingsPath` (its defaults when there is none) under the
// profile's settings and coverage. Empty when the profile cannot be read.

#include "base/Services.h"
#include "config/core/ParameterImage.h"
#include "config/core/ReceiverProfile.h"
#include "config/core/ReceiverSetup.h"
#include "config/core/SettingsStore.h"

#include <QByteArray>
#include <QString>

inline QByteArray ProfileImage(const QString &settingsPath, const QString &profile)
{
    Services services;
    services.settingsPath = settingsPath;
    ReceiverSetup setup;
    LoadConfiguration(services, setup.config);
    QString why;
    if (!LoadProfile(profile, setup.config, setup.FipEntries, setup.EventSelection, &why))
        return QByteArray();
    ParameterImageBytes image{};
    PackParameterBlock(setup.config, image);
    PackCoverageLists(setup, image);
    return QByteArray(reinterpret_cast<const char *>(image.data()), ParameterImage::ImageLength);
}
