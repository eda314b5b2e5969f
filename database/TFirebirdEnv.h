#pragma once
// Prepares the Firebird client library before it is first loaded, and creates
// database files.
//
// Several programs must be able to open one local security database at once. The
// embedded engine's default mode locks a file to one process, so unless the user has
// set FIREBIRD, the layer points FIREBIRD at a private root whose firebird.conf says
// ServerMode = SuperClassic, and FIREBIRD_LOCK at a private lock folder shared by all
// of this user's programs.
//
// Every program of one OS user must use the same lock folder, or two lock tables on
// one file damage it. So the folder is derived from the user id alone, never from
// TMPDIR, HOME or anything else a session can vary: <home>/.local/state/jovsec-firebird
// with the home folder of the user's account when that is the user's own and on local
// storage, else the user's runtime folder /run/user/<uid>/jovsec-firebird when
// /run/user/<uid> is a folder of this user that nobody else can enter. The home folder
// comes first because it does not come and go with the user's sessions. No other
// local user can create either first, as they could a name in /tmp. The folder must be on local storage (the lock files are shared
// memory mapped by every process): one on network storage is refused. The folder and
// its sub-folders are checked before use without following links: a real directory,
// owned by this user, mode 0700. One that fails is refused and not used.

#include <QString>

#include <cstdint>

class TFirebirdEnv {
public:
    // Idempotent; must run before the client library loads (the layer calls it
    // before its first connection). Returns false when the private folder was
    // refused; refusal() says why, and local databases cannot be opened.
    static bool prepare();
    // With TZ unset the C library looks at /etc/localtime again for every date the
    // driver converts (one file-status call a row). Unless the user has set TZ, this
    // sets it to ":/etc/localtime", the same zone read once; local times are exactly
    // those of before. A program then keeps the zone it started with when the
    // system's zone is changed under it. Called by prepare().
    static void pinLocalTimeZone();
    // The private root in use (empty when the user set FIREBIRD or it was refused).
    static QString privateRoot();
    // Why the private folder was refused; empty when it is in use or not needed.
    static QString refusal();
    // The engine's text for a failed call of the client library (its status vector,
    // ISC_STATUS*), the lines joined by spaces.
    static QString statusText(const std::intptr_t* status);

    // This OS user's private folder; it depends on the user id (and whether the user
    // has a runtime folder) only.
    static QString privateFolder();
    // Creates (owner-only) or verifies the private folder with its "root" and, when
    // asked, "lock" sub-folders, and brings the configuration files in root up to
    // date: each is written to a temporary file and renamed into place, only when
    // its content differs. Returns false, with a message naming the folder in
    // error, and writes nothing when a folder cannot be trusted.
    static bool setUpPrivateFolder(const QString& folder, bool withLock, QString* error);

    // Creates an empty database file (UTF8, dialect 3). A location of the form
    // host[/port]:path creates it through a server; a local file is made mode 0600
    // whatever the umask, since only its permissions protect it. Returns false with
    // the engine's text in error.
    static bool createDatabase(const QString& location, const QString& user, const QString& password, QString* error);

    // Drops a database that the caller has just made and that nobody else uses yet,
    // on a server or on this computer. Returns false with the engine's text in error.
    static bool dropDatabase(const QString& location, const QString& user, const QString& password, QString* error);

    // Copies a database file (the prime database) to a new local file of mode 0600:
    // the copy is made in a private folder beside the target and moved into place,
    // never replacing an existing file. Returns false with a message in error.
    static bool copyDatabase(const QString& source, const QString& target, QString* error);
    // Reads a table whose rows were deleted en masse, on a connection of its own with a
    // large page cache, so the engine removes the old row versions and their index
    // entries now rather than in the next program that reads the table.
    static bool collectGarbage(const QString& location, const QString& user, const QString& password,
                               const QString& table, QString* error);

    // A database location: host:path or host/port:path reach a server; anything
    // else is a local file.
    struct Location {
        QString host;
        int port = -1;
        QString path;
        bool isRemote() const { return !host.isEmpty(); }
    };
    static Location parseLocation(const QString& location);
};
