// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Where one receiver's setup is kept, and moving it in and out of there.
//
// A receiver's setup (transmitter, counties, event codes, options) lives in
// one of two places:
//  - the editor's setup: the settings store (options, state, transmitter)
//    with the parameter file NX_4400C.DAT of the current folder (counties,
//    event codes). This is the single receiver the editor has always
//    programmed; the store is the user's, shared by every folder, so the
//    transmitter of one folder is the transmitter of all;
//  - a receiver profile (.nxprofile), which holds the whole setup of one
//    receiver of a fleet. The settings a profile leaves out (the computer's:
//    port, working folder, time zone offset) are taken from the store.
// Loading and saving one place never writes the other: a change made to a
// fleet receiver's profile leaves the editor's setup and every other
// profile as they were.

#include "config/core/ReceiverSetup.h"

#include <QString>

class Services;

struct ReceiverSetupPlace {
    QString profile;   // absolute path of the receiver's profile; empty: the editor's setup
    bool isEditors() const { return profile.isEmpty(); }
};

enum class SetupLoadResult {
    Loaded,
    StoreUnusable,            // the settings store is a pipe, a folder, unreadable...
    ParameterFileUnreadable,  // the editor's NX_4400C.DAT is missing or incomplete
    ProfileRefused,           // the profile could not be read or is not valid
};

// Reads the setup kept at `place` into `setup`. `why` gets one sentence for
// a store or a profile that was refused (the profile's names its file and
// line); for an unreadable parameter file the caller words the advice.
// A missing parameter file is never replaced by the default coverage here.
SetupLoadResult LoadReceiverSetup(Services &services, const ReceiverSetupPlace &place, ReceiverSetup &setup,
                                  QString *why);

// Writes `setup` back to `place`. The editor's setup: the parameter file,
// then the settings store when `settingsToo` (the parameter file is put
// back when the store cannot be written, so a failure leaves both as they
// were). A profile: the profile file alone, in one step. `why` names the
// file and the reason.
bool SaveReceiverSetup(Services &services, const ReceiverSetupPlace &place, const ReceiverSetup &setup,
                       bool settingsToo, QString *why);
