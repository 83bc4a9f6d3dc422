// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/gui/frmAbout.h"

#include "diagnostics/gui/frmDataDump.h"
#include "app/AppContext.h"
#include "base/Messages.h"
#include "app/gui/HelpViewer.h"
#include "app/gui/SysInfo.h"
#include "coverage/gui/CoverageCommands.h"
#include "widgets/NamedWidgets.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLabel *makeLabel(const QString &name, const QString &text, int pointDelta, bool bold)
{
    auto *l = new QLabel(text);
    l->setObjectName(name);
    l->setAccessibleName(text);
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() + pointDelta);
    f.setBold(bold);
    l->setFont(f);
    return l;
}

} // namespace

frmAbout::frmAbout(AppContext &ctx, QWidget *parent)
    : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QString());   // the box has no caption text
    setAccessibleName(QStringLiteral("About NX-4400C"));
    setModal(true);

    auto *image = new QLabel;
    image->setObjectName(QStringLiteral("Image1"));
    image->setAccessibleName(QStringLiteral("NX-4400C receiver"));
    image->setPixmap(Widgets::icon(QStringLiteral("receiver")).pixmap(QSize(128, 96)));
    image->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto *text = new QVBoxLayout;
    text->setSpacing(4);
    text->addWidget(makeLabel(QStringLiteral("Label2_6"), QStringLiteral("SAME Digital Weather Receiver"), 2, true));
    text->addWidget(makeLabel(QStringLiteral("Label2_2"), QStringLiteral("NX-4400C"), 6, true));
    text->addWidget(makeLabel(QStringLiteral("Label2_0"), QStringLiteral("Norvale, Inc."), 2, false));
    text->addSpacing(8);
    m_label1 = makeLabel(QStringLiteral("Label1"), QString(), 0, false);
    m_label3 = makeLabel(QStringLiteral("Label3"), QString(), 0, false);
    text->addWidget(m_label1);
    text->addWidget(m_label3);
    m_lblCoverage = makeLabel(QStringLiteral("lblCoverage"), QString(), -1, false);
    m_lblCoverage->setWordWrap(true);
    text->addWidget(m_lblCoverage);
    text->addSpacing(8);
    text->addWidget(makeLabel(QStringLiteral("lblContact_0"), WebLinks::VendorWebAddress(), 0, false));
    text->addWidget(makeLabel(QStringLiteral("lblContact_1"), QStringLiteral("Tel. (800) 555-0144"), 0, false));
    text->addWidget(makeLabel(QStringLiteral("lblContact_2"), QStringLiteral("Fort Lauderdale, Florida"), 0, false));
    text->addStretch(1);

    auto *top = new QHBoxLayout;
    top->setSpacing(18);
    top->addWidget(image);
    top->addLayout(text, 1);

    auto *line = new QFrame;
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    QLabel *notice = makeLabel(QStringLiteral("lblNotice"),
                               QStringLiteral("This program is free software under the GNU General Public "
                                              "License, version 3 or later. It comes with no warranty."),
                               -1, false);
    notice->setWordWrap(true);

    auto *ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("cmdOk"));
    ok->setAccessibleName(QStringLiteral("OK"));
    ok->setDefault(true);
    auto *sysInfo = new QPushButton(QStringLiteral("System Info"));
    sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    sysInfo->setAccessibleName(QStringLiteral("System Info"));
    sysInfo->setAutoDefault(false);
    m_cmdDump = new QPushButton(QStringLiteral("Data Dump"));
    m_cmdDump->setObjectName(QStringLiteral("cmdDump"));
    m_cmdDump->setAccessibleName(QStringLiteral("Data Dump"));
    m_cmdDump->setAutoDefault(false);
    m_cmdDump->setVisible(false);
    for (QPushButton *b : {ok, sysInfo, m_cmdDump})
        b->setMinimumWidth(100);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdDump);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(sysInfo);

    auto *root = new QVBoxLayout(this);
    root->addLayout(top);
    root->addWidget(line);
    root->addWidget(notice);
    root->addLayout(buttons);
    setMinimumWidth(480);

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(sysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    connect(m_cmdDump, &QPushButton::clicked, this, &frmAbout::cmdDump_Click);
    Form_Activate();
}

frmAbout::~frmAbout()
{
    // The Data Dump button is offered on one opening only.
    m_ctx.ShowDumpButton = false;
}

QString frmAbout::EditorVersionText(const QString &version)
{
    // "Windows Editor" is what the program is called on Windows; elsewhere
    // it would name a system the user does not run.
#ifdef Q_OS_WIN
    return QStringLiteral("Windows Editor Version ") + version;
#else
    return QStringLiteral("Editor Version ") + version;
#endif
}

void frmAbout::Form_Activate()
{
    m_cmdDump->setVisible(m_ctx.ShowDumpButton);
    m_label1->setText(EditorVersionText(m_ctx.config.EditorVersion));
    m_label3->setText(QStringLiteral("Receiver Firmware Version ") + m_ctx.config.ReceiverVersion);
    m_lblCoverage->setText(QStringLiteral("Coverage: ") + CoverageCommands::coverageInUse(m_ctx));
    m_lblCoverage->setAccessibleName(m_lblCoverage->text());
    m_label1->setAccessibleName(m_label1->text());
    m_label3->setAccessibleName(m_label3->text());
}

void frmAbout::showEvent(QShowEvent *event)
{
    Form_Activate();
    QDialog::showEvent(event);
}

bool frmAbout::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate)
        Form_Activate();
    return QDialog::event(event);
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo(m_ctx, this);
}

void frmAbout::cmdDump_Click()
{
    frmDataDump dump(m_ctx.session(), m_ctx.config, this);
    // Contact takes up to two seconds while the window stays live; a second
    // click must not start a second contact.
    m_cmdDump->setEnabled(false);
    const bool contact = dump.MakeContact();
    m_cmdDump->setEnabled(true);
    if (contact) {
        dump.exec();
        return;
    }
    m_ctx.prompter().ask(Messages::FatalTitle, QStringLiteral("Serial Connection Fail..."),
                         Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}
