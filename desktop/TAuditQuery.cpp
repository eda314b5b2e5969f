#include "desktop/TAuditQuery.h"

#include "database/EDatabaseError.h"
#include "database/TDatabase.h"
#include "database/TField.h"
#include "database/TQuery.h"
#include "database/TTransaction.h"
#include "platform/RegionalSettings.h"

#include <QMetaObject>
#include <QTimer>

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

TAuditQuery::TAuditQuery(QObject* owner) : QAbstractTableModel(owner)
{
    setObjectName(QStringLiteral("sqlAudit"));
    // The search goes on a step at a time whenever the event loop is free.
    m_searchTimer = new QTimer(this);
    m_searchTimer->setSingleShot(true);
    m_searchTimer->setInterval(0);
    connect(m_searchTimer, &QTimer::timeout, this, [this] {
        if (!canFetchMore(QModelIndex()))
            return;
        try {
            searchStep(kStepRows, kSearchWindow, false);
        } catch (const EDatabaseError& e) {
            m_failed = true;
            emit searched();
            emit readFailed(e.message());
            return;
        }
        searchLater();
    });
}

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
        startSearch();
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
    searchLater();
}

void TAuditQuery::close()
{
    if (!m_active)
        return;
    m_searchTimer->stop();
    beginResetModel();
    m_blocks.clear();
    m_edges.clear();
    m_blockEnds.clear();
    m_count = 0;
    m_active = false;
    endResetModel();
    if (m_connection) {
        m_connection->detach();
        m_connection = nullptr;
    }
}

// Events are numbered and stamped in one order (under the head row's lock), so the
// first one stamped at or after a time is found by halving the numbers between the
// oldest and the newest, each step one event read by its key: about 40 reads for a
// range of days at 1,000,000 events, where the index by time would visit every event
// of the range to count it. No event is stamped before the one it follows while the
// writers' clocks disagree by minutes (only a clock plainly wrong, a trail written
// before that rule, or rows written behind the programs' back can leave an event
// around midnight under the day beside).
// Returns newest + 1 when none is.
qint64 TAuditQuery::firstStampedFrom(const QDateTime& at, qint64 oldest, qint64 newest) const
{
    qint64 low = oldest;
    qint64 high = newest + 1;
    TQuery probe;
    probe.setDatabaseName(m_databaseName);
    probe.setSQL(QStringLiteral("select EVENT_ID, EVENT_TIME from AUDIT_TRAIL where EVENT_ID >= :Key") +
                 orderText(false) + rowsText(0, 1));
    while (low < high) {
        const qint64 middle = low + (high - low) / 2;
        probe.setParamInteger(QStringLiteral("Key"), middle);
        probe.open();
        // A number missing (deleted, or taken since) counts with the next event.
        const bool none = probe.isEmpty();
        const qint64 id = none ? high : probe.field(0)->value().toLongLong();
        const bool after = none || probe.field(1)->value().toDateTime() >= at;
        probe.close();
        if (after)
            high = middle;
        else
            low = id + 1;
    }
    return low;
}

// The newest and the oldest event are each an index's first entry. Without a filter
// the count follows from their numbers, and days are a range of numbers; the engine
// counts the other filters' events.
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
    m_firstDay = oldestTime.date();
    m_lastDay = newestTime.date();
    // The days shown are the events numbered from the first stamped on the first day
    // to the last stamped before the day after the last.
    m_ranged = m_filter.from.isValid() || m_filter.to.isValid();
    qint64 low = oldest;
    qint64 high = newest;
    // One transaction for all the reads: one each would cost more than the reads.
    if (m_ranged && newest)
        TTransaction::run(m_databaseName, [&] {
            if (m_filter.from.isValid())
                low = firstStampedFrom(m_filter.from.startOfDay(), oldest, newest);
            if (m_filter.to.isValid())
                high = firstStampedFrom(m_filter.to.addDays(1).startOfDay(), oldest, newest) - 1;
        });
    const bool none = newest == 0 || high < low;
    m_rangeLow = low;
    m_rangeHigh = high;
    m_newest = high;
    m_oldest = low;
    // Counting a user's or a kind's events visits each of them, spread over the whole
    // file, and no index finds a part of a name: these are searched for instead, the
    // first screen shown as soon as it is found.
    m_searched = !m_filter.securityUser.isEmpty() || !m_filter.kind.isEmpty() || !m_filter.object.isEmpty();
    m_byNumber = !m_searched && !m_gapFound;
    m_complete = !m_searched || none;
    m_searchKey = high + 1;
    m_blockEnds.clear();
    if (m_searched) {
        m_count = 0;
        return;
    }
    m_count = int(m_byNumber ? (none ? 0 : high - low + 1) : countEvents({}));
}

void TAuditQuery::searchStep(int rows, qint64 window, bool resetting)
{
    // No index finds a user, a kind or a name: the engine steps over every event that
    // does not match. The numbers a step looks at are bounded, so that a rare one
    // costs one short step at a time.
    const qint64 low = std::max(m_oldest, m_searchKey - window);
    // A step of one block (the first screen, the grid at its end) reads the events
    // whole and keeps them, rather than have the engine step over the others again.
    const bool whole = rows == kBlockRows;
    const QStringList more {QStringLiteral("EVENT_ID < :Key"), QStringLiteral("EVENT_ID >= :Low")};
    TQuery query;
    query.setSQL((whole ? kSelect : QStringLiteral("select EVENT_ID from AUDIT_TRAIL")) + whereText(more) +
                 orderText(true) + rowsText(0, rows));
    query.setParamInteger(QStringLiteral("Key"), m_searchKey);
    query.setParamInteger(QStringLiteral("Low"), low);
    QList<TAuditEvent> events;
    std::vector<qint64> ids;
    if (whole) {
        events = run(query);
        for (const TAuditEvent& event : events)
            ids.push_back(event.id);
    } else {
        query.setDatabaseName(m_databaseName);
        bindFilter(query);
        query.open();
        for (int r = 0; r < query.totalRowCount(); ++r)
            ids.push_back(query.rowValue(r, 0).toLongLong());
        query.close();
    }
    const int found = int(ids.size());
    // Every event from the key down to the last one found, or to the bottom of the
    // window when fewer than asked for were there, has been searched.
    m_searchKey = found == rows ? ids.back() : low;
    m_complete = m_searchKey <= m_oldest;
    if (found > 0) {
        if (!resetting)
            beginInsertRows(QModelIndex(), m_count, m_count + found - 1);
        if (whole && m_count % kBlockRows == 0 && (found == kBlockRows || m_complete))
            m_blocks.keep(m_count / kBlockRows, std::move(events));
        for (int r = 0; r < found; ++r)
            if ((m_count + r + 1) % kBlockRows == 0)
                m_blockEnds.push_back(ids[size_t(r)]);
        m_lastFound = ids.back();
        m_count += found;
        if (!resetting)
            endInsertRows();
    }
    if (!resetting)
        emit searched();
}

void TAuditQuery::startSearch()
{
    if (!m_complete)
        searchStep(kBlockRows, kFirstScreenWindows * kSearchWindow, true);
}

void TAuditQuery::searchLater()
{
    if (canFetchMore(QModelIndex()))
        m_searchTimer->start();
}

bool TAuditQuery::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && m_active && !m_complete && !m_failed;
}

// The grid at the end of the rows found asks for more at once.
void TAuditQuery::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent))
        return;
    try {
        searchStep(kBlockRows, kSearchWindow, false);
    } catch (const EDatabaseError& e) {
        // Called while the grid lays out or scrolls: the dialog shows the message afterwards.
        m_failed = true;
        QMetaObject::invokeMethod(
            this, [this, text = e.message()] { emit readFailed(text); }, Qt::QueuedConnection);
    }
}

// The rest of the search in larger steps, without waiting for the event loop. No index
// serves a part of a name: one count of the rest in the file's order costs less than
// searching it in the numbers' order, and the rows past those found are then read like
// a counted filter's, from the nearest block found or from the oldest event.
void TAuditQuery::fetchAll()
{
    if (!m_active || m_complete)
        return;
    m_searchTimer->stop();
    if (m_filter.object.isEmpty()) {
        while (!m_complete)
            searchStep(8 * kStepRows, 4 * kSearchWindow, false);
        return;
    }
    const qint64 rest = countEvents({QStringLiteral("EVENT_ID < :Key")}, m_searchKey);
    m_searched = false;
    m_complete = true;
    m_edges.clear();
    for (size_t b = 0; b < m_blockEnds.size() && m_edges.size() < kKnownEdges; ++b)
        m_edges[qint64(b + 1) * kBlockRows - 1] = m_blockEnds[b];
    if (rest > 0) {
        beginInsertRows(QModelIndex(), m_count, int(m_count + rest - 1));
        m_count += int(rest);
        endInsertRows();
    }
    emit searched();
}

// The count is read again for the new filter; the blocks read before are dropped.
void TAuditQuery::reset()
{
    if (!m_active)
        return;
    m_searchTimer->stop();
    beginResetModel();
    m_blocks.clear();
    m_edges.clear();
    m_failed = false;
    try {
        count();
        startSearch();
    } catch (const EDatabaseError&) {
        m_count = 0;
        m_complete = true;
        endResetModel();
        throw;
    }
    endResetModel();
    searchLater();
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
    if (m_ranged)
        parts << QStringLiteral("EVENT_ID >= :RangeLow and EVENT_ID <= :RangeHigh");
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
    if (m_ranged) {
        query.setParamInteger(QStringLiteral("RangeLow"), m_rangeLow);
        query.setParamInteger(QStringLiteral("RangeHigh"), m_rangeHigh);
    }
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
    // The search knows where each block found ends: the engine looks only at the
    // events numbered between the one before the block and its last.
    if (m_searched) {
        QStringList more {QStringLiteral("EVENT_ID >= :Low")};
        if (block > 0)
            more << QStringLiteral("EVENT_ID < :Key");
        TQuery query;
        query.setSQL(kSelect + whereText(more) + orderText(true) + rowsText(0, count));
        query.setParamInteger(QStringLiteral("Low"),
                              size_t(block) < m_blockEnds.size() ? m_blockEnds[size_t(block)] : m_lastFound);
        if (block > 0)
            query.setParamInteger(QStringLiteral("Key"), m_blockEnds[size_t(block - 1)]);
        return run(query);
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

int TAuditQuery::rowOfEvent(qint64 id)
{
    if (!m_active || id <= 0)
        return -1;
    if (m_byNumber && !m_gapFound) {
        const qint64 row = m_newest - id;
        return row >= 0 && row < m_count ? int(row) : -1;
    }
    if (countEvents({QStringLiteral("EVENT_ID = :Key")}, id) == 0)
        return -1;
    if (m_searched && !m_complete && id < m_searchKey) {
        m_searchTimer->stop();
        while (!m_complete && id < m_searchKey)
            searchStep(8 * kStepRows, 4 * kSearchWindow, false);
        searchLater();
    }
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
