// Open, Close and Create In Existing Database: the state they leave, their messages
// in order, and the log-in prompt.
#include "DesktopFixture.h"

#include "database/TAliases.h"
#include "desktop/TNewTablesOnly.h"
#include "reporting/TFormGenWin.h"
#include "reporting/TFormSecDB.h"
#include "widgets/TfrmPickList.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace {
// Picks the alias in the pick list once it shows; an empty name cancels.
void pickAlias(const QString& alias)
{
    whenModal([alias](QWidget* modal) {
        auto* pick = qobject_cast<TfrmPickList*>(modal);
        ASSERT_NE(pick, nullptr);
        EXPECT_EQ(pick->windowTitle(), "Select Security Alias");
        EXPECT_EQ(pick->lblLabel->text(), "Alias:");
        if (alias.isEmpty()) {
            pick->bbtnCancel->click();
            return;
        }
        const auto found = pick->lboxList->findItems(alias, Qt::MatchFixedString);
        ASSERT_EQ(found.size(), 1);
        pick->lboxList->setCurrentItem(found.first());
        pick->bbtnOk->click();
    });
}

// Fills the Create In Existing Database dialog and presses OK.
void fillTablesOnly(const QString& alias, const QString& user, const QString& password)
{
    whenModal([=](QWidget* modal) {
        auto* dialog = qobject_cast<TNewTablesOnly*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->cmboxAlias->setCurrentIndex(dialog->cmboxAlias->findText(alias));
        dialog->edUserID->setText(user);
        dialog->edPassword->setText(password);
        dialog->bbnOk->click();
    });
}
} // namespace

using OpenClose = DesktopTest;

TEST_F(OpenClose, OpenThroughThePickListLogsInAndFillsTheStatusBar)
{
    TestDatabase db;
    db.exec("insert into PROGRAM (Security_Label) values ('Acme Orders')");
    pickAlias(db.alias());
    window->Open1->trigger();
    EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join("\n"));
    EXPECT_EQ(logins, QStringList({db.alias() + "|SYSDBA"}));
    EXPECT_EQ(window->OpenAlias, db.alias());
    EXPECT_TRUE(window->Database1->connected());
    EXPECT_EQ(window->Database1->databaseName(), db.alias());
    EXPECT_EQ(window->panelText(1), "Alias: " + db.alias());
    EXPECT_EQ(window->panelText(2), "Acme Orders");
    EXPECT_EQ(menuBarCaptions(), QStringList({"&File", "&Security", "&Tools", "&Help"}));

    window->Close1->trigger();
    EXPECT_TRUE(window->OpenAlias.isEmpty());
    EXPECT_FALSE(window->Database1->connected());
    EXPECT_EQ(window->panelText(1), "Alias:");
    EXPECT_EQ(window->panelText(2), "");
    EXPECT_EQ(menuBarCaptions(), QStringList({"&File", "&Help"}));
}

TEST_F(OpenClose, ThePickListSelectsTheOpenAliasAndEnterOpensIt)
{
    TestDatabase first(true, "FIRST_SEC");
    TestDatabase second(true, "SECOND_SEC");
    window->OpenSecurityAlias(second.alias());
    ASSERT_EQ(window->OpenAlias, second.alias());
    window->Close1->trigger();
    // Nothing open: the first row is selected and Enter opens it.
    whenModal([](QWidget* modal) {
        auto* pick = qobject_cast<TfrmPickList*>(modal);
        ASSERT_NE(pick, nullptr);
        EXPECT_EQ(pick->lboxList->currentRow(), 0);
        QTest::keyClick(pick->lboxList, Qt::Key_Return);
    });
    window->Open1->trigger();
    const QString firstListed = TAliases::databaseNames().value(0);
    EXPECT_EQ(window->OpenAlias, firstListed);
    // With an alias open, that alias is the selected row.
    window->OpenSecurityAlias(second.alias());
    whenModal([&](QWidget* modal) {
        auto* pick = qobject_cast<TfrmPickList*>(modal);
        ASSERT_NE(pick, nullptr);
        ASSERT_NE(pick->lboxList->currentItem(), nullptr);
        EXPECT_EQ(pick->lboxList->currentItem()->text(), second.alias());
        EXPECT_TRUE(pick->lboxList->currentItem()->isSelected());
        QTest::keyClick(pick->lboxList, Qt::Key_Enter);
    });
    window->Open1->trigger();
    EXPECT_EQ(window->OpenAlias, second.alias());
    EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join("\n"));
}

TEST_F(OpenClose, CancellingThePickListOpensNothing)
{
    TestDatabase db;
    pickAlias(QString());
    window->Open1->trigger();
    EXPECT_TRUE(logins.isEmpty());
    EXPECT_TRUE(window->OpenAlias.isEmpty());
}

TEST_F(OpenClose, AnEmptyProgramTableOpensWithAnEmptyTitle)
{
    TestDatabase db;
    window->OpenSecurityAlias(db.alias());
    EXPECT_EQ(window->OpenAlias, db.alias());
    EXPECT_EQ(window->panelText(1), "Alias: " + db.alias());
    EXPECT_EQ(window->panelText(2), "");
}

TEST_F(OpenClose, ARefusedLogInKeepsWhatWasOpenAndShowsTheEngineText)
{
    TestDatabase first(true, "FIRST_SEC");
    first.addProgram();
    TestDatabase second(true, "SECOND_SEC");
    window->OpenSecurityAlias(first.alias());
    ASSERT_EQ(window->OpenAlias, "FIRST_SEC");

    acceptLogin = false;
    pickAlias("SECOND_SEC");
    window->Open1->trigger();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown[0].kind, Platform::MsgKind::Error);
    EXPECT_TRUE(messages.last().contains("SECOND_SEC")) << qPrintable(messages.last());
    EXPECT_EQ(window->OpenAlias, "FIRST_SEC");
    EXPECT_EQ(window->panelText(1), "Alias: FIRST_SEC");
    EXPECT_EQ(window->panelText(2), "Test");
}

TEST_F(OpenClose, ADatabaseWithoutSecurityTablesLeavesNothingOpen)
{
    TestDatabase security(true, "GOOD_SEC");
    TestDatabase plain(false, "PLAIN_DB");
    window->OpenSecurityAlias(security.alias());
    ASSERT_EQ(window->OpenAlias, "GOOD_SEC");

    window->OpenSecurityAlias(plain.alias());
    EXPECT_EQ(messages.texts(), QStringList({"Valid Security files were not found at the location specified by the "
                                             "selected alias.  Check your BDE configuration for possible errors."}));
    EXPECT_TRUE(window->OpenAlias.isEmpty());
    EXPECT_FALSE(window->Database1->connected());
    EXPECT_EQ(window->panelText(1), "Alias:");
    EXPECT_EQ(menuBarCaptions(), QStringList({"&File", "&Help"}));
}

TEST_F(OpenClose, CloseDestroysTheReportsWindowAndDropsTheConnections)
{
    TestDatabase db;
    window->OpenSecurityAlias(db.alias());
    QPointer<QWidget> reports = new QWidget(window.get(), Qt::Window);
    window->ReportsWindow = reports.data();
    window->Close1Click();
    EXPECT_TRUE(reports.isNull());
    EXPECT_TRUE(window->ReportsWindow.isNull());
    EXPECT_FALSE(window->Database1->connected());
}

using CreateInExisting = DesktopTest;

TEST_F(CreateInExisting, BuildsTheTablesInAnEmptyDatabaseAndOpensIt)
{
    TestDatabase plain(false, "PLAIN_DB");
    fillTablesOnly("PLAIN_DB", "SYSDBA", "masterkey");
    window->Create1->trigger();
    EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join("\n"));
    EXPECT_EQ(window->OpenAlias, "PLAIN_DB");
    EXPECT_EQ(plain.scalar("select count(*) from rdb$relations where rdb$relation_name in ('ACCESS', 'GROUPS', "
                           "'GRPCOLL', 'PROGRAM', 'USERS', 'PWHIST', 'USERACC', 'LOG')"),
              "8");
    EXPECT_EQ(plain.count("PROGRAM"), 0);
    // Keys come from the generators, starting at 1.
    plain.exec("insert into USERS (USER_NAME, User_PASSWORD) values ('Ann', 'a')");
    EXPECT_EQ(plain.scalar("select USER_ID from USERS"), "1");
}

TEST_F(CreateInExisting, ExistingTablesGiveBothMessagesAndOpenNothing)
{
    TestDatabase db(true, "BUILT_SEC");
    fillTablesOnly("BUILT_SEC", "SYSDBA", "masterkey");
    window->Create1->trigger();
    EXPECT_EQ(messages.texts(),
              QStringList({"Error Creating Tables", "Error Creating Security Tables.\nA table with the same name may "
                                                    "already exist."}));
    EXPECT_TRUE(logins.isEmpty());
    EXPECT_TRUE(window->OpenAlias.isEmpty());
    EXPECT_FALSE(window->Database1->connected());
}

TEST_F(CreateInExisting, AnUnreachableDatabaseIsReportedOnce)
{
    QTemporaryDir dir;
    TAliases::addAlias("MISSING_DB", "INTRBASE", {"SERVER NAME=" + dir.path() + "/none.gdb", "USER NAME=SYSDBA"});
    fillTablesOnly("MISSING_DB", "SYSDBA", "masterkey");
    window->Create1->trigger();
    TAliases::deleteAlias("MISSING_DB");
    EXPECT_EQ(messages.texts(), QStringList({"Unable to Connect To Database."}));
    EXPECT_TRUE(window->OpenAlias.isEmpty());
}

TEST_F(CreateInExisting, TheDialogChecksAliasUserAndPasswordInThatOrder)
{
    TestDatabase db;
    TNewTablesOnly dialog(window.get());
    dialog.FormShow();
    EXPECT_EQ(dialog.windowTitle(), "Create New Tables In Existing Database");
    EXPECT_FALSE(dialog.cmboxAlias->isEditable());
    EXPECT_TRUE(dialog.cmboxAlias->findText(db.alias()) >= 0);

    EXPECT_FALSE(dialog.FormCloseQuery());
    dialog.cmboxAlias->setCurrentIndex(dialog.cmboxAlias->findText(db.alias()));
    EXPECT_FALSE(dialog.FormCloseQuery());
    dialog.edUserID->setText("SYSDBA");
    EXPECT_FALSE(dialog.FormCloseQuery());
    dialog.edPassword->setText("masterkey");
    EXPECT_TRUE(dialog.FormCloseQuery());
    EXPECT_EQ(messages.texts(),
              QStringList({"An Alias must selected.", "A UserID must be entered.", "A Password must be selected."}));
    // Cancel always closes.
    dialog.edPassword->clear();
    dialog.done(QDialog::Rejected);
    EXPECT_EQ(messages.shown.size(), 3);
}

TEST_F(OpenClose, ReportingShowsOneReportsWindowThatCloseDestroys)
{
    TestDatabase db;
    db.exec("insert into PROGRAM (Security_Label) values ('Acme Orders')");
    pickAlias(db.alias());
    window->Open1->trigger();
    window->Reporting1->trigger();
    QPointer<QWidget> reports = window->ReportsWindow;
    ASSERT_TRUE(reports);
    EXPECT_EQ(reports->windowTitle(), "Security in " + db.alias());
    EXPECT_TRUE(reports->isVisible());
    reports->close(); // closing only hides it
    window->Reporting1->trigger();
    EXPECT_EQ(window->ReportsWindow.data(), reports.data());
    EXPECT_TRUE(reports->isVisible());
    window->Close1->trigger();
    EXPECT_FALSE(reports);
}

TEST_F(OpenClose, ReportingFollowsTheOpenDatabase)
{
    TestDatabase first;
    TestDatabase second(true, "JOVSEC_OTHER");
    for (const char* group : {"Clerks", "Managers"})
        second.exec(QString("insert into GROUPS (GROUP_NAME) values ('%1')").arg(group));
    second.exec("insert into ACCESS (ACCESS_NAME) values ('Print Reports')");
    second.exec("insert into GRPCOLL (GROUP_ID, ACCESS_ID) select GROUP_ID, 1 from GROUPS");
    pickAlias(first.alias());
    window->Open1->trigger();
    window->Reporting1->trigger();
    QPointer<QWidget> old = window->ReportsWindow;
    ASSERT_TRUE(old);

    pickAlias(second.alias());
    window->Open1->trigger();
    ASSERT_EQ(window->OpenAlias, second.alias());
    EXPECT_FALSE(old) << "the window of the database no longer open";
    window->Reporting1->trigger();
    auto* reports = qobject_cast<TFormSecDB*>(window->ReportsWindow.data());
    ASSERT_TRUE(reports);
    EXPECT_EQ(reports->windowTitle(), "Security in " + second.alias());
    reports->fgwMain->setOptions(0);
    reports->cmboxReportType->setCurrentIndex(1);
    reports->spbtnExecute->click();
    QStringList texts;
    for (const auto& cmd : reports->fgwMain->commands())
        if (auto* t = dynamic_cast<const TTextBoxCmd*>(cmd.get()))
            texts << t->Text;
    EXPECT_TRUE(texts.contains("Clerks") && texts.contains("Managers")) << qPrintable(texts.join("|"));
}
