// The transaction scope: commit on success, rollback otherwise, and run() that runs
// work lost to a concurrent writer again as a whole.
#include "database/EDatabaseError.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "database/TTransaction.h"
#include "tests/support/TestDatabase.h"

#include <gtest/gtest.h>

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
