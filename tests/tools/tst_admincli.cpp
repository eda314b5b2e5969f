// The command line itself: help for every command, exit status 0, 1 or 2, errors on
// standard error, the real program, and creating a database on a Firebird server.
#include "tests/tools/AdminFixture.h"

#include "database/TAliases.h"
#include "security/TJovCSsecure.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

TEST_F(AdminTest, HelpForEveryCommandAndBadUsageIsStatusTwo)
{
    AdminResult r = adm({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.contains("  user add NAME\n")) << r;
    EXPECT_TRUE(r.out.contains("  log export\n")) << r;
    r = adm({"user", "set", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.startsWith("Usage: jovsecadm")) << r;
    EXPECT_TRUE(r.out.contains("--max-age <N|never>")) << r;
    EXPECT_TRUE(r.out.contains("Changes a user's account or policy.")) << r;

    struct Case {
        QStringList args;
        QString error;
    } cases[] = {
        {{"frobnicate"}, "Unknown command: frobnicate"},
        {{"user", "add", "Ann", "--colour", "red"}, "Unknown option 'colour'."},
        {{"user", "show"}, "Usage: jovsecadm user show USER [options]"},
        {{"constant", "rename", "A"}, "Usage: jovsecadm constant rename CONSTANT NEW-NAME [options]"},
    };
    for (const Case& c : cases) {
        r = adm(c.args);
        EXPECT_EQ(r.status, 2) << r;
        EXPECT_EQ(r.err.split('\n').first(), c.error) << r;
        EXPECT_TRUE(r.out.isEmpty()) << r;
    }
    QString out, err;
    QTextStream o(&out), e(&err);
    EXPECT_EQ(TAdminTool::run({"user", "list"}, o, e), 2);
    EXPECT_EQ(err.trimmed(), "Give the security database's alias with --alias.");
    EXPECT_EQ(TAdminTool::run({"--alias", "NO_SUCH_ALIAS", "user", "list"}, o, e), 1);
}

TEST_F(AdminTest, TheProgramWritesResultsAndErrorsApart)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("JOVSEC_ALIAS", db->alias());
    p.setProcessEnvironment(env);
    p.start(JOVSECADM_PROGRAM, {"user", "add", "Ann", "--password", "pw", "--json"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(p.readAllStandardOutput())["name"].toString(), "Ann");
    p.start(JOVSECADM_PROGRAM, {"user", "add", "ann", "--password", "pw"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
    EXPECT_EQ(QString::fromUtf8(p.readAllStandardError()).trimmed(), "A user named ann already exists.");
}

TEST_F(AdminTest, CreateMakesAWorkingDatabaseLocallyAndOnAServer)
{
    const QString path = tmp.path() + "/new.gdb";
    AdminResult r = adm({"create", "JOVSEC_NEW", path});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(adm({"create", "JOVSEC_NEW", path}).err.trimmed(),
              "The alias JOVSEC_NEW already exists in " + TAliases::configFile() + ".");
    EXPECT_EQ(adm({"create", "JOVSEC_OTHER", path}).err.trimmed(),
              "Security database found at this location. Either remove database, select a new directory or a new "
              "alias.");
    QString out, err;
    QTextStream o(&out), e(&err);
    ASSERT_EQ(TAdminTool::run({"--alias", "JOVSEC_NEW", "user", "add", "Ann", "--password", "pw"}, o, e), 0)
        << qPrintable(err);
    {
        TJovCSsecure c;
        c.setAlias("JOVSEC_NEW");
        c.setOptions({});
        c.Loaded();
        EXPECT_TRUE(c.LogonEx("Ann", "pw"));
    }
    TDatabase::dropTemporaryConnections();
    TAliases::deleteAlias("JOVSEC_NEW");

    const QString server = qEnvironmentVariable("JOVSEC_TEST_SERVER");
    if (server.isEmpty())
        GTEST_SKIP() << "no test server";
    const QString remote = server + ":" + qEnvironmentVariable("JOVSEC_TEST_SERVER_DIR") + "/admin-created.gdb";
    QFile::remove(qEnvironmentVariable("JOVSEC_TEST_SERVER_DIR") + "/admin-created.gdb");
    const QString password = qEnvironmentVariable("JOVSEC_TEST_SERVER_PASSWORD");
    ASSERT_EQ(TAdminTool::run({"create", "JOVSEC_REMOTE", remote, "--db-password", password}, o, e), 0)
        << qPrintable(err);
    ASSERT_EQ(
        TAdminTool::run(
            {"--alias", "JOVSEC_REMOTE", "--db-password", password, "user", "add", "Bob", "--password", "pw"}, o, e),
        0)
        << qPrintable(err);
    {
        TJovCSsecure c;
        c.setAlias("JOVSEC_REMOTE");
        c.setPassword(password);
        c.setOptions({});
        c.setUserGrantsOnly(true);
        c.Loaded();
        EXPECT_TRUE(c.LogonEx("Bob", "pw"));
    }
    // A wrong account password is refused by the server.
    EXPECT_EQ(TAdminTool::run({"--alias", "JOVSEC_REMOTE", "--db-password", "wrong", "user", "list"}, o, e), 1);
    TDatabase::dropTemporaryConnections();
    TAliases::deleteAlias("JOVSEC_REMOTE");
}

// A password on the command line is readable by every local user while the command
// runs: it can come from standard input instead, and the help says why.
TEST_F(AdminTest, TheUsersPasswordCanComeFromStandardInput)
{
    const auto run = [this](const QStringList& args, const QByteArray& input) {
        QProcess p;
        p.start(JOVSECADM_PROGRAM, QStringList {"--alias", db->alias()} + args);
        p.write(input);
        p.closeWriteChannel();
        EXPECT_TRUE(p.waitForFinished(60000));
        EXPECT_TRUE(p.readAllStandardError().isEmpty()) << qPrintable(args.join(' '));
        return p.exitCode();
    };
    ASSERT_EQ(run({"user", "add", "Ann", "--password-stdin"}, "s3cret\n"), 0);
    EXPECT_EQ(db->scalar("select User_PASSWORD from USERS where USER_NAME = 'Ann'"), "s3cret");
    ASSERT_EQ(run({"user", "set", "Ann", "--password-stdin", "--field1", "Sales"}, "n3w pw\r\nrest"), 0);
    EXPECT_EQ(db->scalar("select User_PASSWORD || '/' || User_Def1 from USERS where USER_NAME = 'Ann'"),
              "n3w pw/Sales");

    EXPECT_EQ(adm({"user", "set", "Ann", "--password", "x", "--password-stdin"}).status, 2);
    const AdminResult help = adm({"user", "add", "--help"});
    EXPECT_TRUE(help.out.contains("--password-stdin")) << help;
    EXPECT_TRUE(help.out.contains("/proc")) << help;
}

// On a terminal the password is asked for twice and never shown.
TEST_F(AdminTest, OnATerminalThePasswordIsAskedWithoutEcho)
{
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(terminal, 0);
    ASSERT_EQ(::grantpt(terminal), 0);
    ASSERT_EQ(::unlockpt(terminal), 0);
    QProcess p;
    p.setStandardInputFile(QString::fromLocal8Bit(::ptsname(terminal)));
    p.setReadChannel(QProcess::StandardError);
    p.start(JOVSECADM_PROGRAM, {"--alias", db->alias(), "user", "add", "Ann", "--password-stdin"});
    QByteArray err;
    for (const QByteArray prompt : {"Password: ", "Retype the password: "}) {
        while (!err.endsWith(prompt) && p.waitForReadyRead(60000))
            err += p.readAll();
        ASSERT_TRUE(err.endsWith(prompt)) << err.constData();
        ASSERT_EQ(::write(terminal, "tty-pw\n", 7), 7);
    }
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().constData();
    EXPECT_EQ(db->scalar("select User_PASSWORD from USERS where USER_NAME = 'Ann'"), "tty-pw");
    ::fcntl(terminal, F_SETFL, O_NONBLOCK);
    char shown[256];
    const ssize_t n = ::read(terminal, shown, sizeof shown);
    EXPECT_FALSE(QByteArray(shown, int(std::max<ssize_t>(n, 0))).contains("tty-pw")) << "the password was echoed";
    ::close(terminal);
}

// A create that fails after the database file was made takes the file and the
// alias back, so that the next try is not refused by what is left.
TEST_F(AdminTest, AFailedCreateLeavesNoDatabaseBehind)
{
    const QString notAFolder = file("not-a-folder", "x");
    const QString path = tmp.path() + "/new.gdb";
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("JOVSEC_CONFIG", notAFolder + "/aliases.ini");
    p.setProcessEnvironment(env);
    p.start(JOVSECADM_PROGRAM, {"create", "JOVSEC_NEW", path});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitCode(), 1) << qPrintable(err);
    EXPECT_TRUE(err.startsWith("Unable to Add Databases.")) << qPrintable(err);
    EXPECT_FALSE(QFile::exists(path)) << qPrintable(err);
}
