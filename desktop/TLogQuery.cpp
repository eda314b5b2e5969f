#include "desktop/TLogQuery.h"

#include "database/EDatabaseError.h"
#include "database/TDatabase.h"
#include "database/TField.h"
#include "database/TQuery.h"
#include "platform/RegionalSettings.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

const char* const titles[] = {"Access Date", "Cnt", "User Name", "User ID", "Acc ID", "Access Label"};
const int widths[] = {16, 5, 20, 10, 4, 20};
// The look-ups hold at most this many characters.
constexpr int NameSize = 30;

int columnOf(const TQuery* query, const char* name)
{
    const TField* field = query ? query->findField(QString::fromLatin1(name)) : nullptr;
    return field ? field->index() : -1;
}

} // namespace

TLogQuery::TLogQuery(QObject* owner) : QAbstractTableModel(owner)
{
    setObjectName(QStringLiteral("sqlLog"));
    connect(&m_rows, &QAbstractItemModel::rowsAboutToBeInserted, this, [this](const QModelIndex&, int first, int last) {
        if (!m_resetting)
            beginInsertRows(QModelIndex(), first, last);
    });
    connect(&m_rows, &QAbstractItemModel::rowsInserted, this, [this] {
        if (!m_resetting)
            endInsertRows();
    });
}

TLogQuery::~TLogQuery() { close(); }

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
    // The first block read while the query is set belongs to the reset.
    m_resetting = true;
    m_rows.setQuery(QStringLiteral("select * from Log order by User_Id"), db->sqlDatabase());
    const QSqlError error = m_rows.lastError();
    if (error.isValid()) {
        m_rows.clear();
        m_resetting = false;
        endResetModel();
        throw EDatabaseError(error.text());
    }
    m_connection = db;
    m_connection->attach();
    const QSqlRecord record = m_rows.record();
    m_source[0] = record.indexOf(QStringLiteral("ACCESS_DATE"));
    m_source[1] = record.indexOf(QStringLiteral("LOGCOUNT"));
    m_source[2] = record.indexOf(QStringLiteral("USER_ID"));
    m_source[3] = record.indexOf(QStringLiteral("ACCESS_ID"));
    m_active = true;
    m_indicator = -1;
    m_resetting = false;
    endResetModel();
}

// Clearing the model ends the engine's transaction of the select.
void TLogQuery::close()
{
    if (!m_active)
        return;
    beginResetModel();
    m_rows.clear();
    m_active = false;
    m_indicator = -1;
    endResetModel();
    if (m_connection) {
        m_connection->detach();
        m_connection = nullptr;
    }
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

void TLogQuery::setIndicatorRow(int row)
{
    const int old = m_indicator;
    m_indicator = row;
    if (old >= 0)
        emit headerDataChanged(Qt::Vertical, old, old);
    if (row >= 0)
        emit headerDataChanged(Qt::Vertical, row, row);
}

int TLogQuery::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows.rowCount(); }

int TLogQuery::columnCount(const QModelIndex& parent) const { return parent.isValid() || !m_active ? 0 : ColumnCount; }

bool TLogQuery::canFetchMore(const QModelIndex& parent) const { return !parent.isValid() && m_rows.canFetchMore(); }

void TLogQuery::fetchMore(const QModelIndex& parent)
{
    if (!parent.isValid())
        m_rows.fetchMore();
}

QVariant TLogQuery::column(int row, int sourceColumn) const
{
    if (sourceColumn < 0)
        return QVariant();
    const QVariant value = m_rows.data(m_rows.index(row, sourceColumn));
    // A null shows as an empty cell, not as 0.
    return value.isNull() ? QVariant() : value;
}

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
    const int row = index.row();
    switch (index.column()) {
    case ColAccessDate: {
        return Platform::formatDateTime(column(row, m_source[0]).toDateTime());
    }
    case ColLogCount:
        return column(row, m_source[1]);
    case ColUserName:
        return userNameFor(column(row, m_source[2]));
    case ColUserId:
        return column(row, m_source[2]);
    case ColAccessId:
        return column(row, m_source[3]);
    case ColAccessLabel:
        return accessLabelFor(column(row, m_source[3]));
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
