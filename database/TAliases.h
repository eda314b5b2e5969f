#pragma once
// Database aliases, kept in a persistent INI file: by default aliases.ini in the
// user's configuration folder (~/.config/JovSec), or the file named by the
// JOVSEC_CONFIG environment variable. An alias has a driver type ("INTRBASE" is
// Firebird) and NAME=VALUE parameters; alias and parameter names compare without
// regard to letter case.
//
// A parameter may hold a database password in clear, so the file is created and
// rewritten readable and writable by its owner only.
//
// The file tells the programs which database to trust, so, as ssh does with its keys,
// it is used only when it and its folder belong to this user (or root) and nobody
// else can write to them; otherwise it is read as holding no alias, nothing is
// written to it, and refusal() says why.

#include <QString>
#include <QStringList>
#include <QVariantMap>

class TAliases {
public:
    static QString configFile();
    // Why the alias file is not used, naming the file or folder at fault; empty when
    // it is used.
    static QString refusal();

    // Why a name cannot be an alias (empty, only blanks, or with a slash, which the
    // file would read as a path); empty when it can.
    static QString nameProblem(const QString& alias);

    static QStringList aliasNames();
    static bool exists(const QString& alias);
    // Adds (or replaces) an alias and saves the configuration; false, with the reason
    // in error, when the name is refused or it cannot be saved.
    static bool addAlias(const QString& alias, const QString& driverType, const QStringList& params,
                         QString* error = nullptr);
    // Removes an alias from the file; the database it points to is not touched. True
    // when no such alias is left; false, with the reason in error, when it cannot be
    // saved.
    static bool deleteAlias(const QString& alias, QString* error = nullptr);
    // Replaces an alias's parameters, keeping its spelling and driver type; false, with
    // the reason in error, when there is no such alias or it cannot be saved.
    static bool setParams(const QString& alias, const QStringList& params, QString* error = nullptr);
    static QString driverType(const QString& alias);
    // The alias's parameters as NAME=VALUE lines; empty when there is no such alias.
    static QStringList params(const QString& alias);
    // Settings kept with an alias (the reports' designs, say) as a group of keys in
    // its entry ("Designs/rdUsers/Title"); they go with the alias when it is deleted
    // or registered anew. settings() is empty when there are none; setSettings()
    // with an empty map removes the group, and fails, with the reason in error, when
    // there is no such alias or the file cannot be used or saved.
    static QVariantMap settings(const QString& alias, const QString& group);
    static bool setSettings(const QString& alias, const QString& group, const QVariantMap& values,
                            QString* error = nullptr);

    // The aliases plus the names of the open named connections, sorted, no duplicates.
    static QStringList databaseNames();

    // NAME=VALUE helpers, names compared without regard to case.
    static QString paramValue(const QStringList& params, const QString& name);
    static bool hasParam(const QStringList& params, const QString& name);
    // The parameters with name set to value (in its place, or added at the end).
    static QStringList withParam(const QStringList& params, const QString& name, const QString& value);
    static QStringList withoutParam(const QStringList& params, const QString& name);

    // One alias as the alias lists show it: where it points and what it keeps.
    struct Entry {
        QString name; // as the file spells it
        QString driverType;
        QString location; // SERVER NAME
        QString host; // empty for a file on this computer
        int port = -1;
        QString path;
        QString user;
        bool storesPassword = false;
        // Whether the file is there; only known for a file on this computer.
        bool fileExists = false;
        bool remote() const { return !host.isEmpty(); }
        // "/home/me/orders.gdb on this computer", "/db/orders.gdb on server dbhost, port 3051".
        QString where() const;
    };
    // Every alias of the file, sorted by name; empty when the file is not used.
    static QList<Entry> entries();
    // The alias's entry; false when there is no such alias.
    static bool entry(const QString& alias, Entry* entry);
};
