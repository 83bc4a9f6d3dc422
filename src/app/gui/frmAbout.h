// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class AppContext;
class QLabel;
class QPushButton;

// The about box: product, maker, both versions, the system information
// window and, on the one opening after a Ctrl keystroke in the main window,
// the hidden "Data Dump" button.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    // The first version line: "Windows Editor Version 3.00" on Windows,
    // "Editor Version 3.00" elsewhere.
    static QString EditorVersionText(const QString &version);
    explicit frmAbout(AppContext &ctx, QWidget *parent = nullptr);
    ~frmAbout() override;

    void cmdSysInfo_Click();
    void cmdDump_Click();

protected:
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;

private:
    void Form_Activate();

    AppContext &m_ctx;
    QLabel *m_label1 = nullptr;
    QLabel *m_label3 = nullptr;
    QLabel *m_lblCoverage = nullptr;   // the coverage listing in use
    QPushButton *m_cmdDump = nullptr;
};
