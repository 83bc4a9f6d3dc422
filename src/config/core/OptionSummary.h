// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "config/core/ReceiverConfig.h"

#include <QStringList>

// The receiver's options in a few plain lines, for the printed coverage
// page a site keeps with the receiver: what it accepts, where it sounds,
// what it sends.
QStringList optionSummary(const ReceiverConfig &config);
