// An editor change with its audit event against the same change without one: granting
// a constant to a user in the setup editor and taking it back (two changes, each with
// its event where the trail is kept). Two databases are made alike, 1,000 users, 200
// constants, 50 groups and 25,000 grants, with forced writes as New makes them; one
// keeps the audit trail, the other has none (as a database made before the trail),
// where the same change runs in a transaction of its own without an event.
#include "BenchDatabase.h"
#include "database/TAuditTrail.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "editor/TFormCSMain.h"
#include "editor/TDBLookupComboBox.h"
#include "editor/TListBox.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>

#include <sys/resource.h>

#include <ctime>
#include <memory>

namespace {
const QString kDir = QStringLiteral("/tmp/jovsec-bench-editoraudit");
const QString kAliasOn = QStringLiteral("JOVSEC_BENCH_EDITOR_AUDIT");
const QString kAliasOff = QStringLiteral("JOVSEC_BENCH_EDITOR_NO_AUDIT");
constexpr int kUsers = 1000;
constexpr int kGroups = 50;
constexpr int kConstants = 200;

QStringList blocks()
{
    return {BenchDatabase::usersBlock(kUsers),
            BenchDatabase::passwordHistoryRows(),
            BenchDatabase::constantsBlock(kConstants),
            BenchDatabase::groupsBlock(kGroups, 5, kConstants),
            BenchDatabase::grantsBlock(kUsers, 20, kConstants, 5, kGroups),
            BenchDatabase::programRow()};
}

void prepareDatabases()
{
    BenchDatabase::prepare(kDir + "/on", kAliasOn, blocks());
    BenchDatabase::prepare(kDir + "/off", kAliasOff, blocks());
    if (TAuditTrail::present(*TDatabase::connectionFor(kAliasOff))) {
        for (const char* table : {"AUDIT_TRAIL", "AUDIT_HEAD"}) {
            TQuery drop;
            drop.setDatabaseName(kAliasOff);
            drop.setSQL(QStringLiteral("DROP TABLE ") + QLatin1String(table));
            drop.execSQL();
        }
    }
    TDatabase::dropTemporaryConnections();
}

// One editor on a database: its first user, and a constant that user does not hold.
struct Editor {
    explicit Editor(const QString& alias) : window(std::make_unique<TFormCSMain>())
    {
        window->SecAlias = alias;
        FormCSMain = window.get();
        window->FormShow();
        window->dblkUserName->chooseIndex(0);
        held = window->lbUsrAccess->texts();
        while (held.contains(window->lbConstants->entryText(constant)))
            ++constant;
        name = window->lbConstants->entryText(constant);
    }
    ~Editor() { FormCSMain = nullptr; }
    // Grants the constant and takes it back: two changes.
    void change()
    {
        FormCSMain = window.get();
        window->lbConstants->setItemIndex(constant);
        window->AddAccess();
        window->lbUsrAccess->setItemIndex(int(window->lbUsrAccess->texts().indexOf(name)));
        window->RemoveAccess();
    }
    std::unique_ptr<TFormCSMain> window;
    QStringList held;
    int constant = 0;
    QString name;
};

// The process's time in the kernel, in milliseconds: mostly the engine's synchronous
// page writes at each commit.
double systemMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_stime.tv_sec) * 1e3 + double(usage.ru_stime.tv_usec) / 1e3;
}

double processSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The two databases' changes alternate, so that the load of a shared machine falls on
// both alike; the counters give each one's mean per change and their ratio.
void BM_GrantAndTakeBackAlternately(benchmark::State& state)
{
    Editor without(kAliasOff), with(kAliasOn);
    TDatabase& audited = *TDatabase::connectionFor(kAliasOn);
    const qint64 before = TAuditTrail::head(audited).first;
    double wall[2] = {0, 0}, cpu[2] = {0, 0}, system[2] = {0, 0};
    QElapsedTimer timer;
    for (auto _ : state) {
        int side = 0;
        for (Editor* editor : {&without, &with}) {
            const double cpuStart = processSeconds(), systemStart = systemMs();
            timer.start();
            editor->change();
            wall[side] += double(timer.nsecsElapsed()) / 1e6;
            cpu[side] += (processSeconds() - cpuStart) * 1e3;
            system[side] += systemMs() - systemStart;
            ++side;
        }
    }
    if (without.window->lbUsrAccess->texts() != without.held || with.window->lbUsrAccess->texts() != with.held)
        state.SkipWithError("a grant was not taken back");
    if (TAuditTrail::present(*TDatabase::connectionFor(kAliasOff)) ||
        TAuditTrail::head(audited).first - before != 2 * state.iterations())
        state.SkipWithError("the events are not as expected");
    const double changes = 2.0 * double(state.iterations());
    state.counters["without_ms"] = wall[0] / changes;
    state.counters["with_ms"] = wall[1] / changes;
    state.counters["ratio"] = wall[1] / wall[0];
    state.counters["without_cpu_ms"] = cpu[0] / changes;
    state.counters["with_cpu_ms"] = cpu[1] / changes;
    state.counters["cpu_ratio"] = cpu[1] / cpu[0];
    state.counters["without_sys_ms"] = system[0] / changes;
    state.counters["with_sys_ms"] = system[1] / changes;
}
BENCHMARK(BM_GrantAndTakeBackAlternately)->Unit(benchmark::kMillisecond)->Iterations(200);
} // namespace

int main(int argc, char** argv) { return BenchDatabase::run(argc, argv, kDir, prepareDatabases); }
