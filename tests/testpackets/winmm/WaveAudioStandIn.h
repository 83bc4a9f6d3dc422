// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "testpackets/core/WaveAudio.h"

// What the stand-in of the wave API offers and saw (see WaveAudioStandIn.cpp).
namespace StandIn {
extern std::vector<std::string> outputs, inputs;
extern std::vector<int> rates;
extern bool openFails;
extern int lastDevice, lastRate;
extern std::size_t lastCount;
extern bool playDone;
extern bool recorderFails;
extern std::vector<int16_t> pending;
} // namespace StandIn
