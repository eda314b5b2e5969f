#include "database/TQuery.h"

#include "database/EDatabaseError.h"
#include "database/TDatabase.h"
#include "database/TFilter.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

TQuery::TQuery(QObject* owner) : QObject(owner) { }

TQuery::~TQuery()
{
    m_state = State::Inactive;
    releaseConnection();
}

void TQuery::setDatabaseName(const QString& name)
{
    if (active())
        close();
    m_databaseName = name;
}

void TQuery::setSQL(const QString& text) { setSQL(text.split(QLatin1Char('\n'))); }

void TQuery::setSQL(const QStringList& lines)
{
    if (active())
        close();
    m_statement.setLines(lines);
}

QStringList TQuery::paramNames() const { return m_statement.paramNames(); }
bool TQuery::hasParam(const QString& name) const { return m_statement.hasParam(name); }
void TQuery::setParam(const QString& name, const QVariant& value) { m_statement.setParam(name, value); }

void TQuery::setParamInteger(const QString& name, qint64 value)
{
    setParam(name, value >= INT_MIN && value <= INT_MAX ? QVariant(int(value)) : QVariant(value));
}
void TQuery::setParamString(const QString& name, const QString& value) { setParam(name, value); }
void TQuery::setParamDate(const QString& name, const QDate& value) { setParam(name, QDateTime(value, QTime(0, 0))); }
void TQuery::setParamDateTime(const QString& name, const QDateTime& value) { setParam(name, value); }
void TQuery::setParamNull(const QString& name) { setParam(name, QVariant()); }

TDatabase* TQuery::acquireConnection()
{
    if (!m_connection) {
        m_connection = TDatabase::connectionFor(m_databaseName);
        m_connection->attach();
    } else if (!m_connection->connected()) {
        m_connection->open();
    }
    return m_connection;
}

void TQuery::releaseConnection()
{
    if (m_connection) {
        m_connection->detach();
        m_connection = nullptr;
    }
}

QSqlQuery* TQuery::kept(TDatabase* db)
{
    // Only within one transaction: Qt's driver runs a prepared statement in the
    // transaction it was prepared in, which is over once the connection commits.
    if (!db->inTransaction()) {
        m_kept.reset();
        return nullptr;
    }
    if (!m_kept || m_keptOn != db || m_keptTransaction != db->transactionNumber()) {
        m_kept = std::make_unique<QSqlQuery>(db->sqlDatabase());
        m_kept->setForwardOnly(true);
        m_keptOn = db;
        m_keptTransaction = db->transactionNumber();
    }
    return m_kept.get();
}

void TQuery::dropKept() { m_kept.reset(); }

void TQuery::execSQL()
{
    TDatabase* db = acquireConnection();
    const QString text = m_statement.engineText();
    try {
        db->performWaiting([&] {
            QSqlQuery* reused = kept(db);
            QSqlQuery own(db->sqlDatabase());
            QSqlQuery& q = reused ? *reused : own;
            if (!m_statement.run(q, text, reused != nullptr)) {
                const QString error = q.lastError().text();
                own.clear();
                dropKept();
                throw EDatabaseError(error);
            }
            m_rowsAffected = TStatementText::changesRows(text) ? q.numRowsAffected() : 0;
            if (reused)
                q.finish();
            else
                q.clear();
        });
    } catch (...) {
        if (!active())
            releaseConnection();
        throw;
    }
    if (!active())
        releaseConnection();
}

void TQuery::open()
{
    if (active())
        return;
    TDatabase* db = acquireConnection();
    const QString text = m_statement.engineText();
    QSqlRecord record;
    // Only a select that locks its rows, or a change that returns values, can wait on
    // another transaction.
    const auto perform = TStatementText::locksRows(text) || TStatementText::changesRows(text)
                             ? &TDatabase::performWaiting
                             : &TDatabase::perform;
    try {
        (db->*perform)([&] {
            QSqlQuery* reused = kept(db);
            QSqlQuery own(db->sqlDatabase());
            own.setForwardOnly(true);
            QSqlQuery& q = reused ? *reused : own;
            if (!m_statement.run(q, text, reused != nullptr)) {
                const QString error = q.lastError().text();
                own.clear();
                dropKept();
                throw EDatabaseError(error);
            }
            record = q.record();
            // An INSERT ... RETURNING yields one row.
            m_rows.read(q, !TStatementText::returnsRowSet(text));
            // A row the engine could not deliver (a lock conflict is only found when the
            // row is fetched) ends next() like the last row did: it is a failure.
            if (q.lastError().isValid()) {
                const QString error = q.lastError().text();
                own.clear();
                dropKept();
                throw EDatabaseError(error);
            }
            // Ends the SELECT's transaction now, not when the record set closes (in a
            // transaction of the connection, the statement stays prepared in it).
            if (reused)
                q.finish();
            else
                q.clear();
        });
    } catch (...) {
        releaseConnection();
        throw;
    }

    // Keep calculated fields declared before opening; rebuild the data fields, but
    // keep what callers set on them for display (labels, widths, alignment).
    std::vector<std::unique_ptr<TField>> calculated;
    std::vector<std::unique_ptr<TField>> previous;
    for (auto& f : m_fields)
        (f->isCalculated() ? calculated : previous).push_back(std::move(f));
    m_fields.clear();
    QStringList columns;
    for (int c = 0; c < record.count(); ++c) {
        const QSqlField f = record.field(c);
        QMetaType::Type type = QMetaType::Type(f.metaType().id());
        if (type == QMetaType::QDate)
            type = QMetaType::QDateTime;
        // A joined column that repeats a name is told apart by a number: USER_ID_1.
        QString name = f.name();
        for (int n = 1; findField(name); ++n)
            name = f.name() + QLatin1Char('_') + QString::number(n);
        // The engine gives a text column's length in bytes of the connection's
        // character set, UTF-8: up to four bytes a character.
        const int chars = f.length() > 0 && type == QMetaType::QString ? std::max(1, int(f.length()) / 4) : 0;
        m_fields.push_back(std::make_unique<TField>(this, c, name, type, chars, false));
        columns << f.name();
        for (const auto& old : previous)
            if (old->fieldName().compare(name, Qt::CaseInsensitive) == 0)
                m_fields.back()->assignDisplay(*old);
    }
    m_dataColumns = int(m_fields.size());
    // Calculated fields keep their objects: callers may hold them.
    for (auto& f : calculated) {
        f->setIndex(int(m_fields.size()));
        m_fields.push_back(std::move(f));
    }

    m_writer.setTable(TStatementText::tableOf(sql()), columns);
    m_state = State::Browse;
    if (m_filtered && !m_filterText.trimmed().isEmpty()) {
        try {
            setFilter(m_filterText);
        } catch (...) {
            close();
            throw;
        }
    }
    rebuildView();
    setPosition(viewSize() == 0 ? -1 : 0);
    emit stateChanged();
}

void TQuery::close()
{
    if (!active())
        return;
    m_state = State::Inactive;
    m_rows.clear();
    m_pos = -1;
    m_eof = m_bof = true;
    m_buffer.clear();
    m_oldBuffer.clear();
    m_assigned.clear();
    m_calcRow = kNoCalcRow;
    releaseConnection();
    emit stateChanged();
    emit dataChanged();
}

void TQuery::setPosition(int pos)
{
    if (viewSize() == 0) {
        m_pos = -1;
        m_eof = m_bof = true;
    } else {
        m_pos = std::clamp(pos, 0, viewSize() - 1);
        m_bof = m_eof = false;
    }
    m_calcRow = kNoCalcRow;
    emit dataChanged();
}

void TQuery::checkBrowse(const char* what) const
{
    if (m_state == State::Inactive)
        throw EDatabaseError(
            QStringLiteral("Cannot perform this operation on a closed dataset (%1)").arg(QLatin1String(what)));
}

void TQuery::first()
{
    checkBrowse("first");
    if (m_state != State::Browse)
        post();
    setPosition(0);
    m_bof = true;
}

void TQuery::last()
{
    checkBrowse("last");
    if (m_state != State::Browse)
        post();
    setPosition(viewSize() - 1);
    m_eof = true;
}

void TQuery::next()
{
    checkBrowse("next");
    if (m_state != State::Browse)
        post();
    m_bof = false;
    if (m_pos < 0 || m_pos + 1 >= viewSize()) {
        m_eof = true;
        return;
    }
    ++m_pos;
    m_calcRow = kNoCalcRow;
    emit dataChanged();
}

void TQuery::prior()
{
    checkBrowse("prior");
    if (m_state != State::Browse)
        post();
    m_eof = false;
    if (m_pos <= 0) {
        m_bof = true;
        return;
    }
    --m_pos;
    m_calcRow = kNoCalcRow;
    emit dataChanged();
}

void TQuery::moveTo(int recNo)
{
    checkBrowse("moveTo");
    setPosition(recNo - 1);
}

void TQuery::setFilter(const QString& expression)
{
    std::unique_ptr<TFilter::Node> compiled;
    if (!expression.trimmed().isEmpty() && active()) {
        compiled = TFilter::parse(expression);
        TFilter::bind(*compiled, fieldNames());
    } else if (!expression.trimmed().isEmpty()) {
        TFilter::parse(expression); // reports a malformed expression at once
    }
    m_filterText = expression;
    m_rows.setFilter(std::move(compiled));
    if (active() && m_filtered) {
        if (m_state != State::Browse)
            cancel();
        rebuildView();
        setPosition(0);
    }
}

void TQuery::setFiltered(bool on)
{
    if (m_filtered == on)
        return;
    // A filter given while closed, or before this open, is compiled now; an unknown
    // column refuses the switch and leaves the record set as it was.
    if (on && active() && !m_rows.hasFilter() && !m_filterText.trimmed().isEmpty()) {
        std::unique_ptr<TFilter::Node> compiled = TFilter::parse(m_filterText);
        TFilter::bind(*compiled, fieldNames());
        m_rows.setFilter(std::move(compiled));
    }
    m_filtered = on;
    if (active()) {
        if (m_state != State::Browse)
            cancel();
        const int row = currentRow();
        rebuildView();
        if (!on && row >= 0) {
            // Filtering off keeps the current row.
            setPosition(row);
        } else {
            setPosition(0);
        }
    }
}

bool TQuery::findFirst()
{
    checkBrowse("findFirst");
    setPosition(0);
    return viewSize() > 0;
}

const std::vector<int>& TQuery::rowsWithKey(int column, const QString& foldedKey) const
{
    return m_rows.rowsWithKey(column, foldedKey);
}

const std::vector<int>& TQuery::rowsWithValue(int column, const QVariant& value) const
{
    return rowsWithKey(column, TFilter::keyOf(value));
}

TField* TQuery::findField(const QString& name) const
{
    for (const auto& f : m_fields)
        if (f->fieldName().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

TField* TQuery::fieldByName(const QString& name) const
{
    TField* f = findField(name);
    if (!f)
        throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
    return f;
}

QStringList TQuery::fieldNames() const
{
    QStringList names;
    for (const auto& f : m_fields)
        names << f->fieldName();
    return names;
}

TField* TQuery::addCalculatedField(const QString& name, int size)
{
    if (active())
        throw EDatabaseError(QStringLiteral("Cannot add a field to an open dataset"));
    m_fields.push_back(std::make_unique<TField>(this, int(m_fields.size()), name, QMetaType::QString, size, true));
    return m_fields.back().get();
}

void TQuery::runCalcFields()
{
    const int calcCount = int(m_fields.size()) - m_dataColumns;
    m_calcValues.assign(std::max(calcCount, 0), QVariant());
    m_calcRow = currentRow();
    if (m_onCalcFields && calcCount > 0 && !m_inCalc) {
        m_inCalc = true;
        try {
            m_onCalcFields(*this);
        } catch (...) {
            m_inCalc = false;
            throw;
        }
        m_inCalc = false;
    }
}

QVariant TQuery::fieldValue(int index) const
{
    if (index >= m_dataColumns) {
        if (m_state == State::Inactive || (viewSize() == 0 && m_state == State::Browse))
            return QVariant();
        if (m_calcRow != currentRow() && !m_inCalc)
            const_cast<TQuery*>(this)->runCalcFields();
        const int c = index - m_dataColumns;
        return c < int(m_calcValues.size()) ? m_calcValues[c] : QVariant();
    }
    if (m_state == State::Edit || m_state == State::Insert)
        return m_buffer[index];
    const int row = currentRow();
    if (row < 0)
        return QVariant();
    return m_rows.row(row)[index];
}

QVariant TQuery::fieldOldValue(int index) const
{
    if (index >= m_dataColumns)
        return QVariant();
    if (m_state == State::Edit || m_state == State::Insert)
        return m_oldBuffer[index];
    const int row = currentRow();
    if (row < 0)
        return QVariant();
    const std::vector<QVariant>* original = m_rows.original(row);
    return original ? (*original)[index] : m_rows.row(row)[index];
}

void TQuery::setFieldValue(int index, const QVariant& value)
{
    if (index >= m_dataColumns) {
        // Calculated fields take values only from the handler.
        const int c = index - m_dataColumns;
        if (m_calcRow != currentRow())
            runCalcFields();
        if (c < int(m_calcValues.size()))
            m_calcValues[c] = value;
        return;
    }
    if (m_state == State::Browse)
        edit();
    if (m_state != State::Edit && m_state != State::Insert)
        throw EDatabaseError(QStringLiteral("Dataset not in edit or insert mode"));
    m_buffer[index] = value;
    m_assigned[index] = true;
    emit dataChanged();
}

void TQuery::startEditing(State state, int insertRow)
{
    m_state = state;
    m_insertRow = insertRow;
    m_assigned.assign(m_dataColumns, false);
    if (state == State::Insert) {
        m_buffer.assign(m_dataColumns, QVariant());
        m_oldBuffer.assign(m_dataColumns, QVariant());
    } else {
        m_buffer = m_rows.copy(currentRow());
        const std::vector<QVariant>* original = m_rows.original(currentRow());
        m_oldBuffer = original ? *original : m_buffer;
    }
    m_calcRow = kNoCalcRow;
    emit stateChanged();
    emit dataChanged();
}

void TQuery::append()
{
    checkBrowse("append");
    if (m_state != State::Browse)
        post();
    if (!m_requestLive && !m_cachedUpdates)
        throw EDatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
    startEditing(State::Insert, m_rows.size());
}

void TQuery::insert()
{
    checkBrowse("insert");
    if (m_state != State::Browse)
        post();
    if (!m_requestLive && !m_cachedUpdates)
        throw EDatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
    const int row = currentRow();
    startEditing(State::Insert, row < 0 ? m_rows.size() : row);
}

void TQuery::edit()
{
    checkBrowse("edit");
    if (m_state == State::Edit || m_state == State::Insert)
        return;
    if (!m_requestLive && !m_cachedUpdates)
        throw EDatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
    if (viewSize() == 0) {
        insert();
        return;
    }
    startEditing(State::Edit, -1);
}

void TQuery::cancel()
{
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    m_state = State::Browse;
    m_buffer.clear();
    m_assigned.clear();
    m_calcRow = kNoCalcRow;
    emit stateChanged();
    emit dataChanged();
}

void TQuery::post()
{
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    const bool writeThrough = m_requestLive && !m_cachedUpdates;
    if (writeThrough) {
        acquireConnection();
        if (m_writer.table().isEmpty())
            throw EDatabaseError(QStringLiteral("Cannot find the table of this dataset"));
    }
    int newRow;
    if (m_state == State::Insert) {
        if (writeThrough)
            m_connection->performWaiting([&] { m_writer.insert(m_connection->sqlDatabase(), m_buffer, m_assigned); });
        const int at = std::clamp(m_insertRow, 0, m_rows.size());
        m_rows.insert(at, m_buffer);
        newRow = at;
    } else {
        const int row = currentRow();
        if (writeThrough)
            m_connection->performWaiting(
                [&] { m_writer.update(m_connection->sqlDatabase(), m_rows.copy(row), m_buffer, m_assigned); });
        else if (m_cachedUpdates)
            m_rows.keepOriginal(row);
        m_rows.set(row, m_buffer);
        newRow = row;
    }
    m_state = State::Browse;
    m_buffer.clear();
    m_assigned.clear();
    rebuildView();
    const int pos = m_rows.viewFind(newRow);
    setPosition(pos >= 0 ? pos : m_pos);
    emit stateChanged();
}

void TQuery::deleteRecord()
{
    checkBrowse("delete");
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (m_state == State::Edit)
        cancel();
    const int row = currentRow();
    if (row < 0)
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    if (!m_requestLive && !m_cachedUpdates)
        throw EDatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
    if (m_requestLive && !m_cachedUpdates) {
        acquireConnection();
        m_connection->performWaiting([&] { m_writer.remove(m_connection->sqlDatabase(), m_rows.copy(row)); });
    }
    m_rows.erase(row);
    const int pos = m_pos;
    rebuildView();
    setPosition(pos);
}
