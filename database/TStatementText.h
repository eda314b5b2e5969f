#pragma once
// The text of one statement as a caller wrote it (a list of lines) with its named
// parameters (:Name) or its "?" placeholders and their values, and the text the
// engine is sent: without a trailing terminator, with the old DATE type read as
// TIMESTAMP in table DDL, and with null parameters written into the text as NULL.

#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

class QSqlQuery;

class TStatementText {
public:
    QStringList lines() const { return m_lines; }
    QString text() const { return m_lines.join(QLatin1Char('\n')); }
    // Replaces the text; values already set for names that remain are kept.
    void setLines(const QStringList& lines);

    // Parameters, named without the colon; names compare without regard to case.
    QStringList paramNames() const;
    bool hasParam(const QString& name) const { return findParam(name) != nullptr; }
    bool hasParams() const { return !m_params.empty() || !m_placeholderValues.isEmpty(); }
    // Throws EDatabaseError when the text has no such parameter.
    void setParam(const QString& name, const QVariant& value);
    // The values of a text's "?" placeholders, in their order (a text uses named
    // parameters or placeholders, not both). A new text drops them.
    void setPlaceholderValues(const QVariantList& values) { m_placeholderValues = values; }

    // The text as the engine runs it.
    QString engineText() const;
    // Runs engineText() (passed in, so callers compute it once) on q with the
    // parameter values. False when the engine refused it; q.lastError() says why.
    // With reuse, a q that holds the same text prepared already runs again with the
    // new values instead of preparing it anew.
    bool run(QSqlQuery& q, const QString& engineText, bool reuse = false) const;

    // What kind of statement a text is.
    static bool returnsRowSet(const QString& engineText);
    static bool changesRows(const QString& engineText);
    // Whether a select locks the rows it reads (WITH LOCK), and so may wait on them.
    static bool locksRows(const QString& engineText);
    // The table named after "from", upper case; empty when there is none.
    static QString tableOf(const QString& text);

private:
    struct Param {
        QString name;
        QVariant value;
    };
    const Param* findParam(const QString& name) const;

    QStringList m_lines;
    std::vector<Param> m_params;
    QVariantList m_placeholderValues;
};
