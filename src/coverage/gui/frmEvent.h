// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QVector>

#include <cstdint>

class Services;
struct EventCatalog;
struct ReceiverSetup;
class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;

// The event selection window: one check box per catalogue code on two pages,
// a running count, and on OK the selection rewritten in catalogue order. The
// window is rebuilt from the stored selection each time it opens.
class frmEvent : public QDialog
{
    Q_OBJECT

public:
    frmEvent(Services &services, ReceiverSetup &setup, const EventCatalog &catalog, QWidget *parent = nullptr);

    // Sets the 47 counted boxes from the selection.
    void GetEvents();
    // Whether the code stands in selection slots 0 to 47.
    bool MatchOk(const QString &EventCode) const;
    // Shows page PageNum + 1 (0 or 1); any other value changes nothing.
    void SelectPage(int16_t PageNum);
    // Counts the checked counted boxes and shows the count.
    int16_t CountSelectedEvents();
    // Rewrites the selection from the boxes (refused above 48).
    void StoreEvents();

    // The check box of a catalogue code; nullptr for a code without one.
    QCheckBox *box(const QString &code) const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildPage1();
    void buildPage2();
    void onCountedToggled(QCheckBox *box, bool on);
    void cmdSelect_Click(int index);
    void cmdOK_Click();

    Services &m_svc;
    ReceiverSetup &m_setup;
    const EventCatalog &m_catalog;
    QFrame *m_picture1 = nullptr;
    QFrame *m_picture2 = nullptr;
    QLabel *m_lblCount = nullptr;
    QPushButton *m_cmdOK = nullptr;
    // In catalogue order, one per catalogue row.
    QVector<QCheckBox *> m_boxes;
};
