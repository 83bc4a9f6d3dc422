// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/AlertLogModel.h"

#include "history/core/HistoryDecoder.h"

#include <QFileInfo>
#include <QSet>

#include <climits>

#include <QRegularExpression>

namespace {

void put(QChar *p, int value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        p[i] = QLatin1Char(char('0' + value % 10));
        value /= 10;
    }
}

int compareText(const QString &a, const QString &b)
{
    return QString::compare(a, b, Qt::CaseInsensitive);
}

} // namespace

AlertLogModel::AlertLogModel(QObject *parent) : QAbstractTableModel(parent) {}

bool AlertLogModel::load(const QString &fileName, QString *error)
{
    if (!beginLoad(fileName, error)) {
        setEntries({});
        return false;
    }
    while (loadSome(1 << 20)) {
    }
    finishLoad();
    if (!m_loadError.isEmpty()) {
        if (error)
            *error = m_loadError;
        return false;
    }
    return true;
}

bool AlertLogModel::beginLoad(const QString &fileName, QString *error)
{
    cancelLoad();
    m_loadError.clear();
    const bool named = fileName.endsWith(QLatin1String(".db"));
    const QString db = named ? fileName : AlertStore::PathForLog(fileName);
    // The database once a writer made it; until then an older version's
    // CSV log as it stands (opening a window changes no file).
    if (named || QFileInfo::exists(db)) {
        m_store = std::make_unique<AlertStore>();
        if (!m_store->open(db, /*create*/ false, &m_loadError)) {
            m_store.reset();
            if (error)
                *error = m_loadError;
            return false;
        }
        m_storeRows = -1;
        return true;
    }
    m_reader = std::make_unique<AlertLogReader>();
    if (!m_reader->open(fileName, &m_loadError)) {
        m_reader.reset();
        if (error)
            *error = m_loadError;
        return false;
    }
    return true;
}

bool AlertLogModel::loadSome(int maxRows)
{
    auto shared = [this](QString &s) {
        const auto it = m_texts.constFind(s);
        if (it != m_texts.constEnd())
            s = it.value();
        else if (m_texts.size() < 100000)
            m_texts.insert(s, s);
    };
    if (m_store) {
        // The rows stay in the database: what it takes to read pages of
        // it (the names rows count under, the rows a merge counts once)
        // and how many rows there are, in one step.
        if (m_storeRows >= 0)
            return false;
        if (!m_store->preparePages(&m_hasReceiversNext, &m_hasMonitorRowsNext, &m_loadError))
            return false;
        m_storeRows = m_store->pageCount(AlertPageQuery(), &m_loadError);
        return false;
    }
    if (!m_reader)
        return false;
    AlertLogEntry e;
    for (int n = 0; n < maxRows; ++n) {
        if (!m_reader->next(&e)) {
            if (!m_reader->error().isEmpty())
                m_loadError = m_reader->error();
            return false;
        }
        shared(e.originator);
        shared(e.code);
        shared(e.name);
        shared(e.length);
        shared(e.receiver);
        m_incoming << e;
    }
    return true;
}

void AlertLogModel::finishLoad()
{
    if (m_store) {
        std::unique_ptr<AlertStore> store = std::move(m_store);
        if (m_storeRows < 0 || !m_loadError.isEmpty()) {
            setEntries({});
            return;
        }
        if (!m_pages)
            emit pagingChanges(true);
        beginResetModel();
        m_pages = std::move(store);
        m_entries.clear();
        m_entries.squeeze();
        m_skipped = m_torn = 0;
        m_firstProblem.clear();
        m_hasReceivers = m_hasReceiversNext;
        m_hasMonitorRows = m_hasMonitorRowsNext;
        m_pageTotal = m_storeRows;
        m_pageCount = m_query.isAll() ? m_pageTotal : m_pages->pageCount(m_query, &m_pageError);
        m_cache.clear();
        m_cacheFrom = 0;
        endResetModel();
        return;
    }
    if (!m_reader)
        return;
    const int skipped = m_reader->skipped();
    const int torn = m_reader->torn();
    const QString problem = m_reader->firstProblem();
    m_reader.reset();
    setEntries(m_incoming);
    m_incoming.clear();
    m_incoming.squeeze();
    m_texts.clear();
    m_skipped = skipped;
    m_torn = torn;
    m_firstProblem = problem;
}

void AlertLogModel::cancelLoad()
{
    m_reader.reset();
    m_store.reset();
    m_merged.clear();
    m_incoming.clear();
    m_incoming.squeeze();
    m_texts.clear();
}

int AlertLogModel::loadProgress() const
{
    if (m_store)
        return 0;
    if (!m_reader || m_reader->size() <= 0)
        return 0;
    return int(m_reader->bytesRead() * 1000 / m_reader->size());
}

void AlertLogModel::setEntries(const QList<AlertLogEntry> &entries, bool)
{
    if (m_pages)
        emit pagingChanges(false);
    beginResetModel();
    m_pages.reset();
    m_cache.clear();
    m_pageCount = m_pageTotal = 0;
    m_entries = entries;
    m_skipped = 0;
    m_torn = 0;
    m_firstProblem.clear();
    m_hasReceivers = std::any_of(m_entries.begin(), m_entries.end(),
                                 [](const AlertLogEntry &e) { return !e.receiver.isEmpty(); });
    m_hasMonitorRows = std::any_of(m_entries.begin(), m_entries.end(),
                                   [](const AlertLogEntry &e) { return e.offAir(); });
    endResetModel();
}

const AlertLogEntry &AlertLogModel::entry(int row) const
{
    if (!m_pages)
        return m_entries.at(row);
    if (row >= m_cacheFrom && row < m_cacheFrom + m_cache.size())
        return m_cache.at(int(row - m_cacheFrom));
    // The page around the row: a view scrolling either way finds the next
    // rows held already.
    const qint64 from = std::max<qint64>(0, std::min<qint64>(row - PageRows / 2, m_pageCount - PageRows));
    QString why;
    if (!m_pages->pageRows(m_query, from, PageRows, &m_cache, &why)) {
        m_pageError = why;
        m_cache.clear();
    }
    m_cacheFrom = from;
    if (row >= m_cacheFrom && row < m_cacheFrom + m_cache.size())
        return m_cache.at(int(row - m_cacheFrom));
    return m_none;
}

bool AlertLogModel::forEachEntry(const std::function<void(const AlertLogEntry &)> &row, QString *error) const
{
    if (!m_pages) {
        for (const AlertLogEntry &e : m_entries)
            row(e);
        return true;
    }
    return m_pages->forEachAlert(AlertQuery(), [&](const StoredAlert &a) {
        row(a.entry);
        return true;
    }, error);
}

bool AlertLogModel::forAuditFrom(const QDate &from, const std::function<void(const AlertLogEntry &)> &row,
                                 QString *error) const
{
    if (!m_pages || !from.isValid())
        return forEachEntry(row, error);
    // Up to a day after the first date in UTC, so that no row whose own
    // date is before it falls between the two questions (offsets reach a
    // day at most); a row both return is taken once.
    QString why;
    AlertQuery before;
    before.tests = false;
    before.ids = m_pages->rowsBefore({}, QDateTime(from, QTime(0, 0), Qt::UTC).toSecsSinceEpoch() + 86400, &why);
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    const QSet<qint64> taken(before.ids.cbegin(), before.ids.cend());
    if (!before.ids.isEmpty() && !m_pages->forEachAlert(before, [&](const StoredAlert &a) {
            row(a.entry);
            return true;
        }, error))
        return false;
    AlertQuery since;
    since.tests = false;
    since.from = from;
    return m_pages->forEachAlert(since, [&](const StoredAlert &a) {
        if (!taken.contains(a.id))
            row(a.entry);
        return true;
    }, error);
}

void AlertLogModel::setCriteria(const AlertLogCriteria &c)
{
    m_query.from = c.from;
    m_query.to = c.to;
    m_query.eventClass = c.eventClass;
    static const QRegularExpression separators(QStringLiteral("[\\s,;]+"));
    m_query.codes = c.codes.toUpper().split(separators, Qt::SkipEmptyParts);
    m_query.originator = c.originator.trimmed();
    m_query.text = c.text;
    if (m_pages)
        query();
}

void AlertLogModel::sortRows(int column, Qt::SortOrder order)
{
    static const AlertPageQuery::Order orders[ColumnCount] = {
        AlertPageQuery::Time,     AlertPageQuery::Originator, AlertPageQuery::Event,
        AlertPageQuery::Class,    AlertPageQuery::Length,     AlertPageQuery::Receiver,
        AlertPageQuery::Locations, AlertPageQuery::Heard,     AlertPageQuery::Note};
    // No column: the order they were logged in.
    m_query.order = column >= 0 && column < ColumnCount ? orders[column] : AlertPageQuery::Logged;
    m_query.descending = column >= 0 && order == Qt::DescendingOrder;
    if (m_pages)
        query();
}

void AlertLogModel::query()
{
    beginResetModel();
    m_pageError.clear();
    m_pageCount = m_query.isAll() ? m_pageTotal : m_pages->pageCount(m_query, &m_pageError);
    if (m_pageCount < 0)
        m_pageCount = 0;
    m_cache.clear();
    m_cacheFrom = 0;
    endResetModel();
}

QString AlertLogModel::dateTimeText(const AlertLogEntry &e)
{
    // Built by hand: this runs for every row of every filter with text.
    const QDate d = e.localTime.date();
    const QTime t = e.localTime.time();
    QString s(16, QLatin1Char(' '));
    QChar *p = s.data();
    put(p, d.year(), 4);
    p[4] = QLatin1Char('-');
    put(p + 5, d.month(), 2);
    p[7] = QLatin1Char('-');
    put(p + 8, d.day(), 2);
    put(p + 11, t.hour(), 2);
    p[13] = QLatin1Char(':');
    put(p + 14, t.minute(), 2);
    return s;
}

QString AlertLogModel::eventText(const AlertLogEntry &e)
{
    return QStringLiteral("%1 (%2)").arg(e.name, e.code);
}

int AlertLogModel::lengthMinutes(const QString &length)
{
    if (length.size() != 5 || length.at(2) != QLatin1Char(':'))
        return -1;
    bool okH = false, okM = false;
    const int h = length.left(2).toInt(&okH);
    const int m = length.mid(3).toInt(&okM);
    return okH && okM && h >= 0 && m >= 0 ? h * 60 + m : -1;
}

QString AlertLogModel::locationsText(const AlertLogEntry &e)
{
    return e.locations.join(QLatin1Char(' '));
}

QString AlertLogModel::heardText(const AlertLogEntry &e)
{
    return e.heard.isValid() ? e.heard.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

int AlertLogModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_pages ? int(std::min<qint64>(m_pageCount, INT_MAX)) : int(m_entries.size());
}

int AlertLogModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AlertLogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return QVariant();
    const AlertLogEntry &e = entry(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case DateTimeColumn: return dateTimeText(e);
        case OriginatorColumn: return e.originator;
        case EventColumn: return eventText(e);
        case ClassColumn: return EventClassName(e.cls);
        case LengthColumn: return e.length;
        case ReceiverColumn: return e.receiver;
        case LocationsColumn: return locationsText(e);
        case HeardColumn: return heardText(e);
        case NoteColumn: return e.note;
        }
        break;
    case Qt::ToolTipRole:
        if (index.column() == DateTimeColumn)
            return e.localTime.toString(Qt::ISODate);   // with the offset from UTC
        if (index.column() == HeardColumn && e.heard.isValid())
            return e.heard.toString(Qt::ISODate);
        if (index.column() == LocationsColumn && e.offAir())
            return e.header;   // the whole header as it was heard
        break;
    case SortRole:
        switch (index.column()) {
        case DateTimeColumn: return e.localTime;
        case OriginatorColumn: return e.originator;
        case EventColumn: return e.name;
        case ClassColumn: return int(e.cls);
        case LengthColumn: return lengthMinutes(e.length);
        case ReceiverColumn: return e.receiver;
        case LocationsColumn: return locationsText(e);
        case HeardColumn: return e.heard;
        case NoteColumn: return e.note;
        }
        break;
    case EventClassRole: return int(e.cls);
    case EventCodeRole: return e.code;
    default: break;
    }
    return QVariant();
}

QVariant AlertLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section + 1;
    switch (section) {
    case DateTimeColumn: return QStringLiteral("Date and time");
    case OriginatorColumn: return QStringLiteral("ORG");
    case EventColumn: return QStringLiteral("Event");
    case ClassColumn: return QStringLiteral("Class");
    case LengthColumn: return QStringLiteral("Length");
    case ReceiverColumn: return QStringLiteral("Receiver");
    case LocationsColumn: return QStringLiteral("Locations");
    case HeardColumn: return QStringLiteral("Heard");
    case NoteColumn: return QStringLiteral("Note");
    }
    return QVariant();
}

bool AlertLogCriteria::isEmpty() const
{
    return !from.isValid() && !to.isValid() && eventClass < 0 && codes.trimmed().isEmpty()
        && originator.trimmed().isEmpty() && text.isEmpty();
}

QString AlertLogCriteria::describe() const
{
    QStringList parts;
    if (from.isValid())
        parts << QStringLiteral("from %1").arg(from.toString(Qt::ISODate));
    if (to.isValid())
        parts << QStringLiteral("to %1").arg(to.toString(Qt::ISODate));
    if (eventClass >= 0)
        parts << QStringLiteral("class %1").arg(EventClassName(EventClass(eventClass)));
    if (!codes.trimmed().isEmpty())
        parts << QStringLiteral("code %1").arg(codes.trimmed().toUpper());
    if (!originator.trimmed().isEmpty())
        parts << QStringLiteral("originator %1").arg(originator.trimmed().toUpper());
    if (!text.isEmpty())
        parts << QStringLiteral("text \"%1\"").arg(text);
    return parts.isEmpty() ? QStringLiteral("all alerts") : parts.join(QStringLiteral(", "));
}

AlertLogFilter::AlertLogFilter(QObject *parent) : QSortFilterProxyModel(parent)
{
    setSortRole(AlertLogModel::SortRole);
}

void AlertLogFilter::setSourceModel(QAbstractItemModel *model)
{
    if (m_log)
        disconnect(m_log, nullptr, this, nullptr);
    m_log = qobject_cast<AlertLogModel *>(model);
    QSortFilterProxyModel::setSourceModel(model);
    if (!m_log)
        return;
    // Reading pages, the store filters and sorts: this proxy lets every
    // row through in the model's order. Back in memory, it sorts again.
    connect(m_log, &AlertLogModel::pagingChanges, this, [this](bool paged) {
        if (paged)
            QSortFilterProxyModel::sort(-1);
    });
    connect(m_log, &QAbstractItemModel::modelReset, this, [this] {
        if (!m_log->isPaged() && sortColumn() != m_sortColumn)
            QSortFilterProxyModel::sort(m_sortColumn, m_sortOrder);
    });
    m_log->setCriteria(m_criteria);
    m_log->sortRows(m_sortColumn, m_sortOrder);
}

void AlertLogFilter::sort(int column, Qt::SortOrder order)
{
    m_sortColumn = column;
    m_sortOrder = order;
    if (m_log)
        m_log->sortRows(column, order);
    if (m_log && m_log->isPaged())
        QSortFilterProxyModel::sort(-1);
    else
        QSortFilterProxyModel::sort(column, order);
}

void AlertLogFilter::setFilter(const AlertLogCriteria &criteria)
{
    m_criteria = criteria;
    m_criteria.originator = m_criteria.originator.trimmed();
    static const QRegularExpression separators(QStringLiteral("[\\s,;]+"));
    m_codes = criteria.codes.toUpper().split(separators, Qt::SkipEmptyParts);
    if (m_log)
        m_log->setCriteria(m_criteria);
    if (!m_log || !m_log->isPaged())
        invalidateFilter();
}

bool AlertLogFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    if (!m_log || m_log->isPaged())
        return true;
    const AlertLogEntry &e = m_log->entry(sourceRow);
    // The stored local date decides, as the audit counts it.
    if (m_criteria.from.isValid() || m_criteria.to.isValid()) {
        const QDate d = e.localTime.date();
        if ((m_criteria.from.isValid() && d < m_criteria.from) || (m_criteria.to.isValid() && d > m_criteria.to))
            return false;
    }
    if (m_criteria.eventClass >= 0 && int(e.cls) != m_criteria.eventClass)
        return false;
    if (!m_codes.isEmpty() && !m_codes.contains(e.code))
        return false;
    if (!m_criteria.originator.isEmpty() && compareText(e.originator, m_criteria.originator) != 0)
        return false;
    if (!m_criteria.text.isEmpty()) {
        const QString &t = m_criteria.text;
        const auto cs = Qt::CaseInsensitive;
        return e.name.contains(t, cs) || e.code.contains(t, cs) || e.originator.contains(t, cs)
            || e.length.contains(t, cs) || e.receiver.contains(t, cs) || EventClassName(e.cls).contains(t, cs)
            || AlertLogModel::dateTimeText(e).contains(t)
            || (e.offAir()
                && (e.header.contains(t, cs) || e.note.contains(t, cs) || AlertLogModel::heardText(e).contains(t)));
    }
    return true;
}

bool AlertLogFilter::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    if (!m_log)
        return QSortFilterProxyModel::lessThan(left, right);
    if (m_log->isPaged())
        return left.row() < right.row();
    const AlertLogEntry &a = m_log->entry(left.row());
    const AlertLogEntry &b = m_log->entry(right.row());
    int c = 0;
    switch (left.column()) {
    case AlertLogModel::DateTimeColumn: break;
    case AlertLogModel::OriginatorColumn: c = compareText(a.originator, b.originator); break;
    case AlertLogModel::EventColumn: c = compareText(a.name, b.name); break;
    case AlertLogModel::ClassColumn: c = int(a.cls) - int(b.cls); break;
    case AlertLogModel::LengthColumn:
        c = AlertLogModel::lengthMinutes(a.length) - AlertLogModel::lengthMinutes(b.length);
        break;
    case AlertLogModel::ReceiverColumn: c = compareText(a.receiver, b.receiver); break;
    case AlertLogModel::LocationsColumn:
        c = compareText(AlertLogModel::locationsText(a), AlertLogModel::locationsText(b));
        break;
    case AlertLogModel::HeardColumn:
        // Rows never heard (the receiver's own) after every heard one.
        c = a.heard.isValid() != b.heard.isValid() ? (a.heard.isValid() ? -1 : 1)
            : a.heard < b.heard ? -1 : b.heard < a.heard ? 1 : 0;
        break;
    case AlertLogModel::NoteColumn: c = compareText(a.note, b.note); break;
    }
    // Equal values keep time order (by the instant, whatever offsets the
    // rows were logged with).
    if (c == 0)
        return a.localTime < b.localTime || (a.localTime == b.localTime && left.row() < right.row());
    return c < 0;
}

QList<AlertLogEntry> AlertLogFilter::shownEntries() const
{
    QList<AlertLogEntry> out;
    if (!m_log)
        return out;
    if (m_log->isPaged()) {
        // Straight from the store, a page at a time, in the order shown.
        const qint64 n = rowCount();
        out.reserve(int(n));
        for (qint64 r = 0; r < n; r += AlertLogModel::PageRows)
            for (int i = 0; i < AlertLogModel::PageRows && r + i < n; ++i)
                out << m_log->entry(int(r + i));
        return out;
    }
    out.reserve(rowCount());
    for (int r = 0; r < rowCount(); ++r)
        out << m_log->entry(mapToSource(index(r, 0)).row());
    return out;
}
