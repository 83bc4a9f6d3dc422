// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "config/core/ReceiverConfig.h"
#include "coverage/core/EventCatalog.h"
#include "history/core/HistoryRecord.h"
#include "shell/core/Clock.h"
#include "shell/core/Prompter.h"
#include "shell/core/Timings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class MainView;
class QSettings;
class ReceiverLink;

// The serial link's program-wide state.
struct LinkState {
    bool PortIsOpen = false;
    int16_t PortHandle = 0;
    bool TimedOut = false;
    // Set while a transfer, port search or dump owns the port; a second user
    // of the port is refused while it is set.
    bool busy = false;
};

// Owns every piece of program-wide data and the services through which the
// program reaches the user and the clock. Windows and operations receive it;
// each test starts from a fresh one.
class AppContext
{
public:
    static constexpr int FipEntryCount = 99;
    static constexpr int EventSlotCount = 49;
    static constexpr int ImageSize = 512;
    static constexpr int ReceiveBufferSize = 1298;
    static constexpr int HistoryRowCount = 41;

    AppContext();
    ~AppContext();

    ReceiverConfig config;
    QStringList FipEntries;        // 99 county lines
    QStringList EventSelection;    // 49 event code slots
    EventCatalog catalog;
    std::array<uint8_t, ImageSize> UploadImage{};
    QByteArray ReceiveBuffer;      // 1298 bytes, zero at start
    std::array<HistoryRecord, HistoryRowCount> HistoryRows{};

    bool DaylightTimeActive = false;
    bool CtrlHeld = false;
    bool ShowDumpButton = false;
    LinkState link;
    // The serial port, its time-out timer and waits (link/core/ReceiverLink.h);
    // created on first use by Link(ctx).
    std::shared_ptr<ReceiverLink> receiverLink;

    Timings timings;

    // Where files live. The parameter file and the dump file are opened by
    // bare name in the current directory unless a test points elsewhere.
    QString parameterFilePath = QStringLiteral("NX_4400C.DAT");
    QString dumpFilePath = QStringLiteral("NX_DUMP.TXT");
    QString statesFolder;          // folder holding the 54 state files
    QString settingsPath;          // ini file of the settings store; empty = per-user default

    Prompter &prompter() const { return *m_prompter; }
    Clock &clock() const { return *m_clock; }
    MainView &view() const;

    void setPrompter(Prompter *p) { m_prompter = p; }
    void setClock(Clock *c) { m_clock = c; }
    void setView(MainView *v) { m_view = v; }

    // The settings store, application "NX4400C".
    std::unique_ptr<QSettings> openSettings() const;

    // Ends the program at once without saving (fatal errors, exit paths).
    // The application quits the process; tests record the request instead.
    std::function<void(int code)> endProgram;

private:
    Prompter *m_prompter = nullptr;
    Clock *m_clock = nullptr;
    MainView *m_view = nullptr;
};
