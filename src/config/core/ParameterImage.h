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
