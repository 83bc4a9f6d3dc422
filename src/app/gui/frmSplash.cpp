// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/gui/frmSplash.h"
#include "widgets/NamedWidgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QIcon>
#include <QPixmap>
#include <QVBoxLayout>

frmSplash::frmSplash(QWidget *parent)
    : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setAutoFillBackground(true);
    setStyleSheet(QStringLiteral("frmSplash { background: white; border: 2px solid #1d4f91; }"));

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(24, 24, 24, 24);
    row->setSpacing(24);
    auto *image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(Widgets::icon(QStringLiteral("receiver")).pixmap(QSize(160, 120)));
    image->setAccessibleName(QStringLiteral("NX-4400C receiver"));
    row->addWidget(image);

    auto *col = new QVBoxLayout;
    auto add = [&](const QString &name, const QString &text, int pt, bool bold) {
        auto *l = new QLabel(text, this);
        l->setObjectName(name);
        QFont f = l->font();
        f.setPointSize(pt);
        f.setBold(bold);
        l->setFont(f);
        l->setAccessibleName(text);
        col->addWidget(l);
    };
    add(QStringLiteral("lblProduct"), QStringLiteral("NX-4400C SAME Receiver"), 20, true);
    add(QStringLiteral("lblCompany"), QStringLiteral("Norvale, Inc."), 14, false);
    col->addSpacing(12);
    add(QStringLiteral("lblContact_0"), QStringLiteral("www.norvale.com"), 10, false);
    add(QStringLiteral("lblContact_1"), QStringLiteral("Tel. (800) 555-0144"), 10, false);
    add(QStringLiteral("lblContact_2"), QStringLiteral("Fort Lauderdale, Florida"), 10, false);
    col->addStretch(1);
    row->addLayout(col);
}
