// Access constants and groups: the prompt, duplicates, deletions and the group
// dialog.
#include "EditorFixture.h"

#include "editor/TFormCSGroup.h"
#include "editor/TDBEdit.h"

#include <QPushButton>
#include <QTest>

TEST_F(EditorTest, ConstantNamesAreUniqueWithoutRegardToCaseAndAtMostTwentyLong)
{
    db->addProgram();
    openEditor();
    struct Case {
        const char* label;
        const char* message;
    } cases[] = {
        {"Print", nullptr},
        {"PRINT", "Duplicate Access Constant, Add Failed"},
        {"O'Brien's report", nullptr},
        {"A label much too long!", "Access Label Can Not Be Longer Than 20 Characters."},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        messages.clear();
        inputs << c.label;
        editor->spbtnAccAddClick();
        EXPECT_EQ(messages.last(), c.message ? QString(c.message) : QString());
    }
    EXPECT_EQ(prompts.first(), "Add New Access Constant|Access Label|");
    EXPECT_EQ(editor->lbConstants->texts(), (QStringList {"O'Brien's report", "Print"}));
    EXPECT_EQ(db->count("ACCESS"), 2);

    // Cancelling the prompt still refreshes the list from the database.
    addConstant("Export");
    editor->spbtnAccAddClick();
    EXPECT_EQ(editor->lbConstants->texts(), (QStringList {"Export", "O'Brien's report", "Print"}));
}

TEST_F(EditorTest, RenamingAConstantRefusesAnyExistingNameItsOwnIncluded)
{
    db->addProgram();
    const int id = addConstant("Print");
    addConstant("Export");
    const int user = db->addUser("ann", "pw");
    grant(user, id, "C");
    openEditor();
    choose("ann");
    for (const char* taken : {"print", "Print", "EXPORT"}) {
        SCOPED_TRACE(taken);
        messages.clear();
        select(editor->lbConstants, "Print");
        inputs << taken;
        editor->spbtnAccEditClick();
        EXPECT_EQ(messages.last(), "Duplicate Access Constant, Change Failed");
    }
    select(editor->lbConstants, "Print");
    inputs << "Printing";
    editor->spbtnAccEditClick();
    EXPECT_EQ(prompts.last(), "Edit Access Constant|Access Label|Print");
    EXPECT_EQ(db->scalar(QString("select ACCESS_NAME from ACCESS where ACCESS_ID = %1").arg(id)), "Printing");
    EXPECT_EQ(editor->lbUsrAccess->texts(), QStringList {"Printing"});
}

TEST_F(EditorTest, DeletingAConstantRemovesItsGrantsAndMembershipsButNotGroupGrants)
{
    db->addProgram();
    const int constant = addConstant("Print");
    const int other = addConstant("Export");
    const int group = addGroup("Clerks");
    ASSERT_EQ(constant, group); // a constant and a group that share an id
    db->exec(QString("insert into GRPCOLL (GROUP_ID, ACCESS_ID) values (%1, %2)").arg(group).arg(constant));
    db->exec(QString("insert into GRPCOLL (GROUP_ID, ACCESS_ID) values (%1, %2)").arg(group).arg(other));
    const int user = db->addUser("ann", "pw");
    grant(user, constant, "C");
    grant(user, group, "G");
    grant(user, other, "C");
    openEditor();
    choose("ann");

    select(editor->lbConstants, "Print");
    messages.answers << Platform::MsgResult::No;
    editor->spbtnAccDelClick();
    EXPECT_EQ(db->count("ACCESS"), 2);

    select(editor->lbConstants, "Print");
    messages.answers << Platform::MsgResult::Yes;
    editor->spbtnAccDelClick();
    EXPECT_EQ(messages.last(), "Confirm deletion of Print\n\n1 user and 1 group hold this constant, and will no "
                               "longer have it.");
    EXPECT_EQ(messages.shown.last().kind, Platform::MsgKind::Warning);
    EXPECT_EQ(db->count("ACCESS"), 1);
    EXPECT_EQ(integer(QString("select count(*) from USERACC where TYPE = 'C' and ACCESS_ID = %1").arg(constant)), 0);
    EXPECT_EQ(integer(QString("select count(*) from USERACC where TYPE = 'G' and ACCESS_ID = %1").arg(group)), 1);
    EXPECT_EQ(integer(QString("select count(*) from GRPCOLL where ACCESS_ID = %1").arg(constant)), 0);
    EXPECT_EQ(db->count("GRPCOLL"), 1);
    EXPECT_EQ(editor->lbConstants->texts(), QStringList {"Export"});
    EXPECT_EQ(editor->lbUsrAccess->texts(), (QStringList {"(Clerks)", "Export"}));
}

TEST_F(EditorTest, DeletingAGroupRemovesItsGrantsAndMembersTogether)
{
    db->addProgram();
    const int constant = addConstant("Print");
    const int group = addGroup("Clerks");
    addGroup("Admins");
    db->exec(QString("insert into GRPCOLL (GROUP_ID, ACCESS_ID) values (%1, %2)").arg(group).arg(constant));
    const int user = db->addUser("ann", "pw");
    grant(user, group, "G");
    grant(user, constant, "C");
    openEditor();
    choose("ann");
    select(editor->lbGroups, "Clerks");
    messages.answers << Platform::MsgResult::Yes;
    editor->spbtnDelGroupClick();
    EXPECT_EQ(db->count("GROUPS"), 1);
    EXPECT_EQ(db->count("GRPCOLL"), 0);
    EXPECT_EQ(integer("select count(*) from USERACC where TYPE = 'G'"), 0);
    EXPECT_EQ(integer("select count(*) from USERACC where TYPE = 'C'"), 1);
    EXPECT_EQ(editor->lbGroups->texts(), QStringList {"Admins"});
    EXPECT_EQ(editor->lbUsrAccess->texts(), QStringList {"Print"});
}

TEST_F(EditorTest, TheDeletePromptSaysHowManyUsersAndGroupsHoldTheConstantOrGroup)
{
    db->addProgram();
    const int print = addConstant("Print");
    const int exportId = addConstant("Export");
    addConstant("Unused");
    const int clerks = addGroup("Clerks");
    const int tellers = addGroup("Tellers");
    for (int group : {clerks, tellers})
        db->exec(QString("insert into GRPCOLL (GROUP_ID, ACCESS_ID) values (%1, %2)").arg(group).arg(print));
    const int ann = db->addUser("ann", "pw");
    const int bob = db->addUser("bob", "pw");
    db->addUser("cy", "pw");
    grant(ann, print, "C");
    grant(bob, print, "C");
    grant(ann, clerks, "G");
    grant(bob, clerks, "G"); // Bob holds Print through Clerks too: he counts once
    ASSERT_EQ(exportId, tellers); // a constant grant of Export is none of Tellers
    grant(bob, exportId, "C");
    openEditor();

    select(editor->lbConstants, "Print");
    editor->spbtnAccDelClick();
    EXPECT_EQ(messages.last(),
              "Confirm deletion of Print\n\n2 users and 2 groups hold this constant, and will no longer have it.");
    select(editor->lbGroups, "Tellers");
    editor->spbtnDelGroupClick();
    EXPECT_EQ(messages.last(), "Confirm deletion of Tellers");
    select(editor->lbGroups, "Clerks");
    editor->spbtnDelGroupClick();
    EXPECT_EQ(messages.last(), "Confirm deletion of Clerks\n\n2 users hold this group, and will no longer have it.");
    db->exec(QString("delete from USERACC where USER_ID = %1 and TYPE = 'G'").arg(bob));
    editor->spbtnDelGroupClick();
    EXPECT_EQ(messages.last(), "Confirm deletion of Clerks\n\n1 user holds this group, and will no longer have it.");
    select(editor->lbConstants, "Export");
    editor->spbtnAccDelClick();
    EXPECT_EQ(messages.last(), "Confirm deletion of Export\n\n1 user holds this constant, and will no longer have it.");
    select(editor->lbConstants, "Unused");
    editor->spbtnAccDelClick();
    EXPECT_EQ(messages.last(), "Confirm deletion of Unused");
    // Every question was answered No.
    EXPECT_EQ(db->count("ACCESS"), 3);
    EXPECT_EQ(db->count("GROUPS"), 2);
}

class GroupDialogTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        db->addProgram();
        print = addConstant("Print");
        exportId = addConstant("Export");
        openEditor();
    }
    // Runs the editor's Add or Edit with the steps done inside the modal dialog.
    void withGroupDialog(void (TFormCSMain::*open)(), const std::function<void(TFormCSGroup&)>& steps)
    {
        bool seen = false;
        whenModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<TFormCSGroup*>(modal);
            ASSERT_NE(dialog, nullptr);
            seen = true;
            steps(*dialog);
            if (dialog->isVisible())
                dialog->bbtnCancel->click();
        });
        (editor.get()->*open)();
        EXPECT_TRUE(seen);
    }
    int print = 0, exportId = 0;
};

TEST_F(GroupDialogTest, ANewGroupIsPostedByItsFirstConstantAndCancelKeepsIt)
{
    withGroupDialog(&TFormCSMain::spbtnAddGroupClick, [&](TFormCSGroup& dialog) {
        EXPECT_EQ(dialog.lbComplete->texts(), (QStringList {"Export", "Print"}));
        select(dialog.lbComplete, "Print");
        dialog.SelectAccess();
        EXPECT_EQ(messages.last(), "Missing Group Name");
        EXPECT_EQ(messages.shown.last().kind, Platform::MsgKind::Warning);
        EXPECT_EQ(db->count("GROUPS"), 0);
        QTest::keyClicks(dialog.dbedGroupName, "Clerks");
        dialog.SelectAccess();
        dialog.SelectAccess(); // twice: still one membership
        EXPECT_EQ(db->count("GROUPS"), 1);
        EXPECT_EQ(dialog.lbSelected->texts(), QStringList {"Print"});
        // The constant the group holds is not accepted again by a drop.
        EXPECT_FALSE(dialog.lbSelectedDragOver(dialog.lbComplete));
        select(dialog.lbComplete, "Export");
        EXPECT_TRUE(dialog.lbSelectedDragOver(dialog.lbComplete));
        EXPECT_FALSE(dialog.lbSelectedDragOver(dialog.lbSelected));
    });
    EXPECT_EQ(db->scalar("select GROUP_NAME from GROUPS"), "Clerks");
    EXPECT_EQ(db->count("GRPCOLL"), 1);
    EXPECT_EQ(editor->lbGroups->texts(), QStringList {"Clerks"});
}

TEST_F(GroupDialogTest, EditingAGroupRenamesItAndRemovesMembers)
{
    const int group = addGroup("Clerks");
    db->exec(QString("insert into GRPCOLL (GROUP_ID, ACCESS_ID) values (%1, %2)").arg(group).arg(print));
    db->exec(QString("insert into GRPCOLL (GROUP_ID, ACCESS_ID) values (%1, 999)").arg(group));
    editor->UpdateGroupInformation();
    select(editor->lbGroups, "Clerks");
    withGroupDialog(&TFormCSMain::spbtnEditGroupClick, [&](TFormCSGroup& dialog) {
        EXPECT_EQ(dialog.dbedGroupName->text(), "Clerks");
        EXPECT_EQ(dialog.lbSelected->texts(), (QStringList {"Error", "Print"}));
        select(dialog.lbSelected, "Error");
        dialog.RemoveAccess();
        EXPECT_EQ(dialog.lbSelected->texts(), QStringList {"Print"});
        dialog.dbedGroupName->selectAll();
        QTest::keyClicks(dialog.dbedGroupName, "Tellers");
        dialog.bbtnOk->click();
    });
    EXPECT_EQ(db->scalar("select GROUP_NAME from GROUPS"), "Tellers");
    EXPECT_EQ(db->count("GRPCOLL"), 1);
    EXPECT_FALSE(editor->sqlGroups->filtered());
}

TEST_F(GroupDialogTest, ADuplicateGroupNameIsReportedAndTheDialogStaysOpen)
{
    addGroup("Clerks");
    bool stillOpen = false;
    withGroupDialog(&TFormCSMain::spbtnAddGroupClick, [&](TFormCSGroup& dialog) {
        dialog.bbtnOk->click();
        EXPECT_EQ(messages.last(), "Missing Group Name");
        QTest::keyClicks(dialog.dbedGroupName, "CLERKS");
        dialog.bbtnOk->click(); // stored names compare exactly, so this one passes
        messages.clear();
    });
    EXPECT_EQ(db->count("GROUPS"), 2);
    withGroupDialog(&TFormCSMain::spbtnAddGroupClick, [&](TFormCSGroup& dialog) {
        QTest::keyClicks(dialog.dbedGroupName, "Clerks");
        dialog.bbtnOk->click();
        stillOpen = dialog.isVisible();
    });
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown.first().kind, Platform::MsgKind::Error);
    EXPECT_EQ(db->count("GROUPS"), 2);
    EXPECT_EQ(editor->sqlGroups->state(), TQuery::State::Browse);
}

TEST_F(EditorTest, AConstantOrGroupDeletionTheDatabaseRefusesLeavesEveryRow)
{
    db->addProgram();
    const int constant = addConstant("Print");
    const int group = addGroup("Clerks");
    db->exec(QString("insert into GRPCOLL (GROUP_ID, ACCESS_ID) values (%1, %2)").arg(group).arg(constant));
    const int user = db->addUser("ann", "pw");
    grant(user, constant, "C");
    grant(user, group, "G");
    db->exec("create exception NO_DELETE 'kept'");
    struct Case {
        const char* table;
        TListBox* list;
        QToolButton* button;
        const char* entry;
    } cases[] = {{"ACCESS", nullptr, nullptr, "Print"}, {"GROUPS", nullptr, nullptr, "Clerks"}};
    openEditor();
    choose("ann");
    cases[0].list = editor->lbConstants;
    cases[0].button = editor->spbtnAccDel;
    cases[1].list = editor->lbGroups;
    cases[1].button = editor->spbtnDelGroup;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        messages.clear();
        // The last of the statements is refused.
        db->exec(QString("create trigger KEEP for %1 before delete as begin exception NO_DELETE; end").arg(c.table));
        select(c.list, c.entry);
        messages.answers << Platform::MsgResult::Yes;
        c.button->click();
        ASSERT_EQ(messages.shown.size(), 2);
        EXPECT_EQ(messages.shown.last().kind, Platform::MsgKind::Error);
        EXPECT_TRUE(messages.last().contains("kept")) << qPrintable(messages.last());
        EXPECT_EQ(db->count("USERACC"), 2);
        EXPECT_EQ(db->count("GRPCOLL"), 1);
        EXPECT_EQ(db->count("ACCESS") + db->count("GROUPS"), 2);
        db->exec("drop trigger KEEP");
    }
}
