#pragma once
// The security database a command works on, opened by its alias, and the look-ups
// the commands share. Users, groups and constants are named as the editor's filters
// find them (whole name, letter case ignored) or by their id written "#12".

#include "rules/TSecurityRules.h"

#include <QString>

#include <functional>
#include <memory>

class TDatabase;
class TQuery;

struct TNamedRow {
    int id = 0;
    QString name;
};

class TAdminSession {
public:
    // Opens the alias's database; password empty means the alias's own. Throws
    // TAdminError when it cannot.
    TAdminSession(const QString& alias, const QString& password);
    ~TAdminSession();

    QString alias() const { return m_alias; }
    TDatabase& database() { return *m_database; }
    // A statement on the alias, for one statement at a time.
    TQuery& statement() { return *m_statement; }

    // Adds an audit event for a change the current transaction makes, so that both
    // commit or neither does. Does nothing on a database without the audit trail.
    void audit(const QString& kind, const TNamedRow& object, const QString& details = QString());

    // Throw TAdminError (refused) when there is no such row or the name is ambiguous.
    TNamedRow user(const QString& reference);
    TNamedRow group(const QString& reference);
    TNamedRow constant(const QString& reference);
    // Every row whose name matches (letter case ignored, whole value).
    QList<TNamedRow> rowsNamed(const QString& table, const QString& idColumn, const QString& nameColumn,
                               const QString& name);

    // The PROGRAM row's global policy; adds the row, as the editor does on showing,
    // when the table is empty.
    TAccountPolicy globalPolicy();

    // Reads a small result (a select, or a change's RETURNING row) through a record
    // set: every row as values in column order. binds are the "?" placeholders' values.
    QList<QVariantList> rows(const QString& sql, const QVariantList& binds = {});
    // Runs one statement with the placeholders' values; returns the rows it changed.
    int exec(const QString& sql, const QVariantList& binds = {});
    // Runs work whose statements change rows: each waits at most the lock timeout for
    // a row another program holds, then the work fails with a message that says so.
    void write(const std::function<void()>& work);

private:
    TNamedRow find(const QString& what, const QString& table, const QString& idColumn, const QString& nameColumn,
                   const QString& reference);

    QString m_alias;
    std::unique_ptr<TDatabase> m_database;
    std::unique_ptr<TQuery> m_statement;
};
