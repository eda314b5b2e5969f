#include "database/TFilter.h"

#include "database/EDatabaseError.h"

#include <QDateTime>

namespace {

// Filters are a column compared with a value, a few of them combined. These bounds
// are far beyond any real filter and keep parsing, matching and freeing the
// expression (all recursive) well inside the stack: a longer text, deeper
// parentheses or more comparisons are refused as an invalid filter expression.
constexpr int kMaxLength = 8192;
constexpr int kMaxNesting = 32;
constexpr int kMaxComparisons = 256;

class Parser {
public:
    explicit Parser(const QString& text) : m_text(text) { }

    std::unique_ptr<TFilter::Node> parseAll()
    {
        if (m_text.size() > kMaxLength)
            throw EDatabaseError(
                QStringLiteral("Invalid filter expression (longer than %1 characters)").arg(kMaxLength));
        auto node = parseOr();
        skipSpace();
        if (m_pos < m_text.size())
            fail(QStringLiteral("unexpected text"));
        return node;
    }

private:
    [[noreturn]] void fail(const QString& why) const
    {
        throw EDatabaseError(
            QStringLiteral("Invalid filter expression (%1 at position %2): %3").arg(why).arg(m_pos + 1).arg(m_text));
    }

    void skipSpace()
    {
        while (m_pos < m_text.size() && m_text.at(m_pos).isSpace())
            ++m_pos;
    }

    bool keyword(const char* word)
    {
        skipSpace();
        const QLatin1String w(word);
        if (m_text.mid(m_pos, w.size()).compare(w, Qt::CaseInsensitive) != 0)
            return false;
        const int end = m_pos + int(w.size());
        if (end < m_text.size() && (m_text.at(end).isLetterOrNumber() || m_text.at(end) == QLatin1Char('_')))
            return false;
        m_pos = end;
        return true;
    }

    std::unique_ptr<TFilter::Node> combine(TFilter::Node::Kind kind, std::unique_ptr<TFilter::Node> l,
                                           std::unique_ptr<TFilter::Node> r)
    {
        auto node = std::make_unique<TFilter::Node>();
        node->kind = kind;
        node->left = std::move(l);
        node->right = std::move(r);
        return node;
    }

    std::unique_ptr<TFilter::Node> parseOr()
    {
        auto node = parseAnd();
        while (keyword("or"))
            node = combine(TFilter::Node::Kind::Or, std::move(node), parseAnd());
        return node;
    }

    std::unique_ptr<TFilter::Node> parseAnd()
    {
        auto node = parsePrimary();
        while (keyword("and"))
            node = combine(TFilter::Node::Kind::And, std::move(node), parsePrimary());
        return node;
    }

    std::unique_ptr<TFilter::Node> parsePrimary()
    {
        skipSpace();
        if (m_pos >= m_text.size())
            fail(QStringLiteral("expression expected"));
        if (m_text.at(m_pos) == QLatin1Char('(')) {
            if (++m_nesting > kMaxNesting)
                fail(QStringLiteral("parentheses nested deeper than %1").arg(kMaxNesting));
            ++m_pos;
            auto node = parseOr();
            --m_nesting;
            skipSpace();
            if (m_pos >= m_text.size() || m_text.at(m_pos) != QLatin1Char(')'))
                fail(QStringLiteral("')' expected"));
            ++m_pos;
            return node;
        }
        if (++m_comparisons > kMaxComparisons)
            fail(QStringLiteral("more than %1 comparisons").arg(kMaxComparisons));
        auto node = std::make_unique<TFilter::Node>();
        node->column = parseIdentifier();
        node->op = parseOp();
        node->value = parseValue();
        return node;
    }

    QString parseIdentifier()
    {
        skipSpace();
        const int start = m_pos;
        while (m_pos < m_text.size() && (m_text.at(m_pos).isLetterOrNumber() || m_text.at(m_pos) == QLatin1Char('_') ||
                                         m_text.at(m_pos) == QLatin1Char('$')))
            ++m_pos;
        if (m_pos == start)
            fail(QStringLiteral("column name expected"));
        return m_text.mid(start, m_pos - start);
    }

    TFilter::Op parseOp()
    {
        skipSpace();
        const QString two = m_text.mid(m_pos, 2);
        if (two == QLatin1String("<>")) {
            m_pos += 2;
            return TFilter::Op::Ne;
        }
        if (two == QLatin1String("<=")) {
            m_pos += 2;
            return TFilter::Op::Le;
        }
        if (two == QLatin1String(">=")) {
            m_pos += 2;
            return TFilter::Op::Ge;
        }
        if (m_pos < m_text.size()) {
            const QChar c = m_text.at(m_pos);
            if (c == QLatin1Char('=')) {
                ++m_pos;
                return TFilter::Op::Eq;
            }
            if (c == QLatin1Char('<')) {
                ++m_pos;
                return TFilter::Op::Lt;
            }
            if (c == QLatin1Char('>')) {
                ++m_pos;
                return TFilter::Op::Gt;
            }
        }
        fail(QStringLiteral("comparison operator expected"));
    }

    QString parseValue()
    {
        skipSpace();
        if (m_pos >= m_text.size() || m_text.at(m_pos) != QLatin1Char('\''))
            fail(QStringLiteral("quoted value expected"));
        ++m_pos;
        QString value;
        while (true) {
            if (m_pos >= m_text.size())
                fail(QStringLiteral("closing quote missing"));
            const QChar c = m_text.at(m_pos++);
            if (c == QLatin1Char('\'')) {
                if (m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('\'')) {
                    value += c;
                    ++m_pos;
                    continue;
                }
                break;
            }
            value += c;
        }
        return value;
    }

    const QString& m_text;
    int m_pos = 0;
    int m_nesting = 0;
    int m_comparisons = 0;
};

bool isNumeric(const QVariant& v)
{
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

QString textOf(const QVariant& v)
{
    if (v.isNull())
        return QString();
    switch (v.metaType().id()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        return dt.time() == QTime(0, 0) ? dt.date().toString(Qt::ISODate) : dt.toString(Qt::ISODate);
    }
    case QMetaType::QDate:
        return v.toDate().toString(Qt::ISODate);
    default:
        return v.toString();
    }
}
} // namespace

QString TFilter::quote(const QString& value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

QString TFilter::equals(const QString& column, const QString& value)
{
    return column + QLatin1Char('=') + quote(value);
}

QString TFilter::equals(const QString& column, qint64 value)
{
    return column + QLatin1Char('=') + quote(QString::number(value));
}

std::unique_ptr<TFilter::Node> TFilter::parse(const QString& expression) { return Parser(expression).parseAll(); }

void TFilter::bind(Node& node, const QStringList& columns)
{
    if (node.kind != Node::Kind::Compare) {
        bind(*node.left, columns);
        bind(*node.right, columns);
        return;
    }
    node.columnIndex = -1;
    for (int i = 0; i < columns.size(); ++i)
        if (columns.at(i).compare(node.column, Qt::CaseInsensitive) == 0) {
            node.columnIndex = i;
            break;
        }
    if (node.columnIndex < 0)
        throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(node.column));
}

bool TFilter::compare(const QVariant& stored, Op op, const QString& value)
{
    int order;
    bool numericDone = false;
    if (isNumeric(stored) && !stored.isNull()) {
        bool ok = false;
        const qint64 rhs = value.trimmed().toLongLong(&ok);
        if (ok && op != Op::Eq && op != Op::Ne) {
            const qint64 lhs = stored.toLongLong();
            order = lhs < rhs ? -1 : (lhs > rhs ? 1 : 0);
            numericDone = true;
        }
    }
    if (!numericDone)
        order = QString::compare(textOf(stored), value, Qt::CaseInsensitive);
    switch (op) {
    case Op::Eq:
        return order == 0;
    case Op::Ne:
        return order != 0;
    case Op::Lt:
        return order < 0;
    case Op::Gt:
        return order > 0;
    case Op::Le:
        return order <= 0;
    case Op::Ge:
        return order >= 0;
    }
    return false;
}

bool TFilter::matches(const Node& node, const QVariant* row)
{
    switch (node.kind) {
    case Node::Kind::And:
        return matches(*node.left, row) && matches(*node.right, row);
    case Node::Kind::Or:
        return matches(*node.left, row) || matches(*node.right, row);
    case Node::Kind::Compare:
        break;
    }
    if (node.columnIndex < 0)
        return false;
    return compare(row[node.columnIndex], node.op, node.value);
}

QString TFilter::keyOf(const QVariant& value) { return textOf(value).toCaseFolded(); }
