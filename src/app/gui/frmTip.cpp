// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/gui/frmTip.h"

#include "app/AppContext.h"
#include "app/gui/HelpViewer.h"
#include "widgets/NamedWidgets.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

QString frmTip::TipText()
{
    // The transmitters change with NOAA's listing, which the editor loads
    // itself (File > Update Coverage...); the maker's web site has no
    // newer database to offer.
    const QString br = QStringLiteral("\r\n");
    return QStringLiteral("Your NX-4400C contains a database of weather transmitters")
           + QStringLiteral(" throughout the United States and it's Territories.  Since these stations are")
           + QStringLiteral(" upgraded, deleted, or added by NOAA every few months,  remember to periodically"
                            " update it:")
           + br + br
           + QStringLiteral(" Download NOAA's county coverage listing (CCL.js or its CSV) and load it with")
           + QStringLiteral(" \"File\", \"Update Coverage...\". The editor shows what changed and checks your setup.");
}

frmTip::frmTip(AppContext &ctx, QWidget *mainWindow)
    : QDialog(mainWindow), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmTip"));
    setWindowTitle(QStringLiteral("NX-4400C Information Tip"));
    setAccessibleName(windowTitle());
    setAttribute(Qt::WA_DeleteOnClose);
    if (mainWindow)
        m_mnuTipsShow = mainWindow->findChild<QAction *>(QStringLiteral("mnuTipsShow"));

    auto *picture = new QLabel;
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setAccessibleName(QStringLiteral("Tip"));
    picture->setPixmap(Widgets::icon(QStringLiteral("help")).pixmap(QSize(48, 48)));
    picture->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto *heading = new QLabel(QStringLiteral("Information Tip For You To Know..."));
    heading->setObjectName(QStringLiteral("Label1"));
    heading->setAccessibleName(heading->text());
    QFont f = heading->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() + 2);
    heading->setFont(f);

    auto *tip = new QLabel;
    tip->setObjectName(QStringLiteral("lblTipText"));
    tip->setWordWrap(true);
    tip->setTextInteractionFlags(Qt::TextSelectableByMouse);
    tip->setMinimumWidth(380);
    tip->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    tip->setFrameShape(QFrame::StyledPanel);
    tip->setMargin(8);

    m_chk = new QCheckBox(QStringLiteral("&Show Tip at Startup"));
    m_chk->setObjectName(QStringLiteral("chkLoadTipsAtStartup"));
    m_chk->setAccessibleName(QStringLiteral("Show Tip at Startup"));
    auto *ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setAccessibleName(QStringLiteral("OK"));
    ok->setDefault(true);
    ok->setMinimumWidth(90);

    auto *text = new QVBoxLayout;
    text->addWidget(heading);
    text->addWidget(tip, 1);
    auto *top = new QHBoxLayout;
    top->addWidget(picture);
    top->addLayout(text, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_chk);
    bottom->addStretch(1);
    bottom->addWidget(ok);
    auto *root = new QVBoxLayout(this);
    root->addLayout(top, 1);
    root->addLayout(bottom);

    connect(ok, &QPushButton::clicked, this, &frmTip::cmdOK_Click);
    // The box and the menu item are one setting: a change to either shows
    // in the other at once.
    connect(m_chk, &QCheckBox::toggled, this, &frmTip::setShowTips);
    if (m_mnuTipsShow)
        connect(m_mnuTipsShow, &QAction::toggled, this, [this](bool on) {
            const QSignalBlocker block(m_chk);
            m_chk->setChecked(on);
        });

    m_show = m_ctx.config.ShowTipsAtStartup;
    if (m_show) {
        const QSignalBlocker block(m_chk);
        m_chk->setChecked(true);
        tip->setText(TipText().replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        tip->setAccessibleDescription(QStringLiteral("Tip text"));
    }
    if (m_mnuTipsShow)
        m_mnuTipsShow->setChecked(m_show);
}

void frmTip::setShowTips(bool show)
{
    m_ctx.config.ShowTipsAtStartup = show;
    if (m_mnuTipsShow)
        m_mnuTipsShow->setChecked(show);
}

void frmTip::cmdOK_Click()
{
    setShowTips(m_chk->isChecked());
    close();
}

void frmTip::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (QWidget *ok = findChild<QWidget *>(QStringLiteral("cmdOK")))
        ok->setFocus();
}
