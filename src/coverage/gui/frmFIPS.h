// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/CountyEntries.h"
#include "coverage/core/SetupCheck.h"

#include <QDialog>

#include <memory>

class Services;
struct ReceiverSetup;
class QFrame;
class QLabel;
class QListWidget;
class QPushButton;
class QTimer;
class frmEnterFIP;
class CountyCoverage;
class CountyMapView;

// The county window: a check-box list of county entries, the checked ones
// being the counties the receiver alerts for. It is the working copy of
// FipEntries, which only its OK rewrites. The window is hidden, not
// destroyed, when it closes, so the list lives for the whole run.
class frmFIPS : public QDialog
{
    Q_OBJECT

public:
    frmFIPS(Services &services, ReceiverSetup &setup, QWidget *parent = nullptr);
    ~frmFIPS() override;

    void setTransmitterWindow(frmEnterFIP *window) { m_enterFip = window; }

    // The list as items (text and check mark), and replacing it.
    QVector<CountyEntries::Item> items() const;
    void setItems(const QVector<CountyEntries::Item> &items);
    void appendEntry(const QString &text, bool checked = false);
    void clearList();
    int entryCount() const;

    void setStateCaption(const QString &text);
    void setTransmitterCaption(const QString &text);
    // Marks the stored transmitter when the setup check finds it gone, off
    // the air or retuned, with the transmitters suggested instead.
    void setSetupCheck(const SetupCheck::Report &report);

    // Start-up: the list from FipEntries.
    void fillFromFipEntries();

    // The buttons, callable by the main window's tests as by a click.
    void cmdEnterCodes_Click();
    void cmdAdd_Click();
    void cmdEdit_Click();
    void cmdCopy_Click();
    void cmdRemove_Click();
    void cmdOK_Click();
    void Timer1_Timer();

    // The county map beside the list. A click on it (or Space on its
    // highlighted county) toggles the county's check mark in the list, as a
    // click on the check box does; a county not yet listed is added, checked.
    CountyMapView *countyMap() const { return m_map; }
    void toggleCounty(const QString &id);
    void cmdFit_Click();
    void cmdSaveMap_Click();
    // Which transmitters cover which counties, read from the state files on
    // first use; the transmitter window's preview shares it.
    const CountyCoverage *coverage();
    // Brings the map up to date: boundaries, coverage and the state shown.
    // The window does it when it opens, so start-up reads none of them.
    void prepareMap();
    // What a saved or printed map says above the drawing: state,
    // transmitter, the listing in use and today's date.
    QStringList mapCaption() const;

public slots:
    // Escape and the close box run OK, so that what the window shows is
    // always what is stored; a refusal keeps it open.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeHeadings();
    void runEditor(int16_t mode, int target, const QString &current, const QString &caption);
    QWidget *buildMapColumn();
    void refreshMapState();
    void showMapNote();

    Services &m_svc;
    ReceiverSetup &m_setup;
    frmEnterFIP *m_enterFip = nullptr;
    QListWidget *m_lstFips = nullptr;
    QWidget *m_headings = nullptr;
    QLabel *m_lblState = nullptr;
    QLabel *m_lblTransmitter = nullptr;
    QPushButton *m_cmdEnterCodes = nullptr;
    QWidget *m_shapeHolder = nullptr;
    QFrame *m_shape1 = nullptr;
    QTimer *m_timer1 = nullptr;
    QPushButton *m_cmdOK = nullptr;
    CountyMapView *m_map = nullptr;
    QLabel *m_lblMapNote = nullptr;
    QLabel *m_lblMapWarning = nullptr;
    QLabel *m_lblGone = nullptr;
    std::unique_ptr<CountyCoverage> m_coverage;
    QString m_coverageFolder;
    bool m_mapPrepared = false;
};
