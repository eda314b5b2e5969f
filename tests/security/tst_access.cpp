// The access test over the grants read at start-up, its log rows and messages, and
// the password-age queries.
#include "tests/security/SecurityFixture.h"

#include "database/TQuery.h"

namespace {
const QString kDenied = "Access is denied.  Please see your administrator to gain access to this feature.";
const QString kNobody = "No user is logged into the security system.";

class Access : public SecurityTest {
protected:
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
};
} // namespace

TEST_F(Access, GrantsDirectlyAndThroughGroupsInRecordSetOrder)
{
    const int ann = db->addUser("Ann", "pw");
    const int ben = db->addUser("Ben", "pw");
    const int sales = addGroup("Sales", {10, 11});
    const int audit = addGroup("Audit", {11, 12});
    addGroup("Other", {13});
    grant(ann, 1, "C");
    grant(ann, 10, "C"); // held directly and through Sales
    grant(ann, sales, "G");
    grant(ann, audit, "g"); // type letters compare without regard to case
    grant(ann, 2, "c");
    grant(ben, 3, "C");
    TJovCSsecure& c = start(soShowUI);
    ASSERT_TRUE(c.LogonEx("Ann", "pw"));
    const int logonRows = logRows();

    struct Case {
        int constant;
        bool granted;
    } cases[] = {{1, true},  {2, true},  {10, true},
                 {11, true}, {12, true}, {13, false}, // a group Ann is not a member of
                 {3, false}, // Ben's grant
                 {0, false}, {-1, false}};
    for (const Case& k : cases) {
        messages.clear();
        EXPECT_EQ(c.TestAccess(k.constant), k.granted) << k.constant;
        EXPECT_EQ(messages.texts(), k.granted ? QStringList {} : QStringList {kDenied}) << k.constant;
        EXPECT_EQ(logRows(QString("USER_ID=%1 and ACCESS_ID=%2").arg(ann).arg(k.constant)), k.granted ? 1 : 0)
            << k.constant;
    }
    EXPECT_EQ(logRows(), logonRows + 5);

    // Without soShowUI a refusal is silent.
    c.setShowUI(false);
    messages.clear();
    EXPECT_FALSE(c.TestAccess(13));
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(Access, GroupRowsWithoutAPositiveIdGrantNothing)
{
    const int dan = db->addUser("Dan", "pw");
    // A group with id 0 that holds constant 5.
    db->exec("set generator GROUP_ID_GEN to -1");
    const int zero = addGroup("Zero", {5});
    ASSERT_EQ(zero, 0);
    grant(dan, 0, "G");
    TJovCSsecure& c = start({});
    ASSERT_TRUE(c.LogonEx("Dan", "pw"));
    EXPECT_FALSE(c.TestAccess(5));
}

TEST_F(Access, GrantTablesWithMoreColumnsInAnotherOrderGiveTheSameAnswersAndRows)
{
    // A site that added a column to its grants and moved the type to the front.
    const int ann = db->addUser("Ann", "pw");
    const int sales = addGroup("Sales", {20, 21});
    db->exec("alter table USERACC add NOTE varchar(300)");
    db->exec("alter table USERACC alter column TYPE position 1");
    db->exec("alter table GRPCOLL alter column ACCESS_ID position 1");
    const QString note = QString::fromUtf8("\xc3\xa9").repeated(300);
    db->exec(
        QString("insert into USERACC (USER_ID, Access_ID, TYPE, NOTE) values (%1, 7, 'c', '%2')").arg(ann).arg(note));
    grant(ann, sales, "G");
    TJovCSsecure& c = start({});
    ASSERT_TRUE(c.LogonEx("Ann", "pw"));
    for (int constant : {7, 20, 21})
        EXPECT_TRUE(c.TestAccess(constant)) << constant;
    EXPECT_FALSE(c.TestAccess(22));

    // An application that reads the grant sets gets every row with its typed values.
    TQuery* userAcc = c.userAccessSet();
    ASSERT_TRUE(userAcc->active());
    EXPECT_EQ(userAcc->fieldNames(), QStringList({"TYPE", "USER_ID", "ACCESS_ID", "NOTE"}));
    ASSERT_EQ(userAcc->recordCount(), 2);
    userAcc->first();
    EXPECT_EQ(userAcc->fieldByName("Type")->value(), QVariant(QString("c")));
    EXPECT_EQ(userAcc->fieldByName("User_ID")->value(), QVariant(ann));
    EXPECT_EQ(userAcc->fieldByName("Access_ID")->value(), QVariant(7));
    EXPECT_EQ(userAcc->fieldByName("Note")->value(), QVariant(note));
    userAcc->next();
    EXPECT_EQ(userAcc->fieldByName("Type")->value(), QVariant(QString("G")));
    EXPECT_EQ(userAcc->fieldByName("Access_ID")->value(), QVariant(sales));
    EXPECT_TRUE(userAcc->fieldByName("Note")->isNull());
    TQuery* groupAcc = c.groupAccessSet();
    ASSERT_TRUE(groupAcc->active());
    EXPECT_EQ(groupAcc->fieldNames(), QStringList({"ACCESS_ID", "GROUP_ID"}));
    EXPECT_EQ(groupAcc->recordCount(), 2);
    EXPECT_EQ(groupAcc->fieldByName("Group_ID")->value(), QVariant(sales));
    EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join("|"));
}

TEST_F(Access, SupervisorPassesEverythingAndNobodyNothing)
{
    TJovCSsecure& c = start(soShowUI);
    EXPECT_FALSE(c.TestAccess(1));
    EXPECT_EQ(messages.texts(), QStringList {kNobody});
    c.setShowUI(false);
    messages.clear();
    EXPECT_FALSE(c.TestAccess(1));
    EXPECT_TRUE(messages.shown.isEmpty());

    ASSERT_TRUE(c.LogonEx("SUPERVISOR", "masterkey"));
    for (int constant : {0, -7, 1, 123456})
        EXPECT_TRUE(c.TestAccess(constant));
    EXPECT_EQ(logRows(), 0);
}

TEST_F(Access, GrantsAreThoseReadAtStartUp)
{
    const int eve = db->addUser("Eve", "pw");
    TJovCSsecure& c = start({});
    ASSERT_TRUE(c.LogonEx("Eve", "pw"));
    grant(eve, 4, "C");
    EXPECT_FALSE(c.TestAccess(4));
    TJovCSsecure& restarted = start({});
    ASSERT_TRUE(restarted.LogonEx("Eve", "pw"));
    EXPECT_TRUE(restarted.TestAccess(4));
}

TEST_F(Access, FailedLogRowKeepsTheGrantAndSaysSo)
{
    const int fay = db->addUser("Fay", "pw");
    grant(fay, 6, "C");
    db->exec("alter table LOG add constraint LOG_LOGONS_ONLY check (ACCESS_ID is null)");
    TJovCSsecure& c = start({}); // the log message shows whatever soShowUI says
    ASSERT_TRUE(c.LogonEx("Fay", "pw"));
    EXPECT_TRUE(c.TestAccess(6));
    EXPECT_EQ(messages.texts(), QStringList {"Error updating Log, Last Access & Access ID not updated"});
}

TEST_F(Access, PasswordAgeQueries)
{
    struct Case {
        int setDaysAgo, maxDays, minDays, neverExpires, noChange;
        bool expired, canChange;
    } cases[] = {
        {0, 0, 1, 0, 0, false, false}, // set today: not expired, too young to change
        {1, 0, 1, 0, 0, true, true}, // yesterday with no lifetime: expired; one day old
        {0, 0, 0, 0, 0, false, true}, // no minimum age: change at once
        {30, 21, 99999, 1, 0, false, false},
        {21, 21, 1, 0, 1, false, false}, // last day of the lifetime; changes forbidden
        {22, 21, 1, 0, 0, true, true},
    };
    TJovCSsecure& c = start({});
    int n = 0;
    for (const Case& k : cases) {
        const QString name = QString("U%1").arg(++n);
        const int id = db->addUser(name, "pw", "PWNeverExpires, PWNoChange",
                                   QString("%1, %2").arg(k.neverExpires).arg(k.noChange));
        db->exec(QString("update PWHIST set PWSETDATE = %1, PWMAXDAYS = %2, PWMINDAYS = %3 where "
                         "USER_ID = %4")
                     .arg(sqlDate(QDate::currentDate().addDays(-k.setDaysAgo)))
                     .arg(k.maxDays)
                     .arg(k.minDays)
                     .arg(id));
        ASSERT_TRUE(c.LogonEx(name, "pw"));
        EXPECT_EQ(c.PasswordExpired(), k.expired) << qPrintable(name);
        EXPECT_EQ(c.PasswordCanChange(), k.canChange) << qPrintable(name);
    }
}
