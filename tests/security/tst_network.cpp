// Network identity logon, with a stand-in NetWare client library beside the test
// program that reports the name in JOVSEC_NW_USER.
#include "security/TFormCSLogon.h"
#include "platform/OsInfo.h"
#include "tests/security/SecurityFixture.h"

#include <QPushButton>

namespace {
class Network : public SecurityTest {
protected:
    void SetUp() override
    {
        SecurityTest::SetUp();
        qunsetenv("JOVSEC_NW_USER");
        qunsetenv("JOVSEC_NW_CALLED");
        qunsetenv("JOVSEC_NW_UNTERMINATED");
    }
    void TearDown() override
    {
        qunsetenv("JOVSEC_NW_USER");
        qunsetenv("JOVSEC_NW_CALLED");
        qunsetenv("JOVSEC_NW_UNTERMINATED");
        SecurityTest::TearDown();
    }
    static bool libraryConsulted() { return qEnvironmentVariableIsSet("JOVSEC_NW_CALLED"); }
};
} // namespace

TEST_F(Network, NetwareNameComesFromTheLibraryBesideTheProgram)
{
    TJovCSsecure c;
    EXPECT_EQ(c.GetNetwareUserName(), ""); // no connection
    EXPECT_TRUE(libraryConsulted());
    qputenv("JOVSEC_NW_USER", "jsmith");
    EXPECT_EQ(c.GetNetwareUserName(), "jsmith");
    // A record without a NUL yields the whole name field and nothing beyond it.
    qputenv("JOVSEC_NW_UNTERMINATED", "1");
    EXPECT_EQ(c.GetNetwareUserName(), QString(48, 'A'));
    EXPECT_EQ(c.GetWindowsUserName(), Platform::netUserName());
}

TEST_F(Network, NetwareNameLogsOnWithoutPassword)
{
    struct Case {
        QString networkName, storedName;
        QString columns, values;
        bool accepted;
    } cases[] = {
        {"nwuser", "NWUser", "Locked", "1", true}, // other letter case; a lock does not stop it
        {"NWUser", "NWUser", "User_Enabled", "0", false}, // disabled
        {"O'Hara", "O'Hara", "", "", true},
        {"SUPERVISOR", "Someone", "", "", false}, // not in USERS: never the supervisor
    };
    for (const Case& k : cases) {
        TestDatabase local(true, "JOVSEC_NW");
        local.addProgram(1, 1);
        const int id = local.addUser(k.storedName, "secret", k.columns, k.values);
        qputenv("JOVSEC_NW_USER", k.networkName.toLocal8Bit());
        TJovCSsecure c;
        c.setAlias(local.alias());
        c.setPassword("masterkey");
        c.setOptions(soNetwareSupport);
        c.Loaded();
        EXPECT_EQ(c.NWLogon(), k.accepted) << qPrintable(k.networkName);
        EXPECT_EQ(c.UserID(), k.accepted ? id : -1) << qPrintable(k.networkName);
        const QString count = local.scalar(QString("select User_AccessCount from USERS where USER_ID=%1").arg(id));
        EXPECT_EQ(count, k.accepted ? "1" : "0");
        EXPECT_EQ(local.count("LOG"), k.accepted ? 1 : 0);
        if (k.accepted) {
            EXPECT_EQ(c.UserPassword(), "secret");
        }
    }
    EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join("|"));
}

TEST_F(Network, WindowsNameFirstAndNetwareOnlyWhenItIsEmpty)
{
    const int id = db->addUser(Platform::netUserName(), "pw");
    qputenv("JOVSEC_NW_USER", "nobody-here");
    TJovCSsecure& c = start(TSecurityOptions(soWinNetSupport) | soNetwareSupport);
    EXPECT_TRUE(c.NWLogon());
    EXPECT_EQ(c.UserID(), id);
    EXPECT_FALSE(libraryConsulted());

    c.setOptions({});
    c.setActive(false);
    EXPECT_FALSE(c.NWLogon()); // neither option: no name, nothing happens
    EXPECT_FALSE(libraryConsulted());
    EXPECT_EQ(c.UserID(), -1);
}

TEST_F(Network, RefusedNetworkNameAtStartUpFallsBackToTheDialog)
{
    db->addUser("Blocked", "pw", "User_Enabled", "0");
    qputenv("JOVSEC_NW_USER", "Blocked");
    bool dialogShown = false;
    whenModal([&dialogShown](QWidget* w) {
        auto* d = qobject_cast<TFormCSLogon*>(w);
        ASSERT_NE(d, nullptr);
        dialogShown = true;
        d->bbtnCancel->click();
    });
    TJovCSsecure c;
    c.setAlias(db->alias());
    c.setPassword("masterkey");
    c.setOptions(TSecurityOptions(soAutoValidate) | soNetwareSupport | soShowUI);
    c.Loaded();
    EXPECT_TRUE(dialogShown);
    EXPECT_TRUE(Platform::terminationRequested());
    EXPECT_TRUE(messages.shown.isEmpty());
}
