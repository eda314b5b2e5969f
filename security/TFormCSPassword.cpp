#include "security/TFormCSPassword.h"

#include "database/EDatabaseError.h"
#include "database/TAuditTrail.h"
#include "database/TDatabase.h"
#include "database/TQuery.h"
#include "platform/FormControls.h"
#include "platform/MessageBox.h"
#include "platform/UnicodeText.h"

#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include <algorithm>

TFormCSPassword* FormPassword = nullptr;

using Platform::named;

namespace {
constexpr int kHistorySlots = 25;

// Empty but not null: unused history slots and a blank password hold empty text.
QString emptyText() { return QStringLiteral(""); }

QLabel* rightLabel(const QString& text, const char* name, QWidget* parent)
{
    auto* label = named(new QLabel(text, parent), name);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QLineEdit* passwordBox(const char* name, QWidget* parent)
{
    auto* box = named(new QLineEdit(parent), name);
    box->setEchoMode(QLineEdit::Password);
    return box;
}
} // namespace

TFormCSPassword::TFormCSPassword(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormCSPassword"));
    setWindowTitle(QStringLiteral("Change Password"));
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);

    Label1 = rightLabel(QStringLiteral("Current Password:"), "Label1", this);
    edPassword = passwordBox("edPassword", this);
    lblPassword1 = rightLabel(QStringLiteral("New Password:"), "lblPassword1", this);
    edPassword1 = passwordBox("edPassword1", this);
    lblPassword2 = rightLabel(QStringLiteral("Verify Password:"), "lblPassword2", this);
    edPassword2 = passwordBox("edPassword2", this);
    bbnOk = named(new QPushButton(QStringLiteral("OK"), this), "bbnOk");
    bbnOk->setDefault(true);
    bbnCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "bbnCancel");
    Label1->setBuddy(edPassword);
    lblPassword1->setBuddy(edPassword1);
    lblPassword2->setBuddy(edPassword2);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(edPassword, 0, 1);
    grid->addWidget(lblPassword1, 1, 0);
    grid->addWidget(edPassword1, 1, 1);
    grid->addWidget(lblPassword2, 2, 0);
    grid->addWidget(edPassword2, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bbnOk);
    buttons->addWidget(bbnCancel);
    grid->addLayout(buttons, 3, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    edPassword->setMinimumWidth(160);

    setTabOrder(edPassword, edPassword1);
    setTabOrder(edPassword1, edPassword2);
    setTabOrder(edPassword2, bbnOk);
    setTabOrder(bbnOk, bbnCancel);
    connect(bbnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(bbnCancel, &QPushButton::clicked, this, &QDialog::reject);

    sqlUsers = new TQuery(this);
    sqlUsers->setObjectName(QStringLiteral("sqlUsers"));
    sqlUsers->setDatabaseName(QStringLiteral("jovCSsecurity"));
    sqlUsers->setSQL(QStringLiteral("select * from users order by user_id"));
    sqlPWHist = new TQuery(this);
    sqlPWHist->setObjectName(QStringLiteral("sqlPWHist"));
    sqlPWHist->setDatabaseName(QStringLiteral("jovCSsecurity"));
    sqlPWHist->setSQL(QStringLiteral("select * from pwhist order by user_id"));

    edPassword->setFocus();
    FormPassword = this;
    FormCreate();
}

TFormCSPassword::~TFormCSPassword()
{
    if (FormPassword == this)
        FormPassword = nullptr;
}

void TFormCSPassword::FormCreate() { PWList.clear(); }

void TFormCSPassword::done(int result)
{
    if (FormClose(result))
        QDialog::done(result);
}

void TFormCSPassword::LoadPasswordList()
{
    PWList.clear();
    const int count = sqlPWHist->fieldByName(QStringLiteral("PWCount"))->asInteger();
    for (int k = 1; k <= count; ++k)
        PWList << sqlPWHist->fieldByName(QStringLiteral("PW%1").arg(k))->asString();
}

bool TFormCSPassword::FormClose(int& result)
{
    QWidget* focused = focusWidget();
    if (result == Accepted && (focused == edPassword || focused == edPassword1)) {
        Platform::focusNextControl(focused);
        return false;
    }
    if (result != Accepted) {
        PWList.clear();
        return true;
    }
    try {
        if (!checksPass())
            return false;
    } catch (const EDatabaseError& e) {
        Platform::showError(e.message());
        return false;
    }
    if (!store())
        result = Rejected;
    PWList.clear();
    return true;
}

bool TFormCSPassword::checksPass()
{
    const QString current = edPassword->text();
    const QString fresh = edPassword1->text();
    if (!Platform::acceptsAsUnicode(edPassword, QStringLiteral("Current Password")) ||
        !Platform::acceptsAsUnicode(edPassword1, QStringLiteral("New Password")) ||
        !Platform::acceptsAsUnicode(edPassword2, QStringLiteral("Verify Password")))
        return false;
    if (current != sqlUsers->fieldByName(QStringLiteral("User_Password"))->asString()) {
        refuse(QStringLiteral("Current password is invalid."), edPassword);
        return false;
    }
    if (fresh != edPassword2->text()) {
        refuse(QStringLiteral("Passwords do not match."), edPassword1);
        return false;
    }
    const int minSize = sqlPWHist->fieldByName(QStringLiteral("PWMinSize"))->asInteger();
    if (fresh.size() < minSize) {
        refuse(QStringLiteral("New Password Must Be At Least %1 Characters Long.").arg(minSize), edPassword1);
        return false;
    }
    if (sqlUsers->fieldByName(QStringLiteral("PWKeepHist"))->asInteger() != 1)
        return true;
    if (fresh == current) {
        refuse(QStringLiteral("New Password Can Not Match Current Password."), edPassword1);
        return false;
    }
    if (historyHolds(fresh)) {
        refuse(QStringLiteral("Password Has Already Been Used."), edPassword1);
        return false;
    }
    return true;
}

bool TFormCSPassword::historyHolds(const QString& password)
{
    LoadPasswordList();
    // The history compares without regard to letter case, as the locale folds it.
    const QLocale locale = QLocale::system();
    const QString folded = locale.toLower(password);
    for (const QString& used : PWList)
        if (locale.toLower(used) == folded)
            return true;
    return false;
}

QString TFormCSPassword::userName() const
{
    return sqlUsers->active() && !sqlUsers->isEmpty() ? sqlUsers->fieldByName(QStringLiteral("User_Name"))->asString()
                                                      : QString();
}

void TFormCSPassword::refuse(const QString& message, QLineEdit* box)
{
    TAuditTrail::note(dbAlias, TAuditTrail::userEvent(TAuditKind::PasswordChangeRefused, userName(), UserID, message));
    Platform::showError(message);
    box->setFocus();
    box->selectAll();
    repaint();
}

bool TFormCSPassword::store()
{
    // A blank password is stored as empty text, never as a null.
    const QString fresh = edPassword1->text().isNull() ? emptyText() : edPassword1->text();
    TQuery statement;
    statement.setDatabaseName(dbAlias);
    statement.setUpdateMode(TQuery::UpdateMode::WhereKeyOnly);
    try {
        statement.setSQL(QStringLiteral("UPDATE USERS SET User_Password = :User_Password WHERE User_Id = :User_ID"));
        statement.setParamString(QStringLiteral("User_Password"), fresh);
        statement.setParamInteger(QStringLiteral("User_ID"), UserID);
        // The change's event commits with it; it says that the password changed, never to what.
        TDatabase& connection = *TDatabase::connectionFor(dbAlias);
        TAuditTrail::run(connection, [&] {
            statement.execSQL();
            TAuditTrail::append(connection,
                                TAuditTrail::userEvent(TAuditKind::PasswordChanged, userName(), UserID,
                                                       Forced ? QStringLiteral("Forced change at logon") : QString()));
        });
    } catch (const EDatabaseError&) {
        Platform::showError(QStringLiteral("Error updating user information, password not changed"));
        return false;
    }

    try {
        LoadPasswordList();
        PWList.prepend(fresh);
        statement.setSQL(QStringLiteral(
            "UPDATE PWHIST SET PW1 = :PW1, PW2 = :PW2, PW3 = :PW3, PW4 = :PW4, PW5 = :PW5, PW6 = :PW6, PW7 = :PW7, PW8 = :PW8, PW9 = :PW9, PW10 = :PW10, PW11 = :PW11, PW12 = :PW12, PW13 = :PW13, PW14 = :PW14, PW15 = :PW15, PW16 = :PW16, PW17 = :PW17, PW18 = :PW18, PW19 = :PW19, PW20 = :PW20, PW21 = :PW21, PW22 = :PW22, PW23 = :PW23, PW24 = :PW24, PW25 = :PW25, PWSETDATE = :PWSETDATE WHERE User_Id = :User_ID"));
        const int count = sqlPWHist->fieldByName(QStringLiteral("PWCount"))->asInteger();
        for (int k = 1; k <= count; ++k)
            statement.setParamString(QStringLiteral("PW%1").arg(k), PWList.value(k - 1));
        for (int k = std::max(count, 0) + 1; k <= kHistorySlots; ++k)
            statement.setParamString(QStringLiteral("PW%1").arg(k), emptyText());
        statement.setParamDate(QStringLiteral("PWSETDATE"), QDate::currentDate());
        statement.setParamInteger(QStringLiteral("User_ID"), UserID);
        statement.execSQL();
    } catch (const EDatabaseError&) {
        Platform::showError(
            QStringLiteral("Error updating password history information, password history not changed."));
    }
    return true;
}
