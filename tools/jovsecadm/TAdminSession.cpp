#include "TAdminSession.h"

#include "TAdminError.h"

#include "database/EDatabaseError.h"
#include "database/TAuditTrail.h"
#include "database/TDatabase.h"
#include "database/TFilter.h"
#include "database/TQuery.h"

#include <QRegularExpression>

TAdminSession::TAdminSession(const QString& alias, const QString& password) : m_alias(alias)
{
    m_database = std::make_unique<TDatabase>();
    m_database->setAliasName(alias);
    m_database->setDatabaseName(alias);
    if (!password.isEmpty())
        m_database->setParams({QStringLiteral("PASSWORD=") + password});
    m_database->setLoginPrompt(false);
    try {
        m_database->open();
    } catch (const EDatabaseError& e) {
        throw TAdminError::refused(QStringLiteral("Unable to Connect To Database.\n") + e.message());
    }
    m_statement = std::make_unique<TQuery>();
    m_statement->setDatabaseName(alias);
}

TAdminSession::~TAdminSession()
{
    m_statement.reset();
    m_database->close();
    TDatabase::dropTemporaryConnections();
}

void TAdminSession::audit(const QString& kind, const TNamedRow& object, const QString& details)
{
    TAuditEvent event = TAuditTrail::event(kind, QStringLiteral("SUPERVISOR"));
    if (object.id != 0)
        event.objectId = object.id;
    event.objectName = object.name;
    event.details = details;
    TAuditTrail::append(*m_database, event);
}

void TAdminSession::write(const std::function<void()>& work)
{
    try {
        work();
    } catch (const EDatabaseError& e) {
        if (e.reason() != EDatabaseError::Reason::LockTimeout)
            throw;
        throw EDatabaseError(e.message() +
                                 QStringLiteral("\nThe change did not finish within %1 seconds: another program "
                                                "holds a row it changes (a program stopped half-way through a "
                                                "change?). Nothing was changed; try again when it has finished.")
                                     .arg(m_database->lockTimeout() / 1000.0),
                             EDatabaseError::Reason::LockTimeout);
    }
}

QList<QVariantList> TAdminSession::rows(const QString& sql, const QVariantList& binds)
{
    TQuery q;
    q.setDatabaseName(m_alias);
    q.setSQL(sql);
    q.setPlaceholderValues(binds);
    write([&] { q.open(); });
    QList<QVariantList> result;
    result.reserve(q.totalRowCount());
    for (int r = 0; r < q.totalRowCount(); ++r) {
        QVariantList row;
        row.reserve(q.fieldCount());
        for (int c = 0; c < q.fieldCount(); ++c)
            row << q.rowValue(r, c);
        result << row;
    }
    return result;
}

int TAdminSession::exec(const QString& sql, const QVariantList& binds)
{
    TQuery q;
    q.setDatabaseName(m_alias);
    q.setSQL(sql);
    q.setPlaceholderValues(binds);
    write([&] { q.execSQL(); });
    return q.rowsAffected();
}

QList<TNamedRow> TAdminSession::rowsNamed(const QString& table, const QString& idColumn, const QString& nameColumn,
                                          const QString& name)
{
    // The engine narrows the rows; the record-set comparison decides, as in the editor.
    const QList<QVariantList> found =
        rows(QStringLiteral("select %1, %2 from %3 where upper(%2) = upper(cast(? as varchar(100))) order by %1")
                 .arg(idColumn, nameColumn, table),
             {name.left(100)});
    QList<TNamedRow> result;
    for (const QVariantList& row : found)
        if (TFilter::compare(row.at(1), TFilter::Op::Eq, name))
            result << TNamedRow {row.at(0).toInt(), row.at(1).toString()};
    return result;
}

TNamedRow TAdminSession::find(const QString& what, const QString& table, const QString& idColumn,
                              const QString& nameColumn, const QString& reference)
{
    static const QRegularExpression idForm(QStringLiteral("^#(-?\\d+)$"));
    const QRegularExpressionMatch m = idForm.match(reference);
    if (m.hasMatch()) {
        const QList<QVariantList> found =
            rows(QStringLiteral("select %1, %2 from %3 where %1 = ?").arg(idColumn, nameColumn, table),
                 {m.captured(1).toInt()});
        if (found.isEmpty())
            throw TAdminError::refused(QStringLiteral("No %1 has the id %2.").arg(what, m.captured(1)));
        return {found.first().at(0).toInt(), found.first().at(1).toString()};
    }
    const QList<TNamedRow> found = rowsNamed(table, idColumn, nameColumn, reference);
    if (found.isEmpty())
        throw TAdminError::refused(QStringLiteral("No %1 is named %2.").arg(what, reference));
    if (found.size() > 1) {
        QStringList ids;
        for (const TNamedRow& r : found)
            ids << QLatin1Char('#') + QString::number(r.id);
        throw TAdminError::refused(QStringLiteral("Several %1s are named %2: give the id (%3).")
                                       .arg(what, reference, ids.join(QStringLiteral(", "))));
    }
    return found.first();
}

TNamedRow TAdminSession::user(const QString& reference)
{
    return find(QStringLiteral("user"), QStringLiteral("USERS"), QStringLiteral("USER_ID"), QStringLiteral("USER_NAME"),
                reference);
}

TNamedRow TAdminSession::group(const QString& reference)
{
    return find(QStringLiteral("group"), QStringLiteral("GROUPS"), QStringLiteral("GROUP_ID"),
                QStringLiteral("GROUP_NAME"), reference);
}

TNamedRow TAdminSession::constant(const QString& reference)
{
    return find(QStringLiteral("access constant"), QStringLiteral("ACCESS"), QStringLiteral("ACCESS_ID"),
                QStringLiteral("ACCESS_NAME"), reference);
}

TAccountPolicy TAdminSession::globalPolicy()
{
    TQuery program;
    program.setDatabaseName(m_alias);
    program.setSQL(QStringLiteral("select * from program"));
    program.open();
    if (program.isEmpty()) {
        exec(QStringLiteral("insert into PROGRAM (Security_Label) values ('')"));
        program.close();
        program.open();
    }
    program.first();
    return TAccountPolicy::ofProgram(program);
}
