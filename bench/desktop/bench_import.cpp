// The import of the previous version's tables through its dialog, as the user runs it:
// 250 to 2,000 users, each with one right, and 50 constants, into an empty security
// database. items_per_second counts users; it should stay flat as the tables grow.
#include "BenchDatabase.h"
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "desktop/TfrmImport.h"
#include "tests/support/DbfWriter.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {
const QString kDir = QStringLiteral("/tmp/jovsec-bench-import");
const QString kEmptyAlias = QStringLiteral("JOVSEC_BENCH_IMPORT_EMPTY");
const QString kWorkDir = QStringLiteral("/tmp/jovsec-bench-import-work");
const QString kWorkAlias = QStringLiteral("JOVSEC_BENCH_IMPORT");
constexpr int kConstants = 50;

void prepareEmptyDatabase()
{
    BenchDatabase::prepare(kDir, kEmptyAlias, {BenchDatabase::programRow()});
    TAliases::addAlias(kWorkAlias, "INTRBASE",
                       {"SERVER NAME=" + kWorkDir + "/security.gdb", "USER NAME=SYSDBA", "PASSWORD=masterkey"});
}

// Each run imports into a copy of the empty database.
void freshCopy()
{
    TDatabase::dropTemporaryConnections();
    QDir().mkpath(kWorkDir);
    QFile::remove(kWorkDir + "/security.gdb");
    if (!QFile::copy(kDir + "/security.gdb", kWorkDir + "/security.gdb"))
        qFatal("cannot copy the empty database");
    QFile::setPermissions(kWorkDir + "/security.gdb", QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void writeTables(const QString& dir, int users)
{
    std::vector<DbfRecord> constants, logins, rights;
    for (int i = 1; i <= kConstants; ++i)
        constants.push_back({{QByteArray::number(i), stored("Constant " + QByteArray::number(i))}});
    for (int i = 1; i <= users; ++i) {
        logins.push_back({{QByteArray::number(i), stored("user" + QByteArray::number(i)), stored("pw")}});
        rights.push_back({{QByteArray::number(i), QByteArray::number(i % kConstants + 1)}});
    }
    writeDbf(dir + "/PRVSEC2.DBF", {{"AccessId", 'N', 10}, {"Label", 'C', 80}}, constants);
    writeDbf(dir + "/PRVSEC1.DBF", {{"UID", 'N', 10}, {"Login", 'C', 80}, {"Password", 'C', 80}}, logins);
    writeDbf(dir + "/PRVSEC3.DBF", {{"UID", 'N', 10}, {"ACCESSID", 'N', 10}}, rights);
    writeDbf(dir + "/PRVSEC4.DBF", {{"Descript", 'C', 80}, {"LoginLog", 'L', 1}}, {{{stored("Bench"), "T"}}});
}

void BM_Import(benchmark::State& state)
{
    const int users = int(state.range(0));
    QTemporaryDir source;
    writeTables(source.path(), users);
    for (auto _ : state) {
        state.PauseTiming();
        freshCopy();
        auto dialog = std::make_unique<TfrmImport>(kWorkAlias);
        dialog->show();
        dialog->setDirectory(source.path());
        state.ResumeTiming();
        dialog->btnImportClick();
        state.PauseTiming();
        if (!dialog->btnClose->isVisibleTo(dialog.get()))
            state.SkipWithError("the import failed");
        dialog.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * users);
    state.counters["users"] = users;
}
BENCHMARK(BM_Import)->Arg(250)->Arg(500)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond)->Iterations(1);
} // namespace

int main(int argc, char** argv) { return BenchDatabase::run(argc, argv, kDir, prepareEmptyDatabase); }
