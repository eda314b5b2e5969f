#pragma once
// The security database's build statements and the build itself.

#include <QString>
#include <QStringList>

class TSchema {
public:
    // The twenty statements, in the order they must run.
    static QStringList buildStatements();
    // Runs the statements one at a time on the database name, stopping at the first
    // failure. Returns -1 when all ran, else the 0-based index of the failed
    // statement, with the engine's text in error.
    static int build(const QString& databaseName, QString* error = nullptr);

    // The prime database's file name, created beside the desktop program.
    static QString primeDatabaseName() { return QStringLiteral("Jovcssec.gdb"); }
};
