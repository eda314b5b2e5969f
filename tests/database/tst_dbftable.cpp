// dBASE tables read through shapelib: live records only, exact stored bytes, clear
// failures, and text in the code page the file names.
#include "database/EDatabaseError.h"
#include "database/TDbfTable.h"
#include "tests/support/DbfWriter.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
class DbfTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        writeDbf(dir.filePath("T.DBF"), {{"ID", 'N', 6}, {"NAME", 'C', 8}, {"FLAG", 'L', 1}},
                 {{{"1", QByteArray(" a\0b", 4), "T"}},
                  {{"2", "gone", "T"}, true},
                  {{"", "x", "N"}},
                  {{"4", "12345678", "T"}}});
        table.setDatabaseName(dir.path());
        table.setTableName("T.DBF");
    }
    QTemporaryDir dir;
    TDbfTable table;
};

TEST_F(DbfTable, WalksLiveRecordsAndReadsTheStoredBytes)
{
    table.open();
    EXPECT_EQ(table.recordCount(), 3);
    QList<qint64> ids;
    QList<QByteArray> names;
    QList<bool> flags;
    for (table.first(); !table.eof(); table.next()) {
        ids << table.fieldAsInteger("id"); // field names match without regard to case
        names << table.fieldBytes("NAME");
        flags << table.fieldAsBoolean("FLAG");
    }
    EXPECT_EQ(ids, QList<qint64>({1, 0, 4}));
    EXPECT_EQ(names, QList<QByteArray>({QByteArray(" a\0b    ", 8), "x       ", "12345678"}));
    EXPECT_EQ(flags, QList<bool>({true, false, true}));
    EXPECT_THROW(table.fieldBytes("NAME"), EDatabaseError); // past the end
}

TEST_F(DbfTable, ReportsMissingFilesFieldsAndFilesThatAreNoTables)
{
    table.setTableName("NONE.DBF");
    try {
        table.open();
        FAIL() << "opened a missing file";
    } catch (const EDatabaseError& e) {
        EXPECT_TRUE(e.message().contains(dir.filePath("NONE.DBF")));
    }
    table.setTableName("T.DBF");
    table.open();
    EXPECT_THROW(table.fieldBytes("Label"), EDatabaseError);

    QFile junk(dir.filePath("JUNK.DBF"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("plain text, no table");
    junk.close();
    table.setTableName("JUNK.DBF");
    EXPECT_THROW(table.open(), EDatabaseError);
    EXPECT_FALSE(table.active());
}

TEST_F(DbfTable, DecodesTextInTheCodePageOfTheFile)
{
    table.open();
    // Without a .cpg: UTF-8 when the bytes are UTF-8, else Windows-1252.
    EXPECT_EQ(table.toText("J\xC3\xBCrgen"), QString::fromUtf8("J\u00FCrgen"));
    EXPECT_EQ(table.toText("J\xFCrgen \x80"), QString::fromUtf8("J\u00FCrgen \u20AC"));
    table.close();

    QFile cpg(dir.filePath("T.cpg"));
    ASSERT_TRUE(cpg.open(QIODevice::WriteOnly));
    cpg.write("1251");
    cpg.close();
    table.open();
    EXPECT_EQ(table.toText("\xC4\xE0"), QString::fromUtf8("\u0414\u0430"));
}
} // namespace
