// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/core/ReceiverSetupFiles.h"

#include "base/PathCheck.h"
#include "base/SafeWrite.h"
#include "base/Services.h"
#include "config/core/ParameterFile.h"
#include "config/core/ReceiverProfile.h"
#include "config/core/SettingsStore.h"

#include <QDir>
#include <QFileInfo>

SetupLoadResult LoadReceiverSetup(Services &services, const ReceiverSetupPlace &place, ReceiverSetup &setup,
                                  QString *why)
{
    if (const QString problem = SettingsStoreProblem(services); !problem.isEmpty()) {
        if (why)
            *why = problem;
        return SetupLoadResult::StoreUnusable;
    }
    // All or nothing: `setup` changes only once everything was read.
    ReceiverSetup read;
    LoadConfiguration(services, read.config);
    if (!place.isEditors()) {
        if (!LoadProfile(place.profile, read.config, read.FipEntries, read.EventSelection, why))
            return SetupLoadResult::ProfileRefused;
        setup = read;
        return SetupLoadResult::Loaded;
    }
    // Read here rather than through the editor's start-up, which offers the
    // default coverage for a missing file: a command must never slip the
    // default counties in for a file that is not there.
    QByteArray data;
    if (!ReadFileBounded(services.parameterFilePath, ParameterFile::MaxReadBytes, &data, why)
        || !ParameterFile::applyItems(ParameterFile::itemsOf(data), read.FipEntries, read.EventSelection))
        return SetupLoadResult::ParameterFileUnreadable;
    setup = read;
    return SetupLoadResult::Loaded;
}

bool SaveReceiverSetup(Services &services, const ReceiverSetupPlace &place, const ReceiverSetup &setup,
                       bool settingsToo, QString *why)
{
    if (!place.isEditors())
        // A receiver's profile and the editor's parameter file are where its
        // setup is kept: a link there was made on purpose and is followed.
        return SaveProfile(place.profile, setup.config, setup.FipEntries, setup.EventSelection, why,
                           LinkAtName::Follow);

    const QString &datPath = services.parameterFilePath;
    QByteArray old;
    const bool hadOld = ReadFileBounded(datPath, ParameterFile::MaxReadBytes, &old, nullptr);
    QString reason;
    if (!writeFileAtomically(datPath, ParameterFile::format(setup.FipEntries, setup.EventSelection), &reason,
                             LinkAtName::Follow)) {
        if (why)
            *why = QStringLiteral("cannot write the parameter file %1 (%2)")
                       .arg(QDir::toNativeSeparators(QFileInfo(datPath).absoluteFilePath()), reason);
        return false;
    }
    if (settingsToo && !SaveConfiguration(services, setup.config, &reason)) {
        if (hadOld)
            writeFileAtomically(datPath, old, nullptr, LinkAtName::Follow);
        if (why)
            *why = reason;
        return false;
    }
    return true;
}
