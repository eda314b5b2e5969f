// New: the Security Information dialog's rules, a security database made in a new
// folder or on a Firebird server, and every message in its step order.
#include "DesktopFixture.h"

#include "database/TQuery.h"
#include "database/TSchema.h"
#include "desktop/TFormOpenSecurity.h"
#include "platform/OsInfo.h"
#include "tools/jovsecadm/TAdminTool.h"
#include "widgets/TOrderedGroupBox.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>

#include <sys/stat.h>
#include <unistd.h>

namespace {
struct NewInput {
    QString alias;
    QString user;
    QString password;
    QString dir;
    QString name;
};

// Fills the Security Information dialog and presses OK. A dialog that stays open is
// then cancelled; kept receives its entries as OK left them.
void fillNew(const NewInput& in, NewInput* kept = nullptr)
{
    whenModal([in, kept](QWidget* modal) {
        auto* dialog = qobject_cast<TFormOpenSecurity*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->cmboxAlias->setEditText(in.alias);
        dialog->edUserID->setText(in.user);
        dialog->edPassword->setText(in.password);
        dialog->edDBDirectory->setText(in.dir);
        dialog->edDatabaseName->setText(in.name);
        dialog->bbnOk->click();
        if (!dialog->isVisible())
            return;
        if (kept)
            *kept = {dialog->cmboxAlias->currentText(), dialog->edUserID->text(), dialog->edPassword->text(),
                     dialog->edDBDirectory->text(), dialog->edDatabaseName->text()};
        dialog->bbnCancel->click();
    });
}

bool operator==(const NewInput& a, const NewInput& b)
{
    return a.alias == b.alias && a.user == b.user && a.password == b.password && a.dir == b.dir && a.name == b.name;
}

// The first column of a query on the database at a location, through an alias of
// the test's own.
QString scalarAt(const QString& location, const QString& sql, const QString& password = QString())
{
    TAliases::addAlias("NEW_SEC_CHECK", "INTRBASE", {"SERVER NAME=" + location, "USER NAME=SYSDBA"});
    QString value;
    {
        TDatabase db;
        db.setAliasName("NEW_SEC_CHECK");
        db.setDatabaseName("NEW_SEC_CHECK");
        db.setParams({"PASSWORD=" + password});
        db.setLoginPrompt(false);
        db.open();
        TQuery query;
        query.setDatabaseName("NEW_SEC_CHECK");
        query.setSQL(sql);
        query.open();
        value = query.isEmpty() ? QString() : query.field(0)->asString();
    }
    TAliases::deleteAlias("NEW_SEC_CHECK");
    return value;
}

// What a security database is made of, read from the engine's catalogue: the page
// size, dialect and character set, every column with its type, length, character set
// and null rule, every index with its columns, the triggers and the generators.
QStringList catalogueAt(const QString& location, const QString& password = QString())
{
    const QStringList queries {
        "select MON$PAGE_SIZE, MON$SQL_DIALECT, (select RDB$CHARACTER_SET_NAME from RDB$DATABASE) from MON$DATABASE",
        "select f.RDB$RELATION_NAME, f.RDB$FIELD_NAME, f.RDB$FIELD_POSITION, t.RDB$FIELD_TYPE, t.RDB$FIELD_LENGTH, "
        "t.RDB$CHARACTER_SET_ID, f.RDB$NULL_FLAG from RDB$RELATION_FIELDS f join RDB$FIELDS t on t.RDB$FIELD_NAME = "
        "f.RDB$FIELD_SOURCE where coalesce(f.RDB$SYSTEM_FLAG, 0) = 0 order by 1, 2",
        "select i.RDB$INDEX_NAME, i.RDB$RELATION_NAME, i.RDB$UNIQUE_FLAG, i.RDB$INDEX_TYPE, s.RDB$FIELD_NAME from "
        "RDB$INDICES i left join RDB$INDEX_SEGMENTS s on s.RDB$INDEX_NAME = i.RDB$INDEX_NAME where "
        "coalesce(i.RDB$SYSTEM_FLAG, 0) = 0 order by 1, s.RDB$FIELD_POSITION",
        "select RDB$TRIGGER_NAME, RDB$RELATION_NAME from RDB$TRIGGERS where coalesce(RDB$SYSTEM_FLAG, 0) = 0 order by 1",
        "select RDB$GENERATOR_NAME from RDB$GENERATORS where coalesce(RDB$SYSTEM_FLAG, 0) = 0 order by 1"};
    TAliases::addAlias("NEW_SEC_CHECK", "INTRBASE", {"SERVER NAME=" + location, "USER NAME=SYSDBA"});
    QStringList lines;
    {
        TDatabase db;
        db.setAliasName("NEW_SEC_CHECK");
        db.setDatabaseName("NEW_SEC_CHECK");
        db.setParams({"PASSWORD=" + password});
        db.setLoginPrompt(false);
        db.open();
        for (const QString& sql : queries) {
            TQuery query;
            query.setDatabaseName("NEW_SEC_CHECK");
            query.setSQL(sql);
            query.open();
            for (query.first(); !query.eof(); query.next()) {
                QStringList values;
                for (int c = 0; c < query.fieldCount(); ++c)
                    values << query.field(c)->asString().trimmed();
                lines << values.join('|');
            }
        }
    }
    TAliases::deleteAlias("NEW_SEC_CHECK");
    return lines;
}

// Makes a database at location with SecDesk's New, another beside it with jovsecadm
// create, and checks that both are made alike: the security tables, their indexes
// (the log's among them) and the audit trail's tables.
void expectNewAndCreateAlike(TFormAdmin& window, const QString& dir, const QString& password)
{
    fillNew({"NEW_SEC", "SYSDBA", password, dir, "new.gdb"});
    window.New1->trigger();
    ASSERT_EQ(window.OpenAlias, "NEW_SEC");
    window.Close1Click();
    QString out, err;
    QTextStream o(&out), e(&err);
    ASSERT_EQ(TAdminTool::run({"create", "NEW_SEC_CLI", dir + "/created.gdb", "--db-password", password}, o, e), 0)
        << qPrintable(err);
    TAliases::deleteAlias("NEW_SEC_CLI");

    const QStringList made = catalogueAt(dir + "/new.gdb", password);
    EXPECT_TRUE(made.contains("LOG_DATE_DESC|LOG|0|1|ACCESS_DATE")) << qPrintable(made.join('\n'));
    EXPECT_TRUE(made.filter(QRegularExpression("^AUDIT")).size() > 0) << qPrintable(made.join('\n'));
    EXPECT_EQ(made, catalogueAt(dir + "/created.gdb", password));
}

// The file's permission bits as the system keeps them.
int fileMode(const QString& path)
{
    struct stat info { };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

const QString kSecurityTables = "select count(*) from rdb$relations where rdb$relation_name in ('ACCESS', "
                                "'GROUPS', 'GRPCOLL', 'PROGRAM', 'USERS', 'PWHIST', 'USERACC', 'LOG')";

const QString kFoundHere = "Security database found at this location. Either remove database, use a different "
                           "database name, or select a new directory.";
const QString kFoundAtAlias = "Security database found at this location. Either remove database, select a new "
                              "directory or a new alias.";
const QString kNoPrime = "The JOV Security Utility Can NOT Find The Prime Database, \"Jovcssec.gdb\".";

// Moves the prime database away for one test.
class PrimeHidden {
public:
    PrimeHidden() : m_path(Platform::programDirectory() + TSchema::primeDatabaseName())
    {
        QFile::rename(m_path, m_path + ".hidden");
    }
    ~PrimeHidden() { QFile::rename(m_path + ".hidden", m_path); }

private:
    QString m_path;
};
} // namespace

class NewDatabase : public DesktopTest {
protected:
    void TearDown() override
    {
        DesktopTest::TearDown();
        TAliases::deleteAlias("NEW_SEC");
    }

    QTemporaryDir folder;
};

TEST_F(NewDatabase, ANewFolderGetsTheFileTheAliasAndTheTablesAndOpens)
{
    ASSERT_TRUE(QFile::exists(Platform::programDirectory() + TSchema::primeDatabaseName()));
    const QString dir = folder.path() + "/security";
    ASSERT_TRUE(QDir().mkpath(dir));
    fillNew({"NEW_SEC", "SYSDBA", "secret", dir, "orders.gdb"});
    window->New1->trigger();

    EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join("\n"));
    const QString path = dir + "/orders.gdb";
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_EQ(fileMode(path), 0600);
    EXPECT_EQ(TAliases::driverType("NEW_SEC"), "INTRBASE");
    EXPECT_EQ(TAliases::params("NEW_SEC"), QStringList({"SERVER NAME=" + path, "USER NAME=SYSDBA", "PASSWORD=secret"}));
    // The alias file holds the password: its owner alone may read it.
    EXPECT_EQ(fileMode(TAliases::configFile()), 0600);

    // The log-in prompt asked once, for the new alias with its stored user.
    EXPECT_EQ(logins, QStringList({"NEW_SEC|SYSDBA"}));
    EXPECT_EQ(window->OpenAlias, "NEW_SEC");
    EXPECT_EQ(window->panelText(1), "Alias: NEW_SEC");
    EXPECT_EQ(window->panelText(2), "");

    window->Close1Click();
    EXPECT_EQ(scalarAt(path, kSecurityTables), "8");
    EXPECT_EQ(scalarAt(path, "select count(*) from PROGRAM"), "0");
}

// New copies the prime database; jovsecadm create has the engine make the file: the
// two make the same security database.
TEST_F(NewDatabase, NewAndTheCommandLineMakeTheSameDatabase)
{
    expectNewAndCreateAlike(*window, folder.path(), "secret");
}

// A taken place is refused by the dialog, which stays open with what was typed so that
// only the name or folder need changing.
TEST_F(NewDatabase, AFileAtTheTypedPlaceKeepsTheDialogOpenWithItsEntries)
{
    QFile existing(folder.path() + "/taken.gdb");
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("not a database");
    existing.close();
    const NewInput typed {"NEW_SEC", "SYSDBA", "secret", folder.path() + "/", "taken.gdb"};
    NewInput kept;
    fillNew(typed, &kept);
    window->New1->trigger();
    EXPECT_EQ(messages.texts(), QStringList({kFoundHere}));
    EXPECT_TRUE(kept == typed) << "the dialog closed or lost its entries";
    EXPECT_FALSE(TAliases::exists("NEW_SEC"));
    EXPECT_TRUE(logins.isEmpty());
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), "not a database");
}

// A name that the existence checks pass over (a link to nowhere) is still taken: the
// copy does not replace it or write through it, and nothing connects to it.
TEST_F(NewDatabase, TheCopyNeverReplacesWhatIsAtTheTarget)
{
    QTemporaryDir elsewhere;
    const QString pointedTo = elsewhere.path() + "/theirs.gdb";
    const QString target = folder.path() + "/linked.gdb";
    ASSERT_TRUE(QFile::link(pointedTo, target));
    fillNew({"NEW_SEC", "SYSDBA", "secret", folder.path(), "linked.gdb"});
    window->New1->trigger();
    EXPECT_EQ(messages.texts(), QStringList({kFoundAtAlias}));
    EXPECT_TRUE(logins.isEmpty());
    EXPECT_EQ(QFileInfo(target).symLinkTarget(), pointedTo);
    EXPECT_FALSE(QFile::exists(pointedTo));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System),
              QStringList({"linked.gdb"}))
        << "work files were left";
    EXPECT_TRUE(window->OpenAlias.isEmpty());
}

TEST_F(NewDatabase, AListedAliasWhoseFileExistsCopiesNothing)
{
    TestDatabase db(true, "LISTED_SEC");
    const QByteArray before = [&] {
        QFile f(db.path());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    // A listed name typed in other letters still chooses that alias.
    NewInput kept;
    fillNew({"listed_sec", "", "masterkey", "", ""}, &kept);
    window->New1->trigger();
    EXPECT_EQ(messages.texts(), QStringList({kFoundAtAlias}));
    EXPECT_EQ(kept.alias, "listed_sec") << "the dialog closed";
    EXPECT_TRUE(logins.isEmpty());
    EXPECT_EQ(TAliases::params("LISTED_SEC").size(), 3);
    QFile after(db.path());
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
}

TEST_F(NewDatabase, AMissingPrimeIsReportedAfterTheOtherFailures)
{
    TestDatabase db(true, "LISTED_SEC");
    PrimeHidden hidden;
    fillNew({"LISTED_SEC", "", "masterkey", "", ""});
    window->New1->trigger();
    EXPECT_EQ(messages.texts(), QStringList({kFoundAtAlias})); // and the dialog stays open

    // A new alias is not registered when nothing is made.
    messages.clear();
    fillNew({"NEW_SEC", "SYSDBA", "secret", folder.path(), "new.gdb"});
    window->New1->trigger();
    EXPECT_EQ(messages.texts(), QStringList({kNoPrime}));
    EXPECT_FALSE(TAliases::exists("NEW_SEC"));
    EXPECT_FALSE(QFile::exists(folder.path() + "/new.gdb"));
    EXPECT_TRUE(logins.isEmpty());
    EXPECT_TRUE(window->OpenAlias.isEmpty());
}

// A file that cannot be made is reported with its path and the reason, and leaves
// neither an alias nor a file behind.
TEST_F(NewDatabase, AFileThatCannotBeMadeIsReportedWithItsPathAndWhy)
{
    const QString prime = Platform::programDirectory() + TSchema::primeDatabaseName();
    const QString closed = folder.path() + "/closed";
    ASSERT_TRUE(QDir().mkpath(closed));
    QFile::setPermissions(closed, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const struct {
        QString dir;
        const char* reason;
        QString unreadable;
    } cases[] = {
        {folder.path() + "/missing", "No such file or directory", {}},
        {closed, "Permission denied", {}},
        {folder.path(), "Permission denied", prime},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dir.toStdString() + " " + c.reason);
        if (::geteuid() == 0 && QLatin1String(c.reason) == QLatin1String("Permission denied"))
            continue; // permissions do not hold root back
        if (!c.unreadable.isEmpty())
            QFile::setPermissions(c.unreadable, QFileDevice::WriteOwner);
        messages.clear();
        fillNew({"NEW_SEC", "SYSDBA", "secret", c.dir, "orders.gdb"});
        window->New1->trigger();
        if (!c.unreadable.isEmpty())
            QFile::setPermissions(c.unreadable, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        ASSERT_EQ(messages.shown.size(), 1) << qPrintable(messages.texts().join("\n"));
        EXPECT_TRUE(messages.last().startsWith("Unable to create the security database at " + c.dir + "/orders.gdb."))
            << qPrintable(messages.last());
        EXPECT_TRUE(messages.last().contains(c.reason)) << qPrintable(messages.last());
        EXPECT_FALSE(TAliases::exists("NEW_SEC"));
        EXPECT_FALSE(QFile::exists(c.dir + "/orders.gdb"));
        EXPECT_TRUE(logins.isEmpty());
    }
    QFile::setPermissions(closed, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// A New that ends in a failure, here the log-in after the build, takes back its alias
// and its file: nothing is left for a later Open to stumble on.
TEST_F(NewDatabase, AFailedNewLeavesNoAliasAndNoFile)
{
    acceptLogin = false;
    fillNew({"NEW_SEC", "SYSDBA", "secret", folder.path(), "built.gdb"});
    window->New1->trigger();
    EXPECT_EQ(messages.texts(), QStringList({"Unable to Add Databases."}));
    EXPECT_EQ(logins.size(), 1);
    EXPECT_TRUE(window->OpenAlias.isEmpty());
    EXPECT_FALSE(TAliases::exists("NEW_SEC"));
    EXPECT_FALSE(QFile::exists(folder.path() + "/built.gdb"));
}

class NewOnServer : public NewDatabase {
protected:
    void SetUp() override
    {
        server = qEnvironmentVariable("JOVSEC_TEST_SERVER");
        if (server.isEmpty())
            GTEST_SKIP() << "no Firebird test server (JOVSEC_TEST_SERVER) in this run";
        password = qEnvironmentVariable("JOVSEC_TEST_SERVER_PASSWORD", "masterkey");
        NewDatabase::SetUp();
        loginPassword = password;
    }
    QString server;
    QString password;
};

TEST_F(NewOnServer, CreatesTheDatabaseThroughTheServerWithTheTypedAccount)
{
    const QString dir = server + ":" + folder.path();
    fillNew({"NEW_SEC", "SYSDBA", password, dir, "server.gdb"});
    window->New1->trigger();
    EXPECT_TRUE(messages.shown.isEmpty()) << qPrintable(messages.texts().join("\n"));
    const QString location = dir + "/server.gdb";
    EXPECT_EQ(TAliases::paramValue(TAliases::params("NEW_SEC"), "SERVER NAME"), location);
    EXPECT_EQ(window->OpenAlias, "NEW_SEC");
    window->Close1Click();
    EXPECT_EQ(scalarAt(location, kSecurityTables, password), "8");
}

TEST_F(NewOnServer, AWrongPasswordIsRefusedByTheServerAndOpensNothing)
{
    fillNew({"NEW_SEC", "SYSDBA", "wrong-" + password, server + ":" + folder.path(), "refused.gdb"});
    window->New1->trigger();
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_EQ(messages.texts().first(), "Unable to Add Databases.");
    EXPECT_FALSE(messages.texts().last().isEmpty());
    EXPECT_TRUE(logins.isEmpty());
    EXPECT_TRUE(window->OpenAlias.isEmpty());
    EXPECT_FALSE(QFile::exists(folder.path() + "/refused.gdb"));
}

// The log-in after New fails: New says why and takes back the alias and the database
// the server made.
TEST_F(NewOnServer, ALogInTypoAfterNewSaysSoAndTakesBackAliasAndDatabase)
{
    loginPassword = "typo-" + password;
    const QString dir = server + ":" + folder.path();
    fillNew({"NEW_SEC", "SYSDBA", password, dir, "typo.gdb"});
    window->New1->trigger();
    ASSERT_EQ(messages.shown.size(), 1);
    EXPECT_NE(messages.last(), "Unable to Add Databases.");
    EXPECT_FALSE(messages.last().isEmpty());
    EXPECT_EQ(logins.size(), 1);
    EXPECT_TRUE(window->OpenAlias.isEmpty());
    EXPECT_FALSE(TAliases::exists("NEW_SEC"));
    EXPECT_FALSE(QFile::exists(folder.path() + "/typo.gdb"));
}

TEST_F(NewOnServer, NewAndTheCommandLineMakeTheSameDatabase)
{
    expectNewAndCreateAlike(*window, server + ":" + folder.path(), password);
}

using SecurityInformation = DesktopTest;

TEST_F(SecurityInformation, TypedAndChosenAliasesEnableTheirControls)
{
    TestDatabase db(true, "LISTED_SEC");
    TFormOpenSecurity dialog(window.get());
    dialog.FormShow();
    EXPECT_EQ(dialog.windowTitle(), "Security Information");
    EXPECT_EQ(dialog.grpAlias->title(), "Alias:");
    EXPECT_EQ(dialog.grpPassword->title(), "Master User ID && Password:");
    EXPECT_EQ(dialog.grpDirectory->title(), "Security Database Information:");
    EXPECT_EQ(dialog.grpDirectory->badgeText(), "3");
    EXPECT_EQ(dialog.grpDirectory->labelColor(), QColor(Qt::red));
    EXPECT_GE(dialog.cmboxAlias->findText("LISTED_SEC"), 0);

    const auto expectTyped = [&](bool typed) {
        EXPECT_EQ(dialog.aliasTyped(), typed);
        EXPECT_EQ(dialog.edDBDirectory->isEnabled(), typed);
        EXPECT_EQ(dialog.btnDBLocation->isEnabled(), typed);
        EXPECT_EQ(dialog.edDatabaseName->isEnabled(), typed);
        EXPECT_EQ(dialog.edUserID->isVisibleTo(&dialog), typed);
        EXPECT_EQ(dialog.lblUserID->isVisibleTo(&dialog), typed);
        EXPECT_EQ(dialog.grpDirectory->palette().color(QPalette::WindowText),
                  typed ? QColor(Qt::black) : QColor(128, 128, 128));
    };
    dialog.cmboxAlias->setEditText("MY_NEW");
    expectTyped(true);
    dialog.cmboxAlias->setCurrentIndex(dialog.cmboxAlias->findText("LISTED_SEC"));
    expectTyped(false);
    dialog.cmboxAlias->setEditText("Listed_Sec");
    expectTyped(false);
    dialog.cmboxAlias->setEditText("Listed_Se");
    expectTyped(true);

    // Choosing the alias keeps the dialog's size and shows where the alias points;
    // what was typed for a new one comes back.
    dialog.edDBDirectory->setText("/srv/new");
    dialog.edDatabaseName->setText("new.gdb");
    dialog.show();
    dialog.layout()->activate();
    const QSize typedSize = dialog.size();
    dialog.cmboxAlias->setEditText("LISTED_SEC");
    dialog.layout()->activate();
    EXPECT_EQ(dialog.size(), typedSize);
    EXPECT_EQ(dialog.edDBDirectory->text() + "/" + dialog.edDatabaseName->text(), db.path());
    dialog.cmboxAlias->setEditText("LISTED_SEC2");
    EXPECT_EQ(dialog.edDBDirectory->text(), "/srv/new");
    EXPECT_EQ(dialog.edDatabaseName->text(), "new.gdb");
}

TEST_F(SecurityInformation, ClosingChecksInOrderAndCancelAlwaysCloses)
{
    TestDatabase db(true, "LISTED_SEC");
    TFormOpenSecurity dialog(window.get());
    dialog.FormShow();
    EXPECT_FALSE(dialog.FormCloseQuery());
    dialog.cmboxAlias->setEditText("   "); // blanks are no alias
    EXPECT_FALSE(dialog.FormCloseQuery());
    dialog.cmboxAlias->setEditText("MY/NEW");
    dialog.edPassword->setText("pw");
    EXPECT_FALSE(dialog.FormCloseQuery());
    dialog.edPassword->clear();
    dialog.cmboxAlias->setEditText("MY_NEW");
    EXPECT_FALSE(dialog.FormCloseQuery());
    dialog.edPassword->setText("pw");
    EXPECT_FALSE(dialog.FormCloseQuery());
    dialog.edUserID->setText("SYSDBA");
    EXPECT_FALSE(dialog.FormCloseQuery());
    dialog.edDBDirectory->setText("/tmp");
    EXPECT_FALSE(dialog.FormCloseQuery());
    dialog.edDatabaseName->setText("x.gdb");
    EXPECT_TRUE(dialog.FormCloseQuery());
    EXPECT_EQ(
        messages.texts(),
        QStringList({"An Alias must be either selected or created.", "An Alias must be either selected or created.",
                     "The alias name \"MY/NEW\" cannot contain a slash (/ or \\).", "A Password must be selected.",
                     "A UserID must be entered.", "A Security Database Location must be entered.",
                     "A Security Database Name must be entered."}));

    // A chosen alias needs neither a User ID nor a location, but its file must not exist.
    messages.clear();
    dialog.edUserID->clear();
    dialog.edDBDirectory->clear();
    dialog.cmboxAlias->setCurrentIndex(dialog.cmboxAlias->findText("LISTED_SEC"));
    EXPECT_FALSE(dialog.FormCloseQuery());
    EXPECT_EQ(messages.texts(), QStringList({kFoundAtAlias}));
    messages.clear();
    QFile::rename(db.path(), db.path() + ".moved");
    EXPECT_TRUE(dialog.FormCloseQuery());
    QFile::rename(db.path() + ".moved", db.path());
    dialog.edPassword->clear();
    dialog.done(QDialog::Rejected);
    EXPECT_TRUE(messages.shown.isEmpty());
}

// On the shown dialog, as a keyboard user meets it: the editable alias box and the
// button box both change the focus chain after construction.
TEST_F(SecurityInformation, TabVisitsTheStepsInOrderThenTheButtons)
{
    TFormOpenSecurity dialog(window.get());
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    dialog.cmboxAlias->setFocus();
    dialog.cmboxAlias->setEditText("MY_NEW");
    QList<QWidget*> visited;
    for (int i = 0; i < 8; ++i) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        visited << (focus->focusProxy() == nullptr && focus->parentWidget() == dialog.cmboxAlias ? dialog.cmboxAlias
                                                                                                 : focus);
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    const QList<QWidget*> expected {dialog.cmboxAlias,    dialog.edUserID,      dialog.edPassword,
                                    dialog.edDBDirectory, dialog.btnDBLocation, dialog.edDatabaseName,
                                    dialog.bbnOk,         dialog.bbnCancel};
    EXPECT_EQ(visited, expected);
}

TEST_F(SecurityInformation, AChosenFileFillsFolderAndName)
{
    TFormOpenSecurity dialog(window.get());
    dialog.takeDatabaseFile("/var/lib/sec/JOVCSSecure.gdb");
    EXPECT_EQ(dialog.edDBDirectory->text(), "/var/lib/sec");
    EXPECT_EQ(dialog.edDatabaseName->text(), "JOVCSSecure.gdb");
    dialog.takeDatabaseFile("/top.gdb");
    EXPECT_EQ(dialog.edDBDirectory->text(), "/");
    EXPECT_EQ(dialog.edDatabaseName->text(), "top.gdb");
    EXPECT_EQ(dialog.SaveDialog1->windowTitle(), "Select Security Database Location");
    EXPECT_EQ(dialog.SaveDialog1->defaultSuffix(), "gdb");
}
