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
    for (const char* bad :
         {"User_Name='abc", "User_Name=abc", "(User_Name='a'", "User_Name 'a'", "User_Name='a' and", "='a'"}) {
        try {
            TFilter::parse(bad);
            ADD_FAILURE() << "accepted: " << bad;
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(e.message().startsWith("Invalid filter expression")) << qPrintable(e.message());
        }
    }
}

TEST(Filter, HugeExpressionsAreRefusedNotOverflowingTheStack)
{
    const auto refused = [](const QString& text, const char* why) {
        try {
            TFilter::parse(text);
            ADD_FAILURE() << "accepted " << why;
        } catch (const EDatabaseError& e) {
            EXPECT_TRUE(e.message().startsWith("Invalid filter expression")) << qPrintable(e.message());
            EXPECT_TRUE(e.message().contains(why)) << qPrintable(e.message());
        }
    };
    const QString comparison = "User_ID='1'";
    QStringList chain(100000, comparison);
    refused(chain.join(" and "), "longer than 8192");
    refused(QString(100000, '(') + comparison + QString(100000, ')'), "longer than 8192");
    // Under the length bound: the depth and the count are bounded on their own.
    refused(QString(33, '(') + comparison + QString(33, ')'), "nested deeper than 32");
    refused(QStringList(257, "a='1'").join(" or "), "more than 256 comparisons");
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

TEST_F(FilterOnUsers, AFilterGivenWhileFilteringIsOffAppliesWhenSwitchedOn)
{
    q.close();
    q.setFilter("User_ID='2'");
    q.open();
    q.setFiltered(true);
    EXPECT_EQ(q.recordCount(), 1);
    EXPECT_EQ(q.fieldByName("User_ID")->asInteger(), 2);
    // An unknown column is refused when filtering starts, and nothing changes.
    q.setFiltered(false);
    q.close();
    q.setFilter("No_Such='1'");
    q.open();
    EXPECT_THROW(q.setFiltered(true), EDatabaseError);
    EXPECT_FALSE(q.filtered());
    EXPECT_EQ(q.recordCount(), 4);
}

TEST_F(FilterOnUsers, ExpressionsAtTheBoundsStillWork)
{
    const QString deep = QString(32, '(') + "User_ID='3'" + QString(32, ')');
    EXPECT_EQ(countMatches(q, deep), 1);
    QStringList ids;
    for (int i = 0; i < 256; ++i)
        ids << QString("User_ID='%1'").arg(i % 2 ? 2 : 4);
    EXPECT_EQ(countMatches(q, ids.join(" or ")), 2);
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
