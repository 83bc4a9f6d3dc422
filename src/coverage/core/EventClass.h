// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How the receiver ranks an event: the history view colours rows by it and
// the rear outputs pulse on it.
enum class EventClass : int { Other = 0, Warning = 1, Watch = 2 };
