#include "database/TFirebirdEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <ibase.h>
#include <unistd.h>

namespace {
bool g_prepared = false;
QString g_privateRoot;

QString firebirdMessageFile()
{
    const char* candidates[] = {"/usr/lib/x86_64-linux-gnu/firebird/3.0/firebird.msg",
                                "/usr/lib/aarch64-linux-gnu/firebird/3.0/firebird.msg",
                                "/usr/share/firebird/3.0/firebird.msg", "/etc/firebird/3.0/firebird.msg"};
    for (const char* c : candidates)
        if (QFileInfo::exists(QString::fromLatin1(c)))
            return QString::fromLatin1(c);
    return QString();
}

QString quoted(const QString& text)
{
    QString out = text;
    out.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + out + QLatin1Char('\'');
}
} // namespace

void TFirebirdEnv::prepare()
{
    if (g_prepared)
        return;
    g_prepared = true;
    if (qEnvironmentVariableIsSet("FIREBIRD"))
        return;

    const QString base = QDir::tempPath() + QStringLiteral("/jovsec-firebird-") + QString::number(getuid());
    const QString root = base + QStringLiteral("/root");
    QDir().mkpath(root);
    QFile::setPermissions(base, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QFile conf(root + QStringLiteral("/firebird.conf"));
    if (conf.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        conf.write("# Written by JovSec: lets several programs share one database file.\n"
                   "ServerMode = SuperClassic\n"
                   "# A server that accepts the connection but never answers is given up on.\n"
                   "ConnectionTimeout = 10\n");
    conf.close();
    const QString msg = firebirdMessageFile();
    const QString link = root + QStringLiteral("/firebird.msg");
    if (!msg.isEmpty() && !QFileInfo::exists(link))
        QFile::link(msg, link);
    qputenv("FIREBIRD", QFile::encodeName(root));

    if (!qEnvironmentVariableIsSet("FIREBIRD_LOCK")) {
        const QString lock = base + QStringLiteral("/lock");
        QDir().mkpath(lock);
        qputenv("FIREBIRD_LOCK", QFile::encodeName(lock));
    }
    g_privateRoot = root;
}

QString TFirebirdEnv::privateRoot() { return g_privateRoot; }

bool TFirebirdEnv::createDatabase(const QString& location, const QString& user, const QString& password, QString* error)
{
    prepare();
    const QString statement = QStringLiteral("CREATE DATABASE ") + quoted(location) + QStringLiteral(" USER ") +
                              quoted(user.isEmpty() ? QStringLiteral("SYSDBA") : user) + QStringLiteral(" PASSWORD ") +
                              quoted(password) + QStringLiteral(" PAGE_SIZE 8192 DEFAULT CHARACTER SET UTF8");
    const QByteArray sql = statement.toUtf8();
    ISC_STATUS_ARRAY status {};
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    if (isc_dsql_execute_immediate(status, &db, &tr, 0, sql.constData(), 3, nullptr)) {
        if (error) {
            QString text;
            const ISC_STATUS* vector = status;
            char buffer[512];
            while (fb_interpret(buffer, sizeof buffer, &vector)) {
                if (!text.isEmpty())
                    text += QLatin1Char('\n');
                text += QString::fromLocal8Bit(buffer);
            }
            *error = text;
        }
        return false;
    }
    isc_detach_database(status, &db);
    return true;
}
