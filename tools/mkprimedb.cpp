// Build tool: creates an empty Firebird database file, the prime database that new
// security databases are copied from.

#include "database/TFirebirdEnv.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        QTextStream(stderr) << "usage: jovsec_mkprimedb FILE\n";
        return 2;
    }
    const QString path = args.at(1);
    QFile::remove(path);
    QString error;
    if (!TFirebirdEnv::createDatabase(path, QStringLiteral("SYSDBA"), QString(), &error)) {
        QTextStream(stderr) << "cannot create " << path << ": " << error << "\n";
        return 1;
    }
    return 0;
}
