// log export and log clear: names as the log viewer shows them, the filters, and
// CSV that reads back.
#include "tests/tools/AdminFixture.h"

#include "tools/jovsecadm/TCsvReader.h"

namespace {
class Log : public AdminTest {
protected:
    void SetUp() override
    {
        AdminTest::SetUp();
        ann = db->addUser("Ann, A.", "pw");
        ben = db->addUser("Ben", "pw");
        db->exec("insert into ACCESS (ACCESS_NAME) values ('Print')");
        row("2026-01-05", ann, "null");
        row("2026-02-10 23:30:00", ann, "1"); // late in the day: still that day
        row("2026-02-11", ben, "9"); // a constant since deleted
        row("2026-03-01", ben, "null");
    }
    void row(const QString& date, int user, const QString& access) const
    {
        db->exec(QString("insert into LOG (ACCESS_DATE, USER_ID, ACCESS_ID) values ('%1', %2, %3)")
                     .arg(date)
                     .arg(user)
                     .arg(access));
    }
    int ann = 0, ben = 0;
};
} // namespace

TEST_F(Log, ExportNamesUsersAndConstantsAsTheViewerDoes)
{
    AdminResult r = adm({"log", "export"});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.out.split('\n'),
              (QStringList {"Access Date,Cnt,User Name,User ID,Acc ID,Access Label",
                            "2026-01-05,1,\"Ann, A.\",1,,*** Logon ***", "2026-02-10,2,\"Ann, A.\",1,1,Print",
                            "2026-02-11,3,Ben,2,9,Unknown", "2026-03-01,4,Ben,2,,*** Logon ***", ""}));

    r = json({"log", "export", "--from", "2026-02-01", "--to", "2026-02-10"});
    ASSERT_EQ(r.status, 0) << r;
    const QJsonArray rows = r.json().toArray();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0]["access_label"].toString(), "Print");
    EXPECT_EQ(rows[0]["count"].toInt(), 2);

    const QString path = tmp.path() + "/log.csv";
    r = adm({"log", "export", "--user", "ben", "--csv", path});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.out.trimmed(), "Exported 2 log rows to " + path);
    TCsvReader reader;
    QString error;
    ASSERT_TRUE(reader.read(path, &error));
    ASSERT_EQ(reader.lines().size(), 3u);
    EXPECT_EQ(reader.lines()[1].fields.at(2), "Ben");

    EXPECT_EQ(adm({"log", "export", "--from", "1/2/2026"}).status, 2);
    EXPECT_EQ(adm({"log", "export", "--csv", tmp.path() + "/no/such/dir/x.csv"}).status, 1);
}

TEST_F(Log, ClearDeletesBeforeADayOrAll)
{
    AdminResult r = json({"log", "clear", "--before", "2026-02-11"});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.json()["deleted"].toInt(), 2);
    EXPECT_EQ(db->count("LOG"), 2);
    r = adm({"log", "clear"});
    EXPECT_EQ(r.out.trimmed(), "Deleted 2 log rows");
    EXPECT_EQ(db->count("LOG"), 0);
}

// A name that a spreadsheet would run as a formula goes out as text, in every CSV
// the tool writes: to standard output and to a file.
TEST_F(Log, CsvCellsThatWouldRunAsFormulasStayText)
{
    db->exec("delete from LOG");
    const QStringList names {"=HYPERLINK(\"http://x\")", "+1+2", "-3", "@SUM(A1)", "=a,b"};
    for (const QString& name : names)
        row("2026-01-05", db->addUser(name, "pw"), "null");
    const QString path = tmp.path() + "/log.csv";
    ASSERT_EQ(adm({"log", "export", "--csv", path}).status, 0);
    const AdminResult r = adm({"log", "export"});
    ASSERT_EQ(r.status, 0) << r;
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), r.out);
    TCsvReader reader;
    QString error;
    ASSERT_TRUE(reader.read(path, &error)) << qPrintable(error);
    ASSERT_EQ(reader.lines().size(), size_t(names.size() + 1));
    for (int i = 0; i < names.size(); ++i)
        EXPECT_EQ(reader.lines()[i + 1].fields.value(2), "'" + names.at(i));
}
