#pragma once
// The activity log as the log viewer's grid shows it: the rows of LOG, newest first
// by default, with the row count from the engine and only the blocks of rows on the
// screen read, so that the end or any other row of a million-row log shows at once
// and memory holds a bounded number of blocks wherever the user goes. After each
// open, order or filter a pass in the background learns the key of every block's
// last row, from which any block is then read at once. The user's and
// the constant's names come from hash look-ups in the two record sets given, never
// from a query per row.

#include "desktop/TBlockCache.h"

#include <QAbstractTableModel>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class TDatabase;
class TLogBlockKeys;
class TQuery;

// Which rows of the log are shown; every part left empty lets all rows through.
struct TLogFilter {
    std::optional<int> userId;
    std::optional<int> accessId;
    // Only the log-ons: the rows without a constant (accessId is then ignored).
    bool logonsOnly = false;
    // First and last day shown, both whole days.
    QDate from;
    QDate to;

    bool operator==(const TLogFilter&) const = default;
};

class TLogQuery : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColAccessDate, ColLogCount, ColUserName, ColUserId, ColAccessId, ColAccessLabel, ColumnCount };
    // Rows read with one statement, and the most blocks kept.
    static constexpr int kBlockRows = 128;
    static constexpr int kCachedBlocks = 16;
    // Rows whose place is remembered (a few bytes each) for reading from them again.
    static constexpr size_t kKnownEdges = 8192;

    explicit TLogQuery(QObject* owner = nullptr);
    ~TLogQuery() override;

    QString databaseName() const { return m_databaseName; }
    void setDatabaseName(const QString& name) { m_databaseName = name; }
    // The record sets the names are looked up in (USERS and ACCESS, opened).
    void setLookups(TQuery* users, TQuery* access);

    // Counts the rows and shows the first ones. Throws EDatabaseError with the
    // engine's text.
    void open();
    void close();
    bool active() const { return m_active; }

    // A new filter or order takes effect at once when open. Throws EDatabaseError.
    TLogFilter filter() const { return m_filter; }
    void setFilter(const TLogFilter& filter);
    // Only the date and the count sort; other columns leave the order as it is.
    static bool sortable(int column) { return column == ColAccessDate || column == ColLogCount; }
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // While deferred (the scroll bar's thumb is being dragged), rows not read yet show
    // empty instead of being read for every position passed.
    void setFetchDeferred(bool deferred);
    // Blocks held now, and statements run to read them since open.
    int cachedBlocks() const { return int(m_blocks.size()); }
    int blockReads() const { return m_blockReads; }
    // Rows the engine was asked to step over to reach the blocks read since open.
    qint64 rowsSteppedOver() const { return m_rowsSteppedOver; }

    // The background pass over the shown order: whether it is still reading, and
    // the blocks whose rows it has made reachable without stepping over any.
    bool readingBlockKeys() const;
    int knownBlockKeys() const { return int(m_blockKeys.size()); }

    // The earliest and latest day in the log (invalid when it is empty).
    QDate firstDay() const { return m_firstDay; }
    QDate lastDay() const { return m_lastDay; }

    // Look-ups of one row: "Unknown" for a user or constant that no longer exists,
    // "*** Logon ***" for a row without a constant.
    QString userNameFor(const QVariant& userId) const;
    QString accessLabelFor(const QVariant& accessId) const;

    // Display width of a column, in characters.
    static int displayWidth(int column);
    // The widest text the column can hold for this log (the largest count, the
    // longest name), for sizing the grid's columns.
    QString widestText(int column) const;
    // The row the grid's indicator marks.
    void setIndicatorRow(int row);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // A block could not be read; the engine's text.
    void readFailed(const QString& message);
    // The background pass has given the keys of the blocks.
    void blockKeysRead();

private:
    // One log row: ACCESS_DATE, LOGCOUNT, USER_ID, ACCESS_ID.
    using Row = std::array<QVariant, 4>;

    void reload();
    // Starts the background pass over the rows as they are shown now, or stops it.
    void startBlockKeys();
    void stopBlockKeys();
    QString blockKeysText() const;
    const Row* rowAt(int row) const;
    QList<Row> readBlock(int block) const;
    // count rows after the row whose LOGCOUNT is key (or from the first row when
    // there is none), skipping skip rows, in the shown order or against it.
    QList<Row> readRows(const std::optional<qint64>& key, qint64 skip, int count, bool reverse) const;
    QList<Row> readAfterTies(qint64 key, qint64 skip, int count, bool reverse) const;
    QString whereText(const QStringList& more) const;
    QString orderText(bool reverse) const;
    void bindFilter(TQuery& query) const;
    QList<Row> run(TQuery& query) const;
    // The first column of an unfiltered statement's first row.
    QVariant value(const QString& sql) const;
    // Rows under the filter and the further conditions (which may name :Key).
    qint64 countRows(const QStringList& more, const std::optional<qint64>& key = std::nullopt) const;
    QString widestName(TQuery* lookup, int nameColumn) const;

    QString m_databaseName;
    TQuery* m_users = nullptr;
    TQuery* m_access = nullptr;
    int m_usersKey = -1;
    int m_usersName = -1;
    int m_accessKey = -1;
    int m_accessName = -1;
    TDatabase* m_connection = nullptr;
    bool m_active = false;
    int m_indicator = -1;

    TLogFilter m_filter;
    int m_sortColumn = ColAccessDate;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
    int m_count = 0;
    qint64 m_largestCount = 0;
    QDate m_firstDay;
    QDate m_lastDay;
    bool m_deferred = false;

    // The blocks read, least recently used dropped first.
    mutable TBlockCache<Row> m_blocks {kCachedBlocks};
    // Place in the shown order -> LOGCOUNT, for the first and last row of each block read.
    mutable std::map<qint64, qint64> m_edges;
    mutable int m_blockReads = 0;
    mutable qint64 m_rowsSteppedOver = 0;
    // The LOGCOUNT of the last row of each block, in the shown order, from the pass;
    // given when the pass ends, or to a read that waits for it.
    mutable std::vector<qint64> m_blockKeys;
    std::unique_ptr<TLogBlockKeys> m_pass;
    mutable bool m_failed = false;
};
