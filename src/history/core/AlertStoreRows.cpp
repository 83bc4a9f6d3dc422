// SPDX-License-Identifier: GPL-3.0-or-later
// The alert rows and their hash chain, and the transfers.
#include "history/core/AlertStore.h"
#include "history/core/AlertStoreDetail.h"

#include "history/core/HistoryDecoder.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <map>

using namespace alertstore;

namespace {

EventClass classFrom(const QString &s)
{
    if (s == QLatin1String("Warning"))
        return EventClass::Warning;
    if (s == QLatin1String("Watch"))
        return EventClass::Watch;
    return EventClass::Other;
}

QString timeText(const QDateTime &t)
{
    return t.isValid() ? t.toString(Qt::ISODate) : QString(QLatin1String(""));
}

// The key that makes two rows one alert, whatever the receiver is called
// now (rows refer to the receiver by id).
QString keyOf(AlertLogEntry e)
{
    e.receiver.clear();
    return e.key();
}

const QString AlertColumns = QStringLiteral(
    "id, receiver_id, local_time, originator, code, name, class, length, locations, header, heard, note, test,"
    " frequency_hz, transmitter, hash");

// `s` as SQLite's quote() writes a text, in UTF-8: in single quotes, each
// ' doubled.
void appendQuoted(QByteArray &out, const QString &s)
{
    const QByteArray u = s.toUtf8();
    out.append('\'');
    if (!u.contains('\'')) {
        out.append(u);
    } else {
        for (const char ch : u) {
            out.append(ch);
            if (ch == '\'')
                out.append('\'');
        }
    }
    out.append('\'');
}

StoredAlert alertFrom(const QSqlQuery &q)
{
    StoredAlert a;
    a.id = q.value(0).toLongLong();
    a.receiverId = q.value(1).toLongLong();
    AlertLogEntry &e = a.entry;
    e.localTime = QDateTime::fromString(q.value(2).toString(), Qt::ISODate);
    e.originator = q.value(3).toString();
    e.code = q.value(4).toString();
    e.name = q.value(5).toString();
    e.cls = classFrom(q.value(6).toString());
    e.length = q.value(7).toString();
    const QString locations = q.value(8).toString();
    if (!locations.isEmpty())
        e.locations = locations.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    e.header = q.value(9).toString();
    const QString heard = q.value(10).toString();
    if (!heard.isEmpty())
        e.heard = QDateTime::fromString(heard, Qt::ISODate);
    e.note = q.value(11).toString();
    a.test = q.value(12).toInt() != 0;
    a.frequencyHz = q.value(13).toLongLong();
    a.transmitter = q.value(14).toString();
    a.hash = q.value(15).toString();
    return a;
}

} // namespace

bool AlertStore::Private::chainTail(QString *hash, qint64 *nextId, QString *error)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT id, hash FROM alerts ORDER BY id DESC LIMIT 1")))
        return fail(error, q.lastError());
    if (q.next()) {
        *nextId = q.value(0).toLongLong() + 1;
        *hash = q.value(1).toString();
    } else {
        *nextId = 1;
        *hash = ChainStart;
    }
    return true;
}

bool AlertStore::Private::insertAlert(qint64 id, qint64 receiverId, const AlertLogEntry &e, bool test,
                                      qint64 frequencyHz, const QString &transmitter, const QString &loggedAt,
                                      QString *hash, QString *error)
{
    const QString local = timeText(e.localTime);
    const qint64 utc = e.localTime.toSecsSinceEpoch();
    const QString cls = EventClassName(e.cls);
    const QString locations = e.locations.join(QLatin1Char(' '));
    const QString heard = timeText(e.heard);
    // The canonical bytes: each column as SQLite's quote() writes it, in
    // the order of ChainColumns, separated by commas. Built as UTF-8 in one
    // buffer kept from row to row: an import hashes a million of them.
    QByteArray &c = canonicalBuffer;
    c.clear();
    c.append(QByteArray::number(id)).append(',').append(QByteArray::number(receiverId)).append(',');
    appendQuoted(c, local);
    c.append(',').append(QByteArray::number(utc)).append(',');
    appendQuoted(c, e.originator);
    c.append(',');
    appendQuoted(c, e.code);
    c.append(',');
    appendQuoted(c, e.name);
    c.append(',');
    appendQuoted(c, cls);
    c.append(',');
    appendQuoted(c, e.length);
    c.append(',');
    appendQuoted(c, locations);
    c.append(',');
    appendQuoted(c, e.header);
    c.append(',');
    appendQuoted(c, heard);
    c.append(',');
    appendQuoted(c, e.note);
    c.append(',').append(test ? '1' : '0').append(',');
    if (frequencyHz > 0)
        c.append(QByteArray::number(frequencyHz));
    else
        c.append("NULL");
    c.append(',');
    if (transmitter.isEmpty())
        c.append("NULL");
    else
        appendQuoted(c, transmitter);
    c.append(',');
    appendQuoted(c, loggedAt);
    chainHasher.reset();
    chainHasher.addData(hash->toLatin1());
    chainHasher.addData(c);
    const QString h = QString::fromLatin1(chainHasher.result().toHex());
    if (!insert) {
        insert = std::make_unique<QSqlQuery>(db);
        insert->prepare(QStringLiteral("INSERT INTO alerts (%1, hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?,"
                                       " ?, ?, ?, ?, ?)")
                            .arg(ChainColumns));
    }
    QSqlQuery &q = *insert;
    q.bindValue(0, id);
    q.bindValue(1, receiverId);
    q.bindValue(2, local);
    q.bindValue(3, utc);
    q.bindValue(4, text(e.originator));
    q.bindValue(5, text(e.code));
    q.bindValue(6, text(e.name));
    q.bindValue(7, cls);
    q.bindValue(8, text(e.length));
    q.bindValue(9, text(locations));
    q.bindValue(10, text(e.header));
    q.bindValue(11, heard);
    q.bindValue(12, text(e.note));
    q.bindValue(13, test ? 1 : 0);
    q.bindValue(14, frequencyHz > 0 ? QVariant(frequencyHz) : QVariant(QMetaType::fromType<qint64>()));
    q.bindValue(15, transmitter.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(transmitter));
    q.bindValue(16, loggedAt);
    q.bindValue(17, h);
    if (!q.exec())
        return fail(error, q.lastError());
    *hash = h;
    return true;
}

bool AlertStore::Private::storeHead(qint64 lastId, const QString &hash, qint64 added, QString *error)
{
    // The count goes on from the head before; without one (a new record)
    // the rows added are all there are.
    qint64 count = added;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT value FROM meta WHERE key = ?"));
    q.addBindValue(ChainHeadKey);
    if (!q.exec())
        return fail(error, q.lastError());
    if (q.next()) {
        const QStringList parts = q.value(0).toString().split(QLatin1Char(' '));
        if (parts.size() == 3)
            count += parts.at(2).toLongLong();
    }
    q.finish();
    QSqlQuery u(db);
    u.prepare(QStringLiteral("INSERT INTO meta (key, value) VALUES (?, ?)"
                             " ON CONFLICT(key) DO UPDATE SET value = excluded.value"));
    u.addBindValue(ChainHeadKey);
    u.addBindValue(QStringLiteral("%1 %2 %3").arg(lastId).arg(hash).arg(count));
    if (!u.exec())
        return fail(error, u.lastError());
    return true;
}

AlertStore::Append AlertStore::appendAlerts(const QString &receiverName, ReceiverKind kind,
                                            const QList<AlertLogEntry> &alerts, bool test, const QString &device,
                                            qint64 frequencyHz, const QString &transmitter)
{
    Append out;
    if (!d->begin(&out.error))
        return out;
    auto failed = [&]() {
        d->rollback();
        out.added.clear();
        return out;
    };
    const QString now = nowText();
    const qint64 id = d->ensureReceiver(receiverName, kind, device, QString(), now, &out.error);
    if (!id)
        return failed();
    bool ok = false;
    const QHash<qint64, Private::Group> groups = d->groups(&out.error, &ok);
    if (!ok)
        return failed();
    QStringList ids;
    for (auto it = groups.cbegin(); it != groups.cend(); ++it)
        if (it.value().id == groups.value(id).id)
            ids << QString::number(it.key());

    // What the record holds already in the minutes of the new alerts: how
    // often each receiver's key is logged, and until when each monitor's
    // header is the same message.
    QHash<QString, int> logged;
    QHash<QString, QDateTime> repeatEnds;
    QSet<qint64> minutes;
    for (const AlertLogEntry &a : alerts)
        minutes.insert(AlertLogMinute(a.localTime));
    QSqlQuery q(d->db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1 FROM alerts WHERE receiver_id IN (%2) AND utc BETWEEN ? AND ?")
                  .arg(AlertColumns, ids.join(QLatin1Char(','))));
    for (const qint64 m : std::as_const(minutes)) {
        q.bindValue(0, m * 60);
        q.bindValue(1, m * 60 + 59);
        if (!q.exec()) {
            d->fail(&out.error, q.lastError());
            return failed();
        }
        while (q.next()) {
            const AlertLogEntry e = alertFrom(q).entry;
            const QString key = keyOf(e);
            if (e.offAir()) {
                QDateTime &end = repeatEnds[key];
                if (!end.isValid() || end < e.repeatEnd())
                    end = e.repeatEnd();
            } else {
                ++logged[key];
            }
        }
    }
    QString hash;
    qint64 next = 0;
    if (!d->chainTail(&hash, &next, &out.error))
        return failed();
    for (const AlertLogEntry &a : alerts) {
        const QString key = keyOf(a);
        if (a.offAir()) {
            // The same header heard again before its repeat time ends is
            // the same message (a second relay, the next burst group).
            QDateTime &end = repeatEnds[key];
            if (end.isValid() && (!a.heard.isValid() || a.heard < end))
                continue;
            end = a.repeatEnd();
        } else {
            int &count = logged[key];
            if (count > 0) {
                --count;
                continue;
            }
        }
        if (!d->insertAlert(next++, id, a, test, frequencyHz, transmitter, now, &hash, &out.error))
            return failed();
        AlertLogEntry added = a;
        added.receiver = receiverName;
        out.added << added;
    }
    if (!out.added.isEmpty() && !d->storeHead(next - 1, hash, out.added.size(), &out.error))
        return failed();
    if (!d->commit(&out.error)) {
        out.added.clear();
        return out;
    }
    out.ok = true;
    return out;
}

bool AlertStore::forEachAlert(const AlertQuery &query, const std::function<bool(const StoredAlert &)> &row,
                              QString *error)
{
    bool ok = false;
    const QHash<qint64, Private::Group> groups = d->groups(error, &ok);
    if (!ok)
        return false;
    QStringList ids;
    for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
        const Private::Group &g = it.value();
        if (!query.receivers.isEmpty() && !query.receivers.contains(g.name))
            continue;
        if (g.kind == ReceiverKind::Monitor ? !query.monitors : !query.receiversRows)
            continue;
        ids << QString::number(it.key());
    }
    if (ids.isEmpty())
        return true;
    QStringList where{QStringLiteral("receiver_id IN (%1)").arg(ids.join(QLatin1Char(',')))};
    // Dates are each row's own local date: the UTC range is widened by a
    // day on each side and the rows are then checked one by one.
    if (query.from.isValid())
        where << QStringLiteral("utc >= %1").arg(QDateTime(query.from, QTime(0, 0), Qt::UTC).toSecsSinceEpoch() - 86400);
    if (query.to.isValid())
        where << QStringLiteral("utc < %1").arg(QDateTime(query.to.addDays(2), QTime(0, 0), Qt::UTC).toSecsSinceEpoch());
    if (!query.tests)
        where << QStringLiteral("test = 0");
    if (query.afterId > 0)
        where << QStringLiteral("id > %1").arg(query.afterId);
    if (!query.ids.isEmpty()) {
        QStringList only;
        for (const qint64 id : query.ids)
            only << QString::number(id);
        where << QStringLiteral("id IN (%1)").arg(only.join(QLatin1Char(',')));
    }
    QSqlQuery q(d->db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1 FROM alerts WHERE %2 ORDER BY id%3")
                    .arg(AlertColumns, where.join(QLatin1String(" AND ")),
                         query.limit > 0 ? QStringLiteral(" LIMIT %1").arg(query.limit) : QString())))
        return d->fail(error, q.lastError());
    // A receiver merged into another is often the same set: the same
    // alerts transferred under its old name and again under its new one.
    // In a merged group an alert counts as often as the member that holds
    // it most often, never the sum.
    QSet<qint64> merged;
    for (auto it = groups.cbegin(); it != groups.cend(); ++it)
        if (it.key() != it.value().id)
            merged << it.value().id;
    QHash<QString, QHash<qint64, int>> ownSeen;
    QHash<QString, QHash<qint64, int>> &seen = query.merged ? *query.merged : ownSeen;
    while (q.next()) {
        StoredAlert a = alertFrom(q);
        if (query.lastId)
            *query.lastId = a.id;
        const QDate date = a.entry.localTime.date();
        if ((query.from.isValid() && date < query.from) || (query.to.isValid() && date > query.to))
            continue;
        const Private::Group &g = groups[a.receiverId];
        if (merged.contains(g.id)) {
            QHash<qint64, int> &counts = seen[QString::number(g.id) + QChar(0x1e) + keyOf(a.entry)];
            const int mine = ++counts[a.receiverId];
            bool more = true;
            for (auto c = counts.cbegin(); c != counts.cend(); ++c)
                if (c.key() != a.receiverId && c.value() >= mine)
                    more = false;
            if (!more)
                continue;
        }
        a.entry.receiver = g.name;
        if (!row(a))
            break;
    }
    if (q.lastError().isValid())
        return d->fail(error, q.lastError());
    return true;
}

QList<AlertLogEntry> AlertStore::alerts(const AlertQuery &q, QString *error)
{
    QList<AlertLogEntry> out;
    forEachAlert(q, [&](const StoredAlert &a) {
        out << a.entry;
        return true;
    }, error);
    return out;
}

QList<qint64> AlertStore::rowsBefore(const QStringList &receivers, qint64 fromUtc, QString *error)
{
    QList<qint64> out;
    bool ok = false;
    const QHash<qint64, Private::Group> groups = d->groups(error, &ok);
    if (!ok)
        return out;
    // Each an index seek on (receiver_id, utc).
    const QStringList sql{
        QStringLiteral("SELECT id FROM alerts WHERE receiver_id = ? AND utc < ? AND test = 0 ORDER BY utc, id LIMIT 1"),
        QStringLiteral("SELECT id FROM alerts WHERE receiver_id = ? AND utc < ? AND test = 0 ORDER BY utc DESC, id DESC LIMIT 1"),
        QStringLiteral("SELECT id FROM alerts WHERE receiver_id = ? AND utc < ? AND test = 0 AND code = 'RWT'"
                       " ORDER BY utc DESC, id DESC LIMIT 1"),
        QStringLiteral("SELECT id FROM alerts WHERE receiver_id = ? AND utc < ? AND test = 0 AND code = 'RMT'"
                       " ORDER BY utc DESC, id DESC LIMIT 1"),
    };
    QSet<qint64> seen;
    for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
        if (!receivers.isEmpty() && !receivers.contains(it.value().name))
            continue;
        for (const QString &text : sql) {
            QSqlQuery q(d->db);
            q.prepare(text);
            q.addBindValue(it.key());
            q.addBindValue(fromUtc);
            if (!q.exec()) {
                d->fail(error, q.lastError());
                return {};
            }
            if (q.next() && !seen.contains(q.value(0).toLongLong())) {
                seen.insert(q.value(0).toLongLong());
                out << q.value(0).toLongLong();
            }
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

qint64 AlertStore::alertCount(QString *error)
{
    QSqlQuery q(d->db);
    if (!q.exec(QStringLiteral("SELECT count(*) FROM alerts")) || !q.next()) {
        d->fail(error, q.lastError());
        return -1;
    }
    return q.value(0).toLongLong();
}

bool AlertStore::verify(qint64 *rows, QString *problem)
{
    // One read transaction: the head and the rows are the same moment's,
    // whatever a writer appends meanwhile.
    if (!d->exec(QStringLiteral("BEGIN"), problem))
        return false;
    struct EndRead {
        AlertStore::Private *d;
        ~EndRead() { d->rollback(); }
    } endRead{d.get()};
    auto refuse = [&](const QString &why) {
        if (problem)
            *problem = QStringLiteral("%1: %2").arg(d->file, why);
        return false;
    };
    // The head the last append left: where the chain must end.
    QString head;
    {
        QSqlQuery h(d->db);
        h.prepare(QStringLiteral("SELECT value FROM meta WHERE key = ?"));
        h.addBindValue(ChainHeadKey);
        if (!h.exec())
            return d->fail(problem, h.lastError());
        if (h.next())
            head = h.value(0).toString();
    }
    // The canonical bytes come from SQLite's own quote(), so a value whose
    // type was changed behind the program's back no longer matches.
    QSqlQuery q(d->db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT id, hash, %1 FROM alerts ORDER BY id").arg(CanonicalSql)))
        return d->fail(problem, q.lastError());
    QString previous = ChainStart;
    qint64 n = 0, expectedId = 0, lastId = 0;
    while (q.next()) {
        const qint64 id = q.value(0).toLongLong();
        const QString stored = q.value(1).toString();
        const QString h = ChainHash(previous, q.value(2).toString().toUtf8());
        if (h != stored)
            return refuse(QStringLiteral("row %1 is not the row that was logged (its hash does not match: it "
                                         "was changed, or a row before it was removed or added)")
                              .arg(id));
        if (expectedId && id != expectedId)
            return refuse(QStringLiteral("rows %1 to %2 are missing").arg(expectedId).arg(id - 1));
        expectedId = id + 1;
        lastId = id;
        previous = stored;
        ++n;
    }
    if (q.lastError().isValid())
        return d->fail(problem, q.lastError());
    if (head.isEmpty()) {
        if (n > 0)
            return refuse(QStringLiteral("the head of the chain (the meta row \"%1\") is missing: the record "
                                         "was changed outside the program")
                              .arg(ChainHeadKey));
    } else {
        const QStringList parts = head.split(QLatin1Char(' '));
        bool idOk = false, countOk = false;
        const qint64 headId = parts.size() == 3 ? parts.at(0).toLongLong(&idOk) : 0;
        const qint64 headCount = parts.size() == 3 ? parts.at(2).toLongLong(&countOk) : 0;
        if (!idOk || !countOk)
            return refuse(QStringLiteral("the head of the chain (the meta row \"%1\") is not one the program "
                                         "wrote")
                              .arg(ChainHeadKey));
        if (headId > lastId || headCount > n)
            return refuse(QStringLiteral("the last row logged was row %1 (%2 rows), the record ends at row %3 "
                                         "(%4 rows): rows at its end were removed")
                              .arg(headId)
                              .arg(headCount)
                              .arg(lastId)
                              .arg(n));
        if (headId != lastId || headCount != n || parts.at(1) != previous)
            return refuse(QStringLiteral("the last row logged was row %1 (%2 rows), the record ends at row %3 "
                                         "(%4 rows): rows were added or changed outside the program")
                              .arg(headId)
                              .arg(headCount)
                              .arg(lastId)
                              .arg(n));
    }
    if (rows)
        *rows = n;
    return true;
}

bool AlertStore::appendTransfer(const TransferRecord &r, QString *error)
{
    if (!d->begin(error))
        return false;
    const QString when = (r.when.isValid() ? r.when : QDateTime::currentDateTimeUtc()).toUTC().toString(Qt::ISODate);
    const qint64 id = d->ensureReceiver(r.receiver, IsMonitorName(r.receiver) ? ReceiverKind::Monitor : ReceiverKind::Receiver,
                                        QString(), QString(), when, error);
    if (!id) {
        d->rollback();
        return false;
    }
    QSqlQuery q(d->db);
    q.prepare(QStringLiteral("INSERT INTO transfers (receiver_id, time, ok, reason, rom_version) VALUES (?, ?, ?, ?, ?)"));
    q.addBindValue(id);
    q.addBindValue(when);
    q.addBindValue(r.ok ? 1 : 0);
    q.addBindValue(text(r.reason));
    q.addBindValue(text(r.romVersion));
    if (!q.exec()) {
        d->rollback();
        return d->fail(error, q.lastError());
    }
    return d->commit(error);
}

bool AlertStore::transferSummaries(const QStringList &only, QList<TransferSummary> *out, QString *error)
{
    bool ok = false;
    const QHash<qint64, Private::Group> groups = d->groups(error, &ok);
    if (!ok)
        return false;
    QSqlQuery q(d->db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT receiver_id, time, ok, reason, rom_version FROM transfers ORDER BY id")))
        return d->fail(error, q.lastError());
    std::map<QString, TransferSummary> byName;
    while (q.next()) {
        const QString name = groups.value(q.value(0).toLongLong()).name;
        if (!only.isEmpty() && !only.contains(name))
            continue;
        TransferSummary &s = byName[name];
        s.receiver = name;
        const QDateTime when = QDateTime::fromString(q.value(1).toString(), Qt::ISODate);
        const bool good = q.value(2).toInt() != 0;
        ++s.transfers;
        if (!good)
            ++s.failures;
        if (!s.lastTime.isValid() || when >= s.lastTime) {
            s.lastTime = when;
            s.lastOk = good;
            s.lastReason = q.value(3).toString();
            if (good)
                s.romVersion = q.value(4).toString();
        }
    }
    if (q.lastError().isValid())
        return d->fail(error, q.lastError());
    out->clear();
    for (const auto &[name, s] : byName)
        out->append(s);
    return true;
}
