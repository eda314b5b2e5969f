// Grants and revokes, and the two views of what they add up to, checked against the
// component's own access test.
#include "tests/tools/AdminFixture.h"

#include "security/TJovCSsecure.h"

#include <set>

namespace {
class Grants : public AdminTest {
protected:
    void SetUp() override
    {
        AdminTest::SetUp();
        for (const char* name : {"Ann", "Ben", "Cid"})
            ASSERT_EQ(adm({"user", "add", name, "--password", "pw"}).status, 0);
        for (int i = 1; i <= 6; ++i)
            ASSERT_EQ(adm({"constant", "add", QString("C%1").arg(i)}).status, 0);
        ASSERT_EQ(adm({"group", "add", "Sales", "--constant", "C2", "--constant", "C3"}).status, 0);
        ASSERT_EQ(adm({"group", "add", "Audit", "--constant", "C3", "--constant", "C4"}).status, 0);
    }

    // The constants 0..7 the component grants the user.
    std::set<int> granted(const QString& user) const
    {
        TJovCSsecure c;
        c.setAlias(db->alias());
        c.setPassword("masterkey");
        c.setOptions({});
        c.Loaded();
        EXPECT_TRUE(c.LogonEx(user, "pw"));
        std::set<int> result;
        for (int id = 0; id <= 7; ++id)
            if (c.TestAccess(id))
                result.insert(id);
        return result;
    }
};
} // namespace

TEST_F(Grants, GrantAddsEachOnceAndRevokeTakesThemAll)
{
    AdminResult r = adm({"grant", "Ann", "--constant", "C1", "--group", "sales", "--group", "Audit"});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.out.trimmed(), "Granted to Ann: C1, (Sales), (Audit)");
    r = json({"grant", "ann", "--constant", "c1"});
    EXPECT_EQ(r.json()["already_held"].toArray(), QJsonArray {"C1"});
    EXPECT_EQ(db->count("USERACC"), 3);
    // A row stored with a small type letter counts as held.
    db->exec(QString("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, 5, 'c')").arg(userId("Ben")));
    EXPECT_EQ(json({"grant", "Ben", "--constant", "C5"}).json()["added"].toArray().size(), 0);

    EXPECT_EQ(adm({"grant", "Ann"}).status, 2);
    r = adm({"grant", "Ann", "--constant", "C9"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.trimmed(), "No access constant is named C9.");

    // Revoking removes every copy of the grant, so the user no longer holds it.
    db->exec(QString("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, 1, 'C')").arg(userId("Ann")));
    r = json({"revoke", "Ann", "--constant", "C1", "--group", "Sales", "--constant", "C6"});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.json()["removed"].toArray(), (QJsonArray {"C1", "(Sales)"}));
    EXPECT_EQ(r.json()["not_held"].toArray(), QJsonArray {"C6"});
    EXPECT_EQ(granted("Ann"), (std::set<int> {3, 4}));
}

TEST_F(Grants, EffectiveAndWhoCanAgreeWithTheAccessTest)
{
    const int ben = userId("Ben");
    ASSERT_EQ(adm({"grant", "Ann", "--constant", "C1", "--group", "Sales", "--group", "Audit"}).status, 0);
    ASSERT_EQ(adm({"grant", "Ben", "--constant", "C3", "--group", "Audit"}).status, 0);
    db->exec(QString("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, 0, 'G')").arg(ben)); // no group
    db->exec(QString("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, 7, 'C')").arg(ben)); // no constant

    AdminResult r = json({"effective", "Ann"});
    ASSERT_EQ(r.status, 0) << r;
    const QJsonArray ann = r.json().toArray();
    ASSERT_EQ(ann.size(), 4);
    EXPECT_EQ(ann[0]["constant"].toString(), "C1");
    EXPECT_EQ(ann[0]["granted_by"].toString(), "direct");
    EXPECT_EQ(ann[2]["constant"].toString(), "C3");
    EXPECT_EQ(ann[2]["granted_by"].toString(), "group Sales"); // the first group the test tries
    EXPECT_EQ(ann[2]["also_by"].toArray(), QJsonArray {"group Audit"});
    r = json({"effective", "Ben"});
    EXPECT_EQ(r.json().toArray().last()["constant"].toString(), "**Error**");

    for (const QString user : {"Ann", "Ben", "Cid"}) {
        std::set<int> listed;
        for (const QJsonValue v : json({"effective", user}).json().toArray())
            listed.insert(v["id"].toInt());
        EXPECT_EQ(listed, granted(user)) << qPrintable(user);
    }
    std::map<int, std::set<QString>> holders;
    for (const QString user : {"Ann", "Ben", "Cid"})
        for (int id : granted(user))
            holders[id].insert(user);
    for (int id = 1; id <= 6; ++id) {
        r = json({"who-can", QString("C%1").arg(id)});
        ASSERT_EQ(r.status, 0) << r;
        std::set<QString> listed;
        for (const QJsonValue v : r.json().toArray())
            listed.insert(v["user"].toString());
        EXPECT_EQ(listed, holders[id]) << id;
    }
    r = json({"who-can", "C3"});
    const QJsonArray c3 = r.json().toArray();
    ASSERT_EQ(c3.size(), 2);
    EXPECT_EQ(c3[0]["granted_by"].toString(), "group Sales");
    EXPECT_EQ(c3[1]["user"].toString(), "Ben");
    EXPECT_EQ(c3[1]["granted_by"].toString(), "direct");
    EXPECT_EQ(c3[1]["also_by"].toArray(), QJsonArray {"group Audit"});
    // Text for people.
    r = adm({"who-can", "C3"});
    EXPECT_TRUE(r.out.startsWith("id")) << r;
    EXPECT_TRUE(r.out.contains("direct")) << r;
}
