// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/gui/frmEvent.h"

#include "coverage/core/EventCatalog.h"
#include "coverage/gui/CoverageUi.h"
#include "widgets/NamedWidgets.h"
#include "base/Services.h"
#include "config/core/ReceiverSetup.h"
#include "coverage/core/EventCatalog.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

using CoverageUi::tw;

namespace {

constexpr int FormWidth = 9255;
constexpr int FormHeight = 5070;
// The window frame and title take about this much of the form height.
constexpr int FrameAllowance = 420;
constexpr int PanelLeft = 120;
constexpr int PanelTop = 120;
constexpr int PanelWidth = 8895;
constexpr int PanelHeight = 3735;

QGroupBox *makeFrame(QWidget *parent, const QString &caption, int left, int top, int width, int height)
{
    QGroupBox *frame = Widgets::frame(parent, QStringLiteral("fra") + QString(caption).remove(QLatin1Char(' ')).remove(QLatin1Char('-')),
                                      caption);
    frame->setGeometry(tw(left), tw(top), tw(width), tw(height));
    return frame;
}

QCheckBox *makeBox(QWidget *frame, const QString &name, const QString &caption, const QString &context,
                   int left, int top, int width)
{
    QCheckBox *box = Widgets::checkBox(frame, name, caption, context, QStringLiteral(" "));
    box->setGeometry(tw(left), tw(top), tw(width), tw(240));
    return box;
}

} // namespace

frmEvent::frmEvent(Services &services, ReceiverSetup &setup, const EventCatalog &catalog, QWidget *parent)
    : QDialog(parent)
    , m_svc(services)
    , m_setup(setup)
    , m_catalog(catalog)
{
    setObjectName(QStringLiteral("frmEvent"));
    setModal(true);
    setFixedSize(tw(FormWidth), tw(FormHeight - FrameAllowance));

    m_picture1 = new QFrame(this);
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    m_picture1->setAccessibleName(QStringLiteral("Page 1"));
    m_picture2 = new QFrame(this);
    m_picture2->setObjectName(QStringLiteral("Picture2"));
    m_picture2->setAccessibleName(QStringLiteral("Page 2"));
    for (QFrame *p : {m_picture1, m_picture2})
        p->setGeometry(tw(PanelLeft), tw(PanelTop), tw(PanelWidth), tw(PanelHeight));

    m_boxes.resize(catalog.rows.size());
    buildPage1();
    buildPage2();

    const int stripTop = PanelTop + PanelHeight + 150;
    auto *image = Widgets::picture(this, QStringLiteral("events"), QStringLiteral("Event codes"));
    image->move(tw(240), tw(stripTop) - 4);

    m_lblCount = Widgets::label(this, QStringLiteral("lblCount"), QString(), QStringLiteral("Events selected"));
    m_lblCount->setGeometry(tw(960), tw(stripTop), tw(3600), tw(375));

    const char *const pages[] = {"Page 1", "Page 2"};
    for (int i = 0; i < 2; ++i) {
        auto *button = new QPushButton(QString::fromLatin1(pages[i]), this);
        button->setObjectName(QStringLiteral("cmdSelect_%1").arg(i));
        button->setAccessibleName(QString::fromLatin1(pages[i]));
        button->setAutoDefault(false);
        button->setGeometry(tw(4800 + i * 1320), tw(stripTop), tw(1215), tw(375));
        connect(button, &QPushButton::clicked, this, [this, i] { cmdSelect_Click(i); });
    }
    m_cmdOK = new QPushButton(QStringLiteral("OK"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setAccessibleName(QStringLiteral("OK"));
    m_cmdOK->setDefault(true);
    m_cmdOK->setGeometry(tw(7680), tw(stripTop), tw(1215), tw(375));
    connect(m_cmdOK, &QPushButton::clicked, this, &frmEvent::cmdOK_Click);

    // Form_Load
    setWindowTitle(QStringLiteral(" NX-4400C Event Codes. Page 1"));
    SelectPage(0);
    GetEvents();
    // No event processing here: the window is not modal yet, and a second
    // click on the toolbar button would open a second window inside this one.
    CountSelectedEvents();
}

void frmEvent::buildPage1()
{
    // Twelve hazards in a grid of four columns and three rows; each holds its
    // watch above its warning. The last cell holds the two spare boxes.
    const int lefts[] = {240, 2400, 4560, 6720};
    const int tops[] = {120, 1320, 2520};
    const QVector<EventCatalogEntry> &rows = m_catalog.rows;
    QStringList groups;   // page-1 groups in catalogue order = grid cells
    QVector<QGroupBox *> frames;
    for (int i = 0; i < rows.size(); ++i) {
        const EventCatalogEntry &row = rows.at(i);
        if (row.page != 1)
            continue;
        int cell = int(groups.indexOf(row.group));
        if (cell < 0) {
            cell = int(groups.size());
            groups << row.group;
            frames << makeFrame(m_picture1, row.group, lefts[cell % 4], tops[(cell / 4) % 3], 1935, 852);
        }
        const int top = row.caption == QLatin1String("Watch") ? 240 : 480;
        auto *box = makeBox(frames.at(cell), QStringLiteral("chk") + row.EventCode, row.caption, row.group, 360,
                            top, 1500);
        m_boxes[i] = box;
        connect(box, &QCheckBox::toggled, this, [this, box](bool on) { onCountedToggled(box, on); });
    }
    // The spare boxes belong to no code; they count nothing and store nothing.
    QGroupBox *spare = makeFrame(m_picture1, QStringLiteral("Spare"), lefts[3], tops[2], 1935, 852);
    makeBox(spare, QStringLiteral("chkSpare1"), QStringLiteral("Watch"), QStringLiteral("Spare"), 360, 240, 1500);
    makeBox(spare, QStringLiteral("chkSpare2"), QStringLiteral("Warning"), QStringLiteral("Spare"), 360, 480, 1500);
}

void frmEvent::buildPage2()
{
    struct Group {
        const char *caption;
        int left, top, width, height;
    };
    const Group groups[] = {
        {"Misc Warnings", 240, 0, 4335, 3615},
        {"Emergency - Statements - Messages", 4800, 0, 3855, 2055},
        {"Misc Events", 4800, 2040, 3855, 1575},
    };
    const QVector<EventCatalogEntry> &rows = m_catalog.rows;
    for (const Group &g : groups) {
        const QString caption = QString::fromLatin1(g.caption);
        QGroupBox *frame = makeFrame(m_picture2, caption, g.left, g.top, g.width, g.height);
        int top = 240;
        for (int i = 0; i < rows.size(); ++i) {
            const EventCatalogEntry &row = rows.at(i);
            if (row.page != 2 || row.group != caption)
                continue;
            auto *box = makeBox(frame, QStringLiteral("chk") + row.EventCode, row.caption, QString(), 240, top,
                                g.width - 360);
            m_boxes[i] = box;
            connect(box, &QCheckBox::toggled, this, [this, box](bool on) { onCountedToggled(box, on); });
            top += 240;
        }
    }
}

QCheckBox *frmEvent::box(const QString &code) const
{
    const QVector<EventCatalogEntry> &rows = m_catalog.rows;
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.at(i).EventCode == code)
            return m_boxes.value(i);
    }
    return nullptr;
}

bool frmEvent::MatchOk(const QString &EventCode) const
{
    return EventSelectionRules::MatchOk(m_setup.EventSelection, EventCode);
}

void frmEvent::GetEvents()
{
    const QVector<EventCatalogEntry> &rows = m_catalog.rows;
    for (int i = 0; i < rows.size(); ++i) {
        if (QCheckBox *b = m_boxes.value(i))
            b->setChecked(MatchOk(rows.at(i).EventCode));
    }
}

void frmEvent::SelectPage(int16_t PageNum)
{
    if (PageNum == 0) {
        m_picture2->hide();
        m_picture1->move(tw(PanelLeft), tw(PanelTop));
        m_picture1->show();
    } else if (PageNum == 1) {
        m_picture1->hide();
        m_picture2->move(tw(PanelLeft), tw(PanelTop));
        m_picture2->show();
    }
}

int16_t frmEvent::CountSelectedEvents()
{
    int16_t count = 0;
    for (QCheckBox *b : std::as_const(m_boxes)) {
        if (b && b->isChecked())
            ++count;
    }
    m_lblCount->setText(QStringLiteral("Events Selected = ") + QString::number(count) + QStringLiteral("   (Max 48)"));
    return count;
}

void frmEvent::StoreEvents()
{
    if (CountSelectedEvents() > EventSelectionRules::MaxSelected)
        return;
    QStringList checked;
    const QVector<EventCatalogEntry> &rows = m_catalog.rows;
    for (int i = 0; i < rows.size(); ++i) {
        if (QCheckBox *b = m_boxes.value(i); b && b->isChecked())
            checked << rows.at(i).EventCode;
    }
    EventSelectionRules::StoreEventCodes(m_setup.EventSelection, checked);
}

void frmEvent::onCountedToggled(QCheckBox *box, bool on)
{
    // Counted on the box's change, whatever changed it: a click, a key, or
    // an assistive tool's toggle action, which changes the box without a
    // click. Unticking the refused box recounts through here.
    if (CountSelectedEvents() > EventSelectionRules::MaxSelected && on) {
        box->setChecked(false);
        m_svc.prompter().beep();
    }
}

void frmEvent::cmdSelect_Click(int index)
{
    SelectPage(int16_t(index));
    setWindowTitle(QStringLiteral(" NX-4400C Event Codes. Page ") + QString::number(index + 1));
}

void frmEvent::cmdOK_Click()
{
    StoreEvents();
    accept();
}

void frmEvent::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Form_Activate
    setFixedSize(tw(FormWidth), tw(FormHeight - FrameAllowance));
    m_cmdOK->setFocus();
}
