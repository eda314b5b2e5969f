// The command line itself: help for every command, exit status 0, 1 or 2, errors on
// standard error, the real program, and creating a database on a Firebird server.
#include "tests/tools/AdminFixture.h"

#include "database/TAliases.h"
#include "security/JovCSsec.h"

#include <QProcess>
#include <QProcessEnvironment>

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
