// Groups and access constants with the setup editor's rules: constant names unique
// without regard to letter case and at most 20 characters, deleting a group or a
// constant removes every row that refers to it, all or none.
#include "TAdminLists.h"

#include "TAdminContext.h"
#include "TAdminError.h"
#include "TAdminOutput.h"
#include "TAdminSession.h"

#include "database/TAuditTrail.h"

#include "database/EDatabaseError.h"
#include "database/TQuery.h"
#include "rules/TSecurityRules.h"

#include <QJsonArray>

namespace {
const QString kAccess = QStringLiteral("ACCESS");

bool constantExists(TAdminSession& s, const QString& name)
{
    return !s.rowsNamed(kAccess, QStringLiteral("ACCESS_ID"), QStringLiteral("ACCESS_NAME"), name).isEmpty();
}

void checkConstantLabel(const QString& label)
{
    if (label.isEmpty())
        throw TAdminError::refused(QStringLiteral("Access Label is Required."));
    if (label.size() > TSecurityRules::AccessNameLength)
        throw TAdminError::refused(TSecurityRules::accessLabelTooLong());
}

// Adds the pair unless the group holds the constant already; true when added.
bool addToGroup(TAdminSession& s, int groupId, int accessId)
{
    if (!s.rows(QStringLiteral("select 1 from GRPCOLL where GROUP_ID = ? and ACCESS_ID = ?"), {groupId, accessId})
             .isEmpty())
        return false;
    s.exec(QStringLiteral("insert into GRPCOLL (GROUP_ID, ACCESS_ID) values (?, ?)"), {groupId, accessId});
    return true;
}
} // namespace

namespace TAdminLists {

void groupAdd(TAdminContext& c)
{
    const QString name = c.arg(0);
    if (name.trimmed().isEmpty())
        throw TAdminError::refused(TSecurityRules::missingGroupName());
    if (name.size() > TSecurityRules::GroupNameLength)
        throw TAdminError::refused(QStringLiteral("Group Name Can Not Be Longer Than 20 Characters."));
    TAdminSession& s = c.session();
    // The table refuses the same name twice, compared exactly as the editor leaves
    // it; names that differ in letter case are then told apart by their ids.
    if (!s.rows(QStringLiteral("select 1 from GROUPS where GROUP_NAME = ?"), {name}).isEmpty())
        throw TAdminError::refused(QStringLiteral("Duplicate Group Name, Add Failed"));
    QList<TNamedRow> constants;
    for (const QString& ref : c.values(QStringLiteral("constant")))
        constants << s.constant(ref);
    int id = 0;
    TAuditTrail::run(s.database(), [&] {
        id = s.rows(QStringLiteral("insert into GROUPS (GROUP_NAME) values (?) returning GROUP_ID"), {name})
                 .first()
                 .at(0)
                 .toInt();
        QStringList added;
        for (const TNamedRow& constant : constants)
            if (addToGroup(s, id, constant.id))
                added << constant.name;
        s.audit(QLatin1String(TAuditKind::GroupAdded), {id, name},
                added.isEmpty() ? QString() : QStringLiteral("Constants: ") + added.join(QStringLiteral(", ")));
    });
    c.out().done(QStringLiteral("Added group %1 (id %2)").arg(name).arg(id),
                 {{QStringLiteral("id"), id}, {QStringLiteral("name"), name}});
}

void groupList(TAdminContext& c)
{
    TAdminSession& s = c.session();
    QHash<int, QJsonArray> members;
    for (const QVariantList& r : s.rows(QStringLiteral(
             "select G.GROUP_ID, A.ACCESS_NAME from GRPCOLL G left join ACCESS A on A.ACCESS_ID = G.ACCESS_ID "
             "order by G.GROUP_ID, A.ACCESS_NAME")))
        members[r.at(0).toInt()].append(r.at(1).isNull() ? QStringLiteral("Error") : r.at(1).toString());
    QList<QVariantList> rows;
    for (const QVariantList& r : s.rows(QStringLiteral("select GROUP_ID, GROUP_NAME from GROUPS order by GROUP_NAME")))
        rows << QVariantList {r.at(0), r.at(1), QVariant(members.value(r.at(0).toInt()))};
    c.out().table({QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("constants")}, rows);
}

void groupDelete(TAdminContext& c)
{
    TAdminSession& s = c.session();
    const TNamedRow group = s.group(c.arg(0));
    TAuditTrail::run(s.database(), [&] {
        TSecurityRules::runInTransaction(s.statement(), TSecurityRules::deleteGroupStatements(group.id));
        s.audit(QLatin1String(TAuditKind::GroupDeleted), group);
    });
    c.out().done(QStringLiteral("Deleted group %1").arg(group.name), {{QStringLiteral("id"), group.id}});
}

void groupAddConstant(TAdminContext& c)
{
    TAdminSession& s = c.session();
    const TNamedRow group = s.group(c.arg(0));
    QList<TNamedRow> constants;
    for (const QString& ref : c.args().mid(1))
        constants << s.constant(ref);
    int added = 0;
    TAuditTrail::run(s.database(), [&] {
        added = 0;
        QStringList names;
        for (const TNamedRow& constant : constants)
            if (addToGroup(s, group.id, constant.id)) {
                ++added;
                names << constant.name;
            }
        if (added)
            s.audit(QLatin1String(TAuditKind::GroupChanged), group,
                    QStringLiteral("Constants added: ") + names.join(QStringLiteral(", ")));
    });
    c.out().done(QStringLiteral("Added %1 constant(s) to group %2").arg(added).arg(group.name),
                 {{QStringLiteral("added"), added}});
}

void groupRemoveConstant(TAdminContext& c)
{
    TAdminSession& s = c.session();
    const TNamedRow group = s.group(c.arg(0));
    QList<TNamedRow> constants;
    for (const QString& ref : c.args().mid(1))
        constants << s.constant(ref);
    int removed = 0;
    TAuditTrail::run(s.database(), [&] {
        removed = 0;
        QStringList names;
        for (const TNamedRow& constant : constants)
            if (const int gone = s.exec(QStringLiteral("delete from GRPCOLL where GROUP_ID = ? and ACCESS_ID = ?"),
                                        {group.id, constant.id})) {
                removed += gone;
                names << constant.name;
            }
        if (removed)
            s.audit(QLatin1String(TAuditKind::GroupChanged), group,
                    QStringLiteral("Constants removed: ") + names.join(QStringLiteral(", ")));
    });
    c.out().done(QStringLiteral("Removed %1 constant(s) from group %2").arg(removed).arg(group.name),
                 {{QStringLiteral("removed"), removed}});
}

void constantAdd(TAdminContext& c)
{
    const QString label = c.arg(0);
    checkConstantLabel(label);
    TAdminSession& s = c.session();
    if (constantExists(s, label))
        throw TAdminError::refused(TSecurityRules::duplicateConstantAdd());
    int id = 0;
    TAuditTrail::run(s.database(), [&] {
        id = s.rows(QStringLiteral("insert into ACCESS (ACCESS_NAME) values (?) returning ACCESS_ID"), {label})
                 .first()
                 .at(0)
                 .toInt();
        s.audit(QLatin1String(TAuditKind::ConstantAdded), {id, label});
    });
    c.out().done(QStringLiteral("Added access constant %1 (id %2)").arg(label).arg(id),
                 {{QStringLiteral("id"), id}, {QStringLiteral("name"), label}});
}

void constantList(TAdminContext& c)
{
    c.out().table({QStringLiteral("id"), QStringLiteral("name")},
                  c.session().rows(QStringLiteral("select ACCESS_ID, ACCESS_NAME from ACCESS order by ACCESS_ID")));
}

void constantRename(TAdminContext& c)
{
    TAdminSession& s = c.session();
    const TNamedRow constant = s.constant(c.arg(0));
    const QString label = c.arg(1);
    checkConstantLabel(label);
    // Any constant of that name counts, the renamed one included, as in the editor.
    if (constantExists(s, label))
        throw TAdminError::refused(TSecurityRules::duplicateConstantChange());
    TAuditTrail::run(s.database(), [&] {
        s.exec(QStringLiteral("update ACCESS set ACCESS_NAME = ? where ACCESS_ID = ?"), {label, constant.id});
        s.audit(QLatin1String(TAuditKind::ConstantChanged), {constant.id, label},
                TAuditTrail::change(QStringLiteral("ACCESS_NAME"), constant.name, label));
    });
    c.out().done(QStringLiteral("Renamed access constant %1 to %2").arg(constant.name, label),
                 {{QStringLiteral("id"), constant.id}, {QStringLiteral("name"), label}});
}

void constantDelete(TAdminContext& c)
{
    TAdminSession& s = c.session();
    const TNamedRow constant = s.constant(c.arg(0));
    TAuditTrail::run(s.database(), [&] {
        TSecurityRules::runInTransaction(s.statement(), TSecurityRules::deleteConstantStatements(constant.id));
        s.audit(QLatin1String(TAuditKind::ConstantDeleted), constant);
    });
    c.out().done(QStringLiteral("Deleted access constant %1").arg(constant.name),
                 {{QStringLiteral("id"), constant.id}});
}

} // namespace TAdminLists
