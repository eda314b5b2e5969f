// The audit trail's chain: verify names the first event changed, deleted or inserted
// behind the programs' back; an event commits with its change or not at all; many
// programs writing at once leave one chain.
#include "database/EDatabaseError.h"
#include "database/TAuditTrail.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "database/TTransaction.h"
#include "tests/support/TestDatabase.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace {
TDatabase& connection(const TestDatabase& db) { return *TDatabase::connectionFor(db.alias()); }

void addEvents(const TestDatabase& db, int count)
{
    for (int i = 1; i <= count; ++i) {
        TAuditEvent event = TAuditTrail::event("UserChanged", "SUPERVISOR");
        event.objectId = i;
        event.objectName = QString("User %1").arg(i);
        event.details = QString("User_Def1: a -> b%1").arg(i);
        TAuditTrail::record(connection(db), event);
    }
}

// Events as the programs write them, chained and hashed, but at the times given, in
// one transaction.
void writeEvents(const TestDatabase& db, const std::vector<TAuditEvent>& events)
{
    TDatabase& db1 = connection(db);
    TTransaction::run(db1, [&] {
        QSqlQuery insert(db1.sqlDatabase());
        ASSERT_TRUE(insert.prepare("insert into AUDIT_TRAIL (EVENT_ID, EVENT_TIME, OS_USER, MACHINE, SEC_USER, "
                                   "PROGRAM, KIND, OBJECT_ID, OBJECT_NAME, DETAILS, PREV_HASH, HASH) values (?, ?, "
                                   "?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        QByteArray previous = TAuditTrail::originHash();
        qint64 id = 0;
        for (TAuditEvent e : events) {
            e.id = ++id;
            e.previousHash = previous;
            e.hash = previous = e.computeHash();
            for (const QVariant& value :
                 {QVariant(e.id), QVariant(e.time), QVariant(e.osUser), QVariant(e.machine), QVariant(e.securityUser),
                  QVariant(e.program), QVariant(e.kind),
                  e.objectId ? QVariant(*e.objectId) : QVariant(QMetaType(QMetaType::Int)), QVariant(e.objectName),
                  QVariant(e.details), QVariant(QString::fromLatin1(e.previousHash)),
                  QVariant(QString::fromLatin1(e.hash))})
                insert.addBindValue(value);
            ASSERT_TRUE(insert.exec()) << qPrintable(insert.lastError().text());
        }
        QSqlQuery head(db1.sqlDatabase());
        ASSERT_TRUE(head.exec(QString("update AUDIT_HEAD set LAST_ID = %1, LAST_HASH = '%2'")
                                  .arg(id)
                                  .arg(QString::fromLatin1(previous))));
    });
}

TAuditEvent eventNumber(const TestDatabase& db, qint64 id)
{
    TAuditEvent found;
    TAuditTrail::read(connection(db), {}, [&](const TAuditEvent& event) {
        if (event.id == id)
            found = event;
        return event.id < id;
    });
    return found;
}
} // namespace

TEST(AuditTrail, VerifyNamesTheFirstEventChangedDeletedOrInsertedBehindTheProgramsBack)
{
    struct Tamper {
        const char* what;
        std::function<void(const TestDatabase&)> apply;
        qint64 firstBroken;
    };
    const std::vector<Tamper> tampers = {
        {"details changed",
         [](const TestDatabase& db) { db.exec("update AUDIT_TRAIL set DETAILS = 'x' where EVENT_ID = 3"); }, 3},
        {"time changed",
         [](const TestDatabase& db) {
             db.exec("update AUDIT_TRAIL set EVENT_TIME = EVENT_TIME - 1 where EVENT_ID = 2");
         },
         2},
        {"middle deleted", [](const TestDatabase& db) { db.exec("delete from AUDIT_TRAIL where EVENT_ID = 3"); }, 3},
        {"newest deleted", [](const TestDatabase& db) { db.exec("delete from AUDIT_TRAIL where EVENT_ID = 5"); }, 5},
        {"oldest deleted", [](const TestDatabase& db) { db.exec("delete from AUDIT_TRAIL where EVENT_ID = 1"); }, 1},
        {"forged event appended",
         [](const TestDatabase& db) {
             const TAuditEvent last = eventNumber(db, 5);
             db.exec(QString("insert into AUDIT_TRAIL (EVENT_ID, EVENT_TIME, KIND, PREV_HASH, HASH) values (6, "
                             "current_timestamp, 'UserDeleted', '%1', '%1')")
                         .arg(QString::fromLatin1(last.hash)));
             db.exec(QString("update AUDIT_HEAD set LAST_ID = 6"));
         },
         6},
        {"event rewritten with a sound hash of its own",
         [](const TestDatabase& db) {
             TAuditEvent event = eventNumber(db, 2);
             event.details = "User_Def1: a -> nothing happened";
             db.exec(QString("update AUDIT_TRAIL set DETAILS = '%1', HASH = '%2' where EVENT_ID = 2")
                         .arg(event.details, QString::fromLatin1(event.computeHash())));
         },
         2},
    };
    for (const Tamper& tamper : tampers) {
        TestDatabase db;
        addEvents(db, 5);
        const TAuditTrail::Verdict sound = TAuditTrail::verify(connection(db));
        ASSERT_EQ(sound.firstBroken, 0) << qPrintable(sound.problem);
        ASSERT_EQ(sound.events, 5);
        EXPECT_EQ(sound.headHash, TAuditTrail::head(connection(db)).second);

        tamper.apply(db);
        const TAuditTrail::Verdict verdict = TAuditTrail::verify(connection(db));
        EXPECT_EQ(verdict.firstBroken, tamper.firstBroken) << tamper.what << ": " << qPrintable(verdict.problem);
        EXPECT_TRUE(verdict.problem.contains(QString("#%1").arg(tamper.firstBroken))) << qPrintable(verdict.problem);
        TDatabase::dropTemporaryConnections();
    }
}

TEST(AuditTrail, VerifyHashesEveryByteOfLongDetailsAndOddEventsAnywhereInALongTrail)
{
    TestDatabase db;
    std::vector<TAuditEvent> events;
    const QDateTime start(QDate(2025, 3, 4), QTime(5, 6, 7, 8));
    for (int i = 1; i <= 700; ++i) {
        TAuditEvent event = TAuditTrail::event("UserChanged", "SUPERVISOR");
        event.time = start.addMSecs(qint64(i - 1) * 1001);
        event.objectId = i;
        event.objectName = QString("User %1").arg(i);
        event.details = QString("User_Def1: a -> b%1\n").arg(i);
        events.push_back(event);
    }
    events[9].objectId.reset();
    events[9].objectName = "Zoë 名前";
    events[299].details = QString(1000, 'x') + '\n';
    events[599].details = QString("名").repeated(4000); // 12,000 bytes, as long as the column holds
    writeEvents(db, events);
    const TAuditTrail::Verdict sound = TAuditTrail::verify(connection(db));
    ASSERT_EQ(sound.firstBroken, 0) << qPrintable(sound.problem);
    EXPECT_EQ(sound.events, 700);
    EXPECT_EQ(sound.headHash, TAuditTrail::head(connection(db)).second);

    db.exec("update AUDIT_TRAIL set DETAILS = substring(DETAILS from 1 for 3999) || '各' where EVENT_ID = 600");
    const TAuditTrail::Verdict verdict = TAuditTrail::verify(connection(db));
    EXPECT_EQ(verdict.firstBroken, 600) << qPrintable(verdict.problem);
    EXPECT_EQ(verdict.events, 600);
    EXPECT_EQ(verdict.problem, "Event #600 was changed.");
}

TEST(AuditTrail, AnEventCommitsWithItsChangeOrNotAtAllAndHostileTextRoundTrips)
{
    TestDatabase db;
    TDatabase& db1 = connection(db);
    try {
        TTransaction::run(db1, [&] {
            db1.sqlDatabase().exec("insert into USERS (USER_NAME, User_PASSWORD) values ('Lost', 'pw')");
            TAuditTrail::append(db1, TAuditTrail::event("UserAdded", "SUPERVISOR"));
            throw EDatabaseError("the change failed after its event was written");
        });
    } catch (const EDatabaseError&) { }
    EXPECT_EQ(db.count("USERS"), 0);
    EXPECT_EQ(db.count("AUDIT_TRAIL"), 0);
    EXPECT_EQ(TAuditTrail::head(db1).first, 0);

    // Names and details no spreadsheet or parser should trip on are kept exactly.
    TAuditEvent odd = TAuditTrail::event("GroupAdded", "=cmd|' /C calc'!A0");
    odd.objectName = "O'Brien, \"Ann\"\nZoë 名前";
    odd.details = "GROUP_NAME: 11:x -> 2:yy";
    TAuditTrail::record(db1, odd);
    TAuditTrail::record(db1, TAuditTrail::event("LogCleared", "SUPERVISOR"));
    const TAuditTrail::Verdict verdict = TAuditTrail::verify(db1);
    EXPECT_EQ(verdict.firstBroken, 0) << qPrintable(verdict.problem);
    EXPECT_EQ(verdict.events, 2);
    const TAuditEvent back = eventNumber(db, 1);
    EXPECT_EQ(back.objectName, odd.objectName);
    EXPECT_EQ(back.securityUser, odd.securityUser);

    // Without its head row the trail takes no event, rather than one numbered 0.
    db.exec("delete from AUDIT_HEAD");
    EXPECT_THROW(TAuditTrail::record(db1, TAuditTrail::event("UserAdded", "SUPERVISOR")), EDatabaseError);
    EXPECT_EQ(db.count("AUDIT_TRAIL"), 2);
}

TEST(AuditTrail, ATransactionRunAgainChainsItsEventsFromTheHeadItTakesAgain)
{
    TestDatabase db;
    TDatabase& db1 = connection(db);
    addEvents(db, 1);
    // Three events in one transaction, which loses to a concurrent writer once after
    // writing two of them and runs again.
    int tries = 0;
    TAuditTrail::run(db1, [&] {
        ++tries;
        for (int i = 0; i < 3; ++i) {
            TAuditTrail::append(db1, TAuditTrail::event("GrantGiven", "SUPERVISOR"));
            if (tries == 1 && i == 1)
                throw EDatabaseError("update conflicts with concurrent update", EDatabaseError::Reason::Conflict);
        }
    });
    EXPECT_EQ(tries, 2);
    // A transaction that appends nothing leaves the head as it was.
    TAuditTrail::run(db1, [] {});
    addEvents(db, 1);
    const TAuditTrail::Verdict verdict = TAuditTrail::verify(db1);
    EXPECT_EQ(verdict.firstBroken, 0) << qPrintable(verdict.problem);
    EXPECT_EQ(verdict.events, 5);
    EXPECT_EQ(TAuditTrail::head(db1), std::make_pair(qint64(5), verdict.headHash));
}

// The head row is updated once a transaction, whatever it appends: a row updated twice
// in one transaction costs the engine a walk over all its old versions, which nobody
// collects while another program keeps an old snapshot open (a backup, an isql session),
// and every event would then cost more than the one before. Counted by the engine's
// own statistics of the connection: rows updated.
TEST(AuditTrail, EachTransactionUpdatesTheHeadRowOnce)
{
    TestDatabase db;
    TDatabase& db1 = connection(db);
    addEvents(db, 1);
    const auto updates = [&] {
        QSqlQuery stats(db1.sqlDatabase());
        EXPECT_TRUE(stats.exec("select r.MON$RECORD_UPDATES from MON$ATTACHMENTS a join MON$RECORD_STATS r "
                               "on r.MON$STAT_ID = a.MON$STAT_ID where a.MON$ATTACHMENT_ID = CURRENT_CONNECTION"))
            << stats.lastError().text().toStdString();
        return stats.next() ? stats.value(0).toLongLong() : -1;
    };
    qint64 before = updates();
    TAuditTrail::record(db1, TAuditTrail::event("LogonRefused", "ann"));
    EXPECT_EQ(updates() - before, 1) << "an event on its own";
    before = updates();
    TAuditTrail::run(db1, [&] {
        for (int i = 0; i < 3; ++i)
            TAuditTrail::append(db1, TAuditTrail::event("GrantGiven", "SUPERVISOR"));
    });
    EXPECT_EQ(updates() - before, 1) << "three events in one transaction";
    before = updates();
    TTransaction::run(db1, [&] { TAuditTrail::append(db1, TAuditTrail::event("UserAdded", "SUPERVISOR")); });
    EXPECT_EQ(updates() - before, 1) << "an event in a transaction of another kind";
    const TAuditTrail::Verdict verdict = TAuditTrail::verify(db1);
    EXPECT_EQ(verdict.firstBroken, 0) << qPrintable(verdict.problem);
    EXPECT_EQ(verdict.events, 6);
}

// A writer that comes while another works waits for its turn before its own work,
// rather than making the one working lose its work at the end: the setup editor's
// change cannot simply run again.
TEST(AuditTrail, AWriterThatComesDuringAnothersWorkWaitsForItsTurn)
{
    TestDatabase db;
    TDatabase& db1 = connection(db);
    addEvents(db, 1);
    QProcess peer;
    int tries = 0;
    TAuditTrail::run(db1, [&] {
        if (++tries == 1) {
            peer.start(QCoreApplication::applicationDirPath() + "/jovsec_dbpeer", {"--audit", db.alias(), "1"});
            ASSERT_TRUE(peer.waitForStarted());
            // Long enough for the other program to reach its turn and wait there.
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        }
        TAuditTrail::append(db1, TAuditTrail::event("GrantGiven", "SUPERVISOR"));
    });
    ASSERT_TRUE(peer.waitForFinished(60000));
    EXPECT_EQ(peer.exitCode(), 0) << peer.readAllStandardError().toStdString();
    EXPECT_EQ(tries, 1);
    EXPECT_EQ(eventNumber(db, 2).kind, "GrantGiven") << "the one working comes first";
    EXPECT_EQ(eventNumber(db, 3).kind, "UserAdded");
    EXPECT_EQ(TAuditTrail::verify(db1).firstBroken, 0);
}

TEST(AuditTrail, AnEventOnItsOwnIsWrittenAgainAfterAWaitGivenUpAndAConnectionReopened)
{
    TestDatabase db;
    TDatabase& db1 = connection(db);
    db1.setLockTimeout(300);
    addEvents(db, 1);
    {
        // Another program stopped while it held the head row: the event waits, then gives up.
        HeldRows holder(db, "update AUDIT_HEAD set LAST_ID = LAST_ID");
        try {
            TAuditTrail::record(db1, TAuditTrail::event("LogonRefused", "Ann"));
            FAIL() << "the event did not wait for the held head row";
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.reason(), EDatabaseError::Reason::LockTimeout) << qPrintable(e.message());
        }
    }
    addEvents(db, 1);
    // A connection opened again holds none of the statements of the one before.
    db1.close();
    addEvents(db, 1);
    TAuditTrail::record(db1, TAuditTrail::event("LogonRefused", "Bob"));
    const TAuditTrail::Verdict verdict = TAuditTrail::verify(db1);
    EXPECT_EQ(verdict.firstBroken, 0) << qPrintable(verdict.problem);
    EXPECT_EQ(verdict.events, 4);
    EXPECT_EQ(eventNumber(db, 4).securityUser, "Bob");
}

TEST(AuditTrail, ADatabaseWithoutTheTrailWorksAsBeforeUntilUpgraded)
{
    TestDatabase db;
    db.exec("drop table AUDIT_TRAIL");
    db.exec("drop table AUDIT_HEAD");
    TDatabase::dropTemporaryConnections();
    TDatabase& db1 = connection(db);
    EXPECT_FALSE(TAuditTrail::present(db1));
    TAuditTrail::record(db1, TAuditTrail::event("UserAdded", "SUPERVISOR")); // nothing to write into
    EXPECT_TRUE(TAuditTrail::upgrade(db1));
    EXPECT_FALSE(TAuditTrail::upgrade(db1));
    addEvents(db, 2);
    EXPECT_EQ(TAuditTrail::verify(db1).events, 2);
}

TEST(AuditTrail, AnEventIsNotStampedBeforeTheOneItFollowsUnlessThatClockIsPlainlyWrong)
{
    // A program whose clock is behind another's writes after it: the days of the trail
    // must stay ranges of event numbers, on every path that writes an event.
    TestDatabase db;
    TDatabase& db1 = connection(db);
    TAuditTrail::record(db1, TAuditTrail::event("UserAdded", "SUPERVISOR"));
    db.exec("update AUDIT_TRAIL set EVENT_TIME = dateadd(3 minute to EVENT_TIME)");
    const QDateTime ahead = eventNumber(db, 1).time;
    ASSERT_GT(ahead, QDateTime::currentDateTime());
    TAuditTrail::record(db1, TAuditTrail::event("LogonRefused", "ANN"));
    TAuditTrail::run(db1, [&] {
        TAuditTrail::append(db1, TAuditTrail::event("UserChanged", "SUPERVISOR"));
        TAuditTrail::append(db1, TAuditTrail::event("GrantGiven", "SUPERVISOR"));
    });
    TTransaction::run(db1, [&] { TAuditTrail::append(db1, TAuditTrail::event("UserDeleted", "SUPERVISOR")); });
    for (qint64 id = 2; id <= 5; ++id)
        EXPECT_EQ(eventNumber(db, id).time, ahead) << id;
    // A clock a day ahead is wrong, not disagreeing: the events after it keep their time.
    db.exec("update AUDIT_TRAIL set EVENT_TIME = dateadd(1 day to EVENT_TIME) where EVENT_ID = 5");
    const QDateTime before = QDateTime::currentDateTime();
    TAuditTrail::record(db1, TAuditTrail::event("LogonRefused", "ANN"));
    const QDateTime own = eventNumber(db, 6).time;
    EXPECT_GE(own, before.addMSecs(-1));
    EXPECT_LE(own, QDateTime::currentDateTime());
    // The stamp is part of what the hash covers: the events written after it verify.
    const TAuditTrail::Verdict verdict = TAuditTrail::verify(db1);
    EXPECT_EQ(verdict.firstBroken, 1) << qPrintable(verdict.problem);
}

TEST(AuditTrail, AConnectionOpenedAgainOnAnotherDatabaseAsksAgainWhetherItKeepsATrail)
{
    // SecDesk keeps one connection and opens it on whichever database is chosen.
    TestDatabase withTrail;
    TestDatabase without(true, QStringLiteral("JOVSEC_TEST_NOTRAIL"));
    without.exec("drop table AUDIT_TRAIL");
    without.exec("drop table AUDIT_HEAD");
    TDatabase::dropTemporaryConnections();
    TDatabase named;
    named.setDatabaseName(QStringLiteral("REOPENED"));
    named.setLoginPrompt(false);
    named.setAliasName(withTrail.alias());
    named.open();
    EXPECT_TRUE(TAuditTrail::present(named));
    named.close();
    named.setAliasName(without.alias());
    named.open();
    EXPECT_FALSE(TAuditTrail::present(named));
    EXPECT_NO_THROW(TAuditTrail::record(named, TAuditTrail::event("UserAdded", "SUPERVISOR")));
    named.close();
    named.setAliasName(withTrail.alias());
    named.open();
    TAuditTrail::record(named, TAuditTrail::event("UserAdded", "SUPERVISOR"));
    EXPECT_EQ(withTrail.count("AUDIT_TRAIL"), 1);
}

TEST(AuditTrail, EightProgramsWritingAtOnceLeaveOneValidChain)
{
    TestDatabase db;
    const int perPeer = 25;
    std::vector<std::unique_ptr<QProcess>> peers;
    for (int i = 0; i < 8; ++i) {
        peers.push_back(std::make_unique<QProcess>());
        peers.back()->start(QCoreApplication::applicationDirPath() + "/jovsec_dbpeer",
                            {"--audit", db.alias(), QString::number(perPeer)});
    }
    for (auto& peer : peers) {
        ASSERT_TRUE(peer->waitForFinished(300000));
        EXPECT_EQ(peer->exitCode(), 0) << peer->readAllStandardError().toStdString();
    }
    const TAuditTrail::Verdict verdict = TAuditTrail::verify(connection(db));
    EXPECT_EQ(verdict.firstBroken, 0) << qPrintable(verdict.problem);
    EXPECT_EQ(verdict.events, 8 * perPeer);
    EXPECT_EQ(db.count("USERS"), 8 * perPeer);
}
