// The example application offers each command only to whom it can serve, and ends
// when it is told to.
#include "TFormSecuredMain.h"

#include "database/TDatabase.h"
#include "platform/OsInfo.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TestDatabase.h"

#include <QAction>
#include <QApplication>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

TEST(SecuredAppTest, ChangePasswordIsOfferedToUsersButNotToTheSupervisor)
{
    TestDatabase db;
    db.addProgram(1, 1);
    db.addUser("ann", "pw");
    MessageRecorder messages;
    TFormSecuredMain window(db.alias(), QStringLiteral("masterkey"), soShowUI);
    EXPECT_FALSE(window.actChangePassword->isEnabled()); // nobody logged on

    ASSERT_TRUE(window.security()->LogonEx("SUPERVISOR", "masterkey"));
    window.refreshUser();
    EXPECT_TRUE(window.isSupervisor());
    EXPECT_FALSE(window.actChangePassword->isEnabled());
    EXPECT_TRUE(window.actSetup->isEnabled());

    ASSERT_TRUE(window.security()->LogonEx("ann", "pw"));
    window.refreshUser();
    EXPECT_FALSE(window.isSupervisor());
    EXPECT_TRUE(window.actChangePassword->isEnabled());
}

// A desktop log-out or kill ends a logged-on secured application at once, and it
// leaves the database as clean as a normal quit would.
TEST(SecuredAppTest, SigtermEndsALoggedOnApplicationAndLeavesTheDatabaseClean)
{
    TestDatabase db;
    db.addProgram(1, 1);
    const QString name = Platform::netUserName();
    ASSERT_FALSE(name.isEmpty());
    db.addUser(name, "pw");
    const QString accessCount = "select User_AccessCount from USERS where USER_NAME = '" + name + "'";
    const int before = db.scalar(accessCount).toInt();

    QProcess app;
    app.start(JOVSEC_SECUREDAPP,
              {"--alias", db.alias(), "--password", "masterkey", "--options", "soAutoValidate,soWinNetSupport"});
    ASSERT_TRUE(app.waitForStarted(10000));
    bool loggedOn = false;
    for (int i = 0; i < 600 && !loggedOn && app.state() == QProcess::Running; ++i) {
        QThread::msleep(100);
        loggedOn = db.scalar(accessCount).toInt() > before;
    }
    ASSERT_TRUE(loggedOn) << app.readAllStandardError().toStdString();

    app.terminate();
    const bool ended = app.waitForFinished(5000);
    if (!ended) {
        app.kill();
        app.waitForFinished(5000);
    }
    EXPECT_TRUE(ended) << "SecuredApp was still running 5 s after SIGTERM";
    TDatabase::dropTemporaryConnections();

    QProcess check;
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.start("gfix", {"-v", "-full", "-user", "SYSDBA", "-password", "masterkey", db.path()});
    ASSERT_TRUE(check.waitForFinished(60000));
    EXPECT_EQ(check.exitCode(), 0);
    EXPECT_EQ(check.readAll().trimmed(), "");
}
