#include "rules/TAccountPolicy.h"

#include "database/TQuery.h"

#include <QStringList>

namespace {
int intOf(const TQuery& q, const char* column) { return q.fieldByName(QLatin1String(column))->asInteger(); }

void setInt(TQuery& q, const char* column, int value) { q.fieldByName(QLatin1String(column))->setAsInteger(value); }
} // namespace

QString TAccountPolicy::describe() const
{
    auto days = [](int n) { return n == 1 ? QStringLiteral("1 day") : QStringLiteral("%1 days").arg(n); };
    QStringList parts;
    if (aging == 1) {
        parts << (expires() ? QStringLiteral("expires after ") + days(maxDays) : QStringLiteral("never expires"));
        parts << (minDays == 0                   ? QStringLiteral("may change at once")
                  : minDays == kNeverAllowChange ? QStringLiteral("may never change")
                                                 : QStringLiteral("may change after ") + days(minDays));
    } else {
        parts << QStringLiteral("aging off");
    }
    parts << (hasMinLength() ? QStringLiteral("at least %1 characters").arg(minSize)
                             : QStringLiteral("blank password allowed"));
    parts << (keepHistory == 1 ? QStringLiteral("remembers %1 passwords").arg(count.value_or(0))
                               : QStringLiteral("no password history"));
    parts << (acctLocking == 1 ? QStringLiteral("locks after %1 incorrect logins").arg(allowedAttempts)
                               : QStringLiteral("no account locking"));
    return parts.join(QStringLiteral(", "));
}

TAccountPolicy TAccountPolicy::ofProgram(const TQuery& program)
{
    TAccountPolicy p;
    p.aging = intOf(program, "GLB_PWAGING");
    p.maxDays = intOf(program, "GLB_PWMAXDAYS");
    p.minDays = intOf(program, "GLB_PWMINDAYS");
    p.minSize = intOf(program, "GLB_PWMINSIZE");
    p.keepHistory = intOf(program, "GLB_PWKEEPHIST");
    p.count = intOf(program, "GLB_PWCOUNT");
    p.acctLocking = intOf(program, "GLB_ACCTLOCKING");
    p.allowedAttempts = intOf(program, "GLB_ALLOWEDATTEMPTS");
    return p;
}

TAccountPolicy TAccountPolicy::ofUser(const TQuery& users, const TQuery& history)
{
    TAccountPolicy p;
    p.readUserRow(users);
    p.readHistoryRow(history);
    return p;
}

void TAccountPolicy::readUserRow(const TQuery& users)
{
    aging = intOf(users, "PWAGING");
    keepHistory = intOf(users, "PWKEEPHIST");
    acctLocking = intOf(users, "ACCTLOCKING");
    allowedAttempts = intOf(users, "ALLOWEDATTEMPTS");
}

void TAccountPolicy::readHistoryRow(const TQuery& history)
{
    maxDays = intOf(history, "PWMAXDAYS");
    minDays = intOf(history, "PWMINDAYS");
    minSize = intOf(history, "PWMINSIZE");
    count = intOf(history, "PWCOUNT");
}

void TAccountPolicy::storeInProgram(TQuery& program) const
{
    setInt(program, "GLB_PWMAXDAYS", maxDays);
    setInt(program, "GLB_PWMINDAYS", minDays);
    setInt(program, "GLB_PWAGING", aging);
    setInt(program, "GLB_PWMINSIZE", minSize);
    setInt(program, "GLB_PWKEEPHIST", keepHistory);
    if (count)
        setInt(program, "GLB_PWCOUNT", *count);
    setInt(program, "GLB_ACCTLOCKING", acctLocking);
    setInt(program, "GLB_ALLOWEDATTEMPTS", allowedAttempts);
}

void TAccountPolicy::storeInUser(TQuery& users) const
{
    setInt(users, "PWAGING", aging);
    setInt(users, "PWKEEPHIST", keepHistory);
    setInt(users, "ACCTLOCKING", acctLocking);
    setInt(users, "ALLOWEDATTEMPTS", allowedAttempts);
}

void TAccountPolicy::storeInHistory(TQuery& history) const
{
    setInt(history, "PWMaxDays", maxDays);
    setInt(history, "PWMinDays", minDaysInEffect());
    setInt(history, "PWMinSize", minSize);
    if (count)
        setInt(history, "PWCount", *count);
}
