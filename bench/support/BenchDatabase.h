#pragma once
// A large security database for the benchmarks: generated once, server side in one
// transaction, into a cached file under /tmp and reused by later runs.

#include <QString>
#include <QStringList>

namespace BenchDatabase {
// Before the application object: the working folder, its alias file and the
// Firebird client environment.
void setUp(const QString& dir);

// Writes the component's messages to stderr instead of showing them.
void printMessages();

// Points alias at dir/security.gdb. When the file or its "ready" marker is missing,
// creates the file, builds the tables and runs the blocks in one transaction first.
void prepare(const QString& dir, const QString& alias, const QStringList& blocks);

// Generation blocks shared by the benchmarks.
// ACCESS rows CONST1 .. CONSTn.
QString constantsBlock(int constants);
// GROUPS rows group1 .. groupN, each with perGroup GRPCOLL rows.
QString groupsBlock(int groups, int perGroup, int constants);
// For every user: direct grants ('C') and group memberships ('G') in USERACC.
QString grantsBlock(int users, int directPerUser, int constants, int groupsPerUser, int groups);
// The PROGRAM row: security on, logging off.
QString programRow();
} // namespace BenchDatabase
