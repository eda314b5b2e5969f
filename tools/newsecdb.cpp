// Command-line tool: creates a security database, registers its alias and builds the
// tables, so a secured application can be tried before the desktop is at hand.
//
//   jovsec_newsecdb ALIAS LOCATION [USER [PASSWORD]]
//
// LOCATION is a local file path (embedded engine) or host[/port]:path on a Firebird
// server; USER defaults to SYSDBA. The PROGRAM row is added with security and logging
// enabled and an empty label.

#include "database/EDatabaseError.h"
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "database/TFirebirdEnv.h"
#include "database/TQuery.h"
#include "database/TSchema.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTextStream>

int main(int argc, char** argv)
{
    TFirebirdEnv::prepare();
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() < 3 || args.size() > 5) {
        err << "usage: jovsec_newsecdb ALIAS LOCATION [USER [PASSWORD]]\n";
        return 2;
    }
    const QString alias = args.at(1);
    QString location = args.at(2);
    const QString user = args.size() > 3 ? args.at(3) : QStringLiteral("SYSDBA");
    const QString password = args.size() > 4 ? args.at(4) : QString();
    if (TAliases::exists(alias)) {
        err << "alias " << alias << " already exists in " << TAliases::configFile() << "\n";
        return 1;
    }
    const bool local = !location.contains(QLatin1Char(':')) || location.startsWith(QLatin1Char('/'));
    if (local) {
        location = QFileInfo(location).absoluteFilePath();
        if (QFileInfo::exists(location)) {
            err << location << " already exists\n";
            return 1;
        }
    }
    QString error;
    if (!TFirebirdEnv::createDatabase(location, user, password, &error)) {
        err << "cannot create " << location << ": " << error << "\n";
        return 1;
    }
    TAliases::addAlias(alias, QStringLiteral("INTRBASE"),
                       {QStringLiteral("SERVER NAME=") + location, QStringLiteral("USER NAME=") + user});
    TDatabase db;
    db.setAliasName(alias);
    db.setDatabaseName(alias);
    db.setParams({QStringLiteral("PASSWORD=") + password});
    db.setLoginPrompt(false);
    try {
        db.open();
        const int failed = TSchema::build(alias, &error);
        if (failed >= 0) {
            err << "Error Creating Tables (statement " << failed + 1 << "): " << error << "\n";
            return 1;
        }
        TQuery program;
        program.setDatabaseName(alias);
        program.setSQL(QStringLiteral("insert into PROGRAM (Security_Label) values ('')"));
        program.execSQL();
    } catch (const EDatabaseError& e) {
        err << e.message() << "\n";
        return 1;
    }
    QTextStream(stdout) << "Created " << location << " as alias " << alias << " in " << TAliases::configFile() << "\n";
    return 0;
}
