// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "base/MainView.h"

#include <QMap>
#include <QStringList>

// A main window stand-in that records what the link and history code did.
class RecordingView : public MainView
{
public:
    QMap<QString, QString> panels;
    QStringList statusLog;          // every text set on the left panel, in order
    bool progressVisible = false;
    int progressMin = 0, progressMax = 100, progressValue = 0;
    QList<int> progressValues;
    bool historyMenusEnabled = false;
    int checkedGroup = -1;
    int shownGroup = -1;
    int clears = 0;
    QString firstDate;

    void setStatusText(const QString &key, const QString &text) override
    {
        panels[key] = text;
        if (key == QLatin1String("Left"))
            statusLog << text;
    }
    QString statusText(const QString &key) const override { return panels.value(key); }
    void setProgressVisible(bool v) override { progressVisible = v; }
    void setProgressRange(int a, int b) override { progressMin = a; progressMax = b; }
    void setProgressValue(int v) override { progressValue = v; progressValues << v; }
    void clearHistoryDisplay() override { ++clears; firstDate.clear(); }
    void setHistoryMenusEnabled(bool e) override { historyMenusEnabled = e; }
    void checkHistoryGroup(int g) override { checkedGroup = g; }
    void showHistoryGroup(int g) override { shownGroup = g; }
    QString firstRowDate() const override { return firstDate; }
};
