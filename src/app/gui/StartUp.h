// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class AppContext;
class NX4400C;

// Runs the start-up sequence: configuration, catalogue, parameter file,
// coverage windows, the splash for about two seconds, then the main window
// and the tip. Every step runs even when an earlier one failed. Returns the
// main window, shown.
NX4400C *StartUp(AppContext &ctx);
