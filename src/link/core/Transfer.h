// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The transfer: the parameter image goes to the receiver in one frame
// (511 image bytes and their 8-bit sum), the receiver answers ACK or NAK and
// then sends 1284 bytes: 1279 bytes of alert history, their 8-bit sum, three
// ROM version characters and ACK.

#include <QByteArray>

#include "history/core/HistoryRecord.h"

#include <cstdint>

class LinkSession;
struct EventCatalog;
struct ReceiverConfig;
struct ReceiverSetup;

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

// Packs bytes 0..31 of the session's image from `config`, waits for the
// second boundary and sends the frame; true when the receiver accepts it
// (ACK).
bool UploadParameters(LinkSession &session, const ReceiverConfig &config);
// Receives the 1284-byte reply into the session's ReceiveBuffer; true when
// all of it came within the time-out and its last byte is ACK.
bool DownloadData(LinkSession &session);
// True when the 8-bit sum of ReceiveBuffer 0..1278 equals byte 1279.
bool VerifyDownloadChecksum(const LinkSession &session);
// Stores "c.cc" from ReceiveBuffer 1280..1282 in ReceiverVersion and shows
// it in the right panel.
void XferRomVersion(LinkSession &session, ReceiverConfig &config);
// One complete transfer ("Transfer Data") of `setup` through the session
// (port number setup.config.SerialPort); the history lands in `history`.
// Refused with a beep while another exchange owns the session's port.
// Returns true on success.
bool EstConnect(LinkSession &session, ReceiverSetup &setup, const EventCatalog &catalog,
                HistoryRowTable &history);
