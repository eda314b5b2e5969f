#include "security/CSLogon.h"

#include "database/EDatabaseError.h"
#include "database/TFilter.h"
#include "database/TQuery.h"
#include "platform/MessageBox.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TFormCSLogon* FormLogon = nullptr;

namespace
{
QChar latinUpper(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ? QChar(c.unicode() - 32) : c;
}

template <typename T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}
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
    return !Password.isEmpty() &&
           sameText(edUserName->text(), QStringLiteral("SUPERVISOR"), CheckCase) &&
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
        moveFocusOn(edUserName);
        return false;
    }
    bool closes = true;
    if (result == Accepted) {
        try {
            closes = attempt(result);
        } catch (const EDatabaseError&) {
            // Nothing was read that could be written back.
            LoginAttempted = false;
            Platform::showError(QStringLiteral("Unable to Access Security Files"));
            return false;
        }
    }
    writeBack();
    return closes;
}

bool TFormCSLogon::attempt(int& result)
{
    sqlUsers->setFiltered(false);
    sqlUsers->close();
    sqlUsers->open();
    sqlUsers->setFilter(TFilter::equals(QStringLiteral("User_Name"), edUserName->text()));
    sqlUsers->setFiltered(true);
    if (sqlUsers->isEmpty()) {
        refuseAndStay();
        return false;
    }
    LoginAttempted = true;

    auto value = [this](const char* column) {
        return sqlUsers->fieldByName(QLatin1String(column))->asInteger();
    };
    if (value("Locked") == 1) {
        Platform::showError(
            QStringLiteral("User Account Has Been Locked, Contact Your System Administrator."));
        result = Rejected;
        return true;
    }
    const QString stored = sqlUsers->fieldByName(QStringLiteral("User_Password"))->asString();
    if (sameText(stored, edPassword->text(), CheckCase)) {
        if (value("User_Enabled") != 1) {
            Platform::showError(QStringLiteral("User Account has been disabled."));
            result = Rejected;
            return true;
        }
        InvalidLogin = false;
        return true;
    }

    InvalidLogin = true;
    // The lock follows the allowed attempts whether or not counting is switched on.
    if (value("LoginAttempts") + 1 < value("AllowedAttempts")) {
        refuseAndStay();
        return false;
    }
    Locked = 1;
    Platform::showError(
        QStringLiteral("Too Many Invalid Logon Attempts, User Account Has Been Locked."));
    result = Rejected;
    return true;
}

void TFormCSLogon::refuseAndStay()
{
    edUserName->setFocus();
    edUserName->selectAll();
    repaint();
    Platform::showError(QStringLiteral("Invalid Username or Password"));
}

void TFormCSLogon::writeBack()
{
    if (!LoginAttempted)
        return;
    LoginAttempted = false;
    try {
        const int rowLocked = sqlUsers->fieldByName(QStringLiteral("Locked"))->asInteger();
        const int attempts = sqlUsers->fieldByName(QStringLiteral("LoginAttempts"))->asInteger();
        const bool counting =
            sqlUsers->fieldByName(QStringLiteral("AcctLocking"))->asInteger() == 1;
        const int userId = sqlUsers->fieldByName(QStringLiteral("User_ID"))->asInteger();

        TQuery update;
        update.setDatabaseName(sqlUsers->databaseName());
        update.setUpdateMode(TQuery::UpdateMode::WhereKeyOnly);
        update.setSQL(QStringLiteral(
            "UPDATE USERS SET Locked = :Locked, LoginAttempts = :LoginAttempts WHERE User_Id = :User_ID"));
        update.setParamInteger(QStringLiteral("Locked"), Locked != -1 ? Locked : rowLocked);
        update.setParamInteger(QStringLiteral("LoginAttempts"),
                               !counting ? attempts : (InvalidLogin ? attempts + 1 : 0));
        update.setParamInteger(QStringLiteral("User_ID"), userId);
        update.execSQL();
        update.close();
    } catch (const EDatabaseError&) {
        Platform::showError(QStringLiteral("Error updating user information"));
    }
}

void TFormCSLogon::moveFocusOn(QWidget* from)
{
    for (QWidget* w = from->nextInFocusChain(); w && w != from; w = w->nextInFocusChain()) {
        if (w->window() == this && (w->focusPolicy() & Qt::TabFocus) && w->isEnabled() &&
            w->isVisibleTo(this)) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}
