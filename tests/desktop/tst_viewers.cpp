// The log viewer (look-ups, block-wise reading, Clear Log all or nothing) and the
// user list, on real databases.
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "desktop/TLogQuery.h"
#include "desktop/TfrmViewLog.h"
#include "desktop/TfrmViewUsers.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/ModalPoller.h"
#include "tests/support/TestDatabase.h"
#include "widgets/TDateEdit.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QTableView>
#include <QTest>
#include <QThreadPool>
#include <gtest/gtest.h>

#include <set>

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
    // Newest first; rows of one day by their count, the last logged first.
    EXPECT_EQ(rowTexts(log, 0).mid(2), QStringList({"Unknown", "77", "1", "Enter Orders"})) << "deleted user";
    EXPECT_EQ(rowTexts(log, 1).mid(2), QStringList({"bob", "1", "99", "Unknown"})) << "deleted constant";
    EXPECT_EQ(rowTexts(log, 2).mid(2), QStringList({"bob", "1", "1", "Enter Orders"}));
    EXPECT_EQ(rowTexts(log, 3).mid(2), QStringList({"amy", "2", "", "*** Logon ***"}));
    EXPECT_EQ(rowTexts(log, 0).at(0), "3/4/2001");
    EXPECT_EQ(viewer->DBGrid1->model(), viewer->sqlLog);

    viewer->FormHide();
    EXPECT_FALSE(viewer->sqlLog->active());
    EXPECT_FALSE(viewer->sqlUsers->active());
}

// Far more rows than one block, ten days with many rows each, the days not in the
// order the rows were logged: whichever way the grid is read (from the top, from the
// end up, jumping about), it shows every row once, newest first, a day's rows by
// count, and holds a bounded number of blocks.
TEST_F(ViewerTest, TheLogShowsEveryRowOnceNewestFirstHoweverItIsRead)
{
    const int bob = db->addUser("bob", "pw");
    constexpr int rows = 3000;
    db->exec(QStringLiteral(
                 "execute block as declare i integer = 0; begin while (i < %1) do begin "
                 "insert into LOG (ACCESS_DATE, USER_ID) values (dateadd(mod(gen_id(LOGCOUNT_GEN, 0) * 7, 10) day to "
                 "timestamp '2026-03-01 08:30:00'), %2); i = i + 1; end end")
                 .arg(rows)
                 .arg(bob));
    auto viewer = showLog();
    TLogQuery& log = *viewer->sqlLog;
    ASSERT_EQ(log.rowCount(), rows) << "the whole count at once";
    const auto read = [&](int row) {
        const QString date = log.data(log.index(row, TLogQuery::ColAccessDate)).toString();
        return std::pair(QDateTime::fromString(date, "M/d/yyyy HH:mm:ss"),
                         log.data(log.index(row, TLogQuery::ColLogCount)).toInt());
    };
    std::vector<std::pair<QDateTime, int>> top(rows);
    for (int r = 0; r < rows; ++r)
        top[r] = read(r);
    std::set<int> counts;
    for (int r = 0; r < rows; ++r) {
        counts.insert(top[r].second);
        if (r > 0) {
            ASSERT_TRUE(top[r].first < top[r - 1].first ||
                        (top[r].first == top[r - 1].first && top[r].second < top[r - 1].second))
                << "row " << r;
        }
    }
    EXPECT_EQ(counts.size(), size_t(rows)) << "every row once";
    EXPECT_EQ(top.front().first.date(), QDate(2026, 3, 10));
    EXPECT_LE(log.cachedBlocks(), TLogQuery::kCachedBlocks);

    const auto readsAs = [&](const std::vector<int>& order) {
        viewer->FormHide();
        viewer->FormShow();
        for (int r : order)
            if (read(r) != top[r])
                return r;
        return -1;
    };
    std::vector<int> upwards(rows);
    for (int r = 0; r < rows; ++r)
        upwards[r] = rows - 1 - r;
    EXPECT_EQ(readsAs(upwards), -1);
    std::vector<int> jumps;
    for (int start : {1500, 2999, 700, 2100, 0, 1300, 2600, 900}) {
        for (int r = start; r < std::min(rows, start + 40); ++r)
            jumps.push_back(r);
        for (int r = start; r > std::max(-1, start - 200); --r)
            jumps.push_back(r);
    }
    EXPECT_EQ(readsAs(jumps), -1);

    // Ctrl+End in the grid goes to the oldest row; the count sorts, oldest first.
    viewer->show();
    viewer->DBGrid1->setFocus();
    QTest::keyClick(viewer->DBGrid1, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(viewer->DBGrid1->currentIndex().row(), rows - 1);
    EXPECT_EQ(read(rows - 1), top.back());
    // Tab leaves the grid instead of walking its cells.
    const QModelIndex before = viewer->DBGrid1->currentIndex();
    QTest::keyClick(viewer->DBGrid1, Qt::Key_Tab);
    EXPECT_EQ(viewer->DBGrid1->currentIndex(), before);
    viewer->DBGrid1->horizontalHeader()->setSortIndicator(TLogQuery::ColLogCount, Qt::AscendingOrder);
    EXPECT_EQ(read(0).second, 1);
    EXPECT_EQ(read(rows - 1).second, rows);
    EXPECT_EQ(read(1234).second, 1235);
    viewer->close();
}

// After each open, order and filter a pass in the background learns the key of every
// block's last row: a jump into the middle, once the pass has ended or at once (it
// then waits for the pass), steps over no row and shows exactly the rows a plain
// ordered fetch gives at that place, in each order and under a filter of a user and
// days. A pass still reading when the viewer closes stops, and nothing of it arrives
// afterwards.
TEST_F(ViewerTest, AJumpIntoTheMiddleReadsFromThePassesKeysTheRowsOfAPlainFetch)
{
    const int bob = db->addUser("bob", "pw");
    const int amy = db->addUser("amy", "pw");
    constexpr int rows = 3000;
    db->exec(
        QStringLiteral(
            "execute block as declare i integer = 0; begin while (i < %1) do begin "
            "insert into LOG (ACCESS_DATE, USER_ID) values (dateadd(mod(gen_id(LOGCOUNT_GEN, 0) * 7, 10) day to "
            "timestamp '2026-03-01 08:30:00'), iif(mod(gen_id(LOGCOUNT_GEN, 0), 3) = 0, %2, %3)); i = i + 1; end end")
            .arg(rows)
            .arg(amy)
            .arg(bob));
    auto viewer = showLog();
    TLogQuery& log = *viewer->sqlLog;
    TLogFilter amyInDays;
    amyInDays.userId = amy;
    amyInDays.from = QDate(2026, 3, 3);
    amyInDays.to = QDate(2026, 3, 7);
    struct Case {
        int column;
        Qt::SortOrder order;
        TLogFilter filter;
        QString fetch;
    };
    const QString amyRows = QStringLiteral(" where USER_ID = %1 and ACCESS_DATE >= '2026-03-03' and ACCESS_DATE < "
                                           "'2026-03-08'")
                                .arg(amy);
    const Case cases[] = {
        {TLogQuery::ColAccessDate, Qt::DescendingOrder, {}, " order by ACCESS_DATE desc, LOGCOUNT desc"},
        {TLogQuery::ColAccessDate, Qt::AscendingOrder, {}, " order by ACCESS_DATE, LOGCOUNT"},
        {TLogQuery::ColLogCount, Qt::DescendingOrder, {}, " order by LOGCOUNT desc"},
        {TLogQuery::ColLogCount, Qt::AscendingOrder, {}, " order by LOGCOUNT"},
        {TLogQuery::ColAccessDate, Qt::DescendingOrder, amyInDays,
         amyRows + " order by ACCESS_DATE desc, LOGCOUNT desc"},
    };
    for (const Case& c : cases) {
        QSignalSpy keysRead(&log, &TLogQuery::blockKeysRead);
        log.setFilter(c.filter);
        log.sort(c.column, c.order);
        if (&c == &cases[0]) {
            ASSERT_TRUE(keysRead.wait(60000));
        }
        const int count = log.rowCount();
        const qint64 stepped = log.rowsSteppedOver();
        const int from = count / 2;
        QStringList shown;
        for (int r = from; r < from + 200; ++r)
            shown << log.data(log.index(r, TLogQuery::ColLogCount)).toString();
        EXPECT_EQ(log.rowsSteppedOver(), stepped) << c.fetch.toStdString();
        EXPECT_EQ(log.knownBlockKeys(), count / TLogQuery::kBlockRows) << c.fetch.toStdString();
        EXPECT_EQ(
            shown,
            db->rows(
                QStringLiteral("select LOGCOUNT from LOG%1 rows %2 to %3").arg(c.fetch).arg(from + 1).arg(from + 200)));
    }

    QSignalSpy late(&log, &TLogQuery::blockKeysRead);
    // Closed just after its pass started, and again on the way out.
    log.sort(TLogQuery::ColLogCount, Qt::DescendingOrder);
    viewer->FormHide();
    EXPECT_FALSE(log.readingBlockKeys());
    QCoreApplication::processEvents();
    EXPECT_EQ(late.count(), 0);
    EXPECT_EQ(log.knownBlockKeys(), 0);
    viewer->FormShow();
    viewer.reset();
}

// The filters give exactly their rows, whole days at both ends of the range.
TEST_F(ViewerTest, FiltersByUserConstantAndDaysGiveExactlyTheirRows)
{
    const int bob = db->addUser("bob", "pw");
    const int amy = db->addUser("amy", "pw");
    db->exec("insert into ACCESS (ACCESS_NAME) values ('Orders')");
    db->exec("insert into ACCESS (ACCESS_NAME) values ('Billing')");
    addLog(bob, "1", "2026-01-05 10:00:00");
    addLog(bob, "NULL", "2026-01-06 23:59:59");
    addLog(amy, "1", "2026-01-06 00:00:00");
    addLog(amy, "2", "2026-01-07 00:00:00");
    addLog(bob, "2", "2026-01-04 23:59:59");
    auto viewer = showLog();
    const auto shown = [&] {
        QList<int> counts;
        for (int r = 0; r < viewer->sqlLog->rowCount(); ++r)
            counts << viewer->sqlLog->data(viewer->sqlLog->index(r, TLogQuery::ColLogCount)).toInt();
        return counts;
    };
    EXPECT_EQ(shown(), QList<int>({4, 2, 3, 1, 5}));
    // Names sorted without regard to letter case; the log-ons have an entry of their own.
    EXPECT_EQ(viewer->cbUser->itemText(1), "amy");
    viewer->cbUser->setCurrentText("bob");
    EXPECT_EQ(shown(), QList<int>({2, 1, 5}));
    viewer->cbUser->setCurrentIndex(0);
    viewer->cbAccess->setCurrentText("Orders");
    EXPECT_EQ(shown(), QList<int>({3, 1}));
    viewer->cbAccess->setCurrentText("*** Logon ***");
    EXPECT_EQ(shown(), QList<int>({2}));
    viewer->cbAccess->setCurrentIndex(0);

    EXPECT_EQ(viewer->dedFrom->date(), QDate(2026, 1, 4)) << "the days start as the whole log";
    EXPECT_EQ(viewer->dedTo->date(), QDate(2026, 1, 7));
    viewer->dedFrom->setDate(QDate(2026, 1, 5));
    viewer->dedTo->setDate(QDate(2026, 1, 6));
    EXPECT_EQ(shown().size(), 5) << "the days count only when ticked";
    viewer->ckbxDates->setChecked(true);
    EXPECT_EQ(shown(), QList<int>({2, 3, 1}));
    viewer->cbUser->setCurrentText("bob");
    EXPECT_EQ(shown(), QList<int>({2, 1}));
    EXPECT_TRUE(messages.shown.isEmpty());
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
    // Each clear leaves its audit event, with the rows it took.
    EXPECT_EQ(db->scalar("select list(KIND || ': ' || trim(trailing ascii_char(10) from DETAILS), '|') from "
                         "(select KIND, DETAILS from AUDIT_TRAIL order by EVENT_ID)"),
              "LogCleared: Rows deleted: 2|LogCleared: Rows deleted: 0");
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
    EXPECT_EQ(db->count("AUDIT_TRAIL"), 0) << "an event without its change";
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

// A count over 999,999 and a name of 30 characters show whole; the window can be
// made larger.
TEST_F(ViewerTest, LargeCountsAndLongNamesShowWholeInAResizableWindow)
{
    const QString name = "Administrator of the Accounts";
    const int user = db->addUser(name, "pw");
    db->exec("set generator LOGCOUNT_GEN to 12345677");
    addLog(user, "NULL");
    auto viewer = showLog();
    const QFontMetrics cells(viewer->DBGrid1->font());
    EXPECT_EQ(rowTexts(*viewer->sqlLog, 0).at(1), "12345678");
    EXPECT_GT(viewer->DBGrid1->columnWidth(TLogQuery::ColLogCount), cells.horizontalAdvance("12345678") + 6);
    EXPECT_GT(viewer->DBGrid1->columnWidth(TLogQuery::ColUserName), cells.horizontalAdvance(name) + 6);
    EXPECT_LT(viewer->minimumWidth(), viewer->maximumWidth());
    EXPECT_TRUE(viewer->windowFlags() & Qt::WindowMaximizeButtonHint);
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
