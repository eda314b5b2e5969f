// SecDesk's audit trail viewer on a trail of 1,000,000 events (1,000 users and the
// supervisor, a year of events, six in ten of them accepted logons): the first screen,
// Ctrl+End, the scroll bar let go in the middle and each filter, each with how much the
// process grows. The trail is generated once, server side, in one EXECUTE BLOCK, into
// a cached file under /tmp. Its hashes are the engine's 64-bit HASH() of the number,
// not SHA-256 over the content: the chain does not verify, and Verify is not timed here.
#include "BenchDatabase.h"
#include "database/TAuditTrail.h"
#include "database/TDatabase.h"
#include "desktop/TAuditQuery.h"
#include "desktop/TFormAuditTrail.h"
#include "widgets/TDateEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <memory>

namespace {
const QString kDir = QStringLiteral("/tmp/jovsec-bench-auditviewer");
const QString kAlias = QStringLiteral("JOVSEC_BENCH_AUDITVIEWER");
constexpr int kEvents = 1000000;
constexpr int kUsers = 1000;

// Event i: a year of events, oldest first, about 31.5 s apart; kinds by i mod 100.
QString trailBlock()
{
    return QString(
               "EXECUTE BLOCK AS DECLARE I INTEGER = 1; DECLARE K INTEGER; DECLARE U VARCHAR(16); "
               "DECLARE KIND VARCHAR(32); DECLARE OBJ VARCHAR(32); BEGIN WHILE (I <= %1) DO BEGIN "
               "K = MOD(:I * 37, 100); U = 'user' || (MOD(:I * 7, %2) + 1); OBJ = U; "
               "IF (K < 60) THEN KIND = 'LogonAccepted'; "
               "ELSE IF (K < 70) THEN KIND = 'LogonRefused'; "
               "ELSE IF (K < 72) THEN KIND = 'AccountLocked'; "
               "ELSE IF (K < 78) THEN KIND = 'PasswordChanged'; "
               "ELSE IF (K < 83) THEN BEGIN KIND = 'UserChanged'; U = 'SUPERVISOR'; END "
               "ELSE IF (K < 88) THEN BEGIN KIND = 'GrantGiven'; U = 'SUPERVISOR'; OBJ = 'CONST' || MOD(:I / 100, 200); END "
               "ELSE IF (K < 93) THEN BEGIN KIND = 'GrantTaken'; U = 'SUPERVISOR'; OBJ = 'CONST' || MOD(:I / 100, 200); END "
               "ELSE IF (K < 96) THEN BEGIN KIND = 'GroupChanged'; U = 'SUPERVISOR'; OBJ = 'group' || MOD(:I / 100, 50); END "
               "ELSE IF (K < 98) THEN BEGIN KIND = 'UserAdded'; U = 'SUPERVISOR'; END "
               "ELSE IF (K < 99) THEN BEGIN KIND = 'UserUnlocked'; U = 'SUPERVISOR'; END "
               "ELSE BEGIN KIND = 'PolicyChanged'; U = 'SUPERVISOR'; OBJ = NULL; END "
               "INSERT INTO AUDIT_TRAIL (EVENT_ID, EVENT_TIME, OS_USER, MACHINE, SEC_USER, PROGRAM, KIND, OBJECT_ID, "
               "OBJECT_NAME, DETAILS, PREV_HASH, HASH) VALUES (:I, DATEADD(-(%1 - :I) * 31536 MILLISECOND TO "
               "TIMESTAMP '2026-12-01 12:00:00'), 'clerk' || MOD(:I, 40), 'pc-' || MOD(:I, 60) || '.example.org', :U, "
               "IIF(MOD(:I, 3) = 0, 'SecDesk', 'OrderEntry'), :KIND, MOD(:I, %2) + 1, :OBJ, "
               "IIF(:K < 70, NULL, 'LOCKED: 0 -> 1' || ASCII_CHAR(10) || 'LOGINATTEMPTS: 3 -> 0' || ASCII_CHAR(10)), "
               "LPAD(HASH(:I - 1), 64, '0'), LPAD(HASH(:I), 64, '0')); "
               "I = I + 1; END "
               "UPDATE AUDIT_HEAD SET LAST_ID = %1, LAST_HASH = LPAD(HASH(%1), 64, '0'); END")
        .arg(kEvents)
        .arg(kUsers);
}

void prepareTrail()
{
    BenchDatabase::prepare(kDir, kAlias, {BenchDatabase::usersBlock(kUsers), trailBlock()});
    // A file generated with other indexes gets the trail's as jovsecadm upgrade gives them.
    if (TAuditTrail::upgrade(*TDatabase::connectionFor(kAlias)))
        std::fprintf(stderr, "brought the audit trail's indexes up to date\n");
    TDatabase::dropTemporaryConnections();
}

// Resident set size of this process, in bytes.
double residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).simplified().split(' ').value(0).toDouble() * 1024;
    return 0;
}

// An open viewer, shown, with its first screen painted.
std::unique_ptr<TFormAuditTrail> shownViewer()
{
    auto viewer = std::make_unique<TFormAuditTrail>();
    viewer->setDatabaseName(kAlias);
    viewer->FormShow();
    viewer->resize(1100, 650);
    viewer->show();
    viewer->DBGrid1->viewport()->repaint();
    return viewer;
}

QString cell(const TFormAuditTrail& viewer, int row, int column)
{
    return viewer.sqlAudit->data(viewer.sqlAudit->index(row, column)).toString();
}

void BM_AuditViewerFirstScreen(benchmark::State& state)
{
    double growth = 0;
    int reads = 0;
    for (auto _ : state) {
        const double before = residentBytes();
        auto viewer = shownViewer();
        benchmark::DoNotOptimize(cell(*viewer, 0, TAuditQuery::ColDetails));
        state.PauseTiming();
        growth = std::max(growth, residentBytes() - before);
        reads = viewer->sqlAudit->blockReads();
        if (viewer->sqlAudit->rowCount() != kEvents) {
            state.SkipWithError("the count is not the trail's");
            break;
        }
        viewer->close();
        viewer.reset();
        state.ResumeTiming();
    }
    state.counters["events"] = kEvents;
    state.counters["block_reads"] = reads;
    state.counters["growth_MB"] = growth / (1024 * 1024);
}
BENCHMARK(BM_AuditViewerFirstScreen)->Unit(benchmark::kMillisecond)->Iterations(5);

// One user action on the shown viewer, timed to its painted screen. growth_MB is the
// process's growth from before the viewer opened, after the action was repeated ten
// more times (memory must not grow with the distance travelled).
void timeAction(benchmark::State& state, const std::function<void(TFormAuditTrail&)>& reset,
                const std::function<void(TFormAuditTrail&)>& action)
{
    const double before = residentBytes();
    auto viewer = shownViewer();
    for (auto _ : state) {
        state.PauseTiming();
        reset(*viewer);
        viewer->DBGrid1->viewport()->repaint();
        state.ResumeTiming();
        action(*viewer);
        viewer->DBGrid1->viewport()->repaint();
        benchmark::DoNotOptimize(cell(*viewer, viewer->DBGrid1->rowAt(0), TAuditQuery::ColTime));
    }
    for (int i = 0; i < 10; ++i) {
        reset(*viewer);
        viewer->DBGrid1->viewport()->repaint();
        action(*viewer);
        viewer->DBGrid1->viewport()->repaint();
    }
    state.counters["events"] = viewer->sqlAudit->rowCount();
    state.counters["cached_blocks"] = viewer->sqlAudit->cachedBlocks();
    state.counters["growth_MB"] = (residentBytes() - before) / (1024 * 1024);
    viewer->close();
}

void toTop(TFormAuditTrail& viewer)
{
    viewer.DBGrid1->setCurrentIndex(viewer.sqlAudit->index(0, 0));
    viewer.DBGrid1->scrollToTop();
}

void BM_AuditViewerCtrlEnd(benchmark::State& state)
{
    timeAction(state, toTop, [&state](TFormAuditTrail& viewer) {
        QTest::keyClick(viewer.DBGrid1, Qt::Key_End, Qt::ControlModifier);
        if (viewer.DBGrid1->currentIndex().row() != kEvents - 1 || cell(viewer, kEvents - 1, 0) != "1")
            state.SkipWithError("Ctrl+End did not reach the oldest event");
    });
}
BENCHMARK(BM_AuditViewerCtrlEnd)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_AuditViewerScrollBarToMiddle(benchmark::State& state)
{
    timeAction(state, toTop, [](TFormAuditTrail& viewer) {
        QScrollBar* bar = viewer.DBGrid1->verticalScrollBar();
        bar->setValue(bar->maximum() / 2);
    });
}
BENCHMARK(BM_AuditViewerScrollBarToMiddle)->Unit(benchmark::kMillisecond)->Iterations(5);

// 0: one user (about 1,000 events), 1: one kind (GroupChanged, 30,000), 2: 31 days
// (about 85,000), 3: the object's name contains "group4" (about 6,600 events, which no
// index finds: the first screen reads from the newest until a block of them is found),
// 4: the same and Ctrl+End to the oldest of them (every event read once), 5: one kind
// until its count is known (the search's steps on the event loop), 6: a name no event
// has ("nobody"): what shows at once, and 7: the same until the search has looked at
// every event.
void BM_AuditViewerFiltered(benchmark::State& state)
{
    const int which = int(state.range(0));
    timeAction(
        state,
        [](TFormAuditTrail& viewer) {
            viewer.ckbxDates->setChecked(false);
            viewer.cbUser->setCurrentIndex(0);
            viewer.cbKind->setCurrentIndex(0);
            viewer.edObject->clear();
            viewer.applyFilter();
        },
        [which](TFormAuditTrail& viewer) {
            switch (which) {
            case 0:
                viewer.cbUser->setEditText(QStringLiteral("user77"));
                viewer.applyFilter();
                break;
            case 1:
                viewer.cbKind->setCurrentIndex(viewer.cbKind->findText(QStringLiteral("GroupChanged")));
                break;
            case 2:
                viewer.dedFrom->setDate(viewer.sqlAudit->lastDay().addDays(-130));
                viewer.dedTo->setDate(viewer.sqlAudit->lastDay().addDays(-100));
                viewer.ckbxDates->setChecked(true);
                break;
            case 3:
            case 4:
                viewer.edObject->setText(QStringLiteral("group4"));
                viewer.applyFilter();
                if (which == 4)
                    QTest::keyClick(viewer.DBGrid1, Qt::Key_End, Qt::ControlModifier);
                break;
            case 5:
                viewer.cbKind->setCurrentIndex(viewer.cbKind->findText(QStringLiteral("GroupChanged")));
                break;
            default:
                viewer.edObject->setText(QStringLiteral("nobody"));
                viewer.applyFilter();
                break;
            }
            if (which == 5 || which == 7)
                while (!viewer.sqlAudit->complete())
                    QCoreApplication::processEvents();
        });
}
BENCHMARK(BM_AuditViewerFiltered)->DenseRange(0, 7)->Unit(benchmark::kMillisecond)->Iterations(3);
} // namespace

int main(int argc, char** argv) { return BenchDatabase::run(argc, argv, kDir, prepareTrail); }
