#include "tests/support/TestDatabase.h"

#include "database/EDatabaseError.h"
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "database/TFirebirdEnv.h"
#include "database/TQuery.h"
#include "database/TSchema.h"

#include <QDir>
#include <stdexcept>

void useTestConfig()
{
    static QTemporaryDir configDir;
    qputenv("JOVSEC_CONFIG", (configDir.path() + "/aliases.ini").toLocal8Bit());
}

TestDatabase::TestDatabase(bool build, const QString& alias) : m_alias(alias)
{
    useTestConfig();
    m_path = m_dir.path() + "/security.gdb";
    QString error;
    if (!TFirebirdEnv::createDatabase(m_path, "SYSDBA", "masterkey", &error))
        throw std::runtime_error(("cannot create test database: " + error).toStdString());
    TAliases::addAlias(m_alias, "INTRBASE",
                       {"SERVER NAME=" + m_path, "USER NAME=SYSDBA", "PASSWORD=masterkey"});
    if (build) {
        const int failed = TSchema::build(m_alias, &error);
        if (failed >= 0)
            throw std::runtime_error(("build failed: " + error).toStdString());
    }
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

int TestDatabase::addUser(const QString& name, const QString& password,
                          const QString& extraColumns, const QString& extraValues) const
{
    TQuery q;
    q.setDatabaseName(m_alias);
    QString sql = "insert into USERS (USER_NAME, User_PASSWORD" +
                  (extraColumns.isEmpty() ? QString() : ", " + extraColumns) +
                  ") values (:n, :p" + (extraValues.isEmpty() ? QString() : ", " + extraValues) +
                  ") returning USER_ID";
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
