#include "rules/TSecurityRules.h"

#include "database/EDatabaseError.h"
#include "database/TDatabase.h"
#include "database/TTransaction.h"
#include "database/TQuery.h"

#include <QDate>

QStringList TSecurityRules::deleteUserStatements(int userId)
{
    const QString key = QString::number(userId) + QLatin1Char(';');
    return {QStringLiteral("Delete from useracc where USER_ID = ") + key,
            QStringLiteral("Delete from pwhist where USER_ID = ") + key,
            QStringLiteral("Delete from log where USER_ID = ") + key,
            QStringLiteral("Delete from users where USER_ID = ") + key};
}

QStringList TSecurityRules::deleteGroupStatements(int groupId)
{
    const QString key = QString::number(groupId);
    return {QStringLiteral("Delete from useracc where Access_ID = ") + key + QStringLiteral(" and Type = 'G'"),
            QStringLiteral("Delete from grpcoll where Group_ID = ") + key,
            QStringLiteral("Delete from groups where Group_ID = ") + key};
}

QStringList TSecurityRules::deleteConstantStatements(int accessId)
{
    const QString key = QString::number(accessId);
    return {QStringLiteral("Delete from useracc where Access_ID = ") + key + QStringLiteral(" and Type = 'C'"),
            QStringLiteral("Delete from grpcoll where Access_ID = ") + key,
            QStringLiteral("Delete from access where Access_ID = ") + key};
}

namespace {
int countOf(const QString& databaseName, const QString& sql, int id)
{
    TQuery count;
    count.setDatabaseName(databaseName);
    count.setSQL(sql);
    count.setParamInteger(QStringLiteral("Id"), id);
    count.open();
    const int n = count.field(0)->asInteger();
    count.close();
    return n;
}

QString counted(int n, const char* one, const char* many)
{
    return QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
}
} // namespace

TSecurityRules::Holders TSecurityRules::constantHolders(const QString& databaseName, int accessId)
{
    Holders h;
    h.users = countOf(
        databaseName,
        QStringLiteral("select count(distinct USER_ID) from USERACC where ACCESS_ID = :Id and TYPE = 'C'"), accessId);
    h.groups = countOf(databaseName,
                       QStringLiteral("select count(distinct GROUP_ID) from GRPCOLL where ACCESS_ID = :Id"), accessId);
    return h;
}

TSecurityRules::Holders TSecurityRules::groupHolders(const QString& databaseName, int groupId)
{
    Holders h;
    h.users = countOf(
        databaseName,
        QStringLiteral("select count(distinct USER_ID) from USERACC where ACCESS_ID = :Id and TYPE = 'G'"), groupId);
    return h;
}

QString TSecurityRules::confirmDeletion(const QString& name, const Holders& holders, bool group)
{
    QString text = QStringLiteral("Confirm deletion of ") + name;
    QStringList who;
    if (holders.users > 0)
        who << counted(holders.users, "user", "users");
    if (holders.groups > 0)
        who << counted(holders.groups, "group", "groups");
    if (who.isEmpty())
        return text;
    const bool one = who.size() == 1 && holders.users + holders.groups == 1;
    text += QStringLiteral("\n\n") + who.join(QStringLiteral(" and ")) +
            (one ? QStringLiteral(" holds this ") : QStringLiteral(" hold this ")) +
            (group ? QStringLiteral("group") : QStringLiteral("constant")) +
            QStringLiteral(", and will no longer have it.");
    return text;
}

QStringList TSecurityRules::insertUserStatement()
{
    return {QStringLiteral("Insert into Users "),
            QStringLiteral("(User_Name,User_Password,User_Def1,User_Def2,User_LastAccess,User_AccessCount,"
                           "User_Enabled,User_Admin,LOCKED,PWMustChange,PWNeverExpires,PWNoChange) "),
            QStringLiteral("values "),
            QStringLiteral("(:User_Name,:User_Password,:User_Def1,:User_Def2,:User_LastAccess,:User_AccessCount,"
                           ":User_Enabled,:User_Admin,:LOCKED,:PWMustChange,:PWNeverExpires,:PWNoChange) ; ")};
}

void TSecurityRules::addMissingHistoryRows(TQuery& statement, const TAccountPolicy& policy)
{
    statement.setSQL(
        QStringLiteral("insert into PWHist (User_ID, PWSetDate, PWMaxDays, PWMinDays, PWMinSize, PWCount) "
                       "select U.User_ID, cast(:PWSetDate as timestamp), cast(:PWMaxDays as integer), "
                       "cast(:PWMinDays as integer), cast(:PWMinSize as integer), cast(:PWCount as integer) "
                       "from Users U where not exists (select 1 from PWHist P where P.User_ID = U.User_ID)"));
    statement.setParamDate(QStringLiteral("PWSetDate"), QDate::currentDate());
    statement.setParamInteger(QStringLiteral("PWMaxDays"), policy.maxDays);
    statement.setParamInteger(QStringLiteral("PWMinDays"), policy.minDaysInEffect());
    statement.setParamInteger(QStringLiteral("PWMinSize"), policy.minSize);
    statement.setParamInteger(QStringLiteral("PWCount"), policy.count.value_or(0));
    statement.execSQL();
}

QString TSecurityRules::globalPolicyUserStatement()
{
    return QStringLiteral("UPDATE USERS SET CUSTOMACCTPOLICY = 0, PWAGING = :PWAGING, PWKEEPHIST = :PWKEEPHIST, "
                          "ACCTLOCKING = :ACCTLOCKING, ALLOWEDATTEMPTS = :ALLOWEDATTEMPTS WHERE User_ID = :UserID");
}

QString TSecurityRules::globalPolicyHistoryStatement()
{
    return QStringLiteral("UPDATE PWHist SET PWMAXDAYS = :PWMAXDAYS, PWMINDAYS = :PWMINDAYS, "
                          "PWCOUNT = :PWCOUNT, PWMINSIZE = :PWMINSIZE WHERE User_ID = :UserID");
}

void TSecurityRules::applyGlobalPolicy(TQuery& statement, int userId, const TAccountPolicy& policy)
{
    statement.setSQL(globalPolicyUserStatement());
    statement.setParamInteger(QStringLiteral("PWAGING"), policy.aging);
    statement.setParamInteger(QStringLiteral("PWKEEPHIST"), policy.keepHistory);
    statement.setParamInteger(QStringLiteral("ACCTLOCKING"), policy.acctLocking);
    statement.setParamInteger(QStringLiteral("ALLOWEDATTEMPTS"), policy.allowedAttempts);
    statement.setParamInteger(QStringLiteral("UserID"), userId);
    statement.execSQL();
    statement.setSQL(globalPolicyHistoryStatement());
    statement.setParamInteger(QStringLiteral("PWMAXDAYS"), policy.maxDays);
    statement.setParamInteger(QStringLiteral("PWMINDAYS"), policy.minDaysInEffect());
    statement.setParamInteger(QStringLiteral("PWCOUNT"), policy.count.value_or(0));
    statement.setParamInteger(QStringLiteral("PWMINSIZE"), policy.minSize);
    statement.setParamInteger(QStringLiteral("UserID"), userId);
    statement.execSQL();
}

QString TSecurityRules::grantFilter(int userId, int accessId, const QString& type)
{
    return QStringLiteral("(User_ID='") + QString::number(userId) + QStringLiteral("') and (Access_ID='") +
           QString::number(accessId) + QStringLiteral("') and (Type='") + type + QStringLiteral("')");
}

void TSecurityRules::runInTransaction(TQuery& statement, const QStringList& statements)
{
    auto runAll = [&] {
        for (const QString& text : statements) {
            statement.setSQL(text);
            statement.execSQL();
        }
    };
    TDatabase* db = TDatabase::connectionFor(statement.databaseName());
    // Inside a caller's transaction the statements join it; otherwise they get one
    // of their own.
    if (db->inTransaction())
        runAll();
    else
        TTransaction::run(*db, runAll);
}
