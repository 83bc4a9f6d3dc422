// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/gui/SetupCheckLabel.h"

#include "widgets/NamedWidgets.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace SetupCheckLabel {

namespace {

const char *const FullTextProperty = "setupCheckFullText";
const QString SuggestionsHeading = QStringLiteral("Transmitters that cover your counties:");

// The whole list in a box of its own, scrolled when it is long, so the
// banner that opened it can stay three lines high.
void showDetails(QLabel *label)
{
    QDialog box(label->window());
    box.setObjectName(QStringLiteral("dlgSetupCheckDetails"));
    box.setWindowTitle(QStringLiteral("NX-4400C Setup Check"));
    auto *layout = new QVBoxLayout(&box);
    auto *text = new QPlainTextEdit(&box);
    text->setObjectName(QStringLiteral("txtSetupCheckDetails"));
    text->setAccessibleName(QStringLiteral("Setup check details"));
    text->setReadOnly(true);
    text->setPlainText(label->property(FullTextProperty).toString());
    layout->addWidget(text);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, &box);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    layout->addWidget(buttons);
    box.resize(620, 420);
    box.exec();
}

} // namespace

QLabel *make(QWidget *parent, const QString &objectName)
{
    QLabel *l = Widgets::label(parent, objectName, QString(), QStringLiteral("Setup check"));
    l->setWordWrap(true);
    l->setTextFormat(Qt::PlainText);
    // Selectable with the mouse for copying, but no text caret: the banner
    // is not an input field.
    l->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    l->setFocusPolicy(Qt::TabFocus);
    // Its height follows its text (at most MaxLines lines), never the
    // other way round: the window around it keeps its size.
    l->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    QObject::connect(l, &QLabel::linkActivated, l, [l](const QString &) { showDetails(l); });
    l->hide();
    return l;
}

QString fullText(const QLabel *label)
{
    return label->property(FullTextProperty).toString();
}

void show(QLabel *label, const QStringList &lines, bool serious)
{
    const QString all = lines.join(QLatin1Char('\n'));
    label->setProperty(FullTextProperty, all);
    label->setToolTip(lines.size() > MaxLines ? all : QString());
    if (lines.size() <= MaxLines) {
        label->setTextFormat(Qt::PlainText);
        label->setText(all);
    } else {
        // The headline; then the first transmitter suggested instead, the
        // one thing the user can act on, or else the next line; then how
        // much more there is and the way to it.
        QStringList shown{lines.first().toHtmlEscaped()};
        qsizetype used = 1;
        const qsizetype from = lines.indexOf(SuggestionsHeading);
        if (from >= 1 && from + 1 < lines.size()) {
            shown << (SuggestionsHeading + QLatin1Char(' ') + lines.at(from + 1).trimmed()).toHtmlEscaped();
            used += 2;
        } else {
            shown << lines.at(1).toHtmlEscaped();
            used += 1;
        }
        const qsizetype more = lines.size() - used;
        shown << QStringLiteral("%1 more line%2 <a href=\"details\">Details\u2026</a>")
                     .arg(more)
                     .arg(more == 1 ? QString() : QStringLiteral("s"));
        label->setTextFormat(Qt::RichText);
        label->setText(shown.join(QStringLiteral("<br>")));
    }
    label->setStyleSheet(serious ? QStringLiteral("QLabel { color: #8a0000; background: #fff0f0; border: 2px solid #c00000; "
                                                  "padding: 4px; }")
                                 : QStringLiteral("QLabel { color: #4a3a00; background: #fff8dc; border: 1px solid #c8a000; "
                                                  "padding: 4px; }"));
    label->setVisible(!lines.isEmpty());
}

QStringList transmitterLines(const SetupCheck::Report &report)
{
    if (!report.hasSerious() || report.findings.isEmpty())
        return {};
    const SetupCheck::Kind k = report.findings.first().kind;
    if (k != SetupCheck::Kind::TransmitterGone && k != SetupCheck::Kind::TransmitterOutOfService
        && k != SetupCheck::Kind::TransmitterRetuned)
        return {};
    QStringList lines{(k == SetupCheck::Kind::TransmitterGone ? QStringLiteral("Gone: ") : QString())
                      + report.headline()};
    const QStringList all = report.lines();
    const qsizetype from = all.indexOf(SuggestionsHeading);
    if (from >= 0)
        lines += all.mid(from);
    return lines;
}

} // namespace SetupCheckLabel
