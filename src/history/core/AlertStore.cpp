// SPDX-License-Identifier: GPL-3.0-or-later
// The store's connection, schema and receivers; the alert rows, the chain
// and the transfers are in AlertStoreRows.cpp, the CSV import and export in
// AlertStoreCsv.cpp.
#include "history/core/AlertStore.h"
#include "history/core/AlertStoreDetail.h"

#include <QAtomicInteger>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

using namespace alertstore;

namespace alertstore {

namespace {

// Each schema version is the list of statements that lead to it from the
// one before; user_version names the last one applied.
const QList<QStringList> &migrations()
{
    static const QList<QStringList> steps{
        {
            QStringLiteral("CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL)"),
            QStringLiteral("CREATE TABLE receivers ("
                           " id INTEGER PRIMARY KEY,"
                           " name TEXT UNIQUE,"
                           " kind TEXT NOT NULL CHECK (kind IN ('receiver', 'monitor')),"
                           " device TEXT NOT NULL DEFAULT '',"
                           " zone TEXT NOT NULL DEFAULT '',"
                           " first_seen TEXT NOT NULL,"
                           " last_seen TEXT NOT NULL,"
                           " merged_into INTEGER REFERENCES receivers(id),"
                           " CHECK (name IS NULL OR (kind = 'monitor') = (substr(name, 1, 8) = 'monitor:')),"
                           " CHECK ((name IS NULL) = (merged_into IS NOT NULL)))"),
            QStringLiteral("CREATE TRIGGER receivers_kind_fixed BEFORE UPDATE OF kind ON receivers"
                           " WHEN NEW.kind <> OLD.kind"
                           " BEGIN SELECT RAISE(ABORT, 'a receiver''s kind never changes'); END"),
            QStringLiteral("CREATE TRIGGER receivers_kept BEFORE DELETE ON receivers"
                           " BEGIN SELECT RAISE(ABORT, 'receivers are never removed'); END"),
            QStringLiteral("CREATE TABLE alerts ("
                           " id INTEGER PRIMARY KEY,"
                           " receiver_id INTEGER NOT NULL REFERENCES receivers(id),"
                           " local_time TEXT NOT NULL,"
                           " utc INTEGER NOT NULL,"
                           " originator TEXT NOT NULL,"
                           " code TEXT NOT NULL,"
                           " name TEXT NOT NULL,"
                           " class TEXT NOT NULL,"
                           " length TEXT NOT NULL,"
                           " locations TEXT NOT NULL,"
                           " header TEXT NOT NULL,"
                           " heard TEXT NOT NULL,"
                           " note TEXT NOT NULL,"
                           " test INTEGER NOT NULL CHECK (test IN (0, 1)),"
                           " frequency_hz INTEGER,"
                           " transmitter TEXT,"
                           " logged_at TEXT NOT NULL,"
                           " hash TEXT NOT NULL)"),
            QStringLiteral("CREATE INDEX alerts_receiver_utc ON alerts(receiver_id, utc)"),
            QStringLiteral("CREATE INDEX alerts_utc ON alerts(utc)"),
            QStringLiteral("CREATE TRIGGER alerts_never_changed BEFORE UPDATE ON alerts"
                           " BEGIN SELECT RAISE(ABORT, 'alert rows are never changed'); END"),
            QStringLiteral("CREATE TRIGGER alerts_never_removed BEFORE DELETE ON alerts"
                           " BEGIN SELECT RAISE(ABORT, 'alert rows are never removed'); END"),
            QStringLiteral("CREATE TABLE transfers ("
                           " id INTEGER PRIMARY KEY,"
                           " receiver_id INTEGER NOT NULL REFERENCES receivers(id),"
                           " time TEXT NOT NULL,"
                           " ok INTEGER NOT NULL CHECK (ok IN (0, 1)),"
                           " reason TEXT NOT NULL,"
                           " rom_version TEXT NOT NULL)"),
            QStringLiteral("CREATE TRIGGER transfers_never_changed BEFORE UPDATE ON transfers"
                           " BEGIN SELECT RAISE(ABORT, 'transfer rows are never changed'); END"),
            QStringLiteral("CREATE TRIGGER transfers_never_removed BEFORE DELETE ON transfers"
                           " BEGIN SELECT RAISE(ABORT, 'transfer rows are never removed'); END"),
            QStringLiteral("CREATE TABLE name_events ("
                           " id INTEGER PRIMARY KEY,"
                           " at TEXT NOT NULL,"
                           " action TEXT NOT NULL CHECK (action IN ('rename', 'merge', 'unmerge')),"
                           " receiver_id INTEGER NOT NULL REFERENCES receivers(id),"
                           " target_id INTEGER REFERENCES receivers(id),"
                           " old_name TEXT NOT NULL,"
                           " new_name TEXT NOT NULL,"
                           " undone INTEGER NOT NULL DEFAULT 0)"),
        },
        // Step 2, the Alert Log window's indexes: it reads the record a
        // page at a time in the order of the column the user sorts by, so
        // each sortable column of an alert has an index ending in the
        // instant (ties keep time order, and the row id follows in every
        // index).
        {
            QStringLiteral("CREATE INDEX alerts_originator_utc ON alerts(originator COLLATE NOCASE, utc)"),
            QStringLiteral("CREATE INDEX alerts_name_utc ON alerts(name COLLATE NOCASE, utc)"),
            QStringLiteral("CREATE INDEX alerts_class_utc ON alerts(class, utc)"),
            QStringLiteral("CREATE INDEX alerts_length_utc ON alerts(length, utc)"),
            QStringLiteral("CREATE INDEX alerts_code_utc ON alerts(code, utc)"),
        },
        // Step 3, "chain head": the last row, its hash and the number of
        // rows, kept in meta by every append, so that rows cut off the end
        // of the chain are seen. A record made before starts from its rows
        // as they are now.
        {
            QStringLiteral("INSERT OR IGNORE INTO meta (key, value) SELECT 'chain_head', id || ' ' || hash || ' ' ||"
                           " (SELECT count(*) FROM alerts) FROM alerts ORDER BY id DESC LIMIT 1"),
        },
    };
    return steps;
}

QAtomicInteger<quint64> connectionSerial;

} // namespace

QString sqlReason(const QSqlError &e)
{
    const int code = e.nativeErrorCode().toInt();
    switch (code & 0xff) {
    case 13: return QStringLiteral("No space left on device");
    case 5:
    case 6: return QStringLiteral("another program holds the database longer than the time-out");
    case 26: return QStringLiteral("it is not an alert database");
    case 8: return QStringLiteral("it cannot be written (read-only)");
    case 14: return QStringLiteral("it cannot be opened");
    case 10: return QStringLiteral("the disk refused a write (full, over a file-size limit, or failing)");
    default: break;
    }
    QString text = e.databaseText();
    if (text.isEmpty())
        text = e.text();
    return text;
}

QString quoted(const QString &s)
{
    QString q = s;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

QVariant text(const QString &s)
{
    return s.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(s);
}

QString kindName(ReceiverKind k)
{
    return k == ReceiverKind::Monitor ? QStringLiteral("monitor") : QStringLiteral("receiver");
}

QString nowText()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

} // namespace alertstore

AlertStore::AlertStore() : d(std::make_unique<Private>()) {}

AlertStore::~AlertStore()
{
    if (d->connection.isEmpty())
        return;
    d->insert.reset();
    d->db.close();
    d->db = QSqlDatabase();
    QSqlDatabase::removeDatabase(d->connection);
}

QString AlertStore::PathForLog(const QString &alertLogPath)
{
    const QFileInfo fi(alertLogPath);
    const QString dir = fi.path();
    return (dir == QLatin1String(".") && !alertLogPath.startsWith(QLatin1String("./")) ? QString() : dir + QLatin1Char('/'))
        + fi.completeBaseName() + QStringLiteral(".db");
}

QString AlertStore::DefaultPath()
{
    const QString log = DefaultAlertLogPath();
    return log.isEmpty() ? QString() : PathForLog(log);
}

bool AlertStore::isOpen() const { return d->db.isOpen(); }
QString AlertStore::fileName() const { return d->file; }

bool AlertStore::Private::fail(QString *error, const QSqlError &e) const
{
    if (error)
        *error = QStringLiteral("%1: %2").arg(file, sqlReason(e));
    return false;
}

bool AlertStore::Private::exec(const QString &sql, QString *error)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        return fail(error, q.lastError());
    return true;
}

bool AlertStore::Private::begin(QString *error)
{
    // IMMEDIATE takes the write lock at once (waiting up to the busy
    // time-out), so the last hash read inside stays the last one.
    return exec(QStringLiteral("BEGIN IMMEDIATE"), error);
}

bool AlertStore::Private::commit(QString *error)
{
    if (exec(QStringLiteral("COMMIT"), error))
        return true;
    rollback();
    return false;
}

void AlertStore::Private::rollback()
{
    QSqlQuery q(db);
    q.exec(QStringLiteral("ROLLBACK"));
}

bool AlertStore::open(const QString &fileName, bool create, QString *error)
{
    d->file = fileName;
    const QFileInfo fi(fileName);
    if (!fi.exists()) {
        if (!create) {
            if (error)
                *error = QStringLiteral("%1: there is no alert database (nothing was logged yet)").arg(fileName);
            return false;
        }
        if (!MakeAlertLogFolder(fileName, error))
            return false;
    } else if (!fi.isFile()) {
        if (error)
            *error = QStringLiteral("%1: it is not a file").arg(fileName);
        return false;
    }
    d->connection = QStringLiteral("nx-alertstore-%1").arg(connectionSerial.fetchAndAddRelaxed(1));
    d->db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), d->connection);
    if (!d->db.isValid()) {
        if (error)
            *error = QStringLiteral("%1: the SQLite driver of Qt is missing (QSQLITE)").arg(fileName);
        return false;
    }
    d->db.setDatabaseName(fileName);
    d->db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
    if (!d->db.open())
        return d->fail(error, d->db.lastError());
    // Foreign keys and trusted_schema are per connection; WAL stays with
    // the file once set.
    const QStringList pragmas{QStringLiteral("PRAGMA trusted_schema = OFF"), QStringLiteral("PRAGMA foreign_keys = ON"),
                              QStringLiteral("PRAGMA synchronous = FULL")};
    for (const QString &p : pragmas)
        if (!d->exec(p, error))
            return false;
    // SQLite answers "locked" at once, without the busy time-out, when a
    // second program asks for WAL while the first is turning a new file to
    // it: asked again until the time-out, as any other wait for a lock.
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        QSqlQuery wal(d->db);
        if (wal.exec(QStringLiteral("PRAGMA journal_mode = WAL")))
            break;
        const int code = wal.lastError().nativeErrorCode().toInt() & 0xff;
        if ((code != 5 && code != 6) || waited.elapsed() > BusyTimeoutMs)
            return d->fail(error, wal.lastError());
        QThread::msleep(20);
    }
    return d->migrate(error);
}

bool AlertStore::Private::migrate(QString *error)
{
    const auto &steps = migrations();
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next())
        return fail(error, q.lastError());
    int version = q.value(0).toInt();
    q.finish();
    if (version > steps.size()) {
        if (error)
            *error = QStringLiteral("%1: it was made by a newer version of this program (schema %2)")
                         .arg(file)
                         .arg(version);
        return false;
    }
    if (version == steps.size())
        return true;
    if (!begin(error))
        return false;
    // Another program may have brought it up to date while this waited.
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
        rollback();
        return fail(error, q.lastError());
    }
    version = q.value(0).toInt();
    q.finish();
    for (int v = version; v < steps.size(); ++v) {
        for (const QString &sql : steps.at(v)) {
            if (!exec(sql, error)) {
                rollback();
                return false;
            }
        }
    }
    if (!exec(QStringLiteral("PRAGMA user_version = %1").arg(steps.size()), error)) {
        rollback();
        return false;
    }
    return commit(error);
}

StoredReceiver AlertStore::Private::receiverFrom(const QSqlQuery &q)
{
    StoredReceiver r;
    r.id = q.value(0).toLongLong();
    r.name = q.value(1).toString();
    r.kind = q.value(2).toString() == QLatin1String("monitor") ? ReceiverKind::Monitor : ReceiverKind::Receiver;
    r.device = q.value(3).toString();
    r.zone = q.value(4).toString();
    r.firstSeen = QDateTime::fromString(q.value(5).toString(), Qt::ISODateWithMs);
    r.lastSeen = QDateTime::fromString(q.value(6).toString(), Qt::ISODateWithMs);
    r.mergedInto = q.value(7).toLongLong();
    return r;
}

const QString AlertStore::Private::ReceiverColumns =
    QStringLiteral("id, name, kind, device, zone, first_seen, last_seen, merged_into");

std::optional<StoredReceiver> AlertStore::receiver(const QString &name, QString *error)
{
    QSqlQuery q(d->db);
    q.prepare(QStringLiteral("SELECT %1 FROM receivers WHERE name = ?").arg(Private::ReceiverColumns));
    q.addBindValue(text(name));
    if (!q.exec()) {
        d->fail(error, q.lastError());
        return std::nullopt;
    }
    if (!q.next())
        return std::nullopt;
    return Private::receiverFrom(q);
}

QList<StoredReceiver> AlertStore::receivers(bool withMerged, QString *error)
{
    QList<StoredReceiver> out;
    QSqlQuery q(d->db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1 FROM receivers %2 ORDER BY name")
                    .arg(Private::ReceiverColumns,
                         withMerged ? QString() : QStringLiteral("WHERE name IS NOT NULL")))) {
        d->fail(error, q.lastError());
        return out;
    }
    while (q.next())
        out << Private::receiverFrom(q);
    return out;
}

QString AlertStore::Private::kindConflict(const QString &name, ReceiverKind kind)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("a receiver needs a name");
    if (IsMonitorName(name) && kind != ReceiverKind::Monitor)
        return QStringLiteral("\"%1\": names that begin with \"monitor:\" belong to monitors").arg(name);
    if (!IsMonitorName(name) && kind == ReceiverKind::Monitor)
        return QStringLiteral("\"%1\": a monitor's name begins with \"monitor:\"").arg(name);
    return QString();
}

qint64 AlertStore::Private::ensureReceiver(const QString &name, ReceiverKind kind, const QString &device, const QString &zone,
                               const QString &seen, QString *error)
{
    const QString conflict = kindConflict(name, kind);
    if (!conflict.isEmpty()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(file, conflict);
        return 0;
    }
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT id, kind FROM receivers WHERE name = ?"));
    q.addBindValue(name);
    if (!q.exec())
        return fail(error, q.lastError()), 0;
    if (q.next()) {
        const qint64 id = q.value(0).toLongLong();
        if (q.value(1).toString() != kindName(kind)) {
            if (error)
                *error = QStringLiteral("%1: \"%2\" is a %3, not a %4")
                             .arg(file, name, q.value(1).toString(), kindName(kind));
            return 0;
        }
        q.finish();
        QSqlQuery u(db);
        u.prepare(QStringLiteral("UPDATE receivers SET last_seen = max(last_seen, ?),"
                                 " device = CASE WHEN ? = '' THEN device ELSE ? END,"
                                 " zone = CASE WHEN ? = '' THEN zone ELSE ? END WHERE id = ?"));
        u.addBindValue(seen);
        u.addBindValue(text(device));
        u.addBindValue(text(device));
        u.addBindValue(text(zone));
        u.addBindValue(text(zone));
        u.addBindValue(id);
        if (!u.exec())
            return fail(error, u.lastError()), 0;
        return id;
    }
    q.finish();
    QSqlQuery i(db);
    i.prepare(QStringLiteral("INSERT INTO receivers (name, kind, device, zone, first_seen, last_seen)"
                             " VALUES (?, ?, ?, ?, ?, ?)"));
    i.addBindValue(name);
    i.addBindValue(kindName(kind));
    i.addBindValue(text(device));
    i.addBindValue(text(zone));
    i.addBindValue(seen);
    i.addBindValue(seen);
    if (!i.exec())
        return fail(error, i.lastError()), 0;
    return i.lastInsertId().toLongLong();
}

qint64 AlertStore::registerReceiver(const QString &name, ReceiverKind kind, const QString &device,
                                    const QString &zone, const QDateTime &seen, QString *error)
{
    if (!d->begin(error))
        return 0;
    const QDateTime when = seen.isValid() ? seen.toUTC() : QDateTime::currentDateTimeUtc();
    const qint64 id = d->ensureReceiver(name, kind, device, zone, when.toString(Qt::ISODateWithMs), error);
    if (!id) {
        d->rollback();
        return 0;
    }
    return d->commit(error) ? id : 0;
}

QHash<qint64, AlertStore::Private::Group> AlertStore::Private::groups(QString *error, bool *ok)
{
    // Every receiver id and the receiver its rows count under now: itself,
    // or the end of its chain of merges.
    QHash<qint64, Group> out;
    QHash<qint64, StoredReceiver> all;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    *ok = q.exec(QStringLiteral("SELECT %1 FROM receivers").arg(ReceiverColumns));
    if (!*ok) {
        fail(error, q.lastError());
        return out;
    }
    while (q.next()) {
        const StoredReceiver r = receiverFrom(q);
        all.insert(r.id, r);
    }
    for (const StoredReceiver &r : std::as_const(all)) {
        const StoredReceiver *root = &r;
        for (int hops = 0; root->mergedInto && hops < all.size(); ++hops) {
            const auto it = all.constFind(root->mergedInto);
            if (it == all.constEnd())
                break;
            root = &it.value();
        }
        out.insert(r.id, Group{root->id, root->name, root->kind});
    }
    return out;
}

AlertStore::RenameResult AlertStore::rename(const QString &oldName, const QString &newName, bool merge,
                                            QString *message)
{
    if (!d->begin(message))
        return RenameResult::Failed;
    auto refuse = [&](RenameResult r, const QString &why) {
        d->rollback();
        if (message)
            *message = why;
        return r;
    };
    const std::optional<StoredReceiver> from = receiver(oldName, message);
    if (!from)
        return refuse(RenameResult::Failed, QStringLiteral("%1: no receiver is named \"%2\"").arg(d->file, oldName));
    if (oldName == newName)
        return refuse(RenameResult::Refused, QStringLiteral("\"%1\" is its name already").arg(oldName));
    const QString conflict = Private::kindConflict(newName, from->kind);
    if (!conflict.isEmpty())
        return refuse(RenameResult::Refused, QStringLiteral("cannot rename \"%1\": %2").arg(oldName, conflict));
    const std::optional<StoredReceiver> to = receiver(newName, message);
    const QString at = nowText();
    QSqlQuery q(d->db);
    if (to) {
        if (!merge)
            return refuse(RenameResult::Refused,
                          QStringLiteral("\"%1\" exists already: nothing was renamed (give --merge to count the "
                                         "rows of \"%2\" as those of \"%1\")")
                              .arg(newName, oldName));
        q.prepare(QStringLiteral("UPDATE receivers SET name = NULL, merged_into = ? WHERE id = ?"));
        q.addBindValue(to->id);
        q.addBindValue(from->id);
    } else {
        q.prepare(QStringLiteral("UPDATE receivers SET name = ? WHERE id = ?"));
        q.addBindValue(newName);
        q.addBindValue(from->id);
    }
    if (!q.exec()) {
        d->rollback();
        d->fail(message, q.lastError());
        return RenameResult::Failed;
    }
    QSqlQuery e(d->db);
    e.prepare(QStringLiteral("INSERT INTO name_events (at, action, receiver_id, target_id, old_name, new_name)"
                             " VALUES (?, ?, ?, ?, ?, ?)"));
    e.addBindValue(at);
    e.addBindValue(to ? QStringLiteral("merge") : QStringLiteral("rename"));
    e.addBindValue(from->id);
    e.addBindValue(to ? QVariant(to->id) : QVariant(QMetaType::fromType<qint64>()));
    e.addBindValue(oldName);
    e.addBindValue(newName);
    if (!e.exec()) {
        d->rollback();
        d->fail(message, e.lastError());
        return RenameResult::Failed;
    }
    if (!d->commit(message))
        return RenameResult::Failed;
    if (message)
        *message = to ? QStringLiteral("\"%1\" was merged into \"%2\" (undo it with log unmerge %1)").arg(oldName, newName)
                      : QStringLiteral("\"%1\" is now \"%2\"").arg(oldName, newName);
    return RenameResult::Done;
}

AlertStore::RenameResult AlertStore::unmerge(const QString &name, QString *message)
{
    if (!d->begin(message))
        return RenameResult::Failed;
    auto refuse = [&](RenameResult r, const QString &why) {
        d->rollback();
        if (message)
            *message = why;
        return r;
    };
    QSqlQuery q(d->db);
    q.prepare(QStringLiteral("SELECT e.id, e.receiver_id, e.new_name FROM name_events e JOIN receivers r"
                             " ON r.id = e.receiver_id WHERE e.action = 'merge' AND e.old_name = ? AND e.undone = 0"
                             " AND r.merged_into IS NOT NULL ORDER BY e.id DESC LIMIT 1"));
    q.addBindValue(name);
    if (!q.exec()) {
        d->rollback();
        d->fail(message, q.lastError());
        return RenameResult::Failed;
    }
    if (!q.next())
        return refuse(RenameResult::Failed, QStringLiteral("%1: no merge of \"%2\" is left to undo").arg(d->file, name));
    const qint64 eventId = q.value(0).toLongLong(), id = q.value(1).toLongLong();
    const QString into = q.value(2).toString();
    q.finish();
    if (receiver(name))
        return refuse(RenameResult::Refused,
                      QStringLiteral("\"%1\" is the name of another receiver now: rename that one first").arg(name));
    const QString at = nowText();
    QSqlQuery u(d->db);
    u.prepare(QStringLiteral("UPDATE receivers SET name = ?, merged_into = NULL WHERE id = ?"));
    u.addBindValue(name);
    u.addBindValue(id);
    bool ok = u.exec();
    if (ok) {
        u.prepare(QStringLiteral("UPDATE name_events SET undone = 1 WHERE id = ?"));
        u.addBindValue(eventId);
        ok = u.exec();
    }
    if (ok) {
        u.prepare(QStringLiteral("INSERT INTO name_events (at, action, receiver_id, old_name, new_name)"
                                 " VALUES (?, 'unmerge', ?, ?, ?)"));
        u.addBindValue(at);
        u.addBindValue(id);
        u.addBindValue(into);
        u.addBindValue(name);
        ok = u.exec();
    }
    if (!ok) {
        d->rollback();
        d->fail(message, u.lastError());
        return RenameResult::Failed;
    }
    if (!d->commit(message))
        return RenameResult::Failed;
    if (message)
        *message = QStringLiteral("\"%1\" has its own rows again (no longer merged into \"%2\")").arg(name, into);
    return RenameResult::Done;
}

QList<NameEvent> AlertStore::nameEvents(const QString &name, QString *error)
{
    QList<NameEvent> out;
    QSqlQuery q(d->db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT id, at, action, receiver_id, target_id, old_name, new_name, undone"
                             " FROM name_events WHERE ? = '' OR old_name = ? OR new_name = ? ORDER BY id"));
    q.addBindValue(text(name));
    q.addBindValue(text(name));
    q.addBindValue(text(name));
    if (!q.exec()) {
        d->fail(error, q.lastError());
        return out;
    }
    while (q.next()) {
        NameEvent e;
        e.id = q.value(0).toLongLong();
        e.when = QDateTime::fromString(q.value(1).toString(), Qt::ISODateWithMs);
        e.action = q.value(2).toString();
        e.receiverId = q.value(3).toLongLong();
        e.targetId = q.value(4).toLongLong();
        e.oldName = q.value(5).toString();
        e.newName = q.value(6).toString();
        e.undone = q.value(7).toInt() != 0;
        out << e;
    }
    return out;
}

bool AlertStore::integrityOk(QString *problem)
{
    QSqlQuery q(d->db);
    if (!q.exec(QStringLiteral("PRAGMA integrity_check")))
        return d->fail(problem, q.lastError());
    QStringList lines;
    while (q.next())
        lines << q.value(0).toString();
    if (lines == QStringList{QStringLiteral("ok")})
        return true;
    if (problem)
        *problem = QStringLiteral("%1: %2").arg(d->file, lines.join(QLatin1String("; ")));
    return false;
}

QString AlertStore::ChainHash(const QString &previous, const QByteArray &canonical)
{
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(previous.toLatin1());
    h.addData(canonical);
    return QString::fromLatin1(h.result().toHex());
}
