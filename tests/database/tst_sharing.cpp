// Two programs use one local security database at the same time, only one user's
// programs open a local file, and a Firebird server is reached by host/port:path with
// its accounts enforced.
#include "database/EDatabaseError.h"
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "database/TFirebirdEnv.h"
#include "database/TGarbageCollector.h"
#include "database/TQuery.h"
#include "database/TRowStream.h"
#include "database/TSchema.h"
#include "database/TTransaction.h"
#include "tests/support/TestDatabase.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {
QByteArray digest(const QString& path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result() : QByteArray();
}

void insertUser(const QString& databaseName, const QString& name)
{
    TQuery q;
    q.setDatabaseName(databaseName);
    q.setSQL("insert into USERS (USER_NAME, User_PASSWORD) values (:n, 'pw')");
    q.setParamString("n", name);
    q.execSQL();
}
} // namespace

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

TEST(Sharing, ALocalFileOfAnotherUserIsRefusedEvenThroughALinkAndLeftUnchanged)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving the file to another user needs root";
    TestDatabase db;
    const QString link = db.dir() + "/link.gdb";
    ASSERT_TRUE(QFile::link(db.path(), link));
    TAliases::addAlias("JOVSEC_LINKED", "INTRBASE", {"SERVER NAME=" + link, "USER NAME=SYSDBA"});
    ASSERT_EQ(::chown(QFile::encodeName(db.path()).constData(), 4242, 4242), 0);
    const QByteArray before = digest(db.path());

    for (const QString& alias : {db.alias(), QString("JOVSEC_LINKED")}) {
        TDatabase other;
        other.setAliasName(alias);
        other.setLoginPrompt(false);
        try {
            other.open();
            ADD_FAILURE() << "another user's file was opened through " << qPrintable(alias);
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(e.message().contains("belongs to another user (uid 4242)")) << qPrintable(e.message());
            EXPECT_TRUE(e.message().contains("Firebird server")) << qPrintable(e.message());
        }
        EXPECT_FALSE(other.connected());
    }
    EXPECT_EQ(digest(db.path()), before);
    TAliases::deleteAlias("JOVSEC_LINKED");
}

TEST(Sharing, AWriteToAFileDeletedOrReplacedUnderTheProgramIsReportedAsFailed)
{
    TestDatabase db;
    TDatabase live;
    live.setAliasName(db.alias());
    live.setDatabaseName("LIVE");
    live.setLoginPrompt(false);
    live.open();
    insertUser("LIVE", "Ann");

    // Replaced by a copy, as a restore from a backup does: the write goes to the old file.
    const QString copy = db.dir() + "/copy.gdb";
    ASSERT_TRUE(QFile::copy(db.path(), copy));
    ASSERT_EQ(::rename(QFile::encodeName(copy).constData(), QFile::encodeName(db.path()).constData()), 0);
    try {
        insertUser("LIVE", "Bob");
        ADD_FAILURE() << "a write to the replaced file was reported as done";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.message().contains("deleted or replaced")) << qPrintable(e.message());
    }
    // The next write goes to the file now at the path.
    insertUser("LIVE", "Cy");
    EXPECT_EQ(db.scalar("select list(USER_NAME) from (select USER_NAME from USERS order by USER_ID)"), "Ann,Cy");

    // Deleted inside a transaction: its commit is not reported as done.
    try {
        TTransaction::run(live, [&] {
            insertUser("LIVE", "Di");
            ASSERT_TRUE(QFile::remove(db.path()));
        });
        ADD_FAILURE() << "a transaction committed to a deleted file was reported as done";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.message().contains("deleted or replaced")) << qPrintable(e.message());
    }
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
    // Rows read one by one, from the engine's fetch buffer, come over the network too.
    QStringList rows;
    TRowStream::read(
        "JOVSEC_SERVER", "select * from users", {"User_Name", "User_ID"}, [&] { rows.clear(); },
        [&](const TRowStream::Row& row) {
            rows << QString::fromUtf8(row.text(0)) + "#" + QString::number(row.integer(1));
        });
    EXPECT_EQ(rows, QStringList {"Ann#1"});
}

// The clean-up after rows deleted en masse goes to the server that holds them, with
// the account the connection logged on with, not to a local file of the same path.
TEST_F(ServerMode, DeletedRowsAreCollectedThroughTheServer)
{
    TDatabase db;
    db.setAliasName("JOVSEC_SERVER");
    db.setDatabaseName("JOVSEC_SERVER");
    db.setParams({"PASSWORD=" + password});
    db.setLoginPrompt(false);
    db.open();
    QString error;
    ASSERT_EQ(TSchema::build("JOVSEC_SERVER", &error), -1) << qPrintable(error);
    TQuery q;
    q.setDatabaseName("JOVSEC_SERVER");
    q.setSQL("insert into USERS (USER_NAME, USER_PASSWORD) select first 300 "
             "'u' || (a.RDB$RELATION_ID * 1000 + b.RDB$RELATION_ID), 'pw' "
             "from RDB$RELATIONS a cross join RDB$RELATIONS b");
    q.execSQL();
    q.setSQL("delete from USERS");
    q.execSQL();
    EXPECT_EQ(q.rowsAffected(), 300);
    const QString failure = TGarbageCollector::start(db, "USERS").get();
    EXPECT_TRUE(failure.isEmpty()) << qPrintable(failure);
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
