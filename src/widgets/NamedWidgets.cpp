// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/NamedWidgets.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

namespace Widgets {

QString arrayName(const char *array, int index)
{
    return arrayName(QLatin1String(array), index);
}

QString arrayName(const QString &array, int index)
{
    return QStringLiteral("%1_%2").arg(array).arg(index);
}

QString iconPath(const QString &name)
{
#ifndef NX_WITHOUT_SVG
    return QStringLiteral(":/icons/%1.svg").arg(name);
#else
    return QStringLiteral(":/icons/%1.png").arg(name);
#endif
}

QIcon icon(const QString &name)
{
    return QIcon(iconPath(name));
}

QLabel *picture(QWidget *parent, const QString &iconName, const QString &description, int size)
{
    auto *image = new QLabel(parent);
    image->setObjectName(QStringLiteral("Image1"));
    const QString path = iconPath(iconName);
    QPixmap pm;
    if (QFile::exists(path))
        pm = QIcon(path).pixmap(QSize(size, size));
    if (pm.isNull())
        pm = QApplication::style()->standardIcon(QStyle::SP_FileDialogDetailedView).pixmap(QSize(size, size));
    image->setPixmap(pm);
    image->setFixedSize(size + 4, size + 4);
    image->setAlignment(Qt::AlignCenter);
    // A picture has no text of its own to speak: the name says what it shows.
    image->setAccessibleName(description);
    return image;
}

QFont fixedFont()
{
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    if (QFontInfo(f).fixedPitch())
        return f;
    // The system's fixed font is not installed (a Windows system without
    // Courier New, a stripped-down Linux one): the county list's columns
    // and the sized fields need a font whose letters are all alike, so the
    // first installed family that is one takes its place.
    static const QString family = [] {
        for (const QString &name : QFontDatabase::families())
            if (QFontDatabase::isFixedPitch(name) && !QFontDatabase::isPrivateFamily(name))
                return name;
        return QString();
    }();
    if (!family.isEmpty())
        f.setFamilies({family});
    return f;
}

QLabel *label(QWidget *parent, const QString &name, const QString &text, const QString &description)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    if (!description.isEmpty())
        l->setAccessibleDescription(description);
    return l;
}

QLabel *field(QWidget *parent, const QString &name, const QString &description)
{
    auto *l = label(parent, name, QString(), description);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    l->setTextFormat(Qt::PlainText);
    return l;
}

QLabel *heading(QWidget *parent, const QString &name, const QString &text, QWidget *buddy)
{
    auto *l = label(parent, name, text);
    if (buddy) {
        l->setBuddy(buddy);
        // A label that shows a value keeps its text as its name; the heading
        // becomes its description. Other controls are named by the heading.
        if (qobject_cast<QLabel *>(buddy))
            buddy->setAccessibleDescription(text);
        else
            buddy->setAccessibleName(text);
    }
    return l;
}

QVBoxLayout *instructions(QWidget *parent, const QString &name, const QStringList &lines)
{
    auto *column = new QVBoxLayout;
    column->setSpacing(2);
    for (int i = 0; i < lines.size(); ++i) {
        QLabel *l = label(parent, arrayName(name, i), lines[i], QStringLiteral("Instruction %1").arg(i + 1));
        // A long instruction wraps rather than widen its window past a
        // small screen (or past the screen with a larger font).
        l->setWordWrap(true);
        column->addWidget(l);
    }
    return column;
}

QGroupBox *frame(QWidget *parent, const QString &name, const QString &caption)
{
    auto *box = new QGroupBox(caption, parent);
    box->setObjectName(name);
    box->setAccessibleName(caption.trimmed());
    return box;
}

QCheckBox *checkBox(QWidget *parent, const QString &name, const QString &caption, const QString &context,
                    const QString &separator)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    box->setAccessibleName(context.isEmpty() ? caption.trimmed() : context + separator + caption.trimmed());
    return box;
}

QPushButton *button(QWidget *parent, const QString &name, const QString &caption, int minimumWidth)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAccessibleName(caption);
    if (minimumWidth > 0)
        b->setMinimumWidth(minimumWidth);
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

} // namespace Widgets
