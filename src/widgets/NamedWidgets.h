// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QIcon>
#include <QString>
#include <QStringList>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QVBoxLayout;
class QWidget;

// The one way windows make their controls. Every control gets its program
// name as objectName (an element of a control array is "<array>_<index>",
// chkRs232_3) and a name that a screen reader speaks.
//
// Labels are the exception to naming: an accessible name set on a QLabel
// hides its text from assistive technology, so a label is never given one.
// A screen reader hears what the label shows; where the text alone does not
// say what it is (a value such as "Ohio"), the label's description does.
namespace Widgets {

QString arrayName(const char *array, int index);
QString arrayName(const QString &array, int index);

// Where a picture of the program's set is: ":/icons/<name>.svg", or
// ":/icons/<name>.png" in a build without Qt Svg (drawn from the same SVG
// when the program is built).
QString iconPath(const QString &name);
// A picture of the program's set (iconPath()).
QIcon icon(const QString &name);
// A window's picture (objectName "Image1"); `description` is what it shows.
QLabel *picture(QWidget *parent, const QString &icon, const QString &description, int size = 32);

// The fixed-pitch font of county, transmitter and state lists.
QFont fixedFont();

// A label that shows `text`; `description` says what it is, when the text
// alone does not.
QLabel *label(QWidget *parent, const QString &name, const QString &text,
              const QString &description = QString());
// A sunken field that shows a value (filled later with setText).
QLabel *field(QWidget *parent, const QString &name, const QString &description);
// A heading above a control; the control (buddy) is named after it, or,
// when it is a label showing a value, described by it.
QLabel *heading(QWidget *parent, const QString &name, const QString &text, QWidget *buddy = nullptr);
// Numbered instruction lines `<name>_0`, `<name>_1`, ... in one column.
QVBoxLayout *instructions(QWidget *parent, const QString &name, const QStringList &lines);

QGroupBox *frame(QWidget *parent, const QString &name, const QString &caption);
// `context` prefixes the spoken name where several boxes share a caption.
QCheckBox *checkBox(QWidget *parent, const QString &name, const QString &caption,
                    const QString &context = QString(), const QString &separator = QStringLiteral(": "));
QPushButton *button(QWidget *parent, const QString &name, const QString &caption, int minimumWidth = 0);
// One option button of an exclusive group; its id in the group is `index`.
// `context` prefixes the spoken name where several groups share captions.
QRadioButton *option(QButtonGroup *group, QWidget *parent, const char *array, int index,
                     const QString &caption, const QString &context = QString());

} // namespace Widgets
