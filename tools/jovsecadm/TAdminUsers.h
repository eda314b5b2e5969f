#pragma once
// jovsecadm's create command and its user commands.

class TAdminContext;

namespace TAdminUsers {
void create(TAdminContext& context);
void add(TAdminContext& context);
void list(TAdminContext& context);
void show(TAdminContext& context);
void set(TAdminContext& context);
void unlock(TAdminContext& context);
void remove(TAdminContext& context);
} // namespace TAdminUsers
