// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/core/Transfer.h"

#include "base/Services.h"
#include "config/core/ParameterImage.h"
#include "config/core/ReceiverSetup.h"
#include "history/core/HistoryDecoder.h"
#include "link/core/LinkSession.h"
#include "link/core/SerialTrace.h"

#include <QCoreApplication>

namespace {

const QString Left = QStringLiteral("Left");
const QString Right = QStringLiteral("Right");
// Why a transfer failed, beyond the step the left panel names ("Downloading
// Data" covers a bad sum, a short reply, a wrong last byte and a lost port
// alike). The left panel keeps the editor's fixed texts; this goes to a
// panel of its own, which the command line prints on standard error and the
// main window may show next to the left one.
const QString Reason = QStringLiteral("Reason");

void setReason(LinkSession &link, const QString &why)
{
    link.services().view().setStatusText(Reason, why);
}

// The port's own account of its loss (device and system error) where it has
// one.
QString lostPortReason(const LinkSession &link)
{
    const QString why = link.Port1.errorString();
    return QStringLiteral("lost port: ")
        + (why.isEmpty() ? QStringLiteral("%1 was closed").arg(link.Port1.deviceName()) : why);
}

QString hexByte(int b)
{
    return QStringLiteral("0x") + QString::number(b & 0xFF, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

} // namespace

namespace TransferFrame {

uint8_t Sum8(const uint8_t *data, int count)
{
    unsigned sum = 0;
    for (int i = 0; i < count; ++i)
        sum += data[i];
    return uint8_t(sum & 0xFF);
}

} // namespace TransferFrame

bool UploadParameters(LinkSession &link, const ReceiverConfig &config)
{
    Services &svc = link.services();
    PortCtl &port = link.Port1;
    MainView &view = svc.view();

    PackParameterBlock(config, link.UploadImage);

    // The receiver takes the frame only at the start of a second; from second
    // 58 or 59 the next usable one is second 2 of the next minute.
    int target = svc.clock().secondOfMinute() + 2;
    if (target > 59)
        target = 2;
    link.waitForSecond(target);

    // The receiver may have gone while the editor waited for the second: a
    // frame written now would go nowhere, and sitting out the reply time-out
    // would then report a lost port as a silent receiver.
    if (port.failed() || !port.isOpen()) {
        link.disableTimeOut();
        view.setStatusText(Left, QStringLiteral("Port Connection Lost"));
        setReason(link, lostPortReason(link));
        return false;
    }

    link.disableTimeOut();
    view.setStatusText(Left, QStringLiteral("Preparing For Upload..."));
    view.setProgressRange(0, 511);
    view.setProgressValue(0);
    view.setProgressVisible(true);
    link.armTimeOut(svc.timings.transferMs);

    for (int i = 0; i < TransferFrame::ImageBytes; ++i) {
        port.WriteByte(link.UploadImage[size_t(i)]);
        view.setProgressValue(i);
    }
    view.setStatusText(Left, QStringLiteral("Preparing For Download..."));
    port.WriteByte(ImageChecksum(link.UploadImage) & 0xFF);

    link.TimedOut = false;
    port.setReadMode(-1);
    port.Purge();
    for (;;) {
        const int b = port.ReadByte();
        if (b == LinkSession::ACK) {
            view.setStatusText(Left, QStringLiteral("Downloading Data"));
            return true;
        }
        if (b == LinkSession::NAK) {
            view.setStatusText(Left, QStringLiteral("Upload Failure"));
            setReason(link, QStringLiteral("the receiver refused the parameters (NAK)"));
            return false;
        }
        // A vanished port ends the wait at once, and says so.
        if (link.portLost()) {
            view.setStatusText(Left, QStringLiteral("Port Connection Lost"));
            setReason(link, lostPortReason(link));
            return false;
        }
        if (link.TimedOut || link.cancelRequested()) {
            view.setStatusText(Left, QStringLiteral("Upload Data Timeout"));
            setReason(link, link.cancelRequested()
                                ? QStringLiteral("cancelled")
                                : QStringLiteral("no ACK or NAK from the receiver within %1 s")
                                      .arg(svc.timings.transferMs / 1000.0));
            return false;
        }
        if (b < 0)
            link.WaitForLink();
    }
}

bool DownloadData(LinkSession &link)
{
    Services &svc = link.services();
    PortCtl &port = link.Port1;
    MainView &view = svc.view();

    link.disableTimeOut();
    int n = 0;
    view.setProgressRange(0, 1297);
    view.setProgressValue(0);
    link.TimedOut = false;
    link.armTimeOut(svc.timings.transferMs);
    port.setReadMode(-1);

    if (link.ReceiveBuffer.size() < LinkSession::ReceiveBufferSize)
        link.ReceiveBuffer.resize(LinkSession::ReceiveBufferSize, '\0');

    for (;;) {
        // Take everything already collected, but never a byte past the
        // frame: whatever follows it stays unread.
        while (port.InputCount() > 0) {
            const int b = port.ReadByte();
            if (b < 0)
                break;
            link.ReceiveBuffer[n] = char(uint8_t(b));
            ++n;
            view.setProgressValue(n);
            if (n == TransferFrame::DownloadBytes) {
                link.disableTimeOut();
                view.setProgressVisible(false);
                if (b != LinkSession::ACK)
                    setReason(link, QStringLiteral("wrong last byte: the reply ended with %1, not ACK (0x06)")
                                        .arg(hexByte(b)));
                return b == LinkSession::ACK;
            }
        }
        if (link.TimedOut || link.portLost() || link.cancelRequested()) {
            view.setProgressVisible(false);
            if (link.portLost())
                setReason(link, lostPortReason(link) + QStringLiteral(" (after %1 of %2 bytes)")
                                                          .arg(n)
                                                          .arg(TransferFrame::DownloadBytes));
            else if (link.cancelRequested())
                setReason(link, QStringLiteral("cancelled"));
            else
                setReason(link, QStringLiteral("short frame: %1 of %2 bytes before the time-out (%3 s)")
                                    .arg(n)
                                    .arg(TransferFrame::DownloadBytes)
                                    .arg(svc.timings.transferMs / 1000.0));
            return false;
        }
        link.WaitForLink();
    }
}

bool VerifyDownloadChecksum(const LinkSession &session)
{
    if (session.ReceiveBuffer.size() <= TransferFrame::ChecksumIndex)
        return false;
    const auto *data = reinterpret_cast<const uint8_t *>(session.ReceiveBuffer.constData());
    return TransferFrame::Sum8(data, TransferFrame::HistoryBytes) == data[TransferFrame::ChecksumIndex];
}

void XferRomVersion(LinkSession &session, ReceiverConfig &config)
{
    // The version bytes are outside the checksum. A byte that is not a
    // printable character is shown as "?" so that a garbled reply cannot put
    // control characters into the settings store.
    auto ch = [&](int index) {
        const uint8_t b = uint8_t(session.ReceiveBuffer.at(index));
        return (b >= 32 && b < 127) ? QChar(b) : QChar(u'?');
    };
    const int v = TransferFrame::VersionIndex;
    const QString version = QString(ch(v)) + QLatin1Char('.') + ch(v + 1) + ch(v + 2);
    config.ReceiverVersion = version;
    session.services().view().setStatusText(Right, QStringLiteral("NX-4400 ROM Version = ") + version);
}

bool EstConnect(LinkSession &session, ReceiverSetup &setup, const EventCatalog &catalog,
                HistoryRowTable &history)
{
    Services &svc = session.services();
    // One exchange at a time: a second "Transfer Data", a port test or a dump
    // while this one waits would otherwise run inside its wait on the same
    // port.
    if (session.busy) {
        svc.prompter().beep();
        return false;
    }
    LinkBusyGuard busy(session);
    session.resetCancel();
    MainView &view = svc.view();

    view.setStatusText(Left, QString());
    view.setStatusText(Right, QString());
    setReason(session, QString());
    view.setHistoryMenusEnabled(false);
    view.clearHistoryDisplay();

    // Without the user's stored settings (the store could not be read) the
    // receiver would be programmed with factory defaults: stop, as a missing
    // parameter file stops a transfer.
    if (const QString problem = svc.settingsProblem(); !problem.isEmpty()) {
        view.setStatusText(Left, problem + QStringLiteral("; nothing was sent to the receiver"));
        return false;
    }

    if (SerialTrace *trace = session.Port1.trace())
        trace->beginExchange(QStringLiteral("Transfer on %1 (%2)")
                                 .arg(session.receiverName.isEmpty()
                                          ? QStringLiteral("port %1").arg(setup.config.SerialPort)
                                          : session.receiverName,
                                      session.Port1.devicePath(setup.config.SerialPort)));
    if (!NegotiateLink(session, setup.config.SerialPort)) {
        view.setStatusText(Left, QStringLiteral("Port Connect Failed"));
        CloseReceiverPort(session);
        return false;
    }
    view.setStatusText(Left, QStringLiteral("Port Connect Successful...Preparing For Upload"));
    PackCoverageLists(setup, session.UploadImage);
    for (int i = 0; i < 101; ++i)
        QCoreApplication::processEvents();

    if (!UploadParameters(session, setup.config)) {
        CloseReceiverPort(session);
        return false;
    }
    const bool received = DownloadData(session);
    const bool intact = VerifyDownloadChecksum(session);
    if (!received || !intact) {
        if (received) {
            const auto *data = reinterpret_cast<const uint8_t *>(session.ReceiveBuffer.constData());
            setReason(session, QStringLiteral("bad checksum: the history adds up to %1, the receiver sent %2")
                                   .arg(hexByte(TransferFrame::Sum8(data, TransferFrame::HistoryBytes)),
                                        hexByte(data[TransferFrame::ChecksumIndex])));
        }
        CloseReceiverPort(session);
        return false;
    }

    view.setStatusText(Left, QStringLiteral("Upload / Download Successful"));
    XferRomVersion(session, setup.config);
    view.checkHistoryGroup(0);
    DecodeHistory(HistorySource{session.ReceiveBuffer, setup.config, svc.DaylightTimeActive,
                                svc.clock().date(), catalog},
                  history);
    view.showHistoryGroup(0);
    view.setProgressVisible(false);
    view.setHistoryMenusEnabled(true);
    CloseReceiverPort(session);
    return true;
}
