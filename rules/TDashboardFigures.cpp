#include "rules/TDashboardFigures.h"

#include "database/TAliases.h"
#include "database/TAuditTrail.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"

TDashboardFigures TDashboardFigures::read(const QString& alias)
{
    TDashboardFigures f;
    f.alias = alias;
    f.location = TAliases::paramValue(TAliases::params(alias), QStringLiteral("SERVER NAME"));

    TQuery q;
    q.setDatabaseName(alias);
    // One statement for the counts: one look at the database, one consistent moment.
    q.setSQL(QStringLiteral("select (select count(*) from USERS), (select count(*) from GROUPS), "
                            "(select count(*) from ACCESS), (select count(*) from USERACC), "
                            "(select count(*) from LOG), (select count(*) from USERS where LOCKED = 1) "
                            "from RDB$DATABASE"));
    q.open();
    f.users = q.field(0)->asInteger();
    f.groups = q.field(1)->asInteger();
    f.constants = q.field(2)->asInteger();
    f.grants = q.field(3)->asInteger();
    f.logRows = q.field(4)->asInteger();
    f.locked = q.field(5)->asInteger();
    q.close();

    TDatabase& connection = *TDatabase::connectionFor(alias);
    f.auditing = TAuditTrail::present(connection);
    if (f.auditing)
        f.auditEvents = TAuditTrail::head(connection).first;

    q.setSQL(QStringLiteral("select first %1 USER_NAME, USER_LASTACCESS from USERS where USER_LASTACCESS is not null "
                            "order by USER_LASTACCESS desc, USER_NAME")
                 .arg(kLastLogons));
    q.open();
    for (q.first(); !q.eof(); q.next())
        f.lastLogons.push_back({q.field(0)->asString(), q.field(1)->asDateTime()});
    q.close();

    if (f.locked > 0) {
        TDatabase& connection = *TDatabase::connectionFor(alias);
        f.auditing = TAuditTrail::present(connection);
        if (f.auditing)
            f.auditEvents = TAuditTrail::head(connection).first;

        q.setSQL(QStringLiteral("select first %1 USER_NAME from USERS where LOCKED = 1 order by USER_NAME")
                     .arg(kLockedListed));
        q.open();
        for (q.first(); !q.eof(); q.next())
            f.lockedUsers << q.field(0)->asString();
        q.close();
    }
    return f;
}
