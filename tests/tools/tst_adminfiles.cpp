// What jovsecadm writes to files: the C++ header of the access constants (the same
// bytes as the desktop's Generate, and --check for a build), the six reports as
// PDF files read back with pdftotext, and the index older databases lack.
#include "tests/tools/AdminFixture.h"

#include "database/TQuery.h"
#include "desktop/TfrmGenerate.h"
#include "widgets/TRadioGroup.h"
#include "platform/RegionalSettings.h"
#include "tests/support/ModalPoller.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A date as the reports write it: the short date of the regional settings.
QString shortDate(int year, int month, int day)
{
    return Platform::formatDate(QStringLiteral("ddddd"), QDate(year, month, day));
}

class Files : public AdminTest {
protected:
    void SetUp() override
    {
        AdminTest::SetUp();
        for (const char* name : {"Edit Users", "Order Entry/Edit"})
            db->exec(QStringLiteral("insert into ACCESS (ACCESS_NAME) values ('%1')").arg(name));
    }
    void TearDown() override
    {
        ++modalPollerGeneration();
        AdminTest::TearDown();
    }
    QByteArray read(const QString& path) const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // The header SecDesk's Generate writes for the test database.
    QByteArray desktopHeader()
    {
        whenModal([this](QWidget* modal) {
            auto* d = qobject_cast<TfrmGenerate*>(modal);
            d->setDirectory(tmp.path());
            d->rgrpGen->setItemIndex(TfrmGenerate::ToCppHeader);
            d->edFile->setText("desktop.h");
            d->bbtnOk->click();
        });
        TQuery statement;
        GenerateConstants(nullptr, statement, db->alias());
        TDatabase::dropTemporaryConnections();
        return read(tmp.path() + "/desktop.h");
    }
    // The text of a PDF file, as pdftotext reads it.
    static QString pdfText(const QString& path)
    {
        QProcess p;
        p.start("pdftotext", {"-layout", path, "-"});
        if (!p.waitForFinished(60000) || p.exitCode() != 0)
            return "<pdftotext failed: " + QString::fromUtf8(p.readAllStandardError()) + ">";
        return QString::fromUtf8(p.readAllStandardOutput());
    }
};
} // namespace

TEST_F(Files, TheHeaderIsTheDesktopsAndCheckFollowsTheDatabase)
{
    const QByteArray desktop = desktopHeader();
    ASSERT_TRUE(desktop.contains("inline constexpr int dsc_Order_Entry_Edit = 2;\n")) << desktop.toStdString();
    const QString mine = tmp.path() + "/mine.h";
    AdminResult r = adm({"generate", "--cpp", mine});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(read(mine), desktop);
    EXPECT_TRUE(r.out.contains("dsc_Order_Entry/Edit -> dsc_Order_Entry_Edit")) << r;

    // The desktop's file passes the check, and nothing is written by it.
    const QString desktopFile = tmp.path() + "/desktop.h";
    r = adm({"generate", "--cpp", desktopFile, "--check"});
    EXPECT_EQ(r.status, 0) << r;
    EXPECT_TRUE(r.err.isEmpty()) << r;

    db->exec("insert into ACCESS (ACCESS_NAME) values ('Print')");
    r = adm({"generate", "--cpp", desktopFile, "--check"});
    EXPECT_EQ(r.status, 1) << r;
    EXPECT_TRUE(r.err.contains("out of date")) << r;
    EXPECT_EQ(read(desktopFile), desktop) << "--check writes nothing";
    // A renamed constant changes the header too.
    ASSERT_EQ(adm({"generate", "--cpp", desktopFile}).status, 0);
    EXPECT_EQ(adm({"generate", "--cpp", desktopFile, "--check"}).status, 0);
    ASSERT_EQ(adm({"constant", "rename", "Print", "Print Forms"}).status, 0);
    EXPECT_EQ(adm({"generate", "--cpp", desktopFile, "--check"}).status, 1);

    r = adm({"generate", "--cpp", tmp.path() + "/none.h", "--check"});
    EXPECT_EQ(r.status, 1) << r;
    EXPECT_TRUE(r.err.contains("does not exist")) << r;
    EXPECT_FALSE(QFile::exists(tmp.path() + "/none.h"));

    EXPECT_EQ(adm({"generate"}).status, 2) << "--cpp is required";
    r = adm({"generate", "--cpp", tmp.path() + "/no/such/dir/x.h"});
    EXPECT_EQ(r.status, 1) << r;
    EXPECT_TRUE(r.err.startsWith("Unable to Save File.")) << r;
}

TEST_F(Files, EveryReportIsWrittenAsAPdfWithItsTitleAndRows)
{
    const int ann = db->addUser("Ann", "pw");
    db->exec("insert into GROUPS (GROUP_NAME) values ('Clerks')");
    db->exec("insert into GRPCOLL (GROUP_ID, ACCESS_ID) values (1, 2)");
    db->exec(QString("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, 1, 'C')").arg(ann));
    db->exec(QString("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, 1, 'G')").arg(ann));
    for (const char* date : {"2026-01-05", "2026-02-10", "2026-03-01"})
        db->exec(QString("insert into LOG (ACCESS_DATE, USER_ID, ACCESS_ID) values ('%1', %2, 1)").arg(date).arg(ann));

    struct Case {
        QString name;
        QString title;
        QStringList rows; // words of one row, in order
    } cases[] = {
        {"access constants", "Access Constants Report", {"2", "Order Entry/Edit"}},
        {"GROUPS", "Groups Report", {"1", "Clerks", "2", "Order Entry/Edit"}},
        {"Usage", "Usage Report", {"2", shortDate(2026, 2, 10), "Ann", "Edit Users"}},
        {"users", "User Report", {"1", "Ann"}},
        {"Users (w/ Access)", "User Access Report", {"1", "Ann", "G", "Clerks"}},
    };
    for (const Case& c : cases) {
        const QString pdf = tmp.path() + "/report.pdf";
        QFile::remove(pdf);
        const AdminResult r = adm({"report", c.name, "--pdf", pdf});
        ASSERT_EQ(r.status, 0) << r;
        const QString text = pdfText(pdf);
        EXPECT_TRUE(text.contains(c.title)) << text.toStdString();
        EXPECT_TRUE(text.contains("Alias: " + db->alias())) << text.toStdString();
        EXPECT_TRUE(text.simplified().contains(c.rows.join(' '))) << qPrintable(c.name) << ":\n" << text.toStdString();
    }
}

TEST_F(Files, UsageCoversTheLogOrTheRangeGiven)
{
    const int ann = db->addUser("Ann", "pw");
    for (const char* date : {"2026-01-05", "2026-02-10", "2026-03-01"})
        db->exec(QString("insert into LOG (ACCESS_DATE, USER_ID, ACCESS_ID) values ('%1', %2, 1)").arg(date).arg(ann));
    const QString pdf = tmp.path() + "/usage.pdf";
    AdminResult r = json({"report", "usage", "--pdf", pdf});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.json()["from"].toString(), "2026-01-05");
    EXPECT_EQ(r.json()["to"].toString(), "2026-03-01");
    QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains(shortDate(2026, 1, 5)) && text.contains(shortDate(2026, 3, 1))) << text.toStdString();

    r = adm({"report", "usage", "--from", "2026-02-01", "--to", "2026-02-28", "--pdf", pdf});
    ASSERT_EQ(r.status, 0) << r;
    text = pdfText(pdf);
    EXPECT_TRUE(text.contains(shortDate(2026, 2, 10))) << text.toStdString();
    EXPECT_FALSE(text.contains(shortDate(2026, 1, 5)) || text.contains(shortDate(2026, 3, 1))) << text.toStdString();

    // A range without entries says so, on the page and in the answer.
    r = adm({"report", "usage", "--from", "2025-06-01", "--to", "2025-06-02", "--pdf", pdf});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_TRUE(r.out.contains("The Usage report has no entries from 2025-06-01 to 2025-06-02")) << r;
    text = pdfText(pdf).simplified();
    EXPECT_TRUE(text.contains("There are no entries for the Usage Report from")) << text.toStdString();

    EXPECT_EQ(adm({"report", "usage", "--from", "2026-02-30", "--pdf", pdf}).status, 2);
    EXPECT_EQ(adm({"report", "usage", "--from", "2026-03-01", "--to", "2026-02-01", "--pdf", pdf}).status, 2);
    EXPECT_EQ(adm({"report", "groups", "--from", "2026-03-01", "--pdf", pdf}).status, 2);
}

// The Audit Trail report of jovsecadm lists the events of the commands run, oldest
// first, with a hostile name as given and no password; a database without the trail
// says auditing is off and writes no file.
TEST_F(Files, TheAuditTrailReportListsTheEventsInOrderOrSaysAuditingIsOff)
{
    const QString hostile = "=O'Brien <b>&amp;";
    const QStringList steps[] = {{"user", "add", hostile, "--password", "secret-one"},
                                 {"constant", "add", "Print"},
                                 {"grant", hostile, "--constant", "Print"},
                                 {"user", "set", hostile, "--password", "secret-two"}};
    for (const QStringList& step : steps)
        ASSERT_EQ(adm(step).status, 0) << step.join(' ').toStdString();
    const QString pdf = tmp.path() + "/audit.pdf";
    AdminResult r = json({"report", "audit trail", "--pdf", pdf});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.json()["rows"].toInt(), 4) << r;
    const QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains("Audit Trail Report")) << text.toStdString();
    qsizetype at = 0;
    for (const char* kind : {"UserAdded", "ConstantAdded", "GrantGiven", "UserChanged"}) {
        const qsizetype next = text.indexOf(kind, at);
        EXPECT_GT(next, at) << kind << " is missing or out of order:\n" << text.toStdString();
        at = std::max(next, at);
    }
    EXPECT_TRUE(text.contains(hostile)) << text.toStdString();
    EXPECT_FALSE(text.contains("secret-")) << text.toStdString();

    db->exec("drop table AUDIT_TRAIL");
    db->exec("drop table AUDIT_HEAD");
    QFile::remove(pdf);
    r = adm({"report", "Audit Trail", "--pdf", pdf});
    EXPECT_EQ(r.status, 1) << r;
    EXPECT_EQ(r.err.trimmed(),
              "Auditing is off: this security database has no audit trail. \"jovsecadm upgrade\" adds it.");
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(Files, ABadReportNameListsTheReports)
{
    const QString pdf = tmp.path() + "/x.pdf";
    AdminResult r = adm({"report", "Userz", "--pdf", pdf});
    EXPECT_EQ(r.status, 2) << r;
    EXPECT_EQ(r.err.trimmed(), "There is no report named \"Userz\". The reports are: Access Constants, Groups, "
                               "Usage, Users, Users (w/ Access), Audit Trail.");
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_EQ(adm({"report", "users"}).status, 2) << "--pdf is required";
    r = adm({"report", "users", "--pdf", tmp.path() + "/no/such/dir/x.pdf"});
    EXPECT_EQ(r.status, 1) << r;
    EXPECT_TRUE(r.err.startsWith("Unable to write the file")) << r;
}

TEST_F(Files, TheProgramDrawsReportsWithoutADisplay)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    p.setProcessEnvironment(env);
    const QString pdf = tmp.path() + "/constants.pdf";
    p.start(JOVSECADM_PROGRAM, {"--alias", db->alias(), "report", "Access Constants", "--pdf", pdf});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_TRUE(pdfText(pdf).contains("Edit Users"));
    // The other commands do not load the graphical platform at all.
    p.start(JOVSECADM_PROGRAM, {"--alias", db->alias(), "constant", "list"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_TRUE(p.readAllStandardError().isEmpty());
}

TEST_F(Files, AddIndexesGivesAnOlderDatabaseTheIndexesByConstantOnce)
{
    const auto indexes = [this] {
        return integer("select count(*) from RDB$INDICES where RDB$INDEX_NAME in ('USERACC_ACCESS_ID', "
                       "'GRPCOLL_ACCESS_ID', 'LOG_DATE_DESC')");
    };
    EXPECT_EQ(indexes(), 3) << "a new database has them";
    db->exec("drop index USERACC_ACCESS_ID");
    db->exec("drop index GRPCOLL_ACCESS_ID");
    db->exec("drop index LOG_DATE_DESC");
    ASSERT_EQ(indexes(), 0);
    AdminResult r = json({"add-indexes"});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.json()["added"].toInt(), 3);
    EXPECT_EQ(indexes(), 3);
    r = json({"add-indexes"});
    EXPECT_EQ(r.json()["added"].toInt(), 0) << r;
}

// Output that did not all arrive is a failure with a message: a device that is full,
// a standard output that is full or whose reader went away. A device or a pipe is
// written to, never replaced by a file.
TEST_F(Files, OutputThatDoesNotArriveIsAFailure)
{
    db->exec(QString("insert into LOG (ACCESS_DATE, USER_ID) values ('2026-01-05', %1)").arg(db->addUser("Ann", "pw")));
    AdminResult r = adm({"log", "export", "--csv", "/dev/full"});
    EXPECT_EQ(r.status, 1) << r;
    EXPECT_TRUE(r.err.startsWith("Unable to write the file /dev/full")) << r;
    r = adm({"report", "Access Constants", "--pdf", "/dev/full"});
    EXPECT_EQ(r.status, 1) << r;
    EXPECT_TRUE(r.err.startsWith("Unable to write the file /dev/full")) << r;

    const QByteArray fifo = QFile::encodeName(tmp.path() + "/header.fifo");
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    r = adm({"generate", "--cpp", QString::fromUtf8(fifo)});
    EXPECT_EQ(r.status, 0) << r;
    QByteArray arrived(4096, '\0');
    arrived.resize(std::max<qsizetype>(::read(reader, arrived.data(), arrived.size()), 0));
    ::close(reader);
    EXPECT_TRUE(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile()) << "the pipe was replaced by a file";
    EXPECT_TRUE(arrived.contains("inline constexpr int dsc_Edit_Users = 1;")) << arrived.constData();

    QProcess p;
    p.setStandardOutputFile("/dev/full");
    p.start(JOVSECADM_PROGRAM, {"--alias", db->alias(), "constant", "list"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_EQ(QString::fromUtf8(p.readAllStandardError()).trimmed(),
              "Unable to write the output: No space left on device");

    // A pipe whose reader has gone by the time the program writes.
    const QByteArray pipe = QFile::encodeName(tmp.path() + "/out.fifo");
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    const int pipeReader = ::open(pipe.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(pipeReader, 0);
    QProcess closed;
    closed.setStandardOutputFile(QString::fromUtf8(pipe));
    closed.start(JOVSECADM_PROGRAM, {"--alias", db->alias(), "log", "export"});
    ASSERT_TRUE(closed.waitForStarted(60000));
    ::close(pipeReader);
    ASSERT_TRUE(closed.waitForFinished(60000));
    EXPECT_EQ(closed.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(closed.exitCode(), 1);
    EXPECT_TRUE(closed.readAllStandardError().startsWith("Unable to write the output")) << "no word of the failure";
}
