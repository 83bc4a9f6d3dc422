// SPDX-License-Identifier: GPL-3.0-or-later
#include "options/gui/frmOption.h"

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
#include <QVBoxLayout>

using namespace OptionPage;
using namespace Widgets;

frmOption::frmOption(Services &services, ReceiverConfig &config, QWidget *parent)
    : QDialog(parent)
    , m_svc(services)
    , m_config(config)
{
    setObjectName(QStringLiteral("frmOption"));
    setWindowTitle(QStringLiteral(" NX-4400C Options"));
    setModal(true);

    static const char *const frontPanel[5] = {
        "Upon receiving an alert, activate the receiver speaker",
        "Upon receiving an alert, activate PTT and line output audio",
        "Upon receiving an alert, activate the LED on the front panel",
        "Permit front panel monitor switch to activate speaker audio",
        "Permit front panel monitor switch to activate line audio output",
    };
    static const char *const overrideOpt[3] = {
        "Accept all FIP codes",
        "Accept all Event Codes",
        "Ignore the Termination Data Packet",
    };
    static const char *const vocInt[3] = {
        "Permit voice interval announcements and ID out speaker",
        "Permit voice interval announcements and ID out line",
        "Limit Monthly/Weekly Test to 15 Minutes Max.",
    };
    static const char *const vocOpt[3] = {
        "Permit announcements on all decoded events.",
        "Permit announcements on Warnings and Watches only.",
        "Permit announcements on Warnings only.",
    };

    auto *frames = new QVBoxLayout;

    // The frames stand top to bottom in the receiver program's order.
    QGroupBox *received = frame(this, QStringLiteral("fraReceivedAlert"), QStringLiteral(" Received Alert Options "));
    auto *receivedLay = new QVBoxLayout(received);
    for (int i = 0; i < 3; ++i) {
        m_chkFrontPanel[i] = checkBox(received, arrayName("chkFrontPanel", i), QString::fromLatin1(frontPanel[i]));
        receivedLay->addWidget(m_chkFrontPanel[i]);
    }
    frames->addWidget(received);

    QGroupBox *voice = frame(this, QStringLiteral("fraVoiceInterval"), QStringLiteral(" Voice Interval Options "));
    auto *voiceLay = new QVBoxLayout(voice);
    m_vocGroup = new QButtonGroup(this);
    m_vocGroup->setObjectName(QStringLiteral("optVocInt"));
    // Created in screen order, which is also the keyboard's Tab order.
    for (int i = 0; i < 2; ++i) {
        m_chkVocInt[i] = checkBox(voice, arrayName("chkVocInt", i), QString::fromLatin1(vocInt[i]));
        voiceLay->addWidget(m_chkVocInt[i]);
    }
    // The announcement choice and the test limit belong under the two
    // switches that make them meaningful; indent them a little.
    auto *voiceSub = new QVBoxLayout;
    voiceSub->setContentsMargins(20, 0, 0, 0);
    for (int i = 0; i < 3; ++i) {
        m_optVocInt[i] = option(m_vocGroup, voice, "optVocInt", i, QString::fromLatin1(vocOpt[i]));
        voiceSub->addWidget(m_optVocInt[i]);
    }
    m_chkVocInt[2] = checkBox(voice, arrayName("chkVocInt", 2), QString::fromLatin1(vocInt[2]));
    voiceSub->addWidget(m_chkVocInt[2]);
    voiceLay->addLayout(voiceSub);
    frames->addWidget(voice);

    QGroupBox *overrides = frame(this, QStringLiteral("fraOverride"), QStringLiteral(" Override Options "));
    auto *overrideLay = new QVBoxLayout(overrides);
    for (int i = 0; i < 3; ++i) {
        m_chkOverride[i] = checkBox(overrides, arrayName("chkOverride", i), QString::fromLatin1(overrideOpt[i]));
        overrideLay->addWidget(m_chkOverride[i]);
    }
    frames->addWidget(overrides);

    QGroupBox *panel = frame(this, QStringLiteral("fraFrontPanel"), QStringLiteral(" Front Panel Switch Options "));
    auto *panelLay = new QVBoxLayout(panel);
    for (int i = 3; i < 5; ++i) {
        m_chkFrontPanel[i] = checkBox(panel, arrayName("chkFrontPanel", i), QString::fromLatin1(frontPanel[i]));
        panelLay->addWidget(m_chkFrontPanel[i]);
    }
    frames->addWidget(panel);

    auto *side = new QVBoxLayout;
    side->addWidget(picture(this, QStringLiteral("options"), QStringLiteral("Options")), 0, Qt::AlignHCenter);
    side->addSpacing(8);
    m_cmdOk = button(this, QStringLiteral("cmdOk"), QStringLiteral("OK"), 88);
    m_cmdOk->setDefault(true);
    QPushButton *cancel = button(this, QStringLiteral("cmdCancel"), QStringLiteral("Cancel"), 88);
    side->addWidget(m_cmdOk);
    side->addWidget(cancel);
    side->addStretch(1);

    auto *top = new QHBoxLayout(this);
    top->addLayout(frames, 1);
    top->addLayout(side);
    top->setSizeConstraint(QLayout::SetFixedSize);

    for (QCheckBox *box : m_chkVocInt)
        connect(box, &QCheckBox::toggled, this, &frmOption::applyEnabling);
    connect(m_cmdOk, &QPushButton::clicked, this, &frmOption::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    // Every opening builds the page afresh, so loading here shows the record
    // as it stands now. Loading only once (not at every activation) keeps
    // the user's edits when the page regains focus.
    GetData();
}

void frmOption::GetData()
{
    const ReceiverConfig &c = m_config;
    const bool frontPanel[5] = {c.SpeakerActive, c.LineActive, c.AlertLedActive, c.ForceOnSpeaker, c.ForceOnLine};
    const bool overrideOpt[3] = {c.AcceptAllFips, c.AcceptAllEvents, c.IgnoreTerminationPacket};
    const bool vocInt[3] = {c.VoiceIntervalSpeaker, c.VoiceIntervalLine, c.VocTruncateTest};
    for (int i = 0; i < 5; ++i)
        m_chkFrontPanel[i]->setChecked(frontPanel[i]);
    for (int i = 0; i < 3; ++i)
        m_chkOverride[i]->setChecked(overrideOpt[i]);
    for (int i = 0; i < 3; ++i)
        m_chkVocInt[i]->setChecked(vocInt[i]);
    select(m_vocGroup, firstTrue({c.VocAllEvents, c.VocWarningsWatch, c.VocWarnings}));
    applyEnabling();
}

void frmOption::SaveData()
{
    ReceiverConfig &c = m_config;
    // Greyed boxes are saved as shown.
    bool *frontPanel[5] = {&c.SpeakerActive, &c.LineActive, &c.AlertLedActive, &c.ForceOnSpeaker, &c.ForceOnLine};
    bool *overrideOpt[3] = {&c.AcceptAllFips, &c.AcceptAllEvents, &c.IgnoreTerminationPacket};
    bool *vocInt[3] = {&c.VoiceIntervalSpeaker, &c.VoiceIntervalLine, &c.VocTruncateTest};
    for (int i = 0; i < 5; ++i)
        *frontPanel[i] = m_chkFrontPanel[i]->checkState() != Qt::Unchecked;
    for (int i = 0; i < 3; ++i)
        *overrideOpt[i] = m_chkOverride[i]->checkState() != Qt::Unchecked;
    for (int i = 0; i < 3; ++i)
        *vocInt[i] = m_chkVocInt[i]->checkState() != Qt::Unchecked;

    // With no announcement choice selected the three flags stay as they are.
    const int choice = selected(m_vocGroup);
    if (choice >= 0) {
        c.VocAllEvents = choice == 0;
        c.VocWarningsWatch = choice == 1;
        c.VocWarnings = choice == 2;
    }
}

void frmOption::applyEnabling()
{
    const bool on = m_chkVocInt[0]->isChecked() || m_chkVocInt[1]->isChecked();
    for (QRadioButton *b : m_optVocInt)
        b->setEnabled(on);
    m_chkVocInt[2]->setEnabled(on);
}

void frmOption::cmdOK_Click()
{
    SaveData();
    accept();
}

void frmOption::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_cmdOk->setFocus();
}
