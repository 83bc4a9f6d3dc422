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
// Shows `lines` (hidden when empty), in red for a serious finding.
void show(QLabel *label, const QStringList &lines, bool serious);
// The lines the county and transmitter windows show: only when the stored
// transmitter is gone, off the air or retuned; "Gone: " before the headline
// of a transmitter that is gone, then the transmitters suggested instead.
QStringList transmitterLines(const SetupCheck::Report &report);

} // namespace SetupCheckLabel
