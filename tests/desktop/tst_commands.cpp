// Generate, View Log, View Users and About from the main window reach their dialogs
// on the open database.
#include "DesktopFixture.h"
#include "desktop/TformAbout.h"
#include "desktop/TfrmGenerate.h"
#include "desktop/TLogQuery.h"
#include "desktop/TfrmViewLog.h"
#include "desktop/TfrmViewUsers.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

TEST_F(DesktopTest, ToolCommandsOpenTheirDialogsOnTheOpenDatabase)
{
    TestDatabase db;
    db.addProgram();
    const int bob = db.addUser("bob", "pw");
    db.exec("insert into ACCESS (ACCESS_NAME) values ('Edit Users')");
    db.exec(QStringLiteral("insert into LOG (ACCESS_DATE, USER_ID) values (current_date, %1)").arg(bob));
    window->OpenSecurityAlias(db.alias());
    ASSERT_EQ(window->OpenAlias, db.alias());

    int dialogs = 0;
    whenModal([&](QWidget* modal) {
        ++dialogs;
        auto* log = qobject_cast<TfrmViewLog*>(modal);
        ASSERT_NE(log, nullptr);
        EXPECT_EQ(log->sqlLog->databaseName(), db.alias());
        EXPECT_EQ(log->sqlLog->data(log->sqlLog->index(0, TLogQuery::ColUserName)).toString(), "bob");
        log->OKBtn->click();
    });
    window->ViewLog1->trigger();

    whenModal([&](QWidget* modal) {
        ++dialogs;
        auto* users = qobject_cast<TfrmViewUsers*>(modal);
        ASSERT_NE(users, nullptr);
        EXPECT_EQ(users->lbUsers->count(), 1);
        users->OKBtn->click();
    });
    window->ViewUsers1->trigger();

    whenModal([&](QWidget* modal) {
        ++dialogs;
        auto* generate = qobject_cast<TfrmGenerate*>(modal);
        ASSERT_NE(generate, nullptr);
        generate->bbtnOk->click();
    });
    window->Generate1->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "  dsc_Edit_Users         =1;\r\n");

    whenModal([&](QWidget* modal) {
        ++dialogs;
        auto* about = qobject_cast<TformAbout*>(modal);
        ASSERT_NE(about, nullptr);
        EXPECT_EQ(about->lblProgName->text(), "JOV C/S Security Administration");
        about->btnOk->click();
    });
    window->About1->trigger();
    EXPECT_EQ(dialogs, 4);
    EXPECT_TRUE(messages.shown.isEmpty()) << messages.texts().join('|').toStdString();
}
