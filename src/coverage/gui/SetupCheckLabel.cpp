// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/gui/SetupCheckLabel.h"

#include "widgets/NamedWidgets.h"

#include <QLabel>

namespace SetupCheckLabel {

QLabel *make(QWidget *parent, const QString &objectName)
{
    QLabel *l = Widgets::label(parent, objectName, QString(), QStringLiteral("Setup check"));
    l->setWordWrap(true);
    l->setTextFormat(Qt::PlainText);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    l->setFocusPolicy(Qt::TabFocus);
    l->hide();
    return l;
}

void show(QLabel *label, const QStringList &lines, bool serious)
{
    label->setText(lines.join(QLatin1Char('\n')));
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
    const qsizetype from = all.indexOf(QStringLiteral("Transmitters that cover your counties:"));
    if (from >= 0)
        lines += all.mid(from);
    return lines;
}

} // namespace SetupCheckLabel
