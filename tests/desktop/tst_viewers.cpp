// The log viewer (look-ups, block-wise reading, Clear Log all or nothing) and the
// user list, on real databases.
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "desktop/TLogQuery.h"
#include "desktop/Vwlogunt.h"
#include "desktop/Vwusrunt.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/ModalPoller.h"
#include "tests/support/TestDatabase.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QThreadPool>
#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

QStringList rowTexts(const TLogQuery& log, int row)
{
    QStringList texts;
    for (int c = 0; c < log.columnCount(); ++c)
        texts << log.data(log.index(row, c)).toString();
    return texts;
}

} // namespace

class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override { db = std::make_unique<TestDatabase>(); }
    void TearDown() override
    {
        ++modalPollerGeneration();
        TDatabase::dropTemporaryConnections();
        // A clear collects the deleted rows in the background; the database stays until then.
        QThreadPool::globalInstance()->waitForDone();
    }
    void addLog(int userId, const QString& accessId, const QString& date = "2001-03-04")
    {
        db->exec(QStringLiteral("insert into LOG (ACCESS_DATE, USER_ID, ACCESS_ID) values ('%1', %2, %3)")
                     .arg(date)
                     .arg(userId)
                     .arg(accessId));
    }
    // Log rows may outlive their user only without the foreign key.
    void dropLogUserKey()
    {
        const QString name = db->scalar("select trim(RDB$CONSTRAINT_NAME) from RDB$RELATION_CONSTRAINTS "
                                        "where RDB$RELATION_NAME = 'LOG' and RDB$CONSTRAINT_TYPE = 'FOREIGN KEY'");
        db->exec("alter table LOG drop constraint " + name);
    }
    std::unique_ptr<TfrmViewLog> showLog()
    {
        auto viewer = std::make_unique<TfrmViewLog>();
        viewer->sqlUsers->setDatabaseName(db->alias());
        viewer->sqlAccess->setDatabaseName(db->alias());
        viewer->sqlLog->setDatabaseName(db->alias());
        viewer->FormShow();
        return viewer;
    }

    std::unique_ptr<TestDatabase> db;
    MessageRecorder messages;
};

TEST_F(ViewerTest, LogRowsShowTheirUserAndConstantNames)
{
    dropLogUserKey();
    const int bob = db->addUser("bob", "pw");
    const int amy = db->addUser("amy", "pw");
    db->exec("insert into ACCESS (ACCESS_NAME) values ('Enter Orders')");
    addLog(amy, "NULL");
    addLog(bob, "1");
    addLog(bob, "99");
    addLog(77, "1");

    auto viewer = showLog();
    const TLogQuery& log = *viewer->sqlLog;
    EXPECT_EQ(viewer->windowTitle(), "View Log");
    EXPECT_EQ(viewer->btnClearLog->text(), "&Clear Log");
    QStringList titles;
    for (int c = 0; c < log.columnCount(); ++c)
        titles << log.headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(titles, QStringList({"Access Date", "Cnt", "User Name", "User ID", "Acc ID", "Access Label"}));
    ASSERT_EQ(log.rowCount(), 4);
    // Ordered by user id: bob (1), amy (2), the vanished user 77.
    EXPECT_EQ(rowTexts(log, 0).mid(2), QStringList({"bob", "1", "1", "Enter Orders"}));
    EXPECT_EQ(rowTexts(log, 1).mid(2), QStringList({"bob", "1", "99", "Unknown"})) << "deleted constant";
    EXPECT_EQ(rowTexts(log, 2).mid(2), QStringList({"amy", "2", "", "*** Logon ***"}));
    EXPECT_EQ(rowTexts(log, 3).mid(2), QStringList({"Unknown", "77", "1", "Enter Orders"})) << "deleted user";
    EXPECT_EQ(rowTexts(log, 0).at(0), "3/4/2001");
    EXPECT_EQ(viewer->DBGrid1->model(), viewer->sqlLog);

    viewer->FormHide();
    EXPECT_FALSE(viewer->sqlLog->active());
    EXPECT_FALSE(viewer->sqlUsers->active());
}

TEST_F(ViewerTest, TheLogIsReadInBlocksAsTheGridScrolls)
{
    const int bob = db->addUser("bob", "pw");
    db->exec(QStringLiteral("execute block as declare i integer = 0; begin while (i < 600) do begin "
                            "insert into LOG (ACCESS_DATE, USER_ID) values (current_date, %1); i = i + 1; end end")
                 .arg(bob));
    auto viewer = showLog();
    TLogQuery& log = *viewer->sqlLog;
    EXPECT_LT(log.rowCount(), 600);
    EXPECT_TRUE(log.canFetchMore());
    while (log.canFetchMore())
        log.fetchMore();
    EXPECT_EQ(log.rowCount(), 600);
}

TEST_F(ViewerTest, ClearLogAsksThenEmptiesTheTableAndCloses)
{
    const int bob = db->addUser("bob", "pw");
    addLog(bob, "NULL");
    addLog(bob, "NULL");
    auto viewer = showLog();

    messages.answers = {Platform::MsgResult::No};
    viewer->btnClearLogClick();
    EXPECT_EQ(messages.texts(), QStringList({"Are you sure you want to clear the Log?"}));
    EXPECT_EQ(db->count("LOG"), 2);
    EXPECT_EQ(viewer->result(), QDialog::Rejected);
    EXPECT_TRUE(viewer->sqlLog->active());

    whenModal([&](QWidget* modal) {
        EXPECT_EQ(modal, viewer.get());
        messages.answers = {Platform::MsgResult::Yes};
        viewer->btnClearLog->click();
    });
    EXPECT_EQ(viewer->exec(), QDialog::Accepted);
    EXPECT_EQ(db->count("LOG"), 0);
    EXPECT_EQ(messages.shown.size(), 2) << "no failure message";

    // An empty log closes the same way.
    auto again = showLog();
    messages.answers = {Platform::MsgResult::Yes};
    again->btnClearLogClick();
    EXPECT_EQ(again->result(), QDialog::Accepted);
}

TEST_F(ViewerTest, ClearLogIsAllOrNothing)
{
    const int bob = db->addUser("bob", "pw");
    for (int i = 0; i < 50; ++i)
        addLog(bob, "NULL");
    // The engine refuses to delete the last row, after the others went.
    db->exec("create exception KEEP_LOG 'kept'");
    db->exec("create trigger KEEP_LAST for LOG before delete as begin "
             "if (old.LOGCOUNT = 50) then exception KEEP_LOG; end");
    auto viewer = showLog();
    messages.answers = {Platform::MsgResult::Yes};
    viewer->btnClearLogClick();
    EXPECT_EQ(messages.last(), "Unable to open Log Table Exclusively.");
    EXPECT_EQ(messages.last(), messages.shown.last().text);
    EXPECT_EQ(messages.shown.last().kind, Platform::MsgKind::Error);
    EXPECT_EQ(db->count("LOG"), 50) << "no row may be lost";
    EXPECT_TRUE(viewer->sqlLog->active()) << "the log is shown again";
    EXPECT_EQ(viewer->sqlLog->rowCount(), 50);
    EXPECT_EQ(viewer->result(), QDialog::Rejected);
    EXPECT_FALSE(TDatabase::connectionFor(db->alias())->inTransaction());
}

TEST_F(ViewerTest, ClearLogGivesUpOnARowAnotherProgramHoldsWithItsMessage)
{
    const int bob = db->addUser("bob", "pw");
    for (int i = 0; i < 3; ++i)
        addLog(bob, "NULL");
    auto viewer = showLog();
    {
        HeldRows holder(*db, "update LOG set LOGCOUNT = LOGCOUNT where LOGCOUNT = 2");
        TDatabase::connectionFor(db->alias())->setLockTimeout(300);
        messages.answers = {Platform::MsgResult::Yes};
        viewer->btnClearLogClick();
    }
    EXPECT_EQ(messages.last(), "Unable to open Log Table Exclusively.");
    EXPECT_EQ(db->count("LOG"), 3) << "no row may be lost";
    EXPECT_EQ(viewer->result(), QDialog::Rejected);
    EXPECT_FALSE(TDatabase::connectionFor(db->alias())->inTransaction());
}

TEST_F(ViewerTest, UserListIsAlphabetical)
{
    for (const char* name : {"zed", "Amy", "bob", "carl"})
        db->addUser(name, "pw");
    {
        TfrmViewUsers users;
        users.sqlUserAcc->setDatabaseName(db->alias());
        users.FormShow();
        EXPECT_EQ(users.windowTitle(), "Current Users");
        EXPECT_EQ(users.lblNetName->text(), "Network User Name");
        QStringList names;
        for (int i = 0; i < users.lbUsers->count(); ++i)
            names << users.lbUsers->item(i)->text();
        EXPECT_EQ(names, QStringList({"Amy", "bob", "carl", "zed"}));
        // It says that it lists every user, logged on or not, and how many.
        EXPECT_EQ(users.lblCount->text(), "4 users of this security database, logged on or not");
    }
    db->exec("delete from PWHIST");
    db->exec("delete from USERS");
    TfrmViewUsers empty;
    empty.sqlUserAcc->setDatabaseName(db->alias());
    empty.FormShow();
    EXPECT_EQ(empty.lbUsers->count(), 0);
    EXPECT_EQ(empty.lblCount->text(), "0 users of this security database, logged on or not");
}

TEST_F(ViewerTest, LogDateTimesReadAsInTheReportsAndShowWhole)
{
    const int bob = db->addUser("bob", "pw");
    addLog(bob, "NULL", "2026-12-28 14:30:05");
    auto viewer = showLog();
    const QString stamp = rowTexts(*viewer->sqlLog, 0).at(0);
    EXPECT_EQ(stamp, "12/28/2026 14:30:05");
    EXPECT_GT(viewer->DBGrid1->columnWidth(0), viewer->DBGrid1->fontMetrics().horizontalAdvance(stamp) + 6);
}
