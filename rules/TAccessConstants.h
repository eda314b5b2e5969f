#pragma once
// The texts the constants generator writes, made from the rows of ACCESS: the Pascal
// lines and the C++ header. No widgets: SecDesk's Generate dialog and jovsecadm's
// generate command write the same bytes from here.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class TQuery;

// One row of ACCESS.
struct TAccessConstant {
    int id = 0;
    QString name;
};

// "  dsc_<name>" filled to 23 characters, "=<id>;", CRLF; one line per row.
QByteArray PascalConstants(const QList<TAccessConstant>& constants);
// A header a secured application includes: one inline constexpr int per row, names
// made valid C++ identifiers and distinct whatever the labels. renamed receives
// "old -> new" for each name changed.
QByteArray CppConstants(const QString& alias, const QList<TAccessConstant>& constants, QStringList* renamed = nullptr);
// Every row of ACCESS of the database named databaseName, by id, read through the
// statement given (left closed). Throws EDatabaseError.
QList<TAccessConstant> ReadAccessConstants(TQuery& statement, const QString& databaseName);
