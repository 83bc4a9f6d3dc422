// SPDX-License-Identifier: GPL-3.0-or-later
#include "options/gui/frmTimers.h"

#include "options/gui/OptionPage.h"
#include "widgets/NamedWidgets.h"
#include "base/Services.h"
#include "config/core/ReceiverConfig.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace OptionPage;
using namespace Widgets;

namespace {

// The receiver's timer codes: the three minute timers count from 1 (code =
// index + 1), the two delays from 0 (code = index).
constexpr int MinuteCodeBase = 1;
constexpr int DelayCodeBase = 0;

// Button index for a stored code, -1 when the code is outside the group.
int indexForCode(int code, int base, int count)
{
    const int index = code - base;
    return index >= 0 && index < count ? index : -1;
}

} // namespace

frmTimers::frmTimers(Services &services, ReceiverConfig &config, QWidget *parent)
    : QDialog(parent)
    , m_svc(services)
    , m_config(config)
{
    setObjectName(QStringLiteral("frmTimers"));
    setWindowTitle(QStringLiteral(" NX-4400C Timer Settings"));
    setModal(true);

    const QStringList minutes = {
        QStringLiteral("1 Minute"), QStringLiteral("2 Minutes"), QStringLiteral("3 Minutes"),
        QStringLiteral("4 Minutes"), QStringLiteral("5 Minutes"), QStringLiteral("6 Minutes"),
    };
    const QStringList intervals = {
        QStringLiteral("  5 Minute Interval"), QStringLiteral("10 Minute Interval"),
        QStringLiteral("15 Minute Interval"), QStringLiteral("20 Minute Interval"),
        QStringLiteral("25 Minute Interval"), QStringLiteral("30 Minute Interval"),
    };
    const QStringList relay = {
        QStringLiteral("0 Sec"), QStringLiteral("2 Sec"), QStringLiteral("4 Sec"),
        QStringLiteral("6 Sec"), QStringLiteral("8 Sec"),
    };
    const QStringList preVoice = {
        QStringLiteral("No Delay"), QStringLiteral("0.5 Second"), QStringLiteral("1.0 Second"),
        QStringLiteral("1.5 Second"), QStringLiteral("2.0 Second"),
    };

    auto makeGroup = [this](const QString &frameName, const QString &caption, const char *array,
                            const QStringList &captions, QButtonGroup *&group) {
        QGroupBox *box = frame(this, frameName, caption);
        auto *lay = new QVBoxLayout(box);
        group = new QButtonGroup(this);
        group->setObjectName(QLatin1String(array));
        for (int i = 0; i < captions.size(); ++i)
            lay->addWidget(option(group, box, array, i, captions.at(i), caption));
        lay->addStretch(1);
        return box;
    };

    // Frames in the receiver program's order, read left to right, top to
    // bottom; the picture and the buttons take the last cell.
    auto *grid = new QGridLayout(this);
    grid->addWidget(makeGroup(QStringLiteral("fraVoiceDelay"), QStringLiteral("Pre Voice Delay"),
                              "optVoiceDelay", preVoice, m_optVoiceDelay), 0, 0);
    m_fraVoiceTimer = makeGroup(QStringLiteral("fraVoiceTimer"), QStringLiteral("Voice Interval Timer"),
                                "optVoiceTimer", intervals, m_optVoiceTimer);
    grid->addWidget(m_fraVoiceTimer, 0, 1);
    grid->addWidget(makeGroup(QStringLiteral("fraRelayDelay"), QStringLiteral("Relay Activation Delay"),
                              "optRelayDelay", relay, m_optRelayDelay), 0, 2);
    grid->addWidget(makeGroup(QStringLiteral("fraTimeLn"), QStringLiteral("Line Timeout"),
                              "optTimeLn", minutes, m_optTimeLn), 1, 0);
    grid->addWidget(makeGroup(QStringLiteral("fraTimeSp"), QStringLiteral("Speaker Timeout"),
                              "optTimeSp", minutes, m_optTimeSp), 1, 1);

    auto *side = new QVBoxLayout;
    side->addWidget(picture(this, QStringLiteral("timers"), QStringLiteral("Timers")), 0, Qt::AlignHCenter);
    side->addStretch(1);
    QPushButton *ok = button(this, QStringLiteral("cmdOK"), QStringLiteral("OK"), 88);
    ok->setDefault(true);
    QPushButton *cancel = button(this, QStringLiteral("cmdCancel"), QStringLiteral("Cancel"), 88);
    side->addWidget(ok, 0, Qt::AlignRight);
    side->addWidget(cancel, 0, Qt::AlignRight);
    grid->addLayout(side, 1, 2);
    for (int col = 0; col < 3; ++col)
        grid->setColumnStretch(col, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(ok, &QPushButton::clicked, this, &frmTimers::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    GetData();
}

void frmTimers::GetData()
{
    const ReceiverConfig &c = m_config;
    // A code outside its group's range leaves the group without a selection.
    select(m_optTimeSp, indexForCode(c.SpeakerTimeoutTimer, MinuteCodeBase, 6));
    select(m_optTimeLn, indexForCode(c.LineTimeoutTimer, MinuteCodeBase, 6));
    select(m_optVoiceTimer, indexForCode(c.VoiceIntervalTimer, MinuteCodeBase, 6));
    select(m_optVoiceDelay, indexForCode(c.PreVoiceAnnc, DelayCodeBase, 5));
    select(m_optRelayDelay, indexForCode(c.RelayDelayTimer, DelayCodeBase, 5));

    // The interval only matters while announcements go out of the speaker or
    // the line; those switches live on the alert options page, so this is
    // decided once, at opening. The selection stays visible when greyed.
    const bool voice = c.VoiceIntervalSpeaker || c.VoiceIntervalLine;
    m_fraVoiceTimer->setEnabled(voice);
    setGroupEnabled(m_optVoiceTimer, voice);
}

void frmTimers::SaveData()
{
    ReceiverConfig &c = m_config;
    auto save = [](const QButtonGroup *group, int base, int16_t &field) {
        const int index = selected(group);
        if (index >= 0)
            field = int16_t(index + base);
    };
    // A group without a selection keeps its code ...
    save(m_optTimeSp, MinuteCodeBase, c.SpeakerTimeoutTimer);
    save(m_optTimeLn, MinuteCodeBase, c.LineTimeoutTimer);
    save(m_optVoiceTimer, MinuteCodeBase, c.VoiceIntervalTimer);
    save(m_optVoiceDelay, DelayCodeBase, c.PreVoiceAnnc);
    // ... except the relay delay, which falls back to no delay.
    const int relay = selected(m_optRelayDelay);
    c.RelayDelayTimer = int16_t(relay >= 0 ? relay + DelayCodeBase : 0);
}

void frmTimers::cmdOK_Click()
{
    SaveData();
    accept();
}
