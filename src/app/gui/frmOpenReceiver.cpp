// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/gui/frmOpenReceiver.h"

#include "widgets/NamedWidgets.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString kEditors = QStringLiteral("The editor's setup (settings and NX_4400C.DAT of this folder)");

} // namespace

frmOpenReceiver::frmOpenReceiver(const QString &fleetFile, const QString &current, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmOpenReceiver"));
    setWindowTitle(QStringLiteral("Open Receiver"));
    setAccessibleName(windowTitle());

    auto *layout = new QVBoxLayout(this);
    auto *fileRow = new QHBoxLayout;
    m_txtFleetFile = new QLineEdit(this);
    m_txtFleetFile->setObjectName(QStringLiteral("txtFleetFile"));
    m_txtFleetFile->setText(QDir::toNativeSeparators(fleetFile));
    m_txtFleetFile->setMinimumWidth(360);
    fileRow->addWidget(Widgets::heading(this, QStringLiteral("lblFleetFile"), QStringLiteral("&Fleet file:"),
                                        m_txtFleetFile));
    fileRow->addWidget(m_txtFleetFile, 1);
    m_cmdRead = Widgets::button(this, QStringLiteral("cmdReadFleet"), QStringLiteral("&Read"));
    fileRow->addWidget(m_cmdRead);
    layout->addLayout(fileRow);

    m_lstReceivers = new QListWidget(this);
    m_lstReceivers->setObjectName(QStringLiteral("lstReceivers"));
    m_lstReceivers->setAccessibleName(QStringLiteral("Receivers"));
    m_lstReceivers->setMinimumSize(560, 160);
    layout->addWidget(Widgets::heading(this, QStringLiteral("lblReceivers"), QStringLiteral("&Receivers:"),
                                       m_lstReceivers));
    layout->addWidget(m_lstReceivers, 1);

    m_lblProblem = Widgets::label(this, QStringLiteral("lblProblem"), QString());
    m_lblProblem->setWordWrap(true);
    m_lblProblem->hide();
    layout->addWidget(m_lblProblem);
    layout->addWidget(Widgets::label(this, QStringLiteral("lblSaved"),
                                     QStringLiteral("The setup being edited is saved before another is opened.")));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_cmdOpen = Widgets::button(this, QStringLiteral("cmdOpen"), QStringLiteral("&Open"), 90);
    m_cmdOpen->setDefault(true);
    QPushButton *cancel = Widgets::button(this, QStringLiteral("cmdCancel"), QStringLiteral("Cancel"), 90);
    buttons->addWidget(m_cmdOpen);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    connect(m_cmdRead, &QPushButton::clicked, this, [this] { readFleet(m_txtFleetFile->text().trimmed()); });
    connect(m_txtFleetFile, &QLineEdit::returnPressed, this, [this] { readFleet(m_txtFleetFile->text().trimmed()); });
    connect(m_cmdOpen, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_lstReceivers, &QListWidget::itemDoubleClicked, this, &QDialog::accept);

    // Without a fleet file the editor's own setup is all there is, and the
    // window says how to name the receivers.
    readFleet(fleetFile);
    fillList(current);
}

bool frmOpenReceiver::readFleet(const QString &path)
{
    QList<FleetReceiver> receivers;
    QString why;
    if (path.isEmpty() || !ReadFleetFile(QDir::fromNativeSeparators(path), &receivers, &why)) {
        m_lblProblem->setText(path.isEmpty() ? QStringLiteral("No fleet file is set. Type the name of one (a "
                                                              "receiver a line: NAME DEVICE [PROFILE]), then Read.")
                                             : why);
        m_lblProblem->show();
        return false;
    }
    m_lblProblem->hide();
    m_receivers = receivers;
    m_fleetFile = QFileInfo(QDir::fromNativeSeparators(path)).absoluteFilePath();
    fillList(QString());
    return true;
}

void frmOpenReceiver::fillList(const QString &current)
{
    m_lstReceivers->clear();
    m_lstReceivers->addItem(kEditors);
    for (const FleetReceiver &r : std::as_const(m_receivers)) {
        const QString profile = r.profile.isEmpty() ? QStringLiteral("(the editor's setup)")
                                                    : QDir::toNativeSeparators(QFileInfo(r.profile).fileName());
        m_lstReceivers->addItem(QStringLiteral("%1  \u2014  %2  \u2014  %3").arg(r.name, r.device, profile));
    }
    int row = 0;
    for (qsizetype i = 0; i < m_receivers.size(); ++i) {
        if (m_receivers.at(i).name == current)
            row = int(i + 1);
    }
    m_lstReceivers->setCurrentRow(row);
}

bool frmOpenReceiver::choseEditors() const
{
    return m_lstReceivers->currentRow() <= 0;
}

FleetReceiver frmOpenReceiver::chosen() const
{
    return choseEditors() ? FleetReceiver{} : m_receivers.value(m_lstReceivers->currentRow() - 1);
}
