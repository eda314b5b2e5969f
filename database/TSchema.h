#pragma once
// The security database's build statements and the build itself.

#include <QString>
#include <QStringList>

class TSchema {
public:
    // The twenty statements, in the order they must run.
    static QStringList buildStatements();
    // Indexes added after the twenty, run after them: USERACC and GRPCOLL by
    // ACCESS_ID, so the holders of one constant or group are found without reading
    // every grant, USERS by the upper-cased name, so a logon by name reads one
    // user's row, and LOG by date, by count and by constant in both directions, so
    // the log viewer reads only the rows it shows.
    static QStringList indexStatements();
    // Runs the build statements, the index statements and the audit trail's
    // statements one at a time on the database name, stopping at the first failure. Returns -1 when all ran, else
    // the 0-based index of the failed statement in that sequence, with the engine's
    // text in error.
    static int build(const QString& databaseName, QString* error = nullptr);
    // Adds the indexes of indexStatements() that a database made before them lacks.
    // Returns how many were added; throws EDatabaseError when one cannot be made.
    static int addMissingIndexes(const QString& databaseName);

    // The prime database's file name, created beside the desktop program.
    static QString primeDatabaseName() { return QStringLiteral("Jovcssec.gdb"); }
};
