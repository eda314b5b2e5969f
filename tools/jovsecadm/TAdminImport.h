#pragma once
// jovsecadm import: the previous version's four dBASE files (PRVSEC1.DBF to
// PRVSEC4.DBF in one folder) into the security database, by the same rules and in
// the same one transaction as SecDesk's import dialog (TImportRun). Without --apply it
// is a dry run: every record is listed as added, skipped or refused and the
// transaction is rolled back. A refused record means nothing is written.

class TAdminContext;

namespace TAdminImport {
void import(TAdminContext& context);
} // namespace TAdminImport
