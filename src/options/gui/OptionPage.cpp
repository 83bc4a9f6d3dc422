// SPDX-License-Identifier: GPL-3.0-or-later
#include "options/gui/OptionPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace OptionPage {

QString arrayName(const char *array, int index)
{
    return QStringLiteral("%1_%2").arg(QLatin1String(array)).arg(index);
}

QLabel *picture(QWidget *parent, const QString &icon, const QString &description)
{
    auto *image = new QLabel(parent);
    image->setObjectName(QStringLiteral("Image1"));
    image->setPixmap(QIcon(QStringLiteral(":/options/icons/%1.svg").arg(icon)).pixmap(QSize(32, 32)));
    image->setFixedSize(36, 36);
    image->setAlignment(Qt::AlignCenter);
    image->setAccessibleName(description);
    return image;
}

QGroupBox *frame(QWidget *parent, const QString &name, const QString &caption)
{
    auto *box = new QGroupBox(caption, parent);
    box->setObjectName(name);
    box->setAccessibleName(caption.trimmed());
    return box;
}

QCheckBox *checkBox(QWidget *parent, const QString &name, const QString &caption)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setAccessibleName(caption.trimmed());
    return box;
}

QPushButton *button(QWidget *parent, const QString &name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAccessibleName(caption);
    b->setMinimumWidth(88);
    return b;
}

QRadioButton *option(QButtonGroup *group, QWidget *parent, const char *array, int index,
                     const QString &caption, const QString &context)
{
    auto *b = new QRadioButton(caption, parent);
    b->setObjectName(arrayName(array, index));
    b->setAccessibleName(context.isEmpty() ? caption.trimmed()
                                           : context + QStringLiteral(": ") + caption.trimmed());
    group->addButton(b, index);
    return b;
}

void select(QButtonGroup *group, int index)
{
    if (QAbstractButton *b = group->button(index)) {
        b->setChecked(true);
        return;
    }
    const bool exclusive = group->exclusive();
    group->setExclusive(false);
    for (QAbstractButton *b : group->buttons())
        b->setChecked(false);
    group->setExclusive(exclusive);
}

int selected(const QButtonGroup *group)
{
    for (int i = 0;; ++i) {
        QAbstractButton *b = group->button(i);
        if (!b)
            return -1;
        if (b->isChecked())
            return i;
    }
}

void setGroupEnabled(QButtonGroup *group, bool enabled)
{
    for (QAbstractButton *b : group->buttons())
        b->setEnabled(enabled);
}

} // namespace OptionPage
