// The build statements produce the security database the rest of the system expects.
#include "database/EDatabaseError.h"
#include "database/TQuery.h"
#include "database/TSchema.h"
#include "tests/support/TestDatabase.h"

#include <gtest/gtest.h>

namespace {
QStringList columnsOf(const TestDatabase& db, const QString& table)
{
    TQuery q;
    q.setDatabaseName(db.alias());
    q.setSQL("select trim(RDB$FIELD_NAME) from RDB$RELATION_FIELDS where RDB$RELATION_NAME = :t "
             "order by RDB$FIELD_POSITION");
    q.setParamString("t", table);
    q.open();
    QStringList names;
    for (q.first(); !q.eof(); q.next())
        names << q.field(0)->asString();
    return names;
}
} // namespace

TEST(Schema, StatementsAreTheTwentyInOrder)
{
    const QStringList s = TSchema::buildStatements();
    ASSERT_EQ(s.size(), 20);
    EXPECT_EQ(s[10], "CREATE TRIGGER SET_USER_ID FOR USERS BEFORE INSERT AS BEGIN NEW.USER_ID = "
                     "GEN_ID(USER_ID_GEN, 1); End");
    EXPECT_EQ(s[19], "CREATE TRIGGER SET_LOGCOUNT FOR LOG BEFORE INSERT AS BEGIN NEW.LOGCOUNT = "
                     "GEN_ID(LOGCOUNT_GEN, 1); End");
    EXPECT_EQ(s[8], "CREATE GENERATOR USER_ID_GEN;");
    EXPECT_EQ(s[11], "CREATE GENERATOR ACCESS_ID_GEN");
}

TEST(Schema, BuildMakesEightTablesWithTheirColumns)
{
    TestDatabase db;
    EXPECT_EQ(columnsOf(db, "ACCESS"), QStringList({"ACCESS_ID", "ACCESS_NAME"}));
    EXPECT_EQ(columnsOf(db, "GROUPS"), QStringList({"GROUP_ID", "GROUP_NAME"}));
    EXPECT_EQ(columnsOf(db, "GRPCOLL"), QStringList({"GROUP_ID", "ACCESS_ID"}));
    EXPECT_EQ(columnsOf(db, "USERACC"), QStringList({"USER_ID", "ACCESS_ID", "TYPE"}));
    EXPECT_EQ(columnsOf(db, "LOG"), QStringList({"ACCESS_DATE", "USER_ID", "LOGCOUNT", "ACCESS_ID"}));
    EXPECT_EQ(columnsOf(db, "PROGRAM").size(), 14);
    EXPECT_EQ(columnsOf(db, "USERS").size(), 19);
    const QStringList pwhist = columnsOf(db, "PWHIST");
    ASSERT_EQ(pwhist.size(), 31);
    EXPECT_EQ(pwhist[1], "PW1");
    EXPECT_EQ(pwhist[25], "PW25");
    EXPECT_EQ(pwhist.last(), "PWCOUNT");
}

TEST(Schema, DefaultsApplyAndKeysStartAtOneWhateverIsSupplied)
{
    TestDatabase db;
    db.exec("insert into PROGRAM (Security_Label) values ('')");
    EXPECT_EQ(db.scalar("select Enabled from PROGRAM"), "1");
    EXPECT_EQ(db.scalar("select LOGENABLED from PROGRAM"), "1");
    EXPECT_EQ(db.scalar("select GLB_PWMaxDays || ',' || GLB_PWMINDAYS || ',' || GLB_PWMINSIZE || ',' || "
                        "GLB_PWCOUNT || ',' || GLB_AcctLocking || ',' || GLB_AllowedAttempts from PROGRAM"),
              "21,1,5,5,0,3");

    db.exec("insert into USERS (USER_ID, USER_NAME, User_PASSWORD) values (77, 'Ann', 'pw')");
    EXPECT_EQ(db.scalar("select USER_ID from USERS"), "1");
    EXPECT_EQ(db.scalar("select User_Enabled || ',' || User_Admin || ',' || AllowedAttempts || ',' || "
                        "LoginAttempts || ',' || User_AccessCount from USERS"),
              "1,0,3,0,0");
    db.exec("insert into ACCESS (Access_ID, ACCESS_NAME) values (50, 'Print')");
    EXPECT_EQ(db.scalar("select Access_ID from ACCESS"), "1");
    db.exec("insert into GROUPS (GROUP_ID, GROUP_NAME) values (9, 'Clerks')");
    EXPECT_EQ(db.scalar("select GROUP_ID from GROUPS"), "1");
    db.exec("insert into LOG (ACCESS_DATE, USER_ID, LOGCOUNT) values (CURRENT_DATE, 1, 40)");
    EXPECT_EQ(db.scalar("select LOGCOUNT from LOG"), "1");
    db.exec("insert into PWHIST (USER_ID) values (1)");
    EXPECT_EQ(db.scalar("select PWMAXDAYS || ',' || PWMINDAYS || ',' || PWMINSIZE || ',' || PWCOUNT from PWHIST"),
              "21,1,5,5");
}

TEST(Schema, ConstraintsRefuseWhatTheTablesForbid)
{
    TestDatabase db;
    db.exec("insert into GROUPS (GROUP_NAME) values ('Clerks')");
    EXPECT_THROW(db.exec("insert into GROUPS (GROUP_NAME) values ('Clerks')"), EDatabaseError);
    EXPECT_THROW(db.exec("insert into USERS (USER_NAME, User_PASSWORD) values ('A', '1234567890123456')"),
                 EDatabaseError);
    db.exec("insert into USERS (USER_NAME, User_PASSWORD) values ('A', '123456789012345')");
    EXPECT_THROW(db.exec("insert into PWHIST (USER_ID) values (99)"), EDatabaseError); // no such user
    db.exec("insert into GRPCOLL (GROUP_ID, ACCESS_ID) values (1, 1)");
    EXPECT_THROW(db.exec("delete from GROUPS"), EDatabaseError); // still referred to
}

TEST(Schema, DateColumnsKeepTheTimeOfDay)
{
    TestDatabase db;
    const int id = db.addUser("Ann", "pw");
    TQuery q;
    q.setDatabaseName(db.alias());
    q.setSQL("UPDATE USERS SET User_LastAccess = :User_LastAccess WHERE User_Id = :User_ID");
    const QDateTime when(QDate(2026, 3, 4), QTime(13, 14, 15));
    q.setParamDateTime("User_LastAccess", when);
    q.setParamInteger("User_ID", id);
    q.execSQL();
    TQuery r;
    r.setDatabaseName(db.alias());
    r.setSQL("select * from users");
    r.open();
    EXPECT_EQ(r.fieldByName("User_LastAccess")->asDateTime(), when);
}

TEST(Schema, SecondBuildStopsAtTheFirstStatementAndSaysWhy)
{
    TestDatabase db;
    QString error;
    EXPECT_EQ(TSchema::build(db.alias(), &error), 0);
    EXPECT_FALSE(error.isEmpty());
    // Nothing was added by the failed build.
    EXPECT_EQ(db.count("ACCESS"), 0);
}
