#pragma once
// A statement or record set on a named database.
//
// The statement's text and parameters are a TStatementText, the rows in memory a
// TRowSet, the write-through of posted rows a TRowWriter; this class holds the
// connection, the current row, the fields and the edit buffer.
//
// As a statement: SQL text (a list of lines) with named parameters (:Name) set as
// integer, string, date or date-time, or with "?" placeholders given their values in
// order, run with execSQL(). Without a transaction on
// its connection each statement commits on its own.
//
// As a record set: open() reads the whole result into memory and releases the
// engine's transaction at once, so other programs' committed changes show at every
// open. Rows are found with client-side filters (see TFilter). A live record set
// writes each posted edit, insert or delete through to its table at once, finding
// the row by primary key, or by all its old values when the table has none; an
// insert reads back what the database assigned (trigger keys, defaults). With cached
// updates edits stay in memory until an update object (TUpdateSQL) applies them.

#include "database/TField.h"
#include "database/TRowSet.h"
#include "database/TRowWriter.h"
#include "database/TStatementText.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

class QSqlQuery;
class TDatabase;

class TQuery : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };
    enum class UpdateMode { WhereKeyOnly, WhereAll };

    explicit TQuery(QObject* owner = nullptr);
    ~TQuery() override;

    QString databaseName() const { return m_databaseName; }
    void setDatabaseName(const QString& name);

    QStringList sqlLines() const { return m_statement.lines(); }
    QString sql() const { return m_statement.text(); }
    void setSQL(const QString& text);
    void setSQL(const QStringList& lines);

    // Parameters, named without the colon; names compare without regard to case.
    QStringList paramNames() const;
    bool hasParam(const QString& name) const;
    void setParamInteger(const QString& name, qint64 value);
    void setParamString(const QString& name, const QString& value);
    void setParamDate(const QString& name, const QDate& value);
    void setParamDateTime(const QString& name, const QDateTime& value);
    void setParamNull(const QString& name);
    void setParam(const QString& name, const QVariant& value);
    // The values of the statement's "?" placeholders, in their order; setSQL drops
    // them. A statement uses named parameters or placeholders, not both.
    void setPlaceholderValues(const QVariantList& values) { m_statement.setPlaceholderValues(values); }

    bool requestLive() const { return m_requestLive; }
    void setRequestLive(bool live) { m_requestLive = live; }
    UpdateMode updateMode() const { return m_updateMode; }
    void setUpdateMode(UpdateMode mode) { m_updateMode = mode; }
    bool cachedUpdates() const { return m_cachedUpdates; }
    void setCachedUpdates(bool cached) { m_cachedUpdates = cached; }

    // Runs the statement; throws EDatabaseError with the engine's text.
    void execSQL();
    int rowsAffected() const { return m_rowsAffected; }

    // Record set
    void open();
    void close();
    bool active() const { return m_state != State::Inactive; }
    void setActive(bool on) { on ? open() : close(); }
    State state() const { return m_state; }
    // The table a live record set writes to ("from" of the statement).
    QString tableName() const { return m_writer.table(); }

    void first();
    void last();
    void next();
    void prior();
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    bool isEmpty() const { return viewSize() == 0; }
    // Rows visible under the current filter.
    int recordCount() const { return viewSize(); }
    // 1-based position of the current row among the visible ones; 0 when none.
    int recNo() const { return m_pos < 0 ? 0 : m_pos + 1; }
    void moveTo(int recNo);

    QString filter() const { return m_filterText; }
    void setFilter(const QString& expression);
    bool filtered() const { return m_filtered; }
    void setFiltered(bool on);
    // Goes to the first row under the current filter; false when there is none.
    bool findFirst();

    // Fields
    int fieldCount() const { return int(m_fields.size()); }
    TField* field(int index) const { return m_fields.at(index).get(); }
    TField* findField(const QString& name) const;
    // Throws EDatabaseError when there is no such field.
    TField* fieldByName(const QString& name) const;
    QStringList fieldNames() const;
    // Calculated fields: declared before open, filled per row by the handler.
    TField* addCalculatedField(const QString& name, int size);
    void setOnCalcFields(std::function<void(TQuery&)> handler) { m_onCalcFields = std::move(handler); }

    // Editing
    void append();
    void insert();
    void edit();
    void post();
    void cancel();
    void deleteRecord();

    // Rows of the whole result (filter ignored) whose column equals the value,
    // through a hash index built on first use. For callers that look rows up often.
    const std::vector<int>& rowsWithValue(int column, const QVariant& value) const;
    const std::vector<int>& rowsWithKey(int column, const QString& foldedKey) const;
    int totalRowCount() const { return m_rows.size(); }
    const QVariant& rowValue(int row, int column) const { return m_rows.row(row)[column]; }

    // Used by TField.
    QVariant fieldValue(int index) const;
    QVariant fieldOldValue(int index) const;
    void setFieldValue(int index, const QVariant& value);

signals:
    // The current row or its values changed (scroll, open, close, edit, post, cancel).
    void dataChanged();
    void stateChanged();

private:
    TDatabase* acquireConnection();
    void releaseConnection();
    void checkBrowse(const char* what) const;
    void setPosition(int pos);
    void startEditing(State state, int insertRow);
    void runCalcFields();
    int currentRow() const { return m_pos < 0 ? -1 : viewAt(m_pos); }
    // The visible rows: all of them, or those the filter let through.
    int viewSize() const { return m_rows.viewSize(); }
    int viewAt(int pos) const { return m_rows.viewAt(pos); }
    void rebuildView() { m_rows.rebuildView(m_filtered); }

    // The statement as Qt's driver prepared it in a transaction of its connection,
    // run again there with new values (see kept()).
    QSqlQuery* kept(TDatabase* db);
    void dropKept();

    QString m_databaseName;
    TStatementText m_statement;
    std::unique_ptr<QSqlQuery> m_kept;
    QPointer<TDatabase> m_keptOn;
    quint64 m_keptTransaction = 0;
    bool m_requestLive = false;
    UpdateMode m_updateMode = UpdateMode::WhereAll;
    bool m_cachedUpdates = false;
    int m_rowsAffected = 0;

    State m_state = State::Inactive;
    // Weak: another owner may delete the connection while this record set still names it.
    QPointer<TDatabase> m_connection;
    TRowWriter m_writer;
    std::vector<std::unique_ptr<TField>> m_fields;
    int m_dataColumns = 0;
    TRowSet m_rows;
    int m_pos = -1;
    bool m_eof = true;
    bool m_bof = true;

    QString m_filterText;
    bool m_filtered = false;

    std::vector<QVariant> m_buffer;
    std::vector<QVariant> m_oldBuffer;
    std::vector<bool> m_assigned;
    int m_insertRow = -1;

    std::function<void(TQuery&)> m_onCalcFields;
    std::vector<QVariant> m_calcValues;
    // The row whose calculated values m_calcValues holds; kNoCalcRow when they are of
    // no row (currentRow() is -1 only on an empty or closed set).
    static constexpr int kNoCalcRow = -2;
    int m_calcRow = kNoCalcRow;
    bool m_inCalc = false;
};
