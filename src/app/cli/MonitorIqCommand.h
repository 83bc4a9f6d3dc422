// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "monitor/core/IqChanneliser.h"
#include "monitor/core/SameDecoder.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <limits>

// nx4400c-cli monitor on a software radio: --iq FILE|- or --rtl-sdr
// [INDEX], and the options that go with them.
struct MonitorIqArgs {
    QString file;              // --iq: a file, or "-" for standard input
    bool iqGiven = false;
    bool rtlSdr = false;
    int rtlIndex = 0;
    IqFormat format = IqFormat::Cu8;
    bool formatGiven = false;
    QString rateText, centreText;
    double rate = 0, centre = 0;
    QVector<qint64> channels;
    double ppm = 0;
    double gain = std::numeric_limits<double>::quiet_NaN();
    QString firstOption;       // the first radio-only option given, for the usage error
    QString error;

    bool radio() const { return iqGiven || rtlSdr; }
    bool optionGiven() const { return !firstOption.isEmpty(); }
};

// What the rest of the monitor's command line says.
struct MonitorIqOutput {
    SameMode mode = SameMode::Strict;
    bool json = false;
    bool text = false;
    QString log;
    QString exec;
    int execTimeout = 60;
    QString zone;   // IANA name of the monitor's dates; empty: the computer's
};

inline constexpr const char *MonitorIqUsage =
    "--iq FILE|- --rate N --center HZ [--iq-format cu8|cs16|cf32] | --rtl-sdr [INDEX] [--gain DB]] "
    "[--channels LIST] [--ppm N";

// Takes the radio option at args[i], if it is one: 1 (i moved past its
// value), -1 with args.error set for a bad value, 0 for another option.
int parseMonitorIqOption(const QStringList &args, int &i, MonitorIqArgs &iq);
// Checks what goes together once all options are read; the usage error, or
// empty.
QString finishMonitorIqArgs(MonitorIqArgs &iq);
int runMonitorIq(const MonitorIqArgs &iq, const MonitorIqOutput &out);
