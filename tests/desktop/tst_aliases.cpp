// File > Aliases: every alias with where it points; removing an alias asks first and
// leaves its database file; an alias is corrected or its password forgotten.
#include "DesktopFixture.h"

#include "desktop/TFormAliasEdit.h"
#include "desktop/TFormAliases.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace {
QStringList row(const TFormAliases& dialog, const QString& alias)
{
    for (int i = 0; i < dialog.lvAliases->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = dialog.lvAliases->topLevelItem(i);
        if (item->text(TFormAliases::ColAlias) == alias) {
            QStringList cells;
            for (int c = 0; c < TFormAliases::ColumnCount; ++c)
                cells << item->text(c);
            return cells;
        }
    }
    return {};
}
} // namespace

using AliasesWindow = DesktopTest;

TEST_F(AliasesWindow, RemoveAsksAndKeepsTheDatabaseFile)
{
    TestDatabase db(true, "LISTED_SEC");
    TAliases::addAlias("REMOTE_SEC", "INTRBASE", {"SERVER NAME=dbhost/3051:/db/orders.gdb", "USER NAME=SYSDBA"});
    QStringList listed;
    QStringList remote;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<TFormAliases*>(modal);
        ASSERT_NE(dialog, nullptr);
        listed = row(*dialog, "LISTED_SEC");
        remote = row(*dialog, "REMOTE_SEC");
        dialog->selectAlias("listed_sec");
        messages.answers = {Platform::MsgResult::No, Platform::MsgResult::Yes};
        dialog->btnRemove->click();
        EXPECT_TRUE(TAliases::exists("LISTED_SEC")) << "removed without a Yes";
        dialog->btnRemove->click();
        EXPECT_TRUE(row(*dialog, "LISTED_SEC").isEmpty());
        dialog->bbtnClose->click();
    });
    window->Aliases1->trigger();
    EXPECT_EQ(listed, QStringList({"LISTED_SEC", "this computer", db.path(), "exists", "SYSDBA", "stored"}));
    EXPECT_EQ(remote,
              QStringList({"REMOTE_SEC", "dbhost, port 3051", "/db/orders.gdb", "on the server", "SYSDBA", "none"}));
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_TRUE(messages.last().contains(db.path() + " on this computer is not deleted"))
        << qPrintable(messages.last());
    EXPECT_FALSE(TAliases::exists("LISTED_SEC"));
    EXPECT_TRUE(QFile::exists(db.path()));
    TAliases::deleteAlias("REMOTE_SEC");
}

// An alias left pointing at a moved file is corrected in place, keeping its stored
// password until it is forgotten; the open database's alias is left alone.
TEST_F(AliasesWindow, ChangeCorrectsTheLocationAndForgetDropsOnlyThePassword)
{
    TestDatabase db(true, "LISTED_SEC");
    TAliases::addAlias("MOVED_SEC", "INTRBASE",
                       {"SERVER NAME=" + db.dir() + "/gone.gdb", "USER NAME=SYSDBA", "PASSWORD=secret"});
    TFormAliases dialog(QStringLiteral("LISTED_SEC"), window.get());
    EXPECT_EQ(row(dialog, "MOVED_SEC").value(TFormAliases::ColFile), "missing");
    dialog.selectAlias("MOVED_SEC");
    whenModal(
        [&](QWidget* modal) {
            auto* edit = qobject_cast<TFormAliasEdit*>(modal);
            ASSERT_NE(edit, nullptr);
            EXPECT_EQ(edit->edLocation->text(), db.dir() + "/gone.gdb");
            edit->edLocation->setText(db.path());
            edit->bbnOk->click();
        },
        &dialog);
    dialog.btnChangeClick();
    EXPECT_EQ(TAliases::params("MOVED_SEC"),
              QStringList({"SERVER NAME=" + db.path(), "USER NAME=SYSDBA", "PASSWORD=secret"}));
    EXPECT_EQ(row(dialog, "MOVED_SEC").value(TFormAliases::ColFile), "exists");

    messages.answers = {Platform::MsgResult::Yes};
    dialog.btnForgetPasswordClick();
    EXPECT_EQ(TAliases::params("MOVED_SEC"), QStringList({"SERVER NAME=" + db.path(), "USER NAME=SYSDBA"}));
    EXPECT_FALSE(dialog.btnForgetPassword->isEnabled());

    messages.clear();
    dialog.selectAlias("LISTED_SEC");
    dialog.btnRemoveClick();
    EXPECT_TRUE(TAliases::exists("LISTED_SEC"));
    EXPECT_TRUE(messages.last().startsWith("The alias LISTED_SEC belongs to the open security database."))
        << qPrintable(messages.last());
    TAliases::deleteAlias("MOVED_SEC");
}
