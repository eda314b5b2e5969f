// The global account policy dialog: what it shows, what OK stores and hands on to
// the users who follow it, and that Cancel stores nothing.
#include "EditorFixture.h"

#include "editor/TFrmGAPSettings.h"
#include "widgets/TRadioGroup.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

class GlobalPolicyTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        db->addProgram();
        follower = db->addUser("follower", "pw");
        custom = db->addUser("custom", "pw", "CustomAcctPolicy, AllowedAttempts", "1, 9");
        db->exec(QString("update PWHIST set PWMAXDAYS = 11, PWCOUNT = 2 where USER_ID = %1").arg(custom));
        noHistory = db->addUser("nohistory", "pw");
        db->exec(QString("delete from PWHIST where USER_ID = %1").arg(noHistory));
        openEditor();
    }
    // Runs Global Settings with the steps done in the dialog, closing with OK or Cancel.
    void globalSettings(const std::function<void(TFrmGAPSettings&)>& steps, bool ok)
    {
        whenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<TFrmGAPSettings*>(modal);
            ASSERT_NE(dialog, nullptr);
            steps(*dialog);
            (ok ? dialog->BitBtn1 : dialog->BitBtn2)->click();
        });
        editor->btnGAPSettingsClick();
    }
    int program(const QString& column) const { return integer("select " + column + " from PROGRAM"); }
    int follower = 0, custom = 0, noHistory = 0;
};

TEST_F(GlobalPolicyTest, OkStoresThePolicyAndHandsItOnToFollowersOnly)
{
    globalSettings(
        [](TFrmGAPSettings& d) {
            // The defaults as the dialog shows them.
            EXPECT_EQ(d.grpMaxAge->itemIndex(), 1);
            EXPECT_EQ(d.meditMaxAge->text(), "21");
            EXPECT_FALSE(d.grpMaxAge->isEnabled()); // aging is off
            EXPECT_EQ(d.grpUniqueness->itemIndex(), 0);
            EXPECT_FALSE(d.meditUniqueness->isEnabled());
            EXPECT_TRUE(d.rbtnNoLocking->isChecked());
            d.ckbxPWAgingEnabled->click();
            EXPECT_TRUE(d.meditMaxAge->isEnabled());
            d.meditMaxAge->setText("60");
            d.grpMinAge->setItemIndex(1);
            d.grpMinLength->setItemIndex(0);
            d.grpUniqueness->setItemIndex(1);
            EXPECT_TRUE(d.meditUniqueness->isEnabled());
            d.meditUniqueness->setText("10");
            d.rbtnAccountLocking->click();
            d.meditNumOfAttempts->setText("6");
        },
        true);
    EXPECT_EQ(program("GLB_PWMAXDAYS"), 60);
    EXPECT_EQ(program("GLB_PWMINDAYS"), 99999);
    EXPECT_EQ(program("GLB_PWMINSIZE"), 0);
    EXPECT_EQ(program("GLB_PWAGING"), 1);
    EXPECT_EQ(program("GLB_PWKEEPHIST"), 1);
    EXPECT_EQ(program("GLB_PWCOUNT"), 10);
    EXPECT_EQ(program("GLB_ACCTLOCKING"), 1);
    EXPECT_EQ(program("GLB_ALLOWEDATTEMPTS"), 6);

    EXPECT_EQ(userInt(follower, "PWaging"), 1);
    EXPECT_EQ(userInt(follower, "AcctLocking"), 1);
    EXPECT_EQ(userInt(follower, "AllowedAttempts"), 6);
    EXPECT_EQ(historyText(follower, "PWMAXDAYS"), "60");
    EXPECT_EQ(historyText(follower, "PWMINDAYS"), "99999");
    EXPECT_EQ(historyText(follower, "PWCOUNT"), "10");
    EXPECT_EQ(historyText(follower, "PWMINSIZE"), "0");

    EXPECT_EQ(userInt(custom, "AllowedAttempts"), 9);
    EXPECT_EQ(userInt(custom, "AcctLocking"), 0);
    EXPECT_EQ(historyText(custom, "PWMAXDAYS"), "11");
    EXPECT_EQ(historyText(custom, "PWCOUNT"), "2");

    EXPECT_EQ(integer(QString("select count(*) from PWHIST where USER_ID = %1").arg(noHistory)), 0);
    EXPECT_EQ(editor->selectedUserId(), -1);
    EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join("|"));
}

TEST_F(GlobalPolicyTest, TheChosenUserStaysChosenAndShowsTheNewGlobalPolicy)
{
    choose("follower");
    editor->PageControl1->setCurrentWidget(editor->AccountSheet);
    globalSettings(
        [](TFrmGAPSettings& d) {
            d.rbtnAccountLocking->click();
            d.meditNumOfAttempts->setText("4");
        },
        true);
    EXPECT_EQ(editor->selectedUserId(), follower);
    EXPECT_EQ(editor->dblkUserName->text(), "follower");
    EXPECT_TRUE(editor->grpCAP->isEnabled());
    EXPECT_TRUE(editor->rbtnAccountLocking->isChecked());
    EXPECT_EQ(editor->meditNumOfAttempts->text(), "4");
}

TEST_F(GlobalPolicyTest, EditsWithoutNumbersStoreTheFallbacksAndNoHistoryKeepsTheCount)
{
    db->exec("update PROGRAM set GLB_PWCOUNT = 7");
    editor->sqlProgram->close();
    editor->sqlProgram->open();
    globalSettings(
        [](TFrmGAPSettings& d) {
            d.ckbxPWAgingEnabled->click();
            d.grpMaxAge->setItemIndex(1);
            d.grpMinAge->setItemIndex(2);
            d.grpMinLength->setItemIndex(1);
            for (QLineEdit* e :
                 {d.meditMaxAge, d.meditMinAge, d.meditMinLength, d.meditUniqueness, d.meditNumOfAttempts})
                e->setText("ab");
        },
        true);
    EXPECT_EQ(program("GLB_PWMAXDAYS"), 21);
    EXPECT_EQ(program("GLB_PWMINDAYS"), 1);
    EXPECT_EQ(program("GLB_PWMINSIZE"), 5);
    EXPECT_EQ(program("GLB_PWCOUNT"), 7);
    EXPECT_EQ(program("GLB_ALLOWEDATTEMPTS"), 3);
    EXPECT_EQ(historyText(follower, "PWCOUNT"), "7");

    globalSettings(
        [](TFrmGAPSettings& d) {
            EXPECT_EQ(d.grpMinAge->itemIndex(), 2);
            EXPECT_TRUE(d.meditMinAge->isEnabled());
            d.grpMaxAge->setItemIndex(0);
            d.grpUniqueness->setItemIndex(1);
            d.meditUniqueness->setText("x");
        },
        true);
    EXPECT_EQ(program("GLB_PWMAXDAYS"), 0);
    EXPECT_EQ(program("GLB_PWCOUNT"), 5);
}

TEST_F(GlobalPolicyTest, CancelStoresNothingButTheChosenUserIsSavedFirst)
{
    choose("custom");
    editor->rbtnUseGLBPolicy->click();
    globalSettings([](TFrmGAPSettings& d) { d.rbtnAccountLocking->click(); }, false);
    EXPECT_EQ(program("GLB_ACCTLOCKING"), 0);
    // The chosen user had been switched to the global policy before the dialog.
    EXPECT_EQ(userInt(custom, "CustomAcctPolicy"), 0);
    EXPECT_EQ(userInt(custom, "AllowedAttempts"), 3);
    EXPECT_EQ(historyText(custom, "PWMAXDAYS"), "21");
    EXPECT_EQ(editor->dblkUserName->text(), "custom");
}

TEST_F(GlobalPolicyTest, RefusedUpdatesAreReportedByStep)
{
    struct Case {
        const char* table;
        const char* maxDays;
        const char* message;
        const char* followerAttempts; // USERS row after the run
        const char* followerMaxDays; // PWHIST row after the run
    } cases[] = {
        {"USERS", "33", "Error #1: Can not update users Account Policy with changes made to Global Account Policy", "3",
         "33"},
        {"PWHIST", "44", "Error #2: Can not update users Account Policy with changes made to Global Account Policy",
         "7", "33"},
    };
    db->exec("create exception NO_UPDATE 'refused'");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        messages.clear();
        db->exec(QString("create trigger REFUSE for %1 before update as begin exception NO_UPDATE; end").arg(c.table));
        globalSettings(
            [&c](TFrmGAPSettings& d) {
                d.ckbxPWAgingEnabled->setChecked(true);
                d.grpMaxAge->setItemIndex(1);
                d.meditMaxAge->setText(c.maxDays);
                d.meditNumOfAttempts->setText("7");
            },
            true);
        EXPECT_EQ(messages.texts(), QStringList {c.message});
        EXPECT_EQ(QString::number(program("GLB_PWMAXDAYS")), c.maxDays);
        EXPECT_EQ(QString::number(userInt(follower, "AllowedAttempts")), c.followerAttempts);
        EXPECT_EQ(historyText(follower, "PWMAXDAYS"), c.followerMaxDays);
        db->exec("drop trigger REFUSE");
    }
}
