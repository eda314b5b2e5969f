// What a user holds: the labels of the grants, adding without duplicates and
// removing by type.
#include "EditorFixture.h"

#include <QTabWidget>

class AccessTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        db->addProgram();
        print = addConstant("Print");
        addConstant("Export");
        clerks = addGroup("Clerks");
        user = db->addUser("ann", "pw");
        db->addUser("bob", "pw");
    }
    int grants(const QString& type) const
    {
        return integer(QString("select count(*) from USERACC where USER_ID = %1 and TYPE = '%2'").arg(user).arg(type));
    }
    int print = 0, clerks = 0, user = 0;
};

TEST_F(AccessTest, LabelsNameTheGroupOrConstantOrShowAnError)
{
    grant(user, print, "C");
    grant(user, clerks, "G");
    grant(user, 77, "C");
    grant(user, 78, "G");
    openEditor();
    choose("ann");
    EXPECT_EQ(editor->lbUsrAccess->texts(), (QStringList {"(**Error**)", "(Clerks)", "**Error**", "Print"}));
    // A grant without its constant can still be removed.
    select(editor->lbUsrAccess, "**Error**");
    editor->RemoveAccess();
    EXPECT_EQ(integer("select count(*) from USERACC where ACCESS_ID = 77"), 0);
    choose("bob");
    EXPECT_TRUE(editor->lbUsrAccess->texts().isEmpty());
}

TEST_F(AccessTest, AddingTwiceKeepsOneRowAndThePageChoosesTheType)
{
    openEditor();
    choose("ann");
    editor->tnbkLists->setCurrentWidget(editor->tsConstants);
    select(editor->lbConstants, "Print");
    editor->AddAccess();
    editor->AddAccess();
    EXPECT_EQ(grants("C"), 1);
    // With the Groups page showing, the group is added although a constant is selected.
    editor->tnbkLists->setCurrentWidget(editor->tsGroups);
    select(editor->lbGroups, "Clerks");
    editor->AddAccess();
    editor->AddAccess();
    EXPECT_EQ(grants("G"), 1);
    EXPECT_EQ(editor->lbUsrAccess->texts(), (QStringList {"(Clerks)", "Print"}));
    EXPECT_EQ(integer("select count(*) from USERACC"), 2);
}

TEST_F(AccessTest, AConstantAndAGroupSharingAnIdAreRemovedIndependently)
{
    ASSERT_EQ(print, clerks);
    grant(user, print, "C");
    grant(user, clerks, "G");
    openEditor();
    choose("ann");
    select(editor->lbUsrAccess, "(Clerks)");
    editor->RemoveAccess();
    EXPECT_EQ(grants("G"), 0);
    EXPECT_EQ(grants("C"), 1);
    EXPECT_EQ(editor->lbUsrAccess->texts(), QStringList {"Print"});
    select(editor->lbUsrAccess, "Print");
    editor->RemoveAccess();
    EXPECT_EQ(grants("C"), 0);
    EXPECT_TRUE(editor->lbUsrAccess->texts().isEmpty());
}

TEST_F(AccessTest, ADropNeedsAChosenUserAndASelectedEntry)
{
    openEditor();
    select(editor->lbConstants, "Print");
    EXPECT_FALSE(editor->lbUsrAccessDragOver(editor->lbConstants));
    editor->AddAccess();
    EXPECT_EQ(db->count("USERACC"), 0);
    choose("ann");
    EXPECT_TRUE(editor->lbUsrAccessDragOver(editor->lbConstants));
    EXPECT_FALSE(editor->lbUsrAccessDragOver(editor->lbGroups)); // nothing selected there
    EXPECT_FALSE(editor->lbUsrAccessDragOver(editor->btnOk));
    editor->lbUsrAccessDragDrop(editor->lbConstants);
    EXPECT_EQ(editor->lbUsrAccess->texts(), QStringList {"Print"});
    // Dropped back on the constants, the entry goes again.
    select(editor->lbUsrAccess, "Print");
    EXPECT_TRUE(editor->lbConstantsDragOver(editor->lbUsrAccess));
    editor->lbConstantsDragDrop(editor->lbUsrAccess);
    EXPECT_EQ(db->count("USERACC"), 0);
}
