// SPDX-License-Identifier: GPL-3.0-or-later
// Anchor for the shared precompiled header of the window libraries.
