// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/SetupCheck.h"

class QLabel;
class QWidget;

// The line that shows what the setup check found: in the main window, and
// in the county and transmitter windows beside the stored transmitter. It is
// a plain label, so a screen reader reads its text; its description says
// what the text is about.
namespace SetupCheckLabel {

QLabel *make(QWidget *parent, const QString &objectName);
// Shows `lines` (hidden when empty), in red for a serious finding. A long
// list (one line per affected county) would push the window off the
// screen: past MaxLines the label shows the first lines, how many more
// there are and a "Details…" link that opens the whole list in a box.
inline constexpr int MaxLines = 3;
void show(QLabel *label, const QStringList &lines, bool serious);
// Everything last shown, also the lines the label leaves out.
QString fullText(const QLabel *label);
// The lines the county and transmitter windows show: only when the stored
// transmitter is gone, off the air or retuned; "Gone: " before the headline
// of a transmitter that is gone, then the transmitters suggested instead.
QStringList transmitterLines(const SetupCheck::Report &report);

} // namespace SetupCheckLabel
