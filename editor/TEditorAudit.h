#pragma once
// TEditorAudit: the setup editor's audit events. What an edit of a record set changes,
// in the trail's "field: old -> new" lines (a password column says that it changed,
// never its value), and the writes that store a change together with its events in
// one transaction: both are kept or neither is. On a database without the audit
// trail the writes run as before and no event is kept.

#include "database/TAuditTrail.h"

#include <QList>
#include <QStringList>

#include <functional>

class TQuery;

class TEditorAudit {
public:
    using Events = std::function<QList<TAuditEvent>()>;

    // An event of the security user acting in the editor about one object.
    static TAuditEvent event(const QString& user, const char* kind, int objectId, const QString& objectName,
                             const QString& details = QString());

    // A line for each of the columns (spelled as given; all the record set's columns
    // when none are given) whose value in the current edit differs from the value
    // before it.
    static QString changes(const TQuery& set, const QStringList& columns = {});
    // "field: value" lines of the columns of the current edit that hold a value.
    static QString values(const TQuery& set, const QStringList& columns);

    // Posts the record set's edit or insert and appends the events in the same
    // transaction. events runs after the post, so it can read the key the database
    // gave a new row. Throws EDatabaseError; then neither is stored.
    static void post(TQuery& set, const Events& events);
    // Deletes the record set's current row and appends the events in one transaction.
    static void deleteRecord(TQuery& set, const Events& events);
    // Runs work, statements on the named database, and appends the events in one
    // transaction. The work must be repeatable: lost to a concurrent writer, it runs
    // again.
    static void run(const QString& databaseName, const std::function<void()>& work, const Events& events);
};
