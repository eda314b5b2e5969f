#include "desktop/TLogQuery.h"

#include "database/EDatabaseError.h"
#include "database/TDatabase.h"
#include "database/TField.h"
#include "database/TQuery.h"
#include "desktop/TLogBlockKeys.h"
#include "platform/RegionalSettings.h"

#include <QMetaObject>

#include <algorithm>
#include <iterator>
#include <array>

namespace {

const char* const titles[] = {"Access Date", "Cnt", "User Name", "User ID", "Acc ID", "Access Label"};
const int widths[] = {16, 5, 20, 10, 4, 20};
// The look-ups hold at most this many characters.
constexpr int NameSize = 30;
const QString kColumns = QStringLiteral("select ACCESS_DATE, LOGCOUNT, USER_ID, ACCESS_ID from LOG");
// The date of the row a block continues from, read by the engine itself, so that no
// fraction of a second is lost on its way through the program.
const QString kKeyDate = QStringLiteral("(select ACCESS_DATE from LOG where LOGCOUNT = :Key)");

int columnOf(const TQuery* query, const char* name)
{
    const TField* field = query ? query->findField(QString::fromLatin1(name)) : nullptr;
    return field ? field->index() : -1;
}

QString rowsText(qint64 skip, int count) { return QStringLiteral(" rows %1 to %2").arg(skip + 1).arg(skip + count); }

} // namespace

TLogQuery::TLogQuery(QObject* owner) : QAbstractTableModel(owner) { setObjectName(QStringLiteral("sqlLog")); }

TLogQuery::~TLogQuery()
{
    close();
    stopBlockKeys();
}

void TLogQuery::setLookups(TQuery* users, TQuery* access)
{
    m_users = users;
    m_access = access;
}

void TLogQuery::open()
{
    if (m_active)
        return;
    m_usersKey = columnOf(m_users, "USER_ID");
    m_usersName = columnOf(m_users, "USER_NAME");
    m_accessKey = columnOf(m_access, "ACCESS_ID");
    m_accessName = columnOf(m_access, "ACCESS_NAME");
    TDatabase* db = TDatabase::connectionFor(m_databaseName);
    beginResetModel();
    try {
        // Each an index's first entry, read at once.
        m_largestCount = value(QStringLiteral("select max(LOGCOUNT) from LOG")).toLongLong();
        m_firstDay = value(QStringLiteral("select min(ACCESS_DATE) from LOG")).toDateTime().date();
        m_lastDay = value(QStringLiteral("select max(ACCESS_DATE) from LOG")).toDateTime().date();
        m_count = int(countRows({}));
    } catch (const EDatabaseError&) {
        m_count = 0;
        endResetModel();
        throw;
    }
    m_blocks.clear();
    m_edges.clear();
    m_blockReads = 0;
    m_rowsSteppedOver = 0;
    m_failed = false;
    m_connection = db;
    m_connection->attach();
    m_active = true;
    m_indicator = -1;
    endResetModel();
    startBlockKeys();
}

void TLogQuery::close()
{
    if (!m_active)
        return;
    stopBlockKeys();
    beginResetModel();
    m_blocks.clear();
    m_edges.clear();
    m_count = 0;
    m_active = false;
    m_indicator = -1;
    endResetModel();
    if (m_connection) {
        m_connection->detach();
        m_connection = nullptr;
    }
}

// The count is read again for the new rows; the blocks read before are dropped.
void TLogQuery::reload()
{
    if (!m_active)
        return;
    stopBlockKeys();
    beginResetModel();
    m_blocks.clear();
    m_edges.clear();
    m_indicator = -1;
    m_failed = false;
    try {
        m_count = int(countRows({}));
    } catch (const EDatabaseError&) {
        m_count = 0;
        endResetModel();
        throw;
    }
    endResetModel();
    startBlockKeys();
}

void TLogQuery::setFilter(const TLogFilter& filter)
{
    if (filter == m_filter)
        return;
    m_filter = filter;
    reload();
}

void TLogQuery::sort(int column, Qt::SortOrder order)
{
    if (!sortable(column) || (column == m_sortColumn && order == m_sortOrder))
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    if (!m_active)
        return;
    // The count stays: only the order changes.
    stopBlockKeys();
    beginResetModel();
    m_blocks.clear();
    m_edges.clear();
    m_indicator = -1;
    // A read that failed in the old order is tried again in the new one.
    m_failed = false;
    endResetModel();
    startBlockKeys();
}

bool TLogQuery::readingBlockKeys() const { return m_pass && m_pass->running(); }

// With two blocks or fewer every block is at an end, where reading starts anyway.
void TLogQuery::startBlockKeys()
{
    stopBlockKeys();
    if (!m_active || !m_connection || m_count <= 2 * kBlockRows)
        return;
    m_pass = std::make_unique<TLogBlockKeys>(m_connection->sqlDatabase(), blockKeysText(), this,
                                             [this](std::vector<qint64> keys) {
                                                 m_blockKeys = std::move(keys);
                                                 emit blockKeysRead();
                                             });
}

void TLogQuery::stopBlockKeys()
{
    m_pass.reset();
    m_blockKeys.clear();
}

// The key of every block's last row, in the shown order under the filter: the engine
// counts the rows itself and hands over one in kBlockRows. The filter's values are
// the block's own variables, under the names the filter's conditions use. "+ 0" keeps
// the engine from walking an index, which visits the rows in the index's order and
// so the table's pages at random, a read from disk or cache for nearly every row: it
// reads the table in file order and sorts the keys instead, a quarter of the work at
// a million rows.
QString TLogQuery::blockKeysText() const
{
    QString variables;
    const auto declare = [&variables](const char* name, const char* type, const QString& value) {
        variables += QStringLiteral("declare %1 %2 = %3; ").arg(QLatin1String(name), QLatin1String(type), value);
    };
    const auto timestamp = [](const QDate& day) {
        return QLatin1Char('\'') + day.toString(Qt::ISODate) + QLatin1Char('\'');
    };
    if (m_filter.userId)
        declare("FilterUser", "integer", QString::number(*m_filter.userId));
    if (!m_filter.logonsOnly && m_filter.accessId)
        declare("FilterAccess", "integer", QString::number(*m_filter.accessId));
    if (m_filter.from.isValid())
        declare("FilterFrom", "timestamp", timestamp(m_filter.from));
    if (m_filter.to.isValid())
        declare("FilterTo", "timestamp", timestamp(m_filter.to.addDays(1)));
    const QString direction = m_sortOrder == Qt::DescendingOrder ? QStringLiteral(" desc") : QString();
    const QString order = m_sortColumn == ColLogCount
                              ? QStringLiteral(" order by LOGCOUNT + 0%1").arg(direction)
                              : QStringLiteral(" order by ACCESS_DATE + 0%1, LOGCOUNT%1").arg(direction);
    return QStringLiteral("execute block returns (BLOCK_KEY integer) as declare PLACE integer = 0; %1"
                          "begin for select LOGCOUNT from LOG%2%3 into :BLOCK_KEY do begin PLACE = PLACE + 1; "
                          "if (mod(PLACE, %4) = 0) then suspend; end end")
        .arg(variables, whereText({}), order)
        .arg(kBlockRows);
}

void TLogQuery::setFetchDeferred(bool deferred)
{
    m_deferred = deferred;
    if (!deferred && m_active && m_count > 0)
        emit dataChanged(index(0, 0), index(m_count - 1, ColumnCount - 1));
}

QString TLogQuery::whereText(const QStringList& more) const
{
    QStringList parts;
    if (m_filter.userId)
        parts << QStringLiteral("USER_ID = :FilterUser");
    if (m_filter.logonsOnly)
        parts << QStringLiteral("ACCESS_ID is null");
    else if (m_filter.accessId)
        parts << QStringLiteral("ACCESS_ID = :FilterAccess");
    if (m_filter.from.isValid())
        parts << QStringLiteral("ACCESS_DATE >= :FilterFrom");
    if (m_filter.to.isValid())
        parts << QStringLiteral("ACCESS_DATE < :FilterTo");
    parts << more;
    return parts.isEmpty() ? QString() : QStringLiteral(" where ") + parts.join(QStringLiteral(" and "));
}

void TLogQuery::bindFilter(TQuery& query) const
{
    if (m_filter.userId)
        query.setParamInteger(QStringLiteral("FilterUser"), *m_filter.userId);
    if (!m_filter.logonsOnly && m_filter.accessId)
        query.setParamInteger(QStringLiteral("FilterAccess"), *m_filter.accessId);
    // The column holds a time of day: the range runs from the first day's start to
    // the start of the day after the last.
    if (m_filter.from.isValid())
        query.setParamDateTime(QStringLiteral("FilterFrom"), m_filter.from.startOfDay());
    if (m_filter.to.isValid())
        query.setParamDateTime(QStringLiteral("FilterTo"), m_filter.to.addDays(1).startOfDay());
}

// Ties of the date are broken by the key, so every row has one place and a block
// can continue from the row before it.
QString TLogQuery::orderText(bool reverse) const
{
    const bool descending = (m_sortOrder == Qt::DescendingOrder) != reverse;
    const QString direction = descending ? QStringLiteral(" desc") : QString();
    if (m_sortColumn == ColLogCount)
        return QStringLiteral(" order by LOGCOUNT") + direction;
    return QStringLiteral(" order by ACCESS_DATE%1, LOGCOUNT%1").arg(direction);
}

QVariant TLogQuery::value(const QString& sql) const
{
    TQuery query;
    query.setDatabaseName(m_databaseName);
    query.setSQL(sql);
    query.open();
    const QVariant value = query.field(0)->value();
    query.close();
    return value;
}

qint64 TLogQuery::countRows(const QStringList& more, const std::optional<qint64>& key) const
{
    TQuery query;
    query.setDatabaseName(m_databaseName);
    query.setSQL(QStringLiteral("select count(*) from LOG") + whereText(more));
    bindFilter(query);
    if (key)
        query.setParamInteger(QStringLiteral("Key"), *key);
    query.open();
    const qint64 count = query.field(0)->value().toLongLong();
    query.close();
    return count;
}

QList<TLogQuery::Row> TLogQuery::run(TQuery& query) const
{
    ++m_blockReads;
    query.setDatabaseName(m_databaseName);
    bindFilter(query);
    query.open();
    QList<Row> rows;
    rows.reserve(query.totalRowCount());
    for (int r = 0; r < query.totalRowCount(); ++r)
        rows.append({query.rowValue(r, 0), query.rowValue(r, 1), query.rowValue(r, 2), query.rowValue(r, 3)});
    query.close();
    return rows;
}

QList<TLogQuery::Row> TLogQuery::readRows(const std::optional<qint64>& key, qint64 skip, int count, bool reverse) const
{
    TQuery query;
    if (!key) {
        query.setSQL(kColumns + whereText({}) + orderText(reverse) + rowsText(skip, count));
        return run(query);
    }
    if (m_sortColumn != ColLogCount)
        return readAfterTies(*key, skip, count, reverse);
    const bool descending = (m_sortOrder == Qt::DescendingOrder) != reverse;
    query.setSQL(kColumns +
                 whereText({descending ? QStringLiteral("LOGCOUNT < :Key") : QStringLiteral("LOGCOUNT > :Key")}) +
                 orderText(reverse) + rowsText(skip, count));
    query.setParamInteger(QStringLiteral("Key"), *key);
    return run(query);
}

// Two statements, each starting where the index has it: the rows of the key's own
// date after the key, then the later dates. One statement with "or" would make the
// engine walk the index from its first entry.
QList<TLogQuery::Row> TLogQuery::readAfterTies(qint64 key, qint64 skip, int count, bool reverse) const
{
    const bool descending = (m_sortOrder == Qt::DescendingOrder) != reverse;
    const QString after = descending ? QStringLiteral(" < ") : QStringLiteral(" > ");
    const QString sameDate = QStringLiteral("ACCESS_DATE = ") + kKeyDate;
    const QString laterKey = QStringLiteral("LOGCOUNT") + after + QStringLiteral(":Key");
    TQuery ties;
    ties.setSQL(kColumns + whereText({sameDate, laterKey}) + orderText(reverse) + rowsText(skip, count));
    ties.setParamInteger(QStringLiteral("Key"), key);
    QList<Row> rows = run(ties);
    if (rows.size() >= count)
        return rows;
    qint64 tieCount = skip + rows.size();
    if (rows.isEmpty() && skip > 0)
        tieCount = countRows({sameDate, laterKey}, key);
    TQuery later;
    later.setSQL(kColumns + whereText({QStringLiteral("ACCESS_DATE") + after + kKeyDate}) + orderText(reverse) +
                 rowsText(std::max<qint64>(0, skip - tieCount), count - int(rows.size())));
    later.setParamInteger(QStringLiteral("Key"), key);
    rows += run(later);
    return rows;
}

// A block is read from the nearest place already known: the first row, the last
// row (against the order), or a row at the edge of a block read before, whichever
// leaves the fewest rows for the engine to step over. The edges stay known after
// their blocks are dropped, so going back to a place seen is quick.
QList<TLogQuery::Row> TLogQuery::readBlock(int block) const
{
    const qint64 first = qint64(block) * kBlockRows;
    const int count = int(std::min<qint64>(kBlockRows, m_count - first));
    if (count <= 0)
        return {};
    qint64 bestCost = first;
    std::optional<qint64> key;
    bool reverse = false;
    const qint64 fromEnd = m_count - first - count;
    if (fromEnd < bestCost) {
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
    // Stepping over a quarter of the rows costs about as much as the whole pass (which
    // reads the rows in file order and sorts them), and beside it, the two sharing the
    // cores and the engine, several times as much: wait for its keys instead.
    if (bestCost > m_count / 4 && m_pass && m_blockKeys.empty())
        m_pass->finish();
    // The pass's key of the row before the block: nothing to step over.
    if (bestCost > 0 && block > 0 && size_t(block - 1) < m_blockKeys.size()) {
        bestCost = 0;
        key = m_blockKeys[size_t(block - 1)];
        reverse = false;
    }
    m_rowsSteppedOver += bestCost;
    QList<Row> rows = readRows(key, bestCost, count, reverse);
    // A row another program deleted leads nowhere: read from the ends instead.
    if (key && rows.size() < count) {
        reverse = fromEnd < first;
        m_rowsSteppedOver += reverse ? fromEnd : first;
        rows = readRows(std::nullopt, reverse ? fromEnd : first, count, reverse);
    }
    if (reverse)
        std::reverse(rows.begin(), rows.end());
    if (rows.size() == count) {
        if (m_edges.size() >= kKnownEdges)
            m_edges.clear();
        m_edges[first] = rows.first()[1].toLongLong();
        m_edges[first + count - 1] = rows.last()[1].toLongLong();
    }
    return rows;
}

const TLogQuery::Row* TLogQuery::rowAt(int row) const
{
    if (!m_active || row < 0 || row >= m_count)
        return nullptr;
    const int block = row / kBlockRows;
    const QList<Row>* rows = m_blocks.find(block);
    if (!rows) {
        if (m_deferred || m_failed)
            return nullptr;
        QList<Row> read;
        try {
            read = readBlock(block);
        } catch (const EDatabaseError& e) {
            // Painting cannot show a message box: the dialog shows it afterwards, once.
            m_failed = true;
            auto* self = const_cast<TLogQuery*>(this);
            QMetaObject::invokeMethod(
                self, [self, text = e.message()] { emit self->readFailed(text); }, Qt::QueuedConnection);
            return nullptr;
        }
        rows = m_blocks.keep(block, std::move(read));
    }
    const int offset = row - block * kBlockRows;
    return offset < rows->size() ? &rows->at(offset) : nullptr;
}

QString TLogQuery::userNameFor(const QVariant& userId) const
{
    if (m_users && m_usersKey >= 0 && !userId.isNull()) {
        const std::vector<int>& rows = m_users->rowsWithValue(m_usersKey, userId);
        if (!rows.empty())
            return m_users->rowValue(rows.front(), m_usersName).toString().left(NameSize);
    }
    return QStringLiteral("Unknown");
}

QString TLogQuery::accessLabelFor(const QVariant& accessId) const
{
    if (accessId.isNull())
        return QStringLiteral("*** Logon ***");
    if (m_access && m_accessKey >= 0) {
        const std::vector<int>& rows = m_access->rowsWithValue(m_accessKey, accessId);
        if (!rows.empty())
            return m_access->rowValue(rows.front(), m_accessName).toString().left(NameSize);
    }
    return QStringLiteral("Unknown");
}

int TLogQuery::displayWidth(int column) { return column >= 0 && column < ColumnCount ? widths[column] : 10; }

QString TLogQuery::widestName(TQuery* lookup, int nameColumn) const
{
    QString widest;
    if (!lookup || nameColumn < 0 || !lookup->active())
        return widest;
    for (int r = 0; r < lookup->totalRowCount(); ++r) {
        const QString name = lookup->rowValue(r, nameColumn).toString().left(NameSize);
        if (name.size() > widest.size())
            widest = name;
    }
    return widest;
}

QString TLogQuery::widestText(int column) const
{
    const auto largestKey = [](TQuery* lookup, int keyColumn) {
        qint64 largest = 0;
        if (lookup && keyColumn >= 0 && lookup->active())
            for (int r = 0; r < lookup->totalRowCount(); ++r)
                largest = std::max(largest, lookup->rowValue(r, keyColumn).toLongLong());
        return QString::number(largest);
    };
    switch (column) {
    case ColAccessDate:
        return Platform::widestDateTime(Platform::regionalSettings());
    case ColLogCount:
        return QString::number(m_largestCount);
    case ColUserName:
        return widestName(m_users, m_usersName);
    case ColUserId:
        return largestKey(m_users, m_usersKey);
    case ColAccessId:
        return largestKey(m_access, m_accessKey);
    case ColAccessLabel:
        return std::max(widestName(m_access, m_accessName), QStringLiteral("*** Logon ***"),
                        [](const QString& a, const QString& b) { return a.size() < b.size(); });
    default:
        return QString();
    }
}

void TLogQuery::setIndicatorRow(int row)
{
    const int old = m_indicator;
    m_indicator = row;
    if (old >= 0)
        emit headerDataChanged(Qt::Vertical, old, old);
    if (row >= 0)
        emit headerDataChanged(Qt::Vertical, row, row);
}

int TLogQuery::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_count; }

int TLogQuery::columnCount(const QModelIndex& parent) const { return parent.isValid() || !m_active ? 0 : ColumnCount; }

QVariant TLogQuery::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !m_active)
        return QVariant();
    if (role == Qt::TextAlignmentRole) {
        const bool number =
            index.column() == ColLogCount || index.column() == ColUserId || index.column() == ColAccessId;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    if (role != Qt::DisplayRole)
        return QVariant();
    const Row* row = rowAt(index.row());
    if (!row)
        return QVariant();
    // A null shows as an empty cell, not as 0.
    const auto value = [row](int i) { return (*row)[i].isNull() ? QVariant() : (*row)[i]; };
    switch (index.column()) {
    case ColAccessDate:
        return Platform::formatDateTime((*row)[0].toDateTime());
    case ColLogCount:
        return value(1);
    case ColUserName:
        return userNameFor(value(2));
    case ColUserId:
        return value(2);
    case ColAccessId:
        return value(3);
    case ColAccessLabel:
        return accessLabelFor(value(3));
    default:
        return QVariant();
    }
}

QVariant TLogQuery::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section == m_indicator ? QStringLiteral("\u25B6") : QString();
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section]) : QVariant();
}
