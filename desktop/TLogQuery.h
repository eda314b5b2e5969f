#pragma once
// The activity log as the log viewer's grid shows it: "select * from Log order by
// User_Id" read in blocks as the grid scrolls, so a log of a million rows shows its
// first screen at once. The user's and the constant's names come from hash look-ups
// in the two record sets given, never from a query per row.

#include <QAbstractTableModel>
#include <QSqlQueryModel>
#include <QString>

class TDatabase;
class TQuery;

class TLogQuery : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColAccessDate, ColLogCount, ColUserName, ColUserId, ColAccessId, ColAccessLabel, ColumnCount };

    explicit TLogQuery(QObject* owner = nullptr);
    ~TLogQuery() override;

    QString databaseName() const { return m_databaseName; }
    void setDatabaseName(const QString& name) { m_databaseName = name; }
    // The record sets the names are looked up in (USERS and ACCESS, opened).
    void setLookups(TQuery* users, TQuery* access);

    // Throws EDatabaseError with the engine's text.
    void open();
    void close();
    bool active() const { return m_active; }

    // Look-ups of one row: "Unknown" for a user or constant that no longer exists,
    // "*** Logon ***" for a row without a constant.
    QString userNameFor(const QVariant& userId) const;
    QString accessLabelFor(const QVariant& accessId) const;

    // Display width of a column, in characters.
    static int displayWidth(int column);
    // The row the grid's indicator marks.
    void setIndicatorRow(int row);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent = QModelIndex()) const override;
    void fetchMore(const QModelIndex& parent = QModelIndex()) override;

private:
    QVariant column(int row, int sourceColumn) const;

    QString m_databaseName;
    TQuery* m_users = nullptr;
    TQuery* m_access = nullptr;
    int m_usersKey = -1;
    int m_usersName = -1;
    int m_accessKey = -1;
    int m_accessName = -1;
    QSqlQueryModel m_rows;
    TDatabase* m_connection = nullptr;
    bool m_active = false;
    bool m_resetting = false;
    int m_indicator = -1;
    int m_source[4] = {-1, -1, -1, -1}; // ACCESS_DATE, LOGCOUNT, USER_ID, ACCESS_ID
};
