// What the audit trail costs: the same refused logons and administrative changes on a
// security database with the trail and on one without it (1,000 users each), and
// audit verify over a trail of 1,000,000 events. The databases are generated once
// into cached files under /tmp; the trail with the events grows by what the logon and
// change benchmarks add to it, which is what a site sees.
#include "BenchDatabase.h"
#include "database/TAuditTrail.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "database/TTransaction.h"
#include "security/TJovCSsecure.h"
#include "tools/jovsecadm/TAdminTool.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <benchmark/benchmark.h>

#include <ctime>
#include <map>
#include <memory>

namespace {
const QString kDir = QStringLiteral("/tmp/jovsec-bench-audit");
const QString kTrail = QStringLiteral("JOVSEC_BENCH_AUDIT");
const QString kNoTrailDir = QStringLiteral("/tmp/jovsec-bench-audit-off");
const QString kNoTrail = QStringLiteral("JOVSEC_BENCH_AUDIT_OFF");
const QString kVerifyDir = QStringLiteral("/tmp/jovsec-bench-audit-verify");
const QString kVerify = QStringLiteral("JOVSEC_BENCH_AUDIT_VERIFY");
constexpr int kUsers = 1000;
constexpr int kEvents = 1000000;

void exec(QSqlQuery& query)
{
    if (!query.exec())
        qFatal("%s", qPrintable(query.lastError().text()));
}

QStringList smallDatabase()
{
    return {BenchDatabase::usersBlock(kUsers), BenchDatabase::passwordHistoryRows(), BenchDatabase::constantsBlock(100),
            BenchDatabase::programRow()};
}

// A chain of kEvents events, hashed as the programs hash them, added in one transaction.
void makeLongTrail()
{
    const QString marker = kVerifyDir + "/trail-ready";
    BenchDatabase::prepare(kVerifyDir, kVerify, smallDatabase());
    if (QFile::exists(marker))
        return;
    QElapsedTimer timer;
    timer.start();
    BenchDatabase::setForcedWrites(kVerifyDir + "/security.gdb", false);
    TDatabase& db = *TDatabase::connectionFor(kVerify);
    const char* const kinds[] = {TAuditKind::LogonAccepted, TAuditKind::LogonRefused, TAuditKind::UserChanged,
                                 TAuditKind::GrantGiven};
    TTransaction::run(db, [&] {
        QSqlQuery insert(db.sqlDatabase());
        insert.prepare("INSERT INTO AUDIT_TRAIL (EVENT_ID, EVENT_TIME, OS_USER, MACHINE, SEC_USER, PROGRAM, KIND, "
                       "OBJECT_ID, OBJECT_NAME, DETAILS, PREV_HASH, HASH) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        const QDateTime start(QDate(2025, 1, 1), QTime(0, 0));
        QByteArray previous = TAuditTrail::originHash();
        for (int i = 1; i <= kEvents; ++i) {
            const int user = i % kUsers + 1;
            TAuditEvent e = TAuditTrail::userEvent(kinds[i % 4], QString("user%1").arg(user), user,
                                                   i % 4 == 2 ? QString("User_Def1: a -> b%1\n").arg(i) : QString());
            e.id = i;
            e.time = start.addMSecs(qint64(i) * 20000);
            e.previousHash = previous;
            e.hash = e.computeHash();
            previous = e.hash;
            for (const QVariant& value :
                 {QVariant(e.id), QVariant(e.time), QVariant(e.osUser), QVariant(e.machine), QVariant(e.securityUser),
                  QVariant(e.program), QVariant(e.kind), QVariant(*e.objectId), QVariant(e.objectName),
                  e.details.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(e.details),
                  QVariant(QString::fromLatin1(e.previousHash)), QVariant(QString::fromLatin1(e.hash))})
                insert.addBindValue(value);
            exec(insert);
        }
        QSqlQuery head(db.sqlDatabase());
        head.prepare("UPDATE AUDIT_HEAD SET LAST_ID = ?, LAST_HASH = ? WHERE HEAD_ID = 1");
        head.addBindValue(kEvents);
        head.addBindValue(QString::fromLatin1(previous));
        exec(head);
    });
    TDatabase::dropTemporaryConnections();
    BenchDatabase::setForcedWrites(kVerifyDir + "/security.gdb", true);
    QFile(marker).open(QIODevice::WriteOnly);
    std::fprintf(stderr, "generated %d audit events in %.1f s\n", kEvents, timer.elapsed() / 1000.0);
}

void prepareDatabases()
{
    BenchDatabase::prepare(kDir, kTrail, smallDatabase());
    BenchDatabase::prepare(kNoTrailDir, kNoTrail, smallDatabase());
    TQuery q;
    q.setDatabaseName(kNoTrail);
    q.setSQL("select count(*) from RDB$RELATIONS where RDB$RELATION_NAME = 'AUDIT_TRAIL'");
    q.open();
    if (q.field(0)->asInteger() != 0) {
        q.close();
        q.setSQL("drop table AUDIT_TRAIL");
        q.execSQL();
        q.setSQL("drop table AUDIT_HEAD");
        q.execSQL();
    }
    TDatabase::dropTemporaryConnections();
    makeLongTrail();
    // Files generated with other indexes get the trail's as jovsecadm upgrade gives them.
    for (const QString& alias : {kTrail, kVerify})
        TAuditTrail::upgrade(*TDatabase::connectionFor(alias));
    TDatabase::dropTemporaryConnections();
}

std::map<QString, std::unique_ptr<TJovCSsecure>> g_components;

TJovCSsecure& component(const QString& alias)
{
    std::unique_ptr<TJovCSsecure>& slot = g_components[alias];
    if (!slot) {
        slot = std::make_unique<TJovCSsecure>();
        slot->setAlias(alias);
        slot->setPassword("masterkey");
        slot->setOptions({});
        slot->Loaded();
    }
    return *slot;
}

// A wrong password or a name nobody has: without the trail LogonEx only reads; with it,
// one transaction adds the refusal's event.
void refusedLogon(benchmark::State& state, const QString& alias, const QString& name)
{
    TJovCSsecure& c = component(alias);
    for (auto _ : state)
        if (c.LogonEx(name, "wrong"))
            state.SkipWithError("accepted");
}
void BM_RefusedLogon_WrongPassword_NoTrail(benchmark::State& s) { refusedLogon(s, kNoTrail, "user7"); }
void BM_RefusedLogon_WrongPassword_Trail(benchmark::State& s) { refusedLogon(s, kTrail, "user7"); }
void BM_RefusedLogon_UnknownName_NoTrail(benchmark::State& s) { refusedLogon(s, kNoTrail, "nobody"); }
void BM_RefusedLogon_UnknownName_Trail(benchmark::State& s) { refusedLogon(s, kTrail, "nobody"); }
BENCHMARK(BM_RefusedLogon_WrongPassword_NoTrail)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_RefusedLogon_WrongPassword_Trail)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_RefusedLogon_UnknownName_NoTrail)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_RefusedLogon_UnknownName_Trail)->Unit(benchmark::kMillisecond)->MinTime(2);

// A user's field changed, with its event when the database keeps a trail: the engine
// layer's audited transaction, as every program makes it. Unaudited, the same change as
// programs made it before the trail existed: the update in a transaction, nobody asking
// whether the database keeps a trail.
void engineChange(benchmark::State& state, const QString& alias, bool audited = true)
{
    TDatabase& db = *TDatabase::connectionFor(alias);
    int i = 0;
    for (auto _ : state) {
        const QString value = QString("v%1").arg(++i);
        const auto change = [&] {
            db.performWaiting([&] {
                QSqlQuery update(db.sqlDatabase());
                update.prepare("UPDATE USERS SET User_Def1 = ? WHERE USER_ID = 7");
                update.addBindValue(value);
                exec(update);
            });
        };
        if (!audited) {
            TTransaction::run(db, change);
            continue;
        }
        TAuditTrail::run(db, [&] {
            change();
            TAuditTrail::append(db, TAuditTrail::userEvent(TAuditKind::UserChanged, "user7", 7,
                                                           TAuditTrail::change("User_Def1", "x", value)));
        });
    }
}
void BM_UserChange_Engine_Bare(benchmark::State& s) { engineChange(s, kNoTrail, false); }
BENCHMARK(BM_UserChange_Engine_Bare)->Unit(benchmark::kMillisecond)->MinTime(2);
void BM_UserChange_Engine_NoTrail(benchmark::State& s) { engineChange(s, kNoTrail); }
void BM_UserChange_Engine_Trail(benchmark::State& s) { engineChange(s, kTrail); }
BENCHMARK(BM_UserChange_Engine_NoTrail)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_UserChange_Engine_Trail)->Unit(benchmark::kMillisecond)->MinTime(2);

// The same audited change while another program keeps an old snapshot open (a backup,
// an isql session left open), so that the engine collects no old record versions: the
// first and the last 500 of 3,000 changes, which should cost alike.
void BM_UserChange_Engine_Trail_SnapshotHeld(benchmark::State& state)
{
    TDatabase& db = *TDatabase::connectionFor(kTrail);
    QSqlDatabase held = QSqlDatabase::cloneDatabase(db.sqlDatabase(), QStringLiteral("bench-held-snapshot"));
    if (!held.open() || !held.transaction())
        qFatal("%s", qPrintable(held.lastError().text()));
    {
        QSqlQuery look(held);
        look.setForwardOnly(true);
        if (!look.exec(QStringLiteral("SELECT LAST_ID FROM AUDIT_HEAD")) || !look.next())
            qFatal("%s", qPrintable(look.lastError().text()));
    }
    constexpr int kChanges = 3000, kSample = 500;
    double first = 0, last = 0;
    for (auto _ : state) {
        for (int i = 0; i < kChanges; ++i) {
            timespec start {}, end {};
            clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &start);
            TAuditTrail::run(db, [&] {
                QSqlQuery update(db.sqlDatabase());
                update.prepare("UPDATE USERS SET User_Def1 = ? WHERE USER_ID = 9");
                update.addBindValue(QString("h%1").arg(i));
                exec(update);
                TAuditTrail::append(db, TAuditTrail::userEvent(TAuditKind::UserChanged, "user9", 9));
            });
            clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &end);
            const double ms = double(end.tv_sec - start.tv_sec) * 1e3 + double(end.tv_nsec - start.tv_nsec) / 1e6;
            if (i < kSample)
                first += ms;
            else if (i >= kChanges - kSample)
                last += ms;
        }
    }
    held.rollback();
    held.close();
    state.counters["first_cpu_ms"] = first / (kSample * double(state.iterations()));
    state.counters["last_cpu_ms"] = last / (kSample * double(state.iterations()));
}
BENCHMARK(BM_UserChange_Engine_Trail_SnapshotHeld)->Unit(benchmark::kMillisecond)->Iterations(1);

// The same change as one whole jovsecadm command: connect, read, write, answer.
void adminChange(benchmark::State& state, const QString& alias)
{
    int i = 0;
    QString out, err;
    QTextStream o(&out), e(&err);
    for (auto _ : state) {
        if (TAdminTool::run({"--alias", alias, "user", "set", "user8", "--field1", QString("v%1").arg(++i)}, o, e) != 0)
            state.SkipWithError(qPrintable(err));
        out.clear();
    }
}
void BM_UserChange_Jovsecadm_NoTrail(benchmark::State& s) { adminChange(s, kNoTrail); }
void BM_UserChange_Jovsecadm_Trail(benchmark::State& s) { adminChange(s, kTrail); }
BENCHMARK(BM_UserChange_Jovsecadm_NoTrail)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_UserChange_Jovsecadm_Trail)->Unit(benchmark::kMillisecond)->MinTime(2);

void BM_AuditVerify(benchmark::State& state)
{
    TDatabase& db = *TDatabase::connectionFor(kVerify);
    qint64 events = 0;
    for (auto _ : state) {
        const TAuditTrail::Verdict verdict = TAuditTrail::verify(db);
        if (verdict.firstBroken || verdict.events != kEvents)
            state.SkipWithError(qPrintable(verdict.problem));
        events += verdict.events;
    }
    state.counters["events_per_s"] = benchmark::Counter(double(events), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AuditVerify)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime()->MeasureProcessCPUTime();
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    BenchDatabase::setUp(kDir);
    QApplication app(argc, argv);
    BenchDatabase::printMessages();
    prepareDatabases();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_components.clear();
    TDatabase::dropTemporaryConnections();
    return 0;
}
