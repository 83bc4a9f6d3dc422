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
class QListWidget;
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
    // window (and the table is left empty).
    bool reload();
    // Audits the period set in the audit panel.
    void runAudit();
    // Export and print as the buttons run them (through the prompter).
    void exportShown();
    void printShown();
    // Prints the rows shown on `printer`, without asking.
    bool printTo(QPrinter &printer, QString *error = nullptr);

    AlertLogModel *model() const { return m_model; }
    AlertLogFilter *filter() const { return m_filter; }
    const RequiredTestAuditResult &audit() const { return m_audit; }
    QString logPath() const { return m_path; }

private:
    void buildUi();
    void applyFilter();
    void clearFilter();
    void showCount();
    void showAuditPeriod(int row);

    QString m_path;
    Prompter &m_prompter;
    const Clock &m_clock;
    AlertLogModel *m_model;
    AlertLogFilter *m_filter;
    AlertLogColourProxy *m_colours;
    RequiredTestAuditResult m_audit;

    QLabel *m_lblPath = nullptr;
    QLabel *m_lblCount = nullptr;
    QLabel *m_lblStatus = nullptr;
    QTableView *m_table = nullptr;
    QCheckBox *m_chkDates = nullptr;
    QDateEdit *m_dtFrom = nullptr;
    QDateEdit *m_dtTo = nullptr;
    QComboBox *m_cboClass = nullptr;
    QLineEdit *m_txtCode = nullptr;
    QLineEdit *m_txtOriginator = nullptr;
    QLineEdit *m_txtFilter = nullptr;
    QDateEdit *m_dtAuditFrom = nullptr;
    QDateEdit *m_dtAuditTo = nullptr;
    QListWidget *m_lstAudit = nullptr;
    QLabel *m_lblAudit = nullptr;
};
