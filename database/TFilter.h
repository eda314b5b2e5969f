#pragma once
// Client-side filter expressions for record sets:
//   Column = 'value'   (also <>, <, >, <=, >=)
//   expr and expr, expr or expr, ( expr )
// Keywords and comparisons ignore letter case; values match as a whole (no
// wildcards); a quote inside a value is written doubled. Numeric columns compare
// their decimal text with the value, so keys compare as text.

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <vector>

class TFilter {
public:
    enum class Op { Eq, Ne, Lt, Gt, Le, Ge };

    struct Node {
        enum class Kind { Compare, And, Or } kind = Kind::Compare;
        // Compare
        QString column;
        int columnIndex = -1;
        Op op = Op::Eq;
        QString value;
        // And / Or
        std::unique_ptr<Node> left, right;
    };

    // Builds Column='value' with any quote in the value doubled. Every filter built
    // from text a person or the network supplied goes through here.
    static QString equals(const QString& column, const QString& value);
    static QString equals(const QString& column, qint64 value);
    static QString quote(const QString& value);

    // Parses; throws EDatabaseError with a clear text on a malformed expression.
    static std::unique_ptr<Node> parse(const QString& expression);
    // Resolves column names to indexes; throws EDatabaseError for an unknown column.
    static void bind(Node& node, const QStringList& columns);
    static bool matches(const Node& node, const QVariant* row);
    // Compares one stored value with a filter value.
    static bool compare(const QVariant& stored, Op op, const QString& value);
    // The key under which a value is indexed and looked up: its decimal or
    // case-folded text.
    static QString keyOf(const QVariant& value);
    static QString keyOfText(const QString& text) { return text.toCaseFolded(); }
};
