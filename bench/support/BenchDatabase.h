#pragma once
// A large security database for the benchmarks: generated once, server side in one
// transaction, into a cached file under /tmp and reused by later runs.

#include <QString>
#include <QStringList>

#include <functional>

namespace BenchDatabase {
// Before the application object: the working folder, its alias file and the
// Firebird client environment.
void setUp(const QString& dir);

// Writes the component's messages to stderr instead of showing them.
void printMessages();

// The whole main() of a GUI benchmark program: setUp(dir), an offscreen application
// with messages printed, then prepare (which makes its database) and the benchmarks.
int run(int argc, char** argv, const QString& dir, const std::function<void()>& prepare);

// Forced writes make every page write synchronous. Generation runs without them;
// the file then gets them back, as a database made by New has them.
void setForcedWrites(const QString& path, bool on);

// Points alias at dir/security.gdb. When the file or its "ready" marker is missing,
// creates the file, builds the tables and runs the blocks in one transaction first.
void prepare(const QString& dir, const QString& alias, const QStringList& blocks);

// Generation blocks shared by the benchmarks.
// USERS rows user1 .. userN with passwords pw1 .. pwN.
QString usersBlock(int users);
// A PWHIST row for every user, set today.
QString passwordHistoryRows();
// ACCESS rows CONST1 .. CONSTn.
QString constantsBlock(int constants);
// GROUPS rows group1 .. groupN, each with perGroup GRPCOLL rows.
QString groupsBlock(int groups, int perGroup, int constants);
// For every user: direct grants ('C') and group memberships ('G') in USERACC.
QString grantsBlock(int users, int directPerUser, int constants, int groupsPerUser, int groups);
// The PROGRAM row: security on, logging off.
QString programRow();
} // namespace BenchDatabase
