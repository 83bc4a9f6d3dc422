// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/AppContext.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

// One core application, one scratch folder and one fresh program context per
// input; endProgram must never end the fuzzer.
struct FuzzHarness {
    FuzzHarness()
    {
        static int argc = 1;
        static char name[] = "fuzz";
        static char *argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }

    std::unique_ptr<AppContext> freshContext()
    {
        auto ctx = std::make_unique<AppContext>();
        ctx->settingsPath = dir.filePath(QStringLiteral("NX4400C.ini"));
        ctx->parameterFilePath = dir.filePath(QStringLiteral("NX_4400C.DAT"));
        ctx->dumpFilePath = dir.filePath(QStringLiteral("NX_DUMP.TXT"));
        ctx->statesFolder = dir.filePath(QStringLiteral("States"));
        ctx->endProgram = [](int) {};
        return ctx;
    }

    void writeFile(const QString &path, const uint8_t *data, size_t size)
    {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(reinterpret_cast<const char *>(data), qint64(size));
    }

    QTemporaryDir dir;
};
