// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/AppContext.h"
#include "support/FakeClock.h"
#include "support/RecordingView.h"
#include "support/ScriptedPrompter.h"

#include <QTemporaryDir>

#include <memory>

// A fresh program for one test: its own AppContext wired to a scripted
// prompter, a fake clock and a recording view; a temporary folder that holds
// the settings store, the parameter file and the dump file; shortened
// time-outs; and endProgram recorded instead of ending the test.
struct TestEnv {
    TestEnv();

    QTemporaryDir dir;
    ScriptedPrompter prompter;
    FakeClock clock;
    RecordingView view;
    std::unique_ptr<AppContext> ctx;
    int endRequests = 0;
    int lastEndCode = -1;

    QString path(const QString &name) const { return dir.filePath(name); }
};

// Folder of the built programs and data (bin/ of the build tree).
QString buildBinDir();
// Folder of the sources.
QString sourceDir();
