// The example application offers each command only to whom it can serve.
#include "SecuredMain.h"

#include "tests/support/MessageRecorder.h"
#include "tests/support/TestDatabase.h"

#include <QAction>
#include <QApplication>
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
