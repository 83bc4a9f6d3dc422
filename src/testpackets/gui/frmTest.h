// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "testpackets/core/PacketPlayer.h"

#include <QDialog>

#include <array>
#include <memory>

class Services;
class QComboBox;
class QLabel;
class QPushButton;

// "NX-4400C SAME Packet Test": four buttons, each playing one complete SAME
// test message (header three times, 24 beeps, end-of-message three times)
// through the sound output so that a receiver beside the speaker can decode
// it.
//
// While a message plays the window keeps repainting. A second press of the
// (red) button that is playing does nothing. Closing the window (close box
// or Escape) stops the message at once, puts the window back to idle and
// then closes it; OK is disabled meanwhile.
class frmTest : public QDialog
{
    Q_OBJECT
public:
    static constexpr int Rows = 4;

    // `audio` replaces the computer's sound output (tests).
    explicit frmTest(Services &services, QWidget *parent = nullptr, std::unique_ptr<PacketAudio> audio = {});
    ~frmTest() override;

    // The information text shown in the frame.
    static QString infoText();

    // Keeps row `row` (1 to 4) usable and disables the other rows and OK;
    // any other number does nothing.
    void DisableButtons(int row);
    void EnableButtons();
    // The end of a test message, played out or stopped: back to idle.
    void EndPacket();

    bool isPlaying() const { return m_playing; }
    PacketPlayer &player() { return *m_player; }

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void playTestMessage(int row);
    void setButtonColour(QPushButton *button, const QColor &colour);

    Services &m_svc;
    std::unique_ptr<PacketPlayer> m_player;
    std::array<QPushButton *, Rows> m_buttons{};
    std::array<QLabel *, Rows> m_labels{};
    QLabel *m_ident = nullptr;
    QLabel *m_info = nullptr;
    QLabel *m_picture = nullptr;
    QPushButton *m_ok = nullptr;
    QComboBox *m_output = nullptr;    // the sound card's outputs
    bool m_playing = false;
    bool m_closeRequested = false;
    int m_row = 0;
};
