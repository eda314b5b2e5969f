// Names and passwords that are not valid Unicode (a lone UTF-16 surrogate) are
// refused in the user, group and constant dialogs with a message; nothing is stored
// and nothing typed is lost.
#include "EditorFixture.h"

#include "editor/TFormCSGroup.h"
#include "editor/TformCSUser.h"
#include "platform/UnicodeText.h"

#include <QSignalSpy>

namespace {
const QString kLone = QString(QChar(0xD800));
} // namespace

TEST_F(EditorTest, UserDialogRefusesInvalidTextInEveryBox)
{
    db->addProgram();
    struct Case {
        const char* box;
        const char* message;
    };
    for (const Case& c : {Case {"dbedName", "Name"}, Case {"dbedPassword", "Password"},
                          Case {"dbedUserDef1", "first user field"}, Case {"dbedUserDef2", "second user field"}}) {
        SCOPED_TRACE(c.box);
        messages.shown.clear();
        TformCSUser dialog;
        dialog.qryUpdateUsers->setDatabaseName(db->alias());
        dialog.FormActivate();
        QTest::keyClicks(dialog.dbedName, "ann");
        QTest::keyClicks(dialog.dbedPassword, "pw");
        auto* box = dialog.findChild<QLineEdit*>(c.box);
        ASSERT_NE(box, nullptr);
        box->insert(kLone); // as a paste puts it in; the keyboard cannot
        ASSERT_TRUE(box->text().endsWith(kLone));
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.done(QDialog::Accepted);
        EXPECT_EQ(finished.count(), 0);
        EXPECT_EQ(messages.texts(), QStringList {Platform::invalidTextMessage(c.message)});
        EXPECT_EQ(db->count("USERS"), 0);
        EXPECT_TRUE(dialog.dbedName->text().startsWith("ann"));
        EXPECT_TRUE(box->text().endsWith(kLone));
        dialog.done(QDialog::Rejected);
    }
}

TEST_F(EditorTest, GroupAndConstantNamesRefuseInvalidText)
{
    db->addProgram();
    openEditor();
    bool stayedOpen = false;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<TFormCSGroup*>(modal);
        ASSERT_NE(dialog, nullptr);
        QTest::keyClicks(dialog->dbedGroupName, "Clerks");
        dialog->dbedGroupName->insert(kLone);
        dialog->bbtnOk->click();
        stayedOpen = dialog->isVisible();
        dialog->bbtnCancel->click();
    });
    editor->spbtnAddGroupClick();
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(db->count("GROUPS"), 0);

    inputs << "Orders" + kLone;
    editor->spbtnAccAddClick();
    EXPECT_EQ(db->count("ACCESS"), 0);
    EXPECT_EQ(messages.texts(),
              QStringList({Platform::invalidTextMessage("Group Name"), Platform::invalidTextMessage("Access Label")}));
}
