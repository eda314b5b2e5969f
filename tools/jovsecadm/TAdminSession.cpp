#include "TAdminSession.h"

#include "TAdminError.h"

#include "database/EDatabaseError.h"
#include "database/TAuditTrail.h"
#include "database/TDatabase.h"
#include "database/TFilter.h"
#include "database/TQuery.h"
#include "database/TStatementText.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlRecord>
#include <QSqlQuery>

namespace {
// Trims the space padding of fixed-width text.
QVariant readValue(const QVariant& v)
{
    if (v.isNull())
        return QVariant();
    if (v.typeId() == QMetaType::QString)
        return v.toString().trimmed();
    if (v.typeId() == QMetaType::QDate)
        return QDateTime(v.toDate(), QTime(0, 0));
    return v;
}

void bindAll(QSqlQuery& q, const QVariantList& binds)
{
    for (int i = 0; i < binds.size(); ++i)
        q.bindValue(i, binds.at(i));
}
} // namespace

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

QSqlDatabase TAdminSession::sqlDatabase() const { return m_database->sqlDatabase(); }

void TAdminSession::transaction(const std::function<void()>& work) { TAuditTrail::run(*m_database, work); }

void TAdminSession::audit(const QString& kind, const TNamedRow& object, const QString& details)
{
    TAuditEvent event = TAuditTrail::event(kind, QStringLiteral("SUPERVISOR"));
    if (object.id != 0)
        event.objectId = object.id;
    event.objectName = object.name;
    event.details = details;
    TAuditTrail::append(*m_database, event);
}

void TAdminSession::runStatement(const QString& sql, const std::function<void()>& work)
{
    // A plain select never waits on another program's rows.
    if (TStatementText::changesRows(sql) || TStatementText::locksRows(sql))
        write(work);
    else
        m_database->perform(work);
}

void TAdminSession::write(const std::function<void()>& work)
{
    try {
        m_database->performWaiting(work);
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
    QList<QVariantList> result;
    runStatement(sql, [&] {
        result.clear();
        QSqlQuery q(sqlDatabase());
        q.setForwardOnly(true);
        if (!q.prepare(sql))
            throw EDatabaseError(q.lastError().text());
        bindAll(q, binds);
        if (!q.exec())
            throw EDatabaseError(q.lastError().text());
        const int columns = q.record().count();
        // An INSERT ... RETURNING gives one row, which the driver would repeat forever.
        static const QRegularExpression select(QStringLiteral("^\\s*(SELECT|WITH)\\b"),
                                               QRegularExpression::CaseInsensitiveOption);
        const bool singleton = !select.match(sql).hasMatch();
        while (q.next()) {
            QVariantList row;
            row.reserve(columns);
            for (int c = 0; c < columns; ++c)
                row << readValue(q.value(c));
            result << row;
            if (singleton)
                break;
        }
        q.clear();
    });
    return result;
}

int TAdminSession::exec(const QString& sql, const QVariantList& binds)
{
    int affected = 0;
    runStatement(sql, [&] {
        QSqlQuery q(sqlDatabase());
        if (!q.prepare(sql))
            throw EDatabaseError(q.lastError().text());
        bindAll(q, binds);
        if (!q.exec())
            throw EDatabaseError(q.lastError().text());
        affected = q.numRowsAffected();
        q.clear();
    });
    return affected;
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
