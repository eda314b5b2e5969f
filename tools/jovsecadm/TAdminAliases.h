#pragma once
// jovsecadm's alias commands: list the aliases with where each points, show one,
// correct its location or account, forget its stored password, remove it. They work
// on the alias file alone and never touch a database file.

class TAdminContext;

namespace TAdminAliases {
void list(TAdminContext& context);
void show(TAdminContext& context);
void set(TAdminContext& context);
void remove(TAdminContext& context);
} // namespace TAdminAliases
