// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The Windows wave API (winmm: waveOut to play, waveIn to record), in plain
// C++ with no Qt type, so that it builds with the MinGW compiler alone and
// can be tried under Wine by a small console program (tools/wave-loop)
// without a Qt for Windows. SoundCardWin32.cpp puts the program's sound
// card seam on top of it. Windows only (WaveAudioWin32.cpp).
//
// Names are UTF-8, as the system gives them (winmm cuts them at 31
// characters). Nothing here blocks or calls back: the caller asks, from its
// own timer, whether a sound has played out and what has been recorded.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace WaveAudio {

constexpr int DefaultDevice = -1;   // the system's choice (WAVE_MAPPER)
constexpr int NoDevice = -2;

std::vector<std::string> outputNames();
std::vector<std::string> inputNames();
// A device's number by its name: DefaultDevice for "" and "default",
// NoDevice when none is called so.
int outputByName(const std::string &name);
int inputByName(const std::string &name);

// Plays one buffer of signed 16-bit mono samples.
class Player
{
public:
    Player();
    ~Player();
    Player(const Player &) = delete;
    Player &operator=(const Player &) = delete;

    // Opens `device` at `rate` samples/s and queues every sample (copied).
    // False with a reason in `error`.
    bool play(int device, int rate, const int16_t *samples, std::size_t count, std::string *error);
    // True once every sample has been played, or when nothing plays.
    bool done() const;
    // Ends the sound at once and closes the device.
    void stop();

private:
    struct State;
    std::unique_ptr<State> d;
};

// Records signed 16-bit mono samples into a ring of short buffers, which
// the caller empties with take() at least every few hundred milliseconds.
class Recorder
{
public:
    Recorder();
    ~Recorder();
    Recorder(const Recorder &) = delete;
    Recorder &operator=(const Recorder &) = delete;

    // The first of `rates` the device records at; 0 when none.
    static int supportedRate(int device, const std::vector<int> &rates);
    bool open(int device, int rate, std::string *error);
    bool isOpen() const;
    int rate() const;
    // Appends what has been recorded since the last call; false when the
    // device has failed (it is closed then).
    bool take(std::vector<int16_t> &out);
    void close();

private:
    struct State;
    std::unique_ptr<State> d;
};

} // namespace WaveAudio
