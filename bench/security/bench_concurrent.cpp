// Concurrent writers: four programs on one local security database, each logging
// on and testing access over and over with logging on, all at once. Reports the
// logons and access tests per second of the four together and the error messages
// they showed (there should be none).
//
// Every logon writes the user's bookkeeping row and a LOG row, every granted test a
// LOG row; with one user for all four programs, they all write the same USERS row.
#include "BenchDatabase.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "platform/Application.h"
#include "platform/MessageBox.h"
#include "security/TJovCSsecure.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <benchmark/benchmark.h>

#include <atomic>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {
const QString kDir = QStringLiteral("/tmp/jovsec-bench-concurrent");
const QString kAlias = QStringLiteral("JOVSEC_BENCH_CONC");
constexpr int kPrograms = 4;
constexpr int kRounds = 50; // logons per program; each followed by one access test

// One writer program: connects, says "ready", waits for "go", works, and prints how
// many messages it showed.
int writer(const QString& user)
{
    int shown = 0;
    Platform::setMessageHandler([&shown](const QString& text, Platform::MsgKind, Platform::MsgButtons) {
        ++shown;
        std::cerr << "message: " << text.toStdString() << std::endl;
        return Platform::MsgResult::Ok;
    });
    TJovCSsecure component;
    component.setAlias(kAlias);
    component.setPassword(QStringLiteral("masterkey"));
    component.setOptions(TSecurityOptions(soShowUI));
    component.Loaded();
    if (Platform::terminationRequested())
        return 1;
    std::cout << "ready" << std::endl;
    std::string go;
    std::getline(std::cin, go);
    for (int i = 0; i < kRounds; ++i) {
        if (!component.LogonEx(user, QStringLiteral("pw")))
            ++shown;
        component.TestAccess(1);
    }
    std::cout << shown << std::endl;
    return 0;
}

void prepareDatabase()
{
    BenchDatabase::prepare(kDir, kAlias,
                           {"EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= 4) DO BEGIN "
                            "INSERT INTO USERS (USER_NAME, User_PASSWORD) VALUES ('user' || :I, 'pw'); "
                            "INSERT INTO USERACC (USER_ID, Access_ID, TYPE) VALUES (:I, 1, 'C'); I = I + 1; END END",
                            "INSERT INTO PWHIST (USER_ID, PW1, PWSETDATE, PWMINDAYS) "
                            "SELECT USER_ID, User_PASSWORD, CURRENT_DATE, 0 FROM USERS",
                            "INSERT INTO PROGRAM (Security_Label, Enabled, LOGENABLED) VALUES ('Bench', 1, 1)"});
    TQuery q;
    q.setDatabaseName(kAlias);
    q.setSQL("DELETE FROM LOG");
    q.execSQL();
    TDatabase::dropTemporaryConnections();
}

// range(0): 1 when all four log on as one user (one row for all), 0 for a user each.
void BM_ConcurrentWriters(benchmark::State& state)
{
    const bool oneUser = state.range(0) == 1;
    long errors = 0;
    double seconds = 0;
    for (auto _ : state) {
        std::vector<std::unique_ptr<QProcess>> programs;
        for (int p = 0; p < kPrograms; ++p) {
            programs.push_back(std::make_unique<QProcess>());
            programs.back()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            programs.back()->start(QCoreApplication::applicationFilePath(),
                                   {"--writer", QString("user%1").arg(oneUser ? 1 : p + 1)});
        }
        for (auto& program : programs) {
            while (!program->canReadLine() && program->state() != QProcess::NotRunning)
                program->waitForReadyRead(60000);
            if (program->readLine().trimmed() != "ready") {
                state.SkipWithError("a writer did not start");
                return;
            }
        }
        QElapsedTimer timer;
        timer.start();
        for (auto& program : programs)
            program->write("go\n");
        for (auto& program : programs)
            program->waitForBytesWritten(10000);
        for (auto& program : programs) {
            program->waitForFinished(600000);
            errors += program->readLine().trimmed().toLong();
        }
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        seconds += timer.nsecsElapsed() / 1e9;
    }
    const double operations = 2.0 * kPrograms * kRounds * double(state.iterations());
    state.counters["errors_shown"] = double(errors);
    state.counters["logons_and_tests_per_s"] = seconds > 0 ? operations / seconds : 0;
}
BENCHMARK(BM_ConcurrentWriters)
    ->ArgName("one_user")
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    BenchDatabase::setUp(kDir);
    QApplication app(argc, argv);
    if (argc == 3 && std::string(argv[1]) == "--writer")
        return writer(QString::fromLocal8Bit(argv[2]));
    BenchDatabase::printMessages();
    prepareDatabase();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
