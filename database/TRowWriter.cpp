#include "database/TRowWriter.h"

#include "database/EDatabaseError.h"
#include "database/TRowSet.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
bool sameValue(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a == b;
}
} // namespace

void TRowWriter::setTable(const QString& table, const QStringList& columns)
{
    m_table = table;
    m_columns = columns;
    m_keyColumns.clear();
    m_keysLoaded = false;
}

void TRowWriter::execPositional(QSqlQuery& q, const QString& text, const std::vector<QVariant>& binds)
{
    bool ok = q.prepare(text);
    for (size_t i = 0; ok && i < binds.size(); ++i)
        q.bindValue(int(i), binds[i]);
    if (!(ok && q.exec())) {
        const QString error = q.lastError().text();
        q.clear();
        throw EDatabaseError(error);
    }
}

void TRowWriter::loadKeyColumns(QSqlDatabase db)
{
    if (m_keysLoaded || m_table.isEmpty())
        return;
    m_keysLoaded = true;
    m_keyColumns.clear();
    const QSqlIndex index = db.primaryIndex(m_table);
    for (int i = 0; i < index.count(); ++i) {
        const QString name = index.field(i).name();
        for (int c = 0; c < m_columns.size(); ++c)
            if (m_columns.at(c).compare(name, Qt::CaseInsensitive) == 0)
                m_keyColumns.push_back(c);
    }
}

QString TRowWriter::whereForRow(const std::vector<QVariant>& values, std::vector<QVariant>& binds) const
{
    QStringList parts;
    // By primary key; a table without one by all of the row's old values.
    std::vector<int> columns = m_keyColumns;
    if (columns.empty())
        for (int c = 0; c < m_columns.size(); ++c)
            columns.push_back(c);
    for (int c : columns) {
        if (values[c].isNull()) {
            parts << m_columns.at(c) + QStringLiteral(" IS NULL");
        } else {
            parts << m_columns.at(c) + QStringLiteral(" = ?");
            binds.push_back(values[c]);
        }
    }
    return parts.join(QStringLiteral(" AND "));
}

void TRowWriter::insert(QSqlDatabase db, std::vector<QVariant>& values, const std::vector<bool>& assigned)
{
    loadKeyColumns(db);
    QStringList columns, marks;
    std::vector<QVariant> binds;
    for (int c = 0; c < m_columns.size(); ++c) {
        if (assigned[c]) {
            columns << m_columns.at(c);
            // A null goes in as NULL: the driver would send an empty text instead.
            if (values[c].isNull()) {
                marks << QStringLiteral("NULL");
            } else {
                marks << QStringLiteral("?");
                binds.push_back(values[c]);
            }
        }
    }
    QString text = QStringLiteral("INSERT INTO ") + m_table;
    text += columns.isEmpty() ? QStringLiteral(" DEFAULT VALUES")
                              : QStringLiteral(" (") + columns.join(QLatin1Char(',')) + QStringLiteral(") VALUES (") +
                                    marks.join(QLatin1Char(',')) + QLatin1Char(')');
    text += QStringLiteral(" RETURNING ") + m_columns.join(QLatin1Char(','));
    QSqlQuery q(db);
    execPositional(q, text, binds);
    if (q.next()) {
        const QSqlRecord rec = q.record();
        for (int c = 0; c < m_columns.size() && c < rec.count(); ++c)
            values[c] = TRowSet::fromEngine(q.value(c), rec.field(c).typeID());
    }
    q.clear();
}

void TRowWriter::update(QSqlDatabase db, const std::vector<QVariant>& old, const std::vector<QVariant>& values,
                        const std::vector<bool>& assigned)
{
    loadKeyColumns(db);
    QStringList sets;
    std::vector<QVariant> binds;
    for (int c = 0; c < m_columns.size(); ++c) {
        if (!assigned[c] || sameValue(values[c], old[c]))
            continue;
        if (values[c].isNull()) {
            sets << m_columns.at(c) + QStringLiteral(" = NULL");
        } else {
            sets << m_columns.at(c) + QStringLiteral(" = ?");
            binds.push_back(values[c]);
        }
    }
    if (sets.isEmpty())
        return;
    const QString where = whereForRow(old, binds);
    QString text = QStringLiteral("UPDATE ") + m_table + QStringLiteral(" SET ") + sets.join(QStringLiteral(", ")) +
                   QStringLiteral(" WHERE ") + where;
    if (m_keyColumns.empty())
        text += QStringLiteral(" ROWS 1");
    QSqlQuery q(db);
    execPositional(q, text, binds);
    const int affected = q.numRowsAffected();
    q.clear();
    if (affected == 0)
        throw EDatabaseError(QStringLiteral("Record changed by another user or deleted"));
}

void TRowWriter::remove(QSqlDatabase db, const std::vector<QVariant>& old)
{
    loadKeyColumns(db);
    std::vector<QVariant> binds;
    const QString where = whereForRow(old, binds);
    QString text = QStringLiteral("DELETE FROM ") + m_table + QStringLiteral(" WHERE ") + where;
    if (m_keyColumns.empty())
        text += QStringLiteral(" ROWS 1");
    QSqlQuery q(db);
    execPositional(q, text, binds);
    q.clear();
}
