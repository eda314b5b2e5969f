// The log viewer on a log of 1,000,000 rows (1,000 users, 200 constants, one row in
// ten a log-on, 365 days with the days not in the order the rows were logged): the
// first screen of the grid, Ctrl+End, the background pass over the order, jumps to
// the middle after it and during it, the other order and the filters, each with how
// much the process grows; and Clear Log of 1,000,000 rows in
// one transaction. The databases are generated once, server side, into cached files
// under /tmp; a file made before the log's indexes gets them as add-indexes gives them.
#include "BenchDatabase.h"
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "database/TSchema.h"
#include "desktop/TLogQuery.h"
#include "desktop/TfrmViewLog.h"
#include "platform/MessageBox.h"
#include "widgets/TDateEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QThreadPool>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {
const QString kDir = QStringLiteral("/tmp/jovsec-bench-desktop");
const QString kAlias = QStringLiteral("JOVSEC_BENCH_LOG");
const QString kClearDir = QStringLiteral("/tmp/jovsec-bench-desktop-clear");
const QString kClearAlias = QStringLiteral("JOVSEC_BENCH_CLEARLOG");
constexpr int kLogRows = 1000000;
constexpr int kUsers = 1000;
constexpr int kConstants = 200;

QString logBlock()
{
    return QString("EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < %1) DO BEGIN "
                   "INSERT INTO LOG (ACCESS_DATE, USER_ID, ACCESS_ID) VALUES (CURRENT_DATE - MOD(:I, 365), "
                   "MOD(:I, %2) + 1, CASE WHEN MOD(:I, 10) = 0 THEN NULL ELSE MOD(:I, %3) + 1 END); "
                   "I = I + 1; END END")
        .arg(kLogRows)
        .arg(kUsers)
        .arg(kConstants);
}

// The log database, generated once and given forced writes, as a database made by New
// has them.
void prepareLogDatabase()
{
    BenchDatabase::prepare(kDir, kAlias,
                           {BenchDatabase::usersBlock(kUsers), BenchDatabase::constantsBlock(kConstants), logBlock(),
                            BenchDatabase::programRow()});
    QElapsedTimer indexing;
    indexing.start();
    if (const int added = TSchema::addMissingIndexes(kAlias))
        std::fprintf(stderr, "added %d indexes in %.1f s\n", added, indexing.elapsed() / 1000.0);
    TDatabase::dropTemporaryConnections();
    TAliases::addAlias(kClearAlias, "INTRBASE",
                       {"SERVER NAME=" + kClearDir + "/security.gdb", "USER NAME=SYSDBA", "PASSWORD=masterkey"});
}

// Clear Log empties its database: each run starts from a copy of the full one.
void freshClearCopy()
{
    TDatabase::dropTemporaryConnections();
    QDir().mkpath(kClearDir);
    QFile::remove(kClearDir + "/security.gdb");
    if (!QFile::copy(kDir + "/security.gdb", kClearDir + "/security.gdb"))
        qFatal("cannot copy the log database");
    // For comparison: JOVSEC_BENCH_ASYNC=1 measures without forced writes.
    if (qEnvironmentVariableIntValue("JOVSEC_BENCH_ASYNC") == 1)
        BenchDatabase::setForcedWrites(kClearDir + "/security.gdb", false);
}

// Resident set size of this process, in bytes.
double residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).simplified().split(' ').value(0).toDouble() * 1024;
    return 0;
}

std::unique_ptr<TfrmViewLog> viewerOn(const QString& alias)
{
    auto viewer = std::make_unique<TfrmViewLog>();
    viewer->sqlUsers->setDatabaseName(alias);
    viewer->sqlAccess->setDatabaseName(alias);
    viewer->sqlLog->setDatabaseName(alias);
    return viewer;
}

// An open viewer, shown, with its first screen painted.
std::unique_ptr<TfrmViewLog> shownViewer()
{
    auto viewer = viewerOn(kAlias);
    viewer->FormShow();
    viewer->resize(900, 600);
    viewer->show();
    viewer->DBGrid1->viewport()->repaint();
    return viewer;
}

QString cell(const TfrmViewLog& viewer, int row, int column)
{
    return viewer.sqlLog->data(viewer.sqlLog->index(row, column)).toString();
}

// Waits until the background pass has given the keys of the rows shown now.
bool waitForBlockKeys(TfrmViewLog& viewer)
{
    QSignalSpy read(viewer.sqlLog, &TLogQuery::blockKeysRead);
    return viewer.sqlLog->knownBlockKeys() > 0 || read.wait(120000);
}

// The viewer closes with its pass still reading: reading_keys says whether it was.
void BM_LogViewerFirstScreen(benchmark::State& state)
{
    double growth = 0;
    int reads = 0;
    bool reading = false;
    for (auto _ : state) {
        const double before = residentBytes();
        auto viewer = shownViewer();
        benchmark::DoNotOptimize(cell(*viewer, 0, TLogQuery::ColUserName));
        state.PauseTiming();
        growth = std::max(growth, residentBytes() - before);
        reads = viewer->sqlLog->blockReads();
        reading = viewer->sqlLog->readingBlockKeys();
        if (viewer->sqlLog->rowCount() != kLogRows)
            state.SkipWithError("the count is not the log's");
        viewer->close();
        viewer.reset();
        state.ResumeTiming();
    }
    state.counters["log_rows"] = kLogRows;
    state.counters["block_reads"] = reads;
    state.counters["reading_keys"] = reading;
    state.counters["growth_MB"] = growth / (1024 * 1024);
}
BENCHMARK(BM_LogViewerFirstScreen)->Unit(benchmark::kMillisecond)->Iterations(5);

// One user action on the shown viewer, timed to its painted screen. growth_MB is the
// process's growth from before the viewer opened, after the action was repeated
// from top to the end and back ten times (memory must not grow with the distance).
void timeAction(benchmark::State& state, const std::function<void(TfrmViewLog&)>& reset,
                const std::function<void(TfrmViewLog&)>& action)
{
    double growth = 0;
    const double before = residentBytes();
    auto viewer = shownViewer();
    for (auto _ : state) {
        state.PauseTiming();
        reset(*viewer);
        viewer->DBGrid1->viewport()->repaint();
        state.ResumeTiming();
        action(*viewer);
        viewer->DBGrid1->viewport()->repaint();
        benchmark::DoNotOptimize(cell(*viewer, viewer->DBGrid1->rowAt(0), TLogQuery::ColAccessDate));
    }
    // The rows read as in the timed runs: after a sort or a filter the grid lays its
    // rows out only when events are next handled, and a repaint alone reads none.
    for (int i = 0; i < 10; ++i) {
        reset(*viewer);
        viewer->DBGrid1->viewport()->repaint();
        action(*viewer);
        viewer->DBGrid1->viewport()->repaint();
        benchmark::DoNotOptimize(cell(*viewer, viewer->DBGrid1->rowAt(0), TLogQuery::ColAccessDate));
    }
    growth = residentBytes() - before;
    state.counters["rows"] = viewer->sqlLog->rowCount();
    state.counters["cached_blocks"] = viewer->sqlLog->cachedBlocks();
    state.counters["growth_MB"] = growth / (1024 * 1024);
    viewer->close();
}

void toTop(TfrmViewLog& viewer)
{
    viewer.DBGrid1->setCurrentIndex(viewer.sqlLog->index(0, 0));
    viewer.DBGrid1->scrollToTop();
}

void BM_LogViewerCtrlEnd(benchmark::State& state)
{
    timeAction(state, toTop, [&state](TfrmViewLog& viewer) {
        QTest::keyClick(viewer.DBGrid1, Qt::Key_End, Qt::ControlModifier);
        if (viewer.DBGrid1->currentIndex().row() != kLogRows - 1)
            state.SkipWithError("Ctrl+End did not reach the last row");
    });
}
BENCHMARK(BM_LogViewerCtrlEnd)->Unit(benchmark::kMillisecond)->Iterations(5);

// The background pass alone, from a click on the date's (0) or the count's (1)
// header to the keys of all 7,812 blocks: its wall time, and the CPU time of the
// whole process (the pass runs on a thread of its own).
void BM_LogViewerBlockKeysPass(benchmark::State& state)
{
    const int column = state.range(0) == 0 ? TLogQuery::ColAccessDate : TLogQuery::ColLogCount;
    auto viewer = shownViewer();
    if (!waitForBlockKeys(*viewer))
        state.SkipWithError("the pass gave no keys");
    const double before = residentBytes();
    int turn = 0;
    for (auto _ : state) {
        QSignalSpy read(viewer->sqlLog, &TLogQuery::blockKeysRead);
        viewer->sqlLog->sort(column, turn++ % 2 == 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
        if (!read.wait(120000))
            state.SkipWithError("the pass gave no keys");
    }
    state.counters["keys"] = viewer->sqlLog->knownBlockKeys();
    state.counters["growth_MB"] = (residentBytes() - before) / (1024 * 1024);
    state.SetLabel(column == TLogQuery::ColAccessDate ? "by date" : "by count");
    viewer->close();
}
BENCHMARK(BM_LogViewerBlockKeysPass)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

// The thumb let go in the middle, at a place no row was read near (a new place each
// time), once the background pass has given its keys.
void BM_LogViewerScrollBarToMiddle(benchmark::State& state)
{
    int jumps = 0;
    qint64 stepped = 0;
    timeAction(
        state,
        [&state](TfrmViewLog& viewer) {
            if (!waitForBlockKeys(viewer))
                state.SkipWithError("the pass gave no keys");
            toTop(viewer);
        },
        [&jumps, &stepped](TfrmViewLog& viewer) {
            QScrollBar* bar = viewer.DBGrid1->verticalScrollBar();
            const qint64 before = viewer.sqlLog->rowsSteppedOver();
            bar->setValue(bar->maximum() / 2 + (jumps++ % 50) * 3000);
            viewer.DBGrid1->viewport()->repaint();
            stepped = std::max(stepped, viewer.sqlLog->rowsSteppedOver() - before);
        });
    state.counters["rows_stepped_over"] = double(stepped);
}
BENCHMARK(BM_LogViewerScrollBarToMiddle)->Unit(benchmark::kMillisecond)->Iterations(5);

// The thumb let go in the middle just after a click on the date's header, while the
// pass over the new order reads: the read waits for the pass's keys rather than step
// over half the rows beside it.
void BM_LogViewerScrollBarToMiddleDuringPass(benchmark::State& state)
{
    int turn = 0;
    int reading = 0;
    timeAction(
        state,
        [&turn](TfrmViewLog& viewer) {
            viewer.DBGrid1->horizontalHeader()->setSortIndicator(
                TLogQuery::ColAccessDate, turn++ % 2 == 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
        },
        [&reading](TfrmViewLog& viewer) {
            reading += viewer.sqlLog->readingBlockKeys() ? 1 : 0;
            QScrollBar* bar = viewer.DBGrid1->verticalScrollBar();
            bar->setValue(bar->maximum() / 2);
        });
    state.counters["reading_keys_at_jump"] = reading;
}
BENCHMARK(BM_LogViewerScrollBarToMiddleDuringPass)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime()
    ->MeasureProcessCPUTime();

void BM_LogViewerOldestFirst(benchmark::State& state)
{
    QHeaderView* header = nullptr;
    timeAction(
        state,
        [&header](TfrmViewLog& viewer) {
            header = viewer.DBGrid1->horizontalHeader();
            header->setSortIndicator(TLogQuery::ColAccessDate, Qt::DescendingOrder);
        },
        [&header](TfrmViewLog&) { header->setSortIndicator(TLogQuery::ColAccessDate, Qt::AscendingOrder); });
}
BENCHMARK(BM_LogViewerOldestFirst)->Unit(benchmark::kMillisecond)->Iterations(5);

// The first screen of one user's rows, of one constant's, and of 31 days.
void BM_LogViewerFiltered(benchmark::State& state)
{
    const int which = int(state.range(0));
    timeAction(
        state,
        [](TfrmViewLog& viewer) {
            viewer.cbUser->setCurrentIndex(0);
            viewer.cbAccess->setCurrentIndex(0);
            viewer.ckbxDates->setChecked(false);
        },
        [which](TfrmViewLog& viewer) {
            if (which == 0)
                viewer.cbUser->setCurrentText(QStringLiteral("user500"));
            else if (which == 1)
                viewer.cbAccess->setCurrentText(QStringLiteral("CONST100"));
            else {
                viewer.dedTo->setDate(viewer.sqlLog->lastDay().addDays(-100));
                viewer.dedFrom->setDate(viewer.sqlLog->lastDay().addDays(-130));
                viewer.ckbxDates->setChecked(true);
            }
        });
    state.SetLabel(which == 0 ? "one user" : which == 1 ? "one constant" : "31 days");
}
BENCHMARK(BM_LogViewerFiltered)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(5);

// Pages the engine has written for this program's connection to alias so far.
double pageWrites(const QString& alias)
{
    TQuery q;
    q.setDatabaseName(alias);
    q.setSQL(QStringLiteral("select i.MON$PAGE_WRITES from MON$IO_STATS i join MON$ATTACHMENTS a on "
                            "a.MON$STAT_ID = i.MON$STAT_ID where a.MON$ATTACHMENT_ID = CURRENT_CONNECTION"));
    q.open();
    const double writes = q.field(0)->asString().toDouble();
    q.close();
    return writes;
}

void answerYes()
{
    Platform::setMessageHandler([](const QString& text, Platform::MsgKind, Platform::MsgButtons buttons) {
        if (buttons == Platform::MsgButtons::YesNo)
            return Platform::MsgResult::Yes;
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return Platform::MsgResult::Ok;
    });
}

// A full copy of the log cleared by the viewer; returns the pages the clear wrote.
double clearFreshCopy(benchmark::State& state, bool timed)
{
    freshClearCopy();
    auto viewer = viewerOn(kClearAlias);
    viewer->FormShow();
    const double before = pageWrites(kClearAlias);
    if (timed)
        state.ResumeTiming();
    viewer->btnClearLogClick();
    if (timed)
        state.PauseTiming();
    if (viewer->result() != QDialog::Accepted)
        state.SkipWithError("the log was not cleared");
    const double writes = pageWrites(kClearAlias) - before;
    viewer.reset();
    // The viewer collects the deleted rows in the background; the user does not wait.
    QElapsedTimer collecting;
    collecting.start();
    QThreadPool::globalInstance()->waitForDone();
    state.counters["background_collection_ms"] = double(collecting.elapsed());
    return writes;
}

// The clear alone. The engine writes each page the delete touched once, at commit,
// synchronously (forced writes): its wall time is about page_writes times one
// synchronous write of the disk.
void BM_ClearLog(benchmark::State& state)
{
    answerYes();
    double writes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        writes = clearFreshCopy(state, true);
        state.ResumeTiming();
    }
    state.counters["log_rows"] = kLogRows;
    state.counters["page_writes"] = writes;
    BenchDatabase::printMessages();
}
BENCHMARK(BM_ClearLog)->Unit(benchmark::kMillisecond)->Iterations(2);

// What the next reader of LOG pays after a clear, once the viewer's background
// collection of the deleted rows has finished.
void BM_FirstReadAfterClear(benchmark::State& state)
{
    answerYes();
    double writes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        clearFreshCopy(state, false);
        // A program of its own: a new connection.
        TDatabase::dropTemporaryConnections();
        const double before = pageWrites(kClearAlias);
        state.ResumeTiming();
        TQuery count;
        count.setDatabaseName(kClearAlias);
        count.setSQL(QStringLiteral("select count(*) from LOG"));
        count.open();
        const int rows = count.field(0)->asInteger();
        count.close();
        state.PauseTiming();
        if (rows != 0)
            state.SkipWithError("the log was not empty");
        writes = pageWrites(kClearAlias) - before;
        state.ResumeTiming();
    }
    state.counters["page_writes"] = writes;
    BenchDatabase::printMessages();
}
BENCHMARK(BM_FirstReadAfterClear)->Unit(benchmark::kMillisecond)->Iterations(1);
} // namespace

int main(int argc, char** argv) { return BenchDatabase::run(argc, argv, kDir, prepareLogDatabase); }
