// SPDX-License-Identifier: GPL-3.0-or-later
// The Alert Log window's questions to the record: how many rows pass its
// filter and which rows fill a page, in the order the user sorts by. The
// window holds only the rows around what it shows; SQLite filters, counts
// and sorts, using the indexes that end in the instant of each row.
#include "history/core/AlertStore.h"
#include "history/core/AlertStoreDetail.h"

#include "history/core/HistoryDecoder.h"

#include <QRegularExpression>
#include <QSet>
#include <QSqlError>

#include <algorithm>

using namespace alertstore;

namespace {

// The columns a page reads, in the order pageRows() takes them.
const QString PageColumns = QStringLiteral(
    "id, receiver_id, local_time, originator, code, name, class, length, locations, header, heard, note");

EventClass classOf(const QString &s)
{
    if (s == QLatin1String("Warning"))
        return EventClass::Warning;
    if (s == QLatin1String("Watch"))
        return EventClass::Watch;
    return EventClass::Other;
}

// A LIKE pattern that finds the text anywhere, with % _ and \ taken as
// they stand.
QString containsPattern(const QString &text)
{
    QString s = text;
    s.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    s.replace(QLatin1Char('%'), QLatin1String("\\%"));
    s.replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + s + QLatin1Char('%');
}

struct Where {
    QStringList terms;
    QVariantList values;
};

} // namespace

bool AlertStore::preparePages(bool *named, bool *heard, QString *error)
{
    bool ok = false;
    const QHash<qint64, Private::Group> groups = d->groups(error, &ok);
    if (!ok)
        return false;
    d->pageNames.clear();
    QStringList mergedNames;
    QStringList mergedMembers;
    for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
        d->pageNames.insert(it.key(), it.value().name);
        if (it.key() != it.value().id) {
            mergedNames << it.value().name;
            mergedMembers << QString::number(it.key()) << QString::number(it.value().id);
        }
    }
    if (!d->exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS page_hidden (id INTEGER PRIMARY KEY)"), error)
        || !d->exec(QStringLiteral("DELETE FROM temp.page_hidden"), error))
        return false;
    d->pagesHidden = false;
    d->pageRowsKey.clear();
    // A merged receiver's alerts count as often as the member that holds
    // them most often; forEachAlert() knows which rows those are, and the
    // others are hidden from every page.
    if (!mergedNames.isEmpty()) {
        QSet<qint64> shown;
        AlertQuery all;
        all.receivers = mergedNames;
        if (!forEachAlert(all, [&](const StoredAlert &a) {
                shown.insert(a.id);
                return true;
            }, error))
            return false;
        QSqlQuery q(d->db);
        q.setForwardOnly(true);
        mergedMembers.removeDuplicates();
        if (!q.exec(QStringLiteral("SELECT id FROM alerts WHERE receiver_id IN (%1)")
                        .arg(mergedMembers.join(QLatin1Char(',')))))
            return d->fail(error, q.lastError());
        QVariantList hidden;
        while (q.next())
            if (!shown.contains(q.value(0).toLongLong()))
                hidden << q.value(0);
        q.finish();
        if (!hidden.isEmpty()) {
            QSqlQuery insert(d->db);
            insert.prepare(QStringLiteral("INSERT INTO temp.page_hidden (id) VALUES (?)"));
            insert.addBindValue(hidden);
            if (!d->begin(error))
                return false;
            if (!insert.execBatch()) {
                d->rollback();
                return d->fail(error, insert.lastError());
            }
            if (!d->commit(error))
                return false;
            d->pagesHidden = true;
        }
    }
    QSqlQuery q(d->db);
    if (!q.exec(QStringLiteral("SELECT EXISTS (SELECT 1 FROM alerts), EXISTS (SELECT 1 FROM alerts WHERE header <> '')"))
        || !q.next())
        return d->fail(error, q.lastError());
    if (named)
        *named = q.value(0).toBool();
    if (heard)
        *heard = q.value(1).toBool();
    return true;
}

namespace {

Where whereOf(const AlertPageQuery &q, const QHash<qint64, QString> &names, bool hidden)
{
    Where w;
    if (hidden)
        w.terms << QStringLiteral("id NOT IN (SELECT id FROM temp.page_hidden)");
    // Each row's own local date decides, as the audit counts it; the UTC
    // bounds (a day wider on each side) only let the index narrow the scan.
    if (q.from.isValid()) {
        w.terms << QStringLiteral("utc >= ?") << QStringLiteral("substr(local_time, 1, 10) >= ?");
        w.values << QDateTime(q.from, QTime(0, 0), Qt::UTC).toSecsSinceEpoch() - 86400
                 << q.from.toString(Qt::ISODate);
    }
    if (q.to.isValid()) {
        w.terms << QStringLiteral("utc < ?") << QStringLiteral("substr(local_time, 1, 10) <= ?");
        w.values << QDateTime(q.to.addDays(2), QTime(0, 0), Qt::UTC).toSecsSinceEpoch() << q.to.toString(Qt::ISODate);
    }
    if (q.eventClass >= 0) {
        w.terms << QStringLiteral("class = ?");
        w.values << EventClassName(EventClass(q.eventClass));
    }
    if (!q.codes.isEmpty()) {
        QStringList marks;
        for (const QString &code : q.codes) {
            marks << QStringLiteral("?");
            w.values << code;
        }
        w.terms << QStringLiteral("code IN (%1)").arg(marks.join(QLatin1Char(',')));
    }
    if (!q.originator.trimmed().isEmpty()) {
        w.terms << QStringLiteral("originator = ? COLLATE NOCASE");
        w.values << q.originator.trimmed();
    }
    if (!q.text.isEmpty()) {
        // Lengths, dates and times hold only digits and - : and blanks: a
        // text with anything else is not looked for there, which spares a
        // scan of every row's time for the usual words. A text of those
        // characters alone has no case and no wildcard: instr() finds it,
        // quicker than LIKE.
        static const QRegularExpression timeLike(QStringLiteral("^[0-9: -]+$"));
        const bool timeText = timeLike.match(q.text).hasMatch();
        const QString like = containsPattern(q.text);
        // The date and time as the columns show them ("2026-03-06 09:30")
        // are the stored ones with a T for the blank.
        QString stored = q.text;
        stored.replace(QLatin1Char(' '), QLatin1Char('T'));
        auto contains = [&](const QString &column) {
            w.values << (timeText ? q.text : like);
            return timeText ? QStringLiteral("instr(%1, ?) > 0").arg(column)
                            : QStringLiteral("%1 LIKE ? ESCAPE '\\'").arg(column);
        };
        QStringList any;
        for (const char *column : {"name", "code", "originator"})
            any << contains(QLatin1String(column));
        if (timeText) {
            any << contains(QStringLiteral("length"));
            // Within the first 16 characters: the first place it is found
            // is early enough (no substr() copy of every row's time).
            w.values << stored;
            any << QStringLiteral("instr(local_time, ?) BETWEEN 1 AND %1").arg(17 - stored.size());
        }
        // Class and receiver names are few: which of them match is known here.
        QStringList classes;
        for (const EventClass c : {EventClass::Other, EventClass::Warning, EventClass::Watch})
            if (EventClassName(c).contains(q.text, Qt::CaseInsensitive))
                classes << quoted(EventClassName(c));
        if (!classes.isEmpty())
            any << QStringLiteral("class IN (%1)").arg(classes.join(QLatin1Char(',')));
        QStringList receivers;
        for (auto it = names.cbegin(); it != names.cend(); ++it)
            if (it.value().contains(q.text, Qt::CaseInsensitive))
                receivers << QString::number(it.key());
        if (!receivers.isEmpty())
            any << QStringLiteral("receiver_id IN (%1)").arg(receivers.join(QLatin1Char(',')));
        // What a monitor heard: the header, the note, when it was heard.
        QStringList heard{contains(QStringLiteral("header")), contains(QStringLiteral("note"))};
        if (timeText) {
            w.values << stored;
            heard << QStringLiteral("instr(heard, ?) BETWEEN 1 AND %1").arg(20 - stored.size());
        }
        any << QStringLiteral("(header <> '' AND (%1))").arg(heard.join(QStringLiteral(" OR ")));
        w.terms << QLatin1Char('(') + any.join(QLatin1String(" OR ")) + QLatin1Char(')');
    }
    return w;
}

QString orderOf(const AlertPageQuery &q, const QHash<qint64, QString> &names)
{
    // Equal values keep time order, by the instant whatever the offsets.
    QStringList keys;
    switch (q.order) {
    case AlertPageQuery::Time:
    case AlertPageQuery::Logged: break;
    case AlertPageQuery::Originator: keys << QStringLiteral("originator COLLATE NOCASE"); break;
    case AlertPageQuery::Event: keys << QStringLiteral("name COLLATE NOCASE"); break;
    // "Other" < "Warning" < "Watch", as the classes' values run.
    case AlertPageQuery::Class: keys << QStringLiteral("class"); break;
    // "hh:mm" sorts as its minutes do.
    case AlertPageQuery::Length: keys << QStringLiteral("length"); break;
    case AlertPageQuery::Receiver: {
        QList<qint64> ids = names.keys();
        std::sort(ids.begin(), ids.end(), [&](qint64 a, qint64 b) {
            const int c = QString::compare(names.value(a), names.value(b), Qt::CaseInsensitive);
            return c < 0 || (c == 0 && a < b);
        });
        QString rank = QStringLiteral("CASE receiver_id");
        int n = 0;
        for (const qint64 id : std::as_const(ids)) {
            // Members of one merged receiver share its rank.
            if (n == 0 || QString::compare(names.value(id), names.value(ids.at(n - 1)), Qt::CaseInsensitive) != 0)
                ++n;
            rank += QStringLiteral(" WHEN %1 THEN %2").arg(id).arg(n);
        }
        keys << (ids.isEmpty() ? QStringLiteral("0") : rank + QStringLiteral(" END"));
        break;
    }
    case AlertPageQuery::Locations: keys << QStringLiteral("locations COLLATE NOCASE"); break;
    // Rows never heard (the receiver's own) after every heard one.
    case AlertPageQuery::Heard: keys << QStringLiteral("heard = ''") << QStringLiteral("heard"); break;
    case AlertPageQuery::Note: keys << QStringLiteral("note COLLATE NOCASE"); break;
    }
    if (q.order != AlertPageQuery::Logged)
        keys << QStringLiteral("utc");
    keys << QStringLiteral("id");
    if (q.descending)
        for (QString &k : keys)
            k += QStringLiteral(" DESC");
    return keys.join(QStringLiteral(", "));
}

QString whereText(const Where &w)
{
    return w.terms.isEmpty() ? QString() : QStringLiteral(" WHERE ") + w.terms.join(QStringLiteral(" AND "));
}

// A text search reads every row whatever the order: its rows are found
// once, in order, into temp.page_rows (a few megabytes of ids at most), and
// each page is then a range of that table.
QString rowsKey(const Where &w, const QString &order)
{
    QStringList parts{w.terms.join(QLatin1Char('&')), order};
    for (const QVariant &v : w.values)
        parts << v.toString();
    return parts.join(QChar(0x1f));
}

} // namespace

bool AlertStore::Private::pageRowsFor(const AlertPageQuery &query, qint64 *count, QString *error)
{
    const Where w = whereOf(query, pageNames, pagesHidden);
    const QString order = orderOf(query, pageNames);
    const QString key = rowsKey(w, order);
    if (key != pageRowsKey) {
        pageRowsKey.clear();
        if (!exec(QStringLiteral("DROP TABLE IF EXISTS temp.page_rows"), error))
            return false;
        QSqlQuery q(db);
        q.prepare(QStringLiteral("CREATE TEMP TABLE page_rows AS SELECT id FROM alerts NOT INDEXED%1 ORDER BY %2")
                      .arg(whereText(w), order));
        for (const QVariant &v : w.values)
            q.addBindValue(v);
        if (!q.exec())
            return fail(error, q.lastError());
        pageRowsKey = key;
    }
    if (count) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT count(*) FROM temp.page_rows")) || !q.next())
            return fail(error, q.lastError());
        *count = q.value(0).toLongLong();
    }
    return true;
}

qint64 AlertStore::pageCount(const AlertPageQuery &query, QString *error)
{
    if (!query.text.isEmpty()) {
        qint64 n = -1;
        return d->pageRowsFor(query, &n, error) ? n : -1;
    }
    const Where w = whereOf(query, d->pageNames, d->pagesHidden);
    QSqlQuery q(d->db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT count(*) FROM alerts") + whereText(w));
    for (const QVariant &v : w.values)
        q.addBindValue(v);
    if (!q.exec() || !q.next()) {
        d->fail(error, q.lastError());
        return -1;
    }
    return q.value(0).toLongLong();
}

bool AlertStore::pageRows(const AlertPageQuery &query, qint64 offset, int limit, QList<AlertLogEntry> *out,
                          QString *error)
{
    out->clear();
    QSqlQuery q(d->db);
    q.setForwardOnly(true);
    if (!query.text.isEmpty()) {
        if (!d->pageRowsFor(query, nullptr, error))
            return false;
        // Rows were numbered 1, 2, ... as they were found.
        QStringList columns = PageColumns.split(QStringLiteral(", "));
        for (QString &c : columns)
            c.prepend(QStringLiteral("a."));
        q.prepare(QStringLiteral("SELECT %1 FROM temp.page_rows p JOIN alerts a ON a.id = p.id"
                                 " WHERE p.rowid > %2 AND p.rowid <= %3 ORDER BY p.rowid")
                      .arg(columns.join(QStringLiteral(", ")))
                      .arg(offset)
                      .arg(offset + limit));
    } else {
        const Where w = whereOf(query, d->pageNames, d->pagesHidden);
        q.prepare(QStringLiteral("SELECT %1 FROM alerts%2 ORDER BY %3 LIMIT %4 OFFSET %5")
                      .arg(PageColumns, whereText(w), orderOf(query, d->pageNames))
                      .arg(limit)
                      .arg(offset));
        for (const QVariant &v : w.values)
            q.addBindValue(v);
    }
    if (!q.exec())
        return d->fail(error, q.lastError());
    out->reserve(limit);
    while (q.next()) {
        AlertLogEntry e;
        e.localTime = QDateTime::fromString(q.value(2).toString(), Qt::ISODate);
        e.receiver = d->pageNames.value(q.value(1).toLongLong());
        e.originator = q.value(3).toString();
        e.code = q.value(4).toString();
        e.name = q.value(5).toString();
        e.cls = classOf(q.value(6).toString());
        e.length = q.value(7).toString();
        const QString locations = q.value(8).toString();
        if (!locations.isEmpty())
            e.locations = locations.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        e.header = q.value(9).toString();
        const QString heard = q.value(10).toString();
        if (!heard.isEmpty())
            e.heard = QDateTime::fromString(heard, Qt::ISODate);
        e.note = q.value(11).toString();
        *out << e;
    }
    if (q.lastError().isValid())
        return d->fail(error, q.lastError());
    return true;
}
