// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/gui/frmEnterFIP.h"

#include "coverage/core/SetupChoice.h"
#include "coverage/core/StateDatabase.h"
#include "coverage/gui/CoverageUi.h"
#include "coverage/gui/SetupCheckLabel.h"
#include "coverage/gui/TransmitterInfoLine.h"
#include "widgets/NamedWidgets.h"
#include "coverage/gui/frmFIPS.h"
#include "base/Services.h"
#include "config/core/ReceiverSetup.h"
#include "coverage/core/EventCatalog.h"
#include "base/Messages.h"
#include "coverage/core/CountyAtlas.h"
#include "coverage/core/TransmitterTable.h"
#include "coverage/gui/CountyMapView.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

frmEnterFIP::frmEnterFIP(Services &services, ReceiverSetup &setup, frmFIPS *countyWindow, QWidget *parent)
    : QDialog(parent)
    , m_svc(services)
    , m_setup(setup)
    , m_fips(countyWindow)
{
    setObjectName(QStringLiteral("frmEnterFIP"));
    setWindowTitle(QStringLiteral("NX-4400C State / Transmitter Entry"));
    setModal(true);

    const QFont fixed = Widgets::fixedFont();
    const QFontMetrics fm(fixed);

    m_cmbState = new QComboBox(this);
    m_cmbState->setObjectName(QStringLiteral("cmbState"));
    m_cmbState->setFont(fixed);
    m_cmbState->setMaxVisibleItems(20);
    m_cmbState->setMinimumContentsLength(18);
    m_cmbLimit = new QComboBox(this);
    m_cmbLimit->setObjectName(QStringLiteral("cmbLimit"));
    m_cmbLimit->setFont(fixed);
    m_cmbLimit->setMinimumContentsLength(8);
    for (QComboBox *box : {m_cmbState, m_cmbLimit})
        box->installEventFilter(this);
    // The user's choice, not a preset made by the program, reloads the list.
    connect(m_cmbState, &QComboBox::activated, this, &frmEnterFIP::cmbState_Click);
    connect(m_cmbLimit, &QComboBox::activated, this, &frmEnterFIP::cmbLimit_Click);

    m_lstCounty = new QListWidget(this);
    m_lstCounty->setObjectName(QStringLiteral("lstCounty"));
    m_lstCounty->setFont(fixed);
    m_lstCounty->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lstCounty->setUniformItemSizes(true);
    m_lstCounty->setMinimumSize(fm.horizontalAdvance(QString(34, QLatin1Char('0'))) + 30, fm.height() * 14);
    connect(m_lstCounty, &QListWidget::itemDoubleClicked, this, [this] { cmdOk_Click(); });

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOk"));
    ok->setAccessibleName(QStringLiteral("OK"));
    ok->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &frmEnterFIP::cmdOk_Click);
    m_cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cmdCancel->setAccessibleName(QStringLiteral("Cancel"));
    m_cmdCancel->setAutoDefault(false);
    connect(m_cmdCancel, &QPushButton::clicked, this, &frmEnterFIP::reject);

    auto *choices = new QGridLayout;
    choices->addWidget(Widgets::heading(this, QStringLiteral("lblStateHeading"), QStringLiteral("State - Territories"),
                                           m_cmbState), 0, 0);
    choices->addWidget(m_cmbState, 1, 0);
    choices->addWidget(Widgets::heading(this, QStringLiteral("lblFrequencyHeading"), QStringLiteral("Frequency"),
                                           m_cmbLimit), 0, 1);
    choices->addWidget(m_cmbLimit, 1, 1);
    choices->setColumnStretch(2, 1);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(Widgets::picture(this, QStringLiteral("fips"), QStringLiteral("FIP codes")), 0,
                       Qt::AlignHCenter);
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(m_cmdCancel);

    auto *listColumn = new QVBoxLayout;
    listColumn->addLayout(choices);
    listColumn->addSpacing(6);
    listColumn->addWidget(Widgets::heading(this, QStringLiteral("lblTransmitterHeading"),
                                              QStringLiteral("Transmitter Location"), m_lstCounty));
    listColumn->addWidget(m_lstCounty, 1);
    // Status, call sign, power and office of the highlighted transmitter.
    listColumn->addWidget(new TransmitterInfoLine(m_svc, m_lstCounty, this));
    // The stored transmitter, when the listing no longer has it: across the
    // whole window under the list and the map, where its lines are long
    // and few, so the list keeps its height.
    m_lblGone = SetupCheckLabel::make(this, QStringLiteral("lblTransmitterGone"));

    // A map of the highlighted transmitter's counties, beside the list. It
    // only shows: counties are chosen in the county window.
    m_preview = new CountyMapView(this);
    m_preview->setObjectName(QStringLiteral("mapPreview"));
    m_preview->setAccessibleName(QStringLiteral("Map of the transmitter's counties"));
    m_preview->setInteractive(false);
    m_preview->setMinimumSize(240, 200);
    connect(m_lstCounty, &QListWidget::currentRowChanged, this, &frmEnterFIP::updatePreview);

    // The preview takes the room that is left and gives it back first.
    auto *upper = new QHBoxLayout;
    upper->addLayout(listColumn, 0);
    upper->addSpacing(8);
    upper->addWidget(m_preview, 1);
    upper->addSpacing(8);
    upper->addLayout(buttons);

    QVBoxLayout *info = Widgets::instructions(this, QStringLiteral("lslInfo"), {
        QStringLiteral("1.  Select the state which is were the weather transmitter is located you will be monitoring."),
        QStringLiteral("2.  Select the frequency of the weather transmitter you will be monitoring."),
        QStringLiteral("3.  Within the list box, highlite by clicking on the city were the weather transmitter is located."),
        QStringLiteral("4.  Review the above steps then click on OK when you are satisfied with your selections."),
    });

    auto *top = new QVBoxLayout(this);
    top->addLayout(upper, 1);
    top->addWidget(m_lblGone);
    top->addSpacing(6);
    top->addLayout(info);
}

void frmEnterFIP::FillStateList()
{
    m_cmbState->clear();
    m_cmbState->addItems(StateDatabase::stateList());
}

void frmEnterFIP::FillFrequencyList()
{
    m_cmbLimit->clear();
    m_cmbLimit->addItems(StateDatabase::frequencyList());
}

bool frmEnterFIP::LoadStateFile(int stateId)
{
    QStringList transmitters;
    m_lstCounty->clear();
    const bool ok = SetupChoice::transmitterList(m_svc.prompter(), m_svc.statesFolder,
                                                 m_setup.config.FrequencyListingFilter, stateId, &transmitters);
    m_lstCounty->addItems(transmitters);
    return ok;
}

void frmEnterFIP::highlightTransmitter(const QString &field)
{
    const QString wanted = field.trimmed();
    if (wanted.isEmpty())
        return;
    for (int i = 0; i < m_lstCounty->count(); ++i) {
        QListWidgetItem *item = m_lstCounty->item(i);
        if (item->text().trimmed().compare(wanted, Qt::CaseInsensitive) == 0) {
            m_lstCounty->setCurrentItem(item);
            m_lstCounty->scrollToItem(item);
            return;
        }
    }
}

bool frmEnterFIP::StoreFips()
{
    const QList<QListWidgetItem *> chosen = m_lstCounty->selectedItems();
    if (chosen.isEmpty())
        return false;
    const QString field = chosen.first()->text();
    // The county list is replaced by the transmitter's counties; FipEntries
    // are emptied until the county window's OK stores the new list. The
    // counties the user had ticked stay ticked where the new transmitter
    // covers them: choosing a replacement must not silently empty the
    // selection.
    QStringList ticked;
    for (const CountyEntries::Item &item : m_fips->items()) {
        if (item.checked)
            ticked << item.text.left(6);
    }
    m_fips->clearList();
    QStringList counties;
    SetupChoice::chooseTransmitter(m_svc.prompter(), m_svc.statesFolder, m_setup, field, &counties);
    QStringList dropped;
    const QVector<CountyEntries::Item> items = SetupChoice::keepTicks(counties, ticked, &dropped);
    m_svc.view().setStatusText(QStringLiteral("Left"),
                               SetupChoice::keptTicksText(field, int(ticked.size() - dropped.size()),
                                                          int(dropped.size())));
    m_fips->setStateCaption(m_cmbState->currentText());
    m_fips->setTransmitterCaption(field);
    // A transmitter picked from the list is one the listing has.
    setSetupCheck(SetupCheck::Report());
    m_fips->setSetupCheck(SetupCheck::Report());
    for (const CountyEntries::Item &item : items)
        m_fips->appendEntry(item.text, item.checked);
    return true;
}

void frmEnterFIP::setSetupCheck(const SetupCheck::Report &report)
{
    SetupCheckLabel::show(m_lblGone, SetupCheckLabel::transmitterLines(report), true);
}

void frmEnterFIP::cmbState_Click(int index)
{
    // FipEntries stay as stored: the county list is not touched by choosing a
    // state, and emptying the stored copy here would lose the user's counties
    // if the window were then cancelled.
    m_setup.config.StateID = int16_t(index);
    LoadStateFile(index);
    highlightTransmitter(m_setup.config.TransmitterLocation);
}

void frmEnterFIP::cmbLimit_Click(int index)
{
    m_setup.config.FrequencyListingFilter = int16_t(index);
    LoadStateFile(m_setup.config.StateID);
    highlightTransmitter(m_setup.config.TransmitterLocation);
}

void frmEnterFIP::cmdOk_Click()
{
    if (StoreFips()) {
        accept();
        return;
    }
    m_svc.prompter().beep();
    Messages::ShowError(m_svc.prompter(), 3);
}

void frmEnterFIP::reject()
{
    // Cancel only hides the window: the state and filter chosen meanwhile
    // stay chosen, as the list shows them.
    QDialog::reject();
}

void frmEnterFIP::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_cmdCancel->setFocus();
    updatePreview();
}

bool frmEnterFIP::eventFilter(QObject *watched, QEvent *event)
{
    // Typing in the state or frequency box is refused with a beep; the
    // arrow keys and the mouse still choose.
    if ((watched == m_cmbState || watched == m_cmbLimit) && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (!key->text().isEmpty() && key->text().at(0).isPrint()) {
            m_svc.prompter().beep();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmEnterFIP::updatePreview()
{
    // The coverage is read from the state files when first needed, by the
    // county window, which both maps share.
    if (!isVisible() || !m_fips)
        return;
    m_preview->setCoverage(m_fips->coverage());
    // Read again when an import put another listing behind the folder.
    const QString listing = QFileInfo(m_svc.statesFolder).canonicalFilePath();
    const QVariant loaded = m_preview->property("tableLoaded");
    if (!loaded.isValid() || loaded.toString() != listing) {
        QHash<QString, TransmitterInfo> table;
        TransmitterTable::load(m_svc.statesFolder, &table);
        m_preview->setTransmitterTable(table);
        m_preview->setProperty("tableLoaded", listing);
    }
    m_preview->setState(CountyAtlas::stateCodeOf(m_cmbState->currentIndex()));
    m_preview->setStateName(m_cmbState->currentText());
    const QListWidgetItem *item = m_lstCounty->currentItem();
    m_preview->setTransmitter(item ? item->text() : QString());
}
