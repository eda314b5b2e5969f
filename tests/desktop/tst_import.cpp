// The import of the previous version's dBASE tables: rows, id maps and status lines,
// descrambling, the one transaction that takes every stage back on failure, and the
// source files left byte for byte as they were.
#include "DesktopFixture.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "desktop/TfrmImport.h"
#include "rules/TImportRun.h"
#include "widgets/TfrmPickList.h"
#include "tests/support/DbfWriter.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/TestDatabase.h"

#include <QApplication>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QFile>
#include <QDate>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>

namespace {
class Import : public ::testing::Test {
public:
    void SetUp() override
    {
        ASSERT_TRUE(source.isValid());
        // Ids already drawn, so the new ids differ from the old ones; the tables are
        // empty again, so the import does not ask first.
        db.exec("insert into ACCESS (ACCESS_NAME) values ('Old')");
        db.addUser("admin", "admin");
        db.exec("delete from PWHIST");
        db.exec("delete from USERS");
        db.exec("delete from ACCESS");
        db.addProgram(1, 1);
    }

    void TearDown() override
    {
        dialog.reset();
        for (QWidget* w : QApplication::topLevelWidgets())
            w->close();
    }

    QString file(const char* name) const { return source.filePath(QLatin1String(name)); }

    // The four files of a typical previous-version database.
    void writeAll()
    {
        for (const char* name : {"PRVSEC1.cpg", "PRVSEC2.cpg", "PRVSEC3.cpg", "PRVSEC4.cpg"})
            QFile::remove(file(name));
        writePreviousVersion(source.path());
    }

    std::map<QString, QByteArray> sourceDigests() const
    {
        std::map<QString, QByteArray> digests;
        for (const QString& name : QDir(source.path()).entryList(QDir::Files)) {
            QFile f(source.filePath(name));
            f.open(QIODevice::ReadOnly);
            digests[name] = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
        }
        return digests;
    }

    void runImport(bool system)
    {
        dialog = std::make_unique<TfrmImport>(db.alias());
        dialog->show();
        dialog->setDirectory(source.path());
        dialog->chbxSysConvert->setChecked(system);
        dialog->btnImportClick();
        // Closing the connection rolls back whatever was not committed.
        TDatabase::dropTemporaryConnections();
    }

    QStringList statusLines() const
    {
        QStringList lines;
        for (int i = 0; i < dialog->lbStatus->count(); ++i)
            lines << dialog->lbStatus->item(i)->text();
        return lines;
    }

    QStringList everyTable() const
    {
        return db.rows("select ACCESS_ID, ACCESS_NAME from ACCESS order by 1") +
               db.rows("select USER_ID, USER_NAME, USER_PASSWORD from USERS order by 1") +
               db.rows("select USER_ID, ACCESS_ID, TYPE from USERACC order by 1, 2") +
               db.rows("select SECURITY_LABEL, ENABLED, LOGENABLED from PROGRAM");
    }

    TestDatabase db;
    QTemporaryDir source;
    MessageRecorder messages;
    std::unique_ptr<TfrmImport> dialog;
};

TEST_F(Import, CopiesConstantsUsersAndRightsWithNewIdsAndSaysSoLineByLine)
{
    writeAll();
    const auto before = sourceDigests();
    runImport(false);

    EXPECT_EQ(statusLines(),
              QStringList({"** Converting Access Constants **", "Enter Orders mapped from 10 to 2",
                           "Print Reports mapped from 20 to 3", "`Backtick mapped from 40 to 4", "",
                           "** Converting Users **", "Ann mapped from 7 to 2",
                           "Zo\u00EB M\u00FCller mapped from 9 to 3", "", "** Converting User Access Rights **",
                           "Id 2 added for user 2", "Id 3 added for user 3", "Id 4 added for user 3"}));
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.last(), "Conversion was Successful!");
    EXPECT_EQ(messages.shown.last().kind, Platform::MsgKind::Information);

    // Committed: read back over a new connection.
    EXPECT_EQ(db.rows("select ACCESS_ID, ACCESS_NAME from ACCESS order by 1"),
              QStringList({"2|Enter Orders", "3|Print Reports", "4|`Backtick"}));
    EXPECT_EQ(db.rows("select USER_ID, USER_NAME, USER_PASSWORD from USERS order by 1"),
              QStringList({"2|Ann|secret", "3|Zo\u00EB M\u00FCller|p\u00E4ss"}));
    // Each user has a password history row as a new user gets it: set today, with
    // the global limits (no minimum age while the global policy does not age).
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    EXPECT_EQ(db.rows("select USER_ID, PWSETDATE, PWMAXDAYS, PWMINDAYS, PWMINSIZE, PWCOUNT from PWHIST order by 1"),
              QStringList({"2|" + today + "|21|0|5|5", "3|" + today + "|21|0|5|5"}));
    EXPECT_EQ(db.rows("select USER_ID, ACCESS_ID, TYPE from USERACC order by 1, 2"),
              QStringList({"2|2|C", "3|3|C", "3|4|C"}));
    // The check box was not ticked: PROGRAM is untouched.
    EXPECT_EQ(db.rows("select SECURITY_LABEL, LOGENABLED from PROGRAM"), QStringList({"Test|1"}));

    // Only the close button leads on.
    EXPECT_FALSE(dialog->btnImport->isVisible());
    EXPECT_FALSE(dialog->btnCancel->isVisible());
    EXPECT_TRUE(dialog->btnClose->isVisible());
    EXPECT_EQ(dialog->btnClose->text(), "OK");
    dialog->layout()->activate();
    EXPECT_EQ(dialog->btnClose->geometry(), dialog->btnCancel->geometry()); // in Cancel's place

    EXPECT_EQ(sourceDigests(), before);
}

// Importing twice would add every constant and user again: the import asks first.
TEST_F(Import, ImportingIntoADatabaseThatHoldsUsersOrConstantsAsksFirst)
{
    writeAll();
    runImport(false);
    ASSERT_EQ(messages.texts(), QStringList({"Conversion was Successful!"}));

    const QString question = "The security database already holds users or access constants. The import adds every "
                             "user and access constant again, with new ids.\nImport anyway?";
    messages.clear();
    runImport(false); // answered No
    EXPECT_EQ(messages.texts(), QStringList({question}));
    EXPECT_EQ(messages.shown.first().buttons, Platform::MsgButtons::YesNo);
    EXPECT_EQ(db.rows("select count(*) from USERS"), QStringList({"2"}));
    EXPECT_EQ(db.rows("select count(*) from ACCESS"), QStringList({"3"}));
    EXPECT_TRUE(dialog->btnImport->isVisible() && dialog->btnImport->isEnabled());

    messages.clear();
    messages.answers << Platform::MsgResult::Yes;
    runImport(false);
    EXPECT_EQ(messages.texts(), QStringList({question, "Conversion was Successful!"}));
    EXPECT_EQ(db.rows("select count(*) from USERS"), QStringList({"4"}));
}

TEST_F(Import, SystemInformationEditsTheFirstProgramRowOrCreatesOne)
{
    writeAll();
    writeDbf(file("PRVSEC4.DBF"), kSystemColumns,
             {{{stored("Deleted"), "T"}, true}, {{stored("Orders System"), "F"}}, {{stored("Second"), "T"}}});
    runImport(true);
    EXPECT_EQ(messages.last(), "Conversion was Successful!");
    EXPECT_EQ(statusLines().mid(statusLines().size() - 2), QStringList({"", "** Converting System Information **"}));
    EXPECT_EQ(db.rows("select SECURITY_LABEL, ENABLED, LOGENABLED from PROGRAM"), QStringList({"Orders System|1|0"}));

    db.exec("delete from PROGRAM");
    writeDbf(file("PRVSEC4.DBF"), kSystemColumns, {{{stored("Orders System"), "T"}}});
    messages.answers << Platform::MsgResult::Yes; // the users of the first run are there
    runImport(true);
    EXPECT_EQ(db.rows("select SECURITY_LABEL, ENABLED, LOGENABLED from PROGRAM"), QStringList({"Orders System|1|1"}));
}

TEST_F(Import, WithoutTheCheckBoxTheSystemFileIsNotNeeded)
{
    writeAll();
    QFile::remove(file("PRVSEC4.DBF"));
    runImport(false);
    EXPECT_EQ(messages.texts(), QStringList({"Conversion was Successful!"}));
    EXPECT_EQ(db.rows("select count(*) from USERS"), QStringList({"2"}));
}

TEST_F(Import, ReadOnlyFilesWithNamesInSmallLettersAreFoundAndRead)
{
    writeAll();
    for (const char* name : {"PRVSEC1.DBF", "PRVSEC2.DBF", "PRVSEC3.DBF", "PRVSEC4.DBF"}) {
        const QString lower = source.filePath(QString::fromLatin1(name).toLower());
        ASSERT_TRUE(QFile::rename(file(name), lower));
        QFile::setPermissions(lower, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    }
    const auto before = sourceDigests();
    runImport(true);
    EXPECT_EQ(dialog->lblSecStat->text(), "Database files found");
    EXPECT_EQ(messages.texts(), QStringList({"Conversion was Successful!"}));
    EXPECT_EQ(db.rows("select count(*) from USERACC"), QStringList({"3"}));
    EXPECT_EQ(sourceDigests(), before);
}

TEST_F(Import, FileStatusTellsWhetherAllFourFilesAreThere)
{
    dialog = std::make_unique<TfrmImport>(db.alias());
    dialog->show();
    dialog->setDirectory(source.path());
    EXPECT_EQ(dialog->lblSecStat->text(), "Security files unavailable");
    writeAll();
    QFile::remove(file("PRVSEC4.DBF"));
    dialog->setDirectory(source.path());
    EXPECT_EQ(dialog->lblSecStat->text(), "Security files unavailable");
    writeAll();
    dialog->setDirectory(source.path());
    EXPECT_EQ(dialog->lblSecStat->text(), "Database files found");

    // The controls as the dialog starts; it names the database it writes into.
    EXPECT_EQ(dialog->windowTitle(), "Import Security Data");
    EXPECT_EQ(dialog->lblDatabase->text(), "Import into: " + db.alias() + " (" + db.path() + ")");
    EXPECT_FALSE(dialog->chbxSysConvert->isChecked());
    EXPECT_EQ(dialog->chbxSysConvert->toolTip(), "Import program description and logging settings");
    EXPECT_TRUE(dialog->btnImport->isDefault());
    EXPECT_TRUE(dialog->btnImport->isEnabled());
    EXPECT_FALSE(dialog->btnClose->isVisible());
}

// A stage that fails takes every stage back with it.
struct FailingStage {
    const char* name;
    std::function<void(Import&)> spoil;
    const char* errorPart; // a piece of the engine's text
};

class ImportFailure : public Import, public ::testing::WithParamInterface<FailingStage> { };

TEST_P(ImportFailure, LeavesEveryTableAsItWasAndKeepsImportAndCancel)
{
    writeAll();
    GetParam().spoil(*this);
    const QStringList tablesBefore = everyTable();
    const auto before = sourceDigests();
    runImport(true);

    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_EQ(messages.shown.first().kind, Platform::MsgKind::Error);
    for (const QString& part : QString::fromUtf8(GetParam().errorPart).split('|'))
        EXPECT_TRUE(messages.last().contains(part, Qt::CaseInsensitive)) << messages.last().toStdString();
    EXPECT_EQ(everyTable(), tablesBefore);
    EXPECT_EQ(statusLines().last(), "** Import failed: nothing was imported **");
    EXPECT_TRUE(dialog->btnImport->isVisible() && dialog->btnImport->isEnabled());
    EXPECT_TRUE(dialog->btnCancel->isVisible() && dialog->btnCancel->isEnabled());
    EXPECT_FALSE(dialog->btnClose->isVisible());
    EXPECT_EQ(sourceDigests(), before);

    // Put right, the same dialog imports everything once.
    writeAll();
    messages.clear();
    dialog->btnImportClick();
    TDatabase::dropTemporaryConnections();
    EXPECT_EQ(messages.texts(), QStringList({"Conversion was Successful!"}));
    EXPECT_EQ(db.rows("select count(*) from ACCESS"), QStringList({"3"}));
    EXPECT_EQ(db.rows("select count(*) from USERACC"), QStringList({"3"}));
    EXPECT_EQ(db.rows("select SECURITY_LABEL from PROGRAM"), QStringList({"Orders System"}));
}

INSTANTIATE_TEST_SUITE_P(
    Stages, ImportFailure,
    ::testing::Values(
        FailingStage {"NoFilesAtAll",
                      [](Import& t) {
                          for (const QString& name : QDir(t.source.path()).entryList(QDir::Files))
                              QFile::remove(t.source.filePath(name));
                      },
                      "PRVSEC2.DBF"},
        FailingStage {"ConstantNameTooLong",
                      [](Import& t) {
                          writeDbf(t.file("PRVSEC2.DBF"), kConstantColumns,
                                   {{{"10", stored("Enter Orders")}}, {{"20", scrambled(QByteArray(80, 'x'))}}});
                      },
                      "longer than the 20 characters of Access_Name|PRVSEC2.DBF, record 2, field Label"},
        FailingStage {
            "PasswordTooLong",
            [](Import& t) {
                writeDbf(t.file("PRVSEC1.DBF"), kUserColumns, {{{"7", stored("Ann"), stored("sixteen-letters!")}}});
            },
            "\"sixteen-letters!\" is longer than the 15 characters of User_Password|PRVSEC1.DBF, record 1, "
            "field Password"},
        FailingStage {"RightsFileMissing", [](Import& t) { QFile::remove(t.file("PRVSEC3.DBF")); }, "PRVSEC3.DBF"},
        FailingStage {"RightsFileNotDBase",
                      [](Import& t) {
                          QFile f(t.file("PRVSEC3.DBF"));
                          f.open(QIODevice::WriteOnly | QIODevice::Truncate);
                          f.write("not a table");
                      },
                      "PRVSEC3.DBF"},
        FailingStage {"SystemColumnMissing",
                      [](Import& t) {
                          writeDbf(t.file("PRVSEC4.DBF"), {{"Descript", 'C', 80}}, {{{stored("Orders System")}}});
                      },
                      "LoginLog"},
        FailingStage {"DescriptionOf80Bytes",
                      [](Import& t) {
                          writeDbf(t.file("PRVSEC4.DBF"), kSystemColumns, {{{scrambled(QByteArray(80, 'D')), "T"}}});
                      },
                      "48 characters of Security_Label|PRVSEC4.DBF, record 1, field Descript"},
        // Damaged tables: nothing of them is imported as if it were right.
        FailingStage {"IdThatIsNoNumber",
                      [](Import& t) {
                          writeRawDbf(t.file("PRVSEC1.DBF"), kUserColumns,
                                      {{"7", stored("Ann"), stored("a")}, {"nan", stored("Bob"), stored("b")}});
                      },
                      "\"nan\" is not a whole number|PRVSEC1.DBF, record 2, field UID"},
        FailingStage {"InfiniteId",
                      [](Import& t) {
                          writeRawDbf(t.file("PRVSEC3.DBF"), kRightColumns, {{"7", "-inf"}});
                      },
                      "PRVSEC3.DBF, record 1, field ACCESSID"},
        FailingStage {"NameColumnWithoutWidth",
                      [](Import& t) {
                          writeRawDbf(t.file("PRVSEC1.DBF"),
                                      {{"UID", 'N', 10}, {"Login", 'C', 0}, {"Password", 'C', 80}},
                                      {{"7", "", stored("secret")}});
                      },
                      "user name is empty|PRVSEC1.DBF, record 1, field Login"},
        FailingStage {"MultiByteCodePage",
                      [](Import& t) {
                          QFile cpg(t.file("PRVSEC1.cpg"));
                          cpg.open(QIODevice::WriteOnly);
                          cpg.write("932");
                      },
                      "code page 932|PRVSEC1.DBF"},
        FailingStage {"CodePageFileIsAPipe",
                      [](Import& t) { ::mkfifo(QFile::encodeName(t.file("PRVSEC3.cpg")).constData(), 0600); },
                      "Not a regular file|PRVSEC3.cpg"},
        FailingStage {"TableIsAPipe",
                      [](Import& t) {
                          QFile::remove(t.file("PRVSEC2.DBF"));
                          ::mkfifo(QFile::encodeName(t.file("PRVSEC2.DBF")).constData(), 0600);
                      },
                      "Not a regular file|PRVSEC2.DBF"}),
    [](const ::testing::TestParamInfo<FailingStage>& info) { return std::string(info.param.name); });

struct Scrambled {
    QByteArray storedBytes;
    QByteArray text;
};

class Descramble : public ::testing::TestWithParam<Scrambled> { };

TEST_P(Descramble, RecoversTheTextUpToItsEnd)
{
    EXPECT_EQ(TImportRun::DescrambleField(GetParam().storedBytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, Descramble,
    ::testing::Values(Scrambled {QByteArray("\x3F"), "A"}, // 128 - 63 = 65
                      Scrambled {scrambled("Ann") + char(0x80) + scrambled("junk"), "Ann"}, // 0x80 is character 0
                      Scrambled {scrambled("Ann") + QByteArray(5, ' '), "Ann"}, // padding of the column
                      Scrambled {" " + scrambled("x"), "`x"}, // a stored blank is "`"
                      Scrambled {scrambled("Ann") + QByteArray(1, '\0') + scrambled("B"), "Ann"},
                      Scrambled {scrambled("\xE9t\xE9"), "\xE9t\xE9"}, // bytes above 127
                      Scrambled {scrambled(QByteArray(80, 'z')), QByteArray(80, 'z')}, // fills the column
                      Scrambled {QByteArray(), QByteArray()}));
} // namespace

// The import as the desktop reaches it: from the main window's code on its open
// database, and through Open first when none is open (SecDesk --import DIR).
namespace {
class DesktopImport : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        ASSERT_TRUE(source.isValid());
        db.addProgram();
        writeDbf(source.filePath("PRVSEC2.DBF"), kConstantColumns, {{{"10", stored("Enter Orders")}}});
        writeDbf(source.filePath("PRVSEC1.DBF"), kUserColumns, {{{"7", stored("Ann"), stored("secret")}}});
        writeDbf(source.filePath("PRVSEC3.DBF"), kRightColumns, {{{"7", "10"}}});
        writeDbf(source.filePath("PRVSEC4.DBF"), kSystemColumns, {{{stored("Orders"), "T"}}});
    }

    // Runs the import dialog once it shows: Import, then OK.
    void importWhenShown(QWidget* skip = nullptr)
    {
        whenModal(
            [this](QWidget* modal) {
                auto* dialog = qobject_cast<TfrmImport*>(modal);
                ASSERT_NE(dialog, nullptr);
                shownDirectory = dialog->directory();
                shownStatus = dialog->lblSecStat->text();
                dialog->btnImport->click();
                dialog->btnClose->click();
            },
            skip);
    }

    TestDatabase db;
    QTemporaryDir source;
    QString shownDirectory;
    QString shownStatus;
};
} // namespace

TEST_F(DesktopImport, RunsOnTheOpenDatabaseWithTheFolderGiven)
{
    window->OpenSecurityAlias(db.alias());
    ASSERT_EQ(window->OpenAlias, db.alias());
    EXPECT_FALSE(window->Import1->isVisible());
    importWhenShown();
    window->ImportFrom(source.path());
    EXPECT_EQ(shownDirectory, QDir::cleanPath(source.path()));
    EXPECT_EQ(shownStatus, "Database files found");
    EXPECT_EQ(messages.texts(), QStringList({"Conversion was Successful!"}));
    window.reset(); // closes the desktop's connection: what is left must be committed
    TDatabase::dropTemporaryConnections();
    EXPECT_EQ(db.scalar("select USER_NAME from USERS"), "Ann");
    EXPECT_EQ(db.count("USERACC"), 1);
}

TEST_F(DesktopImport, OpensADatabaseFirstWhenNoneIsOpen)
{
    whenModal([this](QWidget* modal) {
        auto* pick = qobject_cast<TfrmPickList*>(modal);
        ASSERT_NE(pick, nullptr);
        const auto found = pick->lboxList->findItems(db.alias(), Qt::MatchFixedString);
        ASSERT_EQ(found.size(), 1);
        pick->lboxList->setCurrentItem(found.first());
        importWhenShown(pick);
        pick->bbtnOkClick();
    });
    window->ImportFrom(source.path());
    EXPECT_EQ(window->OpenAlias, db.alias());
    EXPECT_EQ(shownStatus, "Database files found");
    EXPECT_EQ(db.count("ACCESS"), 1);
}

TEST_F(DesktopImport, ImportsNothingWhenOpenIsCancelled)
{
    bool importShown = false;
    whenModal([&](QWidget* modal) {
        ASSERT_NE(qobject_cast<TfrmPickList*>(modal), nullptr);
        whenModal(
            [&](QWidget* next) {
                importShown = true;
                next->close();
            },
            modal, 50);
        modal->close();
    });
    window->ImportFrom(source.path());
    EXPECT_TRUE(window->OpenAlias.isEmpty());
    EXPECT_FALSE(importShown);
    EXPECT_EQ(db.count("USERS"), 0);
}

namespace {
// Runs SecDesk with the arguments and returns what it said on standard error once it
// ended with status 1, as it must for a bad argument, before a window opens.
QString refusal(const QTemporaryDir& work, const QStringList& arguments)
{
    QProcess desk;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("JOVSEC_CONFIG", work.filePath("aliases.ini"));
    desk.setProcessEnvironment(env);
    desk.start(JOVSEC_SECDESK, arguments);
    // A desktop that opened its window instead waits for a user: end it.
    if (!desk.waitForFinished(60000)) {
        desk.kill();
        desk.waitForFinished();
        ADD_FAILURE() << "SecDesk " << qPrintable(arguments.join(' ')) << " opened its window";
        return QString();
    }
    EXPECT_EQ(desk.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(desk.exitCode(), 1) << qPrintable(arguments.join(' '));
    return QString::fromLocal8Bit(desk.readAllStandardError());
}
} // namespace

// SecDesk --import with a folder that is not there is refused like any other bad
// argument: on standard error, with a non-zero status, before a window opens.
TEST(ImportCommandLine, AFolderThatIsNotThereIsRefusedOnStandardError)
{
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    QFile plainFile(work.filePath("PRVSEC1.DBF"));
    ASSERT_TRUE(plainFile.open(QIODevice::WriteOnly));
    plainFile.close();
    for (const QString& folder : {work.filePath("missing"), plainFile.fileName()})
        EXPECT_TRUE(refusal(work, {"--import", folder}).contains("SecDesk: No such folder: " + folder));
}

// SecDesk takes no file or other word of its own: a stray one is refused, alone or
// after a good import folder, rather than ignored.
TEST(ImportCommandLine, AStrayArgumentIsRefusedOnStandardError)
{
    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    EXPECT_TRUE(refusal(work, {"foo", "bar"}).contains("SecDesk: Unexpected argument: foo"));
    EXPECT_TRUE(refusal(work, {"--import", work.path(), "bar"}).contains("SecDesk: Unexpected argument: bar"));
}
