// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/gui/frmCommPort.h"

#include "link/core/PortMap.h"
#include "link/core/LinkSession.h"
#include "base/Services.h"
#include "config/core/ReceiverConfig.h"
#include "config/core/ReceiverTimeZone.h"
#include "link/core/DeviceName.h"
#include "link/core/SerialLine.h"
#include "link/core/SerialTrace.h"
#include "widgets/NamedWidgets.h"
#include "base/MainView.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QGridLayout>
#include <QSignalBlocker>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

const QString TestTitle = QStringLiteral(" NX-4400 Serial Port Test");
// Picture 1 of the main window's toolbar pictures.
const QString SetupPicture = Widgets::iconPath(QStringLiteral("setup"));

} // namespace

const QStringList &frmCommPort::timeZoneEntries()
{
    static const QStringList entries = {
        QStringLiteral(" [GMT-04:00] Atlantic Time (Puerto Rico, Canada)"),
        QStringLiteral(" [GMT-05:00] Eastern Time (US, Canada)"),
        QStringLiteral(" [GMT-06:00] Central Time (US, Canada)"),
        QStringLiteral(" [GMT-07:00] Mountain Time (US, Canada)"),
        QStringLiteral(" [GMT-08:00] Pacific Time (US, Canada)"),
        QStringLiteral(" [GMT-09:00] Alaska"),
        QStringLiteral(" [GMT-10:00] Hawaii"),
        QStringLiteral(" [GMT-11:00] Midway Island, Samona"),
    };
    return entries;
}

int frmCommPort::timeZoneOffset(int index)
{
    return -4 - index;
}

frmCommPort::frmCommPort(LinkSession &session, ReceiverConfig &config, QWidget *parent)
    : QDialog(parent)
    , m_session(session)
    , m_config(config)
{
    setObjectName(QStringLiteral("frmCommPort"));
    setWindowTitle(QStringLiteral(" NX-4400C Setup"));
    setModal(true);

    // Serial Comm Port: a port button and the device it stands for per row.
    auto *fraPort = new QGroupBox(QStringLiteral("Serial Comm Port"), this);
    fraPort->setObjectName(QStringLiteral("fraCommPort"));
    fraPort->setAccessibleName(fraPort->title());
    auto *portGrid = new QGridLayout(fraPort);
    auto *group = new QButtonGroup(this);
    group->setObjectName(QStringLiteral("optCommPort"));
    const QList<SerialDeviceInfo> present = SerialLine::availableDevices();
    for (int k = 0; k < PortCount; ++k) {
        auto *opt = new QRadioButton(QStringLiteral("Port %1").arg(k + 1), fraPort);
        opt->setObjectName(QStringLiteral("optCommPort_%1").arg(k));
        opt->setAccessibleName(opt->text());
        group->addButton(opt, k);
        m_optCommPort[k] = opt;

        auto *dev = new QComboBox(fraPort);
        dev->setObjectName(QStringLiteral("cmbDevice_%1").arg(k));
        dev->setAccessibleName(QStringLiteral("Port %1 device").arg(k + 1));
        dev->setToolTip(QStringLiteral("Device that Port %1 stands for on this computer").arg(k + 1));
        dev->setEditable(true);
        dev->setInsertPolicy(QComboBox::NoInsert);
        dev->setMinimumContentsLength(24);
        dev->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        for (const SerialDeviceInfo &p : present) {
            dev->addItem(p.path);
            QString about = p.description;
            if (!p.manufacturer.isEmpty())
                about += (about.isEmpty() ? QString() : QStringLiteral(", ")) + p.manufacturer;
            dev->setItemData(dev->count() - 1, about, Qt::ToolTipRole);
        }
        m_cmbDevice[k] = dev;
        portGrid->addWidget(opt, k, 0);
        portGrid->addWidget(dev, k, 1);
    }
    portGrid->setColumnStretch(1, 1);

    // Time Zone.
    auto *fraZone = new QGroupBox(QStringLiteral("Time Zone"), this);
    fraZone->setObjectName(QStringLiteral("fraTimeZone"));
    fraZone->setAccessibleName(fraZone->title());
    auto *zoneLay = new QVBoxLayout(fraZone);
    m_cmbTimeZone = new QComboBox(fraZone);
    m_cmbTimeZone->setObjectName(QStringLiteral("cmbTimeZone"));
    m_cmbTimeZone->setAccessibleName(QStringLiteral("Time Zone"));
    m_chkAdjustTime = new QCheckBox(QStringLiteral("Automatically adjust time for daylight saving changes"), fraZone);
    m_chkAdjustTime->setObjectName(QStringLiteral("chkAdjustTime"));
    m_chkAdjustTime->setAccessibleName(m_chkAdjustTime->text());
    // The zone whose daylight time the history follows at each alert's
    // date; the first entry keeps the computer's zone of today.
    auto *lblZoneName = new QLabel(QStringLiteral("Daylight time as in:"), fraZone);
    lblZoneName->setObjectName(QStringLiteral("lblTimeZoneName"));
    m_cmbTimeZoneName = new QComboBox(fraZone);
    m_cmbTimeZoneName->setObjectName(QStringLiteral("cmbTimeZoneName"));
    m_cmbTimeZoneName->setAccessibleName(QStringLiteral("Daylight time as in"));
    m_cmbTimeZoneName->setAccessibleDescription(
        QStringLiteral("The time zone whose daylight saving dates the history follows; "
                       "the first entry uses this computer's time zone today."));
    lblZoneName->setBuddy(m_cmbTimeZoneName);
    auto *nameRow = new QHBoxLayout;
    nameRow->addWidget(lblZoneName);
    nameRow->addWidget(m_cmbTimeZoneName, 1);
    zoneLay->addWidget(m_cmbTimeZone);
    zoneLay->addWidget(m_chkAdjustTime);
    zoneLay->addLayout(nameRow);

    // Picture and buttons.
    m_Image1 = new QLabel(this);
    m_Image1->setObjectName(QStringLiteral("Image1"));
    m_Image1->setAccessibleName(QStringLiteral("Setup"));
    m_Image1->setFixedSize(40, 40);
    m_Image1->setAlignment(Qt::AlignCenter);
    m_cmdTest = new QPushButton(QStringLiteral("Serial Port Test"), this);
    m_cmdTest->setObjectName(QStringLiteral("cmdTest"));
    m_cmdTest->setAccessibleName(m_cmdTest->text());
    m_cmdOk = new QPushButton(QStringLiteral("OK"), this);
    m_cmdOk->setObjectName(QStringLiteral("cmdOk"));
    m_cmdOk->setAccessibleName(m_cmdOk->text());
    m_cmdOk->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_Image1);
    buttons->addStretch(1);
    buttons->addWidget(m_cmdTest);
    buttons->addWidget(m_cmdOk);

    auto *outer = new QVBoxLayout(this);
    outer->addWidget(fraPort);
    outer->addWidget(fraZone);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_cmdTest, &QPushButton::clicked, this, &frmCommPort::onTest);
    // A zone brings its standard offset; an offset that is not the zone's
    // lets the zone go.
    connect(m_cmbTimeZoneName, &QComboBox::currentIndexChanged, this, [this] {
        int hours = 0;
        if (ReceiverTimeZone::checkName(shownZoneName(), &hours, nullptr)) {
            for (int i = 0; i < timeZoneEntries().size(); ++i)
                if (timeZoneOffset(i) == hours)
                    m_cmbTimeZone->setCurrentIndex(i);
        }
    });
    connect(m_cmbTimeZone, &QComboBox::currentIndexChanged, this, [this](int index) {
        int hours = 0;
        if (ReceiverTimeZone::checkName(shownZoneName(), &hours, nullptr) && hours != timeZoneOffset(index))
            m_cmbTimeZoneName->setCurrentIndex(0);
    });
    connect(m_cmdOk, &QPushButton::clicked, this, &frmCommPort::onOk);

    // Load.
    m_storedDevices = m_session.Port1.devicePaths();
    while (m_storedDevices.size() < PortCount)
        m_storedDevices << QString();
    for (int k = 0; k < PortCount; ++k)
        m_cmbDevice[k]->setEditText(m_storedDevices.at(k));
    LoadCombos();
    GetSettings();
}

void frmCommPort::LoadCombos()
{
    m_cmbTimeZone->clear();
    m_cmbTimeZone->addItems(timeZoneEntries());
    m_cmbTimeZoneName->clear();
    m_cmbTimeZoneName->addItem(computerZoneEntry(), QString());
    for (const QString &name : ReceiverTimeZone::acceptedNames())
        m_cmbTimeZoneName->addItem(name, name);
}

const QString &frmCommPort::computerZoneEntry()
{
    static const QString entry = QStringLiteral("This computer's time zone today");
    return entry;
}

QString frmCommPort::shownZoneName() const
{
    return m_cmbTimeZoneName->currentData().toString();
}

void frmCommPort::GetSettings()
{
    const int port = m_config.SerialPort;
    // Exclusive buttons cannot all be cleared while exclusive.
    m_optCommPort[0]->group()->setExclusive(false);
    for (int k = 0; k < PortCount; ++k)
        m_optCommPort[k]->setChecked(k == port - 1);
    m_optCommPort[0]->group()->setExclusive(true);

    int zone = 0;
    for (int i = 0; i < timeZoneEntries().size(); ++i)
        if (timeZoneOffset(i) == m_config.TimeZoneOffset)
            zone = i;
    m_cmbTimeZone->setCurrentIndex(zone);
    m_chkAdjustTime->setChecked(m_config.DaylightSavings);

    // A name the list lacks (written by hand into the store) is shown as it
    // is, so that OK does not drop it.
    int named = m_cmbTimeZoneName->findData(m_config.TimeZoneName);
    if (named < 0) {
        m_cmbTimeZoneName->addItem(m_config.TimeZoneName, m_config.TimeZoneName);
        named = m_cmbTimeZoneName->count() - 1;
    }
    const QSignalBlocker quiet(m_cmbTimeZoneName);
    m_cmbTimeZoneName->setCurrentIndex(named);
}

void frmCommPort::SaveSettings()
{
    for (int k = 0; k < PortCount; ++k) {
        if (m_optCommPort[k]->isChecked()) {
            m_config.SerialPort = int16_t(k + 1);
            break;
        }
    }
    int16_t offset = -4;
    const QString shown = m_cmbTimeZone->currentText();
    for (int i = 0; i < timeZoneEntries().size(); ++i) {
        if (shown == timeZoneEntries().at(i)) {
            offset = int16_t(timeZoneOffset(i));
            break;
        }
    }
    m_config.TimeZoneOffset = offset;
    m_config.DaylightSavings = m_chkAdjustTime->isChecked();
    m_config.TimeZoneName = shownZoneName();

    // Devices: only what the user changed reaches the store.
    const QStringList devices = shownDevices();
    bool changed = false;
    for (int k = 0; k < PortCount; ++k) {
        if (devices.at(k) != m_storedDevices.at(k)) {
            PortMap::Save(m_session.services(), k + 1, devices.at(k));
            changed = true;
        }
    }
    if (changed) {
        m_session.Port1.setDevicePaths(devices);
        m_storedDevices = devices;
    }
}

QStringList frmCommPort::shownDevices() const
{
    QStringList devices;
    for (int k = 0; k < PortCount; ++k)
        devices << m_cmbDevice[k]->currentText().trimmed();
    return devices;
}

bool frmCommPort::TestOpenPort(int port)
{
    PortCtl &ctl = m_session.Port1;
    ctl.setBaudRate(4800);
    ctl.setParity(0);
    ctl.setPortNumber(port);
    if (SerialTrace *trace = ctl.trace())
        trace->beginExchange(QStringLiteral("Port test on port %1 (%2)").arg(ctl.portNumber()).arg(ctl.devicePath(ctl.portNumber())));
    m_session.PortHandle = int16_t(ctl.Open());
    if (m_session.PortHandle != 0)
        return true;
    CloseReceiverPort(m_session);
    return false;
}

int frmCommPort::TestSerial()
{
    LinkSession &link = m_session;
    PortCtl &ctl = link.Port1;
    // The search tries the devices as shown, edits included; the stored map
    // is back in force afterwards unless OK keeps the edits.
    const QStringList before = ctl.devicePaths();
    ctl.setDevicePaths(shownDevices());

    int found = -1;
    link.resetCancel();
    ctl.Purge();
    for (int port = 1; port <= PortCount && found < 0; ++port) {
        CloseReceiverPort(m_session);
        if (!TestOpenPort(port)) {
            CloseReceiverPort(m_session);
            continue;
        }
        ctl.setReadMode(-1);
        ctl.Purge();
        ctl.WriteByte(84);   // "T"
        // The window does not respond meanwhile; one look at the port after.
        link.pause(m_session.services().timings.portTestPauseMs);
        QCoreApplication::processEvents();
        if (ctl.ReadByte() == LinkSession::ACK)
            found = port;
    }
    CloseReceiverPort(m_session);
    ctl.setDevicePaths(before);
    return found;
}

void frmCommPort::onTest()
{
    if (m_session.busy) {
        m_session.services().prompter().beep();
        return;
    }
    int port;
    {
        LinkBusyGuard busy(m_session);
        QCursor wait(Qt::WaitCursor);
        setCursor(wait);
        port = TestSerial();
        unsetCursor();
    }
    Prompter &p = m_session.services().prompter();
    if (port < 1 || port > PortCount) {
        p.ask(TestTitle, QStringLiteral("Error...No serial handshake found.  Check all connections."),
              Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
        return;
    }
    const QString n = QString::number(port);
    if (p.ask(TestTitle, QStringLiteral("Serial port ") + n + QStringLiteral(" found. Set port number?"),
              Prompter::Icon::Information, Prompter::Buttons::YesNo)
        != Prompter::Button::Yes)
        return;
    m_optCommPort[port - 1]->setChecked(true);
    m_config.SerialPort = int16_t(port);
    m_session.services().view().setStatusText(QStringLiteral("Left"),
                               QStringLiteral(" Serial port ") + n + QStringLiteral(" found ")
                                   + QStringLiteral("and passed handshaking test. Port ") + n
                                   + QStringLiteral(" set."));
}

void frmCommPort::onOk()
{
    // A device name that could not name a device (a line break pasted in, a
    // network address without its port) is refused before anything is kept.
    const QStringList devices = shownDevices();
    for (int k = 0; k < PortCount; ++k) {
        QString why;
        if (!IsAcceptableDeviceName(devices.at(k), &why)) {
            m_session.services().prompter().ask(QStringLiteral("Setup"),
                                                QStringLiteral("Port %1: %2").arg(k + 1).arg(why),
                                                Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
            m_cmbDevice[k]->setFocus();
            return;
        }
    }
    SaveSettings();
    accept();
}

void frmCommPort::onActivate()
{
    if (m_Image1->pixmap().isNull() && QFile::exists(SetupPicture))
        m_Image1->setPixmap(QIcon(SetupPicture).pixmap(32, 32));
    m_cmdOk->setFocus();
}

void frmCommPort::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    onActivate();
}

void frmCommPort::changeEvent(QEvent *event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        onActivate();
}
