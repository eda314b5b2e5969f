// Several programs logging on to one security database at the same moment: every
// wrong password counts, a lock holds, and nobody sees an error because another
// program wrote the same row.
#include "tests/security/SecurityFixture.h"

#include <QCoreApplication>
#include <QProcess>

#include <memory>
#include <vector>

namespace {
class Concurrent : public SecurityTest {
protected:
    // Starts the peers, lets them all connect, then sets them off together and
    // returns every message they showed.
    QStringList runTogether(const std::vector<QStringList>& peerArgs)
    {
        std::vector<std::unique_ptr<QProcess>> peers;
        const QString program = QCoreApplication::applicationDirPath() + "/jovsec_logonpeer";
        for (const QStringList& args : peerArgs) {
            peers.push_back(std::make_unique<QProcess>());
            peers.back()->start(program, QStringList {db->alias()} + args);
        }
        for (auto& peer : peers) {
            while (!peer->canReadLine() && peer->state() != QProcess::NotRunning)
                peer->waitForReadyRead(60000);
            EXPECT_EQ(peer->readLine().trimmed(), "ready") << peer->readAllStandardError().toStdString();
        }
        // Written out at once: QProcess would otherwise hold the line back until a
        // wait on that very process.
        for (auto& peer : peers)
            peer->write("go\n");
        for (auto& peer : peers)
            peer->waitForBytesWritten(10000);
        QStringList shown;
        for (auto& peer : peers) {
            EXPECT_TRUE(peer->waitForFinished(120000));
            EXPECT_EQ(peer->exitCode(), 0) << peer->readAllStandardError().toStdString();
            const QString out = QString::fromUtf8(peer->readAllStandardOutput()).trimmed();
            if (!out.isEmpty())
                shown << out.split('\n');
        }
        return shown;
    }
};
} // namespace

TEST_F(Concurrent, ParallelWrongPasswordsAllCountAndTheLockHolds)
{
    const int id = db->addUser("Alice", "Secret", "AcctLocking, AllowedAttempts", "1, 3");
    constexpr int kPeers = 8;
    const QStringList shown = runTogether(std::vector<QStringList>(kPeers, {"dialog", "alice", "wrong"}));
    // Taken in turn: two refusals, the lock, then the locked account five times.
    EXPECT_EQ(shown.count("Invalid Username or Password"), 2) << qPrintable(shown.join('|'));
    EXPECT_EQ(shown.count("Too Many Invalid Logon Attempts, User Account Has Been Locked."), 1);
    EXPECT_EQ(shown.count("User Account Has Been Locked, Contact Your System Administrator."), 5);
    EXPECT_EQ(shown.size(), kPeers);
    EXPECT_EQ(userInt(id, "LoginAttempts"), kPeers);
    EXPECT_EQ(userInt(id, "Locked"), 1);
}

TEST_F(Concurrent, ParallelLogonsAndAccessTestsShowNoErrors)
{
    const int id = db->addUser("Bob", "pw");
    db->exec(QString("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (%1, 1, 'C')").arg(id));
    constexpr int kPeers = 6, kLogons = 15;
    const QStringList shown =
        runTogether(std::vector<QStringList>(kPeers, {"logonex", "Bob", "pw", QString::number(kLogons)}));
    EXPECT_TRUE(shown.isEmpty()) << qPrintable(shown.join('|'));
    // Every logon and every granted test was logged.
    EXPECT_EQ(logRows(), 2 * kPeers * kLogons);
}
