// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QString>

class QLabel;
class QWidget;

// Small helpers shared by the coverage windows.
namespace CoverageUi {

// Form positions were laid out in twips, 15 to a pixel at 96 dpi.
constexpr int tw(int twips) { return (twips + 7) / 15; }

// The fixed-pitch font of the county, transmitter and state lists.
QFont fixedFont();

// Image k of the main window's toolbar picture list ("fips", "events") as a
// window's Image1; a stock picture stands in when the main window's pictures
// are not part of the program (tests).
QLabel *picture(QWidget *parent, const QString &icon, const QString &description);

// A heading label above a control; the buddy gets the heading as its
// accessible name.
QLabel *heading(QWidget *parent, const QString &name, const QString &text, QWidget *buddy = nullptr);

} // namespace CoverageUi
