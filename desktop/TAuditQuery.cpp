#include "desktop/TAuditQuery.h"

#include "database/EDatabaseError.h"
#include "database/TDatabase.h"
#include "database/TField.h"
#include "database/TQuery.h"
#include "platform/RegionalSettings.h"

#include <QMetaObject>

#include <algorithm>
#include <iterator>

namespace {

const char* const titles[] = {"Event", "Time", "OS Login", "User", "Program", "Kind", "Object", "Details"};
const QString kSelect = QStringLiteral("select EVENT_ID, EVENT_TIME, OS_USER, MACHINE, SEC_USER, PROGRAM, KIND, "
                                       "OBJECT_ID, OBJECT_NAME, DETAILS, PREV_HASH, HASH from AUDIT_TRAIL");

QString rowsText(qint64 skip, int count) { return QStringLiteral(" rows %1 to %2").arg(skip + 1).arg(skip + count); }

QString orderText(bool newestFirst)
{
    return newestFirst ? QStringLiteral(" order by EVENT_ID desc") : QStringLiteral(" order by EVENT_ID");
}

QString objectText(const TAuditEvent& event)
{
    if (!event.objectId)
        return event.objectName;
    if (event.objectName.isEmpty())
        return QStringLiteral("#%1").arg(*event.objectId);
    return QStringLiteral("%1 (%2)").arg(event.objectName).arg(*event.objectId);
}

QString loginText(const TAuditEvent& event)
{
    return event.machine.isEmpty() ? event.osUser : event.osUser + QLatin1Char('@') + event.machine;
}

} // namespace

TAuditQuery::TAuditQuery(QObject* owner) : QAbstractTableModel(owner) { setObjectName(QStringLiteral("sqlAudit")); }

TAuditQuery::~TAuditQuery() { close(); }

void TAuditQuery::open()
{
    if (m_active)
        return;
    TDatabase* db = TDatabase::connectionFor(m_databaseName);
    beginResetModel();
    m_blocks.clear();
    m_edges.clear();
    m_blockReads = 0;
    m_failed = false;
    try {
        m_gapFound = false;
        count();
        if (!m_complete)
            findMore(true);
    } catch (const EDatabaseError&) {
        m_count = 0;
        m_complete = true;
        endResetModel();
        throw;
    }
    m_connection = db;
    m_connection->attach();
    m_active = true;
    endResetModel();
}

void TAuditQuery::close()
{
    if (!m_active)
        return;
    beginResetModel();
    m_blocks.clear();
    m_edges.clear();
    m_count = 0;
    m_active = false;
    endResetModel();
    if (m_connection) {
        m_connection->detach();
        m_connection = nullptr;
    }
}

// The newest and the oldest event are each an index's first entry. Without a filter
// the count follows from their numbers; the engine counts a filter's events.
void TAuditQuery::count()
{
    const auto end = [this](bool newest) {
        TQuery query;
        query.setDatabaseName(m_databaseName);
        query.setSQL(QStringLiteral("select EVENT_ID, EVENT_TIME from AUDIT_TRAIL") + orderText(newest) +
                     rowsText(0, 1));
        query.open();
        const std::pair<qint64, QDateTime> found {query.isEmpty() ? 0 : query.field(0)->value().toLongLong(),
                                                  query.isEmpty() ? QDateTime() : query.field(1)->value().toDateTime()};
        query.close();
        return found;
    };
    const auto [newest, newestTime] = end(true);
    const auto [oldest, oldestTime] = end(false);
    m_newest = newest;
    m_firstDay = oldestTime.date();
    m_lastDay = newestTime.date();
    m_byNumber = m_filter.isEmpty() && !m_gapFound;
    // No index finds a part of a name: counting would read every event before the
    // first screen shows, so the events are found as the grid asks for them.
    m_complete = m_filter.object.isEmpty();
    m_lastFound = 0;
    if (!m_complete) {
        m_count = 0;
        return;
    }
    m_count = int(m_byNumber ? (newest ? newest - oldest + 1 : 0) : countEvents({}));
}

void TAuditQuery::findMore(bool resetting)
{
    std::optional<qint64> key;
    if (m_count > 0)
        key = m_lastFound;
    QList<TAuditEvent> events = readEvents(key, 0, kBlockRows, false);
    if (events.size() < kBlockRows)
        m_complete = true;
    if (events.isEmpty())
        return;
    const int first = m_count;
    const int found = int(events.size());
    if (!resetting)
        beginInsertRows(QModelIndex(), first, first + found - 1);
    m_lastFound = events.last().id;
    if (m_edges.size() >= kKnownEdges)
        m_edges.clear();
    m_edges[first] = events.first().id;
    m_edges[first + found - 1] = events.last().id;
    m_blocks.keep(first / kBlockRows, std::move(events));
    m_count += found;
    if (!resetting)
        endInsertRows();
}

bool TAuditQuery::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && m_active && !m_complete && !m_failed;
}

void TAuditQuery::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    try {
        findMore(false);
    } catch (const EDatabaseError& e) {
        // Called while the grid lays out or scrolls: the dialog shows the message afterwards.
        m_failed = true;
        QMetaObject::invokeMethod(
            this, [this, text = e.message()] { emit readFailed(text); }, Qt::QueuedConnection);
    }
}

// The events older than the last one found are counted in one pass; their rows are
// read when shown, like a counted filter's.
void TAuditQuery::fetchAll()
{
    if (!m_active || m_complete)
        return;
    const qint64 rest = m_count > 0 ? countEvents({QStringLiteral("EVENT_ID < :Key")}, m_lastFound) : countEvents({});
    m_complete = true;
    if (rest > 0) {
        beginInsertRows(QModelIndex(), m_count, int(m_count + rest - 1));
        m_count += int(rest);
        endInsertRows();
    }
}

// The count is read again for the new filter; the blocks read before are dropped.
void TAuditQuery::reset()
{
    if (!m_active)
        return;
    beginResetModel();
    m_blocks.clear();
    m_edges.clear();
    m_failed = false;
    try {
        count();
        if (!m_complete)
            findMore(true);
    } catch (const EDatabaseError&) {
        m_count = 0;
        m_complete = true;
        endResetModel();
        throw;
    }
    endResetModel();
}

void TAuditQuery::setFilter(const TAuditFilter& filter)
{
    if (filter == m_filter)
        return;
    m_filter = filter;
    reset();
}

void TAuditQuery::setFetchDeferred(bool deferred)
{
    m_deferred = deferred;
    if (!deferred && m_active && m_count > 0)
        emit dataChanged(index(0, 0), index(m_count - 1, ColumnCount - 1));
}

QString TAuditQuery::whereText(const QStringList& more) const
{
    QStringList parts;
    if (m_filter.from.isValid())
        parts << QStringLiteral("EVENT_TIME >= :FilterFrom");
    if (m_filter.to.isValid())
        parts << QStringLiteral("EVENT_TIME < :FilterTo");
    if (!m_filter.securityUser.isEmpty())
        parts << QStringLiteral("upper(SEC_USER) = :FilterUser");
    if (!m_filter.kind.isEmpty())
        parts << QStringLiteral("KIND = :FilterKind");
    if (!m_filter.object.isEmpty())
        parts << QStringLiteral("OBJECT_NAME containing :FilterObject");
    parts << more;
    return parts.isEmpty() ? QString() : QStringLiteral(" where ") + parts.join(QStringLiteral(" and "));
}

void TAuditQuery::bindFilter(TQuery& query) const
{
    // The column holds a time of day: the range runs from the first day's start to
    // the start of the day after the last.
    if (m_filter.from.isValid())
        query.setParamDateTime(QStringLiteral("FilterFrom"), m_filter.from.startOfDay());
    if (m_filter.to.isValid())
        query.setParamDateTime(QStringLiteral("FilterTo"), m_filter.to.addDays(1).startOfDay());
    if (!m_filter.securityUser.isEmpty())
        query.setParamString(QStringLiteral("FilterUser"), m_filter.securityUser.toUpper());
    if (!m_filter.kind.isEmpty())
        query.setParamString(QStringLiteral("FilterKind"), m_filter.kind);
    if (!m_filter.object.isEmpty())
        query.setParamString(QStringLiteral("FilterObject"), m_filter.object);
}

qint64 TAuditQuery::countEvents(const QStringList& more, const std::optional<qint64>& key) const
{
    TQuery query;
    query.setDatabaseName(m_databaseName);
    query.setSQL(QStringLiteral("select count(*) from AUDIT_TRAIL") + whereText(more));
    bindFilter(query);
    if (key)
        query.setParamInteger(QStringLiteral("Key"), *key);
    query.open();
    const qint64 found = query.field(0)->value().toLongLong();
    query.close();
    return found;
}

QList<TAuditEvent> TAuditQuery::run(TQuery& query) const
{
    ++m_blockReads;
    query.setDatabaseName(m_databaseName);
    bindFilter(query);
    query.open();
    QList<TAuditEvent> events;
    events.reserve(query.totalRowCount());
    for (int r = 0; r < query.totalRowCount(); ++r) {
        const auto text = [&](int c) { return query.rowValue(r, c).toString(); };
        TAuditEvent event;
        event.id = query.rowValue(r, 0).toLongLong();
        event.time = query.rowValue(r, 1).toDateTime();
        event.osUser = text(2);
        event.machine = text(3);
        event.securityUser = text(4);
        event.program = text(5);
        event.kind = text(6);
        if (!query.rowValue(r, 7).isNull())
            event.objectId = query.rowValue(r, 7).toInt();
        event.objectName = text(8);
        event.details = text(9);
        event.previousHash = text(10).trimmed().toLatin1();
        event.hash = text(11).trimmed().toLatin1();
        events.append(std::move(event));
    }
    query.close();
    return events;
}

QList<TAuditEvent> TAuditQuery::readEvents(const std::optional<qint64>& key, qint64 skip, int count, bool reverse) const
{
    TQuery query;
    QStringList more;
    if (key)
        more << (reverse ? QStringLiteral("EVENT_ID > :Key") : QStringLiteral("EVENT_ID < :Key"));
    query.setSQL(kSelect + whereText(more) + orderText(!reverse) + rowsText(skip, count));
    if (key)
        query.setParamInteger(QStringLiteral("Key"), *key);
    return run(query);
}

void TAuditQuery::gapFound() const
{
    if (m_gapFound)
        return;
    // Painting cannot reset the model: the trail is counted again once it is done.
    auto* self = const_cast<TAuditQuery*>(this);
    self->m_gapFound = true;
    QMetaObject::invokeMethod(
        self,
        [self] {
            try {
                self->reset();
            } catch (const EDatabaseError& e) {
                emit self->readFailed(e.message());
            }
        },
        Qt::QueuedConnection);
}

// Without a filter the events of a block are the ones numbered from the newest down:
// one statement starts at the first of them, wherever it is. Otherwise a block is read
// from the nearest place known: the newest event, the oldest (in the other order), or
// an event at the edge of a block read before, whichever leaves the fewest events for
// the engine to step over.
QList<TAuditEvent> TAuditQuery::readBlock(int block) const
{
    const qint64 first = qint64(block) * kBlockRows;
    const int count = int(std::min<qint64>(kBlockRows, m_count - first));
    if (count <= 0)
        return {};
    if (m_byNumber && !m_gapFound) {
        const qint64 top = m_newest - first;
        QList<TAuditEvent> events = readEvents(top + 1, 0, count, false);
        if (events.size() != count || events.first().id != top || events.last().id != top - count + 1)
            gapFound();
        return events;
    }
    qint64 bestCost = first;
    std::optional<qint64> key;
    bool reverse = false;
    // Until every event is found the rows have no known end to count from.
    const qint64 fromEnd = m_count - first - count;
    if (m_complete && fromEnd < bestCost) {
        bestCost = fromEnd;
        reverse = true;
    }
    const auto after = m_edges.lower_bound(first + count);
    if (after != m_edges.end() && after->first - (first + count) < bestCost) {
        bestCost = after->first - (first + count);
        key = after->second;
        reverse = true;
    }
    auto before = m_edges.lower_bound(first);
    if (before != m_edges.begin() && first - (std::prev(before)->first + 1) < bestCost) {
        --before;
        bestCost = first - (before->first + 1);
        key = before->second;
        reverse = false;
    }
    QList<TAuditEvent> events = readEvents(key, bestCost, count, reverse);
    if (reverse)
        std::reverse(events.begin(), events.end());
    if (events.size() == count) {
        if (m_edges.size() >= kKnownEdges)
            m_edges.clear();
        m_edges[first] = events.first().id;
        m_edges[first + count - 1] = events.last().id;
    }
    return events;
}

const TAuditEvent* TAuditQuery::eventAt(int row) const
{
    if (!m_active || row < 0 || row >= m_count)
        return nullptr;
    const int block = row / kBlockRows;
    const QList<TAuditEvent>* events = m_blocks.find(block);
    if (!events) {
        if (m_deferred || m_failed)
            return nullptr;
        QList<TAuditEvent> read;
        try {
            read = readBlock(block);
        } catch (const EDatabaseError& e) {
            // Painting cannot show a message box: the dialog shows it afterwards, once.
            m_failed = true;
            auto* self = const_cast<TAuditQuery*>(this);
            QMetaObject::invokeMethod(
                self, [self, text = e.message()] { emit self->readFailed(text); }, Qt::QueuedConnection);
            return nullptr;
        }
        events = m_blocks.keep(block, std::move(read));
    }
    const int offset = row - block * kBlockRows;
    return offset < events->size() ? &events->at(offset) : nullptr;
}

int TAuditQuery::rowOfEvent(qint64 id) const
{
    if (!m_active || id <= 0)
        return -1;
    if (m_byNumber && !m_gapFound) {
        const qint64 row = m_newest - id;
        return row >= 0 && row < m_count ? int(row) : -1;
    }
    if (countEvents({QStringLiteral("EVENT_ID = :Key")}, id) == 0)
        return -1;
    const qint64 row = countEvents({QStringLiteral("EVENT_ID > :Key")}, id);
    return row < m_count ? int(row) : -1;
}

QString TAuditQuery::describe(const TAuditEvent& event)
{
    QString text = QStringLiteral("Event #%1, %2\n").arg(event.id).arg(Platform::formatDateTime(event.time));
    text += QStringLiteral("OS login: %1\n").arg(loginText(event));
    text += QStringLiteral("User: %1\nProgram: %2\nKind: %3\n").arg(event.securityUser, event.program, event.kind);
    text += QStringLiteral("Object: %1\n").arg(objectText(event));
    if (!event.details.isEmpty())
        text += QStringLiteral("\n") + event.details.trimmed() + QStringLiteral("\n");
    text += QStringLiteral("\nHash: %1\nPrevious hash: %2")
                .arg(QString::fromLatin1(event.hash), QString::fromLatin1(event.previousHash));
    return text;
}

int TAuditQuery::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_count; }

int TAuditQuery::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_active ? 0 : ColumnCount;
}

QVariant TAuditQuery::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !m_active)
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignVCenter | (index.column() == ColEvent ? Qt::AlignRight : Qt::AlignLeft));
    if (role != Qt::DisplayRole && !(role == Qt::ToolTipRole && index.column() == ColDetails))
        return QVariant();
    const TAuditEvent* event = eventAt(index.row());
    if (!event)
        return QVariant();
    switch (index.column()) {
    case ColEvent:
        return event->id;
    case ColTime:
        return Platform::formatDateTime(event->time);
    case ColLogin:
        return loginText(*event);
    case ColUser:
        return event->securityUser;
    case ColProgram:
        return event->program;
    case ColKind:
        return event->kind;
    case ColObject:
        return objectText(*event);
    case ColDetails:
        // One line in the grid; the whole text as its tip.
        if (role == Qt::ToolTipRole)
            return event->details.trimmed();
        return event->details.trimmed().split(QLatin1Char('\n')).join(QStringLiteral("; "));
    default:
        return QVariant();
    }
}

QVariant TAuditQuery::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QVariant();
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}
