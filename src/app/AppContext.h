// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/Services.h"
#include "config/core/ReceiverSetup.h"
#include "coverage/core/EventCatalog.h"
#include "history/core/HistoryDecoder.h"
#include "history/core/HistoryRecord.h"
#include "link/core/LinkSession.h"
#include "link/core/SerialTrace.h"

#include <memory>

// The composition root: owns the editor's program-wide data (the receiver
// setup being edited, the event catalogue, the decoded history), the one
// link session with the receiver, and the services through which the
// program reaches the user, the clock and its files. Windows and operations
// take the parts they work on; each test starts from a fresh context.
class AppContext : public Services, public ReceiverSetup
{
public:
    static constexpr int HistoryRowCount = 41;

    AppContext();
    ~AppContext() override;

    EventCatalog catalog;
    HistoryRowTable HistoryRows{};

    // The last exchanges with the receiver, byte by byte (Help > Serial
    // Trace...).
    SerialTrace trace;

    // Every transfer's history is appended to the alert log unless the user
    // turned it off; both kept in the settings store, section [AlertLog].
    bool alertLogEnabled = true;
    QString alertLogPath;
    // Reads [AlertLog] (at start-up). Without a stored path the log is
    // alerts.csv in the user's data folder, unless a path was set before.
    void loadAlertLogSettings();
    // Writes [AlertLog]/Enabled at once, as the port map is written.
    bool saveAlertLogEnabled(bool enabled);

    bool CtrlHeld = false;
    bool ShowDumpButton = false;

    // The editor's session with its receiver, made on first use (it reads
    // the port map then).
    LinkSession &session() const;
    // True once the session was made.
    bool hasSession() const { return bool(m_session); }

    // The history decoder's view of the last reply.
    HistorySource historySource() const;

private:
    mutable std::unique_ptr<LinkSession> m_session;
};
