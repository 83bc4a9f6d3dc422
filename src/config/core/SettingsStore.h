// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class AppContext;

// Moves ReceiverConfig between memory and the settings store (application
// "NX4400C", sections EDITOR, NV8007..NV800F, TIMERS; 88 keys).
void LoadConfiguration(AppContext &ctx);
// Returns false when the store could not be written (the exit goes on).
bool SaveConfiguration(AppContext &ctx);
