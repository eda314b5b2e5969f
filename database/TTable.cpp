#include "database/TTable.h"

#include "database/EDatabaseError.h"

TTable::TTable(QObject* owner) : TQuery(owner) { }

void TTable::setTableName(const QString& name)
{
    m_tableName = name;
    m_indexName.clear();
    m_indexFields.clear();
    updateStatement();
}

QStringList TTable::indexNames()
{
    TQuery q;
    q.setDatabaseName(databaseName());
    q.setSQL(QStringLiteral("SELECT RDB$INDEX_NAME FROM RDB$INDICES WHERE RDB$RELATION_NAME = "
                            ":TableName ORDER BY RDB$INDEX_NAME"));
    q.setParamString(QStringLiteral("TableName"), m_tableName.toUpper());
    q.open();
    QStringList names;
    for (q.first(); !q.eof(); q.next())
        names << q.field(0)->asString().trimmed();
    q.close();
    return names;
}

void TTable::setIndexName(const QString& name)
{
    const bool wasActive = active();
    QStringList fields;
    if (!name.isEmpty()) {
        TQuery q;
        q.setDatabaseName(databaseName());
        q.setSQL(QStringLiteral("SELECT RDB$FIELD_NAME FROM RDB$INDEX_SEGMENTS WHERE "
                                "RDB$INDEX_NAME = :IndexName ORDER BY RDB$FIELD_POSITION"));
        q.setParamString(QStringLiteral("IndexName"), name.toUpper());
        q.open();
        for (q.first(); !q.eof(); q.next())
            fields << q.field(0)->asString().trimmed();
        q.close();
        if (fields.isEmpty())
            throw EDatabaseError(QStringLiteral("Index not found: %1").arg(name));
    }
    m_indexName = name;
    m_indexFields = fields;
    updateStatement();
    if (wasActive)
        open();
}

void TTable::updateStatement()
{
    QString text = QStringLiteral("select * from ") + m_tableName;
    if (!m_indexFields.isEmpty())
        text += QStringLiteral(" order by ") + m_indexFields.join(QStringLiteral(", "));
    setSQL(text);
    setRequestLive(true);
}
