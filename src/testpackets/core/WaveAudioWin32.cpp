// SPDX-License-Identifier: GPL-3.0-or-later
#include "testpackets/core/WaveAudio.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <mmsystem.h>

#include <array>

namespace WaveAudio {

namespace {

std::string utf8(const wchar_t *text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return {};
    std::string out(std::size_t(n - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

std::string reason(MMRESULT r, bool input)
{
    wchar_t text[MAXERRORLENGTH] = {};
    const MMRESULT got = input ? waveInGetErrorTextW(r, text, MAXERRORLENGTH)
                               : waveOutGetErrorTextW(r, text, MAXERRORLENGTH);
    return got == MMSYSERR_NOERROR ? utf8(text) : "error " + std::to_string(r);
}

WAVEFORMATEX monoFormat(int rate)
{
    WAVEFORMATEX f = {};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 1;
    f.nSamplesPerSec = DWORD(rate);
    f.wBitsPerSample = 16;
    f.nBlockAlign = 2;
    f.nAvgBytesPerSec = DWORD(rate) * 2;
    return f;
}

UINT deviceId(int device)
{
    return device < 0 ? WAVE_MAPPER : UINT(device);
}

int byName(const std::vector<std::string> &names, const std::string &name)
{
    if (name.empty() || name == "default")
        return DefaultDevice;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == name)
            return int(i);
    return NoDevice;
}

} // namespace

std::vector<std::string> outputNames()
{
    std::vector<std::string> names;
    const UINT n = waveOutGetNumDevs();
    for (UINT i = 0; i < n; ++i) {
        WAVEOUTCAPSW caps = {};
        names.push_back(waveOutGetDevCapsW(i, &caps, sizeof caps) == MMSYSERR_NOERROR ? utf8(caps.szPname)
                                                                                       : std::string());
    }
    return names;
}

std::vector<std::string> inputNames()
{
    std::vector<std::string> names;
    const UINT n = waveInGetNumDevs();
    for (UINT i = 0; i < n; ++i) {
        WAVEINCAPSW caps = {};
        names.push_back(waveInGetDevCapsW(i, &caps, sizeof caps) == MMSYSERR_NOERROR ? utf8(caps.szPname)
                                                                                      : std::string());
    }
    return names;
}

int outputByName(const std::string &name)
{
    return byName(outputNames(), name);
}

int inputByName(const std::string &name)
{
    return byName(inputNames(), name);
}

// ---- Playing ----------------------------------------------------------------

struct Player::State {
    HWAVEOUT out = nullptr;
    WAVEHDR header = {};
    std::vector<int16_t> samples;   // what the header points at, until closed
};

Player::Player() : d(std::make_unique<State>()) {}

Player::~Player()
{
    stop();
}

bool Player::play(int device, int rate, const int16_t *samples, std::size_t count, std::string *error)
{
    stop();
    WAVEFORMATEX format = monoFormat(rate);
    MMRESULT r = waveOutOpen(&d->out, deviceId(device), &format, 0, 0, CALLBACK_NULL);
    if (r != MMSYSERR_NOERROR) {
        d->out = nullptr;
        if (error)
            *error = "the sound output did not open: " + reason(r, false);
        return false;
    }
    d->samples.assign(samples, samples + count);
    d->header = {};
    d->header.lpData = reinterpret_cast<LPSTR>(d->samples.data());
    d->header.dwBufferLength = DWORD(d->samples.size() * sizeof(int16_t));
    r = waveOutPrepareHeader(d->out, &d->header, sizeof d->header);
    if (r == MMSYSERR_NOERROR)
        r = waveOutWrite(d->out, &d->header, sizeof d->header);
    if (r != MMSYSERR_NOERROR) {
        if (error)
            *error = "the sound output refused the sound: " + reason(r, false);
        stop();
        return false;
    }
    return true;
}

bool Player::done() const
{
    return !d->out || (d->header.dwFlags & WHDR_DONE);
}

void Player::stop()
{
    if (!d->out)
        return;
    // Reset hands the buffer back at once, played or not.
    waveOutReset(d->out);
    if (d->header.dwFlags & WHDR_PREPARED)
        waveOutUnprepareHeader(d->out, &d->header, sizeof d->header);
    waveOutClose(d->out);
    d->out = nullptr;
    d->header = {};
    d->samples.clear();
}

// ---- Recording --------------------------------------------------------------

namespace {
// Eight buffers of 50 ms: 400 ms for the caller to come back, which a
// timer of a few tens of milliseconds always does.
constexpr int Buffers = 8;
constexpr int BufferMs = 50;
} // namespace

struct Recorder::State {
    HWAVEIN in = nullptr;
    int rate = 0;
    std::array<WAVEHDR, Buffers> headers{};
    std::array<std::vector<int16_t>, Buffers> buffers;
    int next = 0;                    // the buffer the device fills first
};

Recorder::Recorder() : d(std::make_unique<State>()) {}

Recorder::~Recorder()
{
    close();
}

int Recorder::supportedRate(int device, const std::vector<int> &rates)
{
    for (int rate : rates) {
        WAVEFORMATEX format = monoFormat(rate);
        if (waveInOpen(nullptr, deviceId(device), &format, 0, 0, WAVE_FORMAT_QUERY) == MMSYSERR_NOERROR)
            return rate;
    }
    return 0;
}

bool Recorder::open(int device, int rate, std::string *error)
{
    close();
    WAVEFORMATEX format = monoFormat(rate);
    MMRESULT r = waveInOpen(&d->in, deviceId(device), &format, 0, 0, CALLBACK_NULL);
    if (r != MMSYSERR_NOERROR) {
        d->in = nullptr;
        if (error)
            *error = "the sound input did not open: " + reason(r, true);
        return false;
    }
    d->rate = rate;
    d->next = 0;
    for (int i = 0; i < Buffers && r == MMSYSERR_NOERROR; ++i) {
        d->buffers[i].assign(std::size_t(rate) * BufferMs / 1000, 0);
        WAVEHDR &h = d->headers[i];
        h = {};
        h.lpData = reinterpret_cast<LPSTR>(d->buffers[i].data());
        h.dwBufferLength = DWORD(d->buffers[i].size() * sizeof(int16_t));
        r = waveInPrepareHeader(d->in, &h, sizeof h);
        if (r == MMSYSERR_NOERROR)
            r = waveInAddBuffer(d->in, &h, sizeof h);
    }
    if (r == MMSYSERR_NOERROR)
        r = waveInStart(d->in);
    if (r != MMSYSERR_NOERROR) {
        if (error)
            *error = "the sound input did not start: " + reason(r, true);
        close();
        return false;
    }
    return true;
}

bool Recorder::isOpen() const
{
    return d->in != nullptr;
}

int Recorder::rate() const
{
    return d->rate;
}

bool Recorder::take(std::vector<int16_t> &out)
{
    if (!d->in)
        return false;
    // The device fills the buffers in the order they were added.
    for (int seen = 0; seen < Buffers; ++seen) {
        WAVEHDR &h = d->headers[d->next];
        if (!(h.dwFlags & WHDR_DONE))
            break;
        const auto *s = reinterpret_cast<const int16_t *>(h.lpData);
        out.insert(out.end(), s, s + h.dwBytesRecorded / sizeof(int16_t));
        h.dwFlags &= ~DWORD(WHDR_DONE);
        h.dwBytesRecorded = 0;
        if (waveInAddBuffer(d->in, &h, sizeof h) != MMSYSERR_NOERROR) {
            close();
            return false;
        }
        d->next = (d->next + 1) % Buffers;
    }
    return true;
}

void Recorder::close()
{
    if (!d->in)
        return;
    waveInReset(d->in);   // every buffer comes back marked done
    for (WAVEHDR &h : d->headers)
        if (h.dwFlags & WHDR_PREPARED)
            waveInUnprepareHeader(d->in, &h, sizeof h);
    waveInClose(d->in);
    d->in = nullptr;
    d->rate = 0;
}

} // namespace WaveAudio
