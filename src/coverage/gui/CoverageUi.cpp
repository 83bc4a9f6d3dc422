// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/gui/CoverageUi.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>
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

QVBoxLayout *instructions(QWidget *parent, const QString &name, const QStringList &lines)
{
    auto *column = new QVBoxLayout;
    column->setSpacing(2);
    for (int i = 0; i < lines.size(); ++i) {
        auto *l = new QLabel(lines[i], parent);
        l->setObjectName(QStringLiteral("%1_%2").arg(name).arg(i));
        l->setAccessibleName(QStringLiteral("Instruction %1").arg(i + 1));
        column->addWidget(l);
    }
    return column;
}

} // namespace CoverageUi
