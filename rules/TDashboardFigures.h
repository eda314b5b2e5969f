#pragma once
// TDashboardFigures: what SecDesk's main window shows about the open security
// database: where it is, how many users, groups, access constants, grants and log
// rows it holds, the latest logons and the locked accounts. Widget-free: read through
// the engine layer in three statements, so a command-line tool can show the same.

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <vector>

struct TDashboardFigures {
    struct Logon {
        QString user;
        QDateTime when;
    };
    // How many of the latest logons, and of the locked accounts, are listed.
    static constexpr int kLastLogons = 10;
    static constexpr int kLockedListed = 100;

    QString alias;
    // The alias's "SERVER NAME": a file, or host:path on a server.
    QString location;
    int users = 0;
    int groups = 0;
    int constants = 0;
    // USERACC rows: constants granted to users and users' group memberships.
    int grants = 0;
    int logRows = 0;
    int locked = 0;
    // Whether the database keeps an audit trail, and the number of its newest event.
    bool auditing = false;
    qint64 auditEvents = 0;
    // Users by their last logon, the latest first.
    std::vector<Logon> lastLogons;
    // Locked accounts by name; at most kLockedListed of the `locked`.
    QStringList lockedUsers;

    // Reads the figures of the database open under the alias. Throws EDatabaseError.
    static TDashboardFigures read(const QString& alias);
};
