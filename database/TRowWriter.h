#pragma once
// Writes a live record set's posted rows through to its table at once: an INSERT
// that reads back what the database assigned (trigger keys, defaults), an UPDATE of
// the changed columns, a DELETE. Each finds its row by the table's primary key, or
// by all its old values (one row only) when the table has none. Throws
// EDatabaseError with the engine's text.

#include <QSqlDatabase>
#include <QStringList>
#include <QVariant>

#include <vector>

class QSqlQuery;

class TRowWriter {
public:
    // The table and the record set's columns, in order; the key is looked up on the
    // first write.
    void setTable(const QString& table, const QStringList& columns);
    QString table() const { return m_table; }

    // values: the new row; assigned: the columns the caller set (the others take
    // the table's defaults). On return values hold the row as stored.
    void insert(QSqlDatabase db, std::vector<QVariant>& values, const std::vector<bool>& assigned);
    // Writes the assigned columns whose value differs from old.
    void update(QSqlDatabase db, const std::vector<QVariant>& old, const std::vector<QVariant>& values,
                const std::vector<bool>& assigned);
    void remove(QSqlDatabase db, const std::vector<QVariant>& old);

    // Runs text with positional values; throws with the engine's text.
    static void execPositional(QSqlQuery& q, const QString& text, const std::vector<QVariant>& binds);

private:
    void loadKeyColumns(QSqlDatabase db);
    QString whereForRow(const std::vector<QVariant>& values, std::vector<QVariant>& binds) const;

    QString m_table;
    QStringList m_columns;
    std::vector<int> m_keyColumns;
    bool m_keysLoaded = false;
};
