// jovsecadm on a large security database: 10,000 users, 10,000 constants, 1,000
// groups of 100 constants, 1,000,000 USERACC rows (90 direct grants and 10 group
// memberships a user) and 1,000,000 LOG rows, generated once into a cached file
// under /tmp.
//
// Measures: import-users of 10,000 users with 10 grants each (into a copy of the
// database without users), log export of the whole log to a CSV file (rows a second,
// growth of the peak resident memory), and effective and who-can, each as one whole
// command: connect, read, write the answer.
#include "BenchDatabase.h"
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "tools/jovsecadm/TAdminTool.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <benchmark/benchmark.h>

#include <cstdio>

namespace {
const QString kDir = QStringLiteral("/tmp/jovsec-bench-admin");
const QString kAlias = QStringLiteral("JOVSEC_BENCH_ADMIN");
const QString kImportDir = QStringLiteral("/tmp/jovsec-bench-admin-import");
const QString kImportAlias = QStringLiteral("JOVSEC_BENCH_IMPORT");
constexpr int kUsers = 10000;
constexpr int kConstants = 10000;
constexpr int kGroups = 1000;
constexpr int kLogRows = 1000000;

QString logBlock()
{
    return QString("EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < %1) DO BEGIN "
                   "INSERT INTO LOG (ACCESS_DATE, USER_ID, ACCESS_ID) VALUES (DATEADD(MOD(:I, 700) DAY TO "
                   "DATE '2025-01-01'), MOD(:I, %2) + 1, IIF(MOD(:I, 10) = 0, NULL, MOD(:I, %3) + 1)); "
                   "I = I + 1; END END")
        .arg(kLogRows)
        .arg(kUsers)
        .arg(kConstants);
}

QString usersBlock()
{
    return QString("EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= %1) DO BEGIN "
                   "INSERT INTO USERS (USER_NAME, User_PASSWORD) VALUES ('user' || :I, 'pw' || :I); "
                   "I = I + 1; END END")
        .arg(kUsers);
}

void prepareDatabases()
{
    BenchDatabase::prepare(
        kDir, kAlias,
        {usersBlock(), "INSERT INTO PWHIST (USER_ID, PWSETDATE) SELECT USER_ID, CURRENT_DATE FROM USERS",
         BenchDatabase::constantsBlock(kConstants), BenchDatabase::groupsBlock(kGroups, 100, kConstants),
         BenchDatabase::grantsBlock(kUsers, 90, kConstants, 10, kGroups), BenchDatabase::programRow(), logBlock()});
    BenchDatabase::prepare(kImportDir, kImportAlias,
                           {BenchDatabase::constantsBlock(kConstants),
                            BenchDatabase::groupsBlock(kGroups, 100, kConstants), BenchDatabase::programRow()});
}

int run(const QStringList& arguments, QString* output = nullptr)
{
    QString out, err;
    QTextStream o(&out), e(&err);
    const int status = TAdminTool::run(arguments, o, e);
    if (status != 0)
        std::fprintf(stderr, "jovsecadm %s: %s\n", qPrintable(arguments.join(' ')), qPrintable(err));
    if (output)
        *output = out;
    TDatabase::dropTemporaryConnections();
    return status;
}

long peakResidentBytes()
{
    long kb = 0;
    if (FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, f))
            if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1)
                break;
        std::fclose(f);
    }
    return kb * 1024;
}

void resetPeakResident()
{
    if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

QString importFile()
{
    const QString path = kImportDir + "/users.csv";
    if (QFile::exists(path))
        return path;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write("name,password,field 1,field 2,admin,groups,constants\n");
    for (int i = 1; i <= kUsers; ++i) {
        QStringList groups, constants;
        for (int j = 0; j < 5; ++j) {
            groups << QString("group%1").arg((i * 7 + j * 31) % kGroups + 1);
            constants << QString("CONST%1").arg((i * 13 + j * 97) % kConstants + 1);
        }
        f.write(QString("new%1,pw%1,Dept %2,,%3,%4,%5\n")
                    .arg(i)
                    .arg(i % 50)
                    .arg(i % 100 == 0 ? "yes" : "no", groups.join(';'), constants.join(';'))
                    .toUtf8());
    }
    return path;
}

void BM_ImportUsers(benchmark::State& state)
{
    const QString csv = importFile();
    const QString pristine = kImportDir + "/security.gdb";
    const QString copy = kImportDir + "/import-copy.gdb";
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(copy);
        if (!QFile::copy(pristine, copy))
            qFatal("cannot copy %s", qPrintable(pristine));
        TAliases::addAlias("JOVSEC_BENCH_IMPORT_COPY", "INTRBASE",
                           {"SERVER NAME=" + copy, "USER NAME=SYSDBA", "PASSWORD=masterkey"});
        state.ResumeTiming();
        if (run({"--alias", "JOVSEC_BENCH_IMPORT_COPY", "import-users", csv, "--apply"}) != 0)
            state.SkipWithError("import refused");
    }
    QString out;
    run({"--alias", "JOVSEC_BENCH_IMPORT_COPY", "--json", "user", "list"}, &out);
    state.counters["users"] = double(out.count("\"name\""));
    QFile::remove(copy);
}
BENCHMARK(BM_ImportUsers)->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();

void BM_LogExport(benchmark::State& state)
{
    const QString csv = kDir + "/log.csv";
    long growth = 0;
    for (auto _ : state) {
        resetPeakResident();
        const long before = peakResidentBytes();
        if (run({"--alias", kAlias, "log", "export", "--csv", csv}) != 0)
            state.SkipWithError("export refused");
        growth = peakResidentBytes() - before;
    }
    state.counters["rows_per_s"] =
        benchmark::Counter(double(kLogRows) * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["peak_rss_growth_MB"] = double(growth) / (1024.0 * 1024.0);
    QFile::remove(csv);
}
BENCHMARK(BM_LogExport)->Unit(benchmark::kSecond)->Iterations(2)->UseRealTime();

void BM_Effective(benchmark::State& state)
{
    QString out;
    for (auto _ : state)
        if (run({"--alias", kAlias, "--json", "effective", "user5000"}, &out) != 0)
            state.SkipWithError("refused");
    state.counters["constants"] = double(out.count("\"granted_by\""));
}
BENCHMARK(BM_Effective)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

void BM_WhoCan(benchmark::State& state)
{
    QString out;
    for (auto _ : state)
        if (run({"--alias", kAlias, "--json", "who-can", "CONST5000"}, &out) != 0)
            state.SkipWithError("refused");
    state.counters["users"] = double(out.count("\"granted_by\""));
}
BENCHMARK(BM_WhoCan)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
} // namespace

int main(int argc, char** argv)
{
    BenchDatabase::setUp(kDir);
    QCoreApplication app(argc, argv);
    prepareDatabases();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TDatabase::dropTemporaryConnections();
    return 0;
}
