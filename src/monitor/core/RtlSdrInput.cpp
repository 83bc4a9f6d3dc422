// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/core/RtlSdrInput.h"

#include <cmath>

#ifndef NX_WITHOUT_RTLSDR
#include <rtl-sdr.h>
#endif

RtlSdrInput::~RtlSdrInput()
{
    close();
}

#ifndef NX_WITHOUT_RTLSDR

bool RtlSdrInput::available()
{
    return true;
}

int RtlSdrInput::deviceCount()
{
    return int(rtlsdr_get_device_count());
}

QString RtlSdrInput::deviceName(int index)
{
    const char *name = rtlsdr_get_device_name(uint32_t(index));
    return name ? QString::fromUtf8(name) : QString();
}

bool RtlSdrInput::open(const Options &o, QString *why)
{
    close();
    const int count = deviceCount();
    if (count == 0) {
        *why = QStringLiteral("no RTL-SDR device found");
        return false;
    }
    if (o.index < 0 || o.index >= count) {
        *why = QStringLiteral("no RTL-SDR device %1 (%2 found, numbered from 0)").arg(o.index).arg(count);
        return false;
    }
    rtlsdr_dev_t *dev = nullptr;
    if (rtlsdr_open(&dev, uint32_t(o.index)) < 0 || !dev) {
        *why = QStringLiteral("RTL-SDR device %1 (%2) would not open; is another program using it?")
                   .arg(o.index).arg(deviceName(o.index));
        return false;
    }
    m_dev = dev;
    auto fail = [&](const QString &what) {
        *why = QStringLiteral("RTL-SDR device %1 refused %2").arg(o.index).arg(what);
        close();
        return false;
    };
    if (rtlsdr_set_sample_rate(dev, uint32_t(std::lround(o.sampleRate))) < 0)
        return fail(QStringLiteral("the sample rate %1").arg(o.sampleRate, 0, 'f', 0));
    // A correction of 0 is refused by some versions as "unchanged".
    if (o.ppm != 0 && rtlsdr_set_freq_correction(dev, o.ppm) < 0)
        return fail(QStringLiteral("the frequency correction %1 ppm").arg(o.ppm));
    if (rtlsdr_set_center_freq(dev, uint32_t(std::llround(o.centreHz))) < 0)
        return fail(QStringLiteral("the centre frequency %1 Hz").arg(o.centreHz, 0, 'f', 0));
    if (std::isnan(o.gainDb)) {
        if (rtlsdr_set_tuner_gain_mode(dev, 0) < 0)
            return fail(QStringLiteral("automatic gain"));
    } else if (rtlsdr_set_tuner_gain_mode(dev, 1) < 0 || rtlsdr_set_tuner_gain(dev, int(std::lround(o.gainDb * 10))) < 0) {
        return fail(QStringLiteral("the gain %1 dB").arg(o.gainDb));
    }
    if (rtlsdr_reset_buffer(dev) < 0)
        return fail(QStringLiteral("to start streaming"));
    return true;
}

void RtlSdrInput::close()
{
    if (m_dev)
        rtlsdr_close(static_cast<rtlsdr_dev_t *>(m_dev));
    m_dev = nullptr;
}

bool RtlSdrInput::read(QByteArray *buffer, QString *why)
{
    if (!m_dev) {
        *why = QStringLiteral("the RTL-SDR device is not open");
        return false;
    }
    // 256 KiB: about 55 ms at 2.4 MS/s, a multiple of the USB transfer size.
    buffer->resize(256 * 1024);
    int got = 0;
    if (rtlsdr_read_sync(static_cast<rtlsdr_dev_t *>(m_dev), buffer->data(), int(buffer->size()), &got) < 0 || got <= 0) {
        *why = QStringLiteral("the RTL-SDR device stopped sending samples (unplugged?)");
        buffer->clear();
        return false;
    }
    buffer->resize(got);
    return true;
}

void RtlSdrInput::cancel()
{
    if (m_dev)
        rtlsdr_cancel_async(static_cast<rtlsdr_dev_t *>(m_dev));
}

#else

bool RtlSdrInput::available() { return false; }
int RtlSdrInput::deviceCount() { return 0; }
QString RtlSdrInput::deviceName(int) { return QString(); }
bool RtlSdrInput::open(const Options &, QString *why)
{
    *why = QStringLiteral("this build reads no RTL-SDR device (it was built without librtlsdr); "
                          "pipe rtl_sdr into --iq - instead");
    return false;
}
void RtlSdrInput::close() {}
bool RtlSdrInput::read(QByteArray *, QString *why)
{
    *why = QStringLiteral("no RTL-SDR device");
    return false;
}
void RtlSdrInput::cancel() {}

#endif
