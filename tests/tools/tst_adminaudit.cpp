// The audit trail from jovsecadm: every change a command makes leaves its event with
// what changed (never a password), verify names a broken event, export is safe for
// spreadsheets, a database without the trail says so and can be upgraded, an archive
// keeps the chain verifiable, and programs writing at once on a server leave one chain.
#include "tests/tools/AdminFixture.h"

#include "database/TAliases.h"
#include "tools/jovsecadm/TCsvReader.h"

#include <QProcess>

#include <functional>
#include <vector>

namespace {
QStringList kindsOf(const QJsonArray& events)
{
    QStringList kinds;
    for (const QJsonValue& e : events)
        kinds << e["kind"].toString();
    return kinds;
}
} // namespace

TEST_F(AdminTest, EveryChangeACommandMakesLeavesOneEventWithWhatChanged)
{
    const QStringList steps[] = {
        {"user", "add", "Ann", "--password", "secret1"},
        {"user", "set", "Ann", "--password", "secret2", "--field1", "Sales"},
        {"constant", "add", "Print"},
        {"constant", "rename", "Print", "Printing"},
        {"group", "add", "Clerks", "--constant", "Printing"},
        {"grant", "Ann", "--group", "Clerks"},
        {"revoke", "Ann", "--group", "Clerks"},
        {"user", "unlock", "Ann"},
        {"log", "clear"},
        {"group", "delete", "Clerks"},
        {"constant", "delete", "Printing"},
        {"user", "delete", "Ann"},
    };
    for (const QStringList& step : steps)
        ASSERT_EQ(adm(step).status, 0) << step.join(' ').toStdString() << "\n" << adm(step);

    const AdminResult r = json({"audit", "export"});
    ASSERT_EQ(r.status, 0) << r;
    const QJsonArray events = r.json().toArray();
    EXPECT_EQ(kindsOf(events), (QStringList {"UserAdded", "UserChanged", "ConstantAdded", "ConstantChanged",
                                             "GroupAdded", "GrantGiven", "GrantTaken", "UserUnlocked", "LogCleared",
                                             "GroupDeleted", "ConstantDeleted", "UserDeleted"}));
    const QString changed = events[1]["details"].toString();
    EXPECT_TRUE(changed.contains("User_Password: changed")) << qPrintable(changed);
    EXPECT_TRUE(changed.contains("User_Def1:  -> Sales")) << qPrintable(changed);
    EXPECT_FALSE(r.out.contains("secret")) << "a password's value is in the trail";
    EXPECT_EQ(events[3]["details"].toString().trimmed(), "ACCESS_NAME: Print -> Printing");
    EXPECT_EQ(events[0]["object"].toString(), "Ann");
    EXPECT_EQ(events[0]["user"].toString(), "SUPERVISOR");

    EXPECT_EQ(adm({"audit", "verify"}).status, 0);
    db->exec("update AUDIT_TRAIL set DETAILS = 'nothing' where EVENT_ID = 4");
    const AdminResult broken = adm({"audit", "verify"});
    EXPECT_EQ(broken.status, 1) << broken;
    EXPECT_TRUE(broken.err.contains("#4")) << broken;
}

TEST_F(AdminTest, AuditExportIsSafeForSpreadsheetsAndFilters)
{
    ASSERT_EQ(adm({"group", "add", "=HYPERLINK(\"x\")"}).status, 0);
    ASSERT_EQ(adm({"constant", "add", "@SUM(A1)"}).status, 0);
    const QString path = tmp.path() + "/audit.csv";
    AdminResult r = adm({"audit", "export", "--kind", "GroupAdded", "--csv", path});
    ASSERT_EQ(r.status, 0) << r;
    TCsvReader reader;
    QString error;
    ASSERT_TRUE(reader.read(path, &error)) << qPrintable(error);
    ASSERT_EQ(reader.lines().size(), 2u);
    EXPECT_EQ(reader.lines()[1].fields.at(8), "'=HYPERLINK(\"x\")");

    r = json({"audit", "export", "--user", "supervisor", "--from", "2000-01-01"});
    EXPECT_EQ(r.json().toArray().size(), 2) << r;
    EXPECT_EQ(json({"audit", "export", "--to", "2000-01-01"}).json().toArray().size(), 0);

    // A kind in other letters is the same kind; one the trail never holds is refused.
    EXPECT_EQ(json({"audit", "export", "--kind", "groupadded"}).json().toArray().size(), 1);
    r = adm({"audit", "export", "--kind", "GroupCreated"});
    EXPECT_EQ(r.status, 2) << r;
    EXPECT_TRUE(r.err.contains("--kind takes one of LogonAccepted, LogonRefused")) << r;
    EXPECT_TRUE(r.out.isEmpty()) << r;
}

TEST_F(AdminTest, ADatabaseWithoutTheTrailSaysAuditingIsOffUntilUpgraded)
{
    db->exec("drop table AUDIT_TRAIL");
    db->exec("drop table AUDIT_HEAD");
    ASSERT_EQ(adm({"user", "add", "Ann", "--password", "pw"}).status, 0);
    const AdminResult off = adm({"audit", "verify"});
    EXPECT_EQ(off.status, 1);
    EXPECT_TRUE(off.err.contains("Auditing is off")) << off;
    EXPECT_EQ(adm({"upgrade"}).status, 0);
    ASSERT_EQ(adm({"user", "delete", "Ann"}).status, 0);
    const AdminResult head = json({"audit", "head"});
    EXPECT_EQ(head.json()["Event"].toInt(), 1) << head;

    // A trail made before the viewer's index gets it, and loses the indexes by kind and
    // by user that every audited change wrote, once; the trail still verifies.
    db->exec("drop index AUDIT_TRAIL_ID_DESC");
    db->exec("create index AUDIT_TRAIL_KIND on AUDIT_TRAIL (KIND)");
    db->exec("create index AUDIT_TRAIL_USER on AUDIT_TRAIL computed by (upper(SEC_USER))");
    const AdminResult indexed = adm({"upgrade"});
    EXPECT_TRUE(indexed.out.contains("Brought the audit trail's indexes up to date.")) << indexed;
    EXPECT_EQ(db->scalar("select list(trim(RDB$INDEX_NAME)) from (select RDB$INDEX_NAME from RDB$INDICES where "
                         "RDB$RELATION_NAME = 'AUDIT_TRAIL' and RDB$INDEX_NAME starting with 'AUDIT_' order by 1)"),
              "AUDIT_TRAIL_ID_DESC,AUDIT_TRAIL_TIME");
    EXPECT_TRUE(adm({"upgrade"}).out.contains("already"));
    EXPECT_EQ(adm({"audit", "verify"}).status, 0);
}

namespace {
// Four events, then the moment of the fourth: an archive before it takes the first three.
QString fourEventsAndTheFourthsTime(const std::function<AdminResult(const QStringList&)>& adm)
{
    for (const char* name : {"Ann", "Bob", "Cy", "Di"})
        EXPECT_EQ(adm({"constant", "add", name}).status, 0);
    const AdminResult r = adm({"--json", "audit", "export"});
    const QDateTime fourth =
        QDateTime::fromString(r.json().toArray().at(3).toObject().value("time").toString(), "yyyy-MM-dd HH:mm:ss.zzz");
    return fourth.toString(Qt::ISODateWithMs);
}
} // namespace

TEST_F(AdminTest, AnArchivedTrailStillVerifiesAndAnyOtherMissingOldEventIsNamed)
{
    struct Tamper {
        const char* what;
        QStringList statements;
        const char* named;
    };
    const Tamper tampers[] = {
        {"nothing", {}, nullptr},
        {"the oldest remaining event deleted", {"delete from AUDIT_TRAIL where EVENT_ID = 4"}, "#4"},
        {"the oldest remaining event deleted and the checkpoint made to cover it",
         {"delete from AUDIT_TRAIL where EVENT_ID = 4",
          "update AUDIT_TRAIL set DETAILS = replace(DETAILS, 'Last event: 3', 'Last event: 4') where KIND = "
          "'Archived'"},
         "#5"},
        {"the checkpoint deleted", {"delete from AUDIT_TRAIL where KIND = 'Archived'"}, "#1"},
    };
    for (const Tamper& tamper : tampers) {
        TearDown();
        SetUp();
        const QString before = fourEventsAndTheFourthsTime([&](const QStringList& a) { return adm(a); });
        const QString path = tmp.path() + "/archive.jsonl";
        QFile::remove(path);
        const AdminResult archived = json({"audit", "archive", "--before", before, "--to", path});
        ASSERT_EQ(archived.status, 0) << archived;
        EXPECT_EQ(archived.json()["events"].toInt(), 3) << archived;
        EXPECT_EQ(archived.json()["checkpoint"].toInt(), 5) << archived;
        EXPECT_EQ(db->rows("select EVENT_ID, KIND from AUDIT_TRAIL order by EVENT_ID"),
                  (QStringList {"4|ConstantAdded", "5|Archived"}));
        const AdminResult file = json({"audit", "verify", "--archive", path});
        EXPECT_EQ(file.status, 0) << file;
        EXPECT_EQ(file.json()["events"].toInt(), 3) << file;

        for (const QString& statement : tamper.statements)
            db->exec(statement);
        const AdminResult verdict = adm({"audit", "verify"});
        if (!tamper.named) {
            EXPECT_EQ(verdict.status, 0) << verdict;
            EXPECT_TRUE(verdict.out.contains("2 events")) << verdict;
        } else {
            EXPECT_EQ(verdict.status, 1) << tamper.what << "\n" << verdict;
            EXPECT_TRUE(verdict.err.contains(QString("broken at event ") + tamper.named)) << tamper.what << "\n"
                                                                                          << verdict;
        }
    }
}

TEST_F(AdminTest, AnArchiveThatCannotBeWrittenOrCommittedRemovesNothing)
{
    const QString before = fourEventsAndTheFourthsTime([&](const QStringList& a) { return adm(a); });
    const auto trail = [&] { return db->rows("select EVENT_ID, HASH from AUDIT_TRAIL order by EVENT_ID"); };
    const QStringList whole = trail();
    ASSERT_EQ(whole.size(), 4);

    AdminResult r = adm({"audit", "archive", "--before", before, "--to", tmp.path() + "/no-such-folder/a.jsonl"});
    EXPECT_EQ(r.status, 1) << r;
    EXPECT_TRUE(r.err.contains("Unable to write the file")) << r;

    const QString kept = file("kept.jsonl", "an older archive\n");
    r = adm({"audit", "archive", "--before", before, "--to", kept});
    EXPECT_EQ(r.status, 1) << r;
    EXPECT_TRUE(r.err.contains("--overwrite")) << r;
    QFile keptFile(kept);
    ASSERT_TRUE(keptFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(keptFile.readAll(), "an older archive\n");

    // Another program holds the head row past the wait: the events stay, the new file goes.
    struct ShortLockTimeout {
        ShortLockTimeout() { TDatabase::setDefaultLockTimeout(300); }
        ~ShortLockTimeout() { TDatabase::setDefaultLockTimeout(TDatabase::kLockTimeout); }
    } shortWait;
    const QString path = tmp.path() + "/archive.jsonl";
    {
        HeldRows holder(*db, "update AUDIT_HEAD set LAST_ID = LAST_ID");
        r = adm({"audit", "archive", "--before", before, "--to", path});
    }
    EXPECT_EQ(r.status, 1) << r;
    EXPECT_TRUE(r.err.contains("Nothing was archived")) << r;
    EXPECT_FALSE(QFile::exists(path));

    EXPECT_EQ(trail(), whole);
    EXPECT_EQ(adm({"audit", "verify"}).status, 0);
}

// Eight programs on one database of a Firebird server at once: secured applications
// logging on (accepted and refused) and jovsecadm changing the database.
TEST_F(AdminTest, EightProgramsLoggingOnAndAdministeringOnAServerLeaveOneValidChain)
{
    const QString server = qEnvironmentVariable("JOVSEC_TEST_SERVER");
    if (server.isEmpty())
        GTEST_SKIP() << "no Firebird test server (JOVSEC_TEST_SERVER) in this run";
    const QString dir = qEnvironmentVariable("JOVSEC_TEST_SERVER_DIR");
    const QString password = qEnvironmentVariable("JOVSEC_TEST_SERVER_PASSWORD", "masterkey");
    QFile::remove(dir + "/audit-writers.gdb");
    const auto remote = [&](const QStringList& args) {
        AdminResult r;
        QTextStream out(&r.out), err(&r.err);
        r.status =
            TAdminTool::run(QStringList {"--alias", "JOVSEC_AUDITED", "--db-password", password} + args, out, err);
        TDatabase::dropTemporaryConnections();
        return r;
    };
    {
        AdminResult r;
        QTextStream out(&r.out), err(&r.err);
        r.status = TAdminTool::run(
            {"create", "JOVSEC_AUDITED", server + ":" + dir + "/audit-writers.gdb", "--db-password", password}, out,
            err);
        ASSERT_EQ(r.status, 0) << r;
    }
    ASSERT_EQ(remote({"user", "add", "Bob", "--password", "pw"}).status, 0);

    constexpr int kLogons = 10, kChanges = 5;
    std::vector<std::unique_ptr<QProcess>> logons, admins;
    const auto logon = [&](const QString& name) {
        logons.push_back(std::make_unique<QProcess>());
        logons.back()->start(JOVSEC_LOGONPEER, {"JOVSEC_AUDITED", "logonex", name, "pw", QString::number(kLogons)});
    };
    for (int i = 0; i < 3; ++i)
        logon("Bob");
    for (int i = 0; i < 2; ++i)
        logon("Ghost"); // no such user: refused
    for (auto& peer : logons) {
        while (!peer->canReadLine() && peer->state() != QProcess::NotRunning)
            peer->waitForReadyRead(60000);
        ASSERT_EQ(peer->readLine().trimmed(), "ready") << peer->readAllStandardError().toStdString();
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("JOVSEC_PASSWORD", password);
    for (int i = 0; i < 3; ++i) {
        admins.push_back(std::make_unique<QProcess>());
        admins.back()->setProcessEnvironment(environment);
        admins.back()->start("bash", {"-c",
                                      QString("for i in $(seq %1); do \"$0\" --alias JOVSEC_AUDITED constant add "
                                              "C%2-$i || exit 1; done")
                                          .arg(kChanges)
                                          .arg(i),
                                      JOVSECADM_PROGRAM});
    }
    for (auto& peer : logons)
        peer->write("go\n");
    for (auto& peer : logons)
        peer->waitForBytesWritten(10000);
    for (auto* peers : {&logons, &admins})
        for (auto& peer : *peers) {
            EXPECT_TRUE(peer->waitForFinished(300000));
            EXPECT_EQ(peer->exitCode(), 0) << peer->readAllStandardError().toStdString();
        }

    const AdminResult verdict = remote({"--json", "audit", "verify"});
    EXPECT_EQ(verdict.status, 0) << verdict;
    EXPECT_EQ(verdict.json()["events"].toInt(), 1 + 5 * kLogons + 3 * kChanges) << verdict;
    QMap<QString, int> kinds;
    for (const QJsonValue& e : remote({"--json", "audit", "export"}).json().toArray())
        ++kinds[e["kind"].toString()];
    EXPECT_EQ(kinds, (QMap<QString, int> {{"UserAdded", 1},
                                          {"LogonAccepted", 3 * kLogons},
                                          {"LogonRefused", 2 * kLogons},
                                          {"ConstantAdded", 3 * kChanges}}));
    TAliases::deleteAlias("JOVSEC_AUDITED");
}
