// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <array>
#include <cstdint>

struct ReceiverConfig;
struct ReceiverSetup;

// The program-wide image: bytes 0..510 go to the receiver, byte 511 never does.
using ParameterImageBytes = std::array<uint8_t, 512>;

// The 511-byte parameter image the receiver is programmed with.
void PackParameterBlock(const ReceiverConfig &config, ParameterImageBytes &image);   // bytes 0..31
void PackCoverageLists(const ReceiverSetup &setup, ParameterImageBytes &image);      // bytes 32..510
uint8_t EncodeIdCharacter(const QString &character);
// Sum of image bytes 0..510 modulo 256: the byte sent after the image.
uint8_t ImageChecksum(const ParameterImageBytes &image);

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
