#include "database/TQuery.h"

#include "database/EDatabaseError.h"
#include "database/TDatabase.h"
#include "database/TFilter.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>
#include <QSqlRecord>

namespace TFilterDetail {
struct Compiled {
    std::unique_ptr<TFilter::Node> root;
};
} // namespace TFilterDetail

struct TQuery::Index {
    QHash<QString, std::vector<int>> rows;
};

namespace {
const std::vector<int> kNoRows;

// Firebird's CHAR type (SQL_TEXT); its values come back padded with blanks.
constexpr int kSqlText = 452;

bool isDdl(const QString& text)
{
    static const QRegularExpression ddl(QStringLiteral("^\\s*(CREATE|ALTER|RECREATE)\\s+TABLE\\b"),
                                        QRegularExpression::CaseInsensitiveOption);
    return ddl.match(text).hasMatch();
}

// The old DATE type held a time of day; Firebird's dialect 3 DATE does not.
QString mapOldDateType(const QString& text)
{
    static const QRegularExpression date(QStringLiteral("\\bDATE\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    QString out = text;
    out.replace(date, QStringLiteral("TIMESTAMP"));
    return out;
}

// Each statement runs by itself; a trailing ";" is a terminator, not part of it.
QString stripTerminator(QString text)
{
    while (true) {
        const QString trimmed = text.trimmed();
        if (trimmed.endsWith(QLatin1Char(';')))
            text = trimmed.left(trimmed.size() - 1);
        else
            return trimmed;
    }
}

QString tableOf(const QString& sql)
{
    static const QRegularExpression from(QStringLiteral("\\bfrom\\s+([A-Za-z_][A-Za-z0-9_$]*)"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = from.match(sql);
    return m.hasMatch() ? m.captured(1).toUpper() : QString();
}

void collectEqualities(const TFilter::Node& node, std::vector<const TFilter::Node*>& out)
{
    if (node.kind == TFilter::Node::Kind::And) {
        collectEqualities(*node.left, out);
        collectEqualities(*node.right, out);
    } else if (node.kind == TFilter::Node::Kind::Compare && node.op == TFilter::Op::Eq) {
        out.push_back(&node);
    }
}

QVariant normalizeRead(const QVariant& value, int sqlType)
{
    if (value.isNull())
        return value;
    if (sqlType == kSqlText && value.metaType().id() == QMetaType::QString) {
        const QString s = value.toString();
        int end = s.size();
        while (end > 0 && s.at(end - 1) == QLatin1Char(' '))
            --end;
        const QStringView trimmed = QStringView(s).left(end);
        // Short fixed-width codes (a grant's type letter) repeat on every row: one
        // shared copy of each saves an allocation per row.
        if (end <= 4) {
            static QHash<QString, QVariant> shared;
            auto it = shared.constFind(trimmed.toString());
            if (it == shared.cend())
                it = shared.insert(trimmed.toString(), QVariant(trimmed.toString()));
            return it.value();
        }
        return trimmed.toString();
    }
    if (value.metaType().id() == QMetaType::QDate)
        return QDateTime(value.toDate(), QTime(0, 0));
    return value;
}

// Runs a statement with positional values; throws with the engine's text.
void execPositional(QSqlQuery& q, const QString& text, const std::vector<QVariant>& binds)
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

bool sameValue(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a == b;
}
} // namespace

TQuery::TQuery(QObject* owner) : QObject(owner) {}

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
    m_sql = lines;
    parseParams();
}

namespace {
// Calls found(start, end, name) for every ":name" outside quoted text.
template <typename Found>
void scanParams(const QString& text, Found found)
{
    QChar quote;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            continue;
        }
        if (c != QLatin1Char(':') || i + 1 >= text.size())
            continue;
        if (i > 0 && (text.at(i - 1) == QLatin1Char(':') || text.at(i - 1).isLetterOrNumber()))
            continue;
        int j = i + 1;
        while (j < text.size() && (text.at(j).isLetterOrNumber() || text.at(j) == QLatin1Char('_')))
            ++j;
        if (j == i + 1)
            continue;
        found(i, j, text.mid(i + 1, j - i - 1));
        i = j - 1;
    }
}
} // namespace

void TQuery::parseParams()
{
    std::vector<Param> params;
    scanParams(sql(), [&](int, int, const QString& name) {
        for (const Param& p : params)
            if (p.name.compare(name, Qt::CaseInsensitive) == 0)
                return;
        params.push_back({name, QVariant()});
    });
    // Values already set for names that remain are kept.
    for (Param& p : params)
        if (Param* old = findParam(p.name))
            p.value = old->value;
    m_params = std::move(params);
}

QStringList TQuery::paramNames() const
{
    QStringList names;
    for (const Param& p : m_params)
        names << p.name;
    return names;
}

TQuery::Param* TQuery::findParam(const QString& name)
{
    for (Param& p : m_params)
        if (p.name.compare(name, Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

bool TQuery::hasParam(const QString& name) const
{
    return const_cast<TQuery*>(this)->findParam(name) != nullptr;
}

void TQuery::setParam(const QString& name, const QVariant& value)
{
    Param* p = findParam(name);
    if (!p)
        throw EDatabaseError(QStringLiteral("Parameter '%1' not found").arg(name));
    p->value = value;
}

void TQuery::setParamInteger(const QString& name, qint64 value)
{
    setParam(name, value >= INT_MIN && value <= INT_MAX ? QVariant(int(value)) : QVariant(value));
}
void TQuery::setParamString(const QString& name, const QString& value) { setParam(name, value); }
void TQuery::setParamDate(const QString& name, const QDate& value)
{
    setParam(name, QDateTime(value, QTime(0, 0)));
}
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

QString TQuery::statementText() const
{
    QString text = stripTerminator(sql());
    if (isDdl(text))
        text = mapOldDateType(text);
    return text;
}

bool TQuery::runStatement(QSqlQuery& q, const QString& text) const
{
    // DDL and trigger bodies go unprepared: prepare() would rewrite ":name".
    if (m_params.empty())
        return q.exec(text);
    // The driver cannot send a null for a parameter the engine describes as NOT
    // NULL (it sends an empty text), so nulls go into the text as NULL and the engine
    // refuses them where the column forbids them.
    QString prepared;
    int copied = 0;
    scanParams(text, [&](int start, int end, const QString& name) {
        const Param* p = const_cast<TQuery*>(this)->findParam(name);
        if (p && p->value.isNull()) {
            prepared += QStringView(text).mid(copied, start - copied);
            prepared += QLatin1String("NULL");
            copied = end;
        }
    });
    prepared += QStringView(text).mid(copied);
    if (!q.prepare(prepared))
        return false;
    for (const Param& p : m_params)
        if (!p.value.isNull())
            q.bindValue(QLatin1Char(':') + p.name, p.value);
    return q.exec();
}

void TQuery::execSQL()
{
    TDatabase* db = acquireConnection();
    const QString text = statementText();
    QSqlQuery q(db->sqlDatabase());
    if (!runStatement(q, text)) {
        const QString error = q.lastError().text();
        q.clear();
        if (!active())
            releaseConnection();
        throw EDatabaseError(error);
    }
    static const QRegularExpression dml(QStringLiteral("^\\s*(INSERT|UPDATE|DELETE|MERGE)\\b"),
                                        QRegularExpression::CaseInsensitiveOption);
    m_rowsAffected = dml.match(text).hasMatch() ? q.numRowsAffected() : 0;
    q.clear();
    if (!active())
        releaseConnection();
}

void TQuery::open()
{
    if (active())
        return;
    TDatabase* db = acquireConnection();
    const QString text = statementText();
    RowStore rows;
    std::vector<int> sqlTypes;
    QSqlRecord record;
    {
        QSqlQuery q(db->sqlDatabase());
        q.setForwardOnly(true);
        if (!runStatement(q, text)) {
            const QString error = q.lastError().text();
            q.clear();
            releaseConnection();
            throw EDatabaseError(error);
        }
        record = q.record();
        const int columns = record.count();
        rows.columns = columns;
        sqlTypes.resize(columns);
        for (int c = 0; c < columns; ++c)
            sqlTypes[c] = record.field(c).typeID();
        // An INSERT ... RETURNING yields one row; the driver would repeat it forever.
        static const QRegularExpression select(QStringLiteral("^\\s*(SELECT|WITH)\\b"),
                                               QRegularExpression::CaseInsensitiveOption);
        const bool singleton = !select.match(text).hasMatch();
        while (q.next()) {
            for (int c = 0; c < columns; ++c)
                rows.data.push_back(normalizeRead(q.value(c), sqlTypes[c]));
            if (singleton)
                break;
        }
        // Ends the SELECT's transaction now, not when the record set closes.
        q.clear();
    }

    // Keep calculated fields declared before opening; rebuild the data fields, but
    // keep what callers set on them for display (labels, widths, alignment).
    std::vector<std::unique_ptr<TField>> calculated;
    std::vector<std::unique_ptr<TField>> previous;
    for (auto& f : m_fields)
        (f->isCalculated() ? calculated : previous).push_back(std::move(f));
    m_fields.clear();
    for (int c = 0; c < record.count(); ++c) {
        const QSqlField f = record.field(c);
        QMetaType::Type type = QMetaType::Type(f.metaType().id());
        if (type == QMetaType::QDate)
            type = QMetaType::QDateTime;
        // A joined column that repeats a name is told apart by a number: USER_ID_1.
        QString name = f.name();
        for (int n = 1; findField(name); ++n)
            name = f.name() + QLatin1Char('_') + QString::number(n);
        m_fields.push_back(std::make_unique<TField>(this, c, name, type,
                                                    f.length() > 0 && type == QMetaType::QString ? f.length() : 0,
                                                    false));
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

    m_rows = std::move(rows);
    m_originalRows.clear();
    m_tableName = tableOf(sql());
    m_keyColumns.clear();
    m_keysLoaded = false;
    m_state = State::Browse;
    invalidateIndexes();
    m_compiledFilter.reset();
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
    m_originalRows.clear();
    m_view.clear();
    m_viewAll = true;
    m_pos = -1;
    m_eof = m_bof = true;
    m_buffer.clear();
    m_oldBuffer.clear();
    m_assigned.clear();
    m_calcRow = -2;
    m_compiledFilter.reset();
    invalidateIndexes();
    releaseConnection();
    emit stateChanged();
    emit dataChanged();
}

void TQuery::loadKeyColumns()
{
    if (m_keysLoaded || m_tableName.isEmpty() || !m_connection)
        return;
    m_keysLoaded = true;
    m_keyColumns.clear();
    const QSqlIndex index = m_connection->sqlDatabase().primaryIndex(m_tableName);
    for (int i = 0; i < index.count(); ++i) {
        const QString name = index.field(i).name();
        for (int c = 0; c < m_dataColumns; ++c)
            if (m_fields[c]->fieldName().compare(name, Qt::CaseInsensitive) == 0)
                m_keyColumns.push_back(c);
    }
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
    m_calcRow = -2;
    emit dataChanged();
}

void TQuery::checkBrowse(const char* what) const
{
    if (m_state == State::Inactive)
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset (%1)")
                                 .arg(QLatin1String(what)));
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
    m_calcRow = -2;
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
    m_calcRow = -2;
    emit dataChanged();
}

void TQuery::moveTo(int recNo)
{
    checkBrowse("moveTo");
    setPosition(recNo - 1);
}

void TQuery::setFilter(const QString& expression)
{
    std::unique_ptr<TFilterDetail::Compiled> compiled;
    if (!expression.trimmed().isEmpty() && active()) {
        compiled = std::make_unique<TFilterDetail::Compiled>();
        compiled->root = TFilter::parse(expression);
        TFilter::bind(*compiled->root, fieldNames());
    } else if (!expression.trimmed().isEmpty()) {
        TFilter::parse(expression); // reports a malformed expression at once
    }
    m_filterText = expression;
    m_compiledFilter = std::move(compiled);
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

void TQuery::rebuildView()
{
    m_view.clear();
    m_viewAll = !m_filtered || !m_compiledFilter;
    if (m_viewAll)
        return;
    const TFilter::Node& root = *m_compiledFilter->root;
    std::vector<const TFilter::Node*> equalities;
    collectEqualities(root, equalities);
    if (!equalities.empty()) {
        const TFilter::Node* eq = equalities.front();
        for (int row : rowsWithKey(eq->columnIndex, TFilter::keyOfText(eq->value)))
            if (TFilter::matches(root, m_rows.row(row)))
                m_view.push_back(row);
        return;
    }
    for (int i = 0; i < m_rows.size(); ++i)
        if (TFilter::matches(root, m_rows.row(i)))
            m_view.push_back(i);
}

void TQuery::invalidateIndexes() { m_indexes.clear(); }

int TQuery::viewFind(int row) const
{
    if (m_viewAll)
        return row >= 0 && row < m_rows.size() ? row : -1;
    const auto it = std::find(m_view.begin(), m_view.end(), row);
    return it != m_view.end() ? int(it - m_view.begin()) : -1;
}

const std::vector<int>& TQuery::rowsWithKey(int column, const QString& foldedKey) const
{
    if (column < 0 || column >= m_dataColumns)
        return kNoRows;
    if (int(m_indexes.size()) < m_dataColumns)
        m_indexes.resize(m_dataColumns);
    if (!m_indexes[column]) {
        auto index = std::make_unique<Index>();
        index->rows.reserve(qsizetype(m_rows.size() / 4 + 1));
        for (int r = 0; r < m_rows.size(); ++r)
            index->rows[TFilter::keyOf(m_rows.row(r)[column])].push_back(r);
        m_indexes[column] = std::move(index);
    }
    const auto it = m_indexes[column]->rows.constFind(foldedKey);
    return it == m_indexes[column]->rows.cend() ? kNoRows : it.value();
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
    m_fields.push_back(
        std::make_unique<TField>(this, int(m_fields.size()), name, QMetaType::QString, size, true));
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
    const auto it = m_originalRows.constFind(row);
    return it != m_originalRows.cend() ? it.value()[index] : m_rows.row(row)[index];
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
        const auto it = m_originalRows.constFind(currentRow());
        m_oldBuffer = it != m_originalRows.cend() ? it.value() : m_buffer;
    }
    m_calcRow = -2;
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
    m_calcRow = -2;
    emit stateChanged();
    emit dataChanged();
}

QString TQuery::whereForRow(const std::vector<QVariant>& values, std::vector<QVariant>& binds) const
{
    QStringList parts;
    // By primary key; a table without one by all of the row's old values.
    std::vector<int> columns = m_keyColumns;
    if (columns.empty())
        for (int c = 0; c < m_dataColumns; ++c)
            columns.push_back(c);
    for (int c : columns) {
        if (values[c].isNull()) {
            parts << m_fields[c]->fieldName() + QStringLiteral(" IS NULL");
        } else {
            parts << m_fields[c]->fieldName() + QStringLiteral(" = ?");
            binds.push_back(values[c]);
        }
    }
    return parts.join(QStringLiteral(" AND "));
}

void TQuery::writeInsert()
{
    QStringList columns, marks, all;
    std::vector<QVariant> binds;
    for (int c = 0; c < m_dataColumns; ++c) {
        all << m_fields[c]->fieldName();
        if (m_assigned[c]) {
            columns << m_fields[c]->fieldName();
            // A null goes in as NULL: the driver would send an empty text instead.
            if (m_buffer[c].isNull()) {
                marks << QStringLiteral("NULL");
            } else {
                marks << QStringLiteral("?");
                binds.push_back(m_buffer[c]);
            }
        }
    }
    QString text = QStringLiteral("INSERT INTO ") + m_tableName;
    text += columns.isEmpty() ? QStringLiteral(" DEFAULT VALUES")
                              : QStringLiteral(" (") + columns.join(QLatin1Char(',')) +
                                    QStringLiteral(") VALUES (") + marks.join(QLatin1Char(',')) +
                                    QLatin1Char(')');
    text += QStringLiteral(" RETURNING ") + all.join(QLatin1Char(','));
    QSqlQuery q(m_connection->sqlDatabase());
    execPositional(q, text, binds);
    if (q.next()) {
        const QSqlRecord rec = q.record();
        for (int c = 0; c < m_dataColumns && c < rec.count(); ++c)
            m_buffer[c] = normalizeRead(q.value(c), rec.field(c).typeID());
    }
    q.clear();
}

void TQuery::writeUpdate(int row)
{
    const std::vector<QVariant> old = m_rows.copy(row);
    QStringList sets;
    std::vector<QVariant> binds;
    for (int c = 0; c < m_dataColumns; ++c) {
        if (!m_assigned[c] || sameValue(m_buffer[c], old[c]))
            continue;
        if (m_buffer[c].isNull()) {
            sets << m_fields[c]->fieldName() + QStringLiteral(" = NULL");
        } else {
            sets << m_fields[c]->fieldName() + QStringLiteral(" = ?");
            binds.push_back(m_buffer[c]);
        }
    }
    if (sets.isEmpty())
        return;
    const QString where = whereForRow(old, binds);
    QString text = QStringLiteral("UPDATE ") + m_tableName + QStringLiteral(" SET ") +
                   sets.join(QStringLiteral(", ")) + QStringLiteral(" WHERE ") + where;
    if (m_keyColumns.empty())
        text += QStringLiteral(" ROWS 1");
    QSqlQuery q(m_connection->sqlDatabase());
    execPositional(q, text, binds);
    const int affected = q.numRowsAffected();
    q.clear();
    if (affected == 0)
        throw EDatabaseError(QStringLiteral("Record changed by another user or deleted"));
}

void TQuery::writeDelete(int row)
{
    std::vector<QVariant> binds;
    const QString where = whereForRow(m_rows.copy(row), binds);
    QString text = QStringLiteral("DELETE FROM ") + m_tableName + QStringLiteral(" WHERE ") + where;
    if (m_keyColumns.empty())
        text += QStringLiteral(" ROWS 1");
    QSqlQuery q(m_connection->sqlDatabase());
    execPositional(q, text, binds);
    q.clear();
}

void TQuery::post()
{
    if (m_state != State::Edit && m_state != State::Insert)
        return;
    const bool writeThrough = m_requestLive && !m_cachedUpdates;
    if (writeThrough) {
        acquireConnection();
        if (m_tableName.isEmpty())
            throw EDatabaseError(QStringLiteral("Cannot find the table of this dataset"));
        loadKeyColumns();
    }
    int newRow;
    if (m_state == State::Insert) {
        if (writeThrough)
            writeInsert();
        const int at = std::clamp(m_insertRow, 0, m_rows.size());
        m_rows.insert(at, m_buffer);
        // Rows after the insertion point move down by one.
        if (!m_originalRows.isEmpty()) {
            QHash<int, std::vector<QVariant>> moved;
            for (auto it = m_originalRows.begin(); it != m_originalRows.end(); ++it)
                moved.insert(it.key() >= at ? it.key() + 1 : it.key(), it.value());
            m_originalRows = std::move(moved);
        }
        newRow = at;
    } else {
        const int row = currentRow();
        if (writeThrough)
            writeUpdate(row);
        else if (m_cachedUpdates && !m_originalRows.contains(row))
            m_originalRows.insert(row, m_rows.copy(row));
        m_rows.set(row, m_buffer);
        newRow = row;
    }
    m_state = State::Browse;
    m_buffer.clear();
    m_assigned.clear();
    invalidateIndexes();
    rebuildView();
    const int pos = viewFind(newRow);
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
        loadKeyColumns();
        writeDelete(row);
    }
    m_rows.erase(row);
    QHash<int, std::vector<QVariant>> moved;
    for (auto it = m_originalRows.begin(); it != m_originalRows.end(); ++it)
        if (it.key() != row)
            moved.insert(it.key() > row ? it.key() - 1 : it.key(), it.value());
    m_originalRows = std::move(moved);
    const int pos = m_pos;
    invalidateIndexes();
    rebuildView();
    setPosition(pos);
}
