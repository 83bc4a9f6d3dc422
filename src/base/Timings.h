// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Every time-out and pause of the program in one place. The program uses
// these defaults; tests shorten them so a 20 s time-out takes milliseconds.
struct Timings {
    int negotiateMs = 5000;       // ACK to "Z"
    int transferMs = 20000;       // upload reply and download frame
    int dumpContactMs = 2000;     // data dump contact
    int dumpReplyMs = 20000;      // RAW and NV dump replies
    int dumpNvPauseMs = 500;      // pause before an NV dump
    int portTestPauseMs = 200;    // port search: wait for ACK to "T"
    int splashMs = 2000;          // splash window on screen
    int packetPauseMs = 1000;     // pause between test packet sounds
    int countyBlinkMs = 800;      // county window blink while the list is empty
    double speed = 1.0;           // test packet timing scale (1.0 = real time)
    int packetStartMs = 500;      // test packet: after the press, before the first header
};
