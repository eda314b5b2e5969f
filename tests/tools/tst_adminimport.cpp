// import-users: every row of a file listed as added, skipped or refused with its
// reason; nothing written without --apply, and with it all rows or none.
#include "tests/tools/AdminFixture.h"

namespace {
class Import : public AdminTest {
protected:
    void SetUp() override
    {
        AdminTest::SetUp();
        db->addUser("Old", "pw");
        db->exec("update PROGRAM set GLB_PWMaxDays = 40, GLB_AllowedAttempts = 5, GLB_AcctLocking = 1");
        for (const char* name : {"Print", "Export"})
            ASSERT_EQ(adm({"constant", "add", name}).status, 0);
        ASSERT_EQ(adm({"group", "add", "Clerks", "--constant", "Print"}).status, 0);
    }
    QString mixed() const
    {
        return file("users.csv", "name,password,field 1,field 2,admin,groups,constants\r\n"
                                 "Ann,pw1,Sales,,yes,Clerks,Print\r\n"
                                 "\"Ben, Jr.\",\"p\"\"w\",,,0,,print; Export\n"
                                 "Cid,pw,,,no\n"
                                 "Dan,\"pw,,,,,\n"
                                 "Eve,p\"w,,,,,\n"
                                 "ann,pw,,,,,\n"
                                 "Fay,0123456789abcdef,,,,,\n"
                                 "Gus,pw,,,,Nobody,\n"
                                 "OLD,pw,,,,,\n"
                                 "H\xffl,pw,,,,,\n"
                                 "Ivy,pw,,,maybe,,\n"
                                 "Joe,pw,,,,,,\n"
                                 "\n");
    }
};
} // namespace

TEST_F(Import, EveryRowIsListedAndADryRunWritesNothing)
{
    const AdminResult r = adm({"import-users", mixed()});
    EXPECT_EQ(r.status, 1) << r;
    const QStringList expected {
        "line 2: added Ann",
        "line 3: added Ben, Jr.",
        "line 4: refused Cid (missing columns (5 of 7))",
        "line 5: refused (a quote that is not closed (column 2))",
        "line 6: refused (a quote inside an unquoted field (column 2))",
        "line 7: refused ann (the name is also on line 2)",
        "line 8: refused Fay (password longer than 15 characters)",
        "line 9: refused Gus (no group is named Nobody)",
        "line 10: skipped OLD (name exists)",
        "line 11: refused (bytes that are not UTF-8 text)",
        "line 12: refused Ivy (admin is \"maybe\", not yes or no)",
        "line 13: refused Joe (too many columns (8 of 7))",
        "2 added, 1 skipped, 9 refused; dry run, nothing written (use --apply to write)",
    };
    EXPECT_EQ(r.out.trimmed().split('\n'), expected) << r;
    EXPECT_EQ(r.err.trimmed(), "9 row(s) refused");
    EXPECT_EQ(db->count("USERS"), 1);

    // With --apply and refused rows nothing is written either.
    EXPECT_EQ(adm({"import-users", mixed(), "--apply"}).status, 1);
    EXPECT_EQ(db->count("USERS"), 1);
}

TEST_F(Import, ApplyWritesUsersAsTheEditorMakesThem)
{
    const AdminResult r = json({"import-users", mixed(), "--apply", "--skip-refused"});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_TRUE(r.json()["written"].toBool());
    EXPECT_EQ(r.json()["rows"].toArray().size(), 12);
    EXPECT_EQ(db->count("USERS"), 3);
    const int ann = userId("Ann");
    const int ben = userId("Ben, Jr.");
    EXPECT_EQ(db->scalar(QString("select User_Password || User_Def1 || User_Admin || AcctLocking || AllowedAttempts "
                                 "from USERS where USER_ID = %1")
                             .arg(ann)),
              "pw1Sales115");
    EXPECT_EQ(db->scalar(QString("select User_Password from USERS where USER_ID = %1").arg(ben)), "p\"w");
    EXPECT_EQ(integer(QString("select PWMAXDAYS from PWHIST where USER_ID = %1").arg(ben)), 40);
    EXPECT_EQ(db->count("PWHIST"), 3);
    EXPECT_EQ(db->scalar(QString("select list(TYPE || ACCESS_ID, ' ') from (select * from USERACC where USER_ID = %1 "
                                 "order by TYPE, ACCESS_ID)")
                             .arg(ann)),
              "C1 G1");
    EXPECT_EQ(integer(QString("select count(*) from USERACC where USER_ID = %1 and TYPE = 'C'").arg(ben)), 2);

    // Run again: every row that was added is now skipped.
    const AdminResult again = json({"import-users", mixed(), "--apply", "--skip-refused"});
    EXPECT_EQ(again.json()["added"].toInt(), 0);
    EXPECT_EQ(again.json()["skipped"].toInt(), 3);
    EXPECT_EQ(db->count("USERS"), 3);
}

TEST_F(Import, AFailureHalfWayWritesNothing)
{
    const QString path = file("good.csv", "Amy,pw,,,,Clerks,Print\nBoom,pw,,,,,\nCal,pw,,,,,\n");
    db->exec("CREATE EXCEPTION NO_BOOM 'no boom'");
    db->exec("CREATE TRIGGER NO_BOOM FOR USERS BEFORE INSERT POSITION 5 AS BEGIN "
             "IF (NEW.USER_NAME = 'Boom') THEN EXCEPTION NO_BOOM; END");
    AdminResult r = adm({"import-users", path, "--apply"});
    EXPECT_EQ(r.status, 1) << r;
    EXPECT_TRUE(r.err.startsWith("Nothing was imported: ")) << r;
    EXPECT_EQ(db->count("USERS"), 1);
    EXPECT_EQ(db->count("USERACC"), 0);
    EXPECT_EQ(db->count("PWHIST"), 1);

    r = adm({"import-users", tmp.path() + "/missing.csv"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith("Unable to open ")) << r;
}

// Something that is not a file of users (an endless device, one endless line) is
// refused with a message before it fills the memory.
TEST_F(Import, EndlessInputIsRefused)
{
    AdminResult r = adm({"import-users", "/dev/zero", "--apply"});
    EXPECT_EQ(r.status, 1) << r;
    EXPECT_EQ(r.err.trimmed(), "/dev/zero is not a CSV file of users: line 1 is longer than 65536 bytes.");
    const QString longLine = file("long.csv", "Amy,pw,,,,,\n" + QByteArray(70000, 'x') + "\n");
    r = adm({"import-users", longLine, "--apply"});
    EXPECT_TRUE(r.err.contains("line 2 is longer than")) << r;
    EXPECT_EQ(db->count("USERS"), 1);
}
