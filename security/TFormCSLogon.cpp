#include "security/TFormCSLogon.h"

#include "database/EDatabaseError.h"
#include "database/TAuditTrail.h"
#include "database/TDatabase.h"
#include "database/TFilter.h"
#include "database/TQuery.h"
#include "platform/FormControls.h"
#include "platform/MessageBox.h"
#include "platform/UnicodeText.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TFormCSLogon* FormLogon = nullptr;

using Platform::named;

namespace {
QChar latinUpper(QChar c) { return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ? QChar(c.unicode() - 32) : c; }

} // namespace

TFormCSLogon::TFormCSLogon(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormCSLogon"));
    setWindowTitle(QStringLiteral("Logon"));
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);

    lblUserName = named(new QLabel(QStringLiteral("UserName:"), this), "lblUserName");
    lblUserName->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edUserName = named(new QLineEdit(this), "edUserName");
    edUserName->setMaxLength(48);
    lblUserPassword = named(new QLabel(QStringLiteral("Password:"), this), "lblUserPassword");
    lblUserPassword->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    edPassword = named(new QLineEdit(this), "edPassword");
    edPassword->setEchoMode(QLineEdit::Password);
    bbtnOk = named(new QPushButton(QStringLiteral("OK"), this), "bbtnOk");
    bbtnOk->setDefault(true);
    bbtnCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "bbtnCancel");
    lblUserName->setBuddy(edUserName);
    lblUserPassword->setBuddy(edPassword);

    auto* grid = new QGridLayout(this);
    grid->addWidget(lblUserName, 0, 0);
    grid->addWidget(edUserName, 0, 1);
    grid->addWidget(lblUserPassword, 1, 0);
    grid->addWidget(edPassword, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bbtnOk);
    buttons->addWidget(bbtnCancel);
    grid->addLayout(buttons, 2, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    edUserName->setMinimumWidth(200);

    setTabOrder(edUserName, edPassword);
    setTabOrder(edPassword, bbtnOk);
    setTabOrder(bbtnOk, bbtnCancel);
    connect(bbtnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(bbtnCancel, &QPushButton::clicked, this, &QDialog::reject);

    sqlUsers = new TQuery(this);
    sqlUsers->setObjectName(QStringLiteral("sqlUsers"));
    sqlUsers->setDatabaseName(QStringLiteral("jovCSsecurity"));
    sqlUsers->setSQL(QStringLiteral("select * from USERS Order by User_Id"));
    sqlPWHist = new TQuery(this);
    sqlPWHist->setObjectName(QStringLiteral("sqlPWHist"));
    sqlPWHist->setDatabaseName(QStringLiteral("jovCSsecurity"));
    sqlPWHist->setSQL(QStringLiteral("select * from PWHist Order by User_Id"));

    edUserName->setFocus();
    FormLogon = this;
    FormCreate();
}

TFormCSLogon::~TFormCSLogon()
{
    if (FormLogon == this)
        FormLogon = nullptr;
}

void TFormCSLogon::FormCreate()
{
    Supervisor = false;
    LoginAttempted = false;
    InvalidLogin = true;
    Locked = -1;
}

bool TFormCSLogon::sameText(const QString& a, const QString& b, bool checkCase)
{
    if (checkCase)
        return a == b;
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (latinUpper(a.at(i)) != latinUpper(b.at(i)))
            return false;
    return true;
}

void TFormCSLogon::done(int result)
{
    if (FormClose(result))
        QDialog::done(result);
}

bool TFormCSLogon::isSupervisor() const
{
    // Without a database password there is no supervisor: the name is then looked up
    // like any other.
    return !Password.isEmpty() && sameText(edUserName->text(), QStringLiteral("SUPERVISOR"), CheckCase) &&
           sameText(edPassword->text(), Password, CheckCase);
}

bool TFormCSLogon::FormClose(int& result)
{
    Supervisor = false;
    if (isSupervisor()) {
        Supervisor = true;
        return true;
    }
    if (result == Accepted && focusWidget() == edUserName) {
        Platform::focusNextControl(edUserName);
        return false;
    }
    if (result != Accepted)
        return true;
    // Refused before any lookup: such text can be neither stored nor matched.
    if (!Platform::acceptsAsUnicode(edUserName, QStringLiteral("User Name")) ||
        !Platform::acceptsAsUnicode(edPassword, QStringLiteral("Password")))
        return false;
    try {
        return attempt(result);
    } catch (const EDatabaseError&) {
        // Nothing was read that could be written back.
        LoginAttempted = false;
        Platform::showError(QStringLiteral("Unable to Access Security Files"));
        return false;
    }
}

TFormCSLogon::Counters TFormCSLogon::countersOf(const TQuery& users)
{
    auto value = [&users](const char* column) { return users.fieldByName(QLatin1String(column))->asInteger(); };
    return {value("User_ID"),         value("Locked"),      value("LoginAttempts"),
            value("AllowedAttempts"), value("AcctLocking"), value("User_Enabled")};
}

TFormCSLogon::Outcome TFormCSLogon::decide(const Counters& row, bool passwordMatches)
{
    if (row.locked == 1)
        return Outcome::AccountLocked;
    if (passwordMatches)
        return row.enabled == 1 ? Outcome::Accepted : Outcome::Disabled;
    // The lock follows the allowed attempts whether or not counting is switched on.
    return row.attempts + 1 < row.allowed ? Outcome::Refused : Outcome::LocksNow;
}

TAuditEvent TFormCSLogon::auditEvent(const Counters& row, Outcome outcome, const QString& userName)
{
    switch (outcome) {
    case Outcome::Accepted:
        return TAuditTrail::userEvent(TAuditKind::LogonAccepted, userName, row.userId);
    case Outcome::AccountLocked:
        return TAuditTrail::userEvent(TAuditKind::LogonRefused, userName, row.userId, QStringLiteral("Account locked"));
    case Outcome::Disabled:
        return TAuditTrail::userEvent(TAuditKind::LogonRefused, userName, row.userId,
                                      QStringLiteral("Account disabled"));
    case Outcome::Refused:
        return TAuditTrail::userEvent(TAuditKind::LogonRefused, userName, row.userId, QStringLiteral("Wrong password"));
    case Outcome::LocksNow:
        break;
    }
    return TAuditTrail::userEvent(
        TAuditKind::AccountLocked, userName, row.userId,
        QStringLiteral("Wrong password: locked after %1 failed logons").arg(row.attempts + 1));
}

bool TFormCSLogon::attempt(int& result)
{
    sqlUsers->setFiltered(false);
    sqlUsers->close();
    sqlUsers->open();
    sqlUsers->setFilter(TFilter::equals(QStringLiteral("User_Name"), edUserName->text()));
    sqlUsers->setFiltered(true);
    if (sqlUsers->isEmpty()) {
        TAuditTrail::note(sqlUsers->databaseName(), TAuditTrail::userEvent(TAuditKind::LogonRefused, edUserName->text(),
                                                                           0, QStringLiteral("Unknown user name")));
        refuseAndStay();
        return false;
    }
    LoginAttempted = true;
    const QString stored = sqlUsers->fieldByName(QStringLiteral("User_Password"))->asString();
    const bool matches = sameText(stored, edPassword->text(), CheckCase);

    // The counters are read again, locked, in the transaction that writes them back:
    // attempts made at the same moment by other programs then each count, and none
    // writes back a stale value that would undo another's lock.
    Counters row = countersOf(*sqlUsers);
    Outcome outcome = decide(row, matches);
    bool written = true;
    try {
        TAuditTrail::run(*TDatabase::connectionFor(sqlUsers->databaseName()), [&] {
            TQuery current;
            current.setDatabaseName(sqlUsers->databaseName());
            current.setSQL(QStringLiteral("select * from USERS where User_Id = :User_ID with lock"));
            current.setParamInteger(QStringLiteral("User_ID"), row.userId);
            current.open();
            if (current.isEmpty())
                return; // deleted meanwhile: nothing to count
            row = countersOf(current);
            current.close();
            outcome = decide(row, matches);
            writeBack(row, outcome);
            TAuditTrail::append(
                *TDatabase::connectionFor(sqlUsers->databaseName()),
                auditEvent(row, outcome, sqlUsers->fieldByName(QStringLiteral("User_Name"))->asString()));
        });
    } catch (const EDatabaseError&) {
        written = false;
    }
    LoginAttempted = false;
    InvalidLogin = outcome != Outcome::Accepted;
    if (outcome == Outcome::LocksNow)
        Locked = 1;

    bool closes = true;
    switch (outcome) {
    case Outcome::AccountLocked:
        Platform::showError(QStringLiteral("User Account Has Been Locked, Contact Your System Administrator."));
        result = Rejected;
        break;
    case Outcome::Disabled:
        Platform::showError(QStringLiteral("User Account has been disabled."));
        result = Rejected;
        break;
    case Outcome::Accepted:
        break;
    case Outcome::Refused:
        refuseAndStay();
        closes = false;
        break;
    case Outcome::LocksNow:
        Platform::showError(QStringLiteral("Too Many Invalid Logon Attempts, User Account Has Been Locked."));
        result = Rejected;
        break;
    }
    if (!written)
        Platform::showError(QStringLiteral("Error updating user information"));
    return closes;
}

void TFormCSLogon::refuseAndStay()
{
    edUserName->setFocus();
    edUserName->selectAll();
    repaint();
    Platform::showError(QStringLiteral("Invalid Username or Password"));
}

void TFormCSLogon::writeBack(const Counters& row, Outcome outcome)
{
    const bool invalid = outcome != Outcome::Accepted;
    const int locked = outcome == Outcome::LocksNow ? 1 : (Locked != -1 ? Locked : row.locked);
    TQuery update;
    update.setDatabaseName(sqlUsers->databaseName());
    update.setUpdateMode(TQuery::UpdateMode::WhereKeyOnly);
    update.setSQL(
        QStringLiteral("UPDATE USERS SET Locked = :Locked, LoginAttempts = :LoginAttempts WHERE User_Id = :User_ID"));
    update.setParamInteger(QStringLiteral("Locked"), locked);
    update.setParamInteger(QStringLiteral("LoginAttempts"),
                           row.counting != 1 ? row.attempts : (invalid ? row.attempts + 1 : 0));
    update.setParamInteger(QStringLiteral("User_ID"), row.userId);
    update.execSQL();
}
