// Password change: the component's rules before the dialog, the dialog's checks in
// order, storing, the history shift and the failure paths.
#include "security/TFormCSPassword.h"
#include "tests/security/SecurityFixture.h"

#include "database/TFilter.h"
#include "database/TQuery.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {
class Password : public SecurityTest {
protected:
    // A user whose password may be changed today, with the given policy and history.
    int addAccount(const QString& password, int keepHist, int minSize, int count, const QStringList& history = {})
    {
        const int id = db->addUser("Pat", password, "PWKeepHist", QString::number(keepHist));
        QString sets = QString("PWMINDAYS = 0, PWMINSIZE = %1, PWCOUNT = %2").arg(minSize).arg(count);
        for (int k = 0; k < history.size(); ++k)
            sets += QString(", PW%1 = '%2'").arg(k + 1).arg(history[k]);
        db->exec(QString("update PWHIST set %1 where USER_ID = %2").arg(sets).arg(id));
        return id;
    }

    // The dialog as ChangePassword prepares it, boxes filled in, focus on OK.
    std::unique_ptr<TFormCSPassword> dialog(int id, const QString& current, const QString& fresh, const QString& verify)
    {
        auto d = std::make_unique<TFormCSPassword>();
        d->dbAlias = db->alias();
        d->UserID = id;
        for (TQuery* set : {d->sqlUsers, d->sqlPWHist}) {
            set->setDatabaseName(db->alias());
            set->open();
            set->setFilter(TFilter::equals("User_ID", id));
            set->setFiltered(true);
        }
        d->edPassword->setText(current);
        d->edPassword1->setText(fresh);
        d->edPassword2->setText(verify);
        d->show();
        d->bbnOk->setFocus();
        return d;
    }

    QStringList slotValues(int id) const
    {
        QStringList list;
        for (int k = 1; k <= 25; ++k)
            list << historyText(id, QString("PW%1").arg(k));
        return list;
    }
};

struct CheckCase {
    const char* title;
    int keepHist, minSize;
    const char* current;
    const char* fresh;
    const char* verify;
    const char* message; // empty: accepted
    const char* focus;
};

class PasswordCheck : public Password, public ::testing::WithParamInterface<CheckCase> { };
} // namespace

TEST_P(PasswordCheck, RefusesWithTheFirstFailingCheck)
{
    const CheckCase& k = GetParam();
    // PW1 holds the current password; PW3 is an empty slot in use.
    const int id = addAccount("Current1", k.keepHist, k.minSize, 5, {"Current1", "Older22", "", "x", "y"});
    auto d = dialog(id, k.current, k.fresh, k.verify);
    int result = QDialog::Accepted;
    const bool closes = d->FormClose(result);
    if (k.message[0]) {
        EXPECT_FALSE(closes);
        EXPECT_EQ(messages.texts(), QStringList {k.message});
        EXPECT_EQ(d->focusWidget()->objectName(), k.focus);
        EXPECT_EQ(static_cast<QLineEdit*>(d->focusWidget())->selectedText(),
                  static_cast<QLineEdit*>(d->focusWidget())->text());
        EXPECT_EQ(db->scalar(QString("select User_Password from USERS where USER_ID=%1").arg(id)), "Current1");
    } else {
        EXPECT_TRUE(closes);
        EXPECT_EQ(result, QDialog::Accepted);
        EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join("|"));
        EXPECT_EQ(db->scalar(QString("select User_Password from USERS where USER_ID=%1").arg(id)), k.fresh);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Checks, PasswordCheck,
    ::testing::Values(
        CheckCase {"WrongCurrent", 0, 5, "Wrong", "NewPass1", "NewPass1", "Current password is invalid.", "edPassword"},
        CheckCase {"CurrentAlwaysCountsLetterCase", 0, 5, "current1", "NewPass1", "NewPass1",
                   "Current password is invalid.", "edPassword"},
        CheckCase {"Mismatch", 0, 5, "Current1", "NewPass1", "NewPass2", "Passwords do not match.", "edPassword1"},
        CheckCase {"TooShort", 0, 5, "Current1", "abcd", "abcd", "New Password Must Be At Least 5 Characters Long.",
                   "edPassword1"},
        CheckCase {"SameAsCurrent", 1, 5, "Current1", "Current1", "Current1",
                   "New Password Can Not Match Current Password.", "edPassword1"},
        CheckCase {"CurrentInOtherCaseIsInTheHistory", 1, 5, "Current1", "CURRENT1", "CURRENT1",
                   "Password Has Already Been Used.", "edPassword1"},
        CheckCase {"OlderPasswordInOtherCase", 1, 5, "Current1", "older22", "older22",
                   "Password Has Already Been Used.", "edPassword1"},
        CheckCase {"BlankMatchesAnEmptySlotInUse", 1, 0, "Current1", "", "", "Password Has Already Been Used.",
                   "edPassword1"},
        CheckCase {"BlankAllowedWithoutHistory", 0, 0, "Current1", "", "", "", ""},
        CheckCase {"CurrentAgainWithoutHistory", 0, 5, "Current1", "Current1", "Current1", "", ""}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.title); });

TEST_F(Password, StoringShiftsTheHistoryBySlotCount)
{
    struct Case {
        int count;
        QStringList expectedFirst; // the rest of the 25 slots are empty
    } cases[] = {
        {5, {"Next1", "a", "b", "c", "d"}},
        {3, {"Next1", "a", "b"}},
        {0, {}},
    };
    for (const Case& k : cases) {
        db.reset(); // one alias at a time
        db = std::make_unique<TestDatabase>();
        const int id = addAccount("a", 0, 1, k.count, {"a", "b", "c", "d", "e", "f"});
        db->exec(QString("update PWHIST set PWSETDATE = '2001-01-01' where USER_ID = %1").arg(id));
        auto d = dialog(id, "a", "Next1", "Next1");
        int result = QDialog::Accepted;
        EXPECT_TRUE(d->FormClose(result));
        QStringList expected = k.expectedFirst;
        while (expected.size() < 25)
            expected << "";
        EXPECT_EQ(slotValues(id), expected) << k.count;
        // Unused slots hold empty text, not nulls.
        EXPECT_EQ(db->scalar(QString("select count(*) from PWHIST where USER_ID=%1 and PW25 = ''").arg(id)), "1");
        EXPECT_EQ(historyText(id, "cast(PWSETDATE as date)"), QDate::currentDate().toString(Qt::ISODate));
    }
}

TEST_F(Password, HistoryOverTwentyFiveSlotsFailsButThePasswordIsStored)
{
    const int id = addAccount("old", 0, 1, 26, {"old"});
    auto d = dialog(id, "old", "new", "new");
    int result = QDialog::Accepted;
    EXPECT_TRUE(d->FormClose(result));
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(messages.texts(),
              QStringList {"Error updating password history information, password history not changed."});
    EXPECT_EQ(db->scalar(QString("select User_Password from USERS where USER_ID=%1").arg(id)), "new");
    EXPECT_EQ(historyText(id, "PW1"), "old");
}

TEST_F(Password, RefusalsBeforeTheDialog)
{
    const int id = db->addUser("Quinn", "pw", "PWNoChange", "1");
    TJovCSsecure& c = start(soShowUI);
    EXPECT_FALSE(c.ChangePassword());
    EXPECT_EQ(messages.texts(), QStringList {"No user is logged into security"});
    c.setShowUI(false);
    messages.clear();
    ASSERT_TRUE(c.LogonEx("SUPERVISOR", "masterkey"));
    EXPECT_FALSE(c.PasswordChange());
    EXPECT_TRUE(messages.shown.isEmpty());

    ASSERT_TRUE(c.LogonEx("Quinn", "pw"));
    EXPECT_FALSE(c.ChangePassword());
    EXPECT_EQ(messages.texts(), QStringList {"Access Denied: Password Can Not Be Changed."});
    EXPECT_EQ(messages.shown.last().kind, Platform::MsgKind::Information);

    db->exec(QString("update USERS set PWNoChange = 0 where USER_ID = %1").arg(id));
    db->exec(QString("update PWHIST set PWMINDAYS = 99999 where USER_ID = %1").arg(id));
    ASSERT_TRUE(c.LogonEx("Quinn", "pw"));
    messages.clear();
    EXPECT_FALSE(c.ChangePassword());
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_TRUE(messages.last().startsWith("Minimum Password Age Has Not Expired, Password Can Be Changed On "));
    EXPECT_TRUE(messages.last().contains(QString::number(QDate::currentDate().addDays(99999).year())));
    EXPECT_EQ(messages.shown.last().kind, Platform::MsgKind::Information);
}

TEST_F(Password, RealDialogChangesThePasswordWithEnterMovingOn)
{
    const int id = addAccount("Old123", 1, 5, 5, {"Old123"});
    db->exec(QString("update PWHIST set PWSETDATE = '2001-01-01' where USER_ID = %1").arg(id));
    TJovCSsecure& c = start({});
    ASSERT_TRUE(c.LogonEx("Pat", "Old123"));
    whenModal([](QWidget* w) {
        auto* d = qobject_cast<TFormCSPassword*>(w);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(FormPassword, d);
        EXPECT_EQ(d->windowTitle(), "Change Password");
        EXPECT_EQ(tabOrder(d->edPassword),
                  (QList<QWidget*> {d->edPassword, d->edPassword1, d->edPassword2, d->bbnOk, d->bbnCancel}));
        d->edPassword->setFocus();
        for (const auto& [box, text] : {std::pair {d->edPassword, "Old123"}, std::pair {d->edPassword1, "New456"},
                                        std::pair {d->edPassword2, "New456"}}) {
            ASSERT_EQ(d->focusWidget(), box);
            QTest::keyClicks(box, text);
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    EXPECT_TRUE(c.ChangePassword());
    EXPECT_EQ(FormPassword, nullptr);
    EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join("|"));
    EXPECT_EQ(c.PWSetDate().date(), QDate::currentDate());
    EXPECT_EQ(c.UserPassword(), "Old123"); // not refreshed
    EXPECT_EQ(db->scalar(QString("select User_Password from USERS where USER_ID=%1").arg(id)), "New456");
    EXPECT_EQ(historyText(id, "PW1"), "New456");
    EXPECT_EQ(historyText(id, "PW2"), "Old123");
}

TEST_F(Password, PasswordThatCannotBeStoredIsNotReportedAsChanged)
{
    const int id = addAccount("Old123", 0, 1, 5, {"Old123"});
    db->exec(QString("update PWHIST set PWSETDATE = '2001-01-01' where USER_ID = %1").arg(id));
    TJovCSsecure& c = start({});
    ASSERT_TRUE(c.LogonEx("Pat", "Old123"));
    const QDateTime setBefore = c.PWSetDate();
    const QString tooLong(16, 'z'); // wider than the column
    whenModal([&tooLong](QWidget* w) {
        auto* d = qobject_cast<TFormCSPassword*>(w);
        ASSERT_NE(d, nullptr);
        d->edPassword->setText("Old123");
        d->edPassword1->setText(tooLong);
        d->edPassword2->setText(tooLong);
        d->bbnOk->setFocus();
        d->bbnOk->click();
    });
    EXPECT_FALSE(c.ChangePassword());
    EXPECT_EQ(messages.texts(), QStringList {"Error updating user information, password not changed"});
    EXPECT_EQ(c.PWSetDate(), setBefore);
    EXPECT_EQ(db->scalar(QString("select User_Password from USERS where USER_ID=%1").arg(id)), "Old123");
    EXPECT_EQ(historyText(id, "PW1"), "Old123");
}
