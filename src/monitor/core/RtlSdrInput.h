// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// An RTL-SDR dongle read directly through librtlsdr: unsigned 8-bit IQ
// (cu8), as rtl_sdr writes it. A build without the library has none.
class RtlSdrInput
{
public:
    RtlSdrInput() = default;
    ~RtlSdrInput();
    RtlSdrInput(const RtlSdrInput &) = delete;
    RtlSdrInput &operator=(const RtlSdrInput &) = delete;

    static bool available();      // built with librtlsdr
    static int deviceCount();
    static QString deviceName(int index);

    struct Options {
        int index = 0;
        double sampleRate = 2400000;
        double centreHz = 162475000;
        int ppm = 0;
        // Tuner gain in dB; NaN: the tuner's automatic gain.
        double gainDb = qQNaN();
    };
    // False with a reason: "no RTL-SDR device found" when none is plugged
    // in, else what the device refused.
    bool open(const Options &options, QString *why);
    void close();
    bool isOpen() const { return m_dev != nullptr; }
    // Blocks until a buffer of samples has come; false with a reason when
    // the device stopped (unplugged).
    bool read(QByteArray *buffer, QString *why);
    // Ends a read() waiting in another thread.
    void cancel();

private:
    void *m_dev = nullptr;
};
