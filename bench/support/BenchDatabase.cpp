#include "BenchDatabase.h"

#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "database/TFirebirdEnv.h"
#include "database/TSchema.h"
#include "database/TTransaction.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

#include <benchmark/benchmark.h>
#include <ibase.h>

#include <cstdio>
#include <string>

namespace {
void addAlias(const QString& alias, const QString& path)
{
    TAliases::addAlias(alias, "INTRBASE", {"SERVER NAME=" + path, "USER NAME=SYSDBA", "PASSWORD=masterkey"});
}

// Generation blocks name their variables with a colon; they go to the engine as
// they are, outside the layer's parameter handling.
void runBlock(const TDatabase& connection, const QString& sql)
{
    QSqlQuery q(connection.sqlDatabase());
    if (!q.exec(sql))
        qFatal("generation failed: %s", qPrintable(q.lastError().text()));
    q.clear();
}

void generate(const QString& path, const QString& alias, const QStringList& blocks)
{
    QString error;
    if (!TFirebirdEnv::createDatabase(path, "SYSDBA", "masterkey", &error))
        qFatal("cannot create %s: %s", qPrintable(path), qPrintable(error));
    BenchDatabase::setForcedWrites(path, false);
    addAlias(alias, path);
    if (TSchema::build(alias, &error) >= 0)
        qFatal("build failed: %s", qPrintable(error));
    TDatabase::dropTemporaryConnections();

    TDatabase connection;
    connection.setAliasName(alias);
    connection.setDatabaseName(alias);
    connection.setLoginPrompt(false);
    connection.open();
    {
        TTransaction transaction(connection);
        for (const QString& block : blocks)
            runBlock(connection, block);
        transaction.commit();
    }
    connection.close();
    TDatabase::dropTemporaryConnections();
    BenchDatabase::setForcedWrites(path, true);
}
} // namespace

namespace BenchDatabase {
void setUp(const QString& dir)
{
    QDir().mkpath(dir);
    qputenv("JOVSEC_CONFIG", (dir + "/aliases.ini").toLocal8Bit());
    TFirebirdEnv::prepare();
}

void printMessages()
{
    Platform::setMessageHandler([](const QString& text, Platform::MsgKind, Platform::MsgButtons) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return Platform::MsgResult::Ok;
    });
}

int run(int argc, char** argv, const QString& dir, const std::function<void()>& prepare)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    setUp(dir);
    QApplication app(argc, argv);
    printMessages();
    prepare();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TDatabase::dropTemporaryConnections();
    return 0;
}

void setForcedWrites(const QString& path, bool on)
{
    std::string dpb(1, char(isc_dpb_version1));
    const auto add = [&dpb](char tag, const std::string& value) {
        dpb += tag;
        dpb += char(value.size());
        dpb += value;
    };
    add(isc_dpb_user_name, "SYSDBA");
    add(isc_dpb_password, "masterkey");
    add(isc_dpb_force_write, std::string(1, on ? 1 : 0));
    ISC_STATUS_ARRAY status {};
    isc_db_handle db = 0;
    const QByteArray file = QFile::encodeName(path);
    if (isc_attach_database(status, 0, file.constData(), &db, short(dpb.size()), dpb.data()))
        qFatal("cannot switch forced writes of %s", qPrintable(path));
    isc_detach_database(status, &db);
}

void prepare(const QString& dir, const QString& alias, const QStringList& blocks)
{
    QDir().mkpath(dir);
    const QString path = dir + "/security.gdb";
    const QString ready = dir + "/ready";
    if (!QFile::exists(ready) || !QFile::exists(path)) {
        QFile::remove(path);
        QElapsedTimer timer;
        timer.start();
        generate(path, alias, blocks);
        QFile marker(ready);
        if (!marker.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(ready));
        std::fprintf(stderr, "generated %s in %.1f s\n", qPrintable(path), timer.elapsed() / 1000.0);
    } else {
        addAlias(alias, path);
    }
}

QString usersBlock(int users)
{
    return QString("EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= %1) DO BEGIN "
                   "INSERT INTO USERS (USER_NAME, User_PASSWORD) VALUES ('user' || :I, 'pw' || :I); "
                   "I = I + 1; END END")
        .arg(users);
}

QString passwordHistoryRows()
{
    return QStringLiteral(
        "INSERT INTO PWHIST (USER_ID, PW1, PWSETDATE) SELECT USER_ID, User_PASSWORD, CURRENT_DATE FROM USERS");
}

QString constantsBlock(int constants)
{
    return QString("EXECUTE BLOCK AS DECLARE I INTEGER = 1; BEGIN WHILE (I <= %1) DO BEGIN "
                   "INSERT INTO ACCESS (ACCESS_NAME) VALUES ('CONST' || :I); I = I + 1; END END")
        .arg(constants);
}

QString groupsBlock(int groups, int perGroup, int constants)
{
    return QString("EXECUTE BLOCK AS DECLARE G INTEGER = 1; DECLARE K INTEGER; BEGIN "
                   "WHILE (G <= %1) DO BEGIN INSERT INTO GROUPS (GROUP_NAME) VALUES ('group' || :G); "
                   "K = 0; WHILE (K < %2) DO BEGIN INSERT INTO GRPCOLL (GROUP_ID, ACCESS_ID) "
                   "VALUES (:G, MOD(:G * 17 + :K * 97, %3) + 1); K = K + 1; END G = G + 1; END END")
        .arg(groups)
        .arg(perGroup)
        .arg(constants);
}

QString grantsBlock(int users, int directPerUser, int constants, int groupsPerUser, int groups)
{
    return QString("EXECUTE BLOCK AS DECLARE U INTEGER = 1; DECLARE J INTEGER; BEGIN "
                   "WHILE (U <= %1) DO BEGIN J = 0; WHILE (J < %2) DO BEGIN "
                   "INSERT INTO USERACC (USER_ID, Access_ID, TYPE) VALUES (:U, MOD(:U * 7 + :J * 13, %3) + 1, 'C'); "
                   "J = J + 1; END J = 0; WHILE (J < %4) DO BEGIN "
                   "INSERT INTO USERACC (USER_ID, Access_ID, TYPE) VALUES (:U, MOD(:U * 3 + :J * 101, %5) + 1, 'G'); "
                   "J = J + 1; END U = U + 1; END END")
        .arg(users)
        .arg(directPerUser)
        .arg(constants)
        .arg(groupsPerUser)
        .arg(groups);
}

QString programRow()
{
    return QStringLiteral("INSERT INTO PROGRAM (Security_Label, Enabled, LOGENABLED) VALUES ('Bench', 1, 0)");
}
} // namespace BenchDatabase
