// The setup editor on a large security database: 10,000 users, 500 groups of 10
// constants, 2,000 constants and 1,000,000 USERACC rows (90 constants and 10 groups
// per user). The database is generated once, server side in one transaction, into a
// cached file under /tmp and reused by later runs.
//
// Measures: opening the editor (FormShow) and choosing a user (UpdateUserInformation,
// which rebuilds the access list and loads the policy), and for comparison reading
// the whole USERACC table into one record set.
#include "BenchDatabase.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "editor/TFormCSMain.h"
#include "editor/TDBLookupComboBox.h"
#include "editor/TListBox.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {
const QString kDir = QStringLiteral("/tmp/jovsec-bench-editor");
const QString kAlias = QStringLiteral("JOVSEC_BENCH_EDITOR");
constexpr int kUsers = 10000;
constexpr int kGroups = 500;
constexpr int kConstants = 2000;
constexpr int kConstantsPerGroup = 10;
constexpr int kDirectPerUser = 90;
constexpr int kGroupsPerUser = 10;

void prepareDatabase()
{
    BenchDatabase::prepare(kDir, kAlias,
                           {QString("EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= %1) DO BEGIN "
                                    "INSERT INTO USERS (USER_NAME, User_PASSWORD, CustomAcctPolicy) "
                                    "VALUES ('user' || :I, 'pw' || :I, MOD(:I, 2)); I = I + 1; END END")
                                .arg(kUsers),
                            "INSERT INTO PWHIST (USER_ID, PW1, PWSETDATE, PWMAXDAYS, PWMINDAYS) "
                            "SELECT USER_ID, User_PASSWORD, CURRENT_DATE, MOD(USER_ID, 40), MOD(USER_ID, 3) FROM USERS",
                            BenchDatabase::constantsBlock(kConstants),
                            BenchDatabase::groupsBlock(kGroups, kConstantsPerGroup, kConstants),
                            BenchDatabase::grantsBlock(kUsers, kDirectPerUser, kConstants, kGroupsPerUser, kGroups),
                            BenchDatabase::programRow()});
}

std::unique_ptr<TFormCSMain> openEditor()
{
    auto editor = std::make_unique<TFormCSMain>();
    editor->SecAlias = kAlias;
    FormCSMain = editor.get();
    editor->FormShow();
    return editor;
}

void BM_FormShow(benchmark::State& state)
{
    for (auto _ : state) {
        auto editor = openEditor();
        benchmark::DoNotOptimize(editor->lbConstants->count());
        state.PauseTiming();
        editor.reset();
        state.ResumeTiming();
    }
    state.counters["users"] = kUsers;
    state.counters["grants"] = double(kUsers) * (kDirectPerUser + kGroupsPerUser);
}
BENCHMARK(BM_FormShow)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ChooseUser(benchmark::State& state)
{
    auto editor = openEditor();
    int user = 1;
    for (auto _ : state) {
        // Users spread over the whole table, alternating custom and global policy.
        user = (user + 7919) % kUsers + 1;
        editor->dblkUserName->chooseIndex(user - 1);
        benchmark::DoNotOptimize(editor->lbUsrAccess->count());
    }
    if (editor->lbUsrAccess->count() != kDirectPerUser + kGroupsPerUser)
        state.SkipWithError("the access list is incomplete");
}
BENCHMARK(BM_ChooseUser)->Unit(benchmark::kMillisecond)->Iterations(50);

// What a whole-table USERACC record set would cost at every open or choice.
void BM_OpenWholeUseracc(benchmark::State& state)
{
    for (auto _ : state) {
        TQuery q;
        q.setDatabaseName(kAlias);
        q.setSQL(QStringLiteral("select * from useracc"));
        q.open();
        benchmark::DoNotOptimize(q.recordCount());
        state.PauseTiming();
        q.close();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenWholeUseracc)->Unit(benchmark::kMillisecond)->Iterations(2);
} // namespace

int main(int argc, char** argv) { return BenchDatabase::run(argc, argv, kDir, prepareDatabase); }
