// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How the receiver ranks an event: the history view colours rows by it and
// the rear outputs pulse on it.
enum class EventClass : int { Other = 0, Warning = 1, Watch = 2 };

// The colour every alert list gives an event of the class, as 0xRRGGBB:
// warnings red, watches blue, the rest black.
constexpr unsigned EventClassRgb(EventClass cls)
{
    return cls == EventClass::Warning ? 0xff0000u : cls == EventClass::Watch ? 0x0000ffu : 0x000000u;
}
