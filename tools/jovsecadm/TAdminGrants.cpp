// Grants of constants and groups to users, and the two views of what they add up
// to. The views follow the access test: a direct grant first, then the user's groups
// in the order their rows are stored, each group holding the constants its
// collection lists; a group row with an id below 1 grants nothing, and type letters
// compare without regard to case.
#include "TAdminGrants.h"

#include "TAdminContext.h"
#include "TAdminError.h"
#include "TAdminOutput.h"
#include "TAdminSession.h"

#include "database/TAuditTrail.h"

#include <QJsonArray>

#include <map>

namespace {
struct Target {
    QString type; // "C" or "G"
    TNamedRow row;
};

QList<Target> targets(TAdminContext& c, TAdminSession& s)
{
    QList<Target> list;
    for (const QString& ref : c.values(QStringLiteral("constant")))
        list << Target {QStringLiteral("C"), s.constant(ref)};
    for (const QString& ref : c.values(QStringLiteral("group")))
        list << Target {QStringLiteral("G"), s.group(ref)};
    if (list.isEmpty())
        throw TAdminError::usage(QStringLiteral("Name at least one --constant or --group."));
    return list;
}

QString describe(const Target& t)
{
    return t.type == QLatin1String("G") ? QLatin1Char('(') + t.row.name + QLatin1Char(')') : t.row.name;
}

QHash<int, QString> namesOf(TAdminSession& s, const QString& sql)
{
    QHash<int, QString> names;
    for (const QVariantList& r : s.rows(sql))
        names.insert(r.at(0).toInt(), r.at(1).toString());
    return names;
}

QString viaText(int groupId, const QHash<int, QString>& groupNames)
{
    return QStringLiteral("group ") + groupNames.value(groupId, QStringLiteral("#") + QString::number(groupId));
}
} // namespace

namespace TAdminGrants {

void grant(TAdminContext& c)
{
    TAdminSession& s = c.session();
    const TNamedRow user = s.user(c.arg(0));
    const QList<Target> list = targets(c, s);
    QStringList added, held;
    TAuditTrail::run(s.database(), [&] {
        added.clear();
        held.clear();
        for (const Target& t : list) {
            // A user holds a constant or a group once.
            if (!s.rows(QStringLiteral("select 1 from USERACC where USER_ID = ? and ACCESS_ID = ? and upper(TYPE) = ?"),
                        {user.id, t.row.id, t.type})
                     .isEmpty()) {
                held << describe(t);
                continue;
            }
            s.exec(QStringLiteral("insert into USERACC (USER_ID, ACCESS_ID, TYPE) values (?, ?, ?)"),
                   {user.id, t.row.id, t.type});
            added << describe(t);
        }
        if (!added.isEmpty())
            s.audit(QLatin1String(TAuditKind::GrantGiven), user, added.join(QLatin1Char('\n')));
    });
    QString text =
        QStringLiteral("Granted to %1: %2")
            .arg(user.name, added.isEmpty() ? QStringLiteral("nothing new") : added.join(QStringLiteral(", ")));
    if (!held.isEmpty())
        text += QStringLiteral("; already held: ") + held.join(QStringLiteral(", "));
    c.out().done(text, {{QStringLiteral("added"), QJsonArray::fromStringList(added)},
                        {QStringLiteral("already_held"), QJsonArray::fromStringList(held)}});
}

void revoke(TAdminContext& c)
{
    TAdminSession& s = c.session();
    const TNamedRow user = s.user(c.arg(0));
    const QList<Target> list = targets(c, s);
    QStringList removed, notHeld;
    TAuditTrail::run(s.database(), [&] {
        removed.clear();
        notHeld.clear();
        for (const Target& t : list) {
            const int n =
                s.exec(QStringLiteral("delete from USERACC where USER_ID = ? and ACCESS_ID = ? and upper(TYPE) = ?"),
                       {user.id, t.row.id, t.type});
            (n > 0 ? removed : notHeld) << describe(t);
        }
        if (!removed.isEmpty())
            s.audit(QLatin1String(TAuditKind::GrantTaken), user, removed.join(QLatin1Char('\n')));
    });
    QString text =
        QStringLiteral("Revoked from %1: %2")
            .arg(user.name, removed.isEmpty() ? QStringLiteral("nothing") : removed.join(QStringLiteral(", ")));
    if (!notHeld.isEmpty())
        text += QStringLiteral("; not held: ") + notHeld.join(QStringLiteral(", "));
    c.out().done(text, {{QStringLiteral("removed"), QJsonArray::fromStringList(removed)},
                        {QStringLiteral("not_held"), QJsonArray::fromStringList(notHeld)}});
}

void effective(TAdminContext& c)
{
    TAdminSession& s = c.session();
    const TNamedRow user = s.user(c.arg(0));
    QSet<int> direct;
    QList<int> groups; // in the order the access test tries them
    for (const QVariantList& r :
         s.rows(QStringLiteral("select ACCESS_ID, upper(TYPE) from USERACC where USER_ID = ?"), {user.id})) {
        const int id = r.at(0).toInt();
        if (r.at(1).toString() == QLatin1String("C"))
            direct.insert(id);
        else if (r.at(1).toString() == QLatin1String("G") && id > 0 && !groups.contains(id))
            groups << id;
    }
    QHash<int, QList<int>> held; // group -> constants
    // "+ 0": by user, not through the index by ACCESS_ID, which would read every grant.
    for (const QVariantList& r :
         s.rows(QStringLiteral("select G.GROUP_ID, G.ACCESS_ID from GRPCOLL G join (select distinct ACCESS_ID from "
                               "USERACC where USER_ID = ? and upper(TYPE) = 'G' and ACCESS_ID + 0 > 0) M "
                               "on G.GROUP_ID = M.ACCESS_ID"),
                {user.id}))
        held[r.at(0).toInt()] << r.at(1).toInt();
    const QHash<int, QString> constantNames = namesOf(s, QStringLiteral("select ACCESS_ID, ACCESS_NAME from ACCESS"));
    const QHash<int, QString> groupNames = namesOf(s, QStringLiteral("select GROUP_ID, GROUP_NAME from GROUPS"));

    std::map<int, QStringList> ways; // constant -> grants, in the order they are tried
    for (int id : direct)
        ways[id] << QStringLiteral("direct");
    for (int group : groups) {
        QList<int> constants = held.value(group);
        std::sort(constants.begin(), constants.end());
        constants.erase(std::unique(constants.begin(), constants.end()), constants.end());
        for (int id : constants)
            ways[id] << viaText(group, groupNames);
    }
    QList<QVariantList> rows;
    for (const auto& [id, via] : ways)
        rows << QVariantList {id, constantNames.value(id, QStringLiteral("**Error**")), via.first(),
                              QVariant(QJsonArray::fromStringList(via.mid(1)))};
    c.out().table(
        {QStringLiteral("id"), QStringLiteral("constant"), QStringLiteral("granted_by"), QStringLiteral("also_by")},
        rows);
}

void whoCan(TAdminContext& c)
{
    TAdminSession& s = c.session();
    const TNamedRow constant = s.constant(c.arg(0));
    QStringList holding;
    for (const QVariantList& r :
         s.rows(QStringLiteral(
                    "select distinct GROUP_ID from GRPCOLL where ACCESS_ID = ? and GROUP_ID + 0 > 0 order by 1"),
                {constant.id}))
        holding << QString::number(r.at(0).toInt());
    // One pass over the grants: the direct ones and the memberships of those groups.
    QString sql = QStringLiteral("select USER_ID, ACCESS_ID, upper(TYPE) from USERACC where "
                                 "(ACCESS_ID = ? and upper(TYPE) = 'C')");
    // The groups go in as a list of their ids (read from the database above): a
    // subquery here would run once for every one of a million grant rows.
    constexpr int kMaxList = 1000;
    for (int i = 0; i < holding.size(); i += kMaxList)
        sql += QStringLiteral(" or (upper(TYPE) = 'G' and ACCESS_ID in (%1))")
                   .arg(holding.mid(i, kMaxList).join(QLatin1Char(',')));
    const QVariantList binds {constant.id};
    std::map<int, QStringList> ways; // user -> grants in the order the access test tries them
    std::map<int, bool> hasDirect;
    const QHash<int, QString> groupNames = namesOf(s, QStringLiteral("select GROUP_ID, GROUP_NAME from GROUPS"));
    for (const QVariantList& r : s.rows(sql, binds)) {
        const int user = r.at(0).toInt();
        QStringList& list = ways[user];
        if (r.at(2).toString() == QLatin1String("C")) {
            if (!hasDirect[user])
                list.prepend(QStringLiteral("direct"));
            hasDirect[user] = true;
        } else {
            const QString via = viaText(r.at(1).toInt(), groupNames);
            if (!list.contains(via))
                list << via;
        }
    }
    QHash<int, QVariantList> users;
    for (const QVariantList& r : s.rows(QStringLiteral("select USER_ID, USER_NAME, User_Enabled, Locked from USERS")))
        users.insert(r.at(0).toInt(), r);
    QList<QVariantList> rows;
    for (const auto& [id, via] : ways) {
        const QVariantList u = users.value(id);
        rows << QVariantList {id,
                              u.value(1),
                              u.value(2).toInt() == 1,
                              u.value(3).toInt() == 1,
                              via.first(),
                              QVariant(QJsonArray::fromStringList(via.mid(1)))};
    }
    c.out().table({QStringLiteral("id"), QStringLiteral("user"), QStringLiteral("enabled"), QStringLiteral("locked"),
                   QStringLiteral("granted_by"), QStringLiteral("also_by")},
                  rows);
}

} // namespace TAdminGrants
