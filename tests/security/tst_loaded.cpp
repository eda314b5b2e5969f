// Start-up of the component: connecting, the PROGRAM switches, the log record set,
// design mode, and ending the application when security says so.
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "platform/Application.h"
#include "security/TJovCSsecure.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TestDatabase.h"

#include <gtest/gtest.h>

namespace {
const QString kInitError = "Error occured initializing security. Execution Ending.";
const QString kDisabled = "Security for this application has been disabled.";

class Loaded : public ::testing::Test {
protected:
    void SetUp() override { Platform::resetTerminationRequest(); }
    void TearDown() override { Platform::resetTerminationRequest(); }

    std::unique_ptr<TJovCSsecure> component(const QString& alias, TSecurityOptions options)
    {
        auto c = std::make_unique<TJovCSsecure>();
        c->setAlias(alias);
        c->setPassword("masterkey");
        c->setOptions(options);
        return c;
    }
    MessageRecorder messages;
};
} // namespace

TEST_F(Loaded, CreateStartsWithNobodyAndTheDefaultOptions)
{
    TJovCSsecure c;
    EXPECT_EQ(c.Options(), TSecurityOptions(soAutoValidate) | soShowUI);
    EXPECT_EQ(int(c.Options().toInt()), 5);
    EXPECT_EQ(c.UserID(), -1);
    EXPECT_FALSE(c.Active());
    EXPECT_FALSE(c.UserAdmin());
    EXPECT_TRUE(c.ShowUI());
    c.setShowUI(false);
    EXPECT_EQ(c.Options(), TSecurityOptions(soAutoValidate));
    c.setActive(true); // no effect
    EXPECT_FALSE(c.Active());
    ASSERT_NE(c.database(), nullptr);
    EXPECT_FALSE(c.database()->connected());
    EXPECT_EQ(c.property("Options").toInt(), 1);
}

TEST_F(Loaded, WithoutOptionsItConnectsReadsProgramAndLeavesNobodyLoggedOn)
{
    TestDatabase db;
    db.addProgram(1, 1);
    auto c = component(db.alias(), {});
    c->Loaded();
    EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join("|"));
    EXPECT_FALSE(Platform::terminationRequested());
    EXPECT_TRUE(c->database()->connected());
    ASSERT_NE(c->groupAccessSet(), nullptr);
    ASSERT_NE(c->userAccessSet(), nullptr);
    EXPECT_TRUE(c->groupAccessSet()->active());
    EXPECT_TRUE(c->userAccessSet()->active());
    ASSERT_NE(c->logSet(), nullptr);
    EXPECT_EQ(c->groupAccessSet()->sql(), "Select * from GrpColl");
    EXPECT_EQ(c->userAccessSet()->sql(), "Select * from UserAcc");
    EXPECT_EQ(c->logSet()->sql(), "SELECT * FROM LOG");
    EXPECT_FALSE(c->Active());
}

TEST_F(Loaded, LoggingOffAtStartUpMeansNoLogRecordSet)
{
    TestDatabase db;
    db.addProgram(1, 0);
    auto c = component(db.alias(), soShowUI);
    c->Loaded();
    EXPECT_EQ(c->logSet(), nullptr);
    EXPECT_FALSE(Platform::terminationRequested());
}

TEST_F(Loaded, DisabledSecurityEndsTheApplicationWithTheMessageOnlyUnderShowUI)
{
    for (bool showUI : {true, false}) {
        TestDatabase db;
        db.addProgram(0, 1);
        Platform::resetTerminationRequest();
        messages.clear();
        auto c = component(db.alias(), showUI ? TSecurityOptions(soShowUI) : TSecurityOptions());
        c->Loaded();
        EXPECT_TRUE(Platform::terminationRequested());
        if (showUI) {
            ASSERT_EQ(messages.shown.size(), 1);
            EXPECT_EQ(messages.last(), kDisabled);
            EXPECT_EQ(messages.shown.first().kind, Platform::MsgKind::Error);
            EXPECT_EQ(messages.shown.first().buttons, Platform::MsgButtons::Ok);
        } else {
            EXPECT_TRUE(messages.shown.isEmpty());
        }
        EXPECT_EQ(c->logSet(), nullptr);
    }
}

TEST_F(Loaded, AnEnabledValueOtherThanOneOrNoProgramRowCountsAsDisabled)
{
    TestDatabase db;
    auto empty = component(db.alias(), soShowUI);
    empty->Loaded();
    EXPECT_TRUE(Platform::terminationRequested());
    EXPECT_EQ(messages.texts(), QStringList {kDisabled});

    Platform::resetTerminationRequest();
    db.exec("insert into PROGRAM (Security_Label, Enabled) values ('x', 2)");
    auto two = component(db.alias(), {});
    two->Loaded();
    EXPECT_TRUE(Platform::terminationRequested());
}

TEST_F(Loaded, FailuresWhileStartingEndTheApplicationAfterTheMessage)
{
    // An alias nobody defined, an alias whose file does not exist, and a database
    // without the security tables.
    useTestConfig();
    TAliases::addAlias("JOVSEC_MISSING_FILE", "INTRBASE",
                       {"SERVER NAME=/nonexistent/dir/none.gdb", "USER NAME=SYSDBA"});
    TestDatabase empty(false, "JOVSEC_EMPTY");
    for (const QString& alias : {QString("JOVSEC_NO_SUCH_ALIAS"), QString("JOVSEC_MISSING_FILE"), empty.alias()}) {
        Platform::resetTerminationRequest();
        messages.clear();
        auto c = component(alias, {});
        c->Loaded();
        EXPECT_TRUE(Platform::terminationRequested()) << qPrintable(alias);
        EXPECT_EQ(messages.texts(), QStringList {kInitError}) << qPrintable(alias);
        EXPECT_FALSE(c->database()->connected());
    }
    TAliases::deleteAlias("JOVSEC_MISSING_FILE");
}

TEST_F(Loaded, InDesignModeNothingConnects)
{
    auto c = component("JOVSEC_NO_SUCH_ALIAS", TSecurityOptions(soAutoValidate) | soShowUI);
    c->setDesigning(true);
    c->Loaded();
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_FALSE(Platform::terminationRequested());
    EXPECT_FALSE(c->database()->connected());
    EXPECT_EQ(c->groupAccessSet(), nullptr);
    EXPECT_EQ(c->userAccessSet(), nullptr);
}

TEST_F(Loaded, DestroyReleasesTheConnection)
{
    TestDatabase db;
    db.addProgram();
    {
        auto c = component(db.alias(), {});
        c->Loaded();
        EXPECT_TRUE(c->database()->connected());
        EXPECT_NE(TDatabase::find(db.alias()), nullptr);
    }
    EXPECT_EQ(TDatabase::find(db.alias()), nullptr);
}
