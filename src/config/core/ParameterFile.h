// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class AppContext;

// "NX_4400C.DAT": the county lines and the selected event codes.
bool LoadParameterFile(AppContext &ctx);
void SaveParameterFile(AppContext &ctx);
void LoadDefaultCoverage(AppContext &ctx);
