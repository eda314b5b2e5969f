// Start-up for large sites (UserGrantsOnly): instead of every grant at start-up,
// each logon reads the grants of the user who logs on. A logon by name, in every
// mode, reads only that user's USERS and PWHIST rows.
#include "security/TJovCSsecure.h"

#include "database/EDatabaseError.h"
#include "database/TQuery.h"
#include "platform/MessageBox.h"
#include "security/TAccessIndex.h"

#include <algorithm>

namespace {
// USERS.USER_NAME holds 48 characters.
constexpr int kNameLengthPlusOne = 49;
} // namespace

void TJovCSsecure::makeUserGrantSets()
{
    FGroupAccUnread = FUserAccUnread = false;
    delete FUserAcc;
    FUserAcc = new TQuery(this);
    FUserAcc->setDatabaseName(FAlias);
    FUserAcc->setSQL(QStringLiteral("Select * from UserAcc where User_ID = :User_ID"));
    // The collections of the user's groups only, each group once however often the
    // user holds it; the access index skips group rows with an id below 1 anyway.
    // "+ 0" keeps the engine off the index of USERACC by ACCESS_ID: every grant has
    // an id above 0, so that index would read them all for nothing.
    delete FGroupAcc;
    FGroupAcc = new TQuery(this);
    FGroupAcc->setDatabaseName(FAlias);
    FGroupAcc->setSQL(QStringLiteral("Select G.* from GrpColl G join (select distinct Access_ID from UserAcc "
                                     "where User_ID = :User_ID and upper(Type) = 'G' and Access_ID + 0 > 0) M "
                                     "on G.Group_ID = M.Access_ID"));
}

void TJovCSsecure::readUserGrants()
{
    if (!FUserGrantsOnly || !FUserAcc || !FGroupAcc || FUserID <= 0)
        return;
    FAccessIndex.reset();
    try {
        for (TQuery* set : {FUserAcc, FGroupAcc}) {
            set->close();
            set->setParamInteger(QStringLiteral("User_ID"), FUserID);
            set->open();
        }
        buildAccessIndex();
    } catch (const EDatabaseError&) {
        // The user stays logged on and every access test is refused.
        FAccessIndex.reset();
        Platform::showError(QStringLiteral("Unable to Access Security Files"));
    }
}

void TJovCSsecure::prepareLogonByName(TQuery& users, TQuery& history, const QString& name) const
{
    users.setDatabaseName(FAlias);
    history.setDatabaseName(FAlias);
    // The engine's upper() and the record-set filter agree on the letters of plain
    // ASCII only; a name with other letters is matched against every row, as before.
    const bool plain = std::all_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (!plain) {
        users.setSQL(QStringLiteral("Select * from Users Order By User_Name"));
        history.setSQL(QStringLiteral("Select * from PWHist Order By User_ID"));
        return;
    }
    // Only the one user's rows are read, through the index by the upper-cased name.
    // The record-set filter still decides which row matches; the engine's upper()
    // only narrows what is fetched. A name longer than the column cannot match, so
    // 49 characters of it are enough.
    const QString key = name.left(kNameLengthPlusOne);
    users.setSQL(QStringLiteral("Select * from Users where upper(User_Name) = "
                                "upper(cast(:User_Name as varchar(49))) Order By User_Name"));
    users.setParamString(QStringLiteral("User_Name"), key);
    // The outer join makes the engine find the user first and then the user's
    // history by its index; an inner join lets it walk every history row. A user
    // without history gives a row of nulls, which matches no user id.
    history.setSQL(QStringLiteral("Select P.* from Users U left join PWHist P on P.User_ID = U.User_ID "
                                  "where upper(U.User_Name) = upper(cast(:User_Name as varchar(49))) "
                                  "Order By P.User_ID"));
    history.setParamString(QStringLiteral("User_Name"), key);
}
