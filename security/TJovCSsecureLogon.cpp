// Logon: the logon dialog, the silent name-and-password check, the built-in
// supervisor and the bookkeeping every successful logon does.
#include "security/TJovCSsecure.h"

#include "database/EDatabaseError.h"
#include "database/TAuditTrail.h"
#include "database/TDatabase.h"
#include "database/TFilter.h"
#include "database/TFilterScope.h"
#include "database/TQuery.h"
#include "platform/MessageBox.h"
#include "security/TFormCSLogon.h"
#include "security/TJovCSsecureState.h"

#include <memory>

namespace {
QDateTime dateOrZero(const TQuery& set, const char* column)
{
    const TField* field = set.fieldByName(QLatin1String(column));
    return field->isNull() ? TJovCSsecure::zeroDateTime() : field->asDateTime();
}

int integer(const TQuery& set, const char* column) { return set.fieldByName(QLatin1String(column))->asInteger(); }

QString text(const TQuery& set, const char* column) { return set.fieldByName(QLatin1String(column))->asString(); }
} // namespace

bool TJovCSsecure::Login() { return Logon(); }

bool TJovCSsecure::Logon()
{
    auto dialog = std::make_unique<TFormCSLogon>();
    dialog->sqlUsers->setDatabaseName(FAlias);
    dialog->sqlPWHist->setDatabaseName(FAlias);
    dialog->CheckCase = FOptions.testFlag(soCaseSensitive);
    dialog->Password = FPassword;
    try {
        dialog->sqlUsers->open();
        dialog->sqlPWHist->open();
    } catch (const EDatabaseError&) {
        Platform::showError(QStringLiteral("Unable to Access Security Files"));
    }
    if (!dialog->sqlUsers->active())
        return false;

    const bool ok = dialog->exec() == QDialog::Accepted;
    return logonThroughDialog(*dialog, ok);
}

bool TJovCSsecure::logonThroughDialog(TFormCSLogon& dialog, bool ok)
{
    if (dialog.Supervisor) {
        // Only OK makes the supervisor's credentials a logon.
        if (ok) {
            takeSupervisorState(true);
            TAuditTrail::note(FAlias,
                              TAuditTrail::userEvent(TAuditKind::LogonAccepted, QStringLiteral("SUPERVISOR"), 0));
        }
        return ok;
    }
    if (!ok)
        return false;

    const TJovCSsecureState before(*this);
    try {
        readUserRow(*dialog.sqlUsers, true);
        readPasswordLimits(*dialog.sqlPWHist);
    } catch (const EDatabaseError& e) {
        before.restore(*this);
        Platform::showError(e.message());
        return false;
    }

    if (FPWNoChange == 0 && FPWNeverExpires == 0 && (PasswordExpired() || FPWMustChange == 1)) {
        Platform::showInformation(QStringLiteral("Your Password Has Expired, You Must Change Your Password Now."));
        if (!changePassword(true)) {
            // A logon that did not complete leaves the former user in place.
            before.restore(*this);
            return false;
        }
    }
    FPWMustChange = 0;
    recordDialogLogon();
    logLogon();
    readUserGrants();
    return true;
}

bool TJovCSsecure::LogonEx(const QString& UserName, const QString& Password)
{
    // The supervisor exists only while the database account has a password.
    if (!FPassword.isEmpty() && TFormCSLogon::sameText(UserName, QStringLiteral("SUPERVISOR"), false) &&
        Password == FPassword) {
        takeSupervisorState(false);
        TAuditTrail::note(FAlias, TAuditTrail::userEvent(TAuditKind::LogonAccepted, QStringLiteral("SUPERVISOR"), 0));
        return true;
    }
    return logonByName(UserName, &Password);
}

bool TJovCSsecure::logonByName(const QString& name, const QString* password)
{
    TQuery users;
    TQuery history;
    prepareLogonByName(users, history, name);
    try {
        users.open();
        history.open();
    } catch (const EDatabaseError&) {
        Platform::showError(QStringLiteral("Unable to Access Security Files"));
        return false;
    }

    const TJovCSsecureState before(*this);
    bool accepted = false;
    // The network has vouched for a name given without a password.
    const char* const acceptedKind = password ? TAuditKind::LogonAccepted : TAuditKind::NetworkLogon;
    QString refusal = QStringLiteral("Unknown user name");
    int userId = 0;
    try {
        {
            TFilterScope scope(&users, TFilter::equals(QStringLiteral("User_Name"), name));
            if (!users.isEmpty()) {
                userId = integer(users, "User_ID");
                accepted = integer(users, "User_Enabled") == 1;
                refusal = QStringLiteral("Account disabled");
                if (password && accepted) {
                    // LogonEx: the password in any letter case; a locked account stays out.
                    if (integer(users, "Locked") == 1) {
                        accepted = false;
                        refusal = QStringLiteral("Account locked");
                    } else if (!TFormCSLogon::sameText(text(users, "User_Password"), *password, false)) {
                        accepted = false;
                        refusal = QStringLiteral("Wrong password");
                    }
                }
            }
            if (!password)
                refusal += QStringLiteral(" (network logon)");
            if (accepted) {
                readUserRow(users, false);
                recordLogonWithoutDialog(acceptedKind);
                readPasswordLimits(history);
                history.close();
            }
        }
        users.close();
    } catch (const EDatabaseError& e) {
        before.restore(*this);
        Platform::showError(e.message());
        return false;
    }
    if (!accepted)
        TAuditTrail::note(FAlias, TAuditTrail::userEvent(TAuditKind::LogonRefused, name, userId, refusal));
    if (accepted) {
        logLogon();
        readUserGrants();
    }
    return accepted;
}

void TJovCSsecure::takeSupervisorState(bool resetPasswordFlags)
{
    FUserID = 0;
    FUserName = QStringLiteral("Supervisor");
    FUserPassword = FPassword;
    FUserDef1 = QStringLiteral("N/A");
    FUserDef2 = QStringLiteral("N/A");
    FUserLastAccess = zeroDateTime();
    FPWSetDate = zeroDateTime();
    FUserAccessCount = 0;
    FPWMaxDays = 0;
    FPWMinDays = 0;
    FUserAdmin = 1;
    if (resetPasswordFlags) {
        FPWNoChange = 0;
        FPWNeverExpires = 0;
        FPWMustChange = 0;
    }
}

void TJovCSsecure::readUserRow(const TQuery& users, bool withEnabled)
{
    FUserID = integer(users, "User_ID");
    FUserName = text(users, "User_Name");
    FUserPassword = text(users, "User_Password");
    FUserDef1 = text(users, "User_Def1");
    FUserDef2 = text(users, "User_Def2");
    FUserLastAccess = dateOrZero(users, "User_LastAccess");
    FUserAccessCount = integer(users, "User_AccessCount");
    FUserAdmin = integer(users, "User_Admin");
    if (withEnabled)
        FUserEnabled = integer(users, "User_Enabled");
    FPWNoChange = integer(users, "PWNoChange");
    FPWNeverExpires = integer(users, "PWNeverExpires");
    FPWMustChange = integer(users, "PWMustChange");
}

void TJovCSsecure::readPasswordLimits(TQuery& history)
{
    TFilterScope scope(&history, TFilter::equals(QStringLiteral("User_ID"), FUserID));
    FPWSetDate = dateOrZero(history, "PWSetDate");
    FPWMaxDays = integer(history, "PWMaxDays");
    FPWMinDays = integer(history, "PWMinDays");
}

void TJovCSsecure::recordDialogLogon()
{
    try {
        FSQLUpdate->setDatabaseName(FAlias);
        FSQLUpdate->setUpdateMode(TQuery::UpdateMode::WhereKeyOnly);
        FSQLUpdate->setSQL(QStringLiteral(
            "UPDATE USERS SET User_LastAccess = :User_LastAccess, User_AccessCount = :User_AccessCount, PWMustChange = :PWMustChange WHERE User_Id = :User_ID"));
        FSQLUpdate->setParamDateTime(QStringLiteral("User_LastAccess"), QDateTime::currentDateTime());
        FSQLUpdate->setParamInteger(QStringLiteral("User_AccessCount"), FUserAccessCount + 1);
        FSQLUpdate->setParamInteger(QStringLiteral("PWMustChange"), 0);
        FSQLUpdate->setParamInteger(QStringLiteral("User_ID"), FUserID);
        FSQLUpdate->execSQL();
    } catch (const EDatabaseError&) {
        Platform::showError(
            QStringLiteral("Error: User Last Access, Access Count, and Password Change Flag have not been updated."));
    }
}

void TJovCSsecure::recordLogonWithoutDialog(const char* auditKind)
{
    try {
        FSQLUpdate->setDatabaseName(FAlias);
        FSQLUpdate->setUpdateMode(TQuery::UpdateMode::WhereKeyOnly);
        FSQLUpdate->setSQL(QStringLiteral(
            "UPDATE USERS SET User_LastAccess = :User_LastAccess, User_AccessCount = :User_AccessCount WHERE User_Id = :User_ID"));
        FSQLUpdate->setParamDateTime(QStringLiteral("User_LastAccess"), QDateTime::currentDateTime());
        FSQLUpdate->setParamInteger(QStringLiteral("User_AccessCount"), FUserAccessCount + 1);
        FSQLUpdate->setParamInteger(QStringLiteral("User_ID"), FUserID);
        // The logon's event commits with the update that records it.
        TDatabase& connection = *TDatabase::connectionFor(FAlias);
        TAuditTrail::run(connection, [&] {
            FSQLUpdate->execSQL();
            TAuditTrail::append(connection, TAuditTrail::userEvent(auditKind, FUserName, FUserID));
        });
    } catch (const EDatabaseError&) {
        Platform::showError(QStringLiteral("Error: User Last Access & Access Count not updated"));
    }
}

void TJovCSsecure::logLogon()
{
    if (!FLog || FUserID == 0)
        return;
    try {
        FSQLUpdate->setDatabaseName(FAlias);
        FSQLUpdate->setSQL(QStringLiteral("Insert into LOG (ACCESS_DATE, USER_ID) values(:ACCESS_DATE, :USER_ID)"));
        FSQLUpdate->setParamDate(QStringLiteral("ACCESS_DATE"), QDate::currentDate());
        FSQLUpdate->setParamInteger(QStringLiteral("USER_ID"), FUserID);
        FSQLUpdate->execSQL();
    } catch (const EDatabaseError&) {
        Platform::showError(QStringLiteral("Error updating Log, Last Access & Access Count not updated"));
    }
}
