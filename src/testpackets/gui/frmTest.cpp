// SPDX-License-Identifier: GPL-3.0-or-later
#include "testpackets/gui/frmTest.h"

#include "base/Services.h"
#include "testpackets/core/SameAudio.h"
#include "testpackets/core/PacketPlayer.h"
#include "widgets/NamedWidgets.h"

#include <QApplication>
#include <QFrame>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QHash>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct Row {
    const char *button;     // objectName and caption of the test button
    const char *label;      // caption of its label, also shown while it plays
    int header;             // recording of its header packet
};

constexpr Row kRows[frmTest::Rows] = {
    {"RWT", "Required Weekly Test", SameAudio::RwtHeader},
    {"FFW", "Flash Flood Warning", SameAudio::FfwHeader},
    {"SVA", "Severe Thunderstorm Watch", SameAudio::SvaHeader},
    {"TOA", "Tornado Watch", SameAudio::ToaHeader},
};

} // namespace

frmTest::frmTest(Services &services, QWidget *parent, std::unique_ptr<PacketAudio> audio)
    : QDialog(parent)
    , m_svc(services)
    , m_player(std::make_unique<PacketPlayer>(services.timings, std::move(audio)))
{
    setObjectName(QStringLiteral("frmTest"));
    setWindowTitle(QStringLiteral("NX-4400C SAME Packet Test"));
    setAccessibleName(windowTitle());
    setModal(true);

    auto *rows = new QGridLayout;
    rows->setHorizontalSpacing(12);
    rows->setVerticalSpacing(8);
    for (int i = 0; i < Rows; ++i) {
        const QString key = QString::fromLatin1(kRows[i].button);
        auto *button = new QPushButton(key, this);
        button->setObjectName(QStringLiteral("cmd") + key);
        button->setAccessibleName(key);
        button->setAutoDefault(false);
        button->setMinimumWidth(72);
        // Keep the button's own colour when it turns red, whatever the style.
        button->setAutoFillBackground(true);
        connect(button, &QPushButton::clicked, this, [this, i] { playTestMessage(i + 1); });
        auto *label = new QLabel(QString::fromLatin1(kRows[i].label), this);
        label->setObjectName(QStringLiteral("Label1_%1").arg(i));
        label->setAccessibleName(label->text());
        label->setBuddy(button);
        rows->addWidget(button, i, 0);
        rows->addWidget(label, i, 1);
        m_buttons[i] = button;
        m_labels[i] = label;
    }

    // What is playing: the loudspeaker while a recording sounds, the
    // message's name for the whole message.
    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("Picture1"));
    m_picture->setAccessibleName(QStringLiteral("Sounding"));
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setFixedSize(48, 48);
    QSizePolicy keep = m_picture->sizePolicy();
    keep.setRetainSizeWhenHidden(true);   // no jump when it shows and hides
    m_picture->setSizePolicy(keep);

    m_ident = new QLabel(this);
    m_ident->setObjectName(QStringLiteral("lblIdent"));
    // Heard by what it shows (the message playing); described by its use.
    m_ident->setAccessibleDescription(QStringLiteral("Playing"));
    m_ident->setAlignment(Qt::AlignCenter);
    QFont bold = m_ident->font();
    bold.setBold(true);
    m_ident->setFont(bold);
    m_ident->setMinimumWidth(m_ident->fontMetrics().horizontalAdvance(QStringLiteral("Severe Thunderstorm Watch")) + 8);

    auto *status = new QVBoxLayout;
    status->addStretch();
    status->addWidget(m_picture, 0, Qt::AlignHCenter);
    status->addWidget(m_ident);
    status->addStretch();

    auto *top = new QHBoxLayout;
    top->addLayout(rows);
    top->addSpacing(16);
    top->addLayout(status, 1);

    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("fraInfo"));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    m_info = new QLabel(frame);
    m_info->setObjectName(QStringLiteral("lblInfo"));
    m_info->setAccessibleDescription(QStringLiteral("Information"));
    m_info->setWordWrap(true);
    m_info->setTextFormat(Qt::PlainText);
    auto *frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(m_info);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("cmdOk"));
    m_ok->setAccessibleName(QStringLiteral("OK"));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    auto *buttons = new QHBoxLayout;
    // The sound card's outputs, when the messages go to one (not to the
    // system's player, nor to a test's stand-in).
    if (auto *sink = qobject_cast<SinkAudio *>(&m_player->audio())) {
        m_output = new QComboBox(this);
        m_output->setObjectName(QStringLiteral("cboOutput"));
        // Named for a screen reader, which reads the choice as its value.
        m_output->setAccessibleName(QStringLiteral("Sound output"));
        m_output->addItem(QStringLiteral("Default"), QString());
        for (const QString &name : SoundCard::outputNames())
            m_output->addItem(name, name);
        m_output->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        connect(m_output, &QComboBox::currentIndexChanged, this,
                [this, sink] { sink->setDevice(m_output->currentData().toString()); });
        buttons->addWidget(Widgets::heading(this, QStringLiteral("lblOutput"), QStringLiteral("Sound &output:"), m_output));
        buttons->addWidget(m_output);
    }
    buttons->addStretch();
    buttons->addWidget(m_ok);

    auto *outer = new QVBoxLayout(this);
    outer->addLayout(top);
    outer->addSpacing(6);
    outer->addWidget(frame);
    outer->addLayout(buttons);

    // Form_Load
    m_info->setText(infoText());
    m_info->setMinimumWidth(440);
}

frmTest::~frmTest() = default;

QString frmTest::infoText()
{
    // The pieces join without added blanks: "for" and "these" stand two
    // blanks apart.
    const QString crlf = QStringLiteral("\r\n");
    return crlf + QStringLiteral("These four buttons will activate SAME packets ")
         + QStringLiteral("from your sound card.") + crlf + crlf
         + QStringLiteral("Each packet consist of the header data, followed ")
         + QStringLiteral("by 30 seconds of tone beeps and the end of message packet.") + crlf + crlf
         + QStringLiteral("Note: You must load default FIP codes into your radio for ")
         + QStringLiteral(" these test.  Consult the menu HELP section for more information")
         + QStringLiteral(" and a step by step procedure.");
}

void frmTest::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (m_playing)
        return;
    // Form_Activate
    m_ident->clear();
    m_picture->setPixmap(Widgets::icon(QStringLiteral("speaker")).pixmap(QSize(40, 40)));
    m_picture->hide();
    for (QPushButton *b : m_buttons)
        setButtonColour(b, QApplication::palette().color(QPalette::Button));
    m_ok->setFocus();
}

void frmTest::setButtonColour(QPushButton *button, const QColor &colour)
{
    QPalette pal = button->palette();
    pal.setColor(QPalette::Button, colour);
    button->setPalette(pal);
}

void frmTest::DisableButtons(int row)
{
    if (row < 1 || row > Rows)
        return;
    for (int i = 0; i < Rows; ++i) {
        const bool mine = i == row - 1;
        m_buttons[i]->setEnabled(mine);
        m_labels[i]->setEnabled(mine);
    }
    m_ok->setEnabled(false);
    // A message plays to its end on the output it started on.
    if (m_output)
        m_output->setEnabled(false);
}

void frmTest::EnableButtons()
{
    for (int i = 0; i < Rows; ++i) {
        m_buttons[i]->setEnabled(true);
        m_labels[i]->setEnabled(true);
    }
    m_ok->setEnabled(true);
    if (m_output)
        m_output->setEnabled(true);
}

void frmTest::playTestMessage(int row)
{
    // The pressed button stays enabled; pressing it again while its message
    // plays must not start a second message inside the first.
    if (m_playing || row < 1 || row > Rows)
        return;
    m_playing = true;
    m_row = row;
    m_player->reset();

    DisableButtons(row);
    m_ident->setText(m_labels[row - 1]->text());
    setButtonColour(m_buttons[row - 1], QColor(255, 0, 0));
    // The message's steps, the same the command line writes as one WAV.
    // Each pause runs the event loop, so the window repaints first.
    QHash<int, QByteArray> recordings;
    for (const SameAudio::MessageStep &step :
         SameAudio::testMessage(kRows[row - 1].header, m_svc.timings.packetStartMs, m_svc.timings.packetPauseMs)) {
        if (step.id == 0) {
            if (!m_player->pause(step.pauseMs))
                break;
            continue;
        }
        // Read once from the program's resources and played from memory:
        // no temporary file, so nothing is left behind in the working folder.
        if (!recordings.contains(step.id))
            recordings.insert(step.id, TestPacketRecording(step.id));
        m_picture->show();
        const bool played = m_player->play(step.id, recordings.value(step.id));
        m_picture->hide();
        if (!played)
            break;
    }
    EndPacket();
}

void frmTest::EndPacket()
{
    // Back to idle, also after the message was stopped.
    m_ident->clear();
    m_picture->hide();
    if (m_row >= 1 && m_row <= Rows)
        setButtonColour(m_buttons[m_row - 1], QApplication::palette().color(QPalette::Button));
    EnableButtons();
    m_playing = false;
    m_row = 0;
    if (m_closeRequested) {
        m_closeRequested = false;
        QDialog::reject();
    }
}

void frmTest::reject()
{
    // Close box or Escape while a message plays: stop it; the message's own
    // tail puts the window back to idle and then closes it.
    if (m_playing) {
        m_closeRequested = true;
        m_player->abort();
        return;
    }
    QDialog::reject();
}
