// SecDesk's audit trail viewer on real trails: the events newest first with their
// columns however the grid is read, the filters, a database without the trail, and
// Verify on a trail changed behind the programs' back.
#include "database/TAuditTrail.h"
#include "database/TDatabase.h"
#include "desktop/TAuditQuery.h"
#include "desktop/TFormAuditTrail.h"
#include "platform/RegionalSettings.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/ModalPoller.h"
#include "tests/support/TestDatabase.h"
#include "widgets/TDateEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

constexpr int kEvents = 300;

// Event i of the known sequence.
QString kindOf(int i) { return TAuditTrail::kinds().at(i % TAuditTrail::kinds().size()); }
QString userOf(int i) { return i % 3 == 0 ? QStringLiteral("SUPERVISOR") : QStringLiteral("user%1").arg(i % 5); }
// Event i is dated 2026-01-01 plus i days.
QDate dayOf(int i) { return QDate(2026, 1, 1).addDays(i); }

} // namespace

class AuditViewerTest : public ::testing::Test {
protected:
    void SetUp() override { db = std::make_unique<TestDatabase>(); }
    void TearDown() override
    {
        ++modalPollerGeneration();
        viewer.reset();
        TDatabase::dropTemporaryConnections();
    }

    // The known sequence, through the trail's own writer, in one transaction.
    void seed()
    {
        TDatabase& connection = *TDatabase::connectionFor(db->alias());
        TAuditTrail::run(connection, [&] {
            for (int i = 1; i <= kEvents; ++i) {
                TAuditEvent event = TAuditTrail::event(kindOf(i), userOf(i));
                event.objectName = QStringLiteral("obj%1").arg(i);
                if (i % 7)
                    event.objectId = i % 7;
                event.details =
                    i == kEvents ? QStringLiteral("A: 1 -> 2\nB: x -> y\n") : QStringLiteral("N: %1\n").arg(i);
                newest = TAuditTrail::append(connection, event);
            }
        });
    }
    void spreadOverDays()
    {
        db->exec("update AUDIT_TRAIL set EVENT_TIME = dateadd(EVENT_ID day to timestamp '2026-01-01 10:00:00')");
    }
    void show()
    {
        viewer = std::make_unique<TFormAuditTrail>();
        viewer->setDatabaseName(db->alias());
        viewer->FormShow();
    }
    QString cell(int row, int column, int role = Qt::DisplayRole) const
    {
        return viewer->sqlAudit->data(viewer->sqlAudit->index(row, column), role).toString();
    }
    qint64 idAt(int row) const { return cell(row, TAuditQuery::ColEvent).toLongLong(); }
    // The event numbers of every row, read in the given order of rows, each put in its place.
    std::vector<qint64> idsReadAs(const std::vector<int>& order) const
    {
        std::vector<qint64> ids(viewer->sqlAudit->rowCount());
        for (int r : order)
            ids[r] = idAt(r);
        return ids;
    }
    // Rows from the top, from the bottom up, and jumping about.
    std::vector<std::vector<int>> orders() const
    {
        const int n = viewer->sqlAudit->rowCount();
        std::vector<int> down(n), up(n), jumps;
        for (int r = 0; r < n; ++r) {
            down[r] = r;
            up[r] = n - 1 - r;
        }
        for (int start : {n / 2, n - 1, n / 5, n * 3 / 4, 0, n / 3}) {
            for (int r = start; r < std::min(n, start + 30); ++r)
                jumps.push_back(r);
            for (int r = start; r >= std::max(0, start - 150); --r)
                jumps.push_back(r);
        }
        for (int r = 0; r < n; ++r)
            jumps.push_back(r);
        return {down, up, jumps};
    }

    std::unique_ptr<TestDatabase> db;
    MessageRecorder messages;
    std::unique_ptr<TFormAuditTrail> viewer;
    TAuditEvent newest;
};

TEST_F(AuditViewerTest, ShowsTheEventsNewestFirstWithTheirColumnsHoweverTheGridIsRead)
{
    seed();
    show();
    const TAuditQuery& trail = *viewer->sqlAudit;
    EXPECT_EQ(viewer->windowTitle(), "View Audit Trail");
    QStringList titles;
    for (int c = 0; c < trail.columnCount(); ++c)
        titles << trail.headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(titles, QStringList({"Event", "Time", "OS Login", "User", "Program", "Kind", "Object", "Details"}));
    ASSERT_EQ(trail.rowCount(), kEvents);
    EXPECT_EQ(viewer->lblCount->text(), "300 events");

    QStringList first;
    for (int c = 0; c < trail.columnCount(); ++c)
        first << cell(0, c);
    EXPECT_EQ(first, QStringList({"300", Platform::formatDateTime(newest.time), newest.osUser + "@" + newest.machine,
                                  "SUPERVISOR", newest.program, kindOf(300), "obj300 (6)", "A: 1 -> 2; B: x -> y"}));
    EXPECT_EQ(cell(0, TAuditQuery::ColDetails, Qt::ToolTipRole), "A: 1 -> 2\nB: x -> y");
    EXPECT_EQ(cell(kEvents - 7, TAuditQuery::ColObject), "obj7") << "no id";
    EXPECT_TRUE(viewer->memEvent->toPlainText().contains("B: x -> y")) << "the current event in full";
    // The time shows whole, with the time of day.
    const QFontMetrics metrics(viewer->DBGrid1->font());
    EXPECT_GT(viewer->DBGrid1->columnWidth(TAuditQuery::ColTime),
              metrics.horizontalAdvance(cell(0, TAuditQuery::ColTime)));

    std::vector<qint64> expected(kEvents);
    for (int r = 0; r < kEvents; ++r)
        expected[r] = kEvents - r;
    for (const std::vector<int>& order : orders())
        EXPECT_EQ(idsReadAs(order), expected);
    EXPECT_LE(trail.cachedBlocks(), TAuditQuery::kCachedBlocks);

    // Ctrl+End goes to the oldest event, and the pane shows it.
    viewer->show();
    viewer->DBGrid1->setFocus();
    QTest::keyClick(viewer->DBGrid1, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(viewer->DBGrid1->currentIndex().row(), kEvents - 1);
    EXPECT_EQ(idAt(kEvents - 1), 1);
    EXPECT_TRUE(viewer->memEvent->toPlainText().startsWith("Event #1,")) << qPrintable(viewer->memEvent->toPlainText());
    // Tab leaves the grid instead of walking its cells.
    const QModelIndex before = viewer->DBGrid1->currentIndex();
    QTest::keyClick(viewer->DBGrid1, Qt::Key_Tab);
    EXPECT_EQ(viewer->DBGrid1->currentIndex(), before);
    viewer->close();
}

// Each filter, set through its control, gives exactly its events, newest first,
// however the grid is read; the days count whole at both ends.
TEST_F(AuditViewerTest, EachFilterGivesExactlyItsEvents)
{
    seed();
    spreadOverDays();
    show();
    const auto check = [&](const char* what, const std::function<bool(int)>& passes) {
        std::vector<qint64> expected;
        for (int i = kEvents; i >= 1; --i)
            if (passes(i))
                expected.push_back(i);
        ASSERT_EQ(viewer->sqlAudit->rowCount(), int(expected.size())) << what;
        EXPECT_EQ(viewer->lblCount->text(),
                  expected.size() == 1 ? QStringLiteral("1 event") : QStringLiteral("%1 events").arg(expected.size()))
            << what;
        for (const std::vector<int>& order : orders())
            EXPECT_EQ(idsReadAs(order), expected) << what;
    };

    viewer->cbUser->lineEdit()->selectAll();
    QTest::keyClicks(viewer->cbUser->lineEdit(), "USER2");
    QTest::keyClick(viewer->cbUser->lineEdit(), Qt::Key_Return);
    check("user", [](int i) { return userOf(i) == "user2"; });
    viewer->cbKind->setCurrentIndex(viewer->cbKind->findText("UserChanged"));
    check("user and kind", [](int i) { return userOf(i) == "user2" && kindOf(i) == "UserChanged"; });
    viewer->cbUser->setCurrentIndex(0);
    viewer->cbUser->activated(0);
    check("kind", [](int i) { return kindOf(i) == "UserChanged"; });
    viewer->cbKind->setCurrentIndex(0);

    QTest::keyClicks(viewer->edObject, "BJ29");
    QTest::keyClick(viewer->edObject, Qt::Key_Return);
    check("object", [](int i) { return QString::number(i).startsWith("29"); });
    viewer->edObject->clear();
    QTest::keyClick(viewer->edObject, Qt::Key_Return);

    // More days than one block holds: a range of event numbers, read by number.
    viewer->dedFrom->setDate(dayOf(40));
    viewer->dedTo->setDate(dayOf(250));
    viewer->ckbxDates->setChecked(true);
    check("days", [](int i) { return i >= 40 && i <= 250; });
    EXPECT_TRUE(viewer->sqlAudit->readsByNumber());
    viewer->cbKind->setCurrentIndex(viewer->cbKind->findText("UserChanged"));
    check("days and kind", [](int i) { return i >= 40 && i <= 250 && kindOf(i) == "UserChanged"; });
    viewer->cbKind->setCurrentIndex(0);
    // A last day before the first takes the first with it, and the other way round.
    viewer->dedTo->setDate(dayOf(30));
    EXPECT_EQ(viewer->dedFrom->date(), dayOf(30));
    check("a last day before the first", [](int i) { return i == 30; });
    viewer->dedFrom->setDate(dayOf(295));
    EXPECT_EQ(viewer->dedTo->date(), dayOf(295));
    check("a first day after the last", [](int i) { return i == 295; });
    viewer->dedTo->setDate(dayOf(400));
    check("the newest days", [](int i) { return i >= 295; });
    viewer->ckbxDates->setChecked(false);
    check("none", [](int) { return true; });
    EXPECT_TRUE(viewer->sqlAudit->readsByNumber());

    // A part of a name matching more than a block is not counted first: the newest
    // block shows, and the rest is found as the grid scrolls down, or by Ctrl+End.
    const auto named = [](const char* part) { return [part](int i) { return QString::number(i).contains(part); }; };
    viewer->edObject->setText("1");
    QTest::keyClick(viewer->edObject, Qt::Key_Return);
    EXPECT_EQ(viewer->sqlAudit->rowCount(), TAuditQuery::kBlockRows);
    EXPECT_EQ(viewer->lblCount->text(), QStringLiteral("at least %1 events").arg(TAuditQuery::kBlockRows));
    while (viewer->sqlAudit->canFetchMore({}))
        viewer->sqlAudit->fetchMore({});
    check("part of a name, scrolled down", named("1"));
    viewer->edObject->setText("2");
    QTest::keyClick(viewer->edObject, Qt::Key_Return);
    viewer->show();
    viewer->DBGrid1->setFocus();
    QTest::keyClick(viewer->DBGrid1, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(viewer->DBGrid1->currentIndex().row(), 137);
    EXPECT_EQ(idAt(137), 2);
    check("part of a name, Ctrl+End", named("2"));
    viewer->close();
}

TEST_F(AuditViewerTest, ADatabaseWithoutTheTrailGetsOneMessageAndNoGrid)
{
    db->exec("drop table AUDIT_TRAIL");
    db->exec("drop table AUDIT_HEAD");
    bool opened = false;
    whenModal([&](QWidget* modal) {
        opened = true;
        modal->close();
    });
    ViewAuditTrail(nullptr, db->alias());
    EXPECT_EQ(messages.texts(), QStringList({"Auditing is off: this security database has no audit trail. "
                                             "\"jovsecadm upgrade\" adds it."}));
    EXPECT_FALSE(opened);
    EXPECT_EQ(FormAuditTrail, nullptr);
}

// An event changed behind the programs' back is named and shown; one deleted leaves
// a gap in the numbers that the grid reads over, each remaining event once.
TEST_F(AuditViewerTest, VerifyNamesTheFirstTamperedEventAndTheGridReadsOverAGap)
{
    seed();
    show();
    viewer->btnVerifyClick();
    EXPECT_EQ(messages.texts(), QStringList({"The audit trail is intact (300 events)."}));
    messages.clear();

    db->exec("update AUDIT_TRAIL set DETAILS = 'N: 0' where EVENT_ID = 250");
    viewer->btnVerify->click();
    EXPECT_EQ(messages.texts(), QStringList({"The audit trail is broken at event #250: Event #250 was changed."}));
    EXPECT_EQ(messages.shown.value(0).kind, Platform::MsgKind::Error);
    EXPECT_EQ(viewer->DBGrid1->currentIndex().row(), kEvents - 250);
    EXPECT_TRUE(viewer->memEvent->toPlainText().startsWith("Event #250,"));
    messages.clear();

    db->exec("delete from AUDIT_TRAIL where EVENT_ID = 100");
    viewer->FormHide();
    show();
    for (int r = 0; r < viewer->sqlAudit->rowCount(); ++r)
        idAt(r);
    QCoreApplication::processEvents();
    ASSERT_EQ(viewer->sqlAudit->rowCount(), kEvents - 1);
    EXPECT_EQ(viewer->lblCount->text(), "299 events");
    std::vector<qint64> expected;
    for (int i = kEvents; i >= 1; --i)
        if (i != 100)
            expected.push_back(i);
    for (const std::vector<int>& order : orders())
        EXPECT_EQ(idsReadAs(order), expected);
    viewer->btnVerifyClick();
    EXPECT_EQ(messages.texts(),
              QStringList({"The audit trail is broken at event #100: Event #100 is missing: it was deleted."}));
}

// Verify under a filter whose search has not reached the broken event yet reads on to
// it, and it becomes the current row.
TEST_F(AuditViewerTest, VerifyReadsOnToABrokenEventTheSearchHasNotReachedYet)
{
    seed();
    show();
    viewer->edObject->setText("obj");
    QTest::keyClick(viewer->edObject, Qt::Key_Return);
    ASSERT_FALSE(viewer->sqlAudit->complete());
    db->exec("update AUDIT_TRAIL set DETAILS = 'N: 0' where EVENT_ID = 5");
    viewer->btnVerifyClick();
    EXPECT_EQ(messages.texts(), QStringList({"The audit trail is broken at event #5: Event #5 was changed."}));
    EXPECT_EQ(viewer->DBGrid1->currentIndex().row(), kEvents - 5);
    EXPECT_TRUE(viewer->memEvent->toPlainText().startsWith("Event #5,")) << qPrintable(viewer->memEvent->toPlainText());
}

// A kind's or a user's events are not counted before the first screen shows, and a
// name found only among the oldest of many events does not hold the window: what is
// found shows at once, the search goes on between the window's events under a busy
// cursor, the count growing until it is known.
TEST_F(AuditViewerTest, FiltersNotCountedFirstShowWhatIsFoundAndSearchOnBetweenEvents)
{
    constexpr int kMany = 40000;
    // In statements of 10,000 events, each well within the engine layer's time limit.
    for (int from = 0; from < kMany; from += 10000)
        db->exec(QString("insert into AUDIT_TRAIL (EVENT_ID, EVENT_TIME, OS_USER, MACHINE, SEC_USER, PROGRAM, KIND, "
                         "OBJECT_NAME, PREV_HASH, HASH) with recursive d (i) as (select 0 from rdb$database union all "
                         "select i + 1 from d where i < 99), n (i) as (select %1 + a.i * 100 + b.i + 1 from d a cross "
                         "join d b) select i, current_timestamp, 'os', 'pc', "
                         "iif(i = 1, 'CY', iif(mod(i, 8) = 0, 'ANN', 'BOB')), 'test', "
                         "iif(mod(i, 4) = 0, 'GroupChanged', 'LogonAccepted'), iif(i = 1, 'needle', 'obj' || i), "
                         "rpad('', 64, '0'), rpad('', 64, '0') from n")
                     .arg(from));
    show();
    ASSERT_EQ(viewer->sqlAudit->rowCount(), kMany);
    const auto searchOn = [&] {
        for (int i = 0; i < 1000 && !viewer->sqlAudit->complete(); ++i)
            QCoreApplication::processEvents();
    };
    const auto cursor = [&] { return viewer->DBGrid1->viewport()->cursor().shape(); };

    viewer->cbKind->setCurrentIndex(viewer->cbKind->findText("GroupChanged"));
    EXPECT_EQ(viewer->sqlAudit->rowCount(), TAuditQuery::kBlockRows);
    EXPECT_EQ(viewer->lblCount->text(), QStringLiteral("at least %1 events").arg(TAuditQuery::kBlockRows));
    EXPECT_EQ(cursor(), Qt::BusyCursor);
    searchOn();
    ASSERT_EQ(viewer->sqlAudit->rowCount(), kMany / 4);
    EXPECT_EQ(viewer->lblCount->text(), "10000 events");
    EXPECT_EQ(cursor(), Qt::ArrowCursor);
    for (int row : {0, 127, 128, 5000, kMany / 4 - 1})
        EXPECT_EQ(idAt(row), kMany - 4 * row) << row;

    viewer->cbUser->setEditText("ann");
    viewer->applyFilter();
    searchOn();
    ASSERT_EQ(viewer->sqlAudit->rowCount(), kMany / 8);
    EXPECT_EQ(idAt(kMany / 8 - 1), 8);

    viewer->cbUser->setCurrentIndex(0);
    viewer->cbKind->setCurrentIndex(0);
    viewer->edObject->setText("NEEDLE");
    QTest::keyClick(viewer->edObject, Qt::Key_Return);
    EXPECT_EQ(viewer->sqlAudit->rowCount(), 0);
    EXPECT_EQ(viewer->lblCount->text(), "at least 0 events");
    EXPECT_EQ(cursor(), Qt::BusyCursor);
    searchOn();
    ASSERT_EQ(viewer->sqlAudit->rowCount(), 1);
    EXPECT_EQ(idAt(0), 1);
    EXPECT_EQ(viewer->lblCount->text(), "1 event");

    // No index finds a user either: a user with only the oldest event is searched for
    // in short steps too, the window answering between them.
    viewer->edObject->clear();
    viewer->cbUser->setEditText("cy");
    viewer->applyFilter();
    EXPECT_EQ(viewer->sqlAudit->rowCount(), 0);
    EXPECT_EQ(viewer->lblCount->text(), "at least 0 events");
    searchOn();
    ASSERT_EQ(viewer->sqlAudit->rowCount(), 1);
    EXPECT_EQ(idAt(0), 1);
}
