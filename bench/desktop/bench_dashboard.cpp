// SecDesk's dashboard on a security database of 10,000 users (200 constants, 20
// groups, 120,000 grants, 100,000 log rows, 103 locked accounts): reading its figures
// and showing them, as the main window does after Open, the editor, an import or
// Clear Log. The database is generated once into a cached file under /tmp; the same
// read on the log viewer's database of 1,000,000 log rows, when that benchmark has
// made it, shows what a large log costs.
#include "BenchDatabase.h"
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "desktop/TDashboard.h"
#include "rules/TDashboardFigures.h"

#include <QFile>
#include <benchmark/benchmark.h>

namespace {
const QString kDir = QStringLiteral("/tmp/jovsec-bench-dashboard");
const QString kAlias = QStringLiteral("JOVSEC_BENCH_DASHBOARD");
// Made by bench_desktop: 1,000 users, 1,000,000 log rows.
const QString kLogDir = QStringLiteral("/tmp/jovsec-bench-desktop");
const QString kLogAlias = QStringLiteral("JOVSEC_BENCH_DASHBOARD_LOG");
constexpr int kUsers = 10000;
constexpr int kLogRows = 100000;

QString logBlock()
{
    return QString("EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < %1) DO BEGIN "
                   "INSERT INTO LOG (ACCESS_DATE, USER_ID, ACCESS_ID) VALUES (CURRENT_DATE - MOD(:I, 365), "
                   "MOD(:I, %2) + 1, CASE WHEN MOD(:I, 10) = 0 THEN NULL ELSE MOD(:I, 200) + 1 END); "
                   "I = I + 1; END END")
        .arg(kLogRows)
        .arg(kUsers);
}

void prepareDatabase()
{
    BenchDatabase::prepare(kDir, kAlias,
                           {BenchDatabase::usersBlock(kUsers), BenchDatabase::passwordHistoryRows(),
                            BenchDatabase::constantsBlock(200), BenchDatabase::groupsBlock(20, 10, 200),
                            BenchDatabase::grantsBlock(kUsers, 10, 200, 2, 20), logBlock(),
                            "UPDATE USERS SET USER_LASTACCESS = CURRENT_TIMESTAMP - MOD(USER_ID, 1000), "
                            "LOCKED = CASE WHEN MOD(USER_ID, 97) = 0 THEN 1 ELSE 0 END",
                            BenchDatabase::programRow()});
    if (QFile::exists(kLogDir + "/security.gdb"))
        TAliases::addAlias(kLogAlias, "INTRBASE",
                           {"SERVER NAME=" + kLogDir + "/security.gdb", "USER NAME=SYSDBA", "PASSWORD=masterkey"});
}

void BM_DashboardRefresh(benchmark::State& state, const QString& alias)
{
    if (!TAliases::exists(alias)) {
        state.SkipWithError("no such database: run bench_desktop first");
        return;
    }
    TDatabase connection;
    connection.setAliasName(alias);
    connection.setDatabaseName(alias);
    connection.setLoginPrompt(false);
    connection.open();
    TDashboard dashboard;
    for (auto _ : state) {
        dashboard.refresh(alias);
        benchmark::DoNotOptimize(dashboard.figures().users);
    }
    if (!dashboard.showsDatabase() || dashboard.figures().users == 0)
        state.SkipWithError("the figures were not read");
    state.counters["users"] = dashboard.figures().users;
    state.counters["grants"] = dashboard.figures().grants;
    state.counters["log rows"] = dashboard.figures().logRows;
    connection.close();
}
BENCHMARK_CAPTURE(BM_DashboardRefresh, users10000, kAlias)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK_CAPTURE(BM_DashboardRefresh, log1000000, kLogAlias)->Unit(benchmark::kMillisecond)->Iterations(5);
} // namespace

int main(int argc, char** argv) { return BenchDatabase::run(argc, argv, kDir, prepareDatabase); }
