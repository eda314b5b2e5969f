// Start-up for large sites: Loaded reads no grant, each logon reads the grants of the
// user who logs on, and the access test answers exactly as it does from all grants.
#include "tests/security/SecurityFixture.h"

#include "database/TQuery.h"
#include "security/TFormCSLogon.h"

#include <QLineEdit>
#include <QPushButton>

namespace {
class UserGrants : public SecurityTest {
protected:
    void SetUp() override
    {
        SecurityTest::SetUp();
        ann = db->addUser("Ann", "pw");
        ben = db->addUser("Ben", "pw");
        cid = db->addUser("Cid", "pw");
        const int sales = addGroup("Sales", {10, 11});
        const int audit = addGroup("Audit", {11, 12});
        addGroup("Other", {13});
        grant(ann, 1, "C");
        grant(ann, 10, "C");
        grant(ann, sales, "G");
        grant(ann, audit, "g");
        grant(ann, sales, "G"); // held twice
        grant(ann, 2, "c");
        grant(ann, 13, "X"); // neither a constant nor a group
        grant(ben, 3, "C");
        grant(ben, audit, "G");
        // A group id that is also a constant id Cid holds directly.
        grant(cid, audit, "C");
    }

    int addGroup(const QString& name, std::initializer_list<int> constants) const
    {
        db->exec("insert into GROUPS (GROUP_NAME) values ('" + name + "')");
        const int id = db->scalar("select GROUP_ID from GROUPS where GROUP_NAME='" + name + "'").toInt();
        for (int constant : constants)
            db->exec(QString("insert into GRPCOLL (GROUP_ID, ACCESS_ID) values (%1, %2)").arg(id).arg(constant));
        return id;
    }
    void grant(int user, int id, const QString& type) const
    {
        db->exec(QString("insert into USERACC (USER_ID, Access_ID, TYPE) values (%1, %2, '%3')")
                     .arg(user)
                     .arg(id)
                     .arg(type));
    }
    // Rows of the user's grants and of the collections of the user's groups.
    int ownRows(int user) const
    {
        return db->scalar(QString("select count(*) from USERACC where USER_ID=%1").arg(user)).toInt() +
               db->scalar(QString("select count(*) from GRPCOLL where GROUP_ID in (select ACCESS_ID "
                                  "from USERACC where USER_ID=%1 and upper(TYPE)='G')")
                              .arg(user))
                   .toInt();
    }
    static int rowsRead(const TJovCSsecure& c)
    {
        return c.userAccessSet()->totalRowCount() + c.groupAccessSet()->totalRowCount();
    }
    TJovCSsecure& startLarge(TSecurityOptions options = {})
    {
        component = std::make_unique<TJovCSsecure>();
        component->setAlias(db->alias());
        component->setPassword("masterkey");
        component->setOptions(options);
        component->setUserGrantsOnly(true);
        component->Loaded();
        EXPECT_FALSE(Platform::terminationRequested());
        return *component;
    }

    int ann = 0, ben = 0, cid = 0;
};
} // namespace

TEST_F(UserGrants, OffByDefaultAndLoadedReadsNoGrant)
{
    EXPECT_FALSE(TJovCSsecure().UserGrantsOnly());
    TJovCSsecure& c = startLarge();
    EXPECT_TRUE(c.property("UserGrantsOnly").toBool());
    ASSERT_NE(c.userAccessSet(), nullptr);
    ASSERT_NE(c.groupAccessSet(), nullptr);
    EXPECT_FALSE(c.userAccessSet()->active());
    EXPECT_FALSE(c.groupAccessSet()->active());
    // Logging is on: the log set is there, and the log is not read.
    ASSERT_NE(c.logSet(), nullptr);
    EXPECT_FALSE(c.logSet()->active());
    EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join("|"));
}

TEST_F(UserGrants, EachLogonReadsOnlyThatUsersRowsAndAnswersAsFromAllGrants)
{
    TJovCSsecure all;
    all.setAlias(db->alias());
    all.setPassword("masterkey");
    all.setOptions({});
    all.Loaded();
    TJovCSsecure& large = startLarge();
    for (const QString name : {"Ann", "Ben", "Cid", "ann"}) {
        ASSERT_TRUE(all.LogonEx(name, "pw"));
        ASSERT_TRUE(large.LogonEx(name, "pw")) << qPrintable(name);
        EXPECT_EQ(large.UserID(), all.UserID());
        EXPECT_EQ(rowsRead(large), ownRows(large.UserID())) << qPrintable(name);
        for (int constant = -1; constant <= 14; ++constant) {
            const int logBefore = logRows();
            EXPECT_EQ(large.TestAccess(constant), all.TestAccess(constant)) << qPrintable(name) << " " << constant;
            // Both log a granted test once.
            EXPECT_EQ((logRows() - logBefore) % 2, 0);
        }
    }
    EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join("|"));
}

TEST_F(UserGrants, AnotherLogonReplacesTheGrantsAndAFailedOneKeepsThem)
{
    TJovCSsecure& c = startLarge();
    ASSERT_TRUE(c.LogonEx("Ann", "pw"));
    EXPECT_TRUE(c.TestAccess(1));
    EXPECT_FALSE(c.LogonEx("Ben", "wrong"));
    EXPECT_TRUE(c.TestAccess(1)); // still Ann
    ASSERT_TRUE(c.LogonEx("BEN", "PW"));
    EXPECT_FALSE(c.TestAccess(1));
    EXPECT_TRUE(c.TestAccess(3));
    EXPECT_TRUE(c.TestAccess(12));
    // Names are matched whole and a quote is only a character.
    EXPECT_FALSE(c.LogonEx("Be", "pw"));
    EXPECT_FALSE(c.LogonEx("x' or ''='", "pw"));
    EXPECT_FALSE(c.LogonEx(QString(60, 'B'), "pw"));
    EXPECT_EQ(c.UserName(), "Ben");
    // The supervisor passes every test without reading grants.
    ASSERT_TRUE(c.LogonEx("SUPERVISOR", "masterkey"));
    EXPECT_TRUE(c.TestAccess(999));
}

TEST_F(UserGrants, DialogLogonReadsTheUsersGrantsToo)
{
    TJovCSsecure& c = startLarge();
    whenModal([](QWidget* w) {
        auto* d = qobject_cast<TFormCSLogon*>(w);
        ASSERT_NE(d, nullptr);
        d->edUserName->setText("ben");
        d->edPassword->setText("pw");
        d->edPassword->setFocus(); // OK pressed in the name box only moves on
        d->bbtnOk->click();
    });
    ASSERT_TRUE(c.Logon());
    EXPECT_EQ(c.UserID(), ben);
    EXPECT_EQ(rowsRead(c), ownRows(ben));
    EXPECT_TRUE(c.TestAccess(11));
    EXPECT_FALSE(c.TestAccess(10));
}

TEST_F(UserGrants, GrantsChangedAfterLogonCountAtTheNextLogon)
{
    TJovCSsecure& c = startLarge();
    ASSERT_TRUE(c.LogonEx("Cid", "pw"));
    EXPECT_FALSE(c.TestAccess(7));
    grant(cid, 7, "C");
    EXPECT_FALSE(c.TestAccess(7));
    ASSERT_TRUE(c.LogonEx("Cid", "pw"));
    EXPECT_TRUE(c.TestAccess(7));
}
