#pragma once
// The rows a record set read, held in memory: stored one after another in one block
// (a million rows are one allocation), the values each row had when it was read for
// rows changed under cached updates, the rows visible under a filter, and hash
// indexes that find rows by a column's value.

#include "database/TFilter.h"

#include <QHash>
#include <QVariant>

#include <memory>
#include <vector>

class QSqlQuery;

class TRowSet {
public:
    // A value as the engine returned it, made what the record set holds: CHAR
    // padding trimmed, a DATE as a date-time.
    static QVariant fromEngine(const QVariant& value, int sqlType);

    // Replaces the rows with what is left of q's result: every row, or only the
    // first when the statement yields one row (the driver would repeat it forever).
    void read(QSqlQuery& q, bool firstRowOnly);
    void clear();

    int columnCount() const { return m_columns; }
    int size() const { return m_columns ? int(m_data.size() / m_columns) : 0; }
    const QVariant* row(int r) const { return m_data.data() + size_t(r) * m_columns; }
    std::vector<QVariant> copy(int r) const { return std::vector<QVariant>(row(r), row(r) + m_columns); }
    void set(int r, const std::vector<QVariant>& values);
    // Rows from `at` on move down by one.
    void insert(int at, const std::vector<QVariant>& values);
    // Rows after r move up by one.
    void erase(int r);

    // The values row r had when it was read, kept before its first cached change.
    void keepOriginal(int r);
    // Null when row r was not changed under cached updates.
    const std::vector<QVariant>* original(int r) const;

    // The visible rows: all of them, or those the filter lets through.
    void setFilter(std::unique_ptr<TFilter::Node> root) { m_filter = std::move(root); }
    bool hasFilter() const { return m_filter != nullptr; }
    void rebuildView(bool filtered);
    int viewSize() const { return m_viewAll ? size() : int(m_view.size()); }
    int viewAt(int pos) const { return m_viewAll ? pos : m_view[pos]; }
    // Position of row among the visible rows; -1 when it is not visible.
    int viewFind(int row) const;

    // Rows (filter ignored) whose column has the folded key, through a hash index
    // built on first use.
    const std::vector<int>& rowsWithKey(int column, const QString& foldedKey) const;

private:
    struct Index {
        QHash<QString, std::vector<int>> rows;
    };
    QVariant* mutableRow(int r) { return m_data.data() + size_t(r) * m_columns; }
    void invalidateIndexes() { m_indexes.clear(); }

    int m_columns = 0;
    std::vector<QVariant> m_data;
    QHash<int, std::vector<QVariant>> m_originalRows;
    std::unique_ptr<TFilter::Node> m_filter;
    std::vector<int> m_view;
    bool m_viewAll = true;
    mutable std::vector<std::unique_ptr<Index>> m_indexes;
};
