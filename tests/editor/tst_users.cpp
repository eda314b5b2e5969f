// The users page: choosing, adding and deleting users, and how a user's password
// restrictions show.
#include "EditorFixture.h"

#include "editor/TformCSUser.h"
#include "editor/TDBEdit.h"
#include "widgets/TRadioGroup.h"
#include "editor/TUpDown.h"
#include "security/TJovCSsecure.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

TEST_F(EditorTest, NoUserChosenLeavesThePolicyGreyAndEmpty)
{
    db->addProgram();
    db->addUser("ann", "pw");
    openEditor();
    EXPECT_EQ(editor->selectedUserId(), -1);
    EXPECT_FALSE(editor->grpCAP->isEnabled());
    EXPECT_EQ(editor->grpCAP->palette().color(QPalette::WindowText), QColor(128, 128, 128));
    for (TRadioGroup* g : {editor->grpMaxAge, editor->grpMinAge, editor->grpMinLength, editor->grpUniqueness})
        EXPECT_EQ(g->itemIndex(), -1) << qPrintable(g->objectName());
    EXPECT_FALSE(editor->rbtnAccountLocking->isChecked());
    EXPECT_FALSE(editor->rbtnNoLocking->isChecked());
    EXPECT_FALSE(editor->spinAllowedAttempts->isEnabled());
}

TEST_F(EditorTest, ChoosingAUserWithoutHistoryCreatesARowHoldingOnlyTheId)
{
    db->addProgram();
    db->exec("update PROGRAM set GLB_PWCOUNT = 7");
    const int id = db->addUser("ann", "pw");
    db->exec(QString("delete from PWHIST where USER_ID = %1").arg(id));
    openEditor();
    choose("ann");
    EXPECT_EQ(integer(QString("select count(*) from PWHIST where USER_ID = %1").arg(id)), 1);
    EXPECT_TRUE(historyText(id, "PWMAXDAYS").isEmpty());
    EXPECT_TRUE(historyText(id, "PWCOUNT").isEmpty());
    EXPECT_EQ(editor->meditUniqueness->text(), "7");
    EXPECT_EQ(editor->grpMaxAge->itemIndex(), 0);
    EXPECT_TRUE(editor->grpCAP->isEnabled());
    EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join("|"));
}

TEST_F(EditorTest, AHistoryRowThatCannotBeCreatedIsReportedAndTheLoadGoesOn)
{
    db->addProgram();
    const int id = db->addUser("gone", "pw");
    openEditor();
    // Another program deletes the user after the editor read its list.
    db->exec(QString("delete from PWHIST where USER_ID = %1").arg(id));
    db->exec(QString("delete from USERS where USER_ID = %1").arg(id));
    choose("gone");
    EXPECT_EQ(messages.texts(), QStringList {"Error Creating Password History Record"});
    EXPECT_EQ(editor->sqlPWHist->state(), TQuery::State::Browse);
    EXPECT_EQ(editor->grpMaxAge->itemIndex(), 0); // the values read as 0
    EXPECT_EQ(db->count("PWHIST"), 0);
}

namespace {
struct RestrictionCase {
    const char* name;
    int maxDays, minDays, minSize, count;
    int maxItem;
    const char* maxText;
    bool maxEnabled;
    int minItem;
    const char* minText;
    bool minEnabled;
    int lengthItem;
    const char* lengthText;
    bool lengthEnabled;
    const char* countText;
};
} // namespace

TEST_F(EditorTest, PasswordRestrictionsShowByTheirEncodings)
{
    db->addProgram();
    db->exec("update PROGRAM set GLB_PWCOUNT = 9");
    const RestrictionCase cases[] = {
        {"never expires, never change, blank, global count", 0, 99999, 0, 0, 0, "21", false, 1, "1", false, 0, "5",
         false, "9"},
        {"immediate change", 30, 0, 8, 3, 1, "30", true, 0, "1", false, 1, "8", true, "3"},
        {"change after days", 45, 7, 6, 12, 1, "45", true, 2, "7", true, 1, "6", true, "12"},
    };
    for (const RestrictionCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Custom policy with aging and history on, so that enabling follows the items.
        const int id = db->addUser(c.name, "pw", "CustomAcctPolicy, PWaging, PWKeepHist", "1, 1, 1");
        db->exec(QString("update PWHIST set PWMAXDAYS = %1, PWMINDAYS = %2, PWMINSIZE = %3, PWCOUNT = %4 "
                         "where USER_ID = %5")
                     .arg(c.maxDays)
                     .arg(c.minDays)
                     .arg(c.minSize)
                     .arg(c.count)
                     .arg(id));
        openEditor();
        choose(c.name);
        EXPECT_TRUE(editor->rbtnUseCustomPolicy->isChecked());
        EXPECT_TRUE(editor->pcCAP->isEnabled());
        EXPECT_EQ(editor->grpMaxAge->itemIndex(), c.maxItem);
        EXPECT_EQ(editor->meditMaxAge->text(), c.maxText);
        EXPECT_EQ(editor->meditMaxAge->isEnabled(), c.maxEnabled);
        EXPECT_EQ(editor->spinMaxAge->position(), QString(c.maxText).toInt());
        EXPECT_EQ(editor->grpMinAge->itemIndex(), c.minItem);
        EXPECT_EQ(editor->meditMinAge->text(), c.minText);
        EXPECT_EQ(editor->meditMinAge->isEnabled(), c.minEnabled);
        EXPECT_EQ(editor->grpMinLength->itemIndex(), c.lengthItem);
        EXPECT_EQ(editor->meditMinLength->text(), c.lengthText);
        EXPECT_EQ(editor->meditMinLength->isEnabled(), c.lengthEnabled);
        EXPECT_EQ(editor->meditUniqueness->text(), c.countText);
        editor.reset();
    }
}

TEST_F(EditorTest, LockingAndAgingControlsFollowTheUsersFlags)
{
    db->addProgram();
    db->addUser("locker", "pw", "CustomAcctPolicy, AcctLocking, AllowedAttempts, PWaging", "1, 1, 4, 0");
    db->addUser("plain", "pw", "CustomAcctPolicy, AcctLocking, AllowedAttempts", "0, 0, 3");
    openEditor();
    choose("locker");
    EXPECT_TRUE(editor->rbtnAccountLocking->isChecked());
    EXPECT_EQ(editor->meditNumOfAttempts->text(), "4");
    EXPECT_TRUE(editor->meditNumOfAttempts->isEnabled());
    EXPECT_TRUE(editor->lblLocking1->isEnabled());
    EXPECT_FALSE(editor->dbchkPWAgingEnabled->isChecked());
    EXPECT_FALSE(editor->grpMaxAge->isEnabled());
    choose("plain");
    EXPECT_TRUE(editor->rbtnNoLocking->isChecked());
    EXPECT_FALSE(editor->meditNumOfAttempts->isEnabled());
    EXPECT_TRUE(editor->rbtnUseGLBPolicy->isChecked());
    EXPECT_FALSE(editor->pcCAP->isEnabled());
    EXPECT_EQ(editor->pcCAP->palette().color(QPalette::WindowText), QColor(128, 128, 128));
}

TEST_F(EditorTest, AddingAUserSelectsTheNewestAndGivesItAGlobalHistoryRow)
{
    db->addProgram();
    db->exec("update PROGRAM set Label1 = 'Dept', GLB_PWMAXDAYS = 40, GLB_PWCOUNT = 4");
    db->addUser("ann", "pw");
    openEditor();
    QString def1Caption;
    bool anotherVisible = false;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<TformCSUser*>(modal);
        ASSERT_NE(dialog, nullptr);
        def1Caption = dialog->lblDef1->text();
        anotherVisible = dialog->bbtnAnother->isVisibleTo(dialog);
        QTest::keyClicks(dialog->dbedName, "Bob");
        QTest::keyClicks(dialog->dbedPassword, "secret");
        dialog->bbtnOk->click();
    });
    editor->spbtnAddUserClick();
    EXPECT_EQ(def1Caption, "Dept:");
    EXPECT_TRUE(anotherVisible);
    EXPECT_EQ(editor->dblkUserName->text(), "Bob");
    const int id = editor->selectedUserId();
    EXPECT_EQ(userInt(id, "User_Enabled"), 1);
    EXPECT_EQ(historyText(id, "PWMAXDAYS"), "40");
    EXPECT_EQ(historyText(id, "PWCOUNT"), "4");
    EXPECT_EQ(historyText(id, "PWSETDATE"), QDate::currentDate().toString(Qt::ISODate));

    // Cancelled: the user with the highest id is chosen all the same.
    editor->dblkUserName->setKeyValue(-1);
    whenModal([](QWidget* modal) { qobject_cast<TformCSUser*>(modal)->bbtnCancel->click(); });
    editor->spbtnAddUserClick();
    EXPECT_EQ(editor->dblkUserName->text(), "Bob");
    EXPECT_EQ(db->count("USERS"), 2);
}

// A new user under a global policy without aging may change the password on the day it
// was set; with aging on, the minimum age holds as before.
TEST_F(EditorTest, TheMinimumAgeHoldsBackOnlyUsersWhosePolicyAges)
{
    db->addProgram(); // the global policy as a new database has it: aging off, minimum age 1
    const auto addUser = [this](const QString& name) {
        whenModal([name](QWidget* modal) {
            auto* dialog = qobject_cast<TformCSUser*>(modal);
            ASSERT_NE(dialog, nullptr);
            QTest::keyClicks(dialog->dbedName, name);
            QTest::keyClicks(dialog->dbedPassword, "secret");
            dialog->bbtnOk->click();
        });
        editor->spbtnAddUserClick();
        editor.reset();
    };
    openEditor();
    addUser("Ann");
    db->exec("update PROGRAM set GLB_PWAGING = 1");
    openEditor();
    addUser("Bob");

    TJovCSsecure component;
    component.setAlias(db->alias());
    component.setPassword("masterkey");
    component.setOptions({});
    component.Loaded();
    ASSERT_TRUE(component.LogonEx("Ann", "secret"));
    EXPECT_TRUE(component.PasswordCanChange());
    ASSERT_TRUE(component.LogonEx("Bob", "secret"));
    EXPECT_FALSE(component.PasswordCanChange());
    EXPECT_EQ(component.PWMinDays(), 1);
}

namespace {
struct DeleteCase {
    const char* name;
    Platform::MsgResult answer;
    bool failLastStatement;
    bool deleted;
};
} // namespace

TEST_F(EditorTest, DeletingAUserRemovesAllItsRowsOrNone)
{
    db->addProgram();
    const DeleteCase cases[] = {
        {"answered No", Platform::MsgResult::No, false, false},
        {"answered Yes", Platform::MsgResult::Yes, false, true},
        {"last statement refused", Platform::MsgResult::Yes, true, false},
    };
    for (const DeleteCase& c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        const int id = db->addUser(c.name, "pw");
        const int keep = db->addUser(QString(c.name) + " stays", "pw");
        const int constant = addConstant(QString("C%1").arg(id));
        grant(id, constant, "C");
        grant(keep, constant, "C");
        db->exec(QString("insert into LOG (ACCESS_DATE, USER_ID) values (CURRENT_DATE, %1)").arg(id));
        if (c.failLastStatement)
            db->exec("create exception NO_DELETE 'users stay'");
        if (c.failLastStatement)
            db->exec("create trigger KEEP_USERS for USERS before delete as begin exception NO_DELETE; end");
        openEditor();
        choose(c.name);
        messages.answers << c.answer;
        editor->spbtnDelUserClick();
        ASSERT_GE(messages.shown.size(), 1);
        EXPECT_EQ(messages.shown.first().text, QString("Confirm deletion of ") + c.name);
        EXPECT_EQ(messages.shown.first().kind, Platform::MsgKind::Warning);
        const int rows = c.deleted ? 0 : 1;
        for (const char* table : {"USERS", "PWHIST", "USERACC", "LOG"})
            EXPECT_EQ(integer(QString("select count(*) from %1 where USER_ID = %2").arg(table).arg(id)), rows) << table;
        EXPECT_EQ(integer(QString("select count(*) from USERACC where USER_ID = %1").arg(keep)), 1);
        EXPECT_EQ(editor->dblkUserName->names().contains(c.name), !c.deleted);
        if (c.failLastStatement) {
            EXPECT_EQ(messages.last(), QString("Error Deleting User: ") + c.name);
            EXPECT_EQ(messages.shown.last().kind, Platform::MsgKind::Error);
        }
        if (c.answer == Platform::MsgResult::Yes) {
            EXPECT_EQ(editor->selectedUserId(), -1);
        }
        editor.reset();
        if (c.failLastStatement) {
            db->exec("drop trigger KEEP_USERS");
            db->exec("drop exception NO_DELETE");
        }
    }
}
