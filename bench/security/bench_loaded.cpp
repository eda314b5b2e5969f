// Start-up (Loaded, every grant read) against the floor of the same work: the
// Firebird client API attaching and fetching the same USERACC and GRPCOLL rows into
// one reused buffer, keeping nothing. Both run alternately in one loop, so the load
// of the machine weighs on both alike, at 100,000, 1,000,000 and 5,000,000 grants.
//
// Each size has its own database under /tmp, generated once (100 grants a user: 90
// direct, 10 group memberships; a GRPCOLL row for every tenth grant).
//
// Counters: wall and CPU time of both and their ratios; the process's resident growth
// while the component lives against the raw bytes of the rows (4 + 4 + 1 bytes a
// USERACC row, 4 + 4 a GRPCOLL row), and the growth of the floor while attached
// (the engine's own share: its page cache and the attachment).
#include "BenchDatabase.h"
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "security/TJovCSsecure.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <benchmark/benchmark.h>

#include <ibase.h>
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
const QString kDir = QStringLiteral("/tmp/jovsec-bench-loaded");
constexpr int kConstants = 10000;
constexpr int kDirectPerUser = 90;
constexpr int kGroupsPerUser = 10;
constexpr int kConstantsPerGroup = 100;

QString aliasOf(int grants) { return QStringLiteral("JOVSEC_BENCH_LOADED_%1").arg(grants); }
QString pathOf(int grants) { return kDir + QStringLiteral("/%1/security.gdb").arg(grants); }
int groupsOf(int grants) { return grants / 10 / kConstantsPerGroup; }

void prepareDatabase(int grants)
{
    static std::set<int> done;
    if (!done.insert(grants).second)
        return;
    const int users = grants / (kDirectPerUser + kGroupsPerUser);
    BenchDatabase::prepare(
        kDir + QStringLiteral("/%1").arg(grants), aliasOf(grants),
        {BenchDatabase::usersBlock(users), BenchDatabase::passwordHistoryRows(),
         BenchDatabase::constantsBlock(kConstants),
         BenchDatabase::groupsBlock(groupsOf(grants), kConstantsPerGroup, kConstants),
         BenchDatabase::grantsBlock(users, kDirectPerUser, kConstants, kGroupsPerUser, groupsOf(grants)),
         BenchDatabase::programRow()});
}

long residentBytes()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

double cpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double wallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void check(const ISC_STATUS* status, const char* what)
{
    if (status[0] == 1 && status[1] != 0) {
        char text[512];
        const ISC_STATUS* vector = status;
        fb_interpret(text, sizeof text, &vector);
        qFatal("%s: %s", what, text);
    }
}

// Fetches every row of sql into one reused buffer; returns the number of rows.
long fetchAll(isc_db_handle* db, isc_tr_handle* tr, const char* sql)
{
    ISC_STATUS_ARRAY status {};
    isc_stmt_handle stmt = 0;
    isc_dsql_allocate_statement(status, db, &stmt);
    check(status, "allocate");
    constexpr int kMaxColumns = 8;
    std::vector<char> sqlda(XSQLDA_LENGTH(kMaxColumns));
    XSQLDA* out = reinterpret_cast<XSQLDA*>(sqlda.data());
    out->version = SQLDA_VERSION1;
    out->sqln = kMaxColumns;
    isc_dsql_prepare(status, tr, &stmt, 0, sql, SQL_DIALECT_V6, out);
    check(status, "prepare");
    std::vector<std::vector<char>> buffers(out->sqld);
    std::vector<short> nulls(out->sqld);
    for (int c = 0; c < out->sqld; ++c) {
        buffers[c].resize(out->sqlvar[c].sqllen + 2);
        out->sqlvar[c].sqldata = buffers[c].data();
        out->sqlvar[c].sqlind = &nulls[c];
    }
    isc_dsql_execute(status, tr, &stmt, SQL_DIALECT_V6, nullptr);
    check(status, "execute");
    long rows = 0;
    ISC_STATUS rc;
    while ((rc = isc_dsql_fetch(status, &stmt, SQL_DIALECT_V6, out)) == 0)
        ++rows;
    if (rc != 100)
        check(status, "fetch");
    isc_dsql_free_statement(status, &stmt, DSQL_drop);
    return rows;
}

// The floor: attach as the component does (UTF8) and fetch both tables. The detach
// is not timed (the component stays attached).
long fetchFloor(int grants, double& wall, double& cpu, long* growth = nullptr)
{
    malloc_trim(0);
    const long before = residentBytes();
    const double wall0 = wallSeconds();
    const double cpu0 = cpuSeconds();
    std::string dpb(1, char(isc_dpb_version1));
    const auto add = [&dpb](char tag, const std::string& value) {
        dpb += tag;
        dpb += char(value.size());
        dpb += value;
    };
    add(isc_dpb_user_name, "SYSDBA");
    add(isc_dpb_password, "masterkey");
    add(isc_dpb_lc_ctype, "UTF8");
    ISC_STATUS_ARRAY status {};
    isc_db_handle db = 0;
    const QByteArray file = QFile::encodeName(pathOf(grants));
    isc_attach_database(status, 0, file.constData(), &db, short(dpb.size()), dpb.data());
    check(status, "attach");
    isc_tr_handle tr = 0;
    isc_start_transaction(status, &tr, 1, &db, 0, nullptr);
    check(status, "start");
    long rows = fetchAll(&db, &tr, "Select * from GrpColl");
    rows += fetchAll(&db, &tr, "Select * from UserAcc");
    isc_commit_transaction(status, &tr);
    wall += wallSeconds() - wall0;
    cpu += cpuSeconds() - cpu0;
    if (growth)
        *growth = std::max(*growth, residentBytes() - before);
    isc_detach_database(status, &db);
    return rows;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

std::unique_ptr<TJovCSsecure> startComponent(int grants)
{
    auto c = std::make_unique<TJovCSsecure>();
    c->setAlias(aliasOf(grants));
    c->setPassword("masterkey");
    c->setOptions({});
    c->Loaded();
    return c;
}

void BM_LoadedAgainstFetchFloor(benchmark::State& state)
{
    const int grants = int(state.range(0));
    prepareDatabase(grants);
    // Start the engine, load the SQL driver and warm the file's pages once, outside
    // the measurement.
    double unusedWall = 0, unusedCpu = 0;
    fetchFloor(grants, unusedWall, unusedCpu);
    startComponent(grants);
    TDatabase::dropTemporaryConnections();

    double floorWall = 0, floorCpu = 0, loadedCpu = 0;
    std::vector<double> wallRatios, cpuRatios;
    long growth = 0, floorGrowth = 0;
    long rows = 0;
    for (auto _ : state) {
        double oneFloorWall = 0, oneFloorCpu = 0;
        rows = fetchFloor(grants, oneFloorWall, oneFloorCpu, &floorGrowth);
        floorWall += oneFloorWall;
        floorCpu += oneFloorCpu;

        malloc_trim(0);
        const long before = residentBytes();
        const double wall0 = wallSeconds();
        const double cpu0 = cpuSeconds();
        auto c = startComponent(grants);
        const double wall = wallSeconds() - wall0;
        const double cpu = cpuSeconds() - cpu0;
        loadedCpu += cpu;
        wallRatios.push_back(wall / oneFloorWall);
        cpuRatios.push_back(cpu / oneFloorCpu);
        growth = std::max(growth, residentBytes() - before);
        state.SetIterationTime(wall);
        benchmark::DoNotOptimize(c.get());
        c.reset();
        TDatabase::dropTemporaryConnections();
    }
    const double n = double(state.iterations());
    const double raw = double(grants) * (4 + 4 + 1) + double(groupsOf(grants)) * kConstantsPerGroup * (4 + 4);
    state.counters["rows"] = double(rows);
    state.counters["floor_ms"] = floorWall / n * 1000;
    state.counters["floor_cpu_ms"] = floorCpu / n * 1000;
    state.counters["loaded_cpu_ms"] = loadedCpu / n * 1000;
    // Each start against the floor fetch just before it; the median of the runs.
    state.counters["wall_ratio"] = median(wallRatios);
    state.counters["cpu_ratio"] = median(cpuRatios);
    state.counters["rss_MiB"] = double(growth) / (1024.0 * 1024.0);
    state.counters["floor_rss_MiB"] = double(floorGrowth) / (1024.0 * 1024.0);
    state.counters["raw_MiB"] = raw / (1024.0 * 1024.0);
    state.counters["mem_ratio"] = double(growth) / raw;
}
BENCHMARK(BM_LoadedAgainstFetchFloor)
    ->Arg(100000)
    ->Arg(1000000)
    ->Arg(5000000)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    BenchDatabase::setUp(kDir);
    QApplication app(argc, argv);
    BenchDatabase::printMessages();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TDatabase::dropTemporaryConnections();
    return 0;
}
