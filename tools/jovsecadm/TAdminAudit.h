#pragma once
// The audit trail's commands: verify, head, export, archive, and upgrade for databases
// made before the trail.

class TAdminContext;

namespace TAdminAudit {
void verify(TAdminContext& c);
void head(TAdminContext& c);
void exportTrail(TAdminContext& c);
void archive(TAdminContext& c);
void upgrade(TAdminContext& c);
} // namespace TAdminAudit
