// SPDX-License-Identifier: GPL-3.0-or-later
// What the parts of the alert store share; not for use outside history/core.
#pragma once

#include "history/core/AlertStore.h"

#include <QCryptographicHash>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

class QSqlError;

namespace alertstore {

// How long a writer waits for another one before it gives up.
constexpr int BusyTimeoutMs = 10000;

// The user's sentence for an SQLite failure ("No space left on device").
QString sqlReason(const QSqlError &e);
// A text as SQLite's quote() writes it: in single quotes, each ' doubled.
QString quoted(const QString &s);
// A text bound as '' rather than NULL when empty.
QVariant text(const QString &s);
QString kindName(ReceiverKind k);
QString nowText();

// The alert columns in the order of the chain's canonical bytes.
inline const QString ChainColumns = QStringLiteral(
    "id, receiver_id, local_time, utc, originator, code, name, class, length, locations, header, heard, note,"
    " test, frequency_hz, transmitter, logged_at");
// The same as one SQL expression: the canonical bytes of a row.
inline const QString CanonicalSql = QStringLiteral(
    "quote(id)||','||quote(receiver_id)||','||quote(local_time)||','||quote(utc)||','||quote(originator)"
    "||','||quote(code)||','||quote(name)||','||quote(class)||','||quote(length)||','||quote(locations)"
    "||','||quote(header)||','||quote(heard)||','||quote(note)||','||quote(test)||','||quote(frequency_hz)"
    "||','||quote(transmitter)||','||quote(logged_at)");
// The meta row that keeps the chain's head: "LASTID HASH COUNT".
inline const QString ChainHeadKey = QStringLiteral("chain_head");
// The hash before the first row.
inline const QString ChainStart = QString(64, QLatin1Char('0'));

} // namespace alertstore

struct AlertStore::Private {
    QSqlDatabase db;
    QString connection;
    QString file;
    std::unique_ptr<QSqlQuery> insert;   // prepared once for a run of rows
    // Kept from row to row, so that a long run of rows allocates neither.
    QByteArray canonicalBuffer;
    QCryptographicHash chainHasher{QCryptographicHash::Sha256};
    // The Alert Log window's pages: the name each receiver id counts under
    // now, and whether temp.page_hidden holds rows a merge counts once.
    QHash<qint64, QString> pageNames;
    bool pagesHidden = false;
    // The filter whose rows temp.page_rows holds in order (a text search).
    QString pageRowsKey;

    // The receiver a row counts under now (itself or the one it was
    // merged into).
    struct Group {
        qint64 id = 0;
        QString name;
        ReceiverKind kind = ReceiverKind::Receiver;
    };

    bool fail(QString *error, const QSqlError &e) const;
    bool exec(const QString &sql, QString *error);
    bool begin(QString *error);
    bool commit(QString *error);
    void rollback();
    bool migrate(QString *error);
    // The rows of a text search, found once into temp.page_rows
    // (AlertStorePages.cpp); *count, when asked, how many.
    bool pageRowsFor(const AlertPageQuery &query, qint64 *count, QString *error);
    static const QString ReceiverColumns;
    static StoredReceiver receiverFrom(const QSqlQuery &q);
    static QString kindConflict(const QString &name, ReceiverKind kind);
    // Inside a transaction: the receiver's id, made known when new.
    qint64 ensureReceiver(const QString &name, ReceiverKind kind, const QString &device, const QString &zone,
                          const QString &seen, QString *error);
    QHash<qint64, Group> groups(QString *error, bool *ok);
    // Inside a transaction: the hash of the last row and the next id.
    bool chainTail(QString *hash, qint64 *nextId, QString *error);
    // Inside a transaction: adds one row to the chain; *hash is the last
    // hash before and after.
    // `loggedAt` is the transaction's time (UTC), the same for its rows.
    bool insertAlert(qint64 id, qint64 receiverId, const AlertLogEntry &e, bool test, qint64 frequencyHz,
                     const QString &transmitter, const QString &loggedAt, QString *hash, QString *error);
    // Inside the transaction that added `added` rows ending with row
    // `lastId` of hash `hash`: keeps them as the chain's head, so rows
    // removed from the end are seen (verify compares it with the rows).
    bool storeHead(qint64 lastId, const QString &hash, qint64 added, QString *error);
};
