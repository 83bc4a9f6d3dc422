// SPDX-License-Identifier: GPL-3.0-or-later
// Placeholder until the configuration model lands.
#include "config/core/ParameterFile.h"
#include "config/core/ParameterImage.h"
#include "config/core/SettingsStore.h"

void LoadConfiguration(AppContext &) {}
bool SaveConfiguration(AppContext &) { return true; }
bool LoadParameterFile(AppContext &) { return true; }
void SaveParameterFile(AppContext &) {}
void LoadDefaultCoverage(AppContext &) {}
void PackParameterBlock(AppContext &) {}
void PackCoverageLists(AppContext &) {}
uint8_t EncodeIdCharacter(const QString &) { return 0; }
uint8_t ImageChecksum(const AppContext &) { return 0; }
