// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// What the receiver link and the history code may do to the main window,
// without knowing it is made of widgets. The main window implements it; tests
// and the command-line tool supply their own.
class MainView
{
public:
    virtual ~MainView() = default;

    // Status bar panels are addressed by their keys "Left" and "Right".
    virtual void setStatusText(const QString &panelKey, const QString &text) = 0;
    virtual QString statusText(const QString &panelKey) const = 0;

    virtual void setProgressVisible(bool visible) = 0;
    virtual void setProgressRange(int minimum, int maximum) = 0;
    virtual void setProgressValue(int value) = 0;

    // Empties the 20 history rows (captions blank, event background white).
    virtual void clearHistoryDisplay() = 0;
    // "View History" and "Save History File As..." together.
    virtual void setHistoryMenusEnabled(bool enabled) = 0;
    // Puts the check mark on mnuHistory_1 (group 0) or mnuHistory_2 (group 1).
    virtual void checkHistoryGroup(int group) = 0;
    // Fills the 20 rows from HistoryRows, entries 20*group+1 to 20*group+20.
    virtual void showHistoryGroup(int group) = 0;
    // Caption of lblDate(0); empty means there is no history to print or save.
    virtual QString firstRowDate() const = 0;
};

// Stands in for the main window where there is none (the command-line tool,
// core tests): every call does nothing.
class NullView : public MainView
{
public:
    void setStatusText(const QString &, const QString &) override {}
    QString statusText(const QString &) const override { return {}; }
    void setProgressVisible(bool) override {}
    void setProgressRange(int, int) override {}
    void setProgressValue(int) override {}
    void clearHistoryDisplay() override {}
    void setHistoryMenusEnabled(bool) override {}
    void checkHistoryGroup(int) override {}
    void showHistoryGroup(int) override {}
    QString firstRowDate() const override { return {}; }
};
