// SecDesk from start to an open security database of 10,000 users: the main window is
// made, Open connects with the log-in answered at once, checks the PROGRAM table and
// fills the status bar. The database is generated once into a cached file under /tmp.
//
// Measures: the whole start (window and open) and the open alone, each from the
// moment the log-in is answered on.
#include "BenchDatabase.h"
#include "database/TDatabase.h"
#include "desktop/TFormAdmin.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <memory>

namespace {
const QString kDir = QStringLiteral("/tmp/jovsec-bench-desktop-open");
const QString kAlias = QStringLiteral("JOVSEC_BENCH_DESKTOP");
constexpr int kUsers = 10000;

void prepareDatabase()
{
    BenchDatabase::prepare(kDir, kAlias,
                           {BenchDatabase::usersBlock(kUsers), BenchDatabase::passwordHistoryRows(),
                            BenchDatabase::constantsBlock(200), BenchDatabase::groupsBlock(20, 10, 200),
                            BenchDatabase::grantsBlock(kUsers, 10, 200, 2, 20),
                            "INSERT INTO PROGRAM (Security_Label, Enabled, LOGENABLED) VALUES ('Bench Orders', 1, 0)"});
}

void checkOpen(benchmark::State& state, const TFormAdmin& window)
{
    if (window.panelText(1) != QStringLiteral("Alias: ") + kAlias || window.panelText(2) != "Bench Orders")
        state.SkipWithError("the database did not open");
}

void BM_StartAndOpen(benchmark::State& state)
{
    for (auto _ : state) {
        auto window = std::make_unique<TFormAdmin>();
        window->show();
        window->OpenSecurityAlias(kAlias);
        QApplication::processEvents();
        checkOpen(state, *window);
        state.PauseTiming();
        window->Close1Click();
        window.reset();
        state.ResumeTiming();
    }
    state.counters["users"] = kUsers;
}
BENCHMARK(BM_StartAndOpen)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_OpenAlone(benchmark::State& state)
{
    TFormAdmin window;
    window.show();
    for (auto _ : state) {
        window.OpenSecurityAlias(kAlias);
        checkOpen(state, window);
        state.PauseTiming();
        window.Close1Click();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenAlone)->Unit(benchmark::kMillisecond)->Iterations(20);
} // namespace

int main(int argc, char** argv)
{
    return BenchDatabase::run(argc, argv, kDir, [] {
        // The window's geometry goes to a folder of the benchmark's own.
        static QTemporaryDir settings;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
        // The log-in prompt is answered at once, as by a user who has typed ahead.
        Platform::setLoginHandler([](const QString&, QString&, QString& password) {
            password = QStringLiteral("masterkey");
            return true;
        });
        TDatabase::setLoginPromptHandler(&Platform::loginPrompt);
        prepareDatabase();
    });
}
