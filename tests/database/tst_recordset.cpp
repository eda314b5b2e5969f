// Record sets: live editing written through, cached updates with their update
// object, calculated fields, tables by name, connections and aliases.
#include "database/EDatabaseError.h"
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "database/TTable.h"
#include "database/TUpdateSQL.h"
#include "tests/support/TestDatabase.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(Aliases, NamesCompareWithoutCaseAndListsAreSorted)
{
    useTestConfig();
    TAliases::addAlias("Zeta", "INTRBASE", {"SERVER NAME=/tmp/z.gdb", "USER NAME=SYSDBA"});
    TAliases::addAlias("alpha", "INTRBASE", {"SERVER NAME=/tmp/a.gdb"});
    EXPECT_TRUE(TAliases::exists("ZETA"));
    EXPECT_EQ(TAliases::paramValue(TAliases::params("zeta"), "server name"), "/tmp/z.gdb");
    TDatabase named;
    named.setDatabaseName("Middle");
    TDatabase duplicate;
    duplicate.setDatabaseName("ALPHA");
    const QStringList names = TAliases::databaseNames();
    const int a = names.indexOf("alpha"), m = names.indexOf("Middle"), z = names.indexOf("Zeta");
    EXPECT_TRUE(a >= 0 && m > a && z > m) << qPrintable(names.join(","));
    EXPECT_EQ(names.filter("alpha", Qt::CaseInsensitive).size(), 1);
    TAliases::deleteAlias("zeta");
    TAliases::deleteAlias("alpha");
    EXPECT_FALSE(TAliases::exists("Zeta"));
}

TEST(Aliases, TheFileHoldingPasswordsIsForItsOwnerOnly)
{
    QTemporaryDir dir;
    const QByteArray previous = qgetenv("JOVSEC_CONFIG");
    const QString file = dir.path() + "/new/aliases.ini";
    qputenv("JOVSEC_CONFIG", file.toLocal8Bit());
    const auto mode = [](const QString& path) {
        struct stat info { };
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
    };
    EXPECT_TRUE(TAliases::addAlias("S", "INTRBASE", {"SERVER NAME=/s.gdb", "USER NAME=SYSDBA", "PASSWORD=pw"}));
    EXPECT_EQ(mode(file), 0600);
    EXPECT_EQ(mode(dir.path() + "/new"), 0700);

    // A file written by an older version, readable by all, is narrowed when rewritten
    // and keeps its aliases.
    ASSERT_TRUE(
        QFile::setPermissions(file, QFile::permissions(file) | QFileDevice::ReadOther | QFileDevice::ReadGroup));
    EXPECT_TRUE(TAliases::addAlias("T", "INTRBASE", {"SERVER NAME=/t.gdb"}));
    EXPECT_EQ(mode(file), 0600);
    EXPECT_EQ(TAliases::paramValue(TAliases::params("S"), "PASSWORD"), "pw");
    ASSERT_TRUE(QFile::setPermissions(file, QFile::permissions(file) | QFileDevice::ReadOther));
    EXPECT_TRUE(TAliases::deleteAlias("T"));
    EXPECT_EQ(mode(file), 0600);
    EXPECT_EQ(TAliases::aliasNames(), QStringList({"S"}));
    qputenv("JOVSEC_CONFIG", previous);
}

TEST(Connection, ParametersGivenReplaceTheAliasesAndPasswordAlwaysApplies)
{
    useTestConfig();
    TAliases::addAlias("P", "INTRBASE", {"SERVER NAME=/x.gdb", "USER NAME=SYSDBA"});
    TDatabase db;
    db.setAliasName("P");
    db.setParams({"PASSWORD=secret", "USER NAME=OTHER", "ROLE=R", "no equals sign"});
    const QStringList p = db.effectiveParams();
    EXPECT_EQ(TAliases::paramValue(p, "USER NAME"), "OTHER");
    EXPECT_EQ(TAliases::paramValue(p, "PASSWORD"), "secret");
    EXPECT_FALSE(TAliases::hasParam(p, "ROLE"));
    // The account given counts also when the alias names no user.
    TAliases::addAlias("P", "INTRBASE", {"SERVER NAME=/x.gdb"});
    db.setParams({"USER NAME=OTHER"});
    EXPECT_EQ(TAliases::paramValue(db.effectiveParams(), "USER NAME"), "OTHER");
    TAliases::deleteAlias("P");
}

TEST(Connection, UnknownAliasFailsWithTheEngineText)
{
    useTestConfig();
    TDatabase db;
    db.setDatabaseName("NO_SUCH_ALIAS");
    db.setLoginPrompt(false);
    EXPECT_THROW(db.open(), EDatabaseError);
    TQuery q;
    q.setDatabaseName("NO_SUCH_ALIAS");
    q.setSQL("select * from users");
    EXPECT_THROW(q.open(), EDatabaseError);
}

TEST(Connection, LoginPromptSuppliesTheAccount)
{
    TestDatabase tdb;
    int asked = 0;
    TDatabase::setLoginPromptHandler([&](const QString& name, QString& user, QString& password) {
        ++asked;
        EXPECT_EQ(name, "Named");
        EXPECT_EQ(user, "SYSDBA");
        password = "x";
        return true;
    });
    TDatabase db;
    db.setAliasName(tdb.alias());
    db.setDatabaseName("Named");
    db.setLoginPrompt(true);
    db.open();
    EXPECT_TRUE(db.connected());
    EXPECT_EQ(asked, 1);
    TDatabase::setLoginPromptHandler([](const QString&, QString&, QString&) { return false; });
    TDatabase refused;
    refused.setAliasName(tdb.alias());
    refused.setLoginPrompt(true);
    EXPECT_THROW(refused.open(), EDatabaseError);
    TDatabase::setLoginPromptHandler({});
}

class LiveSet : public ::testing::Test {
protected:
    TestDatabase db;
};

TEST_F(LiveSet, InsertReadsBackTheTriggerKeyAndDefaults)
{
    TQuery q;
    q.setDatabaseName(db.alias());
    q.setSQL("select * from access");
    q.setRequestLive(true);
    q.open();
    q.append();
    q.fieldByName("Access_ID")->setAsInteger(99);
    q.fieldByName("Access_Name")->setAsString("Print");
    q.post();
    EXPECT_EQ(q.fieldByName("Access_ID")->asInteger(), 1);
    q.append();
    q.fieldByName("Access_Name")->setAsString("Edit");
    q.post();
    EXPECT_EQ(q.fieldByName("Access_ID")->asInteger(), 2);
    EXPECT_EQ(db.scalar("select access_name from access where access_id = 2"), "Edit");

    TQuery p;
    p.setDatabaseName(db.alias());
    p.setSQL("select * from program");
    p.setRequestLive(true);
    p.open();
    p.edit(); // an empty set turns edit into insert
    EXPECT_EQ(p.state(), TQuery::State::Insert);
    p.fieldByName("Security_Label")->setAsString("");
    p.post();
    EXPECT_EQ(p.fieldByName("Enabled")->asInteger(), 1);
}

TEST_F(LiveSet, EditAndDeleteFindRowsByKeyOrByAllOldValues)
{
    const int ann = db.addUser("Ann", "a");
    db.exec("insert into USERACC values (1, 5, 'C')");
    db.exec("insert into USERACC values (1, 5, 'C')");
    db.exec("insert into USERACC values (1, 5, 'G')");

    TQuery users;
    users.setDatabaseName(db.alias());
    users.setSQL("select * from users order by user_id");
    users.setRequestLive(true);
    users.open();
    users.edit();
    users.fieldByName("User_Name")->setAsString("Anne");
    users.post();
    EXPECT_EQ(db.scalar(QString("select user_name from users where user_id=%1").arg(ann)), "Anne");

    TQuery acc;
    acc.setDatabaseName(db.alias());
    acc.setSQL("select * from useracc");
    acc.setRequestLive(true);
    acc.open();
    EXPECT_EQ(acc.fieldByName("TYPE")->asString(), "C"); // CHAR(1) comes back unpadded
    acc.setFilter("(User_ID='1') and (Access_ID='5') and (Type='C')");
    acc.setFiltered(true);
    ASSERT_EQ(acc.recordCount(), 2);
    acc.deleteRecord(); // a keyless table: one of two equal rows goes
    EXPECT_EQ(acc.recordCount(), 1);
    EXPECT_EQ(db.count("USERACC"), 2);
    acc.edit();
    acc.fieldByName("Access_ID")->setAsInteger(6);
    acc.post();
    EXPECT_EQ(acc.recordCount(), 0); // no longer matches the filter
    EXPECT_EQ(db.scalar("select count(*) from useracc where access_id = 6 and type = 'C'"), "1");
    EXPECT_EQ(db.scalar("select count(*) from useracc where type = 'G'"), "1");
}

TEST_F(LiveSet, ReadOnlySetsRefuseEdits)
{
    TQuery q;
    q.setDatabaseName(db.alias());
    q.setSQL("select * from users");
    q.open();
    EXPECT_THROW(q.append(), EDatabaseError);
}

TEST_F(LiveSet, RecordSetsSeeOtherConnectionsCommitsWhenReopened)
{
    TQuery q;
    q.setDatabaseName(db.alias());
    q.setSQL("select * from users");
    q.open();
    EXPECT_EQ(q.recordCount(), 0);
    // Another connection, as another program would have.
    TDatabase other;
    other.setAliasName(db.alias());
    other.setDatabaseName("OTHER");
    other.setLoginPrompt(false);
    other.open();
    TQuery w;
    w.setDatabaseName("OTHER");
    w.setSQL("insert into users (user_name, user_password) values ('Bob', 'b')");
    w.execSQL();
    q.close();
    q.open();
    EXPECT_EQ(q.recordCount(), 1);
}

TEST_F(LiveSet, TransactionsMakeSeveralStatementsAllOrNothing)
{
    const int id = db.addUser("Ann", "a");
    db.exec(QString("insert into LOG (ACCESS_DATE, USER_ID) values (CURRENT_DATE, %1)").arg(id));
    TDatabase* conn = TDatabase::connectionFor(db.alias());
    conn->startTransaction();
    TQuery s;
    s.setDatabaseName(db.alias());
    s.setSQL(QString("Delete from pwhist where USER_ID = %1;").arg(id));
    s.execSQL();
    s.setSQL(QString("Delete from users where USER_ID = %1;").arg(id)); // LOG still refers
    EXPECT_THROW(s.execSQL(), EDatabaseError);
    conn->rollback();
    EXPECT_EQ(db.count("PWHIST"), 1);
    EXPECT_EQ(db.count("USERS"), 1);
}

TEST_F(LiveSet, CachedUpdatesWaitForTheUpdateObjectWhichSeesOldValues)
{
    const int id = db.addUser("Ann", "a");
    db.exec("update users set User_AccessCount = 7");
    TQuery q;
    q.setDatabaseName(db.alias());
    q.setSQL("select * from users order by user_id");
    q.setCachedUpdates(true);
    TUpdateSQL upd;
    upd.setDataSet(&q);
    upd.setModifySQL({"UPDATE USERS SET ", "User_Name = :User_Name, ", "User_AccessCount = :OLD_User_AccessCount",
                      "WHERE User_Id = :OLD_User_Id;"});
    q.open();
    q.edit();
    q.fieldByName("User_Name")->setAsString("Anne");
    q.fieldByName("User_AccessCount")->setAsInteger(100);
    q.post();
    EXPECT_EQ(db.scalar("select user_name from users"), "Ann"); // nothing written yet
    upd.apply(TUpdateSQL::Kind::Modify);
    EXPECT_EQ(db.scalar(QString("select user_name || ',' || user_accesscount from users where user_id=%1").arg(id)),
              "Anne,7");
}

TEST_F(LiveSet, CalculatedFieldsAreFilledPerRow)
{
    db.exec("insert into ACCESS (ACCESS_NAME) values ('Print')");
    db.exec("insert into ACCESS (ACCESS_NAME) values ('Edit')");
    TQuery q;
    q.setDatabaseName(db.alias());
    q.setSQL("select * from access order by access_id");
    TField* label = q.addCalculatedField("AccLabel", 22);
    int calls = 0;
    q.setOnCalcFields([&](TQuery& ds) {
        ++calls;
        ds.fieldByName("AccLabel")->setAsString("<" + ds.fieldByName("Access_Name")->asString() + ">");
    });
    q.open();
    EXPECT_EQ(label->asString(), "<Print>");
    q.next();
    EXPECT_EQ(q.fieldByName("AccLabel")->asString(), "<Edit>");
    EXPECT_EQ(calls, 2);
}

TEST_F(LiveSet, TablesByNameGiveCountFieldsAndIndexes)
{
    db.addUser("Bob", "b");
    db.addUser("Ann", "a");
    TTable t;
    t.setDatabaseName(db.alias());
    t.setTableName("USERS");
    t.open();
    EXPECT_EQ(t.recordCount(), 2);
    EXPECT_TRUE(t.fieldNames().contains("USER_NAME"));
    const QStringList indexes = t.indexNames();
    ASSERT_FALSE(indexes.isEmpty());
    t.setIndexName(indexes.first()); // the primary key
    EXPECT_EQ(t.fieldByName("USER_NAME")->asString(), "Bob");
}

TEST_F(LiveSet, NullsReachTheEngineAsNullsSoNotNullColumnsRefuseThem)
{
    // Through a statement's parameters...
    TQuery insert;
    insert.setDatabaseName(db.alias());
    insert.setSQL("Insert into Users (User_Name, User_Password, User_Def1) values (:User_Name, "
                  ":User_Password, :User_Def1)");
    insert.setParamNull("User_Name");
    insert.setParamString("User_Password", "pw");
    insert.setParamNull("User_Def1");
    EXPECT_THROW(insert.execSQL(), EDatabaseError);
    insert.setParamString("User_Name", "Ann");
    insert.execSQL();
    EXPECT_EQ(db.scalar("select count(*) from users where User_Def1 is null"), "1");

    // ...and through a live record set's insert and edit.
    TQuery users;
    users.setDatabaseName(db.alias());
    users.setSQL("select * from users");
    users.setRequestLive(true);
    users.open();
    users.append();
    users.fieldByName("User_Name")->clear();
    users.fieldByName("User_Password")->setAsString("x");
    EXPECT_THROW(users.post(), EDatabaseError);
    users.cancel();
    users.first();
    users.edit();
    users.fieldByName("User_Password")->clear();
    EXPECT_THROW(users.post(), EDatabaseError);
    users.cancel();
    EXPECT_EQ(db.scalar("select User_Password from users"), "pw");
}
