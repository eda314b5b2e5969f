// import: the previous version's dBASE files. A dry run lists every record and writes
// nothing; --apply writes what SecDesk's import dialog writes; a refused record is
// listed and keeps every row out.
#include "database/TQuery.h"
#include "desktop/TfrmImport.h"
#include "tests/support/DbfWriter.h"
#include "tests/tools/AdminFixture.h"

#include <QCheckBox>
#include <QRegularExpression>

namespace {
class PreviousImport : public AdminTest {
protected:
    void SetUp() override
    {
        AdminTest::SetUp();
        ASSERT_TRUE(source.isValid());
        writePreviousVersion(source.path());
    }

    // Every table the import writes, rows linked by name rather than by id.
    static QStringList imported(const TestDatabase& database)
    {
        return database.rows("select ACCESS_NAME from ACCESS order by 1") +
               database.rows("select USER_NAME, USER_PASSWORD from USERS order by 1") +
               database.rows("select u.USER_NAME, a.ACCESS_NAME, c.TYPE from USERACC c join USERS u on u.USER_ID = "
                             "c.USER_ID join ACCESS a on a.ACCESS_ID = c.ACCESS_ID order by 1, 2") +
               database.rows("select u.USER_NAME, h.PWSETDATE, h.PWMAXDAYS, h.PWMINDAYS, h.PWMINSIZE, h.PWCOUNT "
                             "from PWHIST h join USERS u on u.USER_ID = h.USER_ID order by 1") +
               database.rows("select SECURITY_LABEL, ENABLED, LOGENABLED from PROGRAM");
    }

    QTemporaryDir source;
};
} // namespace

TEST_F(PreviousImport, ADryRunListsEveryRecordAndWritesNothingAndApplyWritesWhatTheDialogWrites)
{
    const QStringList before = imported(*db);
    const AdminResult dry = adm({"import", source.path(), "--system"});
    ASSERT_EQ(dry.status, 0) << dry;
    const QStringList listed = dry.out.trimmed().split('\n');
    EXPECT_EQ(listed.mid(0, 12),
              QStringList({"** Converting Access Constants **", "Enter Orders mapped from 10 to 1",
                           "Print Reports mapped from 20 to 2", "skipped: PRVSEC2.DBF, record 3: marked deleted",
                           "`Backtick mapped from 40 to 3", "", "** Converting Users **", "Ann mapped from 7 to 1",
                           "Zo\u00EB M\u00FCller mapped from 9 to 2", "skipped: PRVSEC1.DBF, record 3: marked deleted",
                           "", "** Converting User Access Rights **"}))
        << dry;
    EXPECT_EQ(listed.mid(12),
              QStringList({"Id 1 added for user 1", "Id 2 added for user 2", "Id 3 added for user 2",
                           "skipped: PRVSEC3.DBF, record 4: no user with the old id 5 was imported",
                           "skipped: PRVSEC3.DBF, record 5: no access constant with the old id 99 was imported",
                           "skipped: PRVSEC3.DBF, record 6: marked deleted",
                           "skipped: PRVSEC3.DBF, record 7: no user with the old id 11 was imported", "",
                           "** Converting System Information **",
                           "PRVSEC4.DBF, record 1: program description \"Orders System\", logging on",
                           "9 added, 6 skipped, 0 refused; dry run, rolled back: nothing written (use --apply to "
                           "write)"}))
        << dry;
    EXPECT_EQ(imported(*db), before);
    EXPECT_EQ(db->count("AUDIT_TRAIL"), 0) << "a dry run leaves no event";

    const AdminResult applied = adm({"import", source.path(), "--system", "--apply"});
    ASSERT_EQ(applied.status, 0) << applied;
    EXPECT_TRUE(applied.out.trimmed().endsWith("9 added, 6 skipped, 0 refused; written")) << applied;
    EXPECT_EQ(db->scalar("select KIND || ': ' || DETAILS from AUDIT_TRAIL"),
              "Imported: Records added: 9\nRecords skipped: 6\n");

    // The dialog, on a database like the first, writes the same rows.
    TestDatabase other(true, "JOVSEC_TEST_DIALOG");
    other.addProgram(1, 1);
    {
        TfrmImport dialog(other.alias());
        dialog.setDirectory(source.path());
        dialog.chbxSysConvert->setChecked(true);
        dialog.btnImportClick();
    }
    TDatabase::dropTemporaryConnections();
    ASSERT_EQ(messages.texts(), QStringList({"Conversion was Successful!"}));
    EXPECT_EQ(imported(*db), imported(other));
    EXPECT_EQ(db->count("USERS"), 2);

    // A second import would add every user and constant again: it needs --again.
    const AdminResult again = adm({"import", source.path(), "--apply"});
    EXPECT_EQ(again.status, 1) << again;
    EXPECT_TRUE(again.err.contains("use --again")) << again;
    EXPECT_EQ(db->count("USERS"), 2);
    EXPECT_EQ(adm({"import", source.path(), "--apply", "--again"}).status, 0);
    EXPECT_EQ(db->count("USERS"), 4);
}

TEST_F(PreviousImport, RefusedRecordsAreListedAndNothingIsWritten)
{
    writeRawDbf(source.filePath("PRVSEC1.DBF"), kUserColumns,
                {{"7", stored("Ann"), stored("sixteen-letters!")},
                 {"nan", stored("Bob"), stored("b")},
                 {"9", stored("Cy"), stored("c")}});
    for (const QStringList& arguments : {QStringList {}, QStringList {"--apply"}}) {
        const AdminResult r = adm(QStringList {"import", source.path()} + arguments);
        EXPECT_EQ(r.status, 1) << r;
        const QStringList listed = r.out.trimmed().split('\n');
        for (const char* line :
             {"refused: PRVSEC1.DBF, record 1: The value \"sixteen-letters!\" is longer than the 15 characters of "
              "User_Password.",
              "refused: PRVSEC1.DBF, record 2: The value \"nan\" is not a whole number.",
              "skipped: PRVSEC3.DBF, record 1: no user with the old id 7 was imported"})
            EXPECT_TRUE(listed.contains(QString::fromUtf8(line))) << line << "\n" << r;
        EXPECT_TRUE(listed.filter(QRegularExpression("^Cy mapped from 9 to \\d+$")).size() == 1) << r;
        EXPECT_TRUE(listed.last().startsWith("6 added, 6 skipped, 2 refused; ")) << r;
        EXPECT_EQ(r.err.trimmed(), "2 record(s) refused; nothing was imported");
        EXPECT_EQ(db->count("ACCESS") + db->count("USERS") + db->count("USERACC") + db->count("PWHIST"), 0);
    }

    // A folder without the files, whose name reads like a database conflict: the
    // import fails at once rather than running again and again.
    const QString empty = tmp.path() + "/deadlock";
    ASSERT_TRUE(QDir().mkpath(empty));
    const AdminResult missing = adm({"import", empty, "--apply"});
    EXPECT_EQ(missing.status, 1) << missing;
    EXPECT_TRUE(missing.err.startsWith("Nothing was imported: Table does not exist.")) << missing;
    EXPECT_EQ(missing.out.trimmed(), "** Converting Access Constants **") << missing;
}
