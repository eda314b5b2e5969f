// The access test and the password-age queries.
#include "security/TJovCSsecure.h"

#include "database/EDatabaseError.h"
#include "database/TQuery.h"
#include "platform/MessageBox.h"
#include "security/TAccessIndex.h"

bool TJovCSsecure::TestAccess(qint32 pliAccessId)
{
    if (FUserID == 0)
        return true;
    if (FUserID < 0) {
        if (FOptions.testFlag(soShowUI))
            Platform::showError(QStringLiteral("No user is logged into the security system."));
        return false;
    }
    // The grants as the start-up record sets hold them; they are not re-read.
    const bool granted = FAccessIndex && FAccessIndex->grant(FUserID, pliAccessId) != TAccessIndex::Grant::None;
    if (granted)
        logAccess(pliAccessId);
    else if (FOptions.testFlag(soShowUI))
        Platform::showError(
            QStringLiteral("Access is denied.  Please see your administrator to gain access to this feature."));
    return granted;
}

void TJovCSsecure::logAccess(qint32 accessId)
{
    if (!FLog || FUserID == 0)
        return;
    try {
        FSQLUpdate->setDatabaseName(FAlias);
        FSQLUpdate->setSQL(QStringLiteral(
            "Insert into LOG (ACCESS_DATE, USER_ID, ACCESS_ID) values(:ACCESS_DATE, :USER_ID, :ACCESS_ID)"));
        FSQLUpdate->setParamDate(QStringLiteral("ACCESS_DATE"), QDate::currentDate());
        FSQLUpdate->setParamInteger(QStringLiteral("USER_ID"), FUserID);
        FSQLUpdate->setParamInteger(QStringLiteral("ACCESS_ID"), accessId);
        FSQLUpdate->execSQL();
    } catch (const EDatabaseError&) {
        Platform::showError(QStringLiteral("Error updating Log, Last Access & Access ID not updated"));
    }
}

bool TJovCSsecure::PasswordExpired() const
{
    // Expired once the last day of the lifetime has passed; that day itself is not.
    return FPWNeverExpires == 0 && FPWSetDate.date().addDays(FPWMaxDays) < QDate::currentDate();
}

bool TJovCSsecure::PasswordCanChange() const
{
    // The day the minimum age ends is already a day the change is allowed.
    return FPWNoChange == 0 && FPWSetDate.date().addDays(FPWMinDays) <= QDate::currentDate();
}
