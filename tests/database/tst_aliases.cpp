// The alias file tells programs which database to open, so only its owner's is used;
// alias names are ones the file can hold.
#include "database/EDatabaseError.h"
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "tests/support/TestDatabase.h"

#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {
// An alias file of its own in a folder of its own, for one test.
class OwnAliasFile {
public:
    OwnAliasFile() : m_previous(qgetenv("JOVSEC_CONFIG"))
    {
        file = dir.path() + "/aliases.ini";
        qputenv("JOVSEC_CONFIG", QFile::encodeName(file));
    }
    ~OwnAliasFile() { qputenv("JOVSEC_CONFIG", m_previous); }
    QTemporaryDir dir;
    QString file;

private:
    QByteArray m_previous;
};
} // namespace

TEST(AliasFile, OneThatOthersCanWriteOrOwnIsNotUsed)
{
    struct Case {
        const char* what;
        std::function<void(const OwnAliasFile&)> spoil;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"folder writable by all",
         [](const OwnAliasFile& f) { ::chmod(QFile::encodeName(f.dir.path()).constData(), 01777); },
         "other users can write to"},
        {"file writable by all", [](const OwnAliasFile& f) { ::chmod(QFile::encodeName(f.file).constData(), 0666); },
         "other users can write to"},
        {"file of another user",
         [](const OwnAliasFile& f) { ASSERT_EQ(::chown(QFile::encodeName(f.file).constData(), 4242, 4242), 0); },
         "belongs to another user (uid 4242)"},
    };
    for (const Case& c : cases) {
        if (::geteuid() != 0 && QByteArray(c.what) == "file of another user")
            continue;
        SCOPED_TRACE(c.what);
        OwnAliasFile config;
        ASSERT_TRUE(TAliases::addAlias("MINE", "INTRBASE", {"SERVER NAME=/srv/mine.gdb"}));
        c.spoil(config);

        const QString refusal = TAliases::refusal();
        EXPECT_TRUE(refusal.contains(config.file) && refusal.contains(c.reason)) << qPrintable(refusal);
        EXPECT_TRUE(TAliases::aliasNames().isEmpty());
        EXPECT_TRUE(TAliases::params("MINE").isEmpty());
        QString error;
        EXPECT_FALSE(TAliases::addAlias("OTHER", "INTRBASE", {"SERVER NAME=/srv/other.gdb"}, &error));
        EXPECT_EQ(error, refusal);
        TDatabase db;
        db.setAliasName("MINE");
        db.setLoginPrompt(false);
        try {
            db.open();
            ADD_FAILURE() << "an untrusted alias file was used";
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.message(), refusal);
        }
        // Given back to its owner alone, it is used again.
        ::chown(QFile::encodeName(config.file).constData(), ::geteuid(), ::getegid());
        ::chmod(QFile::encodeName(config.file).constData(), 0600);
        ::chmod(QFile::encodeName(config.dir.path()).constData(), 0700);
        EXPECT_TRUE(TAliases::refusal().isEmpty());
        EXPECT_EQ(TAliases::aliasNames(), QStringList {"MINE"});
    }
}

TEST(AliasFile, NamesEmptyBlankOrWithASlashAreRefusedAndNothingIsWritten)
{
    OwnAliasFile config;
    for (const QString& name : {QString(), QString("   "), QString("SALES/EAST"), QString("SALES\\EAST")}) {
        QString error;
        EXPECT_FALSE(TAliases::addAlias(name, "INTRBASE", {"SERVER NAME=/srv/a.gdb"}, &error)) << qPrintable(name);
        EXPECT_EQ(error, TAliases::nameProblem(name));
        EXPECT_FALSE(error.isEmpty()) << qPrintable(name);
    }
    EXPECT_FALSE(QFile::exists(config.file));
    EXPECT_TRUE(TAliases::addAlias("Sales East", "INTRBASE", {"SERVER NAME=/srv/a.gdb"}));
    EXPECT_EQ(TAliases::aliasNames(), QStringList {"Sales East"});
}
