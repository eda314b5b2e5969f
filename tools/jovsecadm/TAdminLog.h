#pragma once
// jovsecadm's log commands: export streams the activity log row by row, so memory
// stays flat however long the log is; clear deletes in one statement.

class TAdminContext;

namespace TAdminLog {
void exportLog(TAdminContext& context);
void clear(TAdminContext& context);
} // namespace TAdminLog
