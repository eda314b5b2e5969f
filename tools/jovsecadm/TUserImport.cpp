#include "TUserImport.h"

#include "TAdminContext.h"
#include "TAdminError.h"
#include "TAdminOutput.h"
#include "TAdminSession.h"
#include "TCsvReader.h"

#include "database/EDatabaseError.h"
#include "database/TAuditTrail.h"
#include "database/TFilter.h"
#include "database/TQuery.h"
#include "rules/TSecurityRules.h"

#include <QHash>
#include <QJsonArray>

namespace {
// Names as the editor's filters compare them: whole, letter case ignored.
QString key(const QString& name) { return TFilter::keyOfText(name); }

// Name -> id of a table; a name held by several rows maps to 0 (ambiguous).
QHash<QString, int> idsByName(TAdminSession& s, const QString& sql)
{
    QHash<QString, int> ids;
    for (const QVariantList& r : s.rows(sql)) {
        const QString k = key(r.at(1).toString());
        ids.insert(k, ids.contains(k) ? 0 : r.at(0).toInt());
    }
    return ids;
}

bool adminFlag(const QString& text, int* value)
{
    const QString t = text.trimmed().toLower();
    if (t.isEmpty() || t == QLatin1String("0") || t == QLatin1String("no") || t == QLatin1String("n") ||
        t == QLatin1String("false")) {
        *value = 0;
        return true;
    }
    if (t == QLatin1String("1") || t == QLatin1String("yes") || t == QLatin1String("y") || t == QLatin1String("true")) {
        *value = 1;
        return true;
    }
    return false;
}

// Resolves a ";" list; the reason for the first name that is unknown or ambiguous.
QString resolve(const QString& list, const QHash<QString, int>& ids, const QString& what, std::vector<int>& out)
{
    for (const QString& part : list.split(QLatin1Char(';'))) {
        const QString name = part.trimmed();
        if (name.isEmpty())
            continue;
        const auto it = ids.constFind(key(name));
        if (it == ids.constEnd())
            return QStringLiteral("no %1 is named %2").arg(what, name);
        if (it.value() == 0)
            return QStringLiteral("several %1s are named %2").arg(what, name);
        if (std::find(out.begin(), out.end(), it.value()) == out.end())
            out.push_back(it.value());
    }
    return QString();
}

QString checkRow(const QStringList& f, TUserImport::Row& row)
{
    row.name = f.value(0).trimmed();
    if (f.size() < TUserImport::Columns)
        return QStringLiteral("missing columns (%1 of %2)").arg(f.size()).arg(TUserImport::Columns);
    if (f.size() > TUserImport::Columns)
        return QStringLiteral("too many columns (%1 of %2)").arg(f.size()).arg(TUserImport::Columns);
    row.password = f.at(1);
    row.field1 = f.at(2);
    row.field2 = f.at(3);
    if (row.name.isEmpty())
        return TSecurityRules::nameRequired();
    if (row.name.size() > TSecurityRules::UserNameLength)
        return QStringLiteral("name longer than %1 characters").arg(TSecurityRules::UserNameLength);
    if (row.password.isEmpty())
        return QStringLiteral("Password field is Required.");
    if (row.password.size() > TSecurityRules::PasswordLength)
        return QStringLiteral("password longer than %1 characters").arg(TSecurityRules::PasswordLength);
    if (row.field1.size() > TSecurityRules::UserFieldLength || row.field2.size() > TSecurityRules::UserFieldLength)
        return QStringLiteral("user field longer than %1 characters").arg(TSecurityRules::UserFieldLength);
    if (!adminFlag(f.at(4), &row.admin))
        return QStringLiteral("admin is \"%1\", not yes or no").arg(f.at(4));
    return QString();
}

QString outcomeText(TUserImport::Outcome o)
{
    switch (o) {
    case TUserImport::Outcome::Added:
        return QStringLiteral("added");
    case TUserImport::Outcome::Skipped:
        return QStringLiteral("skipped");
    case TUserImport::Outcome::Refused:
        break;
    }
    return QStringLiteral("refused");
}

} // namespace

int TUserImport::count(Outcome outcome) const
{
    return int(std::count_if(m_rows.begin(), m_rows.end(), [outcome](const Row& r) { return r.outcome == outcome; }));
}

void TUserImport::check(const QString& path)
{
    TCsvReader reader;
    QString error;
    if (!reader.read(path, &error))
        throw TAdminError::refused(error);
    QSet<QString> existing;
    for (const QVariantList& r : m_session.rows(QStringLiteral("select USER_NAME from USERS")))
        existing.insert(key(r.at(0).toString()));
    const QHash<QString, int> groups = idsByName(m_session, QStringLiteral("select GROUP_ID, GROUP_NAME from GROUPS"));
    const QHash<QString, int> constants =
        idsByName(m_session, QStringLiteral("select ACCESS_ID, ACCESS_NAME from ACCESS"));

    QHash<QString, int> seen; // name -> line of its first row
    m_rows.clear();
    bool first = true;
    for (const TCsvReader::Line& line : reader.lines()) {
        if (first && line.error.isEmpty() && line.fields.size() >= 2 &&
            line.fields.at(0).trimmed().compare(QLatin1String("name"), Qt::CaseInsensitive) == 0 &&
            line.fields.at(1).trimmed().compare(QLatin1String("password"), Qt::CaseInsensitive) == 0) {
            first = false;
            continue; // the column names
        }
        first = false;
        Row row;
        row.line = line.number;
        row.reason = line.error;
        if (row.reason.isEmpty())
            row.reason = checkRow(line.fields, row);
        if (row.reason.isEmpty()) {
            const QString k = key(row.name);
            if (seen.contains(k)) {
                row.reason = QStringLiteral("the name is also on line %1").arg(seen.value(k));
            } else {
                seen.insert(k, row.line);
                if (existing.contains(k)) {
                    row.outcome = Outcome::Skipped;
                    row.reason = QStringLiteral("name exists");
                } else {
                    row.reason = resolve(line.fields.at(5), groups, QStringLiteral("group"), row.groups);
                    if (row.reason.isEmpty())
                        row.reason =
                            resolve(line.fields.at(6), constants, QStringLiteral("access constant"), row.constants);
                    if (row.reason.isEmpty())
                        row.outcome = Outcome::Added;
                }
            }
        }
        m_rows.push_back(std::move(row));
    }
}

void TUserImport::apply()
{
    TAuditTrail::run(m_session.database(), [this] {
        const TAccountPolicy policy = m_session.globalPolicy();
        TQuery insertUser;
        insertUser.setDatabaseName(m_session.alias());
        QString insertText = TSecurityRules::insertUserStatement().join(QLatin1Char('\n')).trimmed();
        if (insertText.endsWith(QLatin1Char(';')))
            insertText.chop(1);
        insertUser.setSQL(insertText + QStringLiteral(" returning USER_ID"));
        // A user's grants go in one statement. Each statement runs prepared once in the
        // import's transaction.
        TQuery grants;
        grants.setDatabaseName(m_session.alias());
        TQuery followGlobal;
        followGlobal.setDatabaseName(m_session.alias());
        followGlobal.setSQL(TSecurityRules::globalPolicyUserStatement());
        followGlobal.setParam(QStringLiteral("PWAGING"), policy.aging);
        followGlobal.setParam(QStringLiteral("PWKEEPHIST"), policy.keepHistory);
        followGlobal.setParam(QStringLiteral("ACCTLOCKING"), policy.acctLocking);
        followGlobal.setParam(QStringLiteral("ALLOWEDATTEMPTS"), policy.allowedAttempts);

        int added = 0;
        for (const Row& row : m_rows) {
            if (row.outcome != Outcome::Added)
                continue;
            ++added;
            insertUser.setParam(QStringLiteral("User_Name"), row.name);
            insertUser.setParam(QStringLiteral("User_Password"), row.password);
            insertUser.setParam(QStringLiteral("User_Def1"), row.field1.isEmpty() ? QVariant() : row.field1);
            insertUser.setParam(QStringLiteral("User_Def2"), row.field2.isEmpty() ? QVariant() : row.field2);
            insertUser.setParamNull(QStringLiteral("User_LastAccess"));
            insertUser.setParamNull(QStringLiteral("User_AccessCount"));
            insertUser.setParam(QStringLiteral("User_Enabled"), 1);
            insertUser.setParam(QStringLiteral("User_Admin"), row.admin);
            insertUser.setParam(QStringLiteral("LOCKED"), 0);
            insertUser.setParam(QStringLiteral("PWMustChange"), 0);
            insertUser.setParam(QStringLiteral("PWNeverExpires"), 0);
            insertUser.setParam(QStringLiteral("PWNoChange"), 0);
            m_session.write([&] { insertUser.open(); });
            if (insertUser.isEmpty())
                throw EDatabaseError(QStringLiteral("The new user's id was not returned"));
            const int id = insertUser.field(0)->asInteger();
            insertUser.close();
            followGlobal.setParam(QStringLiteral("UserID"), id);
            m_session.write([&] { followGlobal.execSQL(); });
            // The text depends only on the count of grants, so users with as many run
            // it prepared once.
            QStringList rows;
            QVariantList values;
            for (const auto& [ids, type] :
                 {std::pair {&row.groups, QLatin1String("G")}, std::pair {&row.constants, QLatin1String("C")}})
                for (int access : *ids) {
                    rows << QStringLiteral("select cast(? as integer), cast(? as integer), cast(? as char(1)) "
                                           "from RDB$DATABASE");
                    values << id << access << QString(type);
                }
            if (!rows.isEmpty()) {
                const QString text = QStringLiteral("insert into USERACC (USER_ID, ACCESS_ID, TYPE) ") +
                                     rows.join(QStringLiteral(" union all "));
                if (grants.sql() != text)
                    grants.setSQL(text);
                grants.setPlaceholderValues(values);
                m_session.write([&] { grants.execSQL(); });
            }
        }
        TSecurityRules::addMissingHistoryRows(m_session.statement(), policy);
        m_session.audit(QLatin1String(TAuditKind::Imported), {}, QStringLiteral("Users added: %1\n").arg(added));
    });
}

void TUserImport::command(TAdminContext& c)
{
    TUserImport import(c.session());
    import.check(c.arg(0));
    const int refused = import.count(Outcome::Refused);
    const bool apply = c.isSet(QStringLiteral("apply"));
    const bool skipRefused = c.isSet(QStringLiteral("skip-refused"));
    bool written = false;
    if (apply && (refused == 0 || skipRefused) && import.count(Outcome::Added) > 0) {
        try {
            import.apply();
        } catch (const EDatabaseError& e) {
            throw TAdminError::refused(QStringLiteral("Nothing was imported: ") + e.message());
        }
        written = true;
    }

    TAdminOutput& out = c.out();
    QString summary = QStringLiteral("%1 added, %2 skipped, %3 refused")
                          .arg(import.count(Outcome::Added))
                          .arg(import.count(Outcome::Skipped))
                          .arg(refused);
    if (!apply)
        summary += QStringLiteral("; dry run, nothing written (use --apply to write)");
    else if (!written && refused > 0)
        summary += QStringLiteral("; nothing written because rows were refused (fix them, or use --skip-refused)");
    else if (written)
        summary += QStringLiteral("; written");
    if (out.json()) {
        QJsonArray rows;
        for (const Row& r : import.rows())
            rows.append(QJsonObject {{QStringLiteral("line"), r.line},
                                     {QStringLiteral("name"), r.name},
                                     {QStringLiteral("result"), outcomeText(r.outcome)},
                                     {QStringLiteral("reason"), r.reason}});
        out.writeJson(QJsonObject {{QStringLiteral("rows"), rows},
                                   {QStringLiteral("added"), import.count(Outcome::Added)},
                                   {QStringLiteral("skipped"), import.count(Outcome::Skipped)},
                                   {QStringLiteral("refused"), refused},
                                   {QStringLiteral("written"), written},
                                   {QStringLiteral("summary"), summary}});
    } else {
        for (const Row& r : import.rows()) {
            out.out() << QStringLiteral("line %1: %2").arg(r.line).arg(outcomeText(r.outcome));
            if (!r.name.isEmpty())
                out.out() << ' ' << r.name;
            if (r.outcome != Outcome::Added)
                out.out() << " (" << r.reason << ")";
            out.out() << '\n';
        }
        out.out() << summary << '\n';
        out.out().flush();
    }
    if (refused > 0 && !(apply && skipRefused))
        throw TAdminError::refused(QStringLiteral("%1 row(s) refused").arg(refused));
}
