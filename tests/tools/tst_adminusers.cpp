// jovsecadm's user commands: the rows a new user gets, the editor's refusals,
// changes of account and policy, unlocking, and deleting all or nothing.
#include "tests/tools/AdminFixture.h"

#include <QDate>

namespace {
const QString kToday = QDate::currentDate().toString(Qt::ISODate);

void setGlobalPolicy(const TestDatabase& db)
{
    db.exec("update PROGRAM set GLB_PWMaxDays = 40, GLB_PWMINDAYS = 2, GLB_PWMINSIZE = 6, GLB_PWCOUNT = 4, "
            "GLB_AcctLocking = 1, GLB_AllowedAttempts = 5, GLB_PWaging = 1, GLB_PWKeepHist = 1");
}
} // namespace

TEST_F(AdminTest, AddedUserFollowsTheGlobalPolicyWithAHistoryRow)
{
    setGlobalPolicy(*db);
    const AdminResult r = json({"user", "add", "Ann", "--password", "pw", "--field1", "Sales", "--admin", "yes"});
    ASSERT_EQ(r.status, 0) << r;
    const int id = r.json()["id"].toInt();
    EXPECT_EQ(id, userId("Ann"));
    EXPECT_EQ(db->scalar(QString("select User_Enabled || User_Admin || Locked || PWMustChange || PWNeverExpires || "
                                 "PWNoChange || CustomAcctPolicy || PWaging || PWKeepHist || AcctLocking || "
                                 "AllowedAttempts from USERS where USER_ID = %1")
                             .arg(id)),
              "11000001115");
    EXPECT_EQ(db->scalar(QString("select User_Def1 from USERS where USER_ID = %1").arg(id)), "Sales");
    EXPECT_EQ(db->scalar(QString("select PWMAXDAYS || ' ' || PWMINDAYS || ' ' || PWMINSIZE || ' ' || PWCOUNT "
                                 "from PWHIST where USER_ID = %1")
                             .arg(id)),
              "40 2 6 4");
    EXPECT_EQ(db->scalar(QString("select cast(PWSETDATE as date) from PWHIST where USER_ID = %1").arg(id)), kToday);
    EXPECT_EQ(db->count("PWHIST"), 1);
}

TEST_F(AdminTest, AddRefusesWhatTheEditorRefusesAndWritesNothing)
{
    db->addUser("Ann", "pw");
    struct Case {
        QStringList args;
        int status;
        QString error;
    } cases[] = {
        {{"", "--password", "pw"}, 1, "Name field is Required."},
        {{"Bob"}, 1, "Password field is Required."},
        {{"Bob", "--password", QString(16, 'x')}, 1, "Password can not be longer than 15 characters."},
        {{QString(49, 'b'), "--password", "pw"}, 1, "User Name can not be longer than 48 characters."},
        {{"Bob", "--password", "pw", "--field2", QString(31, 'f')},
         1,
         "User Field 2 can not be longer than 30 characters."},
        {{"ANN", "--password", "pw"}, 1, "A user named ANN already exists."},
        {{"Bob", "--password", "pw", "--must-change", "yes", "--never-expires", "yes"},
         1,
         "User Must Change Password at Next Login excludes Password Never Expires and User Can't Change Password."},
        {{"Bob", "--password", "pw", "--admin", "maybe"}, 2, "--admin takes yes or no, not \"maybe\"."},
        {{"Bob", "Extra", "--password", "pw"}, 2, "Usage: jovsecadm user add NAME [options]"},
    };
    for (const Case& c : cases) {
        const AdminResult r = adm(QStringList {"user", "add"} + c.args);
        EXPECT_EQ(r.status, c.status) << r;
        EXPECT_EQ(r.err.trimmed(), c.error) << r;
        EXPECT_TRUE(r.out.isEmpty()) << r;
    }
    EXPECT_EQ(db->count("USERS"), 1);
    EXPECT_EQ(db->count("PWHIST"), 1);
    // "User Can't Change Password" brings "Password Never Expires" with it.
    ASSERT_EQ(adm({"user", "add", "Bob", "--password", "pw", "--no-change", "yes"}).status, 0);
    EXPECT_EQ(integer("select PWNeverExpires from USERS where USER_NAME = 'Bob'"), 1);
}

TEST_F(AdminTest, SetChangesTheAccountAndTheUsersOwnOrTheGlobalPolicy)
{
    setGlobalPolicy(*db);
    ASSERT_EQ(adm({"user", "add", "Ann", "--password", "pw", "--must-change", "yes"}).status, 0);
    const int id = userId("Ann");
    AdminResult r = adm({"user", "set", "ann", "--name", "Anna", "--password", "new", "--no-change", "yes", "--max-age",
                         "never", "--min-age", "never", "--min-length", "8", "--history", "off", "--locking", "7"});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(db->scalar(QString("select USER_NAME || ' ' || User_Password || ' ' || PWMustChange || PWNeverExpires "
                                 "|| PWNoChange || ' ' || CustomAcctPolicy || PWKeepHist || AcctLocking || ' ' || "
                                 "AllowedAttempts from USERS where USER_ID = %1")
                             .arg(id)),
              "Anna new 011 101 7");
    // "No Password History" keeps the remembered count.
    EXPECT_EQ(db->scalar(QString("select PWMAXDAYS || ' ' || PWMINDAYS || ' ' || PWMINSIZE || ' ' || PWCOUNT "
                                 "from PWHIST where USER_ID = %1")
                             .arg(id)),
              "0 99999 8 4");

    r = adm({"user", "set", "Anna", "--policy", "global"});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(integer(QString("select CustomAcctPolicy * 10 + AllowedAttempts from USERS where USER_ID = %1").arg(id)),
              5);
    EXPECT_EQ(db->scalar(QString("select PWMAXDAYS || ' ' || PWMINDAYS from PWHIST where USER_ID = %1").arg(id)),
              "40 2");

    EXPECT_EQ(adm({"user", "set", "Anna", "--max-age", "1000"}).status, 2);
    EXPECT_EQ(adm({"user", "set", "Anna", "--policy", "global", "--history", "3"}).status, 2);
    EXPECT_EQ(adm({"user", "set", "Nobody", "--admin", "yes"}).err.trimmed(), "No user is named Nobody.");
}

// Values come back as they are stored: a blank at either end of a password or a user
// field is shown, and a change of another column writes it back unchanged.
TEST_F(AdminTest, SetKeepsTheBlanksOfTheValuesItDoesNotChange)
{
    const int id = db->addUser("Ann", "pw ", "User_Def1", "' note '");
    const AdminResult r = adm({"user", "set", "Ann", "--admin", "yes"});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(db->scalar(QString("select '[' || User_Password || '|' || User_Def1 || ']' || User_Admin from USERS "
                                 "where USER_ID = %1")
                             .arg(id)),
              "[pw | note ]1");
    EXPECT_EQ(json({"user", "show", "Ann"}).json()["field1"].toString(), " note ");
}

TEST_F(AdminTest, UnlockKeepsTheFailedLogonCount)
{
    const int id = db->addUser("Ann", "pw", "Locked, LoginAttempts", "1, 3");
    const AdminResult r = adm({"user", "unlock", "Ann"});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(integer(QString("select Locked * 10 + LoginAttempts from USERS where USER_ID = %1").arg(id)), 3);
}

// A program stopped half-way through a change holds the rows: every write gives up
// after the lock timeout with a message and changes nothing.
TEST_F(AdminTest, WritesGiveUpOnRowsAnotherProgramHolds)
{
    const int ann = db->addUser("Ann", "pw", "Locked", "1");
    db->exec("insert into USERS (USER_NAME, User_PASSWORD) values ('Ben', 'pw')");
    const int ben = userId("Ben");
    db->exec("insert into ACCESS (ACCESS_NAME) values ('Print')");
    db->exec(QString("insert into LOG (ACCESS_DATE, USER_ID) values ('2026-01-05', %1)").arg(ann));
    const QString holdAnn = QString("update USERS set LOGINATTEMPTS = 2 where USER_ID = %1").arg(ann);
    const struct {
        QString held;
        QStringList command;
    } cases[] = {
        {holdAnn, {"user", "set", "Ann", "--field1", "changed"}},
        {holdAnn, {"user", "unlock", "Ann"}},
        {QString("delete from USERS where USER_ID = %1").arg(ben), {"grant", "Ben", "--constant", "Print"}},
        {"update LOG set ACCESS_ID = 1", {"log", "clear"}},
    };
    struct ShortLockTimeout {
        ShortLockTimeout() { TDatabase::setDefaultLockTimeout(300); }
        ~ShortLockTimeout() { TDatabase::setDefaultLockTimeout(TDatabase::kLockTimeout); }
    } shortTimeout;
    for (const auto& k : cases) {
        AdminResult r;
        {
            HeldRows holder(*db, k.held);
            r = adm(k.command);
        }
        EXPECT_EQ(r.status, 1) << r;
        EXPECT_TRUE(r.err.contains("lock time-out on wait transaction")) << r;
        EXPECT_TRUE(r.err.contains("within 0.3 seconds")) << r;
    }
    EXPECT_EQ(db->scalar(QString("select LOCKED || coalesce(User_Def1, '-') from USERS where USER_ID = %1").arg(ann)),
              "1-");
    EXPECT_EQ(db->count("USERACC") * 10 + db->count("LOG"), 1);
}

TEST_F(AdminTest, DeletingAUserTakesAllItsRowsOrNone)
{
    const auto fill = [this](const QString& name) {
        const int id = db->addUser(name, "pw");
        db->exec(QString("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, 1, 'C')").arg(id));
        db->exec(QString("insert into LOG (ACCESS_DATE, USER_ID) values (current_date, %1)").arg(id));
        return id;
    };
    const int ann = fill("Ann");
    fill("Bob");
    AdminResult r = adm({"user", "delete", "Ann"});
    ASSERT_EQ(r.status, 0) << r;
    for (const char* table : {"USERS", "PWHIST", "USERACC", "LOG"})
        EXPECT_EQ(integer(QString("select count(*) from %1 where USER_ID = %2").arg(table).arg(ann)), 0) << table;

    // The log refuses its part: nothing of Bob's goes.
    db->exec("CREATE EXCEPTION KEEP_LOG 'the log stays'");
    db->exec("CREATE TRIGGER LOG_STAYS FOR LOG BEFORE DELETE AS BEGIN EXCEPTION KEEP_LOG; END");
    r = adm({"user", "delete", "bob"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith("Error Deleting User: Bob\n")) << r;
    EXPECT_EQ(db->count("USERS"), 1);
    EXPECT_EQ(db->count("PWHIST"), 1);
    EXPECT_EQ(db->count("USERACC"), 1);
}

TEST_F(AdminTest, ListAndShowTellWhatTheEditorShows)
{
    const int ann = db->addUser("Ann", "pw", "User_Admin", "1");
    db->exec("insert into ACCESS (ACCESS_NAME) values ('Print')");
    db->exec("insert into GROUPS (GROUP_NAME) values ('Clerks')");
    db->exec(QString("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, 1, 'C')").arg(ann));
    db->exec(QString("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, 1, 'G')").arg(ann));
    db->exec(QString("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, 9, 'C')").arg(ann));
    AdminResult r = json({"user", "list"});
    ASSERT_EQ(r.status, 0) << r;
    const QJsonArray users = r.json().toArray();
    ASSERT_EQ(users.size(), 1);
    EXPECT_EQ(users[0]["name"].toString(), "Ann");
    EXPECT_TRUE(users[0]["admin"].toBool());
    EXPECT_EQ(users[0]["policy"].toString(), "global");

    r = json({"user", "show", QString("#%1").arg(ann)});
    ASSERT_EQ(r.status, 0) << r;
    const QJsonObject o = r.json().toObject();
    EXPECT_EQ(o["name"].toString(), "Ann");
    EXPECT_EQ(o["max_days"].toInt(), 21);
    EXPECT_EQ(o["groups"].toArray(), QJsonArray {"Clerks"});
    EXPECT_EQ(o["constants"].toArray(), (QJsonArray {"Print", "**Error**"}));

    r = adm({"user", "show", "Ann"});
    EXPECT_TRUE(r.out.contains("groups:")) << r;
    EXPECT_TRUE(r.out.contains("Print, **Error**")) << r;
}
