// SPDX-License-Identifier: GPL-3.0-or-later
#include "coverage/gui/frmFIPS.h"

#include "coverage/gui/CoverageUi.h"
#include "widgets/NamedWidgets.h"
#include "coverage/gui/frmEnterFIP.h"
#include "coverage/gui/frmFIPEdit.h"
#include "base/Services.h"
#include "config/core/ReceiverSetup.h"
#include "coverage/core/EventCatalog.h"
#include "base/Messages.h"
#include "coverage/core/CountyAtlas.h"
#include "coverage/core/CountyCoverage.h"
#include "coverage/core/StateDatabase.h"
#include "coverage/core/TransmitterTable.h"
#include "coverage/gui/CountyMapView.h"
#include "coverage/gui/CoverageCommands.h"
#include "coverage/core/CoverageSheet.h"
#include "coverage/gui/SetupCheckLabel.h"

#include <QAccessible>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>

#include <QEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption)
{
    QPushButton *button = Widgets::button(parent, name, caption);
    button->setAutoDefault(false);
    return button;
}

QLabel *makeField(QWidget *parent, const QString &name, int chars, const QString &description)
{
    QLabel *label = Widgets::field(parent, name, description);
    label->setFont(Widgets::fixedFont());
    const QFontMetrics fm(label->font());
    label->setMinimumWidth(fm.horizontalAdvance(QString(chars + 1, QLatin1Char('W'))) + 2 * label->frameWidth() + 8);
    label->setMinimumHeight(fm.height() + 6);
    return label;
}

} // namespace

frmFIPS::frmFIPS(Services &services, ReceiverSetup &setup, QWidget *parent)
    : QDialog(parent)
    , m_svc(services)
    , m_setup(setup)
{
    setObjectName(QStringLiteral("frmFIPS"));
    setWindowTitle(QStringLiteral("NX-4400C FIPS Codes"));
    setModal(true);

    // The county list, with its column headings over the entry columns.
    m_lstFips = new QListWidget(this);
    m_lstFips->setObjectName(QStringLiteral("lstFips"));
    m_lstFips->setAccessibleName(QStringLiteral("Counties"));
    m_lstFips->setFont(Widgets::fixedFont());
    m_lstFips->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lstFips->setUniformItemSizes(true);
    const QFontMetrics fm(m_lstFips->font());
    const int cw = fm.horizontalAdvance(QLatin1Char('0'));
    m_lstFips->setMinimumSize(cw * 53 + style()->pixelMetric(QStyle::PM_IndicatorWidth) + 40, fm.height() * 14);

    // Column headings in the list's own font, placed over the entry columns
    // once the list knows where its item text starts (placeHeadings).
    m_headings = new QWidget(this);
    m_headings->setObjectName(QStringLiteral("Headings"));
    const struct {
        const char *name;
        const char *text;
    } heads[] = {{"lblHeadFip", "FIP Code"}, {"lblHeadCounty", "County"}, {"lblHeadState", "State"}};
    for (const auto &h : heads) {
        QLabel *l = Widgets::heading(m_headings, QString::fromLatin1(h.name), QString::fromLatin1(h.text));
        l->setFont(m_lstFips->font());
        l->adjustSize();
    }
    m_headings->setFixedHeight(fm.height() + 2);
    placeHeadings();

    auto *listColumn = new QVBoxLayout;
    listColumn->setSpacing(2);
    listColumn->addWidget(m_headings);
    listColumn->addWidget(m_lstFips, 1);

    // State, transmitter and the button that picks them.
    m_lblState = makeField(this, QStringLiteral("lblState"), 18, QStringLiteral("State / Territories"));
    m_lblTransmitter = makeField(this, QStringLiteral("lblTransmitter"), 32,
                                 QStringLiteral("Transmitter Location / Frequency"));
    m_cmdEnterCodes = makeButton(this, QStringLiteral("cmdEnterCodes"), QStringLiteral("Select State / Transmitter City"));
    connect(m_cmdEnterCodes, &QPushButton::clicked, this, &frmFIPS::cmdEnterCodes_Click);

    // Shape1 is a frame drawn around the button; it blinks while the list is
    // empty, to show the user where to begin.
    m_shapeHolder = new QWidget(this);
    m_shapeHolder->setObjectName(QStringLiteral("Shape1Holder"));
    auto *holderLayout = new QVBoxLayout(m_shapeHolder);
    holderLayout->setContentsMargins(5, 5, 5, 5);
    holderLayout->addWidget(m_cmdEnterCodes);
    m_shape1 = new QFrame(m_shapeHolder);
    m_shape1->setObjectName(QStringLiteral("Shape1"));
    m_shape1->setAccessibleName(QStringLiteral("Start here"));
    m_shape1->setStyleSheet(QStringLiteral("QFrame#Shape1 { border: 3px solid #d00000; }"));
    m_shape1->lower();
    m_shapeHolder->installEventFilter(this);

    auto *modify = new QGroupBox(QStringLiteral("Modify Listing"), this);
    modify->setObjectName(QStringLiteral("fraModify"));
    modify->setAccessibleName(QStringLiteral("Modify Listing"));
    auto *modifyGrid = new QGridLayout(modify);
    QPushButton *add = makeButton(modify, QStringLiteral("cmdAdd"), QStringLiteral("Add"));
    QPushButton *edit = makeButton(modify, QStringLiteral("cmdEdit"), QStringLiteral("Edit"));
    QPushButton *remove = makeButton(modify, QStringLiteral("cmdRemove"), QStringLiteral("Remove"));
    QPushButton *copy = makeButton(modify, QStringLiteral("cmdCopy"), QStringLiteral("Copy"));
    modifyGrid->addWidget(add, 0, 0);
    modifyGrid->addWidget(edit, 0, 1);
    modifyGrid->addWidget(remove, 1, 0);
    modifyGrid->addWidget(copy, 1, 1);
    connect(add, &QPushButton::clicked, this, &frmFIPS::cmdAdd_Click);
    connect(edit, &QPushButton::clicked, this, &frmFIPS::cmdEdit_Click);
    connect(remove, &QPushButton::clicked, this, &frmFIPS::cmdRemove_Click);
    connect(copy, &QPushButton::clicked, this, &frmFIPS::cmdCopy_Click);

    m_cmdOK = makeButton(this, QStringLiteral("cmdOK"), QStringLiteral("OK"));
    m_cmdOK->setDefault(true);
    connect(m_cmdOK, &QPushButton::clicked, this, &frmFIPS::cmdOK_Click);

    auto *okRow = new QHBoxLayout;
    okRow->addWidget(Widgets::picture(this, QStringLiteral("fips"), QStringLiteral("FIP codes")));
    okRow->addStretch();
    okRow->addWidget(m_cmdOK);

    // Under the map: what is chosen on the left, the buttons on the right.
    auto *fields = new QVBoxLayout;
    fields->addWidget(Widgets::heading(this, QStringLiteral("lblStateHeading"), QStringLiteral("State / Territories"),
                                          m_lblState));
    fields->addWidget(m_lblState);
    fields->addSpacing(6);
    fields->addWidget(Widgets::heading(this, QStringLiteral("lblTransmitterHeading"),
                                          QStringLiteral("Transmitter Location / Frequency"), m_lblTransmitter));
    fields->addWidget(m_lblTransmitter);
    fields->addStretch();
    auto *side = new QVBoxLayout;
    side->addWidget(m_shapeHolder);
    side->addWidget(modify);
    side->addStretch();
    side->addLayout(okRow);
    auto *controls = new QHBoxLayout;
    controls->addLayout(fields, 1);
    controls->addSpacing(8);
    controls->addLayout(side);

    // The stored transmitter, when the listing no longer has it: across the
    // map's width, so its three lines stay short.
    m_lblGone = SetupCheckLabel::make(this, QStringLiteral("lblTransmitterGone"));

    // The map is the larger part of the window and takes every pixel the
    // window gains; on a small screen it gives room back first. The list
    // keeps the width its columns need.
    auto *mapSide = new QVBoxLayout;
    mapSide->addWidget(buildMapColumn(), 1);
    mapSide->addWidget(m_lblGone);
    mapSide->addLayout(controls);
    auto *upper = new QHBoxLayout;
    upper->addLayout(listColumn, 0);
    upper->addSpacing(8);
    upper->addLayout(mapSide, 1);

    QVBoxLayout *info = Widgets::instructions(this, QStringLiteral("lblInfo"), {
        QStringLiteral("1.  Click \"Select State\" button above right to select the state and transmitter city for your area."),
        QStringLiteral("2.  Click the checkbox within the above windows for the counties you want to receive alerts."),
        QStringLiteral("3.  If necessary, you can add non-database counties with the \"Add\" button."),
        QStringLiteral("4.  You can also edit or delete an entry by first selecting it then click on the \"Edit\" button."),
    });

    auto *top = new QVBoxLayout(this);
    top->addLayout(upper, 1);
    top->addSpacing(6);
    top->addLayout(info);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(services.timings.countyBlinkMs);
    connect(m_timer1, &QTimer::timeout, this, &frmFIPS::Timer1_Timer);

    // The first size: room for a map that can be read, on any screen from
    // 1024 x 768 up, and never larger than the screen (less its panels and
    // the title bar).
    const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    // Large fonts (or a fixed font wider than the one the list was sized
    // for) can ask for more than the screen has: the county list gives up
    // the difference and scrolls sideways instead.
    const int over = minimumSizeHint().width() - (room.width() - 24);
    if (over > 0) {
        m_lstFips->setMinimumWidth(qMax(cw * 24, m_lstFips->minimumWidth() - over));
        m_lstFips->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    }
    resize(QSize(qMin(1000, room.width() - 24), qMin(700, room.height() - 60)).expandedTo(minimumSizeHint()));
}

frmFIPS::~frmFIPS()
{
    // The list is destroyed with the other children after this destructor
    // has run; its model's last signals must not reach the map, which is
    // gone by then.
    if (m_lstFips)
        m_lstFips->model()->disconnect(this);
}

QWidget *frmFIPS::buildMapColumn()
{
    auto *column = new QWidget(this);
    column->setObjectName(QStringLiteral("fraMap"));
    m_map = new CountyMapView(column);
    m_map->setMinimumSize(260, 180);
    QPushButton *fit = makeButton(column, QStringLiteral("cmdFit"), QStringLiteral("Fit"));
    fit->setToolTip(QStringLiteral("Show the whole state with every selected and covered county"));
    QPushButton *save = makeButton(column, QStringLiteral("cmdSaveMap"), QStringLiteral("Save Map As..."));
    connect(fit, &QPushButton::clicked, this, &frmFIPS::cmdFit_Click);
    connect(save, &QPushButton::clicked, this, &frmFIPS::cmdSaveMap_Click);
    m_lblMapNote = Widgets::label(column, QStringLiteral("lblMapNote"), QString(), QStringLiteral("County map"));
    m_lblMapNote->setWordWrap(true);
    m_lblMapWarning = new QLabel(column);
    m_lblMapWarning->setObjectName(QStringLiteral("lblMapWarning"));
    const int iconSize = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    m_lblMapWarning->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(iconSize));
    m_lblMapWarning->setAccessibleName(QStringLiteral("Warning"));
    m_lblMapWarning->hide();
    auto *noteRow = new QHBoxLayout;
    noteRow->setSpacing(4);
    noteRow->addWidget(m_lblMapWarning, 0, Qt::AlignTop);
    noteRow->addWidget(m_lblMapNote, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Widgets::heading(column, QStringLiteral("lblMapHeading"), QStringLiteral("County map"), m_map));
    buttons->addStretch();
    buttons->addWidget(fit);
    buttons->addWidget(save);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(buttons);
    layout->addWidget(m_map, 1);
    layout->addLayout(noteRow);

    // The map follows the list: every check mark, entry added or removed.
    auto listed = [this] {
        m_map->setListed(items());
        refreshMapState();
    };
    QAbstractItemModel *model = m_lstFips->model();
    connect(model, &QAbstractItemModel::dataChanged, this, listed);
    connect(model, &QAbstractItemModel::rowsInserted, this, listed);
    connect(model, &QAbstractItemModel::rowsRemoved, this, listed);
    connect(model, &QAbstractItemModel::modelReset, this, listed);
    connect(m_map, &CountyMapView::countyToggled, this, &frmFIPS::toggleCounty);
    connect(m_map, &CountyMapView::contentChanged, this, &frmFIPS::showMapNote);
    // The keyboard highlight on the map and the list's current entry agree.
    connect(m_map, &CountyMapView::highlightChanged, this, [this](const QString &id) {
        for (int i = 0; i < m_lstFips->count(); ++i) {
            if (m_lstFips->item(i)->text().mid(1, 5) == id) {
                m_lstFips->setCurrentRow(i);
                m_lstFips->scrollToItem(m_lstFips->item(i));
                return;
            }
        }
    });
    return column;
}

void frmFIPS::showMapNote()
{
    // More counties checked than the receiver takes: the line turns into a
    // warning, in colour, with the warning sign, and a screen reader is told.
    const bool over = m_map->overLimit();
    const bool was = m_lblMapWarning->isVisibleTo(this);
    m_lblMapNote->setText(m_map->noteText());
    m_lblMapNote->setStyleSheet(over ? QStringLiteral("QLabel { color: #a00000; font-weight: bold; }") : QString());
    m_lblMapNote->setAccessibleName(over ? QStringLiteral("Warning: ") + m_map->noteText() : QString());
    m_lblMapWarning->setVisible(over);
    if (over && !was && QAccessible::isActive()) {
        QAccessibleEvent alert(m_lblMapNote, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
}

const CountyCoverage *frmFIPS::coverage()
{
    // An import puts a new folder behind the same link: the listing is
    // known by the folder the link names, so that the map never shades
    // counties from a listing no longer in use.
    QString listing = QFileInfo(m_svc.statesFolder).canonicalFilePath();
    if (listing.isEmpty())
        listing = m_svc.statesFolder;
    if (!m_coverage || m_coverageFolder != listing) {
        m_coverage = std::make_unique<CountyCoverage>();
        m_coverage->load(m_svc.statesFolder);
        m_coverageFolder = listing;
        QHash<QString, TransmitterInfo> table;
        // Without a table (or with one that cannot be read) the map simply
        // shows no transmitters.
        TransmitterTable::load(m_svc.statesFolder, &table);
        m_map->setTransmitterTable(table);
        m_map->setCoverage(m_coverage.get());
    }
    return m_coverage.get();
}

// The map shows the state named above the list (the one whose transmitter
// was chosen); with none, the state most of the listed counties are in.
void frmFIPS::prepareMap()
{
    coverage();
    m_mapPrepared = true;
    refreshMapState();
}

void frmFIPS::refreshMapState()
{
    if (!m_mapPrepared)
        return;
    QString state;
    const int stateId = int(StateDatabase::stateList().indexOf(m_lblState->text().trimmed()));
    if (stateId >= 0) {
        state = CountyAtlas::stateCodeOf(stateId);
    } else {
        QHash<QString, int> votes;
        int best = 0;
        for (int i = 0; i < m_lstFips->count(); ++i) {
            const QString code = m_lstFips->item(i)->text().left(CountyEntries::FipLength);
            const int v = ++votes[code.mid(1, 2)];
            if (v > best && CountyAtlas::builtIn().county(code.mid(1))) {
                best = v;
                state = code.mid(1, 2);
            }
        }
    }
    m_map->setState(state);
    m_map->setStateName(state.isEmpty() ? QString() : StateDatabase::GetStateName(QLatin1Char('0') + state));
}

void frmFIPS::toggleCounty(const QString &id)
{
    // Every entry of the county (a partial county's code differs only in its
    // first digit): if any is checked, all are unchecked; else the first one
    // is checked. The list then tells the map, as after a click on a check box.
    QList<QListWidgetItem *> matches;
    for (int i = 0; i < m_lstFips->count(); ++i) {
        QListWidgetItem *item = m_lstFips->item(i);
        const QString code = item->text().left(CountyEntries::FipLength);
        if (code.size() == CountyEntries::FipLength && code.at(0).isDigit() && code.mid(1) == id)
            matches << item;
    }
    QListWidgetItem *current = nullptr;
    if (matches.isEmpty()) {
        // Not listed: the state files' entry for it, or one built from the
        // map's name for it.
        const QString code = QLatin1Char('0') + id;
        QString entry = coverage()->entryFor(code);
        if (entry.isEmpty()) {
            const CountyAtlas::County *c = CountyAtlas::builtIn().county(id);
            entry = CountyEntries::ConstructOutString(code, c ? c->name.left(CountyEntries::CountyMaxLength) : QString(),
                                                      StateDatabase::GetStateName(code));
        }
        appendEntry(entry, true);
        current = m_lstFips->item(m_lstFips->count() - 1);
    } else {
        const bool anyChecked = std::any_of(matches.cbegin(), matches.cend(),
                                            [](const QListWidgetItem *i) { return i->checkState() == Qt::Checked; });
        for (QListWidgetItem *item : std::as_const(matches))
            if (anyChecked)
                item->setCheckState(Qt::Unchecked);
        if (!anyChecked)
            matches.first()->setCheckState(Qt::Checked);
        current = matches.first();
    }
    m_lstFips->setCurrentItem(current);
    m_lstFips->scrollToItem(current);
}

void frmFIPS::cmdFit_Click()
{
    m_map->fit();
}

void frmFIPS::cmdSaveMap_Click()
{
    Prompter::SaveRequest request;
    request.title = QStringLiteral("Save Map As");
    // Pictures for a site's papers start in the user's documents.
    request.directory = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    request.fileName = (m_map->stateName().isEmpty() ? QStringLiteral("county-map") : m_map->stateName()) + QStringLiteral(".png");
    request.filter = QStringLiteral("PNG picture (*.png);;SVG drawing (*.svg)");
    QString path = m_svc.prompter().saveFileName(request);
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)
        && !path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive))
        path += QStringLiteral(".png");
    QString why;
    if (!saveCountyMap(*m_map, mapCaption(), path, &why))
        m_svc.prompter().ask(QStringLiteral("Save Map As"), why, Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}

QStringList frmFIPS::mapCaption() const
{
    return CoverageSheet::caption(m_map->drawing(), CoverageCommands::coverageInUse(m_svc), m_svc.clock().date());
}

void frmFIPS::placeHeadings()
{
    // Where an item's text begins inside the list: after the frame, the
    // check indicator and the style's margins.
    QStyleOptionViewItem opt;
    opt.initFrom(m_lstFips);
    opt.font = m_lstFips->font();
    opt.features = QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    opt.text = QStringLiteral("012011");
    opt.rect = QRect(0, 0, m_lstFips->viewport()->width(), QFontMetrics(opt.font).height() + 4);
    const QRect text = m_lstFips->style()->subElementRect(QStyle::SE_ItemViewItemText, &opt, m_lstFips);
    // The delegate draws the text a focus margin further in.
    const int margin = m_lstFips->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_lstFips) + 1;
    const int left = m_lstFips->frameWidth() + text.left() + margin;
    const QFontMetricsF fm(m_lstFips->font());
    // "FIP Code" fills columns 1-8, so "County" stands one column right of
    // the name it heads, clear of it.
    const struct {
        const char *name;
        int column;
    } heads[] = {{"lblHeadFip", 1}, {"lblHeadCounty", 10}, {"lblHeadState", 32}};
    for (const auto &h : heads) {
        if (auto *l = m_headings->findChild<QLabel *>(QString::fromLatin1(h.name)))
            l->move(left + qRound(fm.horizontalAdvance(QString(h.column - 1, QLatin1Char('0')))), 0);
    }
}

bool frmFIPS::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_shapeHolder && event->type() == QEvent::Resize)
        m_shape1->setGeometry(m_shapeHolder->rect());
    return QDialog::eventFilter(watched, event);
}

QVector<CountyEntries::Item> frmFIPS::items() const
{
    QVector<CountyEntries::Item> list;
    for (int i = 0; i < m_lstFips->count(); ++i) {
        const QListWidgetItem *item = m_lstFips->item(i);
        list.append({item->text(), item->checkState() == Qt::Checked});
    }
    return list;
}

void frmFIPS::setItems(const QVector<CountyEntries::Item> &items)
{
    clearList();
    for (const CountyEntries::Item &item : items)
        appendEntry(item.text, item.checked);
}

void frmFIPS::appendEntry(const QString &text, bool checked)
{
    auto *item = new QListWidgetItem(text, m_lstFips);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

void frmFIPS::clearList()
{
    m_lstFips->clear();
}

int frmFIPS::entryCount() const
{
    return m_lstFips->count();
}

void frmFIPS::setStateCaption(const QString &text)
{
    m_lblState->setText(text);
    refreshMapState();
}

void frmFIPS::setTransmitterCaption(const QString &text)
{
    m_lblTransmitter->setText(text);
    // Shaded once the coverage is read, when the window is first shown.
    m_map->setTransmitter(text);
}

void frmFIPS::setSetupCheck(const SetupCheck::Report &report)
{
    SetupCheckLabel::show(m_lblGone, SetupCheckLabel::transmitterLines(report), true);
}

void frmFIPS::fillFromFipEntries()
{
    setItems(CountyEntries::itemsFromFipEntries(m_setup.FipEntries));
}

void frmFIPS::cmdEnterCodes_Click()
{
    if (m_enterFip)
        m_enterFip->exec();
}

void frmFIPS::runEditor(int16_t mode, int target, const QString &current, const QString &caption)
{
    frmFIPEdit editor(m_svc, {mode, target, current}, this);
    editor.setFrameCaption(caption);
    if (editor.exec() != QDialog::Accepted)
        return;
    // The list may have changed while the editor was open only through the
    // editor itself; still, never write past its end.
    if (target >= 0 && target < m_lstFips->count())
        m_lstFips->item(target)->setText(editor.builtEntry());
    else
        appendEntry(editor.builtEntry());
}

void frmFIPS::cmdAdd_Click()
{
    runEditor(frmFIPEdit::Add, m_lstFips->count(), QString(), QStringLiteral(" Add new FIP code entry "));
}

// Edit, Copy and Remove act on the highlighted entry; with none highlighted
// they refuse with a beep.
void frmFIPS::cmdEdit_Click()
{
    QListWidgetItem *item = m_lstFips->currentItem();
    if (!item) {
        m_svc.prompter().beep();
        return;
    }
    runEditor(frmFIPEdit::Edit, m_lstFips->row(item), item->text(), QStringLiteral(" Edit FIP code entry "));
}

void frmFIPS::cmdCopy_Click()
{
    QListWidgetItem *item = m_lstFips->currentItem();
    if (!item) {
        m_svc.prompter().beep();
        return;
    }
    appendEntry(item->text());
}

void frmFIPS::cmdRemove_Click()
{
    QListWidgetItem *item = m_lstFips->currentItem();
    if (!item) {
        m_svc.prompter().beep();
        return;
    }
    const Prompter::Button answer =
        m_svc.prompter().ask(QStringLiteral("NX-4400 FIP Edit"), CountyEntries::removeQuestion(item->text()),
                             Prompter::Icon::Question, Prompter::Buttons::YesNo);
    if (answer == Prompter::Button::Yes)
        delete m_lstFips->takeItem(m_lstFips->row(item));
}

void frmFIPS::cmdOK_Click()
{
    const QVector<CountyEntries::Item> list = items();
    // The count is checked before FipEntries is touched, so a refused OK
    // loses nothing that was stored.
    if (CountyEntries::storeItems(list, m_setup.FipEntries, ReceiverSetup::FipEntryCount)
        == CountyEntries::StoreResult::TooManySelected) {
        m_svc.prompter().beep();
        Messages::ShowError(m_svc.prompter(), 5);
        return;
    }
    if (CountyEntries::countChecked(list) > 0
        || Messages::ConfirmNoCounties(m_svc.prompter(), 1) == Prompter::Button::Yes)
        accept();
}

void frmFIPS::reject()
{
    cmdOK_Click();
}

void frmFIPS::Timer1_Timer()
{
    if (m_lstFips->count() > 0)
        m_shape1->hide();
    else
        m_shape1->setVisible(m_shape1->isHidden());
}

void frmFIPS::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    placeHeadings();
    prepareMap();
    m_shape1->setVisible(m_lstFips->count() == 0);
    m_timer1->setInterval(m_svc.timings.countyBlinkMs);
    m_timer1->start();
    m_cmdOK->setFocus();
}

void frmFIPS::hideEvent(QHideEvent *event)
{
    // No ticks while nobody can see the frame.
    m_timer1->stop();
    QDialog::hideEvent(event);
}
