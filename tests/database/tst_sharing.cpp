// Two programs use one local security database at the same time, and a Firebird
// server is reached by host/port:path with its accounts enforced.
#include "database/EDatabaseError.h"
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "database/TFirebirdEnv.h"
#include "database/TQuery.h"
#include "database/TSchema.h"
#include "tests/support/TestDatabase.h"

#include <QCoreApplication>
#include <QProcess>
#include <gtest/gtest.h>

TEST(Sharing, TwoProcessesReadAndWriteOneLocalDatabase)
{
    TestDatabase db;
    TDatabase mine;
    mine.setAliasName(db.alias());
    mine.setDatabaseName("MINE");
    mine.setLoginPrompt(false);
    mine.open();
    TQuery users;
    users.setDatabaseName("MINE");
    users.setSQL("select * from users");
    users.setRequestLive(true);
    users.open();
    users.append();
    users.fieldByName("USER_NAME")->setAsString("Ann");
    users.fieldByName("User_PASSWORD")->setAsString("a");
    users.post();

    // The other program runs while this one holds its connection.
    QProcess peer;
    peer.start(QCoreApplication::applicationDirPath() + "/jovsec_dbpeer", {db.alias(), "Bob"});
    ASSERT_TRUE(peer.waitForFinished(60000));
    EXPECT_EQ(peer.exitCode(), 0) << peer.readAllStandardError().toStdString();
    EXPECT_EQ(peer.readAllStandardOutput().trimmed(), "2");

    users.close();
    users.open();
    EXPECT_EQ(users.recordCount(), 2);
}

class ServerMode : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = qEnvironmentVariable("JOVSEC_TEST_SERVER");
        if (server.isEmpty())
            GTEST_SKIP() << "no Firebird test server (JOVSEC_TEST_SERVER) in this run";
        password = qEnvironmentVariable("JOVSEC_TEST_SERVER_PASSWORD", "masterkey");
        location = server + ":" + dir.path() + "/server.fdb";
        QString error;
        ASSERT_TRUE(TFirebirdEnv::createDatabase(location, "SYSDBA", password, &error)) << qPrintable(error);
        useTestConfig();
        TAliases::addAlias("JOVSEC_SERVER", "INTRBASE", {"SERVER NAME=" + location, "USER NAME=SYSDBA"});
    }
    void TearDown() override { TAliases::deleteAlias("JOVSEC_SERVER"); }

    QTemporaryDir dir;
    QString server, password, location;
};

TEST_F(ServerMode, TheRightPasswordConnectsAndBuildsTheSchema)
{
    TDatabase db;
    db.setAliasName("JOVSEC_SERVER");
    db.setDatabaseName("JOVSEC_SERVER");
    db.setParams({"PASSWORD=" + password});
    db.setLoginPrompt(false);
    db.open();
    ASSERT_TRUE(db.connected());
    QString error;
    EXPECT_EQ(TSchema::build("JOVSEC_SERVER", &error), -1) << qPrintable(error);
    TQuery q;
    q.setDatabaseName("JOVSEC_SERVER");
    q.setSQL("insert into users (user_name, user_password) values ('Ann', 'a')");
    q.execSQL();
    q.setSQL("select * from users");
    q.open();
    EXPECT_EQ(q.fieldByName("USER_ID")->asInteger(), 1);
}

TEST_F(ServerMode, AWrongPasswordIsRefusedWithTheEnginesError)
{
    TDatabase db;
    db.setAliasName("JOVSEC_SERVER");
    db.setParams({"PASSWORD=wrong-password"});
    db.setLoginPrompt(false);
    try {
        db.open();
        FAIL() << "connected with a wrong password";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.message().contains("password", Qt::CaseInsensitive)) << qPrintable(e.message());
    }
    EXPECT_FALSE(db.connected());
}
