#pragma once
// A whole table by name: its rows, record count, field names, index names and the
// index that orders it.

#include "database/TQuery.h"

class TTable : public TQuery {
    Q_OBJECT
public:
    explicit TTable(QObject* owner = nullptr);

    QString tableName() const { return m_tableName; }
    void setTableName(const QString& name);
    // The table's index names (open or closed table).
    QStringList indexNames();
    QString indexName() const { return m_indexName; }
    // Orders the rows by the named index's columns (empty: natural order).
    void setIndexName(const QString& name);

private:
    void updateStatement();

    QString m_tableName;
    QString m_indexName;
    QStringList m_indexFields;
};
