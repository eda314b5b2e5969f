// The private engine folder: refused when someone else could have prepared it, one
// per OS user whatever the session, its configuration never half-written; and
// database files that only their owner can open.
#include "database/TDatabase.h"
#include "database/TFirebirdEnv.h"
#include "database/TQuery.h"
#include "tests/support/TestDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <functional>
#include <grp.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr uid_t kOtherUid = 65534;

struct stat statOf(const QString& path)
{
    struct stat st { };
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

mode_t modeOf(const QString& path) { return statOf(path).st_mode & 07777; }

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// Runs the peer program as another process of this machine, with the session it is
// given and without the engine variables this test program set for itself.
QProcess* startPeer(const QStringList& args, const QMap<QString, QString>& session = {}, uid_t runAs = ::geteuid())
{
    auto* peer = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("FIREBIRD");
    env.remove("FIREBIRD_LOCK");
    for (auto it = session.begin(); it != session.end(); ++it)
        env.insert(it.key(), it.value());
    peer->setProcessEnvironment(env);
    if (runAs != ::geteuid())
        peer->setChildProcessModifier([runAs] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(runAs) != 0 || ::setuid(runAs) != 0)
                ::_exit(99);
        });
    peer->start(QCoreApplication::applicationDirPath() + "/jovsec_dbpeer", args);
    return peer;
}

class PrivateFolder : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString folder = tmp.path() + "/fb";
    QString error;
};

struct HostileFolder {
    const char* name;
    // Prepares the folder as an attacker would; returns the folder whose contents
    // must stay as they are.
    std::function<QString(const QString& folder, const QString& elsewhere)> prepare;
};

class HostilePrivateFolder : public PrivateFolder, public ::testing::WithParamInterface<HostileFolder> { };

TEST_P(HostilePrivateFolder, IsRefusedByNameAndNothingIsWrittenInside)
{
    const QString elsewhere = tmp.path() + "/elsewhere";
    ASSERT_TRUE(QDir().mkdir(elsewhere));
    ::chmod(QFile::encodeName(elsewhere).constData(), 0777);
    const QString watched = GetParam().prepare(folder, elsewhere);
    const struct stat before = statOf(folder);

    EXPECT_FALSE(TFirebirdEnv::setUpPrivateFolder(folder, true, &error));
    EXPECT_TRUE(error.contains(folder)) << qPrintable(error);
    EXPECT_TRUE(entries(watched).isEmpty()) << qPrintable(entries(watched).join(", "));
    const struct stat after = statOf(folder);
    EXPECT_EQ(after.st_mode, before.st_mode);
    EXPECT_EQ(after.st_uid, before.st_uid);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, HostilePrivateFolder,
    ::testing::Values(HostileFolder {"SymbolicLink",
                                     [](const QString& folder, const QString& elsewhere) {
                                         QFile::link(elsewhere, folder);
                                         return elsewhere;
                                     }},
                      HostileFolder {"OpenToAll",
                                     [](const QString& folder, const QString&) {
                                         QDir().mkdir(folder);
                                         ::chmod(QFile::encodeName(folder).constData(), 0777);
                                         return folder;
                                     }},
                      HostileFolder {"ReadableByOthers",
                                     [](const QString& folder, const QString&) {
                                         QDir().mkdir(folder);
                                         ::chmod(QFile::encodeName(folder).constData(), 0755);
                                         return folder;
                                     }},
                      HostileFolder {"OwnedByAnotherUser",
                                     [](const QString& folder, const QString&) {
                                         QDir().mkdir(folder);
                                         ::chmod(QFile::encodeName(folder).constData(), 0700);
                                         if (::chown(QFile::encodeName(folder).constData(), kOtherUid, kOtherUid) != 0)
                                             ADD_FAILURE() << "tests must run as root to hand a folder to another user";
                                         return folder;
                                     }},
                      HostileFolder {"RootIsALinkToAnotherUsersFolder",
                                     [](const QString& folder, const QString& elsewhere) {
                                         QDir().mkdir(folder);
                                         ::chmod(QFile::encodeName(folder).constData(), 0700);
                                         QFile::link(elsewhere, folder + "/root");
                                         return elsewhere;
                                     }}),
    [](const ::testing::TestParamInfo<HostileFolder>& info) { return std::string(info.param.name); });

TEST_F(PrivateFolder, IsMadeOwnerOnlyWhateverTheUmask)
{
    const mode_t old = ::umask(022);
    const bool ok = TFirebirdEnv::setUpPrivateFolder(folder, true, &error);
    ::umask(old);
    ASSERT_TRUE(ok) << qPrintable(error);
    for (const QString& path : {folder, folder + "/root", folder + "/lock"}) {
        EXPECT_TRUE(S_ISDIR(statOf(path).st_mode)) << qPrintable(path);
        EXPECT_EQ(modeOf(path), 0700u) << qPrintable(path);
    }
    QFile conf(folder + "/root/firebird.conf");
    ASSERT_TRUE(conf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(conf.readAll().contains("ServerMode = SuperClassic"));
    EXPECT_EQ(modeOf(conf.fileName()), 0600u);
}

TEST_F(PrivateFolder, SubFoldersAnEarlierVersionLeftOpenAreNarrowed)
{
    ASSERT_TRUE(QDir().mkpath(folder + "/root"));
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    ::chmod(QFile::encodeName(folder + "/root").constData(), 0755);
    ASSERT_TRUE(TFirebirdEnv::setUpPrivateFolder(folder, false, &error)) << qPrintable(error);
    EXPECT_EQ(modeOf(folder + "/root"), 0700u);
    EXPECT_FALSE(QFileInfo::exists(folder + "/lock"));
}

TEST_F(PrivateFolder, ConfigurationIsReplacedWholeOnlyWhenItDiffersAndNeverThroughALink)
{
    ASSERT_TRUE(TFirebirdEnv::setUpPrivateFolder(folder, true, &error)) << qPrintable(error);
    const QString conf = folder + "/root/firebird.conf";
    const ino_t first = statOf(conf).st_ino;
    ASSERT_TRUE(TFirebirdEnv::setUpPrivateFolder(folder, true, &error));
    EXPECT_EQ(statOf(conf).st_ino, first) << "rewritten although unchanged";

    // A link planted in its place is replaced, and what it pointed at is left alone.
    const QString victim = tmp.path() + "/victim.txt";
    QFile v(victim);
    ASSERT_TRUE(v.open(QIODevice::WriteOnly));
    v.write("keep me\n");
    v.close();
    QFile::remove(conf);
    ASSERT_TRUE(QFile::link(victim, conf));
    ASSERT_TRUE(TFirebirdEnv::setUpPrivateFolder(folder, true, &error)) << qPrintable(error);
    EXPECT_TRUE(S_ISREG(statOf(conf).st_mode));
    ASSERT_TRUE(v.open(QIODevice::ReadOnly));
    EXPECT_EQ(v.readAll(), "keep me\n");
    QFile c(conf);
    ASSERT_TRUE(c.open(QIODevice::ReadOnly));
    EXPECT_TRUE(c.readAll().contains("ServerMode = SuperClassic"));
    EXPECT_EQ(entries(folder + "/root").filter(".tmp").size(), 0) << "a temporary file was left";
}

TEST(PrivateFolderChoice, ProgramsInDifferentSessionsUseOneLockFolder)
{
    QTemporaryDir a, b;
    std::unique_ptr<QProcess> terminal(startPeer({"--folders"}, {{"TMPDIR", a.path()}, {"HOME", a.path()}}));
    std::unique_ptr<QProcess> desktop(startPeer({"--folders"}, {{"TMPDIR", b.path()}, {"HOME", b.path()}}));
    ASSERT_TRUE(terminal->waitForFinished(60000));
    ASSERT_TRUE(desktop->waitForFinished(60000));
    ASSERT_EQ(terminal->exitCode(), 0) << terminal->readAllStandardError().toStdString();
    ASSERT_EQ(desktop->exitCode(), 0) << desktop->readAllStandardError().toStdString();
    const QString first = QString::fromLocal8Bit(terminal->readAllStandardOutput().trimmed());
    const QString second = QString::fromLocal8Bit(desktop->readAllStandardOutput().trimmed());
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, TFirebirdEnv::privateFolder() + "/lock");
    EXPECT_FALSE(first.startsWith(a.path()));
}

// Another local user creates a folder in /tmp under this user's old name, as a link
// to a folder of their own: it no longer matters, the programs use a folder nobody
// else can create first, and nothing is written in the attacker's.
TEST(PrivateFolderChoice, AFolderAnotherUserPreparedInTmpDoesNotMatter)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run a program as another user";
    // An account of its own, so that no other test's folders are in the way.
    constexpr uid_t kVictimUid = 65533;
    const QString oldName = "/tmp/jovsec-firebird-" + QString::number(kVictimUid);
    const QString runtime = "/run/user/" + QString::number(kVictimUid);
    struct stat existing { };
    if (::lstat(QFile::encodeName(oldName).constData(), &existing) == 0 || errno != ENOENT ||
        !QFileInfo(QStringLiteral("/run/user")).isDir() || QFileInfo::exists(runtime))
        GTEST_SKIP() << "the folders of uid " << kVictimUid << " exist already";
    // The victim's session has its runtime folder, as a log-in gives it.
    ASSERT_EQ(::mkdir(QFile::encodeName(runtime).constData(), 0700), 0);
    ASSERT_EQ(::chown(QFile::encodeName(runtime).constData(), kVictimUid, kVictimUid), 0);
    QTemporaryDir attackers;
    ::chmod(QFile::encodeName(attackers.path()).constData(), 0777);
    ASSERT_TRUE(QFile::link(attackers.path(), oldName));
    std::unique_ptr<QProcess> peer(startPeer({"--folders"}, {}, kVictimUid));
    const bool finished = peer->waitForFinished(60000);
    ::unlink(QFile::encodeName(oldName).constData());
    const QString output = QString::fromLocal8Bit(peer->readAllStandardOutput().trimmed());
    QDir(runtime).removeRecursively();
    ASSERT_TRUE(finished);
    EXPECT_EQ(peer->exitCode(), 0) << peer->readAllStandardError().toStdString();
    EXPECT_EQ(output, runtime + "/jovsec-firebird/lock");
    EXPECT_TRUE(entries(attackers.path()).isEmpty()) << qPrintable(entries(attackers.path()).join(", "));
}

// A program started in a session (with a runtime folder) and one started without
// (a service, a cron job after the last log-out) keep their locks in one folder;
// two lock tables on one file would damage it.
TEST(PrivateFolderChoice, ProgramsWithAndWithoutASessionUseOneLockFolder)
{
    const QString runtime = "/run/user/" + QString::number(::geteuid());
    if (::geteuid() != 0 || !QFileInfo(QStringLiteral("/run/user")).isDir() || QFileInfo::exists(runtime))
        GTEST_SKIP() << "needs root and no runtime folder of this user";
    const auto lockFolder = [] {
        std::unique_ptr<QProcess> peer(startPeer({"--folders"}));
        EXPECT_TRUE(peer->waitForFinished(60000));
        EXPECT_EQ(peer->exitCode(), 0) << peer->readAllStandardError().toStdString();
        return QString::fromLocal8Bit(peer->readAllStandardOutput().trimmed());
    };
    const QString withoutSession = lockFolder();
    ASSERT_EQ(::mkdir(QFile::encodeName(runtime).constData(), 0700), 0);
    const QString inSession = lockFolder();
    QDir(runtime).removeRecursively();
    EXPECT_EQ(inSession, withoutSession);
    EXPECT_FALSE(withoutSession.isEmpty());
}

// Local time is read from the system's zone file once instead of at every date,
// and stays what the system shows, also on both sides of a daylight-saving change.
// A zone the user chose is kept.
TEST(PrivateFolderChoice, LocalTimeIsTheSystemsAndAChosenZoneIsKept)
{
    const QStringList instants = {"1774745999", "1774746000", "1792889999", "1792890000", "1767225600"};
    auto run = [&](const QString& program, const QStringList& args, const QString& tz) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("TZ");
        if (!tz.isEmpty())
            env.insert("TZ", tz);
        process.setProcessEnvironment(env);
        process.start(program, args);
        EXPECT_TRUE(process.waitForFinished(60000));
        return QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    };
    const QString peer = QCoreApplication::applicationDirPath() + "/jovsec_dbpeer";
    for (const QString& zone : {QString(), QString("Europe/Berlin")}) {
        QStringList expected;
        for (const QString& seconds : instants)
            expected << run("date", {"-d", "@" + seconds, "+%Y-%m-%d %H:%M:%S"}, zone).value(0);
        QStringList shown = run(peer, QStringList {"--localtime"} + instants, zone);
        ASSERT_EQ(shown.size(), instants.size() + 1);
        EXPECT_EQ(shown.takeFirst(), zone.isEmpty() ? ":/etc/localtime" : zone);
        EXPECT_EQ(shown, expected) << qPrintable(zone);
    }
}

// A program stopped (Ctrl+Z, SIGSTOP, a debugger) in the middle of its work on a file
// holds the engine for as long as it stays stopped: another program starting on
// that file gives up within the limit and says which program is stopped and where
// the engine's locks are, instead of waiting with it.
TEST(StoppedProgram, AnotherProgramStartingOnTheFileGivesUpNamingItAndTheLockFolder)
{
    TestDatabase db;
    std::unique_ptr<QProcess> holder(startPeer({"--hold", db.alias()}));
    ASSERT_TRUE(holder->waitForReadyRead(60000)) << holder->readAllStandardError().toStdString();
    ASSERT_EQ(holder->readAllStandardOutput().trimmed(), "held");
    const qint64 pid = holder->processId();
    ::kill(pid_t(pid), SIGSTOP);
    std::unique_ptr<QProcess> late(startPeer({db.alias(), "Late"}));
    const bool gaveUp = late->waitForFinished(11000);
    ::kill(pid_t(pid), SIGCONT);
    holder->kill();
    holder->waitForFinished(10000);
    if (!gaveUp) {
        late->kill();
        late->waitForFinished(10000);
    }
    ASSERT_TRUE(gaveUp) << "the program starting up waited for the stopped one";
    EXPECT_EQ(late->exitCode(), 1);
    const QString message = QString::fromLocal8Bit(late->readAllStandardError());
    EXPECT_TRUE(message.contains(QString("program %1 (jovsec_dbpeer)").arg(pid))) << qPrintable(message);
    EXPECT_TRUE(message.contains("stopped")) << qPrintable(message);
    EXPECT_TRUE(message.contains(qEnvironmentVariable("FIREBIRD_LOCK"))) << qPrintable(message);
    EXPECT_EQ(db.count("USERS"), 0);
}

// Every program rewrites a stale configuration as it starts, while the others read
// it: none of them may see it half-written.
TEST(PrivateFolderChoice, EightProgramsStartingAtOnceOnOneFileAllSucceed)
{
    if (TFirebirdEnv::privateRoot().isEmpty())
        GTEST_SKIP() << "FIREBIRD is set for this run";
    TestDatabase db;
    QSaveFile stale(TFirebirdEnv::privateRoot() + "/firebird.conf");
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("# an earlier version's\nServerMode = SuperClassic\n");
    ASSERT_TRUE(stale.commit());

    std::vector<std::unique_ptr<QProcess>> peers;
    for (int i = 0; i < 8; ++i)
        peers.emplace_back(startPeer({db.alias(), QString("Peer%1").arg(i)}));
    for (auto& peer : peers) {
        ASSERT_TRUE(peer->waitForFinished(120000));
        EXPECT_EQ(peer->exitCode(), 0) << peer->readAllStandardError().toStdString();
    }
    EXPECT_EQ(db.count("USERS"), 8);
}

TEST(DatabaseFile, ACreatedOrCopiedDatabaseIsOwnerOnlyWhateverTheUmask)
{
    QTemporaryDir dir;
    const QString created = dir.path() + "/created.gdb";
    const QString copied = dir.path() + "/copied.gdb";
    QString error;
    const mode_t old = ::umask(022);
    const bool made = TFirebirdEnv::createDatabase(created, "SYSDBA", "masterkey", &error);
    const bool copiedOk = made && TFirebirdEnv::copyDatabase(created, copied, &error);
    ::umask(old);
    ASSERT_TRUE(made) << qPrintable(error);
    ASSERT_TRUE(copiedOk) << qPrintable(error);
    EXPECT_EQ(modeOf(created), 0600u);
    EXPECT_EQ(modeOf(copied), 0600u);
    EXPECT_EQ(entries(dir.path()), QStringList({"copied.gdb", "created.gdb"})) << "work files were left";
}

TEST(DatabaseFile, AnExistingFileIsNeitherRecreatedNorOverwritten)
{
    QTemporaryDir dir;
    const QString existing = dir.path() + "/existing.gdb";
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("precious");
    file.close();
    QString error;
    EXPECT_FALSE(TFirebirdEnv::createDatabase(existing, "SYSDBA", "masterkey", &error));
    EXPECT_TRUE(error.contains(existing)) << qPrintable(error);
    EXPECT_FALSE(TFirebirdEnv::copyDatabase(existing, existing, &error));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "precious");
    EXPECT_EQ(entries(dir.path()), QStringList({"existing.gdb"}));
}

// Old versions the reading connection had to remove itself (garbage collection), in
// any table.
int collectedByReading(const TestDatabase& db)
{
    TQuery read;
    read.setDatabaseName(db.alias());
    read.setSQL("select count(*) from USERS");
    read.open();
    read.close();
    TQuery stats;
    stats.setDatabaseName(db.alias());
    stats.setSQL("select r.MON$RECORD_PURGES + r.MON$RECORD_EXPUNGES from MON$ATTACHMENTS a "
                 "join MON$RECORD_STATS r on r.MON$STAT_ID = a.MON$STAT_ID "
                 "where a.MON$ATTACHMENT_ID = CURRENT_CONNECTION");
    stats.open();
    return stats.field(0)->asInteger();
}

TEST(DatabaseFile, DeletedRowsAreCollectedOnAConnectionOfTheirOwn)
{
    const QString fill = "insert into USERS (USER_NAME, User_PASSWORD) select first 300 "
                         "'u' || (a.RDB$RELATION_ID * 1000 + b.RDB$RELATION_ID), 'pw' "
                         "from RDB$RELATIONS a cross join RDB$RELATIONS b";
    {
        TestDatabase db; // the next reader collects them
        db.exec(fill);
        db.exec("delete from USERS");
        EXPECT_GE(collectedByReading(db), 300);
    }
    TDatabase::dropTemporaryConnections();
    {
        TestDatabase db;
        db.exec(fill);
        db.exec("delete from USERS");
        QString error;
        ASSERT_TRUE(TFirebirdEnv::collectGarbage(db.path(), "SYSDBA", "masterkey", "USERS", &error))
            << qPrintable(error);
        // A few at most, of the engine's own tables: the 300 deleted users are gone.
        EXPECT_LT(collectedByReading(db), 20);
        EXPECT_EQ(db.count("USERS"), 0);
    }
    TDatabase::dropTemporaryConnections();
    QString error;
    EXPECT_FALSE(TFirebirdEnv::collectGarbage("/nonexistent/none.gdb", "SYSDBA", "masterkey", "LOG", &error));
    EXPECT_FALSE(error.isEmpty());
}
} // namespace
