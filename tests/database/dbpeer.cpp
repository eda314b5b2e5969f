// Another program on the same machine, started by the tests.
//
//   jovsec_dbpeer ALIAS NAME   adds a user to the security database and prints how
//                              many users it sees
//   jovsec_dbpeer --folders    prints the lock folder the layer chose, or the reason
//                              the private folder was refused (exit code 3)
//   jovsec_dbpeer --localtime S... prints TZ, then the local time of each S seconds
//                              since the epoch
//   jovsec_dbpeer --audit ALIAS N  adds N audit events, each with a user, one
//                              transaction each
//   jovsec_dbpeer --hold ALIAS adds a user in a transaction it never ends,
//                              prints "held" and waits to be stopped or ended
#include "database/EDatabaseError.h"
#include "database/TAuditTrail.h"
#include "database/TDatabase.h"
#include "database/TFirebirdEnv.h"
#include "database/TQuery.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>

#include <unistd.h>

int main(int argc, char** argv)
{
    const bool ready = TFirebirdEnv::prepare();
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 2 && args[1] == "--folders") {
        if (!ready) {
            QTextStream(stderr) << TFirebirdEnv::refusal() << "\n";
            return 3;
        }
        QTextStream(stdout) << qEnvironmentVariable("FIREBIRD_LOCK") << "\n";
        return 0;
    }
    if (args.size() > 1 && args[1] == "--localtime") {
        QTextStream out(stdout);
        out << qEnvironmentVariable("TZ") << "\n";
        for (const QString& seconds : args.mid(2))
            out << QDateTime::fromSecsSinceEpoch(seconds.toLongLong()).toString("yyyy-MM-dd HH:mm:ss") << "\n";
        return 0;
    }
    if (args.size() == 3 && args[1] == "--hold") {
        TDatabase db;
        db.setAliasName(args[2]);
        db.setDatabaseName(args[2]);
        db.setLoginPrompt(false);
        db.open();
        db.startTransaction();
        QSqlQuery change(db.sqlDatabase());
        if (!change.exec("insert into USERS (USER_NAME, User_PASSWORD) values ('Held', 'pw')"))
            return 1;
        QTextStream(stdout) << "held" << Qt::endl;
        for (;;)
            ::pause();
    }
    if (args.size() == 4 && args[1] == "--audit") {
        try {
            TDatabase& db = *TDatabase::connectionFor(args[2]);
            const QString me = QString::number(QCoreApplication::applicationPid());
            for (int i = 0; i < args[3].toInt(); ++i)
                TAuditTrail::run(db, [&] {
                    QSqlQuery change(db.sqlDatabase());
                    const QString name = me + "-" + QString::number(i);
                    if (!change.exec("insert into USERS (USER_NAME, User_PASSWORD) values ('" + name + "', 'pw')"))
                        throw EDatabaseError(change.lastError().text());
                    TAuditEvent event = TAuditTrail::event("UserAdded", "SUPERVISOR");
                    event.objectName = name;
                    TAuditTrail::append(db, event);
                });
        } catch (const std::exception& e) {
            QTextStream(stderr) << e.what() << "\n";
            return 1;
        }
        return 0;
    }
    if (args.size() != 3)
        return 2;
    try {
        TQuery insert;
        insert.setDatabaseName(args[1]);
        insert.setSQL("insert into USERS (USER_NAME, User_PASSWORD) values (:n, 'pw')");
        insert.setParamString("n", args[2]);
        insert.execSQL();
        TQuery count;
        count.setDatabaseName(args[1]);
        count.setSQL("select * from users");
        count.open();
        QTextStream(stdout) << count.recordCount() << "\n";
    } catch (const std::exception& e) {
        QTextStream(stderr) << e.what() << "\n";
        return 1;
    }
    return 0;
}
