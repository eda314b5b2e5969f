#pragma once
// Prepares the Firebird client library before it is first loaded, and creates
// database files.
//
// Several programs must be able to open one local security database at once. The
// embedded engine's default mode locks a file to one process, so unless the user has
// set FIREBIRD, the layer points FIREBIRD at a private root whose firebird.conf says
// ServerMode = SuperClassic, and FIREBIRD_LOCK at a private lock folder shared by all
// of this user's programs.

#include <QString>

class TFirebirdEnv {
public:
    // Idempotent; must run before the client library loads (the layer calls it
    // before its first connection).
    static void prepare();
    // The private root in use (empty when the user set FIREBIRD).
    static QString privateRoot();

    // Creates an empty database file (UTF8, dialect 3). A location of the form
    // host[/port]:path creates it through a server. Returns false with the engine's
    // text in error.
    static bool createDatabase(const QString& location, const QString& user, const QString& password, QString* error);
};
