#pragma once
// TFormCSPassword (unit CSPwdunt): the password-change dialog. Its close handler checks
// the current password, the confirmation, the minimum length and (when the account
// keeps a history) that the new password was not used before, then stores it and shifts
// the password history by one slot.

#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;
class TQuery;

class TFormCSPassword : public QDialog {
    Q_OBJECT
public:
    explicit TFormCSPassword(QWidget* parent = nullptr);
    ~TFormCSPassword() override;

    void FormCreate();
    // The close handler: runs on every attempt to close with the result the button
    // gave. Returns whether the dialog may close; result turns into Rejected when the
    // new password could not be stored. Tests call it directly.
    bool FormClose(int& result);
    // PW1 ... PWn of the current sqlPWHist row, n being its PWCount, in slot order.
    // Throws EDatabaseError when a slot does not exist.
    void LoadPasswordList();

    void done(int result) override;

    // Controls
    QLabel* Label1 = nullptr;
    QLineEdit* edPassword = nullptr;
    QLabel* lblPassword1 = nullptr;
    QLineEdit* edPassword1 = nullptr;
    QLabel* lblPassword2 = nullptr;
    QLineEdit* edPassword2 = nullptr;
    QPushButton* bbnOk = nullptr;
    QPushButton* bbnCancel = nullptr;
    TQuery* sqlUsers = nullptr;
    TQuery* sqlPWHist = nullptr;

    // Fields
    QStringList PWList;
    QString dbAlias;
    qint32 UserID = 0;
    // The logon demands the change (an expired password, or one the user must change).
    bool Forced = false;

private:
    // The five checks in order; false after showing the first failure.
    bool checksPass();
    bool historyHolds(const QString& password);
    // Shows why the new password is refused, and records the refusal in the audit trail.
    void refuse(const QString& message, QLineEdit* box);
    QString userName() const;
    // Stores the new password and shifts the history; false when the password itself
    // could not be stored.
    bool store();
};

extern TFormCSPassword* FormPassword;
