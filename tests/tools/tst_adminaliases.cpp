// jovsecadm alias: an alias is corrected, its password forgotten and the alias removed
// in the alias file alone; the database it points to stays as it was.
#include "tests/tools/AdminFixture.h"

#include "database/TAliases.h"

#include <QFile>

namespace {
// Runs jovsecadm without the test database's alias.
AdminResult run(const QStringList& arguments)
{
    AdminResult r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.status = TAdminTool::run(arguments, out, err);
    TDatabase::dropTemporaryConnections();
    return r;
}
} // namespace

// An alias left pointing at a moved file is corrected, works again, and keeps its
// account; forgetting the password keeps the rest; a server move keeps the path.
TEST_F(AdminTest, AliasSetCorrectsTheLocationAndForgetsThePasswordKeepingTheRest)
{
    TAliases::addAlias("MOVED_SEC", "INTRBASE",
                       {"SERVER NAME=" + tmp.path() + "/gone.gdb", "USER NAME=SYSDBA", "PASSWORD=secret"});
    EXPECT_EQ(run({"--alias", "MOVED_SEC", "user", "list"}).status, 1);
    AdminResult r = run({"alias", "show", "moved_sec", "--json"});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.json()["file"].toString(), "missing") << r;
    EXPECT_TRUE(r.json()["password_stored"].toBool()) << r;
    EXPECT_FALSE(r.out.contains("secret")) << r;

    r = run({"alias", "set", "moved_sec", "--location", db->path()});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(TAliases::params("MOVED_SEC"),
              QStringList({"SERVER NAME=" + db->path(), "USER NAME=SYSDBA", "PASSWORD=secret"}));
    EXPECT_EQ(run({"--alias", "MOVED_SEC", "user", "list"}).status, 0);
    r = run({"alias", "list"});
    EXPECT_TRUE(r.out.contains(db->path() + " on this computer")) << r;

    r = run({"alias", "set", "MOVED_SEC", "--forget-password", "--user", "ADMIN"});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(TAliases::params("MOVED_SEC"), QStringList({"SERVER NAME=" + db->path(), "USER NAME=ADMIN"}));
    r = run({"alias", "set", "MOVED_SEC", "--server", "dbhost/3051", "--json"});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_EQ(r.json()["location"].toString(), "dbhost/3051:" + db->path());
    EXPECT_FALSE(r.json()["password_stored"].toBool());
    r = run({"alias", "show", "MOVED_SEC"});
    EXPECT_TRUE(r.out.contains(db->path() + " on server dbhost, port 3051")) << r;
    TAliases::deleteAlias("MOVED_SEC");
}

TEST_F(AdminTest, AliasRemoveKeepsTheFileAndEveryRefusalSaysWhy)
{
    const QString path = db->path();
    AdminResult r = run({"alias", "remove", db->alias().toLower()});
    ASSERT_EQ(r.status, 0) << r;
    EXPECT_FALSE(TAliases::exists(db->alias()));
    EXPECT_TRUE(QFile::exists(path));

    struct Case {
        QStringList args;
        int status;
        QString error;
    } cases[] = {
        {{"alias", "remove", db->alias()},
         1,
         "There is no alias " + db->alias() + " in " + TAliases::configFile() + "."},
        {{"alias", "set", "NEW_SEC", "--user", "SYSDBA"},
         1,
         "There is no alias NEW_SEC in " + TAliases::configFile() + "; give --location to add it."},
        {{"alias", "set", "A/B", "--location", path}, 1, TAliases::nameProblem("A/B")},
        {{"alias", "set", "NEW_SEC"}, 2, "Give what to change: --location, --server, --user or --forget-password."},
    };
    for (const Case& c : cases) {
        r = run(c.args);
        EXPECT_EQ(r.status, c.status) << r;
        EXPECT_EQ(r.err.trimmed(), c.error) << r;
    }

    // A new alias for an existing database, in a file only its owner may write.
    ASSERT_EQ(run({"alias", "set", "BACK_SEC", "--location", path, "--user", "SYSDBA"}).status, 0);
    EXPECT_EQ(run({"--alias", "BACK_SEC", "user", "list"}).status, 0);
    QFile::setPermissions(TAliases::configFile(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                      QFileDevice::WriteOther | QFileDevice::ReadOther);
    r = run({"alias", "list"});
    QFile::setPermissions(TAliases::configFile(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(r.status, 1) << r;
    EXPECT_TRUE(r.err.contains("other users can write to")) << r;
    TAliases::deleteAlias("BACK_SEC");
}
