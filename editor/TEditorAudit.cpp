#include "editor/TEditorAudit.h"

#include "database/EDatabaseError.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"

#include <QRegularExpression>

namespace {
// USERS.User_Password and the remembered passwords PWHIST.PW1 .. PW25.
bool holdsPassword(const QString& column)
{
    static const QRegularExpression remembered(QStringLiteral("^PW\\d+$"), QRegularExpression::CaseInsensitiveOption);
    return column.contains(QLatin1String("PASSWORD"), Qt::CaseInsensitive) || remembered.match(column).hasMatch();
}

QStringList columnsOf(const TQuery& set, const QStringList& columns)
{
    if (!columns.isEmpty())
        return columns;
    QStringList all;
    for (int i = 0; i < set.fieldCount(); ++i)
        if (!set.field(i)->isCalculated())
            all << set.field(i)->fieldName();
    return all;
}

void appendAll(TDatabase& connection, const TEditorAudit::Events& events)
{
    if (!events)
        return;
    for (const TAuditEvent& event : events())
        TAuditTrail::append(connection, event);
}

// A post or a delete changes the record set's rows in memory as well as in the
// database, so it cannot simply run again: when its transaction is lost after it (to
// another writer, or with the connection), the change fails as a whole, and the
// record set is read again so that it shows what the database holds.
void writeOnce(TQuery& set, const std::function<void()>& write, const TEditorAudit::Events& events)
{
    TDatabase& connection = *TDatabase::connectionFor(set.databaseName());
    bool written = false;
    try {
        TAuditTrail::run(connection, [&] {
            if (written)
                throw EDatabaseError(QStringLiteral("The change was not stored: another program changed the same "
                                                    "rows, or the connection was lost. Make the change again."),
                                     EDatabaseError::Reason::Engine);
            write();
            written = true;
            appendAll(connection, events);
        });
    } catch (const EDatabaseError&) {
        if (written) {
            try {
                set.close();
                set.open();
            } catch (const EDatabaseError&) {
                // The failure of the change is the one to report.
            }
        }
        throw;
    }
}
} // namespace

TAuditEvent TEditorAudit::event(const QString& user, const char* kind, int objectId, const QString& objectName,
                                const QString& details)
{
    TAuditEvent e = TAuditTrail::event(QLatin1String(kind), user);
    if (objectId > 0)
        e.objectId = objectId;
    e.objectName = objectName;
    e.details = details;
    return e;
}

QString TEditorAudit::changes(const TQuery& set, const QStringList& columns)
{
    QString lines;
    for (const QString& column : columnsOf(set, columns)) {
        const TField* field = set.findField(column);
        if (!field)
            continue;
        const QVariant before = field->oldValue(), after = field->value();
        if (!holdsPassword(column))
            lines += TAuditTrail::change(column, before, after);
        else if (before.toString() != after.toString())
            lines += column + QStringLiteral(": changed\n");
    }
    return lines;
}

QString TEditorAudit::values(const TQuery& set, const QStringList& columns)
{
    QString lines;
    for (const QString& column : columns) {
        const TField* field = set.findField(column);
        if (!field || holdsPassword(column))
            continue;
        const QString value = field->value().toString();
        if (!value.isEmpty())
            lines += column + QStringLiteral(": ") + value + QLatin1Char('\n');
    }
    return lines;
}

void TEditorAudit::post(TQuery& set, const Events& events)
{
    writeOnce(
        set, [&] { set.post(); }, events);
}

void TEditorAudit::deleteRecord(TQuery& set, const Events& events)
{
    writeOnce(
        set, [&] { set.deleteRecord(); }, events);
}

void TEditorAudit::run(const QString& databaseName, const std::function<void()>& work, const Events& events)
{
    TDatabase& connection = *TDatabase::connectionFor(databaseName);
    TAuditTrail::run(connection, [&] {
        work();
        appendAll(connection, events);
    });
}
