#pragma once
// TformCSUser (unit CSFrmuser): the user dialog. Adds one or more users, or changes one
// user's name, password, user fields and account flags. The edited record is held in
// the dialog (cached updates); only the insert or modify statement of UpdateSQL1 writes
// it to USERS.

#include <QDialog>

class QLabel;
class QPushButton;
class TDBCheckBox;
class TDBEdit;
class TQuery;
class TUpdateSQL;

class TformCSUser : public QDialog {
    Q_OBJECT
public:
    explicit TformCSUser(QWidget* owner = nullptr);
    ~TformCSUser() override;

    // The caption of a user field's label: the label set in the setup editor with a
    // colon, or nothing when no label is set.
    static QString fieldCaption(const QString& label);

    // The user to edit; 0 adds users.
    int iUserId = 0;
    // The security user acting, as the audit trail names them.
    QString AuditUser = QStringLiteral("SUPERVISOR");

    void FormActivate();
    // Runs on every attempt to close, with the result the dialog would close with.
    bool FormCloseQuery();
    bool InsertNewUser();
    bool ModifyUserInfo();
    void bbtnAnotherClick();
    void dbchkExpireNowClick();
    void dbchkNeverExpiresClick();
    // Unlocking keeps the count of failed logons; the administrator is told so and
    // may have the count reset with the save.
    void dbckbxAccountLockedClick();

    TQuery* qryUpdateUsers;
    TUpdateSQL* UpdateSQL1;
    // What the dialog's controls show: qryUpdateUsers.
    TQuery* dsUser;

    TDBEdit* dbedName;
    TDBEdit* dbedPassword;
    QLabel* lblDef1;
    TDBEdit* dbedUserDef1;
    QLabel* lblDef2;
    TDBEdit* dbedUserDef2;
    TDBCheckBox* dbchboxEnabled;
    TDBCheckBox* dbchAdmin;
    QLabel* lblOverride;
    TDBCheckBox* dbchkExpireNow;
    TDBCheckBox* dbchkNoPWChange;
    TDBCheckBox* dbchkNeverExpires;
    TDBCheckBox* dbckbxAccountLocked;
    // The account's count of consecutive failed logons.
    QLabel* lblLoginAttempts;
    // Set when the administrator chose to reset the count on unlocking.
    bool ResetLoginAttempts = false;
    QPushButton* bbtnAnother;
    QPushButton* bbtnOk;
    QPushButton* bbtnCancel;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setNewUserDefaults();
    bool applyStatement(bool insert);
    // Runs the insert or modify statement and adds its audit events in one transaction.
    void applyAudited(bool insert);
    int loginAttempts() const;
    void showLoginAttempts();

    bool m_prepared = false;
};

// The open user dialog.
extern TformCSUser* FormCSUser;
