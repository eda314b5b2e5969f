#include "tests/support/TestDatabase.h"

#include "database/EDatabaseError.h"
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "database/TFirebirdEnv.h"
#include "database/TQuery.h"
#include "database/TSchema.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <stdexcept>

void useTestConfig()
{
    static QTemporaryDir configDir;
    qputenv("JOVSEC_CONFIG", (configDir.path() + "/aliases.ini").toLocal8Bit());
}

namespace {
// Creating and building a database takes a dozen synced writes; each test program
// does it once and copies the files.
QString templateFile(bool built)
{
    static QTemporaryDir dir;
    const QString path = dir.path() + (built ? "/built.gdb" : "/empty.gdb");
    if (QFile::exists(path))
        return path;
    QString error;
    if (!TFirebirdEnv::createDatabase(path, "SYSDBA", "masterkey", &error))
        throw std::runtime_error(("cannot create test database: " + error).toStdString());
    if (built) {
        const QString alias = "JOVSEC_TEMPLATE";
        TAliases::addAlias(alias, "INTRBASE", {"SERVER NAME=" + path, "USER NAME=SYSDBA"});
        const int failed = TSchema::build(alias, &error);
        TDatabase::dropTemporaryConnections();
        TAliases::deleteAlias(alias);
        if (failed >= 0)
            throw std::runtime_error(("build failed: " + error).toStdString());
    }
    return path;
}
} // namespace

TestDatabase::TestDatabase(bool build, const QString& alias) : m_alias(alias)
{
    useTestConfig();
    m_path = m_dir.path() + "/security.gdb";
    if (!QFile::copy(templateFile(build), m_path))
        throw std::runtime_error("cannot copy the test database");
    QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    TAliases::addAlias(m_alias, "INTRBASE", {"SERVER NAME=" + m_path, "USER NAME=SYSDBA", "PASSWORD=masterkey"});
}

TestDatabase::~TestDatabase()
{
    TDatabase::dropTemporaryConnections();
    TAliases::deleteAlias(m_alias);
}

void TestDatabase::exec(const QString& sql) const
{
    TQuery q;
    q.setDatabaseName(m_alias);
    q.setSQL(sql);
    q.execSQL();
}

QStringList TestDatabase::rows(const QString& sql) const
{
    TQuery q;
    q.setDatabaseName(m_alias);
    q.setSQL(sql);
    q.open();
    QStringList out;
    for (q.first(); !q.eof(); q.next()) {
        QStringList values;
        for (int c = 0; c < q.fieldCount(); ++c)
            values << q.field(c)->asString().trimmed();
        out << values.join('|');
    }
    q.close();
    TDatabase::dropTemporaryConnections();
    return out;
}

QString TestDatabase::scalar(const QString& sql) const
{
    TQuery q;
    q.setDatabaseName(m_alias);
    q.setSQL(sql);
    q.open();
    const QString value = q.isEmpty() ? QString() : q.field(0)->asString();
    q.close();
    return value;
}

int TestDatabase::addUser(const QString& name, const QString& password, const QString& extraColumns,
                          const QString& extraValues) const
{
    TQuery q;
    q.setDatabaseName(m_alias);
    QString sql = "insert into USERS (USER_NAME, User_PASSWORD" +
                  (extraColumns.isEmpty() ? QString() : ", " + extraColumns) + ") values (:n, :p" +
                  (extraValues.isEmpty() ? QString() : ", " + extraValues) + ") returning USER_ID";
    q.setSQL(sql);
    q.setParamString("n", name);
    q.setParamString("p", password);
    q.open();
    const int id = q.field(0)->asInteger();
    q.close();
    exec(QStringLiteral("insert into PWHIST (USER_ID, PW1, PWSETDATE) values (%1, '%2', CURRENT_DATE)")
             .arg(id)
             .arg(QString(password).replace("'", "''")));
    return id;
}

void TestDatabase::addProgram(int enabled, int logEnabled) const
{
    exec(QStringLiteral("insert into PROGRAM (Security_Label, Enabled, LOGENABLED) values ('Test', %1, %2)")
             .arg(enabled)
             .arg(logEnabled));
}

HeldRows::HeldRows(const TestDatabase& db, const QString& update) : m_name(QStringLiteral("held_rows"))
{
    m_connection = QSqlDatabase::addDatabase(QStringLiteral("QIBASE"), m_name);
    m_connection.setDatabaseName(db.path());
    m_connection.setUserName(QStringLiteral("SYSDBA"));
    m_connection.setPassword(QStringLiteral("masterkey"));
    if (!m_connection.open() || !m_connection.transaction())
        throw std::runtime_error(("cannot hold rows: " + m_connection.lastError().text()).toStdString());
    QSqlQuery hold(m_connection);
    if (!hold.exec(update))
        throw std::runtime_error(("cannot hold rows: " + hold.lastError().text()).toStdString());
}

HeldRows::~HeldRows()
{
    release();
    m_connection.close();
    m_connection = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

void HeldRows::release() { m_connection.rollback(); }
