// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The transfer: the parameter image goes to the receiver in one frame
// (511 image bytes and their 8-bit sum), the receiver answers ACK or NAK and
// then sends 1284 bytes: 1279 bytes of alert history, their 8-bit sum, three
// ROM version characters and ACK.

#include <QByteArray>

#include <cstdint>

class AppContext;

namespace TransferFrame {
inline constexpr int ImageBytes = 511;        // UploadImage 0..510 go out
inline constexpr int DownloadBytes = 1284;
inline constexpr int HistoryBytes = 1279;
inline constexpr int ChecksumIndex = 1279;
inline constexpr int VersionIndex = 1280;
inline constexpr int LastIndex = 1283;
// 8-bit sum of bytes [0, count) of data.
uint8_t Sum8(const uint8_t *data, int count);
} // namespace TransferFrame

// Packs bytes 0..31, waits for the second boundary and sends the frame;
// true when the receiver accepts it (ACK).
bool UploadParameters(AppContext &ctx);
// Receives the 1284-byte reply into ReceiveBuffer; true when all of it came
// within the time-out and its last byte is ACK.
bool DownloadData(AppContext &ctx);
// True when the 8-bit sum of ReceiveBuffer 0..1278 equals byte 1279.
bool VerifyDownloadChecksum(const AppContext &ctx);
// Stores "c.cc" from ReceiveBuffer 1280..1282 in ReceiverVersion and shows
// it in the right panel.
void XferRomVersion(AppContext &ctx);
// One complete transfer ("Transfer Data"). Refused with a beep while another
// exchange owns the port. Returns true on success.
bool EstConnect(AppContext &ctx);
