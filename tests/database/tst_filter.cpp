// Filters find whole values without regard to case, and an escaped quote never
// widens a match.
#include "database/EDatabaseError.h"
#include "database/TFilter.h"
#include "database/TQuery.h"
#include "tests/support/TestDatabase.h"

#include <gtest/gtest.h>

namespace {
int countMatches(TQuery& q, const QString& filter)
{
    q.setFilter(filter);
    q.setFiltered(true);
    const int n = q.recordCount();
    q.setFiltered(false);
    return n;
}
} // namespace

TEST(Filter, EqualsEscapesQuotes)
{
    EXPECT_EQ(TFilter::equals("User_Name", "O'Brien"), "User_Name='O''Brien'");
    EXPECT_EQ(TFilter::equals("User_ID", 5), "User_ID='5'");
}

TEST(Filter, MalformedExpressionsAreRefusedWithAClearMessage)
{
    for (const char* bad : {"User_Name='abc", "User_Name=abc", "(User_Name='a'", "User_Name 'a'",
                            "User_Name='a' and", "='a'"}) {
        try {
            TFilter::parse(bad);
            ADD_FAILURE() << "accepted: " << bad;
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(e.message().startsWith("Invalid filter expression")) << qPrintable(e.message());
        }
    }
}

class FilterOnUsers : public ::testing::Test {
protected:
    void SetUp() override
    {
        db.addUser("McAllister", "a");
        db.addUser("O'Brien", "b");
        db.addUser("x' or User_Name='McAllister", "c");
        db.addUser("Mc*", "d");
        q.setDatabaseName(db.alias());
        q.setSQL("select * from users order by user_id");
        q.open();
    }
    TestDatabase db;
    TQuery q;
};

TEST_F(FilterOnUsers, CaseIsIgnoredButWholeValuesMatch)
{
    EXPECT_EQ(countMatches(q, TFilter::equals("User_Name", "mcallister")), 1);
    EXPECT_EQ(countMatches(q, TFilter::equals("USER_NAME", "MCALLISTER")), 1);
    EXPECT_EQ(countMatches(q, TFilter::equals("User_Name", "McAll")), 0);
    EXPECT_EQ(countMatches(q, TFilter::equals("User_Name", "Mc*")), 1); // * is no wildcard
}

TEST_F(FilterOnUsers, AQuoteInAValueMatchesOnlyItself)
{
    q.setFilter(TFilter::equals("User_Name", "o'brien"));
    q.setFiltered(true);
    ASSERT_EQ(q.recordCount(), 1);
    EXPECT_EQ(q.fieldByName("User_Name")->asString(), "O'Brien");
    q.setFiltered(false);
    // A crafted name is looked up as one literal value, never as an expression.
    q.setFilter(TFilter::equals("User_Name", "x' or User_Name='McAllister"));
    q.setFiltered(true);
    ASSERT_EQ(q.recordCount(), 1);
    EXPECT_EQ(q.fieldByName("User_Password")->asString(), "c");
}

TEST_F(FilterOnUsers, KeysCompareAsTextAndExpressionsCombine)
{
    EXPECT_EQ(countMatches(q, "User_ID='2'"), 1);
    EXPECT_EQ(countMatches(q, "User_ID='02'"), 0);
    EXPECT_EQ(countMatches(q, "(User_ID='1') or (User_ID='3')"), 2);
    EXPECT_EQ(countMatches(q, "(User_ID>'1') and (User_Password='d')"), 1);
    EXPECT_EQ(countMatches(q, "User_ID>'2'"), 2);
    EXPECT_EQ(countMatches(q, "((User_ID='1')) and (User_Enabled='1')"), 1);
}

TEST_F(FilterOnUsers, NavigationFollowsTheFilterAndFilteringOffKeepsTheRow)
{
    q.setFilter("User_ID>'1'");
    q.setFiltered(true);
    EXPECT_EQ(q.fieldByName("User_ID")->asInteger(), 2);
    q.next();
    q.next();
    EXPECT_EQ(q.fieldByName("User_ID")->asInteger(), 4);
    q.next();
    EXPECT_TRUE(q.eof());
    q.setFiltered(false);
    EXPECT_EQ(q.fieldByName("User_ID")->asInteger(), 4);
    EXPECT_EQ(q.recordCount(), 4);
}
