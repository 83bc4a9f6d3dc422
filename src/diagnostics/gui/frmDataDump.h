// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "diagnostics/core/DumpSession.h"

#include <QDialog>

class LinkSession;
class Services;
struct ReceiverConfig;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The data dump window, opened from the about box for support cases: puts
// the receiver into dump mode, shows its last raw SAME data and its
// non-volatile memory, and saves what is shown with every configuration
// value to the dump file.
class frmDataDump : public QDialog
{
    Q_OBJECT

public:
    // Dumps the receiver on the config's port through `session`.
    frmDataDump(LinkSession &session, ReceiverConfig &config, QWidget *parent = nullptr);
    ~frmDataDump() override;

    // Puts the receiver into dump mode; the about box shows the window only
    // when this succeeds.
    void MakeContact(bool &contact);
    bool MakeContact();
    void DumpDataRaw();
    void DumpDataNV();
    void WriteRegistry(QString &listing) const;

    // The button actions.
    void cmdRaw_Click();
    void cmdNVData_Click();
    void cmdClear_Click();
    void cmdSave_Click();
    void cmdExit_Click();

    // Everything received and shown, as received (CR LF line breaks,
    // control characters kept); the text area shows it readably.
    QString text() const { return m_text; }
    bool inDumpMode() const { return m_session.inDumpMode(); }

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

private:
    void append(const QString &text);
    void appendReplyEnd(const DumpSession::Reply &reply);
    void setWaiting(bool waiting);
    void leave();

    Services &m_svc;
    ReceiverConfig &m_config;
    DumpSession m_session;
    QString m_text;
    bool m_shown = false;
    // Set when the window lost the focus to another window of the program
    // (the box that reports a save): the text area empties when the window
    // is active again.
    bool m_clearOnActivate = false;
    // While the box that reports a failed save is up: the unsaved text must
    // survive it.
    bool m_keepText = false;

    QPlainTextEdit *m_text1 = nullptr;
    QPushButton *m_cmdRaw = nullptr;
    QPushButton *m_cmdNVData = nullptr;
    QPushButton *m_cmdClear = nullptr;
    QPushButton *m_cmdSave = nullptr;
    QPushButton *m_cmdExit = nullptr;
};
