// SPDX-License-Identifier: GPL-3.0-or-later
// The main window editing one receiver of a fleet: File > Open Receiver...
// loads the receiver's profile into the setup every window edits, points
// the editor's port at the receiver's device and names the receiver in the
// window titles. The setup goes back to the profile, never over the
// editor's own settings and parameter file; opening the editor's setup
// again brings those back as they were.
#include "app/gui/NX4400C.h"

#include "app/AppContext.h"
#include "app/gui/frmOpenReceiver.h"
#include "base/Messages.h"
#include "config/core/ParameterFile.h"
#include "config/core/SettingsStore.h"
#include "coverage/gui/CoverageCommands.h"
#include "link/core/Fleet.h"
#include "link/core/PortMap.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QVariant>

namespace {

const QString kTitle = QStringLiteral("NX-4400C Digital Weather Receiver");

} // namespace

void NX4400C::openReceiver()
{
    frmOpenReceiver window(StoredFleetFile(m_ctx), m_receiverName, this);
    if (window.exec() != QDialog::Accepted)
        return;
    // The fleet file read in the window is the one kept for next time and
    // for nx4400c-cli --receiver.
    if (!window.fleetFile().isEmpty() && window.fleetFile() != StoredFleetFile(m_ctx)) {
        QString why;
        if (!StoreFleetFile(m_ctx, window.fleetFile(), &why))
            setStatusText(QStringLiteral("Left"), why);
    }
    switchReceiver(window.chosen(), window.choseEditors());
}

bool NX4400C::saveReceiverProfile()
{
    if (m_receiverPlace.isEditors())
        return false;
    QString why;
    if (!SaveReceiverSetup(m_ctx, m_receiverPlace, m_ctx, false, &why))
        m_ctx.prompter().ask(Messages::Title, QStringLiteral("The setup of %1 was not saved.\r\n\r\n%2").arg(m_receiverName, why),
                             Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
    return true;
}

bool NX4400C::switchReceiver(const FleetReceiver &r, bool editors)
{
    const ReceiverSetupPlace next{editors ? QString() : r.profile};
    ReceiverSetup setup;
    QString why;
    const SetupLoadResult loaded = LoadReceiverSetup(m_ctx, next, setup, &why);
    if (loaded != SetupLoadResult::Loaded) {
        if (loaded == SetupLoadResult::ParameterFileUnreadable)
            why = QStringLiteral("The parameter file %1 could not be read.")
                      .arg(QDir::toNativeSeparators(QFileInfo(m_ctx.parameterFilePath).absoluteFilePath()));
        m_ctx.prompter().ask(Messages::Title,
                             QStringLiteral("%1 was not opened; the setup being edited stays.\r\n\r\n%2")
                                 .arg(editors ? QStringLiteral("The editor's setup") : r.name, why),
                             Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
        return false;
    }
    // What was edited so far is kept where it came from, as leaving the
    // editor with saving keeps it.
    if (!saveReceiverProfile()) {
        QString storeWhy;
        if (!SaveConfiguration(m_ctx, m_ctx.config, &storeWhy))
            setStatusText(QStringLiteral("Left"), storeWhy);
        SaveParameterFile(m_ctx, m_ctx);
    }
    m_ctx.config = setup.config;
    m_ctx.FipEntries = setup.FipEntries;
    m_ctx.EventSelection = setup.EventSelection;
    m_receiverName = editors ? QString() : r.name;
    m_receiverPlace = next;

    // Transfer Data reaches the receiver's own device through the port the
    // settings name; the editor's setup gets its port map back.
    QStringList devices = PortMap::Load(m_ctx);
    if (!editors) {
        const int port = qBound(1, int(m_ctx.config.SerialPort), PortMap::PortCount);
        devices[port - 1] = r.device;
    }
    m_ctx.session().Port1.setDevicePaths(devices);

    CoverageCommands::prepareCoverageWindows(m_ctx, m_ctx, this);
    refreshSetupCheck();
    showReceiverInTitle();
    setStatusText(QStringLiteral("Left"),
                  editors ? QStringLiteral("The editor's setup opened")
                          : QStringLiteral("Receiver %1 opened (%2 on %3)")
                                .arg(r.name,
                                     next.isEditors() ? QStringLiteral("the editor's setup")
                                                      : QDir::toNativeSeparators(next.profile),
                                     r.device));
    return true;
}

void NX4400C::showReceiverInTitle()
{
    setWindowTitle(m_receiverName.isEmpty() ? kTitle : QStringLiteral("%1 - %2").arg(kTitle, m_receiverName));
    setAccessibleName(windowTitle());
}

void NX4400C::nameReceiverInTitle(QWidget *window)
{
    // The windows opened over the main window say whose setup they edit. A
    // window kept between openings keeps its own title aside, so that it
    // names only the receiver open now.
    if (!window || !window->isWindow() || window == this || window->parentWidget() != this)
        return;
    const char *own = "nxOwnTitle";
    const char *shown = "nxShownTitle";
    // A title the window set itself since is its own.
    if (window->windowTitle() != window->property(shown).toString())
        window->setProperty(own, window->windowTitle());
    const QString title = window->property(own).toString();
    window->setWindowTitle(m_receiverName.isEmpty() ? title : QStringLiteral("%1 - %2").arg(title, m_receiverName));
    window->setProperty(shown, window->windowTitle());
}
