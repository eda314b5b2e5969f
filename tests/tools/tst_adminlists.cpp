// jovsecadm's group and constant commands, with the editor's names, messages and
// deletions.
#include "tests/tools/AdminFixture.h"

TEST_F(AdminTest, ConstantsAreNamedOnceWithoutRegardToCase)
{
    AdminResult r = json({"constant", "add", "Print"});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.json()["id"].toInt(), 1);
    struct Case {
        QStringList args;
        QString error;
    } cases[] = {
        {{"add", "PRINT"}, "Duplicate Access Constant, Add Failed"},
        {{"add", QString(21, 'c')}, "Access Label Can Not Be Longer Than 20 Characters."},
        {{"add", ""}, "Access Label is Required."},
        {{"rename", "Print", "print"}, "Duplicate Access Constant, Change Failed"}, // itself, other case
        {{"rename", "Export", "X"}, "No access constant is named Export."},
        {{"delete", "#7"}, "No access constant has the id 7."},
    };
    for (const Case& c : cases) {
        r = adm(QStringList {"constant"} + c.args);
        EXPECT_EQ(r.status, 1) << r;
        EXPECT_EQ(r.err.trimmed(), c.error) << r;
    }
    ASSERT_EQ(adm({"constant", "add", "Export"}).status, 0);
    EXPECT_EQ(adm({"constant", "rename", "export", "Send"}).status, 0);
    r = json({"constant", "list"});
    EXPECT_EQ(r.json().toArray().size(), 2);
    EXPECT_EQ(r.json().toArray().at(1)["name"].toString(), "Send");
}

TEST_F(AdminTest, DeletingAConstantTakesItsGrantsAndPlacesButNotGroupsOfTheSameId)
{
    const int ann = db->addUser("Ann", "pw");
    ASSERT_EQ(adm({"constant", "add", "Print"}).status, 0);
    ASSERT_EQ(adm({"constant", "add", "Export"}).status, 0);
    AdminResult r = adm({"group", "add", "Clerks", "--constant", "Print", "--constant", "export"});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(db->count("GRPCOLL"), 2);
    db->exec(QString("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, 1, 'C')").arg(ann));
    db->exec(QString("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, 1, 'G')").arg(ann));
    ASSERT_EQ(adm({"constant", "delete", "Print"}).status, 0);
    EXPECT_EQ(db->count("ACCESS"), 1);
    EXPECT_EQ(db->scalar("select TYPE from USERACC"), "G"); // group 1 is not constant 1
    EXPECT_EQ(db->scalar("select ACCESS_ID from GRPCOLL"), "2");
}

TEST_F(AdminTest, GroupsHoldConstantsOnceAndGoWithTheirMemberships)
{
    const int ann = db->addUser("Ann", "pw");
    for (const char* name : {"Print", "Export", "Close"})
        ASSERT_EQ(adm({"constant", "add", name}).status, 0);
    EXPECT_EQ(adm({"group", "add", ""}).err.trimmed(), "Missing Group Name");
    EXPECT_EQ(adm({"group", "add", "Clerks", "--constant", "Nothing"}).err.trimmed(),
              "No access constant is named Nothing.");
    EXPECT_EQ(db->count("GROUPS"), 0);
    ASSERT_EQ(adm({"group", "add", "Clerks"}).status, 0);
    EXPECT_EQ(adm({"group", "add", "Clerks"}).err.trimmed(), "Duplicate Group Name, Add Failed");
    // The table tells names apart by letter case, as the editor leaves them.
    ASSERT_EQ(adm({"group", "add", "CLERKS"}).status, 0);
    AdminResult r = adm({"group", "add-constant", "Clerks", "Print"});
    EXPECT_EQ(r.err.trimmed(), "Several groups are named Clerks: give the id (#1, #2).") << r;
    ASSERT_EQ(adm({"group", "delete", "#2"}).status, 0);

    r = json({"group", "add-constant", "clerks", "Print", "Export", "print"});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.json()["added"].toInt(), 2);
    EXPECT_EQ(db->count("GRPCOLL"), 2);
    r = json({"group", "remove-constant", "Clerks", "Export", "Close"});
    EXPECT_EQ(r.json()["removed"].toInt(), 1);
    r = json({"group", "list"});
    EXPECT_EQ(r.json().toArray().at(0)["constants"].toArray(), QJsonArray {"Print"});

    db->exec(QString("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, 1, 'G')").arg(ann));
    db->exec(QString("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, 1, 'C')").arg(ann));
    ASSERT_EQ(adm({"group", "delete", "Clerks"}).status, 0);
    EXPECT_EQ(db->count("GROUPS"), 0);
    EXPECT_EQ(db->count("GRPCOLL"), 0);
    EXPECT_EQ(db->scalar("select TYPE from USERACC"), "C"); // constant 1 is not group 1
}

// Names are printed, not obeyed: a terminal escape sequence or a line break in a name
// is shown by its codes; JSON keeps the names as they are.
TEST_F(AdminTest, ListsShowControlCharactersInNamesAsCodes)
{
    db->addUser("Eve\x1b]0;owned\x07", "pw", "User_Def1", "'a\nb'");
    db->exec("insert into ACCESS (ACCESS_NAME) values ('P\x1b[31m')");
    db->exec("insert into GROUPS (GROUP_NAME) values ('G\x1b[2J')");
    db->exec("insert into GRPCOLL (GROUP_ID, ACCESS_ID) values (1, 1)");
    AdminResult users = adm({"user", "list"});
    ASSERT_EQ(users.status, 0) << users;
    AdminResult groups = adm({"group", "list"});
    ASSERT_EQ(groups.status, 0) << groups;
    AdminResult show = adm({"user", "show", "#1"});
    ASSERT_EQ(show.status, 0) << show;
    for (const AdminResult* r : {&users, &groups, &show}) {
        EXPECT_FALSE(r->out.contains('\x1b') || r->out.contains('\x07')) << *r;
        EXPECT_EQ(r->out.count('\n'), r == &show ? 25 : 2) << *r;
    }
    EXPECT_TRUE(users.out.contains("Eve\\x1B]0;owned\\x07")) << users;
    EXPECT_TRUE(users.out.contains("a\\x0Ab")) << users;
    EXPECT_TRUE(groups.out.contains("G\\x1B[2J")) << groups;
    EXPECT_TRUE(groups.out.contains("P\\x1B[31m")) << groups;
    EXPECT_EQ(json({"user", "list"}).json().toArray().at(0)["name"].toString(), "Eve\x1b]0;owned\x07");
}
