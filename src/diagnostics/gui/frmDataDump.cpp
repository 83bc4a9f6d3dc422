// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/gui/frmDataDump.h"
#include "widgets/NamedWidgets.h"

#include "diagnostics/core/DumpCollector.h"
#include "diagnostics/core/DumpListing.h"
#include "base/Services.h"
#include "config/core/ReceiverConfig.h"
#include "link/core/LinkSession.h"
#include "base/Messages.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

QPushButton *button(const QString &name, const QString &caption)
{
    QPushButton *b = Widgets::button(nullptr, name, caption, 110);
    b->setAutoDefault(false);
    return b;
}

QLabel *label(const QString &name, const QString &caption, bool title)
{
    QLabel *l = Widgets::label(nullptr, name, caption);
    if (title) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    } else {
        l->setWordWrap(true);
    }
    return l;
}

} // namespace

frmDataDump::frmDataDump(LinkSession &session, ReceiverConfig &config, QWidget *parent)
    : QDialog(parent), m_svc(session.services()), m_config(config), m_session(session, config.SerialPort)
{
    setObjectName(QStringLiteral("frmDataDump"));
    setWindowTitle(QStringLiteral("  NX-4400C Data Dump"));
    setAccessibleName(windowTitle());
    setModal(true);
    setSizeGripEnabled(true);

    m_cmdRaw = button(QStringLiteral("cmdRaw"), QStringLiteral("RAW Data"));
    m_cmdNVData = button(QStringLiteral("cmdNVData"), QStringLiteral("NV Data"));
    m_cmdClear = button(QStringLiteral("cmdClear"), QStringLiteral("Clear"));
    m_cmdSave = button(QStringLiteral("cmdSave"), QStringLiteral("Save Window"));
    m_cmdExit = button(QStringLiteral("cmdExit"), QStringLiteral("Exit"));

    // Title and help text beside each button; the label arrays keep their
    // index order (Save Window, Clear, RAW Data, NV Data) while the rows
    // follow the order of use.
    const struct {
        QPushButton *button;
        int index;
        const char *title;
        const char *help;
    } rows[] = {
        {m_cmdRaw, 2, "RAW Data", "Displays the last decoded raw data received."},
        {m_cmdNVData, 3, "NV Data", "Download non-volatile memory data."},
        {m_cmdClear, 1, "Clear", "Clears the display window."},
        {m_cmdSave, 0, "Save Window", "Saves displayed data and registry data to file."},
    };
    auto *frame = new QGroupBox(QStringLiteral("Data Request Command"));
    frame->setObjectName(QStringLiteral("fraCommand"));
    auto *grid = new QGridLayout(frame);
    grid->setVerticalSpacing(10);
    int r = 0;
    for (const auto &row : rows) {
        grid->addWidget(row.button, r, 0, 2, 1, Qt::AlignVCenter);
        grid->addWidget(label(QStringLiteral("Label1_%1").arg(row.index), QString::fromLatin1(row.title), true),
                        r, 1);
        QLabel *help = label(QStringLiteral("Label2_%1").arg(row.index), QString::fromLatin1(row.help), false);
        help->setMinimumWidth(190);
        grid->addWidget(help, r + 1, 1);
        r += 2;
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(r, 1);

    m_text1 = new QPlainTextEdit;
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setAccessibleName(QStringLiteral("Received data"));
    m_text1->setReadOnly(true);
    m_text1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text1->setMinimumSize(520, 360);

    auto *left = new QVBoxLayout;
    left->addWidget(frame, 1);
    auto *exitRow = new QHBoxLayout;
    exitRow->addStretch(1);
    exitRow->addWidget(m_cmdExit);
    left->addLayout(exitRow);

    auto *top = new QHBoxLayout(this);
    top->addLayout(left);
    top->addWidget(m_text1, 1);

    connect(m_cmdRaw, &QPushButton::clicked, this, &frmDataDump::cmdRaw_Click);
    connect(m_cmdNVData, &QPushButton::clicked, this, &frmDataDump::cmdNVData_Click);
    connect(m_cmdClear, &QPushButton::clicked, this, &frmDataDump::cmdClear_Click);
    connect(m_cmdSave, &QPushButton::clicked, this, &frmDataDump::cmdSave_Click);
    connect(m_cmdExit, &QPushButton::clicked, this, &frmDataDump::cmdExit_Click);
}

frmDataDump::~frmDataDump() = default;

void frmDataDump::MakeContact(bool &contact)
{
    contact = m_session.MakeContact();
}

bool frmDataDump::MakeContact()
{
    bool contact = false;
    MakeContact(contact);
    return contact;
}

void frmDataDump::WriteRegistry(QString &listing) const
{
    listing = ::WriteRegistry(m_config);
}

void frmDataDump::append(const QString &text)
{
    m_text += text;
    m_text1->setPlainText(DumpDisplayText(m_text));
    m_text1->verticalScrollBar()->setValue(m_text1->verticalScrollBar()->maximum());
}

void frmDataDump::appendReplyEnd(const DumpSession::Reply &reply)
{
    // What arrived is kept even when the reply was cut short: for support a
    // partial dump beats none. A note says why it ends there.
    switch (reply.end) {
    case DumpSession::Reply::End::Complete:
    case DumpSession::Reply::End::Cancelled:
        break;
    case DumpSession::Reply::End::TimedOut:
        append(DumpLineBreak
               + QStringLiteral("(Reply incomplete: the receiver sent no end of data within %1 seconds.)")
                     .arg(m_svc.timings.dumpReplyMs / 1000.0));
        break;
    case DumpSession::Reply::End::PortLost:
        append(DumpLineBreak + QStringLiteral("(Reply incomplete: the serial port failed.)"));
        break;
    }
}

void frmDataDump::setWaiting(bool waiting)
{
    for (QPushButton *b : {m_cmdRaw, m_cmdNVData, m_cmdClear, m_cmdSave})
        b->setEnabled(!waiting);
    if (waiting)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
}

void frmDataDump::DumpDataRaw()
{
    setWaiting(true);
    const DumpSession::Reply reply = m_session.DumpDataRaw();
    setWaiting(false);
    if (reply.end == DumpSession::Reply::End::Cancelled)
        return;
    append(DumpLineBreak + reply.text);
    appendReplyEnd(reply);
}

void frmDataDump::DumpDataNV()
{
    setWaiting(true);
    const DumpSession::Reply reply = m_session.DumpDataNV();
    setWaiting(false);
    if (reply.end == DumpSession::Reply::End::Cancelled)
        return;
    append(reply.text);
    appendReplyEnd(reply);
}

void frmDataDump::cmdRaw_Click()
{
    if (m_session.isWaiting())
        return;
    m_session.send("R");
    append(DumpLineBreak + DumpLineBreak + QStringLiteral("RAW Data Dump..Please wait"));
    DumpDataRaw();
}

void frmDataDump::cmdNVData_Click()
{
    if (m_session.isWaiting())
        return;
    m_session.send("X");
    append(DumpLineBreak + DumpLineBreak + QStringLiteral("NV Data Dump..Please wait") + DumpLineBreak);
    setWaiting(true);
    m_session.pauseBeforeNv();
    DumpDataNV();
}

void frmDataDump::cmdClear_Click()
{
    m_text.clear();
    m_text1->clear();
}

void frmDataDump::cmdSave_Click()
{
    if (m_text.isEmpty()) {
        m_svc.prompter().beep();
        return;
    }
    const QString path = m_svc.dumpFilePath;
    // The new file replaces the old one only once it is complete.
    QString why;
    if (!SaveDumpFile(m_svc, m_config, m_text, &why)) {
        const QScopedValueRollback keep(m_keepText, true);
        m_svc.prompter().ask(Messages::FatalTitle,
                             QStringLiteral("Data file %1 could not be written:").arg(QFileInfo(path).fileName())
                                 + DumpLineBreak + QFileInfo(path).absoluteFilePath() + DumpLineBreak
                                 + why,
                             Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
        return;
    }
    m_svc.prompter().ask(Messages::FatalTitle,
                         QStringLiteral("Data file NX_DUMP.TXT created and is located") + DumpLineBreak
                             + QStringLiteral("in the same directory as this editor."),
                         Prompter::Icon::Information, Prompter::Buttons::Ok);
}

void frmDataDump::leave()
{
    // Leaving by Exit, Escape or the window frame all take the receiver out
    // of dump mode and free the port.
    m_session.Exit();
}

void frmDataDump::cmdExit_Click()
{
    leave();
    accept();
}

void frmDataDump::reject()
{
    leave();
    QDialog::reject();
}

void frmDataDump::closeEvent(QCloseEvent *event)
{
    leave();
    QDialog::closeEvent(event);
}

bool frmDataDump::event(QEvent *event)
{
    // The text area is emptied each time the window is activated: when it
    // opens and when it is active again after another window of the editor,
    // such as the box that says the dump file was written. Coming back from
    // another program is not an activation of the window (the application
    // was inactive in between), so switching programs keeps the dump; nor
    // does the box that says the file could not be written empty it, so the
    // dump can still be saved.
    if (event->type() == QEvent::WindowDeactivate) {
        QWidget *next = QApplication::activeWindow();
        m_clearOnActivate = next && next != this && !m_keepText;
    } else if (event->type() == QEvent::WindowActivate) {
        if (m_clearOnActivate)
            cmdClear_Click();
        m_clearOnActivate = false;
    }
    return QDialog::event(event);
}

void frmDataDump::showEvent(QShowEvent *event)
{
    // The text area starts empty each time the window opens.
    if (!m_shown) {
        m_shown = true;
        cmdClear_Click();
    }
    QDialog::showEvent(event);
}
