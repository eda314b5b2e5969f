// The setup editor on a large security database: 10,000 users, 500 groups of 10
// constants, 2,000 constants and 1,000,000 USERACC rows (90 constants and 10 groups
// per user). The database is generated once, server side in one transaction, into a
// cached file under /tmp and reused by later runs.
//
// Measures: opening the editor (FormShow) and choosing a user (UpdateUserInformation,
// which rebuilds the access list and loads the policy), and for comparison reading
// the whole USERACC table into one record set.
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "database/TFirebirdEnv.h"
#include "database/TQuery.h"
#include "database/TSchema.h"
#include "editor/CSFrmsec.h"
#include "editor/TDBLookupComboBox.h"
#include "editor/TListBox.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <benchmark/benchmark.h>

#include <cstdio>
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

// Generation blocks name their variables with a colon; they go to the engine as
// they are, outside the layer's parameter handling.
void runBlock(const TDatabase& connection, const QString& sql)
{
    QSqlQuery q(connection.sqlDatabase());
    if (!q.exec(sql))
        qFatal("generation failed: %s", qPrintable(q.lastError().text()));
    q.clear();
}

void generate(const QString& path)
{
    QString error;
    if (!TFirebirdEnv::createDatabase(path, "SYSDBA", "masterkey", &error))
        qFatal("cannot create %s: %s", qPrintable(path), qPrintable(error));
    TAliases::addAlias(kAlias, "INTRBASE", {"SERVER NAME=" + path, "USER NAME=SYSDBA", "PASSWORD=masterkey"});
    if (TSchema::build(kAlias, &error) >= 0)
        qFatal("build failed: %s", qPrintable(error));
    TDatabase::dropTemporaryConnections();

    TDatabase connection;
    connection.setAliasName(kAlias);
    connection.setDatabaseName(kAlias);
    connection.setLoginPrompt(false);
    connection.open();
    connection.startTransaction();
    runBlock(connection, QString("EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= %1) DO BEGIN "
                                 "INSERT INTO USERS (USER_NAME, User_PASSWORD, CustomAcctPolicy) "
                                 "VALUES ('user' || :I, 'pw' || :I, MOD(:I, 2)); I = I + 1; END END")
                             .arg(kUsers));
    runBlock(connection, "INSERT INTO PWHIST (USER_ID, PW1, PWSETDATE, PWMAXDAYS, PWMINDAYS) "
                         "SELECT USER_ID, User_PASSWORD, CURRENT_DATE, MOD(USER_ID, 40), MOD(USER_ID, 3) FROM USERS");
    runBlock(connection, QString("EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= %1) DO BEGIN "
                                 "INSERT INTO ACCESS (ACCESS_NAME) VALUES ('CONST' || :I); I = I + 1; END END")
                             .arg(kConstants));
    runBlock(connection, QString("EXECUTE BLOCK AS DECLARE G INTEGER = 1; DECLARE K INTEGER; BEGIN "
                                 "WHILE (G <= %1) DO BEGIN INSERT INTO GROUPS (GROUP_NAME) VALUES ('group' || :G); "
                                 "K = 0; WHILE (K < %2) DO BEGIN INSERT INTO GRPCOLL (GROUP_ID, ACCESS_ID) "
                                 "VALUES (:G, MOD(:G * 17 + :K * 97, %3) + 1); K = K + 1; END G = G + 1; END END")
                             .arg(kGroups)
                             .arg(kConstantsPerGroup)
                             .arg(kConstants));
    runBlock(connection,
             QString("EXECUTE BLOCK AS DECLARE U INTEGER = 1; DECLARE J INTEGER; BEGIN "
                     "WHILE (U <= %1) DO BEGIN J = 0; WHILE (J < %2) DO BEGIN "
                     "INSERT INTO USERACC (USER_ID, Access_ID, TYPE) VALUES (:U, MOD(:U * 7 + :J * 13, %3) + 1, 'C'); "
                     "J = J + 1; END J = 0; WHILE (J < %4) DO BEGIN "
                     "INSERT INTO USERACC (USER_ID, Access_ID, TYPE) VALUES (:U, MOD(:U * 3 + :J * 101, %5) + 1, 'G'); "
                     "J = J + 1; END U = U + 1; END END")
                 .arg(kUsers)
                 .arg(kDirectPerUser)
                 .arg(kConstants)
                 .arg(kGroupsPerUser)
                 .arg(kGroups));
    runBlock(connection, "INSERT INTO PROGRAM (Security_Label, Enabled, LOGENABLED) VALUES ('Bench', 1, 0)");
    connection.commit();
    connection.close();
}

void prepareDatabase()
{
    QDir().mkpath(kDir);
    const QString path = kDir + "/security.gdb";
    const QString ready = kDir + "/ready";
    if (!QFile::exists(ready) || !QFile::exists(path)) {
        QFile::remove(path);
        QElapsedTimer timer;
        timer.start();
        generate(path);
        QFile marker(ready);
        if (!marker.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(ready));
        std::fprintf(stderr, "generated %s in %.1f s\n", qPrintable(path), timer.elapsed() / 1000.0);
    } else {
        TAliases::addAlias(kAlias, "INTRBASE", {"SERVER NAME=" + path, "USER NAME=SYSDBA", "PASSWORD=masterkey"});
    }
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

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QDir().mkpath(kDir);
    qputenv("JOVSEC_CONFIG", (kDir + "/aliases.ini").toLocal8Bit());
    TFirebirdEnv::prepare();
    QApplication app(argc, argv);
    Platform::setMessageHandler([](const QString& text, Platform::MsgKind, Platform::MsgButtons) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return Platform::MsgResult::Ok;
    });
    prepareDatabase();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TDatabase::dropTemporaryConnections();
    return 0;
}
