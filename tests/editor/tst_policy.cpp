// The chosen user's account policy: the moments it is saved, custom against global
// values, and the numeric edits.
#include "EditorFixture.h"

#include "widgets/TRadioGroup.h"
#include "editor/TUpDown.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QFocusEvent>
#include <QTest>

namespace {
enum class Moment { Close, DropDown, LeavePage };
const char* nameOf(Moment m)
{
    return m == Moment::Close ? "closing" : m == Moment::DropDown ? "dropping the list down" : "leaving the page";
}
} // namespace

class PolicySaveTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        db->addProgram();
        db->exec("update PROGRAM set GLB_PWMAXDAYS = 30, GLB_PWMINDAYS = 2, GLB_PWMINSIZE = 6, GLB_PWCOUNT = 8, "
                 "GLB_ACCTLOCKING = 1, GLB_ALLOWEDATTEMPTS = 4, GLB_PWAGING = 1, GLB_PWKEEPHIST = 1");
    }

    // The moment the editor writes the chosen user's policy.
    void save(Moment moment)
    {
        switch (moment) {
        case Moment::Close:
            editor->btnOkClick();
            break;
        case Moment::DropDown:
            editor->dblkUserName->showPopup();
            editor->dblkUserName->hidePopup();
            break;
        case Moment::LeavePage:
            editor->PageControl1->setCurrentWidget(editor->UserSheet);
            break;
        }
    }
};

TEST_F(PolicySaveTest, GlobalPolicyIsCopiedIntoTheUserAtEverySaveMoment)
{
    for (Moment moment : {Moment::Close, Moment::DropDown, Moment::LeavePage}) {
        SCOPED_TRACE(nameOf(moment));
        const QString name = nameOf(moment);
        const int id = db->addUser(name, "pw", "CustomAcctPolicy, AcctLocking, AllowedAttempts", "1, 0, 9");
        db->exec(QString("update PWHIST set PWMAXDAYS = 99, PWCOUNT = 1 where USER_ID = %1").arg(id));
        openEditor();
        choose(name);
        editor->PageControl1->setCurrentWidget(editor->AccountSheet);
        editor->rbtnUseGLBPolicy->click();
        save(moment);
        EXPECT_EQ(userInt(id, "CustomAcctPolicy"), 0);
        EXPECT_EQ(userInt(id, "AcctLocking"), 1);
        EXPECT_EQ(userInt(id, "AllowedAttempts"), 4);
        EXPECT_EQ(userInt(id, "PWaging"), 1);
        EXPECT_EQ(userInt(id, "PWKeepHist"), 1);
        EXPECT_EQ(historyText(id, "PWMAXDAYS"), "30");
        EXPECT_EQ(historyText(id, "PWMINDAYS"), "2");
        EXPECT_EQ(historyText(id, "PWMINSIZE"), "6");
        EXPECT_EQ(historyText(id, "PWCOUNT"), "8");
        editor.reset();
    }
}

TEST_F(PolicySaveTest, CustomPolicyStoresTheControlsEncodings)
{
    const int id = db->addUser("ann", "pw");
    db->exec(QString("update PWHIST set PWCOUNT = 3 where USER_ID = %1").arg(id));
    openEditor();
    choose("ann");
    editor->PageControl1->setCurrentWidget(editor->AccountSheet);
    editor->rbtnUseCustomPolicy->click();
    EXPECT_TRUE(editor->pcCAP->isEnabled());
    editor->dbchkPWAgingEnabled->click();
    editor->grpMaxAge->setItemIndex(0); // never expires
    editor->grpMinAge->setItemIndex(1); // never allow change
    editor->grpMinLength->setItemIndex(1);
    editor->meditMinLength->setText("9");
    editor->grpUniqueness->setItemIndex(0); // no history: the count stays
    editor->meditUniqueness->setText("12");
    editor->rbtnAccountLocking->click();
    editor->meditNumOfAttempts->setText("x");
    editor->PageControl1->setCurrentWidget(editor->UserSheet);

    EXPECT_EQ(userInt(id, "CustomAcctPolicy"), 1);
    EXPECT_EQ(userInt(id, "PWaging"), 1);
    EXPECT_EQ(userInt(id, "PWKeepHist"), 0);
    EXPECT_EQ(userInt(id, "AcctLocking"), 1);
    EXPECT_EQ(userInt(id, "AllowedAttempts"), 0); // not a number
    EXPECT_EQ(historyText(id, "PWMAXDAYS"), "0");
    EXPECT_EQ(historyText(id, "PWMINDAYS"), "99999");
    EXPECT_EQ(historyText(id, "PWMINSIZE"), "9");
    EXPECT_EQ(historyText(id, "PWCOUNT"), "3");

    // With history on, the count is the edit's number, 5 when it holds none.
    editor->PageControl1->setCurrentWidget(editor->AccountSheet);
    editor->grpUniqueness->setItemIndex(1);
    editor->meditUniqueness->setText("");
    editor->grpMinAge->setItemIndex(2);
    editor->meditMinAge->setText("14");
    editor->dblkUserNameDropDown();
    EXPECT_EQ(historyText(id, "PWCOUNT"), "5");
    EXPECT_EQ(historyText(id, "PWMINDAYS"), "14");
}

TEST_F(EditorTest, EnablingRulesOfThePolicyControls)
{
    db->addProgram();
    db->addUser("ann", "pw", "CustomAcctPolicy", "1");
    openEditor();
    choose("ann");
    editor->dbchkPWAgingEnabled->setChecked(false);
    editor->dbchkPWAgingEnabledClick();
    for (QWidget* w : std::initializer_list<QWidget*> {editor->grpMaxAge, editor->meditMaxAge, editor->spinMinAge})
        EXPECT_FALSE(w->isEnabled()) << qPrintable(w->objectName());
    editor->dbchkPWAgingEnabled->click();
    EXPECT_TRUE(editor->grpMinAge->isEnabled());
    editor->grpMinAge->setItemIndex(0);
    EXPECT_FALSE(editor->meditMinAge->isEnabled());
    editor->grpMinAge->setItemIndex(2);
    EXPECT_TRUE(editor->meditMinAge->isEnabled());
    EXPECT_TRUE(editor->spinMinAge->isEnabled());
    editor->grpUniqueness->setItemIndex(0);
    EXPECT_FALSE(editor->spinUniqueness->isEnabled());
    editor->rbtnAccountLocking->click();
    EXPECT_TRUE(editor->lblLocking2->isEnabled());
    editor->rbtnNoLocking->click();
    EXPECT_FALSE(editor->lblLocking2->isEnabled());
    EXPECT_FALSE(editor->spinAllowedAttempts->isEnabled());
}

TEST_F(EditorTest, NumericEditsTakeDigitsOnlyAndFallBackToOneWhenLeft)
{
    db->addProgram();
    openEditor();
    // The edits take keys while their groups are enabled.
    for (QWidget* w :
         std::initializer_list<QWidget*> {editor->grpCAP, editor->pcCAP, editor->grpMaxAge, editor->meditMaxAge})
        w->setEnabled(true);
    QLineEdit* edit = editor->meditMaxAge;
    edit->clear();
    QTest::keyClicks(edit, "a1 -2.b3z");
    EXPECT_EQ(edit->text(), "123");
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), "12");

    QChar passing(0xE9);
    editor->meditNumOfAttemptsKeyPress(edit, passing);
    EXPECT_EQ(passing, QChar(0xE9));

    struct Case {
        QLineEdit* edit;
        TUpDown* spin;
        std::function<void()> leave;
        const char* typed;
        const char* text;
        int position;
    } cases[] = {
        {editor->meditMaxAge, editor->spinMaxAge, [this] { editor->meditMaxAgeExit(); }, "", "001", 1},
        {editor->meditMinAge, editor->spinMinAge, [this] { editor->meditMinAgeExit(); }, "0", "001", 1},
        {editor->meditMinLength, editor->spinMinLength, [this] { editor->meditMinLengthExit(); }, "7", "7", 7},
        {editor->meditMinLength, editor->spinMinLength, [this] { editor->meditMinLengthExit(); }, "40", "40", 15},
        {editor->meditUniqueness, editor->spinUniqueness, [this] { editor->meditUniquenessExit(); }, "x", "001", 1},
        {editor->meditNumOfAttempts, editor->spinAllowedAttempts, [this] { editor->meditNumOfAttemptsExit(); }, "250",
         "250", 250},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edit->objectName().toStdString() + " '" + c.typed + "'");
        c.edit->setText(c.typed);
        c.leave();
        EXPECT_EQ(c.edit->text(), c.text);
        EXPECT_EQ(c.spin->position(), c.position);
    }

    // Leaving the edit for another control runs the same rule.
    editor->meditMaxAge->setText("");
    QFocusEvent leave(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(editor->meditMaxAge, &leave);
    EXPECT_EQ(editor->meditMaxAge->text(), "001");

    // The arrows step the edit's number within the range.
    editor->meditMinLength->setText("14");
    editor->spinMinLength->stepBy(1);
    EXPECT_EQ(editor->meditMinLength->text(), "15");
    editor->spinMinLength->stepBy(1);
    EXPECT_EQ(editor->meditMinLength->text(), "15");
    // Typing stops at the edit's length.
    for (QWidget* w : std::initializer_list<QWidget*> {editor->grpMinLength, editor->meditMinLength})
        w->setEnabled(true);
    editor->meditMinLength->clear();
    QTest::keyClicks(editor->meditMinLength, "1234");
    EXPECT_EQ(editor->meditMinLength->text(), "12");
}

TEST_F(PolicySaveTest, TheUsersPageShowsThePolicyTheUsersRowsHoldAndFollowsItsChanges)
{
    const int ann = db->addUser("ann", "pw", "CustomAcctPolicy, PWAging, AcctLocking, AllowedAttempts", "1, 1, 1, 7");
    db->exec(QString("update PWHIST set PWMAXDAYS = 45, PWMINDAYS = 99999, PWMINSIZE = 0 where USER_ID = %1").arg(ann));
    db->addUser("bob", "pw");
    openEditor();
    EXPECT_EQ(editor->lblEffectivePolicy->text(), "");
    choose("ann");
    EXPECT_EQ(editor->lblEffectivePolicy->text(), "Own account policy: expires after 45 days, may never change, blank "
                                                  "password allowed, no password history, locks after 7 incorrect "
                                                  "logins");
    // Rows as they are, not yet given the global policy.
    choose("bob");
    EXPECT_EQ(editor->lblEffectivePolicy->text(), "Global account policy: aging off, at least 5 characters, no "
                                                  "password history, no account locking");

    // Ann is switched to the global policy on the policy page; back on the users page
    // she shows what was stored.
    choose("ann");
    editor->PageControl1->setCurrentWidget(editor->AccountSheet);
    editor->rbtnUseGLBPolicy->click();
    editor->PageControl1->setCurrentWidget(editor->UserSheet);
    EXPECT_EQ(editor->lblEffectivePolicy->text(), "Global account policy: expires after 30 days, may change after 2 "
                                                  "days, at least 6 characters, remembers 8 passwords, locks after 4 "
                                                  "incorrect logins");
    EXPECT_EQ(userInt(ann, "CustomAcctPolicy"), 0);
}
