// The user dialog: inserting and modifying a USERS row through its two statements,
// the messages on refusal and the check-box interlocks.
#include "EditorFixture.h"

#include "editor/TformCSUser.h"
#include "editor/TDBCheckBox.h"
#include "editor/TDBEdit.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

class UserDialogTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        db->addProgram();
    }
    // The dialog prepared as the editor opens it, without a window.
    TformCSUser& openDialog(int userId)
    {
        dialog = std::make_unique<TformCSUser>();
        dialog->qryUpdateUsers->setDatabaseName(db->alias());
        dialog->iUserId = userId;
        dialog->bbtnAnother->setVisible(userId == 0);
        dialog->FormActivate();
        return *dialog;
    }
    // Tries to close with the result; true when the dialog closed.
    bool closeWith(int result)
    {
        QSignalSpy finished(dialog.get(), &QDialog::finished);
        dialog->done(result);
        return finished.count() == 1;
    }
    void TearDown() override
    {
        dialog.reset();
        EditorTest::TearDown();
    }
    std::unique_ptr<TformCSUser> dialog;
};

TEST_F(UserDialogTest, AnEmptyNameKeepsTheDialogOpenAndCancelWritesNothing)
{
    openDialog(0);
    QTest::keyClicks(dialog->dbedPassword, "pw");
    EXPECT_FALSE(closeWith(QDialog::Accepted));
    EXPECT_EQ(messages.texts(), QStringList {"Name field is Required."});
    EXPECT_EQ(messages.shown.last().kind, Platform::MsgKind::Error);
    // A name but no password: the database refuses, the name is there.
    QTest::keyClicks(dialog->dbedName, "ann");
    dialog->dbedPassword->selectAll();
    QTest::keyClick(dialog->dbedPassword, Qt::Key_Delete);
    EXPECT_FALSE(closeWith(QDialog::Accepted));
    // The refusal says what is missing.
    EXPECT_EQ(messages.last(), "Unable to save current user.\nPassword field is Required.");
    EXPECT_TRUE(closeWith(QDialog::Rejected));
    EXPECT_EQ(db->count("USERS"), 0);

    const int id = db->addUser("bob", "pw");
    openDialog(id);
    dialog->dbedPassword->selectAll();
    QTest::keyClick(dialog->dbedPassword, Qt::Key_Delete);
    EXPECT_FALSE(closeWith(QDialog::Accepted));
    EXPECT_EQ(messages.last(), "Unable to update current user.\nPassword field is Required.");
    EXPECT_EQ(db->scalar(QString("select User_Password from USERS where USER_ID = %1").arg(id)), "pw");
}

TEST_F(UserDialogTest, SavingAnEditedUserKeepsLastAccessAndAccessCount)
{
    const int id = db->addUser("ann", "pw", "User_LastAccess, User_AccessCount", "'2020-01-02 03:04:05', 7");
    openDialog(id);
    EXPECT_EQ(dialog->dbedName->text(), "ann");
    EXPECT_FALSE(dialog->dbckbxAccountLocked->isEnabled());
    dialog->qryUpdateUsers->fieldByName("User_AccessCount")->setAsInteger(99);
    dialog->qryUpdateUsers->fieldByName("User_LastAccess")->setAsDate(QDate(2001, 1, 1));
    QTest::keyClicks(dialog->dbedName, "e");
    QTest::keyClicks(dialog->dbedUserDef1, "north");
    dialog->dbchAdmin->click();
    EXPECT_TRUE(closeWith(QDialog::Accepted));
    EXPECT_EQ(db->scalar(QString("select USER_NAME from USERS where USER_ID = %1").arg(id)), "anne");
    EXPECT_EQ(db->scalar(QString("select User_Def1 from USERS where USER_ID = %1").arg(id)), "north");
    EXPECT_EQ(userInt(id, "User_Admin"), 1);
    EXPECT_EQ(userInt(id, "User_AccessCount"), 7);
    EXPECT_EQ(db->scalar(QString("select User_LastAccess from USERS where USER_ID = %1").arg(id)),
              "2020-01-02 03:04:05");
    EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join("|"));
}

TEST_F(UserDialogTest, ALockedAccountCanBeUnlockedButNotLocked)
{
    const int id = db->addUser("ann", "pw", "Locked", "1");
    openDialog(id);
    EXPECT_TRUE(dialog->dbckbxAccountLocked->isEnabled());
    EXPECT_TRUE(dialog->dbckbxAccountLocked->isChecked());
    dialog->dbckbxAccountLocked->click();
    EXPECT_TRUE(closeWith(QDialog::Accepted));
    EXPECT_EQ(userInt(id, "Locked"), 0);
}

TEST_F(UserDialogTest, UnlockingSaysTheFailedLogonsStayAndOffersToResetThem)
{
    const int kept = db->addUser("ann", "pw", "Locked, LoginAttempts", "1, 3");
    openDialog(kept);
    EXPECT_EQ(dialog->lblLoginAttempts->text(), "Failed Logons: 3");
    dialog->dbckbxAccountLocked->click();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown.last().buttons, Platform::MsgButtons::YesNo);
    EXPECT_TRUE(messages.last().contains("(3)")) << qPrintable(messages.last());
    EXPECT_TRUE(closeWith(QDialog::Accepted));
    EXPECT_EQ(userInt(kept, "Locked"), 0);
    EXPECT_EQ(userInt(kept, "LoginAttempts"), 3);

    const int reset = db->addUser("bob", "pw", "Locked, LoginAttempts", "1, 4");
    openDialog(reset);
    messages.answers = {Platform::MsgResult::Yes};
    dialog->dbckbxAccountLocked->click();
    EXPECT_EQ(dialog->lblLoginAttempts->text(), "Failed Logons: 0");
    EXPECT_TRUE(closeWith(QDialog::Accepted));
    EXPECT_EQ(userInt(reset, "Locked"), 0);
    EXPECT_EQ(userInt(reset, "LoginAttempts"), 0);
    EXPECT_EQ(userInt(kept, "LoginAttempts"), 3);
}

TEST_F(UserDialogTest, PasswordCheckBoxesExcludeEachOther)
{
    const int id = db->addUser("ann", "pw");
    openDialog(id);
    dialog->dbchkNoPWChange->click();
    EXPECT_TRUE(dialog->dbchkNeverExpires->isChecked());
    EXPECT_FALSE(dialog->dbchkNeverExpires->isEnabled());
    EXPECT_FALSE(dialog->dbchkExpireNow->isEnabled());
    EXPECT_TRUE(closeWith(QDialog::Accepted));
    EXPECT_EQ(userInt(id, "PWNoChange"), 1);
    EXPECT_EQ(userInt(id, "PWNeverExpires"), 1);

    openDialog(id);
    dialog->dbchkNoPWChange->click(); // off again
    EXPECT_TRUE(dialog->dbchkNeverExpires->isEnabled());
    EXPECT_FALSE(dialog->dbchkExpireNow->isEnabled()); // never-expires is still checked
    dialog->dbchkNeverExpires->click();
    EXPECT_TRUE(dialog->dbchkExpireNow->isEnabled());
    dialog->dbchkExpireNow->click();
    EXPECT_FALSE(dialog->dbchkNeverExpires->isEnabled());
    EXPECT_FALSE(dialog->dbchkNoPWChange->isEnabled());
    EXPECT_TRUE(closeWith(QDialog::Accepted));
    EXPECT_EQ(userInt(id, "PWMustChange"), 1);
    EXPECT_EQ(userInt(id, "PWNeverExpires"), 0);
    EXPECT_EQ(userInt(id, "PWNoChange"), 0);
}

TEST_F(UserDialogTest, AnotherInsertsAndStartsAFreshRecordWithTheDefaults)
{
    openDialog(0);
    QTest::keyClicks(dialog->dbedName, "twin");
    QTest::keyClicks(dialog->dbedPassword, "pw");
    dialog->dbchAdmin->click();
    dialog->bbtnAnotherClick();
    EXPECT_EQ(db->count("USERS"), 1);
    EXPECT_TRUE(dialog->dbedName->text().isEmpty());
    EXPECT_TRUE(dialog->dbchboxEnabled->isChecked());
    EXPECT_FALSE(dialog->dbchAdmin->isChecked());
    EXPECT_FALSE(dialog->dbckbxAccountLocked->isEnabled());
    // The dialog does not compare names.
    QTest::keyClicks(dialog->dbedName, "twin");
    QTest::keyClicks(dialog->dbedPassword, "pw2");
    EXPECT_TRUE(closeWith(QDialog::Accepted));
    EXPECT_EQ(integer("select count(*) from USERS where USER_NAME = 'twin'"), 2);
    EXPECT_EQ(integer("select sum(User_Admin) from USERS"), 1);
    EXPECT_EQ(integer("select min(User_Enabled) from USERS"), 1);
}
