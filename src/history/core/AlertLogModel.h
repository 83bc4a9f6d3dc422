// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "history/core/AlertLog.h"
#include "history/core/AlertStore.h"

#include <QAbstractTableModel>
#include <QHash>

#include <functional>
#include <memory>
#include <QSortFilterProxyModel>

struct AlertLogCriteria;

// The alert log as a table: one row per logged alert, oldest first as they
// were logged. It reads the alert database beside the log (alerts.csv ->
// alerts.db) or one named directly (*.db); where no writer has made the
// database yet, the CSV log of an older version as it stands. The model knows no colours (it lives beside the other
// non-window code); a view colours the event column from EventClassRole.
//
// The database is read a page at a time: the model holds the rows around
// those last asked for, counts with the filter in SQL and lets the store
// sort, so a record of a million rows opens in well under a second and in
// a few megabytes. A CSV log is read whole and filtered in memory.
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

    // The rows in memory (a CSV log); empty while reading a database.
    const QList<AlertLogEntry> &entries() const { return m_entries; }
    // One row as the model shows it (in paged mode, in the store's order).
    const AlertLogEntry &entry(int row) const;
    // Calls `row` for every row of the log, oldest first, filter or not.
    // False with *error when the store failed.
    bool forEachEntry(const std::function<void(const AlertLogEntry &)> &row, QString *error = nullptr) const;
    // What an audit from `from` on needs: in paged mode each receiver's
    // rows that still matter before it (its first row, its last RWT, RMT
    // and alert) and every row from it on, test recordings left out (they
    // are shown, never counted); in memory, every row.
    bool forAuditFrom(const QDate &from, const std::function<void(const AlertLogEntry &)> &row,
                      QString *error = nullptr) const;

    // True while the rows come from the database a page at a time: the
    // model then filters and sorts (AlertLogFilter passes both on).
    bool isPaged() const { return m_pages != nullptr; }
    void setCriteria(const AlertLogCriteria &criteria);
    void sortRows(int column, Qt::SortOrder order);
    // Rows of the whole log, unfiltered (rowCount() is what the filter lets through).
    qint64 totalRows() const { return isPaged() ? m_pageTotal : m_entries.size(); }
    // The rows held at present (a window around the last asked for).
    int cachedRows() const { return int(m_cache.size()); }
    // The rows kept around the one asked for.
    static constexpr int PageRows = 2000;
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

signals:
    // Before the model turns to reading pages (true) or back to rows in
    // memory (false), ahead of the reset that follows.
    void pagingChanges(bool paged);

private:
    void query();
    QList<AlertLogEntry> m_entries;
    // Paged mode: the open store, what is asked of it, how many rows pass,
    // and the rows around the last one shown.
    std::unique_ptr<AlertStore> m_pages;
    AlertPageQuery m_query;
    qint64 m_pageCount = 0;
    qint64 m_pageTotal = 0;
    mutable QList<AlertLogEntry> m_cache;
    mutable qint64 m_cacheFrom = 0;
    mutable AlertLogEntry m_none;
    mutable QString m_pageError;
    bool m_hasReceiversNext = false;
    bool m_hasMonitorRowsNext = false;
    bool m_hasReceivers = false;
    bool m_hasMonitorRows = false;
    int m_skipped = 0;
    int m_torn = 0;
    QString m_firstProblem;
    QString m_loadError;
    std::unique_ptr<AlertLogReader> m_reader;
    std::unique_ptr<AlertStore> m_store;
    qint64 m_storeRows = 0;
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
    // A paged model sorts in its store; a model in memory here.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    AlertLogModel *m_log = nullptr;
    AlertLogCriteria m_criteria;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QStringList m_codes;
};
