// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Layout units shared by the coverage windows.
namespace CoverageUi {

// Form positions were laid out in twips. At 12 twips to a pixel (a little
// larger than the classic 15) the check boxes keep clear of the group box
// captions, which today's styles draw above the frame rather than on it.
constexpr int TwipsPerPixel = 12;
constexpr int tw(int twips) { return (twips + TwipsPerPixel / 2) / TwipsPerPixel; }

} // namespace CoverageUi
