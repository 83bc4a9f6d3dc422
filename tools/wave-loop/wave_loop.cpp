// SPDX-License-Identifier: GPL-3.0-or-later
// nx-wave-loop: tries the Windows wave API backend (WaveAudio) on its own,
// without Qt: lists the sound devices, records from an input while it plays
// a SAME header (AFSK, 520 5/6 bit/s, mark 2083 1/3 Hz, space 1562.5 Hz) on
// an output, then finds the header in what it recorded. Built with the
// MinGW compiler alone (scripts/wine-sound-loop.sh) and run under Wine with
// a PulseAudio null sink whose monitor is the default input.
//
//   nx-wave-loop [--list] [--output NAME] [--input NAME] [--save FILE]
//
// --save writes what was recorded as raw signed 16-bit mono samples at
// 22,050 samples/s (for multimon-ng -t raw -a EAS, or a look at it).
//
// Exit status: 0 the header came back exact, 1 it did not (or a device
// failed), 2 a usage error.
#include "testpackets/core/WaveAudio.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int Rate = 22050;
constexpr double Baud = 3125.0 / 6.0;
constexpr double Mark = 4 * Baud;          // 2083 1/3 Hz, a one
constexpr double Space = 3 * Baud;         // 1562.5 Hz, a zero
constexpr double Pi = 3.14159265358979323846;
const char Header[] = "ZCZC-WXR-RWT-012099+0015-2141530-NX4400C -";

// Sixteen preamble bytes, then the header, least significant bit first,
// with the phase carried across bits.
std::vector<int16_t> afsk(const std::string &text, double level)
{
    std::string bytes(16, char(0xAB));
    bytes += text;
    std::vector<int16_t> out(Rate / 2, 0);   // half a second of silence first
    double phase = 0;
    const double perBit = Rate / Baud;
    double due = 0;
    for (unsigned char c : bytes)
        for (int bit = 0; bit < 8; ++bit) {
            const double f = (c >> bit) & 1 ? Mark : Space;
            due += perBit;
            while (double(out.size()) - Rate / 2 < due) {
                phase += 2 * Pi * f / Rate;
                out.push_back(int16_t(std::lround(std::sin(phase) * level * 32767)));
            }
        }
    out.insert(out.end(), Rate / 2, 0);
    return out;
}

double tone(const std::vector<int16_t> &x, double start, double len, double f)
{
    double re = 0, im = 0;
    const auto from = std::size_t(start);
    for (std::size_t i = from; i < from + std::size_t(len) && i < x.size(); ++i) {
        re += x[i] * std::cos(2 * Pi * f * double(i) / Rate);
        im += x[i] * std::sin(2 * Pi * f * double(i) / Rate);
    }
    return re * re + im * im;
}

// The text after the preamble: the sound starts where the recording first
// gets loud; the bit boundaries are searched for around there.
std::string decode(const std::vector<int16_t> &x)
{
    const double perBit = Rate / Baud;
    const auto window = std::size_t(perBit);
    double loudest = 0;
    std::vector<double> power;
    for (std::size_t i = 0; i + window < x.size(); i += window) {
        double e = 0;
        for (std::size_t j = i; j < i + window; ++j)
            e += double(x[j]) * x[j];
        power.push_back(e / double(window));
        loudest = std::max(loudest, power.back());
    }
    std::size_t onset = 0;
    while (onset < power.size() && power[onset] < loudest / 16)
        ++onset;
    const double first = double(onset) * double(window);
    for (double start = std::max(0.0, first - 2 * perBit); start < first + 2 * perBit; start += 2) {
        std::string text;
        double at = start;
        for (int byte = 0; byte < 16 + int(sizeof Header) && at + 8 * perBit < double(x.size()); ++byte) {
            int c = 0;
            for (int bit = 0; bit < 8; ++bit, at += perBit)
                if (tone(x, at, perBit, Mark) > tone(x, at, perBit, Space))
                    c |= 1 << bit;
            text += char(c);
        }
        const std::size_t z = text.find("ZCZC");
        if (z != std::string::npos && text.compare(z, std::strlen(Header), Header) == 0)
            return text.substr(z, std::strlen(Header));
    }
    return {};
}

int list()
{
    std::printf("outputs:\n");
    for (const std::string &n : WaveAudio::outputNames())
        std::printf("  %s\n", n.c_str());
    std::printf("inputs:\n");
    for (const std::string &n : WaveAudio::inputNames())
        std::printf("  %s\n", n.c_str());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::string output, input, save;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--list")
            return list();
        if (a == "--output" && i + 1 < argc)
            output = argv[++i];
        else if (a == "--input" && i + 1 < argc)
            input = argv[++i];
        else if (a == "--save" && i + 1 < argc)
            save = argv[++i];
        else {
            std::fprintf(stderr, "usage: nx-wave-loop [--list] [--output NAME] [--input NAME] [--save FILE]\n");
            return 2;
        }
    }
    list();
    const int out = WaveAudio::outputByName(output), in = WaveAudio::inputByName(input);
    if (out == WaveAudio::NoDevice || in == WaveAudio::NoDevice) {
        std::fprintf(stderr, "no such device\n");
        return 1;
    }
    WaveAudio::Recorder recorder;
    std::string why;
    const int rate = WaveAudio::Recorder::supportedRate(in, {Rate});
    if (rate != Rate || !recorder.open(in, Rate, &why)) {
        std::fprintf(stderr, "recording at %d samples/s: %s\n", Rate, why.empty() ? "not supported" : why.c_str());
        return 1;
    }
    // Wine's sound server connection takes a while to deliver its first
    // samples: play only once recording runs, or the header's start is lost.
    std::vector<int16_t> heard;
    for (DWORD waited = GetTickCount(); heard.size() < Rate / 4 && GetTickCount() - waited < 10000;) {
        Sleep(20);
        if (!recorder.take(heard)) {
            std::fprintf(stderr, "the input failed while recording\n");
            return 1;
        }
    }
    if (heard.empty()) {
        std::fprintf(stderr, "the input delivers nothing\n");
        return 1;
    }
    const std::vector<int16_t> sound = afsk(Header, 0.5);
    WaveAudio::Player player;
    if (!player.play(out, Rate, sound.data(), sound.size(), &why)) {
        std::fprintf(stderr, "playing: %s\n", why.c_str());
        return 1;
    }
    const DWORD began = GetTickCount();
    const DWORD length = DWORD(sound.size() * 1000 / Rate);
    // Until the sound has played and a second more has been recorded (the
    // sound server's buffers), or ten seconds beyond its length.
    DWORD doneAt = 0;
    while (GetTickCount() - began < length + 10000) {
        Sleep(20);
        if (!recorder.take(heard)) {
            std::fprintf(stderr, "the input failed while recording\n");
            return 1;
        }
        if (!doneAt && player.done())
            doneAt = GetTickCount();
        if (doneAt && GetTickCount() - doneAt > 1000)
            break;
    }
    player.stop();
    recorder.close();
    double energy = 0;
    for (int16_t s : heard)
        energy += double(s) * s;
    const double rms = heard.empty() ? 0 : std::sqrt(energy / double(heard.size()));
    std::printf("played %zu samples (%lu ms, done: %s); recorded %zu samples, RMS %.0f\n", sound.size(),
                static_cast<unsigned long>(length), doneAt ? "yes" : "no", heard.size(), rms);
    if (!save.empty()) {
        if (FILE *f = std::fopen(save.c_str(), "wb")) {
            std::fwrite(heard.data(), sizeof(int16_t), heard.size(), f);
            std::fclose(f);
        }
    }
    const std::string got = decode(heard);
    std::printf("decoded: %s\n", got.empty() ? "(nothing)" : got.c_str());
    return got == Header ? 0 : 1;
}
