// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/gui/CoverageUi.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QIcon>
#include <QLabel>
#include <QStyle>

namespace CoverageUi {

QFont fixedFont()
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    return f;
}

QLabel *picture(QWidget *parent, const QString &icon, const QString &description)
{
    auto *image = new QLabel(parent);
    image->setObjectName(QStringLiteral("Image1"));
    const QString path = QStringLiteral(":/shell/icons/%1.svg").arg(icon);
    QPixmap pm;
    if (QFile::exists(path))
        pm = QIcon(path).pixmap(QSize(32, 32));
    if (pm.isNull())
        pm = QApplication::style()->standardIcon(QStyle::SP_FileDialogDetailedView).pixmap(QSize(32, 32));
    image->setPixmap(pm);
    image->setFixedSize(36, 36);
    image->setAlignment(Qt::AlignCenter);
    image->setAccessibleName(description);
    return image;
}

QLabel *heading(QWidget *parent, const QString &name, const QString &text, QWidget *buddy)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAccessibleName(text);
    if (buddy) {
        label->setBuddy(buddy);
        buddy->setAccessibleName(text);
    }
    return label;
}

} // namespace CoverageUi
