// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/core/AlertLogModel.h"

#include "history/core/HistoryDecoder.h"

#include <QFileInfo>

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
        m_storeRows = m_store->alertCount();
        m_lastId = 0;
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
        AlertQuery q;
        q.afterId = m_lastId;
        q.limit = maxRows;
        q.lastId = &m_lastId;
        q.merged = &m_merged;
        const qint64 before = m_lastId;
        if (!m_store->forEachAlert(q, [&](const StoredAlert &a) {
                AlertLogEntry e = a.entry;
                shared(e.originator);
                shared(e.code);
                shared(e.name);
                shared(e.length);
                shared(e.receiver);
                m_incoming << e;
                return true;
            }, &m_loadError))
            return false;
        return m_lastId != before;
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
        m_store.reset();
        m_merged.clear();
        setEntries(m_incoming);
        m_incoming.clear();
        m_incoming.squeeze();
        m_texts.clear();
        m_skipped = m_torn = 0;
        m_firstProblem.clear();
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
        return m_storeRows > 0 ? int(std::min<qint64>(1000, m_incoming.size() * 1000 / m_storeRows)) : 0;
    if (!m_reader || m_reader->size() <= 0)
        return 0;
    return int(m_reader->bytesRead() * 1000 / m_reader->size());
}

void AlertLogModel::setEntries(const QList<AlertLogEntry> &entries, bool)
{
    beginResetModel();
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
    return parent.isValid() ? 0 : int(m_entries.size());
}

int AlertLogModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AlertLogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size())
        return QVariant();
    const AlertLogEntry &e = m_entries.at(index.row());
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
    m_log = qobject_cast<AlertLogModel *>(model);
    QSortFilterProxyModel::setSourceModel(model);
}

void AlertLogFilter::setFilter(const AlertLogCriteria &criteria)
{
    m_criteria = criteria;
    m_criteria.originator = m_criteria.originator.trimmed();
    static const QRegularExpression separators(QStringLiteral("[\\s,;]+"));
    m_codes = criteria.codes.toUpper().split(separators, Qt::SkipEmptyParts);
    invalidateFilter();
}

bool AlertLogFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    if (!m_log)
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
    out.reserve(rowCount());
    for (int r = 0; r < rowCount(); ++r)
        out << m_log->entry(mapToSource(index(r, 0)).row());
    return out;
}
