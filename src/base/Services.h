// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Clock.h"
#include "base/MainView.h"
#include "base/Prompter.h"
#include "base/Timings.h"

#include <QString>

#include <functional>
#include <memory>

class QSettings;

// The program's ways of reaching the outside world: the user (prompter and
// main window), the wall clock, the time-outs, the files it keeps, and the
// way to end the program. Operations that ask, wait or write take these
// instead of the whole application. Tests wire their own.
class Services
{
public:
    Services();
    virtual ~Services();

    Prompter &prompter() const { return *m_prompter; }
    Clock &clock() const { return *m_clock; }
    MainView &view() const { return *m_view; }

    // nullptr restores the silent stand-in.
    void setPrompter(Prompter *p);
    void setClock(Clock *c);
    void setView(MainView *v);

    Timings timings;

    // Set once at start-up from the operating system's time-zone
    // information; the history's time conversion reads it.
    bool DaylightTimeActive = false;

    // Where files live. The parameter file and the dump file are opened by
    // bare name in the current directory unless a test points elsewhere.
    QString parameterFilePath = QStringLiteral("NX_4400C.DAT");
    QString dumpFilePath = QStringLiteral("NX_DUMP.TXT");
    QString statesFolder;          // folder holding the 54 state files in use
    // The state files shipped with the program (read-only), and the user's
    // data folder, whose coverage/States, when present, overrides them after
    // an import. An empty data folder is the per-user default.
    QString shippedStatesFolder;
    QString coverageDataFolder;
    QString settingsPath;          // ini file of the settings store; empty = per-user default

    // The settings store, application "NX4400C". While settingsProblem()
    // is not empty, a store with no file behind it (reads nothing, refuses
    // every write).
    std::unique_ptr<QSettings> openSettings() const;
    // The store's file: settingsPath, or the per-user file QSettings keeps
    // ($XDG_CONFIG_HOME, else $HOME/.config, then NX4400C/NX4400C.ini).
    QString settingsFile() const;
    // Empty while the store can be used: there is no file yet, or a regular
    // file this program may read, of sane size. Otherwise one sentence naming
    // the file and what is wrong with it: a pipe (whose open would wait
    // forever), a device, a folder, a link to nothing, a file we may not read
    // or a huge one; or, with HOME unset, no place for a per-user store at
    // all. A transfer must not start then: the receiver would get factory
    // defaults in place of the user's settings.
    QString settingsProblem() const;
    static constexpr qint64 SettingsStoreMaxBytes = 1024 * 1024;

    // Ends the program at once without saving (fatal errors, exit paths).
    // The application quits the process; tests record the request instead.
    std::function<void(int code)> endProgram;

private:
    Prompter *m_prompter;
    Clock *m_clock;
    MainView *m_view;
};
