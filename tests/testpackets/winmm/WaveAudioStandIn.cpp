// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in of the Windows wave API (WaveAudio) for testing the Windows
// sound card adapter (SoundCardWin32.cpp) on Linux: devices, playing and
// recording as the test scripts them (WaveAudioStandIn.h).
#include "WaveAudioStandIn.h"

namespace StandIn {
std::vector<std::string> outputs, inputs;
std::vector<int> rates;                 // what inputs record at
bool openFails = false;
int lastDevice = -100, lastRate = 0;
std::size_t lastCount = 0;
bool playDone = false;
bool recorderFails = false;
std::vector<int16_t> pending;           // handed out by the next take()
} // namespace StandIn

namespace WaveAudio {

std::vector<std::string> outputNames() { return StandIn::outputs; }
std::vector<std::string> inputNames() { return StandIn::inputs; }

static int byName(const std::vector<std::string> &names, const std::string &name)
{
    if (name.empty() || name == "default")
        return DefaultDevice;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == name)
            return int(i);
    return NoDevice;
}

int outputByName(const std::string &name) { return byName(StandIn::outputs, name); }
int inputByName(const std::string &name) { return byName(StandIn::inputs, name); }

struct Player::State {
    bool open = false;
};
Player::Player() : d(std::make_unique<State>()) {}
Player::~Player() = default;

bool Player::play(int device, int rate, const int16_t *, std::size_t count, std::string *error)
{
    StandIn::lastDevice = device;
    StandIn::lastRate = rate;
    StandIn::lastCount = count;
    if (StandIn::openFails) {
        *error = "the sound output did not open: stand-in refused";
        return false;
    }
    d->open = true;
    StandIn::playDone = false;
    return true;
}

bool Player::done() const { return !d->open || StandIn::playDone; }
void Player::stop() { d->open = false; }

struct Recorder::State {
    bool open = false;
    int rate = 0;
};
Recorder::Recorder() : d(std::make_unique<State>()) {}
Recorder::~Recorder() = default;

int Recorder::supportedRate(int, const std::vector<int> &rates)
{
    for (int r : rates)
        for (int s : StandIn::rates)
            if (r == s)
                return r;
    return 0;
}

bool Recorder::open(int device, int rate, std::string *error)
{
    StandIn::lastDevice = device;
    if (StandIn::openFails) {
        *error = "the sound input did not open: stand-in refused";
        return false;
    }
    d->open = true;
    d->rate = rate;
    return true;
}

bool Recorder::isOpen() const { return d->open; }
int Recorder::rate() const { return d->rate; }

bool Recorder::take(std::vector<int16_t> &out)
{
    if (!d->open)
        return false;
    out.insert(out.end(), StandIn::pending.begin(), StandIn::pending.end());
    StandIn::pending.clear();
    if (StandIn::recorderFails) {
        d->open = false;
        return false;
    }
    return true;
}

void Recorder::close() { d->open = false; d->rate = 0; }

} // namespace WaveAudio
