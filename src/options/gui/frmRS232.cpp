// SPDX-License-Identifier: GPL-3.0-or-later
#include "options/gui/frmRS232.h"

#include "options/gui/OptionPage.h"
#include "widgets/NamedWidgets.h"
#include "base/Services.h"
#include "config/core/ReceiverConfig.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>

using namespace OptionPage;
using namespace Widgets;

namespace {

// Box i drives bit i of the NV800C byte. The receiver's ETX and EOT options
// sit on bits 0x40 and 0x80, whose keys are Spare800C_1 and Spare800C_2;
// the keys named EndingETX and EndingEOT drive bits 0x10 and 0x20, which
// the receiver does not use ("Not assigned.").
std::array<bool *, 8> rs232Flags(ReceiverConfig &c)
{
    return {&c.SendPacketRs232, &c.BeginSOH, &c.InsertSTX, &c.AppendTrailingCrlf,
            &c.EndingETX, &c.EndingEOT, &c.Spare800C_1, &c.Spare800C_2};
}

} // namespace

frmRS232::frmRS232(Services &services, ReceiverConfig &config, QWidget *parent)
    : QDialog(parent)
    , m_svc(services)
    , m_config(config)
{
    setObjectName(QStringLiteral("frmRS232"));
    setWindowTitle(QStringLiteral("RS232 Rear Port Options"));
    setModal(true);

    static const char *const captions[8] = {
        "Send weather data packet out the rear RS232 port.",
        "Begin transmission with SOH before packet header.",
        "Insert STX after packet header.",
        "Append CRLF after sending data variables.",
        "Not assigned.",
        "Not assigned.",
        "Finish data transmission with ETX.",
        "End completed transmission with EOT.",
    };

    QGroupBox *box = frame(this, QStringLiteral("fraRs232"), QStringLiteral("Rear Panel RS-232 Port Options"));
    auto *lay = new QVBoxLayout(box);
    auto *framing = new QVBoxLayout;
    framing->setContentsMargins(20, 0, 0, 0);
    for (int i = 0; i < 8; ++i) {
        m_chkRs232[i] = checkBox(box, arrayName("chkRs232", i), QString::fromLatin1(captions[i]));
        // The two unassigned boxes share a caption; tell them apart by bit.
        if (i == 4 || i == 5)
            m_chkRs232[i]->setAccessibleName(QStringLiteral("Not assigned (bit %1)").arg(i));
        (i == 0 ? lay : framing)->addWidget(m_chkRs232[i]);
    }
    lay->addLayout(framing);

    auto *side = new QVBoxLayout;
    side->addWidget(picture(this, QStringLiteral("rs232"), QStringLiteral("RS232")), 0, Qt::AlignHCenter);
    side->addSpacing(8);
    m_cmdOk = button(this, QStringLiteral("cmdOk"), QStringLiteral("OK"), 88);
    m_cmdOk->setDefault(true);
    side->addWidget(m_cmdOk);
    side->addStretch(1);

    auto *top = new QHBoxLayout(this);
    top->addWidget(box, 1);
    top->addLayout(side);
    top->setSizeConstraint(QLayout::SetFixedSize);

    for (QCheckBox *b : m_chkRs232)
        connect(b, &QCheckBox::toggled, this, &frmRS232::applyEnabling);
    connect(m_cmdOk, &QPushButton::clicked, this, &frmRS232::cmdOK_Click);

    GetData();
}

void frmRS232::GetData()
{
    const std::array<bool *, 8> flags = rs232Flags(m_config);
    for (int i = 0; i < 8; ++i)
        m_chkRs232[i]->setChecked(*flags[size_t(i)]);
    applyEnabling();
}

void frmRS232::SaveData()
{
    // Greyed framing boxes are saved as shown, so the framing choices
    // survive while sending is switched off.
    const std::array<bool *, 8> flags = rs232Flags(m_config);
    for (int i = 0; i < 8; ++i)
        *flags[size_t(i)] = m_chkRs232[i]->checkState() != Qt::Unchecked;
}

void frmRS232::applyEnabling()
{
    const bool sending = m_chkRs232[0]->checkState() == Qt::Checked;
    for (int i = 1; i < 8; ++i)
        m_chkRs232[i]->setEnabled(sending);
}

void frmRS232::cmdOK_Click()
{
    SaveData();
    accept();
}

void frmRS232::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_cmdOk->setFocus();
}
