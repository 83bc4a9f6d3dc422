// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/core/RequiredTestAudit.h"

#include <QDialog>

class AlertLogColourProxy;
class AlertLogFilter;
class AlertLogModel;
class Clock;
class Prompter;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTimer;
class QTreeWidget;
class QPrinter;
class QPushButton;
class QTableView;

// The alert log window: every alert the editor and `nx4400c-cli transfer
// --csv` logged, sortable and filtered by date, class, code, originator and
// free text; the required-test audit with its gaps highlighted; export of
// the rows shown to CSV, and a printed list in the history report's style.
class frmAlertLog : public QDialog
{
    Q_OBJECT

public:
    frmAlertLog(const QString &logPath, Prompter &prompter, const Clock &clock, QWidget *parent = nullptr);
    ~frmAlertLog() override;

    // Reads the log again; a log that cannot be read is reported in the
    // window (and the table is left empty). A log larger than the chunked
    // loading size is read in steps on the event loop, with a progress bar
    // and a Cancel button: the window stays responsive, and loadFinished()
    // comes when the rows are in.
    bool reload();
    bool isLoading() const;
    void cancelLoading();
    void setChunkedLoadingFrom(qint64 bytes) { m_chunkFrom = bytes; }
    // Audits the period set in the audit panel.
    void runAudit();
    // Export and print as the buttons run them (through the prompter).
    void exportShown();
    void printShown();
    // Prints the rows shown on `printer`, without asking.
    bool printTo(QPrinter &printer, QString *error = nullptr);

    AlertLogModel *model() const { return m_model; }
    AlertLogFilter *filter() const { return m_filter; }
    // The audit of the first receiver listed (the only one in most logs).
    const RequiredTestAuditResult &audit() const { return m_audit; }
    // One audit per receiver and monitor source, those with gaps first.
    const QList<ReceiverAudit> &receiverAudits() const { return m_audits; }

signals:
    void loadFinished();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

public:
    QString logPath() const { return m_path; }

private:
    void buildUi();
    void applyFilter();
    void clearFilter();
    void showCount();
    void showAuditPeriod(int row);
    void loadStep();
    void showLoaded(bool ok, const QString &why);
    void fitColumns();

    QString m_path;
    Prompter &m_prompter;
    const Clock &m_clock;
    AlertLogModel *m_model;
    AlertLogFilter *m_filter;
    AlertLogColourProxy *m_colours;
    RequiredTestAuditResult m_audit;
    QList<ReceiverAudit> m_audits;
    qint64 m_chunkFrom = 4 * 1024 * 1024;
    QTimer *m_loadTimer = nullptr;
    QProgressBar *m_prgLoad = nullptr;
    QPushButton *m_cmdCancelLoad = nullptr;

    QLabel *m_lblPath = nullptr;
    QLabel *m_lblCount = nullptr;
    QLabel *m_lblStatus = nullptr;
    QTableView *m_table = nullptr;
    QList<int> m_contentWidths;    // each column as wide as its cells, at load
    QCheckBox *m_chkDates = nullptr;
    QDateEdit *m_dtFrom = nullptr;
    QDateEdit *m_dtTo = nullptr;
    QComboBox *m_cboClass = nullptr;
    QLineEdit *m_txtCode = nullptr;
    QLineEdit *m_txtOriginator = nullptr;
    QLineEdit *m_txtFilter = nullptr;
    QDateEdit *m_dtAuditFrom = nullptr;
    QDateEdit *m_dtAuditTo = nullptr;
    QTreeWidget *m_lstAudit = nullptr;
    QLabel *m_lblAudit = nullptr;
};
