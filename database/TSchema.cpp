#include "database/TSchema.h"

#include "database/EDatabaseError.h"
#include "database/TAuditTrail.h"
#include "database/TField.h"
#include "database/TQuery.h"

namespace {
const char* const kTriggerHead = "BEFORE INSERT AS BEGIN ";

QString trigger(const char* tablePart, const char* body)
{
    return QLatin1String(tablePart) + QLatin1String(kTriggerHead) + QLatin1String(body);
}
} // namespace

QStringList TSchema::buildStatements()
{
    return {
        QStringLiteral(
            "CREATE TABLE ACCESS (Access_ID INTEGER NOT NULL, ACCESS_NAME VARCHAR(20), PRIMARY KEY (Access_ID));"),
        QStringLiteral(
            "CREATE TABLE GROUPS (GROUP_ID INTEGER NOT NULL,GROUP_NAME  VARCHAR(20) NOT NULL UNIQUE,PRIMARY KEY (GROUP_ID));"),
        QStringLiteral(
            "CREATE TABLE GRPCOLL (GROUP_ID INTEGER NOT NULL,ACCESS_ID INTEGER NOT NULL,FOREIGN KEY (GROUP_ID) REFERENCES GROUPS (GROUP_ID));"),
        QStringLiteral(
            "CREATE TABLE PROGRAM(Security_Label VARCHAR(48) NOT NULL,Enabled INTEGER DEFAULT 1,DATEDISABLED DATE,LABEL1 VARCHAR(20),LABEL2 VARCHAR(20),LOGENABLED INTEGER DEFAULT 1,GLB_PWMaxDays INTEGER Default 21, GLB_PWMINDAYS INTEGER Default 1,GLB_PWMINSIZE INTEGER Default 5,GLB_PWCOUNT INTEGER Default 5,GLB_AcctLocking INTEGER Default 0,GLB_AllowedAttempts INTEGER Default 3,GLB_PWaging INTEGER Default 0,GLB_PWKeepHist INTEGER Default 0, PRIMARY KEY (Security_Label));"),
        QStringLiteral(
            "CREATE TABLE USERS(USER_ID INTEGER NOT NULL,USER_NAME VARCHAR(48) NOT NULL,User_PASSWORD VARCHAR(15) NOT NULL,User_Def1 VARCHAR(30),User_Def2 VARCHAR(30),User_LastAccess DATE,User_AccessCount INTEGER Default 0,CustomAcctPolicy INTEGER Default 0,User_Enabled INTEGER Default 1,User_Admin INTEGER Default 0,PWaging INTEGER Default 0,PWKeepHist INTEGER Default 0,PWMustChange INTEGER Default 0,PWNeverExpires INTEGER Default 0,PWNoChange INTEGER Default 0,AcctLocking INTEGER Default 0,Locked INTEGER Default 0,AllowedAttempts INTEGER Default 3,LoginAttempts INTEGER Default 0,PRIMARY KEY (USER_ID));"),
        QStringLiteral(
            "CREATE TABLE PWHIST(USER_ID INTEGER NOT NULL,PW1 VARCHAR(15),PW2 VARCHAR(15),PW3 VARCHAR(15),PW4 VARCHAR(15),PW5 VARCHAR(15),PW6 VARCHAR(15),PW7 VARCHAR(15),PW8 VARCHAR(15),PW9 VARCHAR(15),PW10 VARCHAR(15),PW11 VARCHAR(15),PW12 VARCHAR(15),PW13 VARCHAR(15),PW14 VARCHAR(15),PW15 VARCHAR(15),PW16 VARCHAR(15),PW17 VARCHAR(15),PW18 VARCHAR(15),PW19 VARCHAR(15),PW20 VARCHAR(15),PW21 VARCHAR(15),PW22 VARCHAR(15),PW23 VARCHAR(15),PW24 VARCHAR(15),PW25 VARCHAR(15),PWSETDATE DATE,PWMAXDAYS INTEGER Default 21,PWMINDAYS INTEGER Default 1,PWMINSIZE INTEGER Default 5,PWCOUNT INTEGER Default 5,  FOREIGN KEY (USER_ID) REFERENCES USERS (USER_ID));"),
        QStringLiteral(
            "CREATE TABLE USERACC (USER_ID INTEGER NOT NULL,Access_ID INTEGER NOT NULL,TYPE CHAR(1) NOT NULL,  FOREIGN KEY (USER_ID)REFERENCES USERS (USER_ID));"),
        QStringLiteral(
            "CREATE TABLE LOG (ACCESS_DATE DATE NOT NULL, USER_ID INTEGER NOT NULL,LOGCOUNT INTEGER NOT NULL, ACCESS_ID INTEGER,PRIMARY KEY (LOGCOUNT), FOREIGN KEY (USER_ID) REFERENCES USERS (USER_ID));"),
        QStringLiteral("CREATE GENERATOR USER_ID_GEN;"),
        QStringLiteral("SET GENERATOR USER_ID_GEN TO 0;"),
        trigger("CREATE TRIGGER SET_USER_ID FOR USERS ", "NEW.USER_ID = GEN_ID(USER_ID_GEN, 1); End"),
        QStringLiteral("CREATE GENERATOR ACCESS_ID_GEN"),
        QStringLiteral("SET GENERATOR ACCESS_ID_GEN TO 0"),
        trigger("CREATE TRIGGER SET_ACCESS_ID FOR ACCESS ", "NEW.ACCESS_ID = GEN_ID(ACCESS_ID_GEN, 1); End"),
        QStringLiteral("CREATE GENERATOR GROUP_ID_GEN"),
        QStringLiteral("SET GENERATOR GROUP_ID_GEN TO 0"),
        trigger("CREATE TRIGGER SET_GROUP_ID FOR GROUPS ", "NEW.GROUP_ID = GEN_ID(GROUP_ID_GEN, 1); End"),
        QStringLiteral("CREATE GENERATOR LOGCOUNT_GEN"),
        QStringLiteral("SET GENERATOR LOGCOUNT_GEN TO 0"),
        trigger("CREATE TRIGGER SET_LOGCOUNT FOR LOG ", "NEW.LOGCOUNT = GEN_ID(LOGCOUNT_GEN, 1); End"),
    };
}

namespace {
// Indexes by constant: the holders of one constant or group are found without
// reading every grant or every group's list. The index by the upper-cased user name
// lets a logon by name read the one user's row. The log's indexes let the log viewer
// read only the rows it shows, newest or oldest first, by date (the key breaks ties)
// or by count, and of one constant; the engine walks an index in one direction
// only, hence one of each.
struct Index {
    const char* name;
    const char* on;
    bool descending = false;
};
const Index kIndexes[] = {{"USERACC_ACCESS_ID", "USERACC (ACCESS_ID)"},
                          {"GRPCOLL_ACCESS_ID", "GRPCOLL (ACCESS_ID)"},
                          {"USERS_UPPER_NAME", "USERS COMPUTED BY (upper(USER_NAME))"},
                          {"LOG_DATE", "LOG (ACCESS_DATE, LOGCOUNT)"},
                          {"LOG_DATE_DESC", "LOG (ACCESS_DATE, LOGCOUNT)", true},
                          {"LOG_COUNT_DESC", "LOG (LOGCOUNT)", true},
                          {"LOG_ACCESS_ID", "LOG (ACCESS_ID)"}};

QString indexStatement(const Index& index)
{
    return QStringLiteral("CREATE %1INDEX %2 ON %3")
        .arg(index.descending ? QStringLiteral("DESCENDING ") : QString(), QLatin1String(index.name),
             QLatin1String(index.on));
}
} // namespace

QStringList TSchema::indexStatements()
{
    QStringList statements;
    for (const Index& index : kIndexes)
        statements << indexStatement(index);
    return statements;
}

int TSchema::build(const QString& databaseName, QString* error)
{
    const QStringList statements = buildStatements() + indexStatements() + TAuditTrail::buildStatements();
    for (int i = 0; i < statements.size(); ++i) {
        TQuery statement;
        statement.setDatabaseName(databaseName);
        statement.setSQL(statements.at(i));
        try {
            statement.execSQL();
        } catch (const EDatabaseError& e) {
            if (error)
                *error = e.message();
            return i;
        }
    }
    return -1;
}

int TSchema::addMissingIndexes(const QString& databaseName)
{
    int added = 0;
    for (const Index& index : kIndexes) {
        TQuery lookup;
        lookup.setDatabaseName(databaseName);
        lookup.setSQL(QStringLiteral("select count(*) from RDB$INDICES where RDB$INDEX_NAME = :name"));
        lookup.setParamString(QStringLiteral("name"), QLatin1String(index.name));
        lookup.open();
        const bool present = lookup.field(0)->asInteger() > 0;
        lookup.close();
        if (present)
            continue;
        TQuery statement;
        statement.setDatabaseName(databaseName);
        statement.setSQL(indexStatement(index));
        statement.execSQL();
        ++added;
    }
    return added;
}
