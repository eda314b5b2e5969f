// The log viewer on a log of 1,000,000 rows (1,000 users, 200 constants, one row in
// ten a log-on): the first screen of the grid and how much the process grows until
// the user scrolls; and Clear Log of 1,000,000 rows in one transaction. The
// databases are generated once, server side, into cached files under /tmp.
#include "BenchDatabase.h"
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "desktop/TLogQuery.h"
#include "desktop/Vwlogunt.h"
#include "platform/MessageBox.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
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

void BM_LogViewerFirstScreen(benchmark::State& state)
{
    double growth = 0;
    int rowsRead = 0;
    for (auto _ : state) {
        const double before = residentBytes();
        auto viewer = viewerOn(kAlias);
        viewer->FormShow();
        viewer->show();
        viewer->DBGrid1->viewport()->repaint();
        benchmark::DoNotOptimize(viewer->sqlLog->data(viewer->sqlLog->index(0, TLogQuery::ColUserName)));
        state.PauseTiming();
        growth = std::max(growth, residentBytes() - before);
        rowsRead = viewer->sqlLog->rowCount();
        viewer->close();
        viewer.reset();
        state.ResumeTiming();
    }
    state.counters["log_rows"] = kLogRows;
    state.counters["rows_read"] = rowsRead;
    state.counters["growth_MB"] = growth / (1024 * 1024);
}
BENCHMARK(BM_LogViewerFirstScreen)->Unit(benchmark::kMillisecond)->Iterations(5);

// For comparison: what scrolling to the end costs (every row read into the grid).
void BM_LogViewerScrollToEnd(benchmark::State& state)
{
    double growth = 0;
    for (auto _ : state) {
        const double before = residentBytes();
        auto viewer = viewerOn(kAlias);
        viewer->FormShow();
        while (viewer->sqlLog->canFetchMore())
            viewer->sqlLog->fetchMore();
        state.PauseTiming();
        growth = residentBytes() - before;
        if (viewer->sqlLog->rowCount() != kLogRows)
            state.SkipWithError("not every row was read");
        viewer.reset();
        state.ResumeTiming();
    }
    state.counters["growth_MB"] = growth / (1024 * 1024);
}
BENCHMARK(BM_LogViewerScrollToEnd)->Unit(benchmark::kMillisecond)->Iterations(1);

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
