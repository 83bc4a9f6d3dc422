// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/gui/frmAlertLog.h"

#include "history/core/AlertLogModel.h"
#include "history/gui/AlertLogView.h"
#include "base/Clock.h"
#include "base/Platform.h"
#include "base/Prompter.h"
#include "base/SafeWrite.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTimer>
#include <QTreeWidget>
#include <QLocale>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QColor GapBackground(255, 214, 214);
const QColor GapText(160, 0, 0);
const QColor PendingText(110, 110, 110);
const QString Title = QStringLiteral("NX-4400C Alert Log");

QDateEdit *dateEdit(const char *name, const QString &accessible, QWidget *parent)
{
    auto *d = new QDateEdit(parent);
    d->setObjectName(QLatin1String(name));
    d->setAccessibleName(accessible);
    d->setCalendarPopup(true);
    d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    return d;
}

QLineEdit *lineEdit(const char *name, const QString &accessible, const QString &placeholder, QWidget *parent)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(QLatin1String(name));
    e->setAccessibleName(accessible);
    e->setPlaceholderText(placeholder);
    e->setClearButtonEnabled(true);
    return e;
}

QPushButton *button(const char *name, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

QLabel *label(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

} // namespace

frmAlertLog::frmAlertLog(const QString &logPath, Prompter &prompter, const Clock &clock, QWidget *parent)
    : QDialog(parent), m_path(logPath), m_prompter(prompter), m_clock(clock), m_model(new AlertLogModel(this)),
      m_filter(new AlertLogFilter(this)), m_colours(new AlertLogColourProxy(this))
{
    setObjectName(QStringLiteral("frmAlertLog"));
    setWindowTitle(Title);
    m_filter->setSourceModel(m_model);
    m_colours->setSourceModel(m_filter);
    buildUi();
    reload();
    runAudit();
}

frmAlertLog::~frmAlertLog() = default;

void frmAlertLog::buildUi()
{
    auto *top = new QVBoxLayout(this);

    auto *pathRow = new QHBoxLayout;
    m_lblPath = new QLabel(this);
    m_lblPath->setObjectName(QStringLiteral("lblPath"));
    m_lblPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_lblPath->setAccessibleDescription(QStringLiteral("The alert log file"));
    auto *cmdReload = button("cmdReload", QStringLiteral("&Reload"), this);
    m_prgLoad = new QProgressBar(this);
    m_prgLoad->setObjectName(QStringLiteral("prgLoad"));
    m_prgLoad->setAccessibleName(QStringLiteral("Loading the alert log"));
    m_prgLoad->setRange(0, 1000);
    m_prgLoad->setVisible(false);
    m_cmdCancelLoad = button("cmdCancelLoad", QStringLiteral("Cancel loading"), this);
    m_cmdCancelLoad->setVisible(false);
    pathRow->addWidget(m_lblPath, 1);
    pathRow->addWidget(m_prgLoad);
    pathRow->addWidget(m_cmdCancelLoad);
    pathRow->addWidget(cmdReload);
    top->addLayout(pathRow);

    // Filters.
    auto *filters = new QGroupBox(QStringLiteral("Show"), this);
    filters->setObjectName(QStringLiteral("fraFilter"));
    auto *fl = new QHBoxLayout(filters);
    m_chkDates = new QCheckBox(QStringLiteral("&Dates"), filters);
    m_chkDates->setObjectName(QStringLiteral("chkDates"));
    m_chkDates->setAccessibleName(QStringLiteral("Filter by dates"));
    m_dtFrom = dateEdit("dtFrom", QStringLiteral("Shown from date"), filters);
    m_dtTo = dateEdit("dtTo", QStringLiteral("Shown to date"), filters);
    m_cboClass = new QComboBox(filters);
    m_cboClass->setObjectName(QStringLiteral("cboClass"));
    m_cboClass->setAccessibleName(QStringLiteral("Event class"));
    m_cboClass->addItem(QStringLiteral("All classes"), -1);
    m_cboClass->addItem(QStringLiteral("Warning"), int(EventClass::Warning));
    m_cboClass->addItem(QStringLiteral("Watch"), int(EventClass::Watch));
    m_cboClass->addItem(QStringLiteral("Other"), int(EventClass::Other));
    m_txtCode = lineEdit("txtCode", QStringLiteral("Event codes"), QStringLiteral("RWT RMT"), filters);
    m_txtCode->setMaximumWidth(110);
    m_txtOriginator = lineEdit("txtOriginator", QStringLiteral("Originator"), QStringLiteral("WXR"), filters);
    m_txtOriginator->setMaximumWidth(70);
    m_txtFilter = lineEdit("txtFilter", QStringLiteral("Find text"), QStringLiteral("any text"), filters);
    auto *cmdClear = button("cmdClearFilter", QStringLiteral("C&lear"), filters);
    fl->addWidget(m_chkDates);
    fl->addWidget(m_dtFrom);
    fl->addWidget(label(QStringLiteral("to"), m_dtTo, filters));
    fl->addWidget(m_dtTo);
    fl->addWidget(label(QStringLiteral("C&lass:"), m_cboClass, filters));
    fl->addWidget(m_cboClass);
    fl->addWidget(label(QStringLiteral("C&ode:"), m_txtCode, filters));
    fl->addWidget(m_txtCode);
    fl->addWidget(label(QStringLiteral("O&RG:"), m_txtOriginator, filters));
    fl->addWidget(m_txtOriginator);
    fl->addWidget(label(QStringLiteral("&Find:"), m_txtFilter, filters));
    fl->addWidget(m_txtFilter, 1);
    fl->addWidget(cmdClear);
    top->addWidget(filters);

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("tblAlerts"));
    m_table->setAccessibleName(QStringLiteral("Logged alerts"));
    m_table->setModel(m_colours);
    m_table->setSortingEnabled(true);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->verticalHeader()->setVisible(false);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->viewport()->installEventFilter(this);
    m_table->sortByColumn(AlertLogModel::DateTimeColumn, Qt::DescendingOrder);
    top->addWidget(m_table, 1);

    m_lblCount = new QLabel(this);
    m_lblCount->setObjectName(QStringLiteral("lblCount"));
    top->addWidget(m_lblCount);

    // The audit.
    auto *auditBox = new QGroupBox(QStringLiteral("Required weekly and monthly tests"), this);
    auditBox->setObjectName(QStringLiteral("fraAudit"));
    auto *al = new QVBoxLayout(auditBox);
    auto *ar = new QHBoxLayout;
    m_dtAuditFrom = dateEdit("dtAuditFrom", QStringLiteral("Audit from date"), auditBox);
    m_dtAuditTo = dateEdit("dtAuditTo", QStringLiteral("Audit to date"), auditBox);
    auto *cmdAudit = button("cmdAudit", QStringLiteral("&Audit"), auditBox);
    ar->addWidget(label(QStringLiteral("Audit &from"), m_dtAuditFrom, auditBox));
    ar->addWidget(m_dtAuditFrom);
    ar->addWidget(label(QStringLiteral("&to"), m_dtAuditTo, auditBox));
    ar->addWidget(m_dtAuditTo);
    ar->addWidget(cmdAudit);
    ar->addStretch(1);
    al->addLayout(ar);
    m_lblAudit = new QLabel(auditBox);
    m_lblAudit->setObjectName(QStringLiteral("lblAudit"));
    m_lblAudit->setWordWrap(true);
    al->addWidget(m_lblAudit);
    m_lstAudit = new QTreeWidget(auditBox);
    m_lstAudit->setObjectName(QStringLiteral("lstAudit"));
    m_lstAudit->setRootIsDecorated(false);
    m_lstAudit->setHeaderLabels({QStringLiteral("Receiver"), QStringLiteral("Required test"), QStringLiteral("State")});
    m_lstAudit->setAccessibleName(QStringLiteral("Audited weeks and months"));
    m_lstAudit->setAccessibleDescription(QStringLiteral("Double-click a week or month to show its alerts"));
    m_lstAudit->setMaximumHeight(130);
    al->addWidget(m_lstAudit);
    top->addWidget(auditBox);

    auto *buttons = new QHBoxLayout;
    m_lblStatus = new QLabel(this);
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    m_lblStatus->setWordWrap(true);
    auto *cmdExport = button("cmdExport", QStringLiteral("&Export CSV..."), this);
    auto *cmdPrint = button("cmdPrint", QStringLiteral("&Print"), this);
    auto *cmdClose = button("cmdClose", QStringLiteral("Close"), this);
    buttons->addWidget(m_lblStatus, 1);
    buttons->addWidget(cmdExport);
    buttons->addWidget(cmdPrint);
    buttons->addWidget(cmdClose);
    top->addLayout(buttons);

    const QDate today = m_clock.date();
    m_dtFrom->setDate(today.addMonths(-1));
    m_dtTo->setDate(today);
    m_dtFrom->setEnabled(false);
    m_dtTo->setEnabled(false);
    for (QDateEdit *d : {m_dtFrom, m_dtTo, m_dtAuditFrom, m_dtAuditTo})
        d->setDateRange(QDate(AlertLogFirstYear, 1, 1), QDate(AlertLogLastYear, 12, 31));
    m_dtAuditFrom->setDate(QDate(today.year(), today.month(), 1).addMonths(-2));
    m_dtAuditTo->setDate(today);

    connect(cmdReload, &QPushButton::clicked, this, [this] {
        reload();
        runAudit();
    });
    connect(m_chkDates, &QCheckBox::toggled, this, [this](bool on) {
        m_dtFrom->setEnabled(on);
        m_dtTo->setEnabled(on);
        applyFilter();
    });
    connect(m_dtFrom, &QDateEdit::dateChanged, this, &frmAlertLog::applyFilter);
    connect(m_dtTo, &QDateEdit::dateChanged, this, &frmAlertLog::applyFilter);
    connect(m_cboClass, &QComboBox::currentIndexChanged, this, &frmAlertLog::applyFilter);
    for (QLineEdit *e : {m_txtCode, m_txtOriginator, m_txtFilter})
        connect(e, &QLineEdit::textChanged, this, &frmAlertLog::applyFilter);
    connect(cmdClear, &QPushButton::clicked, this, &frmAlertLog::clearFilter);
    connect(cmdAudit, &QPushButton::clicked, this, &frmAlertLog::runAudit);
    connect(m_lstAudit, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem *item) { showAuditPeriod(m_lstAudit->indexOfTopLevelItem(item)); });
    connect(m_cmdCancelLoad, &QPushButton::clicked, this, &frmAlertLog::cancelLoading);
    m_loadTimer = new QTimer(this);
    m_loadTimer->setInterval(0);
    connect(m_loadTimer, &QTimer::timeout, this, &frmAlertLog::loadStep);
    connect(cmdExport, &QPushButton::clicked, this, &frmAlertLog::exportShown);
    connect(cmdPrint, &QPushButton::clicked, this, &frmAlertLog::printShown);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);
    resize(940, 680);
}

bool frmAlertLog::reload()
{
    cancelLoading();
    m_lblPath->setText(QStringLiteral("Log file: %1").arg(QDir::toNativeSeparators(m_path)));
    QString why;
    if (QFileInfo(m_path).size() < m_chunkFrom) {
        const bool ok = m_model->load(m_path, &why);
        showLoaded(ok, why);
        return ok;
    }
    if (!m_model->beginLoad(m_path, &why)) {
        m_model->setEntries({});
        showLoaded(false, why);
        return false;
    }
    m_prgLoad->setValue(0);
    m_prgLoad->setVisible(true);
    m_cmdCancelLoad->setVisible(true);
    m_lblStatus->setText(QStringLiteral("Loading the alert log..."));
    m_loadTimer->start();
    return true;
}

bool frmAlertLog::isLoading() const
{
    return m_model->isLoading();
}

void frmAlertLog::loadStep()
{
    // About a tenth of a second of reading per turn of the event loop.
    if (m_model->loadSome(50000)) {
        m_prgLoad->setValue(m_model->loadProgress());
        m_lblStatus->setText(QStringLiteral("Loading the alert log: %1 rows so far").arg(QLocale().toString(m_model->loadedRows())));
        return;
    }
    m_loadTimer->stop();
    const QString why = m_model->loadError();
    m_model->finishLoad();
    m_prgLoad->setVisible(false);
    m_cmdCancelLoad->setVisible(false);
    showLoaded(why.isEmpty(), why);
    runAudit();
    emit loadFinished();
}

void frmAlertLog::cancelLoading()
{
    if (!m_model->isLoading())
        return;
    m_loadTimer->stop();
    m_model->cancelLoad();
    m_prgLoad->setVisible(false);
    m_cmdCancelLoad->setVisible(false);
    m_lblStatus->setText(QStringLiteral("Loading was cancelled; the table shows what it showed before"));
    emit loadFinished();
}

void frmAlertLog::showLoaded(bool ok, const QString &why)
{
    m_table->setColumnHidden(AlertLogModel::ReceiverColumn, !m_model->hasReceivers());
    for (const int column : {AlertLogModel::LocationsColumn, AlertLogModel::HeardColumn, AlertLogModel::NoteColumn})
        m_table->setColumnHidden(column, !m_model->hasMonitorRows());
    // Measuring every row of a big log would take seconds: a few hundred do.
    m_table->horizontalHeader()->setResizeContentsPrecision(500);
    m_table->resizeColumnsToContents();
    m_contentWidths.clear();
    for (int c = 0; c < m_table->horizontalHeader()->count(); ++c)
        m_contentWidths << m_table->columnWidth(c);
    fitColumns();
    QStringList notes;
    if (!ok)
        notes << why;
    if (m_model->tornRows() > 0)
        notes << QStringLiteral("%1 row(s) cut off by a crash or a full disk are not shown").arg(m_model->tornRows());
    if (m_model->skippedRows() > 0)
        notes << QStringLiteral("%1 row(s) of the log could not be read and are not shown (%2)")
                     .arg(m_model->skippedRows())
                     .arg(m_model->firstProblem());
    if (ok && notes.isEmpty() && !QFileInfo::exists(m_path))
        notes << QStringLiteral("No alert has been logged yet");
    m_lblStatus->setText(notes.join(QStringLiteral("; ")));
    showCount();
}

void frmAlertLog::applyFilter()
{
    AlertLogCriteria criteria;
    if (m_chkDates->isChecked()) {
        criteria.from = m_dtFrom->date();
        criteria.to = m_dtTo->date();
    }
    criteria.eventClass = m_cboClass->currentData().toInt();
    criteria.codes = m_txtCode->text();
    criteria.originator = m_txtOriginator->text();
    criteria.text = m_txtFilter->text();
    m_filter->setFilter(criteria);
    showCount();
}

void frmAlertLog::clearFilter()
{
    const QSignalBlocker b1(m_chkDates), b2(m_cboClass), b3(m_txtCode), b4(m_txtOriginator), b5(m_txtFilter);
    m_chkDates->setChecked(false);
    m_dtFrom->setEnabled(false);
    m_dtTo->setEnabled(false);
    m_cboClass->setCurrentIndex(0);
    m_txtCode->clear();
    m_txtOriginator->clear();
    m_txtFilter->clear();
    applyFilter();
}

void frmAlertLog::showCount()
{
    const QLocale l;
    const qint64 total = m_model->totalRows();
    const int shown = m_filter->rowCount();
    m_lblCount->setText(shown == total
                            ? QStringLiteral("%1 alerts").arg(l.toString(total))
                            : QStringLiteral("Showing %1 of %2 alerts").arg(l.toString(shown), l.toString(total)));
}

bool frmAlertLog::eventFilter(QObject *watched, QEvent *event)
{
    // The table's width changes with the window and when its scroll bar
    // comes or goes: the columns follow.
    if (watched == m_table->viewport() && event->type() == QEvent::Resize)
        fitColumns();
    return QDialog::eventFilter(watched, event);
}

// Every heading in sight: where the columns' cells need more than the table
// is wide, the widest columns give way first (their cells are cut short,
// with the whole text in the tool tip), never below the width of their
// heading.
void frmAlertLog::fitColumns()
{
    QHeaderView *header = m_table->horizontalHeader();
    if (m_contentWidths.size() != header->count())
        return;
    QList<int> width = m_contentWidths, least;
    const QFontMetrics fm(header->font());
    int total = 0;
    for (int c = 0; c < header->count(); ++c) {
        const QString heading = m_table->model()->headerData(c, Qt::Horizontal).toString();
        least << std::max(fm.horizontalAdvance(heading) + 28, 60);
        if (!header->isSectionHidden(c))
            total += width.at(c);
    }
    const int room = m_table->viewport()->width() - 2;
    while (total > room) {
        int widest = -1;
        for (int c = 0; c < header->count(); ++c) {
            if (!header->isSectionHidden(c) && width.at(c) > least.at(c) && (widest < 0 || width.at(c) > width.at(widest)))
                widest = c;
        }
        if (widest < 0)
            break;
        const int cut = std::min({total - room, width.at(widest) - least.at(widest), std::max(8, width.at(widest) / 10)});
        width[widest] -= cut;
        total -= cut;
    }
    for (int c = 0; c < header->count(); ++c)
        m_table->setColumnWidth(c, width.at(c));
}

void frmAlertLog::runAudit()
{
    const QDate today = m_clock.date();
    RequiredTestCollector collector;
    collector.setToday(today);
    m_model->forAuditFrom(m_dtAuditFrom->date(), [&](const AlertLogEntry &e) { collector.add(e); });
    m_audits = collector.run(m_dtAuditFrom->date(), m_dtAuditTo->date(), today);
    std::stable_sort(m_audits.begin(), m_audits.end(), [](const ReceiverAudit &a, const ReceiverAudit &b) {
        return a.result.hasGaps() && !b.result.hasGaps();
    });
    m_audit = m_audits.isEmpty() ? RequiredTestAuditResult() : m_audits.first().result;
    m_lstAudit->clear();
    m_lblAudit->setStyleSheet(QString());
    if (m_dtAuditFrom->date() > m_dtAuditTo->date()) {
        m_lblAudit->setText(QStringLiteral("Choose a period whose first day is not after its last."));
        return;
    }
    // A log that begins in the period's last week owes nothing before it.
    QDate firstRow;
    bool owed = false;
    for (const ReceiverAudit &a : std::as_const(m_audits)) {
        owed |= !a.result.weeks.isEmpty() || !a.result.months.isEmpty();
        if (a.firstRow.isValid() && (!firstRow.isValid() || a.firstRow < firstRow))
            firstRow = a.firstRow;
    }
    if (!owed) {
        m_lblAudit->setText(firstRow.isValid()
                                ? QStringLiteral("No test was owed in this period: the log begins on %1.")
                                      .arg(firstRow.toString(Qt::ISODate))
                                : QStringLiteral("No test was owed in this period."));
        return;
    }
    auto add = [this](const QString &receiver, const QString &text, const AuditPeriod &p) {
        auto *item = new QTreeWidgetItem(m_lstAudit);
        QString state = p.pending ? QStringLiteral("not over yet, no test so far")
            : p.missing()         ? QStringLiteral("MISSING")
                                  : QStringLiteral("%1 received").arg(p.tests);
        if (p.partial)
            state += QStringLiteral(" (partly outside the period)");
        item->setText(0, ReceiverDisplayName(receiver));
        item->setText(1, text);
        item->setText(2, state);
        for (int c = 0; c < 3; ++c) {
            if (p.missing()) {
                item->setBackground(c, GapBackground);
                item->setForeground(c, GapText);
                QFont f = item->font(c);
                f.setBold(true);
                item->setFont(c, f);
            } else if (p.pending) {
                item->setForeground(c, PendingText);
            }
        }
        item->setData(0, Qt::UserRole, p.start);
        item->setData(0, Qt::UserRole + 1, p.end);
    };
    // Gaps first, so they are in sight without scrolling.
    for (bool gaps : {true, false}) {
        for (const ReceiverAudit &a : std::as_const(m_audits)) {
            for (const AuditPeriod &p : a.result.months)
                if (p.missing() == gaps)
                    add(a.receiver, QStringLiteral("RMT, ") + AuditMonthText(p), p);
            for (const AuditPeriod &p : a.result.weeks)
                if (p.missing() == gaps)
                    add(a.receiver, QStringLiteral("RWT, week ") + AuditWeekText(p), p);
        }
    }
    m_lstAudit->resizeColumnToContents(0);
    m_lstAudit->resizeColumnToContents(1);
    auto count = [](int n, const char *one, const char *many) {
        return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
    };
    auto since = [&](const char *code, const QDate &last, int days) {
        return last.isValid() ? QStringLiteral("last %1 %2, %3")
                                    .arg(QLatin1String(code), last.toString(Qt::ISODate))
                                    .arg(days == 0 ? QStringLiteral("today") : count(days, "day ago", "days ago"))
                              : QStringLiteral("no %1 in the log").arg(QLatin1String(code));
    };
    int w = 0, m = 0, withGaps = 0;
    for (const ReceiverAudit &a : std::as_const(m_audits)) {
        w += int(a.result.missingWeeks().size());
        m += int(a.result.missingMonths().size());
        withGaps += a.result.hasGaps() ? 1 : 0;
    }
    QString head = w + m == 0 ? QStringLiteral("Every week had an RWT and every month an RMT.")
                              : QStringLiteral("%1 without an RWT and %2 without an RMT.")
                                    .arg(count(w, "week", "weeks"), count(m, "month", "months"));
    if (m_audits.size() > 1)
        head += QStringLiteral(" %1, %2 with a gap.").arg(count(int(m_audits.size()), "receiver", "receivers")).arg(withGaps);
    // The last tests are those of one receiver (the first with a gap): the
    // line says which, so an RWT another receiver heard last week does not
    // seem to contradict it.
    m_lblAudit->setText(QStringLiteral("%1 Weeks run Sunday to Saturday. %2: %3; %4.")
                            .arg(head, ReceiverDisplayName(m_audits.first().receiver),
                                 since("RWT", m_audit.lastRwt, m_audit.daysSinceRwt),
                                 since("RMT", m_audit.lastRmt, m_audit.daysSinceRmt)));
    m_lblAudit->setStyleSheet(w + m == 0 ? QString() : QStringLiteral("color: rgb(160,0,0); font-weight: bold;"));
}

void frmAlertLog::showAuditPeriod(int row)
{
    QTreeWidgetItem *item = m_lstAudit->topLevelItem(row);
    if (!item)
        return;
    const QSignalBlocker b1(m_chkDates), b2(m_dtFrom), b3(m_dtTo);
    m_chkDates->setChecked(true);
    m_dtFrom->setEnabled(true);
    m_dtTo->setEnabled(true);
    m_dtFrom->setDate(item->data(0, Qt::UserRole).toDate());
    m_dtTo->setDate(item->data(0, Qt::UserRole + 1).toDate());
    applyFilter();
}

void frmAlertLog::exportShown()
{
    Prompter::SaveRequest req;
    req.title = QStringLiteral("Export Alert Log");
    req.directory = QFileInfo(m_path).absolutePath();
    req.fileName = QStringLiteral("alerts-export.csv");
    req.filter = QStringLiteral("CSV files (*.csv)");
    req.confirmOverwrite = true;
    const QString name = m_prompter.saveFileName(req);
    if (name.isEmpty())
        return;
    auto refuse = [&](const QString &why) {
        m_prompter.ask(QStringLiteral("Export Alert Log"),
                       QStringLiteral("The alerts were not exported to %1:\r\n%2").arg(QDir::toNativeSeparators(name), why),
                       Prompter::Icon::Critical, Prompter::Buttons::Ok);
    };
    // An export replaces its file whole: never the log itself, which would
    // lose every row the filter hides, and never a device or a pipe.
    const QFileInfo target(name);
    if (target.exists() && QFileInfo(m_path).exists() && target.canonicalFilePath() == QFileInfo(m_path).canonicalFilePath())
        return refuse(QStringLiteral("it is the alert log itself; choose another file"));
    const Platform::FileStat st = Platform::StatPath(name);
    if (st.ok && st.kind != PathKind::Regular)
        return refuse(QStringLiteral("it is not a regular file"));
    const QList<AlertLogEntry> shown = m_filter->shownEntries();
    QString why;
    if (!writeFileAtomically(name, AlertLogText(shown, m_model->hasReceivers()), &why))
        return refuse(why);
    m_lblStatus->setText(QStringLiteral("%1 alert(s) exported to %2").arg(shown.size()).arg(QDir::toNativeSeparators(name)));
}

bool frmAlertLog::printTo(QPrinter &printer, QString *error)
{
    AlertLogPrintHeader h;
    h.logPath = m_path;
    h.filter = m_filter->filter().describe();
    h.printDate = m_clock.date();
    h.withReceiver = m_model->hasReceivers();
    return PrintAlertLog(m_filter->shownEntries(), h, printer, error);
}

void frmAlertLog::printShown()
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        m_lblStatus->setText(QPrinterInfo::availablePrinters().isEmpty()
                                 ? QStringLiteral("No printer is installed: the alert list was not printed")
                                 : QStringLiteral("No default printer is set: the alert list was not printed"));
        return;
    }
    const int shown = m_filter->rowCount();
    if (m_prompter.ask(QStringLiteral("Print Alert Log"),
                       QStringLiteral("Print the %1 alert(s) shown on %2?").arg(shown).arg(info.printerName()),
                       Prompter::Icon::Question, Prompter::Buttons::OkCancel)
        != Prompter::Button::Ok)
        return;
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("NX-4400C Alert Log"));
    QString why;
    if (printTo(printer, &why))
        m_lblStatus->setText(QStringLiteral("%1 alert(s) sent to printer %2").arg(shown).arg(info.printerName()));
    else
        m_lblStatus->setText(QStringLiteral("Printing on %1 failed: %2").arg(info.printerName(), why));
}
