// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The alert record: one SQLite database (alerts.db in the data folder) that
// holds the receivers, every alert they or the monitors reported, every
// transfer and every change of a receiver's name. It is what an emergency
// manager shows an inspector, so rows are only ever added:
//
// - receivers: a stable id, a unique name, a kind ("receiver" or
//   "monitor"), the device or source, an IANA zone, first and last seen.
//   Names that begin with "monitor:" belong to monitors and to nothing
//   else; a receiver's kind never changes. A receiver merged into another
//   gives up its name (NULL) and points at the one it was merged into.
// - alerts: one row per alert, referring to the receiver's id, never
//   updated or deleted (triggers refuse it). Each row carries a SHA-256
//   chained over the row before it, so `log verify` finds any row changed,
//   removed or inserted behind the program's back. The canonical bytes are
//   described in docs/architecture.md.
// - transfers: one row per transfer, ok or failed, with the ROM version.
// - name_events: renames, merges and unmerges, newest last.
//
// One AlertStore is one connection and belongs to the thread that opened
// it (QtSql connections are per thread). Several programs may write at once:
// the database is in WAL mode with a busy time-out, and each write is one
// short transaction.

#include "history/core/AlertLog.h"
#include "history/core/TransferLog.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

enum class ReceiverKind { Receiver, Monitor };

// The receiver of an old six-column log's rows when no name is given.
inline const QString UnnamedReceiver = QStringLiteral("unnamed");

// Names that begin with this are a monitor's ("monitor:hw:1").
inline const QString MonitorNamePrefix = QStringLiteral("monitor:");
inline bool IsMonitorName(const QString &name) { return name.startsWith(MonitorNamePrefix); }

struct StoredReceiver {
    qint64 id = 0;
    QString name;          // empty while merged into another
    ReceiverKind kind = ReceiverKind::Receiver;
    QString device;
    QString zone;          // IANA name ("America/Chicago"); empty: the computer's
    QDateTime firstSeen;
    QDateTime lastSeen;
    qint64 mergedInto = 0; // 0 unless merged
};

struct StoredAlert {
    qint64 id = 0;
    qint64 receiverId = 0;
    AlertLogEntry entry;   // entry.receiver is the name the row counts under now
    bool test = false;     // a test recording: shown, never counted
    qint64 frequencyHz = 0;   // software radio only; 0 when not known
    QString transmitter;
    QString hash;
};

struct NameEvent {
    qint64 id = 0;
    QDateTime when;        // UTC
    QString action;        // "rename", "merge" or "unmerge"
    qint64 receiverId = 0;
    qint64 targetId = 0;   // a merge's receiver that took the rows
    QString oldName;
    QString newName;
    bool undone = false;   // a merge that an unmerge undid
};

// Which alert rows a question is about.
struct AlertQuery {
    QStringList receivers;   // names; empty: all
    QDate from;              // each row's own local date; invalid: open
    QDate to;
    bool monitors = true;    // rows of monitors
    bool receiversRows = true;
    bool tests = true;       // test recordings
    // Reading in steps (a window that stays responsive): only rows after
    // this id, at most `limit` of them (0: all). *lastId is set to the id
    // of the last row read, and *merged carries what a merged receiver's
    // rows counted so far from one step to the next.
    qint64 afterId = 0;
    int limit = 0;
    // Only these rows (ids), when not empty.
    QList<qint64> ids;
    qint64 *lastId = nullptr;
    QHash<QString, QHash<qint64, int>> *merged = nullptr;
};

// What the Alert Log window shows of the record, a page at a time: the
// rows that pass its filter, in the order of the column it sorts by.
// Empty texts and invalid dates let everything through.
struct AlertPageQuery {
    // Logged: the order rows were logged in (no column sorted).
    enum Order { Time, Originator, Event, Class, Length, Receiver, Locations, Heard, Note, Logged };
    QDate from;              // each row's own local date
    QDate to;
    int eventClass = -1;     // EventClass value; -1: any
    QStringList codes;       // upper case; empty: any
    QString originator;      // exact, any case
    QString text;            // in any shown column, any case
    Order order = Time;
    bool descending = false;
    // True when the filter lets every row through.
    bool isAll() const
    {
        return !from.isValid() && !to.isValid() && eventClass < 0 && codes.isEmpty() && originator.trimmed().isEmpty()
            && text.isEmpty();
    }
};

class AlertStore
{
public:
    AlertStore();
    ~AlertStore();
    AlertStore(const AlertStore &) = delete;
    AlertStore &operator=(const AlertStore &) = delete;

    // The database beside an alert log (alerts.csv -> alerts.db).
    static QString PathForLog(const QString &alertLogPath);
    // The user's database in the data folder; empty without one.
    static QString DefaultPath();

    // Opens (and, when `create`, makes) the database, bringing its schema
    // up to date. False with a sentence naming the file: missing (when not
    // `create`), not a database, made by a newer program, unreadable.
    bool open(const QString &fileName, bool create, QString *error);
    bool isOpen() const;
    QString fileName() const;

    // --- receivers
    // Makes the receiver known (or updates its device, zone and last seen).
    // A receiver cannot take a monitor's name nor a monitor lose its prefix;
    // a known name of the other kind is refused. The id, or 0 with *error.
    qint64 registerReceiver(const QString &name, ReceiverKind kind, const QString &device, const QString &zone,
                            const QDateTime &seen, QString *error);
    std::optional<StoredReceiver> receiver(const QString &name, QString *error = nullptr);
    // Every receiver under a name (merged ones left out unless asked).
    QList<StoredReceiver> receivers(bool withMerged = false, QString *error = nullptr);

    // --- alerts
    struct Append {
        bool ok = false;
        QString error;
        QList<AlertLogEntry> added;
    };
    // Adds the alerts the record does not hold yet for this receiver (and
    // those merged into it): an alert a history holds n times is held n
    // times after the append, never more; a monitor's header heard again
    // before its repeat time ends is the same message. One transaction.
    // A monitor heard from a software radio also gives the channel's
    // frequency and the transmitter it belongs to (0 and empty: unknown).
    Append appendAlerts(const QString &receiver, ReceiverKind kind, const QList<AlertLogEntry> &alerts,
                        bool test = false, const QString &device = QString(), qint64 frequencyHz = 0,
                        const QString &transmitter = QString());
    // Calls `row` for each alert of the query in the order they were logged;
    // `row` returns false to stop. False with *error when the store failed.
    bool forEachAlert(const AlertQuery &q, const std::function<bool(const StoredAlert &)> &row,
                      QString *error);
    QList<AlertLogEntry> alerts(const AlertQuery &q, QString *error);
    // For an audit that reads only the rows from `fromUtc` on: per receiver
    // of the names (and those merged into them) the rows before it that
    // still matter, its first row and its last RWT, RMT and alert. Ids.
    QList<qint64> rowsBefore(const QStringList &receivers, qint64 fromUtc, QString *error);
    qint64 alertCount(QString *error = nullptr);

    // --- transfers
    // Logs a transfer (registering the receiver).
    bool appendTransfer(const TransferRecord &r, QString *error);
    bool transferSummaries(const QStringList &only, QList<TransferSummary> *out, QString *error);

    // --- names
    enum class RenameResult { Done, Refused, Failed };
    // OLD takes the name NEW; no row changes. A NEW that exists is refused
    // unless `merge`: OLD's rows then count as NEW's from now on, recorded
    // as an event that unmerge() undoes.
    RenameResult rename(const QString &oldName, const QString &newName, bool merge, QString *message);
    // Undoes the last merge of the receiver once called `name`.
    RenameResult unmerge(const QString &name, QString *message);
    // The name events, oldest first; `name` (when given) keeps those that
    // name it.
    QList<NameEvent> nameEvents(const QString &name, QString *error);

    // --- evidence
    // Checks the hash chain of every row. False with *problem naming the
    // first row that does not match (or the store's failure).
    bool verify(qint64 *rows, QString *problem);
    // PRAGMA integrity_check: true when it says ok.
    bool integrityOk(QString *problem);

    // --- the CSV files of older versions
    struct Import {
        bool ok = false;
        bool done = false;       // the store already held an import or rows: nothing read
        QString error;
        qint64 rows = 0;
        qint64 transfers = 0;
        int skipped = 0;
        int torn = 0;
        QString firstProblem;
    };
    // Reads alerts.csv (every layout written, six columns included: those
    // rows name `sixColumnReceiver`, or UnnamedReceiver) and its transfer log into an empty
    // store, in one transaction. The files are left as they are.
    Import importCsv(const QString &alertLog, const QString &transferLog, const QString &sixColumnReceiver);
    // Writes the rows of the query in today's CSV layout to FILE, replacing
    // it only when whole.
    bool exportCsv(const QString &fileName, const AlertQuery &q, qint64 *rows, QString *error);

    // --- the Alert Log window, a page at a time (AlertStorePages.cpp)
    // Reads which receiver each row counts under now and which rows of
    // merged receivers count once; call again after a rename or merge.
    // *named: some row names a receiver; *heard: some row a monitor heard.
    bool preparePages(bool *named, bool *heard, QString *error);
    // How many rows pass the filter; -1 with *error.
    qint64 pageCount(const AlertPageQuery &q, QString *error);
    // Up to `limit` rows from the `offset`th on, in the query's order,
    // each with the name it counts under now.
    bool pageRows(const AlertPageQuery &q, qint64 offset, int limit, QList<AlertLogEntry> *out, QString *error);

    // The hash of one row from its canonical bytes and the previous hash.
    static QString ChainHash(const QString &previous, const QByteArray &canonical);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
