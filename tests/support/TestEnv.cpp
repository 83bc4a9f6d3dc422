// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestEnv.h"

#include <QDir>

TestEnv::TestEnv()
    : ctx(std::make_unique<AppContext>())
{
    ctx->setPrompter(&prompter);
    ctx->setClock(&clock);
    ctx->setView(&view);
    ctx->settingsPath = dir.filePath(QStringLiteral("NX4400C.ini"));
    ctx->parameterFilePath = dir.filePath(QStringLiteral("NX_4400C.DAT"));
    ctx->dumpFilePath = dir.filePath(QStringLiteral("NX_DUMP.TXT"));
    ctx->alertLogPath = dir.filePath(QStringLiteral("alerts.csv"));
    ctx->statesFolder = buildBinDir() + QStringLiteral("/States");
    ctx->shippedStatesFolder = ctx->statesFolder;
    // An imported coverage listing goes here, never into the user's own data.
    ctx->coverageDataFolder = dir.filePath(QStringLiteral("data"));
    ctx->endProgram = [this](int code) {
        ++endRequests;
        lastEndCode = code;
    };
}

QString buildBinDir()
{
    return qEnvironmentVariable("NX_BINARY_DIR", QStringLiteral(".")) + QStringLiteral("/bin");
}

QString sourceDir()
{
    return qEnvironmentVariable("NX_SOURCE_DIR", QStringLiteral("."));
}
