#pragma once
// jovsecadm's generate command: the C++ header of the access constants, the same
// bytes SecDesk's Generate writes, or a check that a header is up to date.

class TAdminContext;

namespace TAdminGenerate {
void generate(TAdminContext& context);
// Adds the indexes that a database made by an earlier version lacks.
void addIndexes(TAdminContext& context);
} // namespace TAdminGenerate
