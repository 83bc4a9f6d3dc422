// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "coverage/core/SetupCheck.h"

class QPrinter;
class QWidget;
class Services;
struct EventCatalog;
struct ReceiverSetup;

// The alert coverage windows as the main window opens them. The county and
// transmitter windows live (hidden) for the whole run as children of the
// main window, found again by objectName; the event window is rebuilt each
// time it opens.
namespace CoverageCommands {

// Start-up steps 8 to 13: fill the state and frequency lists, load the
// stored state's transmitters and preset the county windows.
void prepareCoverageWindows(Services &services, ReceiverSetup &setup, QWidget *mainWindow);
// The stored setup against the listing in use (services.statesFolder).
SetupCheck::Report checkSetup(const Services &services, const ReceiverSetup &setup);
void openFips(Services &services, ReceiverSetup &setup, QWidget *mainWindow);     // "FIP Codes"
// "Save Map As": the county window's map, as the window would show it, to a
// PNG or SVG file the user names.
void saveMapAs(Services &services, ReceiverSetup &setup, QWidget *mainWindow);
// File > Print Coverage...: the page a site keeps with its receiver (map,
// selected counties and their transmitters, event codes, options) for the
// stored setup, on the default printer after asking, or, with no printer,
// into a PDF file the user names.
void printCoverage(Services &services, const ReceiverSetup &setup, const EventCatalog &catalog);
// The same page on `printer`, a printer or a PDF file alike. False with a
// reason when it could not be printed.
bool printCoveragePage(Services &services, const ReceiverSetup &setup, const EventCatalog &catalog, QPrinter &printer,
                       QString *why = nullptr);
void openEvents(Services &services, ReceiverSetup &setup, const EventCatalog &catalog,
                QWidget *parent);                                                  // "Event Codes"

// File > Update Coverage...: `file` (or, when empty, the one the user picks
// in a file dialog) is read and checked, the summary window shows what it
// changes, and Apply puts it in place of the listing in use. True when
// applied; the county windows then read the new listing.
bool updateCoverage(Services &services, ReceiverSetup &setup, QWidget *mainWindow, const QString &file = QString());
// File > Revert to Shipped Coverage: asks, then removes the imported
// listing. True when the shipped listing is in use afterwards.
bool revertCoverage(Services &services, ReceiverSetup &setup, QWidget *mainWindow);
// "shipped ..." or "imported ...": the listing in use, one line.
QString coverageInUse(const Services &services);

} // namespace CoverageCommands
