// A Firebird server that goes away under a running program, or never answers.
#include "database/EDatabaseError.h"
#include "database/TAliases.h"
#include "database/TAuditTrail.h"
#include "database/TDatabase.h"
#include "database/TFirebirdEnv.h"
#include "database/TQuery.h"
#include "database/TSchema.h"
#include "database/TTransaction.h"
#include "tests/support/TestDatabase.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <numeric>
#include <thread>

#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

TEST(ServerFaults, AServerThatNeverAnswersIsGivenUpOnWithinSeconds)
{
    // A port that takes connections (the kernel completes them) but never answers.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 8), 0);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);

    useTestConfig();
    TAliases::addAlias("JOVSEC_SILENT", "INTRBASE",
                       {QString("SERVER NAME=127.0.0.1/%1:/srv/security.gdb").arg(ntohs(address.sin_port)),
                        "USER NAME=SYSDBA", "PASSWORD=masterkey"});
    TDatabase db;
    db.setAliasName("JOVSEC_SILENT");
    db.setLoginPrompt(false);
    QElapsedTimer timer;
    timer.start();
    EXPECT_THROW(db.open(), EDatabaseError);
    // Without a limit the client would wait three minutes.
    EXPECT_LT(timer.elapsed(), 60000);
    EXPECT_FALSE(db.connected());
    TAliases::deleteAlias("JOVSEC_SILENT");
    close(listener);
}

class ServerRestart : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = qEnvironmentVariable("JOVSEC_TEST_SERVER");
        serverDir = qEnvironmentVariable("JOVSEC_TEST_SERVER_DIR");
        if (server.isEmpty() || serverDir.isEmpty())
            GTEST_SKIP() << "no Firebird test server (JOVSEC_TEST_SERVER) in this run";
        const QString password = qEnvironmentVariable("JOVSEC_TEST_SERVER_PASSWORD", "masterkey");
        const QString location = server + ":" + dir.path() + "/restart.fdb";
        QString error;
        ASSERT_TRUE(TFirebirdEnv::createDatabase(location, "SYSDBA", password, &error)) << qPrintable(error);
        useTestConfig();
        TAliases::addAlias("JOVSEC_RESTART", "INTRBASE",
                           {"SERVER NAME=" + location, "USER NAME=SYSDBA", "PASSWORD=" + password});
        ASSERT_EQ(TSchema::build("JOVSEC_RESTART", &error), -1) << qPrintable(error);
        live.setAliasName("JOVSEC_RESTART");
        live.setDatabaseName("LIVE");
        live.setLoginPrompt(false);
        live.open();
        insert("Ann");
    }
    void TearDown() override
    {
        live.close();
        TDatabase::dropTemporaryConnections();
        TAliases::deleteAlias("JOVSEC_RESTART");
    }

    // Stops the private server (its processes are killed) and starts it again.
    void restartServer()
    {
        const QString port = server.section('/', 1);
        for (const QStringList& args : {QStringList {JOVSEC_FBSERVER_SCRIPT, "stop", serverDir},
                                        QStringList {JOVSEC_FBSERVER_SCRIPT, "start", serverDir, port}}) {
            QProcess script;
            script.start("bash", args);
            ASSERT_TRUE(script.waitForFinished(90000));
            ASSERT_EQ(script.exitCode(), 0) << script.readAllStandardError().toStdString();
        }
    }
    void insert(const QString& name)
    {
        TQuery q;
        q.setDatabaseName("LIVE");
        q.setSQL("insert into USERS (USER_NAME, User_PASSWORD) values (:n, 'pw')");
        q.setParamString("n", name);
        q.execSQL();
    }
    QString names()
    {
        TQuery q;
        q.setDatabaseName("LIVE");
        q.setSQL("select USER_NAME from USERS order by USER_ID");
        q.open();
        QStringList list;
        for (q.first(); !q.eof(); q.next())
            list << q.field(0)->asString();
        return list.join(',');
    }

    QTemporaryDir dir;
    QString server, serverDir;
    TDatabase live;
};

TEST_F(ServerRestart, ReadsAndWritesGoOnSilentlyAfterARestart)
{
    restartServer();
    EXPECT_EQ(names(), "Ann");
    insert("Bob");
    EXPECT_EQ(names(), "Ann,Bob");
    EXPECT_TRUE(live.connected());
}

TEST_F(ServerRestart, ATransactionBrokenByARestartRunsAgainWhole)
{
    int runs = 0;
    TTransaction::run(live, [&] {
        ++runs;
        insert(QString("Cy%1").arg(runs));
        if (runs == 1)
            restartServer(); // the first run's insert is lost with its connection
        insert(QString("Di%1").arg(runs));
    });
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(names(), "Ann,Cy2,Di2");
}

TEST_F(ServerRestart, AnEventOnItsOwnIsWrittenAfterARestart)
{
    TAuditTrail::record(live, TAuditTrail::event("LogonRefused", "Ann"));
    restartServer(); // and with it the statements prepared on the old connection
    TAuditTrail::record(live, TAuditTrail::event("LogonRefused", "Bob"));
    const TAuditTrail::Verdict verdict = TAuditTrail::verify(live);
    EXPECT_EQ(verdict.firstBroken, 0) << qPrintable(verdict.problem);
    EXPECT_EQ(verdict.events, 2);
}

TEST_F(ServerRestart, AWaitForARowHeldOnTheServerEndsAtTheLockTimeout)
{
    TDatabase holder;
    holder.setAliasName("JOVSEC_RESTART");
    holder.setDatabaseName("HOLDER");
    holder.setLoginPrompt(false);
    holder.startTransaction();
    TQuery hold;
    hold.setDatabaseName("HOLDER");
    hold.setSQL("update USERS set USER_DEF1 = 'held' where USER_NAME = 'Ann'");
    hold.execSQL();

    live.setLockTimeout(300);
    TQuery change;
    change.setDatabaseName("LIVE");
    change.setSQL("update USERS set USER_DEF2 = 'changed' where USER_NAME = 'Ann'");
    try {
        change.execSQL();
        FAIL() << "the write did not wait for the held row";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.reason(), EDatabaseError::Reason::LockTimeout) << qPrintable(e.message());
    }
    holder.rollback();
    change.execSQL();
    EXPECT_EQ(names(), "Ann");
}

TEST_F(ServerRestart, AFrozenServerEndsACallWithinSecondsAndABusyOneIsLeftToFinish)
{
    live.setLockTimeout(0); // the server's silence alone must end a call
    // A statement that keeps a live server busy for 8 seconds.
    TQuery busy;
    busy.setDatabaseName("LIVE");
    busy.setSQL("execute block as declare t timestamp; begin t = cast('NOW' as timestamp); "
                "while (datediff(millisecond from t to cast('NOW' as timestamp)) < 8000) do t = t; end");
    EXPECT_NO_THROW(busy.execSQL());

    QFile pidFile(serverDir + "/server.pid");
    ASSERT_TRUE(pidFile.open(QIODevice::ReadOnly));
    const pid_t pid = pid_t(pidFile.readAll().trimmed().toInt());
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    // Without a bound the call would last as long as the freeze.
    std::promise<void> resumed;
    std::thread wake([pid, done = resumed.get_future()] {
        done.wait_for(std::chrono::seconds(40));
        ::kill(pid, SIGCONT);
    });
    QElapsedTimer timer;
    timer.start();
    try {
        insert("Eve");
        ADD_FAILURE() << "a write on a frozen server was reported as done";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.message().contains("did not answer")) << qPrintable(e.message());
    }
    const qint64 elapsed = timer.elapsed();
    resumed.set_value();
    wake.join();
    EXPECT_LT(elapsed, 15000);
    EXPECT_TRUE(names().startsWith("Ann")) << qPrintable(names());
}

// jovsecadm audit export while the server restarts: every event once, in order.
TEST_F(ServerRestart, AnAuditTrailReadBrokenByARestartGoesOnAfterTheLastEventHandedOver)
{
    constexpr int kEvents = 2500;
    // Rows of about 2 KB each: far more than the client holds fetched ahead.
    TQuery fill;
    fill.setDatabaseName("LIVE");
    fill.setSQL("insert into AUDIT_TRAIL (EVENT_ID, EVENT_TIME, OS_USER, MACHINE, SEC_USER, PROGRAM, KIND, "
                "OBJECT_NAME, DETAILS, PREV_HASH, HASH) with recursive d (i) as (select 0 from rdb$database union "
                "all select i + 1 from d where i < 49) select a.i * 50 + b.i + 1, current_timestamp, 'os', 'pc', "
                "'SUPERVISOR', 'test', 'UserChanged', 'obj', rpad('', 2000, 'x'), rpad('', 64, '0'), "
                "rpad('', 64, '0') from d a cross join d b");
    fill.execSQL();
    std::vector<qint64> ids;
    TAuditTrail::Filter filter;
    filter.kind = "UserChanged";
    TAuditTrail::read(live, filter, [&](const TAuditEvent& event) {
        ids.push_back(event.id);
        if (ids.size() == 10)
            restartServer();
        return true;
    });
    std::vector<qint64> expected(kEvents);
    std::iota(expected.begin(), expected.end(), 1);
    EXPECT_EQ(ids, expected) << ids.size() << " events handed over";
}
