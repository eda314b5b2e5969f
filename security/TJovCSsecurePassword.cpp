// The password change of the logged-on user.
#include "security/TJovCSsecure.h"

#include "database/EDatabaseError.h"
#include "database/TAuditTrail.h"
#include "database/TFilter.h"
#include "database/TQuery.h"
#include "platform/MessageBox.h"
#include "security/TFormCSPassword.h"

#include <QLocale>

#include <memory>

namespace {
// The system's short date format; month/day/year where the locale gives none.
QString shortDate(const QDate& date)
{
    const QLocale locale = QLocale::system();
    if (locale.language() == QLocale::C)
        return date.toString(QStringLiteral("M/d/yyyy"));
    return locale.toString(date, QLocale::ShortFormat);
}
} // namespace

bool TJovCSsecure::PasswordChange() { return ChangePassword(); }

bool TJovCSsecure::ChangePassword() { return changePassword(false); }

bool TJovCSsecure::changePassword(bool forced)
{
    if (FUserID <= 0) {
        if (FOptions.testFlag(soShowUI))
            Platform::showError(QStringLiteral("No user is logged into security"));
        return false;
    }
    if (FPWNoChange == 1) {
        Platform::showInformation(QStringLiteral("Access Denied: Password Can Not Be Changed."));
        return false;
    }
    // A change the logon demands cannot wait for the minimum age: the user could not
    // log on at all until then.
    if (!forced && !PasswordCanChange()) {
        TAuditTrail::note(FAlias, TAuditTrail::userEvent(TAuditKind::PasswordChangeRefused, FUserName, FUserID,
                                                         QStringLiteral("Minimum Password Age Has Not Expired")));
        Platform::showInformation(QStringLiteral("Minimum Password Age Has Not Expired, Password Can Be Changed On ") +
                                  shortDate(FPWSetDate.date().addDays(FPWMinDays)));
        return false;
    }

    auto dialog = std::make_unique<TFormCSPassword>();
    dialog->dbAlias = FAlias;
    dialog->UserID = FUserID;
    dialog->Forced = forced;
    bool changed = false;
    try {
        const QString byUser = TFilter::equals(QStringLiteral("User_ID"), FUserID);
        dialog->sqlPWHist->setDatabaseName(FAlias);
        dialog->sqlPWHist->setSQL(QStringLiteral("select * from pwhist order by user_id"));
        dialog->sqlPWHist->open();
        dialog->sqlPWHist->setFilter(byUser);
        dialog->sqlPWHist->setFiltered(true);

        dialog->sqlUsers->setDatabaseName(FAlias);
        dialog->sqlUsers->setSQL(QStringLiteral("select * from users order by user_id"));
        dialog->sqlUsers->open();
        dialog->sqlUsers->setFilter(byUser);
        dialog->sqlUsers->setFiltered(true);
        if (!dialog->sqlUsers->isEmpty())
            changed = dialog->exec() == QDialog::Accepted;
        if (changed)
            FPWSetDate = QDateTime(QDate::currentDate(), QTime(0, 0));
        dialog->sqlUsers->setFiltered(false);
        dialog->sqlUsers->close();
    } catch (const EDatabaseError& e) {
        Platform::showError(e.message());
    }
    return changed;
}
