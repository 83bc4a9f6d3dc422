// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QVBoxLayout;

#include <QFont>
#include <QString>

class QLabel;
class QWidget;

// Small helpers shared by the coverage windows.
namespace CoverageUi {

// Form positions were laid out in twips. At 12 twips to a pixel (a little
// larger than the classic 15) the check boxes keep clear of the group box
// captions, which today's styles draw above the frame rather than on it.
constexpr int TwipsPerPixel = 12;
constexpr int tw(int twips) { return (twips + TwipsPerPixel / 2) / TwipsPerPixel; }

// The fixed-pitch font of the county, transmitter and state lists.
QFont fixedFont();

// Image k of the main window's toolbar picture list ("fips", "events") as a
// window's Image1; a stock picture stands in when the main window's pictures
// are not part of the program (tests).
QLabel *picture(QWidget *parent, const QString &icon, const QString &description);

// A heading label above a control; the buddy gets the heading as its
// accessible name.
QLabel *heading(QWidget *parent, const QString &name, const QString &text, QWidget *buddy = nullptr);

// The numbered instruction lines under a window's controls, as labels
// `<name>_0`, `<name>_1`, ... in one column.
QVBoxLayout *instructions(QWidget *parent, const QString &name, const QStringList &lines);

} // namespace CoverageUi
