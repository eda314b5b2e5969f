// Rows read one by one as the engine delivers them, without a record set.
#include "database/EDatabaseError.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "database/TRowStream.h"
#include "tests/support/TestDatabase.h"

#include <gtest/gtest.h>

TEST(RowStream, DeliversIntegersTextAndTimestampsAsRecordSetsHoldThemAndRefusesOtherColumns)
{
    TestDatabase db(false, "JOVSEC_STREAM");
    db.exec(
        "create table T (N integer, S smallint, B bigint, C char(3), V varchar(300), D timestamp, F double precision)");
    const QString longText = QString::fromUtf8("\xc3\xa9").repeated(300); // 600 bytes of UTF-8
    db.exec("insert into T values (-7, -2, 5000000000, 'a', ' x ', '1858-11-16 23:59:59.9999', 1)");
    db.exec("insert into T values (null, null, null, null, '" + longText + "', null, null)");
    db.exec("insert into T (V) values ('')");

    struct Seen {
        bool null;
        qint64 n, s, b;
        QByteArray c, v;
        std::pair<QDate, QTime> d;
    };
    std::vector<Seen> rows;
    int starts = 0;
    // Columns are found by name, in any letter case and order.
    TRowStream::read(
        db.alias(), "select * from T", {"v", "B", "n", "S", "c", "d"}, [&] { ++starts; },
        [&](const TRowStream::Row& row) {
            rows.push_back({row.isNull(2), row.integer(2), row.integer(3), row.integer(1), row.text(4).toByteArray(),
                            row.text(0).toByteArray(), row.timestamp(5)});
        });
    EXPECT_EQ(starts, 1);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_FALSE(rows[0].null);
    EXPECT_EQ(rows[0].n, -7);
    EXPECT_EQ(rows[0].s, -2);
    EXPECT_EQ(rows[0].b, 5000000000LL);
    EXPECT_EQ(rows[0].c, "a"); // fixed width: the padding goes
    EXPECT_EQ(rows[0].v, " x "); // varying: kept as stored
    // The day before the engine's day 0; the tenths of a millisecond are cut, not rounded.
    EXPECT_EQ(rows[0].d, std::pair(QDate(1858, 11, 16), QTime(23, 59, 59, 999)));
    EXPECT_FALSE(rows[1].d.first.isValid());
    EXPECT_TRUE(rows[1].null);
    EXPECT_EQ(rows[1].n, 0);
    EXPECT_EQ(rows[1].c, "");
    EXPECT_EQ(rows[1].v, longText.toUtf8());
    EXPECT_EQ(rows[2].v, "");

    const auto fails = [&](const QStringList& columns) {
        try {
            TRowStream::read(
                db.alias(), "select * from T", columns, [] {}, [](const TRowStream::Row&) {});
        } catch (const EDatabaseError& e) {
            return e.message();
        }
        return QString();
    };
    EXPECT_EQ(fails({"N", "X"}), "Field 'X' not found");
    EXPECT_EQ(fails({"F"}), "Field 'F' is neither integer, text nor timestamp");
    try {
        TRowStream::read(
            db.alias(), "select * from NO_SUCH_TABLE", {"N"}, [] {}, [](const TRowStream::Row&) {});
        ADD_FAILURE() << "a missing table was read";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.message().contains("NO_SUCH_TABLE")) << qPrintable(e.message());
    }
}

TEST(RowStream, AReadWhoseConnectionIsCutStartsOverAndDeliversEveryRowOnce)
{
    TestDatabase db(true, "JOVSEC_STREAM");
    for (const char* name : {"Ann", "Ben", "Cid"})
        db.addUser(name, "pw");
    // Another program (here a second connection) ends every other attachment: the read's
    // connection is cut after its first row.
    TDatabase other;
    other.setAliasName(db.alias());
    other.setDatabaseName("OTHER");
    other.setLoginPrompt(false);
    other.open();
    int starts = 0;
    QStringList names;
    TRowStream::read(
        db.alias(), "select * from USERS order by USER_ID", {"User_Name"},
        [&] {
            ++starts;
            names.clear();
        },
        [&](const TRowStream::Row& row) {
            if (starts == 1 && names.isEmpty()) {
                TQuery cut;
                cut.setDatabaseName("OTHER");
                cut.setSQL("delete from MON$ATTACHMENTS where MON$ATTACHMENT_ID <> current_connection "
                           "and MON$SYSTEM_FLAG = 0");
                cut.execSQL();
            }
            names << QString::fromUtf8(row.text(0));
        });
    EXPECT_EQ(starts, 2);
    EXPECT_EQ(names, QStringList({"Ann", "Ben", "Cid"}));
    other.close();
}
