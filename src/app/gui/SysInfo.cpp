// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/gui/SysInfo.h"

#include "link/core/PortMap.h"
#include "link/core/SerialLine.h"
#include "link/core/LinkSession.h"
#include "app/AppContext.h"
#include "coverage/gui/CoverageCommands.h"
#include "base/Messages.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QVBoxLayout>

namespace {

std::function<SysInfoReport(AppContext &)> &collector()
{
    static std::function<SysInfoReport(AppContext &)> c;
    return c;
}

SysInfoReport gather(AppContext &ctx)
{
    SysInfoReport r;
    r.operatingSystem = QSysInfo::prettyProductName();
    r.kernel = QSysInfo::kernelType() + QLatin1Char(' ') + QSysInfo::kernelVersion();
    r.architecture = QSysInfo::currentCpuArchitecture();
    r.qtVersion = QString::fromLatin1(qVersion());
    r.qtBuildVersion = QStringLiteral(QT_VERSION_STR);
    r.programVersion = ctx.config.EditorVersion;
    if (!QCoreApplication::applicationVersion().isEmpty()
        && QCoreApplication::applicationVersion() != r.programVersion)
        r.programVersion += QStringLiteral(" (") + QCoreApplication::applicationVersion() + QLatin1Char(')');
    r.receiverVersion = ctx.config.ReceiverVersion;
    r.coverage = CoverageCommands::coverageInUse(ctx);
    r.coverageFolder = QDir::toNativeSeparators(ctx.statesFolder);
    // The devices the link uses now (the setup window may have changed them
    // since the store was read), else the stored map.
    r.portDevices = ctx.hasSession() ? ctx.session().Port1.devicePaths() : PortMap::Load(ctx);
    while (r.portDevices.size() < PortMap::PortCount)
        r.portDevices << QString();

    // A port may name a device by a link (/dev/serial/by-id/...): compare
    // what the links point at.
    auto same = [](const QString &a, const QString &b) {
        if (a == b)
            return true;
        const QString ca = QFileInfo(a).canonicalFilePath();
        return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
    };
    QStringList listed;
    for (const SerialDeviceInfo &info : SerialLine::availableDevices()) {
        SysInfoReport::SerialDevice d;
        d.path = info.path;
        d.description = info.description;
        d.manufacturer = info.manufacturer;
        d.serialNumber = info.serialNumber;
        d.usbId = info.usbId;
        for (int n = 0; n < r.portDevices.size(); ++n) {
            if (same(r.portDevices.at(n), d.path)) {
                d.portNumber = n + 1;
                break;
            }
        }
        listed << d.path;
        r.devices << d;
    }
    // Ports pointed at something the serial port list does not show (a
    // pseudo-terminal, a device that is unplugged) are listed too.
    for (int n = 0; n < r.portDevices.size(); ++n) {
        const QString &p = r.portDevices.at(n);
        bool found = false;
        for (const QString &l : listed)
            found = found || same(l, p);
        if (!found && !p.isEmpty() && QFileInfo::exists(p)) {
            SysInfoReport::SerialDevice d;
            d.path = p;
            d.description = QStringLiteral("(not a listed serial device)");
            d.portNumber = n + 1;
            listed << p;
            r.devices << d;
        }
    }
    return r;
}

} // namespace

QString SysInfoReport::text() const
{
    QStringList lines;
    lines << QStringLiteral("Operating system:   ") + operatingSystem;
    lines << QStringLiteral("Kernel:             ") + kernel;
    lines << QStringLiteral("Architecture:       ") + architecture;
    lines << QStringLiteral("Qt version:         ") + qtVersion
                 + (qtBuildVersion.isEmpty() || qtBuildVersion == qtVersion
                        ? QString()
                        : QStringLiteral(" (built with ") + qtBuildVersion + QLatin1Char(')'));
    lines << QStringLiteral("Editor version:     ") + programVersion;
    lines << QStringLiteral("Receiver firmware:  ") + receiverVersion;
    if (!coverage.isEmpty()) {
        lines << QStringLiteral("Coverage listing:   ") + coverage;
        lines << QStringLiteral("Coverage folder:    ") + coverageFolder;
    }
    lines << QString();
    lines << QStringLiteral("Receiver ports:");
    for (int n = 0; n < portDevices.size(); ++n) {
        const QString dev = portDevices.at(n);
        bool present = false;
        for (const SerialDevice &d : devices)
            present = present || d.portNumber == n + 1;
        lines << QStringLiteral("  Port %1  %2%3")
                     .arg(n + 1)
                     .arg(dev.isEmpty() ? QStringLiteral("(no device)") : dev)
                     .arg(present || dev.isEmpty() ? QString() : QStringLiteral("  (not present)"));
    }
    lines << QString();
    lines << QStringLiteral("Serial devices:");
    if (devices.isEmpty())
        lines << QStringLiteral("  (none found)");
    for (const SerialDevice &d : devices) {
        QString line = QStringLiteral("  ") + d.path;
        line += d.portNumber > 0 ? QStringLiteral("  = Port %1").arg(d.portNumber) : QStringLiteral("  (no port number)");
        lines << line;
        QStringList details;
        if (!d.description.isEmpty())
            details << d.description;
        if (!d.manufacturer.isEmpty())
            details << d.manufacturer;
        if (!d.usbId.isEmpty())
            details << QStringLiteral("USB ") + d.usbId;
        if (!d.serialNumber.isEmpty())
            details << QStringLiteral("serial ") + d.serialNumber;
        if (!details.isEmpty())
            lines << QStringLiteral("      ") + details.join(QStringLiteral(", "));
    }
    return lines.join(QLatin1Char('\n'));
}

SysInfoReport CollectSysInfo(AppContext &ctx)
{
    return collector() ? collector()(ctx) : gather(ctx);
}

void setSysInfoCollector(std::function<SysInfoReport(AppContext &)> c)
{
    collector() = std::move(c);
}

frmSysInfo::frmSysInfo(const SysInfoReport &report, QWidget *parent)
    : QDialog(parent), m_text(report.text())
{
    setObjectName(QStringLiteral("frmSysInfo"));
    setWindowTitle(QStringLiteral("NX-4400C System Information"));
    setAccessibleName(windowTitle());
    setSizeGripEnabled(true);

    auto *intro = new QLabel(QStringLiteral("Please give these details when you call support:"));
    intro->setObjectName(QStringLiteral("lblIntro"));
    auto *text = new QPlainTextEdit(m_text);
    text->setObjectName(QStringLiteral("txtSysInfo"));
    text->setAccessibleName(QStringLiteral("System information"));
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const QFontMetrics fm(text->font());
    int widest = 0;
    for (const QString &l : m_text.split(QLatin1Char('\n')))
        widest = qMax(widest, fm.horizontalAdvance(l));
    text->setMinimumSize(qBound(420, widest + 40, 900),
                         qBound(260, fm.lineSpacing() * (int(m_text.count(QLatin1Char('\n'))) + 3), 600));

    auto *copy = new QPushButton(QStringLiteral("&Copy"));
    copy->setObjectName(QStringLiteral("cmdCopy"));
    copy->setAccessibleName(QStringLiteral("Copy"));
    copy->setAutoDefault(false);
    auto *ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setAccessibleName(QStringLiteral("OK"));
    ok->setDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(copy);
    buttons->addStretch(1);
    buttons->addWidget(ok);

    auto *root = new QVBoxLayout(this);
    root->addWidget(intro);
    root->addWidget(text, 1);
    root->addLayout(buttons);

    connect(copy, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(m_text); });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void StartSysInfo(AppContext &ctx, QWidget *parent)
{
    const SysInfoReport report = CollectSysInfo(ctx);
    if (report.isEmpty()) {
        ctx.prompter().ask(Messages::Title, QStringLiteral("System Information Is Unavailable At This Time"),
                           Prompter::Icon::None, Prompter::Buttons::Ok);
        return;
    }
    frmSysInfo window(report, parent);
    window.exec();
}
