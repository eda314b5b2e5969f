#pragma once
// The update object of a record set with cached updates: a modify, an insert and a
// delete statement. Parameters named after a column take the record's current value;
// with the prefix OLD_ they take the value the record had before the edit.

#include <QObject>
#include <QStringList>

class TQuery;

class TUpdateSQL : public QObject {
    Q_OBJECT
public:
    enum class Kind { Modify, Insert, Delete };

    explicit TUpdateSQL(QObject* owner = nullptr);

    TQuery* dataSet() const { return m_dataSet; }
    void setDataSet(TQuery* dataSet) { m_dataSet = dataSet; }

    QStringList sql(Kind kind) const { return m_sql[int(kind)]; }
    void setSQL(Kind kind, const QStringList& lines) { m_sql[int(kind)] = lines; }
    QStringList modifySQL() const { return sql(Kind::Modify); }
    void setModifySQL(const QStringList& lines) { setSQL(Kind::Modify, lines); }
    QStringList insertSQL() const { return sql(Kind::Insert); }
    void setInsertSQL(const QStringList& lines) { setSQL(Kind::Insert, lines); }
    QStringList deleteSQL() const { return sql(Kind::Delete); }
    void setDeleteSQL(const QStringList& lines) { setSQL(Kind::Delete, lines); }

    // Binds the statement's parameters from the data set's current record and runs
    // it on the data set's database. Throws EDatabaseError.
    void apply(Kind kind);

private:
    TQuery* m_dataSet = nullptr;
    QStringList m_sql[3];
};
