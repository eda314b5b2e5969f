#pragma once
// jovsecadm's group and access-constant commands.

class TAdminContext;

namespace TAdminLists {
void groupAdd(TAdminContext& context);
void groupList(TAdminContext& context);
void groupDelete(TAdminContext& context);
void groupAddConstant(TAdminContext& context);
void groupRemoveConstant(TAdminContext& context);
void constantAdd(TAdminContext& context);
void constantList(TAdminContext& context);
void constantRename(TAdminContext& context);
void constantDelete(TAdminContext& context);
} // namespace TAdminLists
