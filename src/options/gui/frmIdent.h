// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QLineEdit>

#include <functional>

class Services;
struct ReceiverConfig;
class QAction;
class QMenu;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;

// The call letters box of the station identification page. The receiver
// speaks only "0" to "9" and "A" to "Z", at most 15 of them, so every way
// text can enter the box -- typing, pasting (keys or context menu), the
// X11 selection, dropping and input methods -- passes the same filter:
// lower-case letters become upper case, anything else is refused with a
// beep.
class IdentEdit : public QLineEdit
{
    Q_OBJECT
public:
    static constexpr int MaxCharacters = 15;

    explicit IdentEdit(std::function<void()> beep, QWidget *parent = nullptr);

    // The keystroke filter: the character to insert, or a null QChar when
    // the key is refused. Backspace (8) passes unchanged.
    static QChar filterKey(QChar key);
    // The filter over a whole text; `refused` tells whether anything was
    // dropped.
    static QString filterText(const QString &text, bool *refused = nullptr);

    // Pastes the clipboard (or the X11 selection) through the filter.
    void pasteFiltered(bool selection = false);
    // The "Paste" entry of the box's standard context menu, if any.
    static QAction *pasteAction(QMenu *menu);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    // Inserts filtered text at the cursor (over the selection), cut to the
    // room left; beeps once when anything was refused or cut.
    void insertFiltered(const QString &text);

    std::function<void()> m_beep;
};

// The station identification page: whether the receiver speaks call letters
// after its alert announcements, with "This Is" before and "Repeater" or
// "Transmitter" after (NV8007 and UserStationID).
class frmIdent : public QDialog
{
    Q_OBJECT
public:
    frmIdent(Services &services, ReceiverConfig &config, QWidget *parent = nullptr);

    void GetData();
    void UpdateEnabled();

private:
    void cmdErase_Click();
    void cmdOK_Click();

    Services &m_svc;
    ReceiverConfig &m_config;
    QCheckBox *m_chkID[4] = {};
    QGroupBox *m_frame = nullptr;
    QLabel *m_lblText[2] = {};
    IdentEdit *m_txtIdent = nullptr;
    QPushButton *m_cmdErase = nullptr;
};
