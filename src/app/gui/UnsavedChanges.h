// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class AppContext;

// True when saving the setup would change the parameter file or the
// settings store, or either is missing or cannot be used: only then is
// there anything to ask about when the editor is left. A user who only
// looked at the windows is not asked to save.
bool SetupDiffersFromFiles(const AppContext &ctx);
