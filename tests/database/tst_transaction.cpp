// The transaction scope: commit on success, rollback otherwise, and run() that runs
// work lost to a concurrent writer again as a whole.
#include "database/EDatabaseError.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "database/TTransaction.h"
#include "tests/support/TestDatabase.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <memory>

namespace {
const QString kConflict = "deadlock update conflicts with concurrent update concurrent transaction number is 42";

void insertUser(const QString& alias, const QString& name)
{
    TQuery q;
    q.setDatabaseName(alias);
    q.setSQL("insert into USERS (USER_NAME, User_PASSWORD) values (:n, 'pw')");
    q.setParamString("n", name);
    q.execSQL();
}
} // namespace

TEST(Transaction, CommitsOnlyWhenToldAndRollsBackAtTheEndOfItsScope)
{
    TestDatabase db;
    {
        TTransaction t(db.alias());
        insertUser(db.alias(), "Kept");
        t.commit();
    }
    {
        TTransaction t(db.alias());
        insertUser(db.alias(), "Dropped"); // no commit: the scope ends
    }
    try {
        TTransaction t(db.alias());
        insertUser(db.alias(), "Thrown");
        throw EDatabaseError("stop");
    } catch (const EDatabaseError&) { }
    EXPECT_EQ(db.scalar("select list(USER_NAME) from USERS"), "Kept");
    EXPECT_FALSE(TDatabase::connectionFor(db.alias())->inTransaction());
}

TEST(Transaction, RunRepeatsTheWholeWorkAfterAConflictOnly)
{
    TestDatabase db;
    int runs = 0;
    TTransaction::run(db.alias(), [&] {
        ++runs;
        insertUser(db.alias(), QString("Try%1").arg(runs));
        if (runs < 3)
            throw EDatabaseError(kConflict);
    });
    EXPECT_EQ(runs, 3);
    // The lost tries left nothing behind.
    EXPECT_EQ(db.scalar("select list(USER_NAME) from USERS"), "Try3");

    // Any other failure is passed on at once, with nothing kept.
    runs = 0;
    try {
        TTransaction::run(db.alias(), [&] {
            ++runs;
            insertUser(db.alias(), "Again");
            insertUser(db.alias(), QString(60, 'x')); // longer than the column
        });
        FAIL() << "the failure was swallowed";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.reason(), EDatabaseError::Reason::Engine) << qPrintable(e.message());
    }
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(db.count("USERS"), 1);
}

TEST(Transaction, AStatementRunAgainTakesItsNewValuesInItsTransactionAndIsPreparedAgainInTheNext)
{
    TestDatabase db;
    TQuery insert;
    insert.setDatabaseName(db.alias());
    insert.setSQL("insert into USERS (USER_NAME, User_PASSWORD) values (:n, 'pw')");
    int runs = 0;
    TTransaction::run(db.alias(), [&] {
        ++runs;
        for (const char* name : {"Ann", "Bob"}) {
            insert.setParam("n", name);
            insert.execSQL();
        }
        if (runs == 1)
            throw EDatabaseError(kConflict); // rolled back; runs again in a transaction of its own
    });
    TTransaction::run(db.alias(), [&] {
        insert.setParam("n", "Cy");
        insert.execSQL();
    });
    insert.setParam("n", "Di");
    insert.execSQL(); // in no transaction, committed on its own
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(db.rows("select USER_NAME from USERS order by USER_ID"), QStringList({"Ann", "Bob", "Cy", "Di"}));
}

TEST(Transaction, ConflictsThatNeverEndAreGivenUpOn)
{
    TestDatabase db;
    int runs = 0;
    EXPECT_THROW(TTransaction::run(db.alias(),
                                   [&] {
                                       ++runs;
                                       throw EDatabaseError(kConflict);
                                   }),
                 EDatabaseError);
    EXPECT_EQ(runs, TDatabase::kConflictAttempts);
}

// Another program's transaction holds a row (it is stopped half-way through its write).
class LockedRow : public ::testing::Test {
protected:
    void SetUp() override
    {
        userId = db.addUser("Held", "pw");
        holder = std::make_unique<HeldRows>(
            db, QString("update USERS set LOGINATTEMPTS = 2 where USER_ID = %1").arg(userId));
        TDatabase::connectionFor(db.alias())->setLockTimeout(300);
    }
    void release() { holder->release(); }

    TestDatabase db;
    std::unique_ptr<HeldRows> holder;
    int userId = 0;
};

TEST_F(LockedRow, AWriteGivesUpAfterTheLockTimeoutAndTheConnectionGoesOn)
{
    TQuery update;
    update.setDatabaseName(db.alias());
    update.setSQL(QString("update USERS set LOCKED = 1 where USER_ID = %1").arg(userId));
    QElapsedTimer waited;
    waited.start();
    try {
        update.execSQL();
        FAIL() << "the write did not wait for the held row";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.reason(), EDatabaseError::Reason::LockTimeout) << qPrintable(e.message());
        EXPECT_EQ(e.message(), "lock time-out on wait transaction");
    }
    // Not before its time, and not forever (without a limit it waits as long as the holder).
    EXPECT_GE(waited.elapsed(), 250);
    EXPECT_LT(waited.elapsed(), 30000);

    // The cancel ended that wait only: the next work on the connection runs.
    EXPECT_EQ(db.scalar(QString("select LOCKED from USERS where USER_ID = %1").arg(userId)), "0");
    release();
    update.execSQL();
    EXPECT_EQ(db.scalar(QString("select LOCKED from USERS where USER_ID = %1").arg(userId)), "1");
    TQuery read;
    read.setDatabaseName(db.alias());
    read.setSQL("select count(*) from USERS");
    read.open();
    EXPECT_EQ(read.field(0)->asInteger(), 1);
}

TEST_F(LockedRow, ASelectThatLocksGivesUpInsideATransactionAndNothingIsKept)
{
    int runs = 0;
    try {
        TTransaction::run(db.alias(), [&] {
            ++runs;
            insertUser(db.alias(), "Written");
            TQuery locking;
            locking.setDatabaseName(db.alias());
            locking.setSQL(QString("select * from USERS where USER_ID = %1 with lock").arg(userId));
            locking.open();
        });
        FAIL() << "the locking select did not wait for the held row";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.reason(), EDatabaseError::Reason::LockTimeout) << qPrintable(e.message());
    }
    EXPECT_EQ(runs, 1); // a timeout is not a conflict to try again
    release();
    EXPECT_EQ(db.count("USERS"), 1);
    // The connection is usable again for a transaction of its own.
    TTransaction::run(db.alias(), [&] { insertUser(db.alias(), "After"); });
    EXPECT_EQ(db.count("USERS"), 2);
}
