// Logon: the dialog's close handler with its locking rules, the dialog run for real,
// the supervisor, the forced password change, LogonEx and the bookkeeping.
#include "security/TFormCSLogon.h"
#include "security/TFormCSPassword.h"
#include "tests/security/SecurityFixture.h"

#include "database/TDatabase.h"
#include "database/TQuery.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {
const QString kInvalid = "Invalid Username or Password";
const QString kExpired = "Your Password Has Expired, You Must Change Your Password Now.";

class Logon : public SecurityTest {
protected:
    // A logon dialog on the test database, as Logon prepares it, with the boxes filled
    // in and the focus in the password box (Enter there, or a click on OK).
    std::unique_ptr<TFormCSLogon> dialog(const QString& name, const QString& password, bool checkCase = false,
                                         const QString& superPw = "masterkey")
    {
        auto d = std::make_unique<TFormCSLogon>();
        d->sqlUsers->setDatabaseName(db->alias());
        d->sqlPWHist->setDatabaseName(db->alias());
        d->sqlUsers->open();
        d->sqlPWHist->open();
        d->CheckCase = checkCase;
        d->Password = superPw;
        d->edUserName->setText(name);
        d->edPassword->setText(password);
        d->show();
        d->edPassword->setFocus();
        return d;
    }
    // Answers the logon dialog, then the password change it asks for, as a user would.
    void logOnChangingPassword(const QString& name, const QString& oldPassword, const QString& newPassword)
    {
        whenModal([=](QWidget* w) {
            auto* d = qobject_cast<TFormCSLogon*>(w);
            ASSERT_NE(d, nullptr);
            d->edUserName->setText(name);
            d->edPassword->setText(oldPassword);
            d->edPassword->setFocus();
            whenModal([=](QWidget* next) {
                auto* p = qobject_cast<TFormCSPassword*>(next);
                ASSERT_NE(p, nullptr);
                p->edPassword->setText(oldPassword);
                p->edPassword1->setText(newPassword);
                p->edPassword2->setText(newPassword);
                p->bbnOk->setFocus();
                p->bbnOk->click();
            });
            d->bbtnOk->click();
        });
    }
};

struct AttemptCase {
    const char* title;
    const char* columns; // AcctLocking, Locked, User_Enabled, AllowedAttempts, LoginAttempts
    const char* typed;
    bool checkCase;
    bool closes;
    int result;
    const char* message; // empty: none
    int locked;
    int attempts;
};

class LogonAttempt : public Logon, public ::testing::WithParamInterface<AttemptCase> { };
} // namespace

TEST_P(LogonAttempt, CountsLocksAndWritesBack)
{
    const AttemptCase& c = GetParam();
    const int id =
        db->addUser("Alice", "Secret", "AcctLocking, Locked, User_Enabled, AllowedAttempts, LoginAttempts", c.columns);
    auto d = dialog("alice", c.typed, c.checkCase);
    int result = QDialog::Accepted;
    EXPECT_EQ(d->FormClose(result), c.closes);
    if (c.closes) {
        EXPECT_EQ(result, c.result);
    }
    EXPECT_EQ(messages.texts(), c.message[0] ? QStringList {c.message} : QStringList {});
    EXPECT_EQ(userInt(id, "Locked"), c.locked);
    EXPECT_EQ(userInt(id, "LoginAttempts"), c.attempts);
    EXPECT_FALSE(d->Supervisor);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LogonAttempt,
    ::testing::Values(
        AttemptCase {"FirstWrongPasswordCounts", "1, 0, 1, 3, 0", "wrong", false, false, 0,
                     "Invalid Username or Password", 0, 1},
        AttemptCase {"ThirdWrongPasswordLocks", "1, 0, 1, 3, 2", "wrong", false, true, QDialog::Rejected,
                     "Too Many Invalid Logon Attempts, User Account Has Been Locked.", 1, 3},
        AttemptCase {"OneAllowedAttemptLocksWithoutCounting", "0, 0, 1, 1, 0", "wrong", false, true, QDialog::Rejected,
                     "Too Many Invalid Logon Attempts, User Account Has Been Locked.", 1, 0},
        AttemptCase {"WithoutCountingTheCounterStays", "0, 0, 1, 3, 1", "wrong", false, false, 0,
                     "Invalid Username or Password", 0, 1},
        AttemptCase {"RightPasswordResetsTheCounter", "1, 0, 1, 3, 2", "Secret", false, true, QDialog::Accepted, "", 0,
                     0},
        AttemptCase {"OtherLetterCaseAcceptedWithoutCaseCheck", "1, 0, 1, 3, 0", "sECRET", false, true,
                     QDialog::Accepted, "", 0, 0},
        AttemptCase {"OtherLetterCaseRefusedWithCaseCheck", "1, 0, 1, 3, 0", "sECRET", true, false, 0,
                     "Invalid Username or Password", 0, 1},
        AttemptCase {"LockedAccountCountsAsAFailure", "1, 1, 1, 3, 3", "Secret", false, true, QDialog::Rejected,
                     "User Account Has Been Locked, Contact Your System Administrator.", 1, 4},
        AttemptCase {"DisabledAccountCountsAsAFailure", "1, 0, 0, 3, 0", "Secret", false, true, QDialog::Rejected,
                     "User Account has been disabled.", 0, 1},
        AttemptCase {"UnlockedAccountRelocksAtTheNextWrongPassword", "1, 0, 1, 3, 3", "wrong", false, true,
                     QDialog::Rejected, "Too Many Invalid Logon Attempts, User Account Has Been Locked.", 1, 4}),
    [](const ::testing::TestParamInfo<AttemptCase>& info) { return std::string(info.param.title); });

TEST_F(Logon, NamesAreMatchedWholeAndQuotedSafely)
{
    const int obrien = db->addUser("O'Brien", "pw", "AcctLocking", "1");
    db->addUser("Mallory", "pw");
    // A name with a quote logs on; a prefix, and a name crafted to widen the filter,
    // match nobody, may be retried, and write nothing.
    for (const QString& name : {QString("O'Bri"), QString("x' or User_Name<>'x"), QString("Mal")}) {
        messages.clear();
        auto d = dialog(name, "pw");
        int result = QDialog::Accepted;
        EXPECT_FALSE(d->FormClose(result)) << qPrintable(name);
        EXPECT_EQ(messages.texts(), QStringList {kInvalid});
        EXPECT_FALSE(d->LoginAttempted);
        EXPECT_EQ(d->edUserName->selectedText(), name);
    }
    auto d = dialog("o'brien", "PW");
    int result = QDialog::Accepted;
    EXPECT_TRUE(d->FormClose(result));
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(d->sqlUsers->fieldByName("User_ID")->asInteger(), obrien);
}

TEST_F(Logon, EnterInTheNameBoxMovesToThePasswordBox)
{
    db->addUser("Carol", "pw");
    auto d = dialog("Carol", "pw");
    d->edUserName->setFocus();
    int result = QDialog::Accepted;
    EXPECT_FALSE(d->FormClose(result));
    EXPECT_EQ(d->focusWidget(), d->edPassword);
    EXPECT_TRUE(messages.shown.isEmpty());
    // Cancel from the name box closes.
    result = QDialog::Rejected;
    d->edUserName->setFocus();
    EXPECT_TRUE(d->FormClose(result));
    EXPECT_EQ(result, QDialog::Rejected);
}

TEST_F(Logon, ControlsCarryTheirNamesAndTabOrder)
{
    TFormCSLogon d;
    EXPECT_EQ(FormLogon, &d);
    for (const char* name : {"lblUserName", "edUserName", "lblUserPassword", "edPassword", "bbtnOk", "bbtnCancel"})
        EXPECT_NE(d.findChild<QWidget*>(name), nullptr) << name;
    EXPECT_EQ(tabOrder(d.edUserName), (QList<QWidget*> {d.edUserName, d.edPassword, d.bbtnOk, d.bbtnCancel}));
}

TEST_F(Logon, SupervisorCredentials)
{
    struct Case {
        QString name, password, componentPassword;
        bool checkCase, supervisor;
    } cases[] = {
        {"supervisor", "MASTERKEY", "masterkey", false, true},
        {"SUPERVISOR", "masterkey", "masterkey", true, true},
        {"Supervisor", "masterkey", "masterkey", true, false},
        {"SUPERVISOR", "Masterkey", "masterkey", true, false},
        {"SUPERVISOR", "", "", false, false}, // no database password: no supervisor
    };
    for (const Case& c : cases) {
        messages.clear();
        auto d = dialog(c.name, c.password, c.checkCase, c.componentPassword);
        int result = QDialog::Rejected;
        d->FormClose(result);
        EXPECT_EQ(d->Supervisor, c.supervisor) << qPrintable(c.name + "/" + c.password);
    }
}

TEST_F(Logon, RealDialogLogsTheUserOnWithBookkeeping)
{
    const int id =
        db->addUser("Dave", "pw", "User_Def1, User_AccessCount, PWMustChange, PWNeverExpires", "'Sales', 7, 1, 1");
    TJovCSsecure& c = start();
    whenModal([](QWidget* w) {
        auto* d = qobject_cast<TFormCSLogon*>(w);
        ASSERT_NE(d, nullptr);
        d->edUserName->setFocus();
        QTest::keyClicks(d->edUserName, "dave");
        QTest::keyClick(d->edUserName, Qt::Key_Return); // moves on
        ASSERT_EQ(d->focusWidget(), d->edPassword);
        QTest::keyClicks(d->edPassword, "pw");
        QTest::keyClick(d->edPassword, Qt::Key_Return); // submits
    });
    EXPECT_TRUE(c.Logon());
    EXPECT_EQ(FormLogon, nullptr);
    EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join("|"));
    EXPECT_EQ(c.UserID(), id);
    EXPECT_EQ(c.UserName(), "Dave");
    EXPECT_EQ(c.UserField1(), "Sales");
    EXPECT_EQ(c.UserAccessCount(), 7);
    EXPECT_EQ(c.PWSetDate().date(), QDate::currentDate());
    EXPECT_EQ(c.PWMaxDays(), 21);
    EXPECT_EQ(c.PWMustChange(), 0);
    EXPECT_EQ(userInt(id, "User_AccessCount"), 8);
    EXPECT_EQ(userInt(id, "PWMustChange"), 0);
    EXPECT_EQ(db->scalar(QString("select cast(User_LastAccess as date) from USERS where USER_ID=%1").arg(id)),
              QDate::currentDate().toString(Qt::ISODate));
    EXPECT_EQ(logRows(QString("USER_ID=%1 and ACCESS_ID is null").arg(id)), 1);
}

// A logon by name reads the one user's rows through the index by the upper-cased name,
// not every user's; a name with letters beyond ASCII still finds its user in any case.
TEST_F(Logon, LogonExReadsOnlyTheUsersOwnRows)
{
    db->exec(
        "insert into USERS (USER_NAME, USER_PASSWORD, USER_ENABLED) with recursive n (i) as "
        "(select 0 from RDB$DATABASE union all select i + 1 from n where i < 399) select 'User' || i, 'pw', 1 from n");
    db->exec("insert into PWHIST (USER_ID, PW1, PWSETDATE, PWMAXDAYS, PWMINDAYS) "
             "select USER_ID, 'pw', current_date, 0, 0 from USERS");
    const int accented = db->addUser("\u00e4rger", "pw");
    TJovCSsecure& c = start();
    const auto rowsRead = [this] {
        TQuery stats;
        stats.setDatabaseName(db->alias());
        stats.setSQL("select sum(r.MON$RECORD_SEQ_READS + r.MON$RECORD_IDX_READS) from MON$ATTACHMENTS a "
                     "join MON$TABLE_STATS t on t.MON$STAT_ID = a.MON$STAT_ID "
                     "join MON$RECORD_STATS r on r.MON$STAT_ID = t.MON$RECORD_STAT_ID "
                     "where a.MON$ATTACHMENT_ID = CURRENT_CONNECTION and t.MON$TABLE_NAME in ('USERS', 'PWHIST')");
        stats.open();
        return stats.field(0)->asInteger();
    };
    const int before = rowsRead();
    ASSERT_TRUE(c.LogonEx("uSER250", "pw"));
    EXPECT_EQ(c.UserName(), "User250");
    EXPECT_LT(rowsRead() - before, 10) << "every user's row was read";
    ASSERT_TRUE(c.LogonEx("\u00c4RGER", "PW"));
    EXPECT_EQ(c.UserID(), accented);
    EXPECT_FALSE(c.LogonEx("User2500", "pw"));
}

TEST_F(Logon, SupervisorTakesOverOnlyWithOk)
{
    const int id = db->addUser("Erin", "pw");
    TJovCSsecure& c = start();
    ASSERT_TRUE(c.LogonEx("Erin", "pw"));
    for (bool pressOk : {false, true}) {
        whenModal([pressOk](QWidget* w) {
            auto* d = qobject_cast<TFormCSLogon*>(w);
            ASSERT_NE(d, nullptr);
            d->edUserName->setText("supervisor");
            d->edPassword->setText("masterkey");
            (pressOk ? d->bbtnOk : d->bbtnCancel)->click();
        });
        EXPECT_EQ(c.Logon(), pressOk);
        EXPECT_EQ(c.UserID(), pressOk ? 0 : id);
    }
    EXPECT_EQ(c.UserName(), "Supervisor");
    EXPECT_EQ(c.UserField1(), "N/A");
    EXPECT_EQ(c.UserPassword(), "masterkey");
    EXPECT_TRUE(c.UserAdmin());
    EXPECT_TRUE(c.PasswordExpired()); // never asked for the supervisor
    EXPECT_EQ(logRows("USER_ID=0"), 0);
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(Logon, CancelledForcedPasswordChangeLeavesTheFormerState)
{
    const int id = db->addUser("Frank", "old1", "PWMustChange", "1");
    db->exec(QString("update PWHIST set PWMINDAYS = 0 where USER_ID = %1").arg(id));
    TJovCSsecure& c = start();
    whenModal([this](QWidget* w) {
        auto* d = qobject_cast<TFormCSLogon*>(w);
        ASSERT_NE(d, nullptr);
        d->edUserName->setText("Frank");
        d->edPassword->setText("old1");
        d->edPassword->setFocus();
        whenModal([](QWidget* next) {
            auto* p = qobject_cast<TFormCSPassword*>(next);
            ASSERT_NE(p, nullptr);
            p->bbnCancel->click();
        });
        d->bbtnOk->click();
    });
    EXPECT_FALSE(c.Logon());
    EXPECT_EQ(messages.texts(), QStringList {kExpired});
    EXPECT_EQ(messages.shown.first().kind, Platform::MsgKind::Information);
    EXPECT_EQ(c.UserID(), -1);
    EXPECT_FALSE(c.Active());
    EXPECT_TRUE(c.UserName().isEmpty());
    EXPECT_FALSE(c.TestAccess(1));
    EXPECT_EQ(userInt(id, "PWMustChange"), 1);
    EXPECT_EQ(userInt(id, "User_AccessCount"), 0);
    EXPECT_EQ(logRows(), 0);
}

TEST_F(Logon, ExpiredPasswordIsChangedBeforeTheLogonCompletes)
{
    const int id = db->addUser("Gus", "old11", "PWMustChange", "1");
    db->exec(QString("update PWHIST set PWSETDATE = '2001-01-01', PWMINDAYS = 0 where USER_ID = %1").arg(id));
    TJovCSsecure& c = start();
    logOnChangingPassword("Gus", "old11", "new22");
    EXPECT_TRUE(c.Logon());
    EXPECT_EQ(messages.texts(), QStringList {kExpired});
    EXPECT_EQ(c.UserID(), id);
    EXPECT_EQ(c.PWSetDate().date(), QDate::currentDate());
    EXPECT_FALSE(c.PasswordExpired());
    EXPECT_EQ(db->scalar(QString("select User_Password from USERS where USER_ID=%1").arg(id)), "new22");
    EXPECT_EQ(userInt(id, "PWMustChange"), 0);
    EXPECT_EQ(userInt(id, "User_AccessCount"), 1);
    EXPECT_EQ(logRows(QString("USER_ID=%1").arg(id)), 1);
}

TEST_F(Logon, UnreachableSecurityFilesRefuseWithTheirMessage)
{
    TJovCSsecure c;
    c.setAlias("JOVSEC_NO_SUCH_ALIAS");
    c.setPassword("masterkey");
    EXPECT_FALSE(c.Logon());
    EXPECT_FALSE(c.LogonEx("Anyone", "pw"));
    EXPECT_EQ(messages.texts(), (QStringList {"Unable to Access Security Files", "Unable to Access Security Files"}));
    EXPECT_EQ(FormLogon, nullptr);
}

TEST_F(Logon, AnAccountRowHeldByAStoppedProgramDelaysTheLogonOnlyForTheLockTimeout)
{
    const int id = db->addUser("Alice", "Secret", "AcctLocking", "1");
    {
        HeldRows holder(*db, QString("update USERS set User_Def1 = 'busy' where User_Id = %1").arg(id));
        auto d = dialog("alice", "wrong");
        TDatabase::connectionFor(db->alias())->setLockTimeout(300);
        int result = QDialog::Accepted;
        EXPECT_FALSE(d->FormClose(result));
        EXPECT_EQ(messages.texts(), (QStringList {kInvalid, "Error updating user information"}));
    }
    EXPECT_EQ(userInt(id, "LoginAttempts"), 0);
}

TEST_F(Logon, LogonExRules)
{
    const int anne = db->addUser("Anne", "Pass", "PWMustChange", "1");
    db->addUser("Off", "pw", "User_Enabled", "0");
    db->addUser("Shut", "pw", "Locked", "1");
    db->addUser("O'Neil", "pw");
    struct Case {
        QString name, password;
        bool accepted;
    } cases[] = {
        {"anne", "pASS", true}, // password in any letter case
        {"Anne", "wrong", false},
        {"Ann", "Pass", false}, // whole names only
        {"Off", "pw", false}, // disabled
        {"Shut", "pw", false}, // locked accounts stay out
        {"O'Neil", "pw", true},
        {"x' or User_Name<>'x", "pw", false},
        {"supervisor", "masterkey", true},
        {"SUPERVISOR", "MASTERKEY", false}, // the supervisor's password counts letter case
    };
    TJovCSsecure& c = start();
    for (const Case& k : cases) {
        ASSERT_TRUE(c.LogonEx("Anne", "Pass"));
        messages.clear();
        EXPECT_EQ(c.LogonEx(k.name, k.password), k.accepted) << qPrintable(k.name);
        if (!k.accepted) {
            EXPECT_EQ(c.UserID(), anne) << "a refusal keeps the former user";
        }
        EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join("|"));
    }
    // Neither PWMustChange nor the password's age is acted on; bookkeeping is done.
    EXPECT_EQ(userInt(anne, "PWMustChange"), 1);
    EXPECT_EQ(userInt(anne, "User_AccessCount"), int(std::size(cases)) + 1);
    EXPECT_EQ(logRows(QString("USER_ID=%1").arg(anne)), int(std::size(cases)) + 1);
}

TEST_F(Logon, WithoutADatabasePasswordSupervisorIsAnOrdinaryName)
{
    const int id = db->addUser("SUPERVISOR", "");
    TJovCSsecure& c = start(soShowUI, "");
    EXPECT_TRUE(c.LogonEx("supervisor", ""));
    EXPECT_EQ(c.UserID(), id);
    EXPECT_FALSE(c.UserAdmin());
    EXPECT_EQ(logRows(QString("USER_ID=%1").arg(id)), 1);
}

TEST_F(Logon, NothingIsLoggedWhenLoggingWasOffAtStartUp)
{
    db->exec("update PROGRAM set LOGENABLED = 0");
    db->addUser("Gail", "pw");
    TJovCSsecure& c = start();
    db->exec("update PROGRAM set LOGENABLED = 1");
    EXPECT_TRUE(c.LogonEx("Gail", "pw"));
    EXPECT_EQ(logRows(), 0);
}

TEST_F(Logon, ForcedChangeIsNotHeldBackByTheMinimumAgeButAVoluntaryOneIs)
{
    // The password was set today and may not change for five days, yet must change now.
    const int id = db->addUser("Hal", "old11", "PWMustChange", "1");
    db->exec(QString("update PWHIST set PWMINDAYS = 5 where USER_ID = %1").arg(id));
    TJovCSsecure& c = start();
    logOnChangingPassword("Hal", "old11", "new22");
    EXPECT_TRUE(c.Logon());
    EXPECT_EQ(messages.texts(), QStringList {kExpired});
    EXPECT_EQ(db->scalar(QString("select User_Password from USERS where USER_ID=%1").arg(id)), "new22");
    EXPECT_EQ(userInt(id, "PWMustChange"), 0);

    // A change the user asks for afterwards waits for the minimum age.
    messages.clear();
    EXPECT_FALSE(c.ChangePassword());
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.last().startsWith("Minimum Password Age Has Not Expired")) << qPrintable(messages.last());
}

TEST_F(Logon, EveryLogonAttemptAndPasswordChangeLeavesAnAuditEventWithoutThePassword)
{
    const int alice = db->addUser("Alice", "Secret", "AcctLocking, AllowedAttempts", "1, 2");
    const int hal = db->addUser("Hal", "old11", "PWMustChange", "1");
    for (const char* typed : {"wrong", "wrong"}) {
        auto d = dialog("alice", typed);
        int result = QDialog::Accepted;
        d->FormClose(result);
    }
    {
        auto d = dialog("nobody", "x");
        int result = QDialog::Accepted;
        d->FormClose(result);
    }
    messages.clear();
    TJovCSsecure& c = start();
    EXPECT_FALSE(c.LogonEx("Alice", "Secret")); // locked by the second attempt
    logOnChangingPassword("Hal", "old11", "new22");
    EXPECT_TRUE(c.Logon());
    EXPECT_TRUE(c.LogonEx("SUPERVISOR", "masterkey"));

    TQuery trail;
    trail.setDatabaseName(db->alias());
    trail.setSQL("select KIND, SEC_USER, OBJECT_ID, DETAILS from AUDIT_TRAIL order by EVENT_ID");
    trail.open();
    QStringList rows;
    for (trail.first(); !trail.eof(); trail.next())
        rows << QStringList {trail.field(0)->asString(), trail.field(1)->asString(), trail.field(2)->asString(),
                             trail.field(3)->asString()}
                    .join('|');
    EXPECT_EQ(rows,
              (QStringList {
                  QString("LogonRefused|Alice|%1|Wrong password").arg(alice),
                  QString("AccountLocked|Alice|%1|Wrong password: locked after 2 failed logons").arg(alice),
                  "LogonRefused|nobody||Unknown user name", QString("LogonRefused|Alice|%1|Account locked").arg(alice),
                  QString("LogonAccepted|Hal|%1|").arg(hal),
                  QString("PasswordChanged|Hal|%1|Forced change at logon").arg(hal), "LogonAccepted|SUPERVISOR||"}));
    EXPECT_EQ(db->scalar("select count(*) from AUDIT_TRAIL where DETAILS containing 'new22' or DETAILS containing "
                         "'old11' or DETAILS containing 'Secret'"),
              "0");
}
