// Creating a security database, and adding, listing, showing, changing, unlocking
// and deleting users, with the setup editor's rules.
#include "TAdminUsers.h"

#include "TAdminContext.h"
#include "TAdminError.h"
#include "TAdminOutput.h"
#include "TAdminSession.h"

#include "database/EDatabaseError.h"
#include "database/TAuditTrail.h"
#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "rules/TSecurityRules.h"
#include "rules/TSecurityDatabaseMaker.h"

#include <QDate>
#include <QFileInfo>
#include <QJsonArray>

namespace {
struct AccountFlags {
    int enabled = 1;
    int admin = 0;
    int mustChange = 0;
    int neverExpires = 0;
    int noChange = 0;
};

void checkLength(const QString& value, int limit, const QString& what)
{
    if (value.size() > limit)
        throw TAdminError::refused(QStringLiteral("%1 can not be longer than %2 characters.").arg(what).arg(limit));
}

// The user dialog's interlocks: "User Can't Change Password" implies "Password Never
// Expires", and "User Must Change Password at Next Login" excludes both.
void applyFlagOptions(TAdminContext& c, AccountFlags& f)
{
    const auto flag = [&c](const char* option, int& value) {
        if (c.isSet(QLatin1String(option)))
            value = c.yesNo(QLatin1String(option)) ? 1 : 0;
    };
    flag("enabled", f.enabled);
    flag("admin", f.admin);
    flag("must-change", f.mustChange);
    flag("never-expires", f.neverExpires);
    flag("no-change", f.noChange);
    if (f.noChange == 1) {
        if (c.isSet(QStringLiteral("never-expires")) && f.neverExpires == 0)
            throw TAdminError::refused(QStringLiteral("User Can't Change Password goes with Password Never Expires."));
        f.neverExpires = 1;
    }
    if (f.mustChange == 1 && (f.neverExpires == 1 || f.noChange == 1))
        throw TAdminError::refused(QStringLiteral(
            "User Must Change Password at Next Login excludes Password Never Expires and User Can't Change Password."));
}

void checkAccountText(const QString& name, const QString& password, const QString& field1, const QString& field2)
{
    if (name.trimmed().isEmpty())
        throw TAdminError::refused(TSecurityRules::nameRequired());
    checkLength(name, TSecurityRules::UserNameLength, QStringLiteral("User Name"));
    if (password.isEmpty())
        throw TAdminError::refused(QStringLiteral("Password field is Required."));
    checkLength(password, TSecurityRules::PasswordLength, QStringLiteral("Password"));
    checkLength(field1, TSecurityRules::UserFieldLength, QStringLiteral("User Field 1"));
    checkLength(field2, TSecurityRules::UserFieldLength, QStringLiteral("User Field 2"));
}

QVariant textOrNull(const QString& s) { return s.isEmpty() ? QVariant() : QVariant(s); }

// A policy value: a number in range, or one of the named choices.
int policyValue(TAdminContext& c, const QString& option, int low, int high, const QList<QPair<QString, int>>& named)
{
    const QString text = c.value(option).trimmed();
    for (const auto& [word, value] : named)
        if (text.compare(word, Qt::CaseInsensitive) == 0)
            return value;
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < low || n > high) {
        QStringList words;
        for (const auto& p : named)
            words << p.first;
        throw TAdminError::usage(QStringLiteral("--%1 takes a number from %2 to %3 or %4, not \"%5\".")
                                     .arg(option)
                                     .arg(low)
                                     .arg(high)
                                     .arg(words.join(QStringLiteral(" or ")), text));
    }
    return n;
}

bool anyPolicyValue(TAdminContext& c)
{
    for (const char* o : {"aging", "max-age", "min-age", "min-length", "history", "locking"})
        if (c.isSet(QLatin1String(o)))
            return true;
    return false;
}

// Writes the user's own policy, as the editor's "Customize User Account Policy"
// saves it, starting from what the user has now.
void saveCustomPolicy(TAdminContext& c, TAdminSession& s, int userId)
{
    const QList<QVariantList> u =
        s.rows(QStringLiteral("select PWAGING, PWKEEPHIST, ACCTLOCKING, ALLOWEDATTEMPTS from USERS where USER_ID = ?"),
               {userId});
    int aging = u.first().at(0).toInt(), keep = u.first().at(1).toInt(), locking = u.first().at(2).toInt(),
        attempts = u.first().at(3).toInt();
    QList<QVariantList> h = s.rows(
        QStringLiteral("select PWMAXDAYS, PWMINDAYS, PWMINSIZE, PWCOUNT from PWHIST where USER_ID = ?"), {userId});
    if (h.isEmpty()) {
        s.exec(QStringLiteral("insert into PWHIST (USER_ID) values (?)"), {userId});
        h = s.rows(QStringLiteral("select PWMAXDAYS, PWMINDAYS, PWMINSIZE, PWCOUNT from PWHIST where USER_ID = ?"),
                   {userId});
    }
    int maxDays = h.first().at(0).toInt(), minDays = h.first().at(1).toInt(), minSize = h.first().at(2).toInt(),
        count = h.first().at(3).toInt();
    if (c.isSet(QStringLiteral("aging")))
        aging = c.yesNo(QStringLiteral("aging")) ? 1 : 0;
    if (c.isSet(QStringLiteral("max-age")))
        maxDays = policyValue(c, QStringLiteral("max-age"), 1, 999, {{QStringLiteral("never"), 0}});
    if (c.isSet(QStringLiteral("min-age")))
        minDays = policyValue(
            c, QStringLiteral("min-age"), 1, 999,
            {{QStringLiteral("immediate"), 0}, {QStringLiteral("never"), TAccountPolicy::kNeverAllowChange}});
    if (c.isSet(QStringLiteral("min-length")))
        minSize = policyValue(c, QStringLiteral("min-length"), 1, 15, {{QStringLiteral("blank"), 0}});
    if (c.isSet(QStringLiteral("history"))) {
        const int n = policyValue(c, QStringLiteral("history"), 1, 25, {{QStringLiteral("off"), 0}});
        // "No Password History" keeps the count; "Remember n" sets it.
        keep = n > 0 ? 1 : 0;
        if (n > 0)
            count = n;
    }
    if (c.isSet(QStringLiteral("locking"))) {
        const int n = policyValue(c, QStringLiteral("locking"), 1, 999, {{QStringLiteral("off"), 0}});
        locking = n > 0 ? 1 : 0;
        if (n > 0)
            attempts = n;
    }
    s.exec(QStringLiteral("update USERS set CUSTOMACCTPOLICY = 1, PWAGING = ?, PWKEEPHIST = ?, ACCTLOCKING = ?, "
                          "ALLOWEDATTEMPTS = ? where USER_ID = ?"),
           {aging, keep, locking, attempts, userId});
    s.exec(QStringLiteral("update PWHIST set PWMAXDAYS = ?, PWMINDAYS = ?, PWMINSIZE = ?, PWCOUNT = ? "
                          "where USER_ID = ?"),
           {maxDays, minDays, minSize, count, userId});
}

QString policyText(int custom) { return custom == 1 ? QStringLiteral("custom") : QStringLiteral("global"); }
} // namespace

namespace TAdminUsers {

void create(TAdminContext& c)
{
    const QString alias = c.arg(0);
    QString location = c.arg(1);
    const QString user =
        c.isSet(QStringLiteral("db-user")) ? c.value(QStringLiteral("db-user")) : QStringLiteral("SYSDBA");
    QString password = c.value(QStringLiteral("db-password"));
    if (password.isEmpty())
        password = qEnvironmentVariable("JOVSEC_PASSWORD");
    if (const QString problem = TAliases::nameProblem(alias); !problem.isEmpty())
        throw TAdminError::refused(problem);
    if (TAliases::exists(alias))
        throw TAdminError::refused(
            QStringLiteral("The alias %1 already exists in %2.").arg(alias, TAliases::configFile()));
    if (!TDatabase::isServerLocation(location)) {
        location = QFileInfo(location).absoluteFilePath();
        if (QFileInfo::exists(location))
            throw TAdminError::refused(QStringLiteral(
                "Security database found at this location. Either remove database, select a new directory or a new alias."));
    }
    TSecurityDatabaseMaker maker(location, user, password);
    maker.setNewAlias(alias, {QStringLiteral("SERVER NAME=") + location, QStringLiteral("USER NAME=") + user});
    TDatabase connection;
    connection.setAliasName(alias);
    connection.setDatabaseName(alias);
    if (!password.isEmpty())
        connection.setParams({QStringLiteral("PASSWORD=") + password});
    connection.setLoginPrompt(false);
    QString failure;
    if (maker.make(connection)) {
        try {
            // The PROGRAM row, which the editor adds on showing.
            TQuery program;
            program.setDatabaseName(alias);
            program.setSQL(QStringLiteral("insert into PROGRAM (Security_Label) values ('')"));
            program.execSQL();
        } catch (const EDatabaseError& e) {
            failure = e.message();
        }
    } else {
        using Step = TSecurityDatabaseMaker::Step;
        switch (maker.failedStep()) {
        case Step::File:
        case Step::Alias:
            failure = QStringLiteral("Unable to Add Databases.\n") + maker.error();
            break;
        case Step::Connection:
            failure = QStringLiteral("Unable to Connect To Database.\n") + maker.error();
            break;
        default:
            failure = QStringLiteral("Error Creating Tables\n") + maker.error();
            break;
        }
    }
    // A half-made database would be found by the next try ("Security database found"),
    // or used as if it were whole: a failure takes back what was made.
    if (!failure.isEmpty()) {
        if (!maker.takeBack(connection))
            failure += QStringLiteral("\nThe new database at %1 could not be removed; remove it before trying again.")
                           .arg(location);
        throw TAdminError::refused(failure);
    }
    connection.close();
    c.out().done(QStringLiteral("Created %1 as alias %2 in %3").arg(location, alias, TAliases::configFile()),
                 {{QStringLiteral("alias"), alias}, {QStringLiteral("location"), location}});
}

void add(TAdminContext& c)
{
    const QString name = c.arg(0);
    const QString password = c.userPassword();
    const QString field1 = c.value(QStringLiteral("field1"));
    const QString field2 = c.value(QStringLiteral("field2"));
    checkAccountText(name, password, field1, field2);
    AccountFlags flags;
    applyFlagOptions(c, flags);
    TAdminSession& s = c.session();
    if (!s.rowsNamed(QStringLiteral("USERS"), QStringLiteral("USER_ID"), QStringLiteral("USER_NAME"), name).isEmpty())
        throw TAdminError::refused(QStringLiteral("A user named %1 already exists.").arg(name));
    int id = 0;
    try {
        TAuditTrail::run(s.database(), [&] {
            const TAccountPolicy policy = s.globalPolicy();
            TQuery& q = s.statement();
            q.setSQL(TSecurityRules::insertUserStatement());
            q.setParamString(QStringLiteral("User_Name"), name);
            q.setParamString(QStringLiteral("User_Password"), password);
            q.setParam(QStringLiteral("User_Def1"), textOrNull(field1));
            q.setParam(QStringLiteral("User_Def2"), textOrNull(field2));
            q.setParamNull(QStringLiteral("User_LastAccess"));
            q.setParamNull(QStringLiteral("User_AccessCount"));
            q.setParamInteger(QStringLiteral("User_Enabled"), flags.enabled);
            q.setParamInteger(QStringLiteral("User_Admin"), flags.admin);
            q.setParamInteger(QStringLiteral("LOCKED"), 0);
            q.setParamInteger(QStringLiteral("PWMustChange"), flags.mustChange);
            q.setParamInteger(QStringLiteral("PWNeverExpires"), flags.neverExpires);
            q.setParamInteger(QStringLiteral("PWNoChange"), flags.noChange);
            q.execSQL();
            id = s.rows(QStringLiteral("select max(USER_ID) from USERS where USER_NAME = ?"), {name})
                     .first()
                     .at(0)
                     .toInt();
            TSecurityRules::addMissingHistoryRows(q, policy);
            TSecurityRules::applyGlobalPolicy(q, id, policy);
            s.audit(QLatin1String(TAuditKind::UserAdded), {id, name},
                    QStringLiteral("User_Enabled: %1\nUser_Admin: %2\n").arg(flags.enabled).arg(flags.admin));
        });
    } catch (const EDatabaseError& e) {
        throw TAdminError::refused(TSecurityRules::unableToSaveUser() + QLatin1Char('\n') + e.message());
    }
    c.out().done(QStringLiteral("Added user %1 (id %2)").arg(name).arg(id),
                 {{QStringLiteral("id"), id}, {QStringLiteral("name"), name}});
}

void list(TAdminContext& c)
{
    const QList<QVariantList> rows = c.session().rows(QStringLiteral(
        "select USER_ID, USER_NAME, User_Def1, User_Def2, User_Enabled, User_Admin, Locked, CustomAcctPolicy, "
        "User_LastAccess, User_AccessCount from USERS order by USER_ID"));
    QList<QVariantList> out;
    for (const QVariantList& r : rows)
        out << QVariantList {r.at(0),
                             r.at(1),
                             r.at(2),
                             r.at(3),
                             r.at(4).toInt() == 1,
                             r.at(5).toInt() == 1,
                             r.at(6).toInt() == 1,
                             policyText(r.at(7).toInt()),
                             r.at(8),
                             r.at(9)};
    c.out().table({QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("field1"), QStringLiteral("field2"),
                   QStringLiteral("enabled"), QStringLiteral("admin"), QStringLiteral("locked"),
                   QStringLiteral("policy"), QStringLiteral("last_access"), QStringLiteral("access_count")},
                  out);
}

void show(TAdminContext& c)
{
    TAdminSession& s = c.session();
    const TNamedRow user = s.user(c.arg(0));
    const QVariantList u =
        s.rows(QStringLiteral(
                   "select USER_ID, USER_NAME, User_Def1, User_Def2, User_Enabled, User_Admin, Locked, LoginAttempts, "
                   "PWMustChange, PWNeverExpires, PWNoChange, CustomAcctPolicy, PWaging, PWKeepHist, AcctLocking, "
                   "AllowedAttempts, User_LastAccess, User_AccessCount from USERS where USER_ID = ?"),
               {user.id})
            .first();
    const QList<QVariantList> h = s.rows(
        QStringLiteral("select PWSETDATE, PWMAXDAYS, PWMINDAYS, PWMINSIZE, PWCOUNT from PWHIST where USER_ID = ?"),
        {user.id});
    const QVariantList hist =
        h.isEmpty() ? QVariantList {QVariant(), QVariant(), QVariant(), QVariant(), QVariant()} : h.first();
    QJsonArray groups, constants;
    for (const QVariantList& r :
         s.rows(QStringLiteral(
                    "select upper(A.TYPE), A.ACCESS_ID, G.GROUP_NAME, C.ACCESS_NAME from USERACC A "
                    "left join GROUPS G on G.GROUP_ID = A.ACCESS_ID left join ACCESS C on C.ACCESS_ID = A.ACCESS_ID "
                    "where A.USER_ID = ?"),
                {user.id})) {
        if (r.at(0).toString() == QLatin1String("G"))
            groups.append(r.at(2).isNull() ? QStringLiteral("(**Error**)") : r.at(2).toString());
        else
            constants.append(r.at(3).isNull() ? QStringLiteral("**Error**") : r.at(3).toString());
    }
    const auto flag = [](const QVariant& v) { return QVariant(v.toInt() == 1); };
    c.out().record({QStringLiteral("id"),
                    QStringLiteral("name"),
                    QStringLiteral("field1"),
                    QStringLiteral("field2"),
                    QStringLiteral("enabled"),
                    QStringLiteral("admin"),
                    QStringLiteral("locked"),
                    QStringLiteral("login_attempts"),
                    QStringLiteral("must_change"),
                    QStringLiteral("never_expires"),
                    QStringLiteral("no_change"),
                    QStringLiteral("policy"),
                    QStringLiteral("aging"),
                    QStringLiteral("keep_history"),
                    QStringLiteral("account_locking"),
                    QStringLiteral("allowed_attempts"),
                    QStringLiteral("last_access"),
                    QStringLiteral("access_count"),
                    QStringLiteral("password_set"),
                    QStringLiteral("max_days"),
                    QStringLiteral("min_days"),
                    QStringLiteral("min_length"),
                    QStringLiteral("history_count"),
                    QStringLiteral("groups"),
                    QStringLiteral("constants")},
                   {u.at(0),
                    u.at(1),
                    u.at(2),
                    u.at(3),
                    flag(u.at(4)),
                    flag(u.at(5)),
                    flag(u.at(6)),
                    u.at(7),
                    flag(u.at(8)),
                    flag(u.at(9)),
                    flag(u.at(10)),
                    policyText(u.at(11).toInt()),
                    flag(u.at(12)),
                    flag(u.at(13)),
                    flag(u.at(14)),
                    u.at(15),
                    u.at(16),
                    u.at(17),
                    hist.at(0),
                    hist.at(1),
                    hist.at(2),
                    hist.at(3),
                    hist.at(4),
                    QVariant(groups),
                    QVariant(constants)});
}

void set(TAdminContext& c)
{
    TAdminSession& s = c.session();
    const TNamedRow user = s.user(c.arg(0));
    const QVariantList u = s.rows(QStringLiteral("select USER_NAME, User_Password, User_Def1, User_Def2, "
                                                 "User_Enabled, User_Admin, PWMustChange, PWNeverExpires, PWNoChange "
                                                 "from USERS where USER_ID = ?"),
                                  {user.id})
                               .first();
    const QString name = c.isSet(QStringLiteral("name")) ? c.value(QStringLiteral("name")) : u.at(0).toString();
    const QString password = c.userPasswordGiven() ? c.userPassword() : u.at(1).toString();
    const QString field1 = c.isSet(QStringLiteral("field1")) ? c.value(QStringLiteral("field1")) : u.at(2).toString();
    const QString field2 = c.isSet(QStringLiteral("field2")) ? c.value(QStringLiteral("field2")) : u.at(3).toString();
    checkAccountText(name, password, field1, field2);
    AccountFlags flags {u.at(4).toInt(), u.at(5).toInt(), u.at(6).toInt(), u.at(7).toInt(), u.at(8).toInt()};
    // A flag the command sets wins over the stored one it conflicts with.
    if (c.isSet(QStringLiteral("must-change")) && c.yesNo(QStringLiteral("must-change"))) {
        if (!c.isSet(QStringLiteral("never-expires")))
            flags.neverExpires = 0;
        if (!c.isSet(QStringLiteral("no-change")))
            flags.noChange = 0;
    }
    if ((c.isSet(QStringLiteral("never-expires")) && c.yesNo(QStringLiteral("never-expires"))) ||
        (c.isSet(QStringLiteral("no-change")) && c.yesNo(QStringLiteral("no-change")))) {
        if (!c.isSet(QStringLiteral("must-change")))
            flags.mustChange = 0;
    }
    applyFlagOptions(c, flags);
    if (name.compare(u.at(0).toString(), Qt::CaseInsensitive) != 0 &&
        !s.rowsNamed(QStringLiteral("USERS"), QStringLiteral("USER_ID"), QStringLiteral("USER_NAME"), name).isEmpty())
        throw TAdminError::refused(QStringLiteral("A user named %1 already exists.").arg(name));
    const QString policy = c.value(QStringLiteral("policy")).toLower();
    if (c.isSet(QStringLiteral("policy")) && policy != QLatin1String("global") && policy != QLatin1String("custom"))
        throw TAdminError::usage(QStringLiteral("--policy takes global or custom."));
    if (policy == QLatin1String("global") && anyPolicyValue(c))
        throw TAdminError::usage(QStringLiteral("A user who follows the global policy takes no policy values."));
    try {
        TAuditTrail::run(s.database(), [&] {
            s.exec(QStringLiteral("update USERS set User_Name = ?, User_Password = ?, User_Def1 = ?, User_Def2 = ?, "
                                  "User_Enabled = ?, User_Admin = ?, PWMustChange = ?, PWNeverExpires = ?, "
                                  "PWNoChange = ? where USER_ID = ?"),
                   {name, password, textOrNull(field1), textOrNull(field2), flags.enabled, flags.admin,
                    flags.mustChange, flags.neverExpires, flags.noChange, user.id});
            if (policy == QLatin1String("global")) {
                const TAccountPolicy global = s.globalPolicy();
                TSecurityRules::addMissingHistoryRows(s.statement(), global);
                TSecurityRules::applyGlobalPolicy(s.statement(), user.id, global);
            } else if (policy == QLatin1String("custom") || anyPolicyValue(c)) {
                saveCustomPolicy(c, s, user.id);
            }
            const QVariantList now {name,          password,    field1,           field2,
                                    flags.enabled, flags.admin, flags.mustChange, flags.neverExpires,
                                    flags.noChange};
            const char* const columns[] = {"User_Name",  "User_Password", "User_Def1",      "User_Def2", "User_Enabled",
                                           "User_Admin", "PWMustChange",  "PWNeverExpires", "PWNoChange"};
            QString details;
            for (int i = 0; i < now.size(); ++i) {
                const QVariant before = u.at(i).isNull() ? QVariant(QString()) : u.at(i);
                if (i == 1) // a password's value is never written down
                    details += before.toString() == password ? QString() : QStringLiteral("User_Password: changed\n");
                else
                    details += TAuditTrail::change(QLatin1String(columns[i]), before, now.at(i));
            }
            if (!policy.isEmpty() || anyPolicyValue(c))
                details +=
                    QStringLiteral("Account policy: %1\n").arg(policy.isEmpty() ? QStringLiteral("custom") : policy);
            s.audit(QLatin1String(TAuditKind::UserChanged), {user.id, name}, details);
        });
    } catch (const EDatabaseError& e) {
        throw TAdminError::refused(TSecurityRules::unableToUpdateUser() + QLatin1Char('\n') + e.message());
    }
    c.out().done(QStringLiteral("Changed user %1").arg(name), {{QStringLiteral("id"), user.id}});
}

void unlock(TAdminContext& c)
{
    TAdminSession& s = c.session();
    const TNamedRow user = s.user(c.arg(0));
    // As in the user dialog: the count of failed logons stays.
    TAuditTrail::run(s.database(), [&] {
        s.exec(QStringLiteral("update USERS set LOCKED = 0 where USER_ID = ?"), {user.id});
        s.audit(QLatin1String(TAuditKind::UserUnlocked), user, QStringLiteral("Locked: 1 -> 0\n"));
    });
    c.out().done(QStringLiteral("Unlocked user %1").arg(user.name), {{QStringLiteral("id"), user.id}});
}

void remove(TAdminContext& c)
{
    TAdminSession& s = c.session();
    const TNamedRow user = s.user(c.arg(0));
    try {
        TAuditTrail::run(s.database(), [&] {
            TSecurityRules::runInTransaction(s.statement(), TSecurityRules::deleteUserStatements(user.id));
            s.audit(QLatin1String(TAuditKind::UserDeleted), user);
        });
    } catch (const EDatabaseError& e) {
        throw TAdminError::refused(TSecurityRules::errorDeletingUser(user.name) + QLatin1Char('\n') + e.message());
    }
    c.out().done(QStringLiteral("Deleted user %1").arg(user.name), {{QStringLiteral("id"), user.id}});
}

} // namespace TAdminUsers
