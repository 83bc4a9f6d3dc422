// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>

class AppContext;

// The 511-byte parameter image the receiver is programmed with.
void PackParameterBlock(AppContext &ctx);   // bytes 0..31
void PackCoverageLists(AppContext &ctx);    // bytes 32..510
uint8_t EncodeIdCharacter(const QString &character);
// Sum of image bytes 0..510 modulo 256: the byte sent after the image.
uint8_t ImageChecksum(const AppContext &ctx);

namespace ParameterImage {
constexpr int StationIdLengthByte = 16;
constexpr int MaxStationIdLength = 15;
constexpr int CountyListFirst = 32;
constexpr int CountyListLast = 207;
constexpr int CountyItemSize = 7;     // six digits and "-"
constexpr int EventListFirst = 208;
constexpr int EventListLast = 510;
constexpr int EventItemSize = 4;      // three letters and "-"
constexpr int ImageLength = 511;      // bytes 0..510 are sent
} // namespace ParameterImage
