// The security component on a large security database: 10,000 users, 1,000,000
// USERACC rows (90 direct grants and 10 group memberships each), 1,000 groups with
// 100 constants each (100,000 GRPCOLL rows). The database is generated once, server
// side, into a cached file under /tmp and reused by later runs.
//
// Measures: start-up (Loaded) time and resident-memory growth, TestAccess for a
// direct grant, a grant through the user's last group and a refusal, with logging
// off and on, and LogonEx.
#include "BenchDatabase.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "security/TJovCSsecure.h"
#include "security/TAccessIndex.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <set>
#include <unistd.h>

namespace {
const QString kDir = QStringLiteral("/tmp/jovsec-bench-security");
const QString kAlias = QStringLiteral("JOVSEC_BENCH_SEC");
constexpr int kUsers = 10000;
constexpr int kConstants = 10000;
constexpr int kGroups = 1000;
constexpr int kDirectPerUser = 90;
constexpr int kGroupsPerUser = 10;
constexpr int kConstantsPerGroup = 100;
constexpr int kUser = 5000; // the user the tests run for

// The generator's formulas, mirrored here to pick constants with a known answer.
int directConstant(int user, int j) { return (user * 7 + j * 13) % kConstants + 1; }
int userGroup(int user, int j) { return (user * 3 + j * 101) % kGroups + 1; }
int groupConstant(int group, int k) { return (group * 17 + k * 97) % kConstants + 1; }

void run(TQuery& q, const QString& sql)
{
    q.setSQL(sql);
    q.execSQL();
}

void prepareDatabase()
{
    BenchDatabase::prepare(kDir, kAlias,
                           {QString("EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= %1) DO BEGIN "
                                    "INSERT INTO USERS (USER_NAME, User_PASSWORD) VALUES ('user' || :I, 'pw' || :I); "
                                    "I = I + 1; END END")
                                .arg(kUsers),
                            "INSERT INTO PWHIST (USER_ID, PW1, PWSETDATE, PWMINDAYS) "
                            "SELECT USER_ID, User_PASSWORD, CURRENT_DATE, 0 FROM USERS",
                            BenchDatabase::constantsBlock(kConstants),
                            BenchDatabase::groupsBlock(kGroups, kConstantsPerGroup, kConstants),
                            BenchDatabase::grantsBlock(kUsers, kDirectPerUser, kConstants, kGroupsPerUser, kGroups),
                            BenchDatabase::programRow()});
    TQuery q;
    q.setDatabaseName(kAlias);
    run(q, "DELETE FROM LOG"); // earlier runs' rows would slow the log record set's start-up
    run(q, "UPDATE USERS SET User_AccessCount = 0");
}

void setLogging(bool on)
{
    TQuery q;
    q.setDatabaseName(kAlias);
    run(q, QString("UPDATE PROGRAM SET LOGENABLED = %1").arg(on ? 1 : 0));
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

std::unique_ptr<TJovCSsecure> startComponent(bool logging)
{
    setLogging(logging);
    auto c = std::make_unique<TJovCSsecure>();
    c->setAlias(kAlias);
    c->setPassword("masterkey");
    c->setOptions({});
    c->Loaded();
    if (!c->LogonEx(QString("user%1").arg(kUser), QString("pw%1").arg(kUser)))
        qFatal("bench user could not log on");
    return c;
}

std::unique_ptr<TJovCSsecure> g_quiet; // logging off
std::unique_ptr<TJovCSsecure> g_logged; // logging on

TJovCSsecure& component(bool logging)
{
    std::unique_ptr<TJovCSsecure>& slot = logging ? g_logged : g_quiet;
    if (!slot)
        slot = startComponent(logging);
    return *slot;
}

int directHit() { return directConstant(kUser, 0); }

// A constant only the user's last group holds, so every group is tried before it.
int groupHit()
{
    std::set<int> earlier;
    for (int j = 0; j < kDirectPerUser; ++j)
        earlier.insert(directConstant(kUser, j));
    for (int j = 0; j + 1 < kGroupsPerUser; ++j)
        for (int k = 0; k < kConstantsPerGroup; ++k)
            earlier.insert(groupConstant(userGroup(kUser, j), k));
    const int last = userGroup(kUser, kGroupsPerUser - 1);
    for (int k = 0; k < kConstantsPerGroup; ++k)
        if (!earlier.count(groupConstant(last, k)))
            return groupConstant(last, k);
    qFatal("no constant held only by the last group");
}

constexpr int kRefused = kConstants * 2;

void BM_Loaded(benchmark::State& state)
{
    setLogging(false);
    long growth = 0;
    for (auto _ : state) {
        const long before = residentBytes();
        auto c = std::make_unique<TJovCSsecure>();
        c->setAlias(kAlias);
        c->setPassword("masterkey");
        c->setOptions({});
        c->Loaded();
        growth = residentBytes() - before;
        benchmark::DoNotOptimize(c.get());
        state.PauseTiming();
        c.reset();
        state.ResumeTiming();
    }
    state.counters["rss_growth_MB"] = double(growth) / (1024.0 * 1024.0);
}
BENCHMARK(BM_Loaded)->Unit(benchmark::kMillisecond)->Iterations(3);

// Indexing grants held in record sets (as a logon does with UserGrantsOnly). Start-up
// indexes the rows as the engine delivers them instead, without record sets.
void BM_IndexBuild(benchmark::State& state)
{
    TJovCSsecure& c = component(false);
    // The grant sets read their rows at the first request, outside the measurement.
    const TQuery& userAcc = *c.userAccessSet();
    const TQuery& groupAcc = *c.groupAccessSet();
    for (auto _ : state) {
        TAccessIndex index;
        index.build(userAcc, groupAcc);
        benchmark::DoNotOptimize(&index);
    }
}
BENCHMARK(BM_IndexBuild)->Unit(benchmark::kMillisecond)->Iterations(3);

void testAccess(benchmark::State& state, bool logging, int constant, bool expected)
{
    TJovCSsecure& c = component(logging);
    if (c.TestAccess(constant) != expected) {
        state.SkipWithError("unexpected answer");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(c.TestAccess(constant));
}

void BM_TestAccess_Direct(benchmark::State& s) { testAccess(s, false, directHit(), true); }
void BM_TestAccess_Group(benchmark::State& s) { testAccess(s, false, groupHit(), true); }
void BM_TestAccess_Refused(benchmark::State& s) { testAccess(s, false, kRefused, false); }
void BM_TestAccess_Direct_Logging(benchmark::State& s) { testAccess(s, true, directHit(), true); }
void BM_TestAccess_Group_Logging(benchmark::State& s) { testAccess(s, true, groupHit(), true); }
void BM_TestAccess_Refused_Logging(benchmark::State& s) { testAccess(s, true, kRefused, false); }
BENCHMARK(BM_TestAccess_Direct)->Unit(benchmark::kNanosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_TestAccess_Group)->Unit(benchmark::kNanosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_TestAccess_Refused)->Unit(benchmark::kNanosecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_TestAccess_Direct_Logging)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TestAccess_Group_Logging)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TestAccess_Refused_Logging)->Unit(benchmark::kNanosecond);

void BM_LogonEx(benchmark::State& state)
{
    TJovCSsecure& c = component(false);
    const QString name = QString("user%1").arg(kUser);
    const QString password = QString("pw%1").arg(kUser);
    for (auto _ : state)
        if (!c.LogonEx(name, password))
            state.SkipWithError("refused");
}
BENCHMARK(BM_LogonEx)->Unit(benchmark::kMillisecond);

// The user's own grant rows: USERACC rows and the collections of the user's groups.
int ownRows(int user)
{
    TQuery q;
    q.setDatabaseName(kAlias);
    q.setSQL(QString("select (select count(*) from USERACC where USER_ID = %1) + (select count(*) from GRPCOLL "
                     "where GROUP_ID in (select ACCESS_ID from USERACC where USER_ID = %1 and TYPE = 'G')) "
                     "from RDB$DATABASE")
                 .arg(user));
    q.open();
    return q.field(0)->asInteger();
}

// Start-up for large sites: Loaded reads no grant, LogonEx reads the user's own.
void BM_UserGrantsOnly_LoadedAndLogonEx(benchmark::State& state)
{
    setLogging(false);
    const QString name = QString("user%1").arg(kUser);
    const QString password = QString("pw%1").arg(kUser);
    int fetched = 0;
    long growth = 0;
    for (auto _ : state) {
        const long before = residentBytes();
        auto c = std::make_unique<TJovCSsecure>();
        c->setAlias(kAlias);
        c->setPassword("masterkey");
        c->setOptions({});
        c->setUserGrantsOnly(true);
        c->Loaded();
        if (!c->LogonEx(name, password)) {
            state.SkipWithError("refused");
            break;
        }
        growth = residentBytes() - before;
        fetched = c->userAccessSet()->totalRowCount() + c->groupAccessSet()->totalRowCount();
        state.PauseTiming();
        if (!c->TestAccess(groupHit()) || c->TestAccess(kRefused))
            state.SkipWithError("unexpected answer");
        c.reset();
        state.ResumeTiming();
    }
    state.counters["rows_fetched"] = fetched;
    state.counters["own_rows"] = ownRows(kUser);
    state.counters["rss_growth_MB"] = double(growth) / (1024.0 * 1024.0);
}
BENCHMARK(BM_UserGrantsOnly_LoadedAndLogonEx)->Unit(benchmark::kMillisecond)->Iterations(20);
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    BenchDatabase::setUp(kDir);
    QApplication app(argc, argv);
    BenchDatabase::printMessages();
    prepareDatabase();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_quiet.reset();
    g_logged.reset();
    TDatabase::dropTemporaryConnections();
    return 0;
}
