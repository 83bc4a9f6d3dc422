// SPDX-License-Identifier: GPL-3.0-or-later
// The CSV logs of older versions: the one-time import into the store, and
// the export in today's CSV layout for spreadsheets and scripts.
#include "history/core/AlertStore.h"
#include "history/core/AlertStoreDetail.h"

#include "base/SafeWrite.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

using namespace alertstore;

namespace {

// A transfer log line longer than this is not a row the program wrote.
constexpr qint64 MaxTransferLine = 64 * 1024;

} // namespace

AlertStore::Import AlertStore::importCsv(const QString &alertLog, const QString &transferLog,
                                         const QString &sixColumnReceiver)
{
    Import out;
    {
        QSqlQuery q(d->db);
        if (!q.exec(QStringLiteral("SELECT (SELECT count(*) FROM alerts) + (SELECT count(*) FROM transfers),"
                                   " (SELECT count(*) FROM meta WHERE key = 'imported')"))
            || !q.next()) {
            d->fail(&out.error, q.lastError());
            return out;
        }
        if (q.value(0).toLongLong() > 0 || q.value(1).toLongLong() > 0) {
            out.ok = true;
            out.done = true;
            return out;
        }
    }
    // The reader goes row by row with every quoted field capped, so the
    // import takes time in proportion to the log, and one stray quote ends
    // its row at the cap instead of swallowing the rows after it.
    AlertLogReader reader;
    if (!reader.open(alertLog, &out.error, /*missingIsEmpty*/ true))
        return out;
    if (!d->begin(&out.error))
        return out;
    // A bigger page cache for the one long transaction (16 MB at most: the
    // rows go in without indexes, in id order, and each index build's
    // sort takes as much as the cache may, spilling to a temporary file
    // beyond it), back to the default after it.
    d->exec(QStringLiteral("PRAGMA cache_size = -16384"), nullptr);
    struct CacheBack {
        AlertStore::Private *d;
        ~CacheBack() { d->exec(QStringLiteral("PRAGMA cache_size = -2000"), nullptr); }
    } cacheBack{d.get()};
    auto failed = [&]() {
        d->rollback();
        out.rows = out.transfers = 0;
        return out;
    };
    // The store is empty: its alert indexes are dropped for the bulk of
    // rows and made again after them, in the same transaction (a sorted
    // build is several times faster than a million single updates, and a
    // failure rolls the drop back with the rest).
    QStringList indexSql;
    {
        QSqlQuery q(d->db);
        if (!q.exec(QStringLiteral("SELECT name, sql FROM sqlite_master WHERE type = 'index' AND tbl_name = 'alerts'"
                                   " AND sql IS NOT NULL"))) {
            d->fail(&out.error, q.lastError());
            return failed();
        }
        QStringList names;
        while (q.next()) {
            names << q.value(0).toString();
            indexSql << q.value(1).toString();
        }
        q.finish();
        for (const QString &name : std::as_const(names))
            if (!d->exec(QStringLiteral("DROP INDEX \"%1\"").arg(QString(name).replace(QLatin1String("\""), QLatin1String("\"\""))), &out.error))
                return failed();
    }
    const QString seen = nowText();
    QHash<QString, qint64> ids;
    auto idOf = [&](const QString &name) -> qint64 {
        const auto it = ids.constFind(name);
        if (it != ids.constEnd())
            return it.value();
        const qint64 id = d->ensureReceiver(name, IsMonitorName(name) ? ReceiverKind::Monitor : ReceiverKind::Receiver,
                                            QString(), QString(), seen, &out.error);
        if (id)
            ids.insert(name, id);
        return id;
    };
    QString hash;
    qint64 next = 0;
    if (!d->chainTail(&hash, &next, &out.error))
        return failed();
    AlertLogEntry e;
    while (reader.next(&e)) {
        QString name = e.receiver;
        if (name.isEmpty()) {
            // A log from before receivers had names: one receiver's. Under
            // a name given, or else "unnamed" until `log rename` names it.
            name = sixColumnReceiver.isEmpty() ? UnnamedReceiver : sixColumnReceiver;
        }
        const qint64 id = idOf(name);
        if (!id)
            return failed();
        if (!d->insertAlert(next++, id, e, false, 0, QString(), seen, &hash, &out.error))
            return failed();
        ++out.rows;
    }
    if (out.rows > 0 && !d->storeHead(next - 1, hash, out.rows, &out.error))
        return failed();
    for (const QString &sql : std::as_const(indexSql))
        if (!d->exec(sql, &out.error))
            return failed();
    if (!reader.error().isEmpty()) {
        out.error = reader.error();
        return failed();
    }
    out.skipped = reader.skipped();
    out.torn = reader.torn();
    out.firstProblem = reader.firstProblem();

    if (!transferLog.isEmpty() && QFileInfo::exists(transferLog)) {
        QFile f(transferLog);
        if (!f.open(QIODevice::ReadOnly)) {
            out.error = QStringLiteral("%1: %2").arg(transferLog, f.errorString());
            return failed();
        }
        QSqlQuery ins(d->db);
        ins.prepare(QStringLiteral("INSERT INTO transfers (receiver_id, time, ok, reason, rom_version)"
                                   " VALUES (?, ?, ?, ?, ?)"));
        bool first = true;
        while (!f.atEnd()) {
            QByteArray line = f.readLine(MaxTransferLine);
            const bool whole = line.endsWith('\n');
            if (!whole && !f.atEnd()) {
                // Longer than any row: skip to the end of that line.
                while (!f.atEnd() && !f.readLine(MaxTransferLine).endsWith('\n')) {}
                ++out.skipped;
                continue;
            }
            if (!whole) {
                ++out.torn;   // the last line without its end: cut off
                continue;
            }
            line.chop(1);
            if (line.endsWith('\r'))
                line.chop(1);
            if (first) {
                first = false;
                if (line != TransferLogHeader.toUtf8()) {
                    out.error = QStringLiteral("%1: it is not a transfer log (its first line is not \"%2\")")
                                    .arg(transferLog, TransferLogHeader);
                    return failed();
                }
                continue;
            }
            TransferRecord r;
            if (!ParseTransferLogRow(line, &r) || r.receiver.isEmpty()) {
                ++out.skipped;
                continue;
            }
            const qint64 id = idOf(r.receiver);
            if (!id)
                return failed();
            ins.bindValue(0, id);
            ins.bindValue(1, r.when.toUTC().toString(Qt::ISODate));
            ins.bindValue(2, r.ok ? 1 : 0);
            ins.bindValue(3, text(r.reason));
            ins.bindValue(4, text(r.romVersion));
            if (!ins.exec()) {
                d->fail(&out.error, ins.lastError());
                return failed();
            }
            ++out.transfers;
        }
    }
    QSqlQuery m(d->db);
    m.prepare(QStringLiteral("INSERT INTO meta (key, value) VALUES ('imported', ?)"));
    m.addBindValue(QStringLiteral("%1 at %2").arg(alertLog, seen));
    if (!m.exec()) {
        d->fail(&out.error, m.lastError());
        return failed();
    }
    if (!d->commit(&out.error)) {
        out.rows = out.transfers = 0;
        return out;
    }
    out.ok = true;
    return out;
}

bool AlertStore::exportCsv(const QString &fileName, const AlertQuery &q, qint64 *rows, QString *error)
{
    QByteArray data = AlertLogHeaderOf(AlertLogLayoutCurrent).toUtf8() + '\n';
    qint64 n = 0;
    if (!forEachAlert(q, [&](const StoredAlert &a) {
            data += a.entry.csvLineFor(AlertLogLayoutCurrent).toUtf8() + '\n';
            ++n;
            return true;
        }, error))
        return false;
    if (!writeFileAtomically(fileName, data, error))
        return false;
    if (rows)
        *rows = n;
    return true;
}
