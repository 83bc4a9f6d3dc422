// SPDX-License-Identifier: GPL-3.0-or-later
#include "options/gui/frmInOuts.h"

#include "options/gui/OptionPage.h"
#include "widgets/NamedWidgets.h"
#include "base/Services.h"
#include "config/core/ReceiverConfig.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <array>

using namespace OptionPage;
using namespace Widgets;

namespace {

const char *const InputCaptions[8] = {
    "Activate receiver on all alerts.",
    "Activate receiver on programmed Watches and Warning alerts only.",
    "Activate receiver on programmed Warning alerts only.",
    "Cancel any active alerts.",
    "Skip voice announcements.",
    "Force voice interval announcement.",
    "Spare",
    "Spare",
};

const char *const OutputCaptions[8] = {
    "With All Decoded Events.",
    "With Watch or Warning Decoded Events.",
    "With Watch Decoded Events. ",
    "With Warning Decoded Events. ",
    "With Non Watch or Warning Decoded Events.",
    "Spare.",
    "Spare.",
    "Spare.",
};

const char *const RaiseCaptions[5] = {
    "Upon match of FIP code and Event code.",
    "After the two second start pulse.",
    "After the relay timer has expired.",
    "At the beginning of the voice synthesizer announcement.",
    "At the beginning of the weather alert announcement.",
};

const char *const TrailCaptions[3] = {
    "Upon receiving termination packet or Line time-out timer has expired.",
    "When the active alert terminates.",
    "Spare",
};

struct Connector {
    const char *tab;
    const char *frameName;
    const char *frameCaption;
    const char *check;
    const char *checkCaption;
    const char *array;
    const char *const *captions;
};

// Inputs 1 and 2, outputs 1 and 2, in the order of m_inUse / m_group.
const Connector Connectors[4] = {
    {"Input #1", "fraRear1", "Rear Connector Input #1  [When grounded]", "chkActive1",
     "Use rear connector Input #1", "optRear1", InputCaptions},
    {"Input #2", "fraRear2", "Rear Connector Input #2  [When grounded]", "chkActive2",
     "Use rear connector Input #2", "optRear2", InputCaptions},
    {"Output #1", "fraTab1", " One Second Output#1 Pulse After Start Pulse ", "chkOut1",
     "Use rear connector Oitput #1", "optTab1", OutputCaptions},
    {"Output #2", "fraTab2", " One Second Output#2 Pulse After Start Pulse ", "chkOut2",
     "Use rear connector Oitput #2", "optTab2", OutputCaptions},
};

using Run = std::array<bool *, 8>;

Run inputFlags(RearInputFlags &f, bool &spare1, bool &spare2)
{
    return {&f.AcceptAllAlerts, &f.WatchAndWarningOnly, &f.WarningOnly, &f.CancelAlert,
            &f.SkipVoiceAnnc, &f.ForceVocInterval, &spare1, &spare2};
}

Run outputFlags(RearOutputFlags &f, bool &spare1, bool &spare2, bool &spare3)
{
    return {&f.PulseAll, &f.PulseWatchWarning, &f.PulseWatch, &f.PulseWarning,
            &f.PulseNonWatchWarning, &spare1, &spare2, &spare3};
}

// The eight flags behind each of the four connector groups, in button order.
std::array<Run, 4> connectorFlags(ReceiverConfig &c)
{
    return {inputFlags(c.NV8009, c.Spare8009_1, c.Spare8009_2),
            inputFlags(c.NV800A, c.Spare800A_1, c.Spare800A_2),
            outputFlags(c.NV800D, c.Spare800D_1, c.Spare800D_2, c.Spare800D_3),
            outputFlags(c.NV800E, c.Spare800E_1, c.Spare800E_2, c.Spare800E_3)};
}

std::array<bool *, 5> raiseFlags(ReceiverConfig &c)
{
    return {&c.HighTrigCodeMatch, &c.HighTrigAfterStart, &c.HighTrigAfterRelayTimer,
            &c.HighTrigBeginSynVoice, &c.HighTrigBeginWxReport};
}

std::array<bool *, 3> trailFlags(ReceiverConfig &c)
{
    return {&c.LowTrigEndPacket, &c.LowTrigAlertEnd, &c.Spare800F_1};
}

template <size_t N>
int firstTrueOf(const std::array<bool *, N> &flags)
{
    for (size_t i = 0; i < N; ++i)
        if (*flags[i])
            return int(i);
    return -1;
}

} // namespace

frmInOuts::frmInOuts(Services &services, ReceiverConfig &config, QWidget *parent)
    : QDialog(parent)
    , m_svc(services)
    , m_config(config)
{
    setObjectName(QStringLiteral("frmInOuts"));
    setWindowTitle(QStringLiteral(" NX-4400C Hardware Inputs and Outputs"));
    setModal(true);

    m_SSTab1 = new QTabWidget(this);
    m_SSTab1->setObjectName(QStringLiteral("SSTab1"));
    m_SSTab1->setAccessibleName(QStringLiteral("Rear connector"));

    for (int k = 0; k < 4; ++k) {
        const Connector &con = Connectors[k];
        auto *page = new QWidget(m_SSTab1);
        page->setObjectName(arrayName("SSTab1", k));
        auto *pageLay = new QVBoxLayout(page);
        QGroupBox *box = frame(page, QLatin1String(con.frameName), QLatin1String(con.frameCaption));
        auto *lay = new QVBoxLayout(box);
        m_inUse[k] = checkBox(box, QLatin1String(con.check), QLatin1String(con.checkCaption));
        lay->addWidget(m_inUse[k]);
        auto *buttons = new QVBoxLayout;
        buttons->setContentsMargins(20, 4, 0, 0);
        m_group[k] = new QButtonGroup(this);
        m_group[k]->setObjectName(QLatin1String(con.array));
        const QString context = QString::fromLatin1(con.tab);
        int spare = 0;
        for (int i = 0; i < 8; ++i) {
            QRadioButton *b = option(m_group[k], box, con.array, i, QLatin1String(con.captions[i]), context);
            // The spare buttons share a caption; tell them apart by number,
            // as the receiver's spare flags are numbered.
            if (QLatin1String(con.captions[i]).startsWith(QLatin1String("Spare")))
                b->setAccessibleName(QStringLiteral("%1: Spare %2").arg(context).arg(++spare));
            buttons->addWidget(b);
        }
        lay->addLayout(buttons);
        lay->addStretch(1);
        pageLay->addWidget(box);
        m_SSTab1->addTab(page, QLatin1String(con.tab));
        connect(m_inUse[k], &QCheckBox::toggled, this, &frmInOuts::InitButtons);
    }

    // Output 3 always has one rising and one trailing trigger: no in-use box.
    auto *page3 = new QWidget(m_SSTab1);
    page3->setObjectName(arrayName("SSTab1", 4));
    auto *page3Lay = new QVBoxLayout(page3);
    QGroupBox *raise = frame(page3, QStringLiteral("fraTab3Raise"), QStringLiteral(" Raising Edge "));
    auto *raiseLay = new QVBoxLayout(raise);
    m_optTab3Raise = new QButtonGroup(this);
    m_optTab3Raise->setObjectName(QStringLiteral("optTab3Raise"));
    for (int i = 0; i < 5; ++i)
        raiseLay->addWidget(option(m_optTab3Raise, raise, "optTab3Raise", i, QLatin1String(RaiseCaptions[i]),
                                   QStringLiteral("Raising Edge")));
    QGroupBox *trail = frame(page3, QStringLiteral("fraTab3Trail"), QStringLiteral(" Trailing Edge "));
    auto *trailLay = new QVBoxLayout(trail);
    m_optTab3Trail = new QButtonGroup(this);
    m_optTab3Trail->setObjectName(QStringLiteral("optTab3Trail"));
    for (int i = 0; i < 3; ++i)
        trailLay->addWidget(option(m_optTab3Trail, trail, "optTab3Trail", i, QLatin1String(TrailCaptions[i]),
                                   QStringLiteral("Trailing Edge")));
    page3Lay->addWidget(raise);
    page3Lay->addWidget(trail);
    page3Lay->addStretch(1);
    m_SSTab1->addTab(page3, QStringLiteral("Output #3"));

    auto *side = new QVBoxLayout;
    side->addWidget(picture(this, QStringLiteral("inputs"), QStringLiteral("Inputs")), 0, Qt::AlignHCenter);
    side->addSpacing(8);
    QPushButton *ok = button(this, QStringLiteral("cmdOK"), QStringLiteral("OK"), 88);
    ok->setDefault(true);
    QPushButton *cancel = button(this, QStringLiteral("cmdCancel"), QStringLiteral("Cancel"), 88);
    side->addWidget(ok);
    side->addWidget(cancel);
    side->addStretch(1);

    auto *top = new QHBoxLayout(this);
    top->addWidget(m_SSTab1, 1);
    top->addLayout(side);
    top->setSizeConstraint(QLayout::SetFixedSize);

    connect(ok, &QPushButton::clicked, this, &frmInOuts::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    m_SSTab1->setCurrentIndex(0);
    GetData();
}

void frmInOuts::GetData()
{
    ReceiverConfig &c = m_config;
    // The store may hold several true flags in one group; the first wins,
    // and an input or output with no true flag is not in use.
    const std::array<Run, 4> runs = connectorFlags(c);
    for (int k = 0; k < 4; ++k) {
        const int index = firstTrueOf(runs[k]);
        select(m_group[k], index);
        m_inUse[k]->setChecked(index >= 0);
    }
    select(m_optTab3Raise, firstTrueOf(raiseFlags(c)));
    select(m_optTab3Trail, firstTrueOf(trailFlags(c)));
    InitButtons();
}

void frmInOuts::SaveData()
{
    ReceiverConfig &c = m_config;
    // Every flag of the five sections, spares included, is cleared first, so
    // each group ends with at most one true flag.
    const std::array<Run, 4> runs = connectorFlags(c);
    for (const Run &run : runs)
        for (bool *f : run)
            *f = false;
    for (bool *f : raiseFlags(c))
        *f = false;
    for (bool *f : trailFlags(c))
        *f = false;

    // A connector whose in-use box is clear stays all false, whatever its
    // greyed buttons still show.
    for (int k = 0; k < 4; ++k) {
        if (m_inUse[k]->checkState() != Qt::Checked)
            continue;
        const int index = selected(m_group[k]);
        if (index >= 0)
            *runs[k][size_t(index)] = true;
    }
    const int raise = selected(m_optTab3Raise);
    if (raise >= 0)
        *raiseFlags(c)[size_t(raise)] = true;
    const int trail = selected(m_optTab3Trail);
    if (trail >= 0)
        *trailFlags(c)[size_t(trail)] = true;
}

void frmInOuts::InitButtons()
{
    for (int k = 0; k < 4; ++k)
        setGroupEnabled(m_group[k], m_inUse[k]->checkState() == Qt::Checked);
}

void frmInOuts::cmdOK_Click()
{
    SaveData();
    accept();
}
