// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/core/AlertLog.h"
#include "history/core/AlertStore.h"

#include <QAbstractTableModel>
#include <QHash>

#include <memory>
#include <QSortFilterProxyModel>

// The alert log as a table: one row per logged alert, oldest first as they
// were logged. It reads the alert database beside the log (alerts.csv ->
// alerts.db) or one named directly (*.db); where no writer has made the
// database yet, the CSV log of an older version as it stands. The model knows no colours (it lives beside the other
// non-window code); a view colours the event column from EventClassRole.
class AlertLogModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // The last three are a monitor's: the counties its header named, when
    // it was first heard, and why a header heard alike is still malformed.
    enum Column { DateTimeColumn, OriginatorColumn, EventColumn, ClassColumn, LengthColumn, ReceiverColumn,
                  LocationsColumn, HeardColumn, NoteColumn, ColumnCount };
    enum Role {
        SortRole = Qt::UserRole + 1,   // raw value: QDateTime, minutes of the length, text
        EventClassRole,                // int value of EventClass, on every column
        EventCodeRole,                 // the three-letter code
    };

    explicit AlertLogModel(QObject *parent = nullptr);

    // Reads the log; on failure the model is left empty and *error names
    // the file and the reason. A missing file is an empty log.
    bool load(const QString &fileName, QString *error = nullptr);
    void setEntries(const QList<AlertLogEntry> &entries, bool receiverColumn = false);

    // Loading a big log in steps, so a window stays responsive: begin, then
    // loadSome() until it returns false, then finish (one model reset). The
    // rows read so far are kept apart until then; cancel() drops them and
    // leaves the model as it was.
    bool beginLoad(const QString &fileName, QString *error = nullptr);
    bool loadSome(int maxRows);   // true while rows remain
    void finishLoad();
    void cancelLoad();
    bool isLoading() const { return m_reader != nullptr || m_store != nullptr; }
    // 0..1000: how much of the file has been read.
    int loadProgress() const;
    int loadedRows() const { return int(m_incoming.size()); }
    QString loadError() const { return m_loadError; }
    int tornRows() const { return m_torn; }
    QString firstProblem() const { return m_firstProblem; }

    const QList<AlertLogEntry> &entries() const { return m_entries; }
    const AlertLogEntry &entry(int row) const { return m_entries.at(row); }
    // True when some row names its receiver (the view shows the column then).
    bool hasReceivers() const { return m_hasReceivers; }
    // True when some row was heard off the air by a monitor (the view shows
    // its columns then).
    bool hasMonitorRows() const { return m_hasMonitorRows; }
    // Rows of the log that could not be read at the last load.
    int skippedRows() const { return m_skipped; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // How the window and the printed list show a row's date and time:
    // the local time as logged, with the year ("2026-03-06 09:30").
    static QString dateTimeText(const AlertLogEntry &e);
    // "Tornado Warning (TOR)".
    static QString eventText(const AlertLogEntry &e);
    // Minutes of an "hh:mm" length, -1 when it is not one.
    static int lengthMinutes(const QString &length);
    // A monitor's row: "048029 048091", and when it was first heard, as the
    // date and time column shows them, with seconds. Empty for the receiver's.
    static QString locationsText(const AlertLogEntry &e);
    static QString heardText(const AlertLogEntry &e);

private:
    QList<AlertLogEntry> m_entries;
    bool m_hasReceivers = false;
    bool m_hasMonitorRows = false;
    int m_skipped = 0;
    int m_torn = 0;
    QString m_firstProblem;
    QString m_loadError;
    std::unique_ptr<AlertLogReader> m_reader;
    std::unique_ptr<AlertStore> m_store;
    qint64 m_storeRows = 0;
    qint64 m_lastId = 0;
    QHash<QString, QHash<qint64, int>> m_merged;
    QList<AlertLogEntry> m_incoming;
    // Texts that repeat from row to row (codes, names, receivers) share
    // one copy, which keeps a million rows in a fraction of the memory.
    QHash<QString, QString> m_texts;
};

// What the filter lets through. Empty texts and invalid dates let
// everything through.
struct AlertLogCriteria {
    QDate from;                 // first local date shown
    QDate to;                   // last local date shown
    int eventClass = -1;        // EventClass value, -1 for any
    QString codes;              // event codes, separated by blanks or commas ("RWT RMT")
    QString originator;         // exact, any case
    QString text;               // free text, any case, in any shown column

    bool isEmpty() const;
    // A short description for the printed list: "from 2026-03-01, class Warning".
    QString describe() const;
};

// Filters and sorts the rows of an AlertLogModel. It reads the model's
// entries directly instead of going through QVariant for every cell, which
// keeps a filter on tens of thousands of rows well under a frame.
class AlertLogFilter : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit AlertLogFilter(QObject *parent = nullptr);

    void setFilter(const AlertLogCriteria &criteria);
    const AlertLogCriteria &filter() const { return m_criteria; }

    // The entries shown, in the order shown.
    QList<AlertLogEntry> shownEntries() const;

    void setSourceModel(QAbstractItemModel *model) override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    AlertLogModel *m_log = nullptr;
    AlertLogCriteria m_criteria;
    QStringList m_codes;
};
