// Reading a large table into a record set, and finding rows in it by filter.
// The table is made once under /tmp (1,000,000 USERACC rows for 10,000 users).
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "database/TFilter.h"
#include "database/TFirebirdEnv.h"
#include "database/TQuery.h"
#include "database/TSchema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <benchmark/benchmark.h>

#include <fstream>
#include <unistd.h>

namespace {
const QString kAlias = "JOVSEC_BENCH_RECORDSET";

long residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void prepareDatabase()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // The alias file is used only in a folder nobody else can write to.
    const QString folder = QDir::tempPath() + "/jovsec-bench-recordset";
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("JOVSEC_CONFIG", (folder + "/aliases.ini").toLocal8Bit());
    const QString path = QDir::tempPath() + "/jovsec-bench-recordset-v1.gdb";
    TAliases::addAlias(kAlias, "INTRBASE", {"SERVER NAME=" + path, "USER NAME=SYSDBA"});
    if (QFile::exists(path))
        return;
    QString error;
    if (!TFirebirdEnv::createDatabase(path, "SYSDBA", "", &error) || TSchema::build(kAlias, &error) >= 0)
        qFatal("cannot make the benchmark database: %s", qPrintable(error));
    TDatabase* db = TDatabase::connectionFor(kAlias);
    QSqlQuery q(db->sqlDatabase());
    // PSQL variables need their colon, so these run unprepared.
    const char* blocks[] = {
        "EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN WHILE (i < 10000) DO BEGIN "
        "INSERT INTO USERS (USER_NAME, User_PASSWORD) VALUES ('user' || :i, 'pw'); i = i + 1; END END",
        "EXECUTE BLOCK AS DECLARE i INTEGER = 0; BEGIN WHILE (i < 1000000) DO BEGIN "
        "INSERT INTO USERACC VALUES (MOD(:i, 10000) + 1, MOD(:i * 7, 2000) + 1, "
        "IIF(MOD(:i, 10) = 0, 'G', 'C')); i = i + 1; END END"};
    for (const char* block : blocks)
        if (!q.exec(QString::fromLatin1(block)))
            qFatal("%s", qPrintable(q.lastError().text()));
    q.clear();
    TDatabase::dropTemporaryConnections();
}

void OpenMillionRows(benchmark::State& state)
{
    prepareDatabase();
    const long before = residentKiB();
    long grown = 0;
    for (auto _ : state) {
        TQuery q;
        q.setDatabaseName(kAlias);
        q.setSQL("select * from useracc");
        q.open();
        benchmark::DoNotOptimize(q.recordCount());
        grown = residentKiB() - before;
    }
    state.counters["rss_growth_MiB"] = double(grown) / 1024.0;
}
BENCHMARK(OpenMillionRows)->Unit(benchmark::kMillisecond)->Iterations(3);

void FilterOneUsersRows(benchmark::State& state)
{
    prepareDatabase();
    TQuery q;
    q.setDatabaseName(kAlias);
    q.setSQL("select * from useracc");
    q.open();
    int user = 1;
    for (auto _ : state) {
        q.setFilter(TFilter::equals("User_Id", user));
        q.setFiltered(true);
        benchmark::DoNotOptimize(q.recordCount());
        q.setFiltered(false);
        user = user % 10000 + 1;
    }
}
BENCHMARK(FilterOneUsersRows)->Unit(benchmark::kMicrosecond);
} // namespace

int main(int argc, char** argv)
{
    TFirebirdEnv::prepare();
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TDatabase::dropTemporaryConnections();
    return 0;
}
