#include "database/TRowSet.h"

#include <QDateTime>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
const std::vector<int> kNoRows;

// Firebird's CHAR type (SQL_TEXT); its values come back padded with blanks.
constexpr int kSqlText = 452;

void collectEqualities(const TFilter::Node& node, std::vector<const TFilter::Node*>& out)
{
    if (node.kind == TFilter::Node::Kind::And) {
        collectEqualities(*node.left, out);
        collectEqualities(*node.right, out);
    } else if (node.kind == TFilter::Node::Kind::Compare && node.op == TFilter::Op::Eq) {
        out.push_back(&node);
    }
}
} // namespace

QVariant TRowSet::fromEngine(const QVariant& value, int sqlType)
{
    if (value.isNull())
        return value;
    // The type's lowest bit says whether the column may be null.
    if ((sqlType & ~1) == kSqlText && value.metaType().id() == QMetaType::QString) {
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

void TRowSet::read(QSqlQuery& q, bool firstRowOnly)
{
    clear();
    const QSqlRecord record = q.record();
    m_columns = record.count();
    std::vector<int> sqlTypes(m_columns);
    for (int c = 0; c < m_columns; ++c)
        sqlTypes[c] = record.field(c).typeID();
    while (q.next()) {
        for (int c = 0; c < m_columns; ++c)
            m_data.push_back(fromEngine(q.value(c), sqlTypes[c]));
        if (firstRowOnly)
            break;
    }
}

void TRowSet::clear()
{
    m_data.clear();
    m_originalRows.clear();
    m_filter.reset();
    m_view.clear();
    m_viewAll = true;
    invalidateIndexes();
}

void TRowSet::set(int r, const std::vector<QVariant>& values)
{
    std::copy(values.begin(), values.begin() + m_columns, mutableRow(r));
    invalidateIndexes();
}

void TRowSet::insert(int at, const std::vector<QVariant>& values)
{
    m_data.insert(m_data.begin() + size_t(at) * m_columns, values.begin(), values.begin() + m_columns);
    if (!m_originalRows.isEmpty()) {
        QHash<int, std::vector<QVariant>> moved;
        for (auto it = m_originalRows.begin(); it != m_originalRows.end(); ++it)
            moved.insert(it.key() >= at ? it.key() + 1 : it.key(), it.value());
        m_originalRows = std::move(moved);
    }
    invalidateIndexes();
}

void TRowSet::erase(int r)
{
    m_data.erase(m_data.begin() + size_t(r) * m_columns, m_data.begin() + size_t(r + 1) * m_columns);
    QHash<int, std::vector<QVariant>> moved;
    for (auto it = m_originalRows.begin(); it != m_originalRows.end(); ++it)
        if (it.key() != r)
            moved.insert(it.key() > r ? it.key() - 1 : it.key(), it.value());
    m_originalRows = std::move(moved);
    invalidateIndexes();
}

void TRowSet::keepOriginal(int r)
{
    if (!m_originalRows.contains(r))
        m_originalRows.insert(r, copy(r));
}

const std::vector<QVariant>* TRowSet::original(int r) const
{
    const auto it = m_originalRows.constFind(r);
    return it != m_originalRows.cend() ? &it.value() : nullptr;
}

void TRowSet::rebuildView(bool filtered)
{
    m_view.clear();
    m_viewAll = !filtered || !m_filter;
    if (m_viewAll)
        return;
    const TFilter::Node& root = *m_filter;
    std::vector<const TFilter::Node*> equalities;
    collectEqualities(root, equalities);
    if (!equalities.empty()) {
        const TFilter::Node* eq = equalities.front();
        for (int r : rowsWithKey(eq->columnIndex, TFilter::keyOfText(eq->value)))
            if (TFilter::matches(root, row(r)))
                m_view.push_back(r);
        return;
    }
    for (int r = 0; r < size(); ++r)
        if (TFilter::matches(root, row(r)))
            m_view.push_back(r);
}

int TRowSet::viewFind(int r) const
{
    if (m_viewAll)
        return r >= 0 && r < size() ? r : -1;
    const auto it = std::find(m_view.begin(), m_view.end(), r);
    return it != m_view.end() ? int(it - m_view.begin()) : -1;
}

const std::vector<int>& TRowSet::rowsWithKey(int column, const QString& foldedKey) const
{
    if (column < 0 || column >= m_columns)
        return kNoRows;
    if (int(m_indexes.size()) < m_columns)
        m_indexes.resize(m_columns);
    if (!m_indexes[column]) {
        auto index = std::make_unique<Index>();
        index->rows.reserve(qsizetype(size() / 4 + 1));
        for (int r = 0; r < size(); ++r)
            index->rows[TFilter::keyOf(row(r)[column])].push_back(r);
        m_indexes[column] = std::move(index);
    }
    const auto it = m_indexes[column]->rows.constFind(foldedKey);
    return it == m_indexes[column]->rows.cend() ? kNoRows : it.value();
}
