#include "editor/TformCSUser.h"

#include "database/EDatabaseError.h"
#include "database/TFilter.h"
#include "database/TQuery.h"
#include "database/TUpdateSQL.h"
#include "editor/TDBCheckBox.h"
#include "editor/TDBEdit.h"
#include "editor/TEditorAudit.h"
#include "rules/TSecurityRules.h"
#include "widgets/GuardedCommand.h"
#include "platform/FormControls.h"
#include "platform/MessageBox.h"
#include "platform/UnicodeText.h"

#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TformCSUser* FormCSUser = nullptr;

using Platform::named;

namespace {
TDBEdit* boundEdit(const char* name, TQuery* q, const char* column, int maxLength)
{
    auto* e = named(new TDBEdit, name);
    e->setMaxLength(maxLength);
    e->setDataField(q, QLatin1String(column));
    return e;
}

TDBCheckBox* boundCheck(const char* name, const QString& caption, TQuery* q, const char* column)
{
    auto* c = named(new TDBCheckBox(caption), name);
    c->setDataField(q, QLatin1String(column));
    return c;
}
} // namespace

TformCSUser::TformCSUser(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("FormCSUser"));
    setWindowTitle(QStringLiteral("Modify User"));

    qryUpdateUsers = new TQuery(this);
    qryUpdateUsers->setObjectName(QStringLiteral("qryUpdateUsers"));
    qryUpdateUsers->setDatabaseName(QStringLiteral("jovCSsecurity"));
    qryUpdateUsers->setSQL(QStringLiteral("select * from users order by user_id"));
    qryUpdateUsers->setCachedUpdates(true);
    dsUser = qryUpdateUsers;
    UpdateSQL1 = new TUpdateSQL(this);
    UpdateSQL1->setObjectName(QStringLiteral("UpdateSQL1"));
    UpdateSQL1->setDataSet(qryUpdateUsers);
    UpdateSQL1->setModifySQL(
        {QStringLiteral("UPDATE USERS SET "), QStringLiteral("User_Name = :User_Name, "),
         QStringLiteral("User_Password = :User_Password,"), QStringLiteral("User_Def1 = :User_Def1,"),
         QStringLiteral("User_Def2 = :User_Def2,"), QStringLiteral("User_LastAccess = :OLD_User_LastAccess,"),
         QStringLiteral("User_AccessCount = :OLD_User_AccessCount,"), QStringLiteral("User_Enabled = :User_Enabled,"),
         QStringLiteral("User_Admin = :User_Admin,"), QStringLiteral("LOCKED = :LOCKED,"),
         QStringLiteral("PWMustChange = :PWMustChange,"), QStringLiteral("PWNeverExpires = :PWNeverExpires,"),
         QStringLiteral("PWNoChange = :PWNoChange"), QStringLiteral("WHERE User_Id = :OLD_User_Id;")});
    UpdateSQL1->setInsertSQL(TSecurityRules::insertUserStatement());

    dbedName = boundEdit("dbedName", dsUser, "User_Name", 48);
    dbedPassword = boundEdit("dbedPassword", dsUser, "User_Password", 15);
    dbedPassword->setEchoMode(QLineEdit::Password);
    lblDef1 = named(new QLabel(QStringLiteral("User Defined 1:")), "lblDef1");
    dbedUserDef1 = boundEdit("dbedUserDef1", dsUser, "User_Def1", 30);
    lblDef2 = named(new QLabel(QStringLiteral("User Defined 2:")), "lblDef2");
    dbedUserDef2 = boundEdit("dbedUserDef2", dsUser, "User_Def2", 30);
    dbchboxEnabled = boundCheck("dbchboxEnabled", QStringLiteral("Account Enabled"), dsUser, "USER_ENABLED");
    dbchAdmin = boundCheck("dbchAdmin", QStringLiteral("Administrative Rights"), dsUser, "User_Admin");
    dbchkExpireNow =
        boundCheck("dbchkExpireNow", QStringLiteral("User Must Change Password at Next Login"), dsUser, "PWMustChange");
    dbchkNoPWChange = boundCheck("dbchkNoPWChange", QStringLiteral("User Can't Change Password"), dsUser, "PWNoChange");
    dbchkNeverExpires =
        boundCheck("dbchkNeverExpires", QStringLiteral("Password Never Expires"), dsUser, "PWNeverExpires");
    dbckbxAccountLocked = boundCheck("dbckbxAccountLocked", QStringLiteral("Account Locked"), dsUser, "LOCKED");
    // The buddy makes the label show the doubled ampersand as one.
    lblLoginAttempts = named(new QLabel, "lblLoginAttempts");
    lblOverride = named(new QLabel(QStringLiteral("The Following Settings Override Global && Custom Account Policy.")),
                        "lblOverride");
    lblOverride->setBuddy(dbchkExpireNow);
    QFont bold = lblOverride->font();
    bold.setBold(true);
    lblOverride->setFont(bold);
    bbtnAnother = named(new QPushButton(QStringLiteral("&Another")), "bbtnAnother");
    bbtnAnother->setToolTip(QStringLiteral("Store this user and start on another"));
    bbtnAnother->setVisible(false);
    bbtnOk = named(new QPushButton(QStringLiteral("&OK")), "bbtnOk");
    bbtnOk->setToolTip(QStringLiteral("Store the user and close"));
    bbtnCancel = named(new QPushButton(QStringLiteral("&Cancel")), "bbtnCancel");
    bbtnCancel->setToolTip(QStringLiteral("Close without storing the user"));
    bbtnOk->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("Name:")), 0, 0);
    fields->addWidget(dbedName, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("Password:")), 1, 0);
    fields->addWidget(dbedPassword, 1, 1);
    fields->addWidget(lblDef1, 2, 0);
    fields->addWidget(dbedUserDef1, 2, 1);
    fields->addWidget(lblDef2, 3, 0);
    fields->addWidget(dbedUserDef2, 3, 1);
    layout->addLayout(fields);
    for (QWidget* w : std::initializer_list<QWidget*> {dbchboxEnabled, dbchAdmin, lblOverride, dbchkExpireNow,
                                                       dbchkNoPWChange, dbchkNeverExpires})
        layout->addWidget(w);
    auto* locking = new QHBoxLayout;
    locking->addWidget(dbckbxAccountLocked);
    locking->addStretch(1);
    locking->addWidget(lblLoginAttempts);
    layout->addLayout(locking);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bbtnAnother);
    buttons->addWidget(bbtnOk);
    buttons->addWidget(bbtnCancel);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(400, 0)));

    connect(bbtnOk, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
    connect(bbtnCancel, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });
    connect(bbtnAnother, &QPushButton::clicked, this, [this] { Widgets::guarded([this] { bbtnAnotherClick(); }); });
    connect(dbchkExpireNow, &QCheckBox::clicked, this, [this] { dbchkExpireNowClick(); });
    connect(dbchkNoPWChange, &QCheckBox::clicked, this, [this] { dbchkNeverExpiresClick(); });
    connect(dbchkNeverExpires, &QCheckBox::clicked, this, [this] { dbchkNeverExpiresClick(); });
    connect(dbckbxAccountLocked, &QCheckBox::clicked, this, [this] { dbckbxAccountLockedClick(); });
}

QString TformCSUser::fieldCaption(const QString& label)
{
    return label.trimmed().isEmpty() ? QString() : label + QLatin1Char(':');
}

TformCSUser::~TformCSUser()
{
    if (FormCSUser == this)
        FormCSUser = nullptr;
}

void TformCSUser::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Once only: preparing again would drop what was typed.
    if (m_prepared)
        return;
    try {
        FormActivate();
    } catch (const EDatabaseError& e) {
        Platform::showError(e.message());
    }
}

void TformCSUser::setNewUserDefaults()
{
    for (const char* column : {"User_Enabled"})
        qryUpdateUsers->fieldByName(QLatin1String(column))->setAsInteger(1);
    for (const char* column : {"User_Admin", "PWMustChange", "PWNeverExpires", "PWNoChange", "LOCKED"})
        qryUpdateUsers->fieldByName(QLatin1String(column))->setAsInteger(0);
}

void TformCSUser::FormActivate()
{
    m_prepared = true;
    qryUpdateUsers->close();
    qryUpdateUsers->open();
    qryUpdateUsers->setFilter(TFilter::equals(QStringLiteral("User_Id"), iUserId));
    qryUpdateUsers->setFiltered(true);
    if (qryUpdateUsers->isEmpty()) {
        qryUpdateUsers->setFiltered(false);
        qryUpdateUsers->insert();
        setNewUserDefaults();
    } else {
        qryUpdateUsers->edit();
    }
    dbckbxAccountLocked->setEnabled(qryUpdateUsers->fieldByName(QStringLiteral("LOCKED"))->asInteger() == 1);
    ResetLoginAttempts = false;
    showLoginAttempts();
}

int TformCSUser::loginAttempts() const
{
    return ResetLoginAttempts ? 0 : qryUpdateUsers->fieldByName(QStringLiteral("LoginAttempts"))->asInteger();
}

void TformCSUser::showLoginAttempts()
{
    lblLoginAttempts->setText(QStringLiteral("Failed Logons: %1").arg(loginAttempts()));
}

void TformCSUser::dbckbxAccountLockedClick()
{
    if (dbckbxAccountLocked->isChecked()) {
        // Locked again before saving: the count is kept after all.
        ResetLoginAttempts = false;
    } else if (const int attempts = loginAttempts(); attempts > 0) {
        ResetLoginAttempts =
            Platform::askYesNo(QStringLiteral("Unlocking keeps the count of failed logons (%1): the next wrong "
                                              "password locks the account again at once.\n"
                                              "Reset the count of failed logons to 0?")
                                   .arg(attempts));
    }
    showLoginAttempts();
}

void TformCSUser::done(int result)
{
    setResult(result);
    bool close = true;
    try {
        close = FormCloseQuery();
    } catch (const EDatabaseError& e) {
        Platform::showError(e.message());
        close = false;
    }
    if (close)
        QDialog::done(result);
}

bool TformCSUser::FormCloseQuery()
{
    if (result() != QDialog::Accepted) {
        qryUpdateUsers->close();
        return true;
    }
    const bool saved = iUserId != 0 ? ModifyUserInfo() : InsertNewUser();
    if (saved)
        qryUpdateUsers->close();
    return saved;
}

bool TformCSUser::applyStatement(bool insert)
{
    if (!Platform::acceptsAsUnicode(dbedName, QStringLiteral("Name")) ||
        !Platform::acceptsAsUnicode(dbedPassword, QStringLiteral("Password")) ||
        !Platform::acceptsAsUnicode(dbedUserDef1, QStringLiteral("first user field")) ||
        !Platform::acceptsAsUnicode(dbedUserDef2, QStringLiteral("second user field")))
        return false;
    try {
        // The Firebird driver cannot hand a null to the parameter of a NOT NULL
        // column (it sends an empty text instead), so the refusal the table gives an
        // empty name or password is raised here.
        for (const char* column : {"User_Name", "User_Password"})
            if (qryUpdateUsers->fieldByName(QLatin1String(column))->isNull())
                throw EDatabaseError(QStringLiteral("validation error for column %1, value \"*** null ***\"")
                                         .arg(QString::fromLatin1(column).toUpper()));
        if (insert) {
            applyAudited(true);
        } else {
            // A chosen reset of the failed logons is written with the rest of the user.
            const QStringList modify = UpdateSQL1->modifySQL();
            if (ResetLoginAttempts) {
                QStringList withReset = modify;
                withReset.insert(withReset.size() - 2, QStringLiteral("LoginAttempts = 0,"));
                UpdateSQL1->setModifySQL(withReset);
            }
            try {
                applyAudited(false);
            } catch (...) {
                UpdateSQL1->setModifySQL(modify);
                throw;
            }
            UpdateSQL1->setModifySQL(modify);
        }
        return true;
    } catch (const EDatabaseError& error) {
        if (dbedName->text().isEmpty()) {
            Platform::showError(TSecurityRules::nameRequired());
            dbedName->setFocus();
            return false;
        }
        // The refusal names what is missing or what the database objected to.
        const QString refused = insert ? TSecurityRules::unableToSaveUser() : TSecurityRules::unableToUpdateUser();
        if (dbedPassword->text().isEmpty()) {
            Platform::showError(refused + QLatin1Char('\n') + TSecurityRules::passwordRequired());
            dbedPassword->setFocus();
        } else {
            Platform::showError(refused + QLatin1Char('\n') + error.message());
        }
        return false;
    }
}

void TformCSUser::applyAudited(bool insert)
{
    // The columns the dialog edits, spelled as the user statements spell them.
    const QStringList flags {QStringLiteral("User_Enabled"), QStringLiteral("User_Admin"),
                             QStringLiteral("PWMustChange"), QStringLiteral("PWNeverExpires"),
                             QStringLiteral("PWNoChange")};
    const QStringList fields {QStringLiteral("User_Name"), QStringLiteral("User_Password"), QStringLiteral("User_Def1"),
                              QStringLiteral("User_Def2")};
    const TQuery& user = *qryUpdateUsers;
    const QString name = user.fieldByName(QStringLiteral("User_Name"))->asString();
    QList<TAuditEvent> events;
    if (insert) {
        events << TEditorAudit::event(AuditUser, TAuditKind::UserAdded, 0, name,
                                      TEditorAudit::values(user, fields.mid(2) + flags));
    } else {
        if (const QString changed = TEditorAudit::changes(user, fields + flags); !changed.isEmpty())
            events << TEditorAudit::event(AuditUser, TAuditKind::UserChanged, iUserId, name, changed);
        const TField* locked = user.fieldByName(QStringLiteral("LOCKED"));
        if (locked->oldValue().toInt() == 1 && locked->value().toInt() == 0) {
            QString unlocked = QStringLiteral("Locked: 1 -> 0\n");
            if (ResetLoginAttempts)
                unlocked += TAuditTrail::change(QStringLiteral("LoginAttempts"),
                                                user.fieldByName(QStringLiteral("LoginAttempts"))->value(), 0);
            events << TEditorAudit::event(AuditUser, TAuditKind::UserUnlocked, iUserId, name, unlocked);
        }
    }
    TEditorAudit::run(
        user.databaseName(),
        [&] {
            UpdateSQL1->apply(insert ? TUpdateSQL::Kind::Insert : TUpdateSQL::Kind::Modify);
            if (!insert || events.isEmpty())
                return;
            // The new user's id, which the database's trigger gave it.
            TQuery id;
            id.setDatabaseName(user.databaseName());
            id.setSQL(QStringLiteral("select max(USER_ID) from USERS where USER_NAME = :User_Name"));
            id.setParamString(QStringLiteral("User_Name"), name);
            id.open();
            events.first().objectId = id.field(0)->asInteger();
            id.close();
        },
        [&] { return events; });
}

bool TformCSUser::InsertNewUser() { return applyStatement(true); }

bool TformCSUser::ModifyUserInfo() { return applyStatement(false); }

void TformCSUser::bbtnAnotherClick()
{
    if (InsertNewUser()) {
        qryUpdateUsers->cancel();
        qryUpdateUsers->append();
        setNewUserDefaults();
        dbckbxAccountLocked->setEnabled(false);
    }
    dbedName->setFocus();
}

void TformCSUser::dbchkExpireNowClick()
{
    const bool free = !dbchkExpireNow->isChecked();
    for (TDBCheckBox* box : {dbchkNeverExpires, dbchkNoPWChange}) {
        box->setEnabled(free);
        if (!free && box->isChecked())
            box->setChecked(false);
    }
}

void TformCSUser::dbchkNeverExpiresClick()
{
    if (dbchkNoPWChange->isChecked()) {
        dbchkNeverExpires->setChecked(true);
        dbchkNeverExpires->setEnabled(false);
    } else {
        dbchkNeverExpires->setEnabled(true);
    }
    const bool free = !dbchkNeverExpires->isChecked() && !dbchkNoPWChange->isChecked();
    dbchkExpireNow->setEnabled(free);
    if (!free && dbchkExpireNow->isChecked())
        dbchkExpireNow->setChecked(false);
}
