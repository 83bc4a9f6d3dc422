// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QPointer>

class AppContext;
class QAction;
class QCheckBox;
class QLabel;

// The start-up tip: a reminder to keep the receiver's transmitter database
// current. Its check box is the "Show Tip at startup" setting, the same one
// the main window's Help menu item mnuTipsShow toggles; the two always show
// the same state.
class frmTip : public QDialog
{
    Q_OBJECT

public:
    // `mainWindow` is the window holding the menu item mnuTipsShow.
    frmTip(AppContext &ctx, QWidget *mainWindow);

    // The tip as the program states it (CR LF line breaks).
    static QString TipText();

    // False when the setting says not to show tips: the window then closes
    // at once and is never shown.
    bool wantsToShow() const { return m_show; }

    void cmdOK_Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void setShowTips(bool show);

    AppContext &m_ctx;
    QPointer<QAction> m_mnuTipsShow;
    QCheckBox *m_chk = nullptr;
    bool m_show = false;
};
