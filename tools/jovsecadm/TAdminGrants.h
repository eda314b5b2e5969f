#pragma once
// jovsecadm's grant, revoke, effective and who-can commands.

class TAdminContext;

namespace TAdminGrants {
void grant(TAdminContext& context);
void revoke(TAdminContext& context);
void effective(TAdminContext& context);
void whoCan(TAdminContext& context);
} // namespace TAdminGrants
