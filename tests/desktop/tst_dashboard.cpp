// The main window's dashboard: the open database's figures against the database
// itself, kept up to date after the commands that change them, cleared on Close.
#include "DesktopFixture.h"

#include "desktop/TDashboard.h"
#include "desktop/TfrmViewLog.h"
#include "editor/TFormCSMain.h"

#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <cstdlib>

using Dashboard = DesktopTest;

namespace {
QStringList column(const QTreeWidget* tree, int c)
{
    QStringList texts;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        texts << tree->topLevelItem(i)->text(c);
    return texts;
}
} // namespace

TEST_F(Dashboard, ShowsTheOpenDatabasesFiguresFollowsItsChangesAndClearsOnClose)
{
    TestDatabase db;
    db.addProgram();
    for (const char* name : {"Print", "Export", "Approve"})
        db.exec(QString("insert into ACCESS (ACCESS_NAME) values ('%1')").arg(name));
    db.exec("insert into GROUPS (GROUP_NAME) values ('Clerks')");
    db.exec("insert into GROUPS (GROUP_NAME) values ('Tellers')");
    db.exec("insert into GRPCOLL (GROUP_ID, ACCESS_ID) select min(GROUP_ID), 1 from GROUPS");
    const int ann = db.addUser("ann", "pw", "LOCKED, USER_LASTACCESS", "1, '2026-01-05 10:00:00'");
    const int bob = db.addUser("bob", "pw", "USER_LASTACCESS", "'2026-01-06 09:30:00'");
    db.addUser("cy", "pw", "LOCKED", "1");
    db.addUser("dee", "pw");
    for (const auto& [user, access, type] : {std::tuple {ann, 1, 'C'}, {ann, 2, 'C'}, {ann, 1, 'G'}, {bob, 3, 'C'}})
        db.exec(QString("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, %2, '%3')")
                    .arg(user)
                    .arg(access)
                    .arg(QChar(type)));
    for (int i = 0; i < 3; ++i)
        db.exec(QString("insert into LOG (ACCESS_DATE, USER_ID) values (CURRENT_DATE, %1)").arg(bob));

    TDashboard* dashboard = window->Dashboard1;
    ASSERT_EQ(window->centralWidget(), dashboard);
    EXPECT_FALSE(dashboard->showsDatabase());
    window->OpenSecurityAlias(db.alias());
    ASSERT_TRUE(dashboard->showsDatabase());
    auto expectCounts = [&] {
        const struct {
            QLabel* label;
            int shown;
            const char* table;
        } rows[] = {{dashboard->lblUsers, dashboard->figures().users, "USERS"},
                    {dashboard->lblGroups, dashboard->figures().groups, "GROUPS"},
                    {dashboard->lblConstants, dashboard->figures().constants, "ACCESS"},
                    {dashboard->lblGrants, dashboard->figures().grants, "USERACC"},
                    {dashboard->lblLogRows, dashboard->figures().logRows, "LOG"}};
        for (const auto& row : rows) {
            EXPECT_EQ(row.shown, db.count(row.table)) << row.table;
            EXPECT_EQ(row.label->text(), QString::number(db.count(row.table))) << row.table;
        }
    };
    expectCounts();
    EXPECT_EQ(dashboard->figures().users, 4);
    EXPECT_EQ(dashboard->figures().grants, 4);
    EXPECT_EQ(dashboard->lblAlias->text(), db.alias());
    EXPECT_EQ(dashboard->lblLocation->text(), db.path());
    EXPECT_EQ(column(dashboard->lvLastLogons, 0), (QStringList {"bob", "ann"}));
    EXPECT_TRUE(column(dashboard->lvLastLogons, 1).first().endsWith("9:30:00"))
        << qPrintable(column(dashboard->lvLastLogons, 1).first());
    EXPECT_EQ(dashboard->grpLocked->title(), "Locked Accounts (2)");
    EXPECT_EQ(dashboard->lbLocked->count(), 2);
    EXPECT_EQ(dashboard->lbLocked->item(0)->text(), "ann");
    EXPECT_EQ(dashboard->lbLocked->item(1)->text(), "cy");
    EXPECT_EQ(dashboard->lblAuditTrail->text(), "on, 0 events");

    // Clear Log empties the log it counts.
    whenModal([&](QWidget* modal) {
        auto* viewer = qobject_cast<TfrmViewLog*>(modal);
        ASSERT_NE(viewer, nullptr);
        messages.answers = {Platform::MsgResult::Yes};
        viewer->btnClearLog->click();
    });
    window->ViewLog1Click();
    EXPECT_EQ(dashboard->figures().logRows, 0);
    // The setup editor (here closed at once, another program having added a user and
    // unlocked one) is followed by fresh figures.
    db.addUser("eve", "pw");
    db.exec(QString("update USERS set LOCKED = 0 where USER_ID = %1").arg(ann));
    whenModal([](QWidget* modal) { static_cast<TFormCSMain*>(modal)->reject(); });
    window->Setup1Click();
    expectCounts();
    EXPECT_EQ(dashboard->grpLocked->title(), "Locked Accounts (1)");

    window->Close1Click();
    EXPECT_FALSE(dashboard->showsDatabase());
    EXPECT_EQ(dashboard->figures().users, 0);
    EXPECT_TRUE(messages.texts().filter("rror").isEmpty()) << qPrintable(messages.texts().join("|"));
}

// The long text of a database without the audit trail wraps in its own column: the
// figures and the Last Logons panel keep their equal share of a window of usual size.
TEST_F(Dashboard, AnAuditTrailThatIsOffLeavesThePanelsTheirShare)
{
    TDashboardFigures figures;
    figures.alias = "SALES_SEC";
    figures.location = "/srv/sec.gdb";
    TDashboard* dashboard = window->Dashboard1;
    dashboard->showFigures(figures);
    window->resize(720, 480);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const auto* database = dashboard->findChild<QGroupBox*>("grpDatabase");
    ASSERT_NE(database, nullptr);
    EXPECT_LE(std::abs(database->width() - dashboard->grpLastLogons->width()), 2)
        << database->width() << " beside " << dashboard->grpLastLogons->width();
    EXPECT_TRUE(dashboard->lblAuditTrail->text().startsWith("off: "));
    EXPECT_LE(dashboard->lblAuditTrail->geometry().right(), database->contentsRect().right());
}
