// The log viewer on a log of 1,000,000 rows (1,000 users, 200 constants, one row in
// ten a log-on): the first screen of the grid and how much the process grows until
// the user scrolls; and Clear Log of 1,000,000 rows in one transaction. The
// databases are generated once, server side, into cached files under /tmp.
#include "BenchDatabase.h"
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "database/TFirebirdEnv.h"
#include "database/TSchema.h"
#include "database/TQuery.h"
#include "desktop/TLogQuery.h"
#include "desktop/Vwlogunt.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSqlError>
#include <QFile>
#include <QSqlQuery>
#include <QTableView>
#include <benchmark/benchmark.h>

#include <ibase.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {
const QString kDir = QStringLiteral("/tmp/jovsec-bench-desktop");
const QString kAlias = QStringLiteral("JOVSEC_BENCH_LOG");
const QString kClearDir = QStringLiteral("/tmp/jovsec-bench-desktop-clear");
const QString kClearAlias = QStringLiteral("JOVSEC_BENCH_CLEARLOG");
constexpr int kLogRows = 1000000;
constexpr int kUsers = 1000;
constexpr int kConstants = 200;

QString usersBlock()
{
    return QString("EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= %1) DO BEGIN "
                   "INSERT INTO USERS (USER_NAME, User_PASSWORD) VALUES ('user' || :I, 'pw'); I = I + 1; END END")
        .arg(kUsers);
}

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

// Forced writes make every page write synchronous: right for users' databases, but
// generating a million rows that way rewrites the file for the better part of an hour.
void setForcedWrites(const QString& path, bool on)
{
    std::string dpb(1, char(isc_dpb_version1));
    const auto add = [&dpb](char tag, const std::string& value) {
        dpb += tag;
        dpb += char(value.size());
        dpb += value;
    };
    add(isc_dpb_user_name, "SYSDBA");
    add(isc_dpb_password, "masterkey");
    add(isc_dpb_force_write, std::string(1, on ? 1 : 0));
    ISC_STATUS_ARRAY status {};
    isc_db_handle db = 0;
    const QByteArray file = path.toLocal8Bit();
    if (isc_attach_database(status, 0, file.constData(), &db, short(dpb.size()), dpb.data()))
        qFatal("cannot switch forced writes of %s", qPrintable(path));
    isc_detach_database(status, &db);
}

void addAlias(const QString& alias, const QString& path)
{
    TAliases::addAlias(alias, "INTRBASE", {"SERVER NAME=" + path, "USER NAME=SYSDBA", "PASSWORD=masterkey"});
}

// The log database, generated once with asynchronous writes and then switched back
// to forced writes, as a database made by New has them.
void prepareLogDatabase()
{
    const QString path = kDir + "/security.gdb";
    if (!QFile::exists(kDir + "/ready") || !QFile::exists(path)) {
        QDir().mkpath(kDir);
        QFile::remove(path);
        QElapsedTimer timer;
        timer.start();
        QString error;
        if (!TFirebirdEnv::createDatabase(path, "SYSDBA", "masterkey", &error))
            qFatal("cannot create %s: %s", qPrintable(path), qPrintable(error));
        setForcedWrites(path, false);
        addAlias(kAlias, path);
        if (TSchema::build(kAlias, &error) >= 0)
            qFatal("build failed: %s", qPrintable(error));
        {
            TDatabase connection;
            connection.setAliasName(kAlias);
            connection.setDatabaseName(kAlias);
            connection.setLoginPrompt(false);
            connection.startTransaction();
            for (const QString& block :
                 {usersBlock(), BenchDatabase::constantsBlock(kConstants), logBlock(), BenchDatabase::programRow()}) {
                QSqlQuery q(connection.sqlDatabase());
                if (!q.exec(block))
                    qFatal("generation failed: %s", qPrintable(q.lastError().text()));
            }
            connection.commit();
            connection.close();
        }
        TDatabase::dropTemporaryConnections();
        setForcedWrites(path, true);
        QFile ready(kDir + "/ready");
        if (!ready.open(QIODevice::WriteOnly))
            qFatal("cannot write the ready marker");
        std::fprintf(stderr, "generated %s in %.1f s\n", qPrintable(path), timer.elapsed() / 1000.0);
    }
    addAlias(kAlias, path);
    addAlias(kClearAlias, kClearDir + "/security.gdb");
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
        setForcedWrites(kClearDir + "/security.gdb", false);
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

void BM_ClearLog(benchmark::State& state)
{
    Platform::setMessageHandler([](const QString& text, Platform::MsgKind, Platform::MsgButtons buttons) {
        if (buttons == Platform::MsgButtons::YesNo)
            return Platform::MsgResult::Yes;
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return Platform::MsgResult::Ok;
    });
    for (auto _ : state) {
        state.PauseTiming();
        freshClearCopy();
        auto viewer = viewerOn(kClearAlias);
        viewer->FormShow();
        state.ResumeTiming();
        viewer->btnClearLogClick();
        state.PauseTiming();
        // Counting the rows afterwards would time the engine's garbage collection of
        // the deleted rows, which the next reader of LOG pays for.
        if (viewer->result() != QDialog::Accepted)
            state.SkipWithError("the log was not cleared");
        viewer.reset();
        state.ResumeTiming();
    }
    state.counters["log_rows"] = kLogRows;
    BenchDatabase::printMessages();
}
BENCHMARK(BM_ClearLog)->Unit(benchmark::kMillisecond)->Iterations(2);
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    BenchDatabase::setUp(kDir);
    QApplication app(argc, argv);
    BenchDatabase::printMessages();
    prepareLogDatabase();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TDatabase::dropTemporaryConnections();
    return 0;
}
