// The audit trail from jovsecadm: every change a command makes leaves its event with
// what changed (never a password), verify names a broken event, export is safe for
// spreadsheets, and a database without the trail says so and can be upgraded.
#include "tests/tools/AdminFixture.h"

#include "tools/jovsecadm/TCsvReader.h"

namespace {
QStringList kindsOf(const QJsonArray& events)
{
    QStringList kinds;
    for (const QJsonValue& e : events)
        kinds << e["kind"].toString();
    return kinds;
}
} // namespace

TEST_F(AdminTest, EveryChangeACommandMakesLeavesOneEventWithWhatChanged)
{
    const QStringList steps[] = {
        {"user", "add", "Ann", "--password", "secret1"},
        {"user", "set", "Ann", "--password", "secret2", "--field1", "Sales"},
        {"constant", "add", "Print"},
        {"constant", "rename", "Print", "Printing"},
        {"group", "add", "Clerks", "--constant", "Printing"},
        {"grant", "Ann", "--group", "Clerks"},
        {"revoke", "Ann", "--group", "Clerks"},
        {"user", "unlock", "Ann"},
        {"log", "clear"},
        {"group", "delete", "Clerks"},
        {"constant", "delete", "Printing"},
        {"user", "delete", "Ann"},
    };
    for (const QStringList& step : steps)
        ASSERT_EQ(adm(step).status, 0) << step.join(' ').toStdString() << "\n" << adm(step);

    const AdminResult r = json({"audit", "export"});
    ASSERT_EQ(r.status, 0) << r;
    const QJsonArray events = r.json().toArray();
    EXPECT_EQ(kindsOf(events), (QStringList {"UserAdded", "UserChanged", "ConstantAdded", "ConstantChanged",
                                             "GroupAdded", "GrantGiven", "GrantTaken", "UserUnlocked", "LogCleared",
                                             "GroupDeleted", "ConstantDeleted", "UserDeleted"}));
    const QString changed = events[1]["details"].toString();
    EXPECT_TRUE(changed.contains("User_Password: changed")) << qPrintable(changed);
    EXPECT_TRUE(changed.contains("User_Def1:  -> Sales")) << qPrintable(changed);
    EXPECT_FALSE(r.out.contains("secret")) << "a password's value is in the trail";
    EXPECT_EQ(events[3]["details"].toString().trimmed(), "ACCESS_NAME: Print -> Printing");
    EXPECT_EQ(events[0]["object"].toString(), "Ann");
    EXPECT_EQ(events[0]["user"].toString(), "SUPERVISOR");

    EXPECT_EQ(adm({"audit", "verify"}).status, 0);
    db->exec("update AUDIT_TRAIL set DETAILS = 'nothing' where EVENT_ID = 4");
    const AdminResult broken = adm({"audit", "verify"});
    EXPECT_EQ(broken.status, 1) << broken;
    EXPECT_TRUE(broken.err.contains("#4")) << broken;
}

TEST_F(AdminTest, AuditExportIsSafeForSpreadsheetsAndFilters)
{
    ASSERT_EQ(adm({"group", "add", "=HYPERLINK(\"x\")"}).status, 0);
    ASSERT_EQ(adm({"constant", "add", "@SUM(A1)"}).status, 0);
    const QString path = tmp.path() + "/audit.csv";
    AdminResult r = adm({"audit", "export", "--kind", "GroupAdded", "--csv", path});
    ASSERT_EQ(r.status, 0) << r;
    TCsvReader reader;
    QString error;
    ASSERT_TRUE(reader.read(path, &error)) << qPrintable(error);
    ASSERT_EQ(reader.lines().size(), 2u);
    EXPECT_EQ(reader.lines()[1].fields.at(8), "'=HYPERLINK(\"x\")");

    r = json({"audit", "export", "--user", "supervisor", "--from", "2000-01-01"});
    EXPECT_EQ(r.json().toArray().size(), 2) << r;
    EXPECT_EQ(json({"audit", "export", "--to", "2000-01-01"}).json().toArray().size(), 0);
}

TEST_F(AdminTest, ADatabaseWithoutTheTrailSaysAuditingIsOffUntilUpgraded)
{
    db->exec("drop table AUDIT_TRAIL");
    db->exec("drop table AUDIT_HEAD");
    ASSERT_EQ(adm({"user", "add", "Ann", "--password", "pw"}).status, 0);
    const AdminResult off = adm({"audit", "verify"});
    EXPECT_EQ(off.status, 1);
    EXPECT_TRUE(off.err.contains("Auditing is off")) << off;
    EXPECT_EQ(adm({"upgrade"}).status, 0);
    ASSERT_EQ(adm({"user", "delete", "Ann"}).status, 0);
    const AdminResult head = json({"audit", "head"});
    EXPECT_EQ(head.json()["Event"].toInt(), 1) << head;
}
