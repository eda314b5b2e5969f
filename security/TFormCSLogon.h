#pragma once
// TFormCSLogon (unit CSLogon): the logon dialog. Each press of OK (or Enter in the
// password box) is one attempt: the close handler finds the user, checks the lock and
// the password, counts wrong passwords and locks the account once the allowed attempts
// are used up. The dialog stays open after an unknown name or a wrong password below
// the limit.

#include <QDialog>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class TQuery;
struct TAuditEvent;

class TFormCSLogon : public QDialog {
    Q_OBJECT
public:
    explicit TFormCSLogon(QWidget* parent = nullptr);
    ~TFormCSLogon() override;

    // Initial values of the public fields.
    void FormCreate();
    // The close handler: runs on every attempt to close with the result the button
    // gave. Returns whether the dialog may close; result may turn into Rejected (a
    // locked or disabled account). Tests call it directly with the boxes filled in.
    bool FormClose(int& result);

    // Name and password comparison of the logon: exact when checkCase, otherwise
    // ignoring the letter case of the 26 Latin letters only.
    static bool sameText(const QString& a, const QString& b, bool checkCase);

    void done(int result) override;

    // Controls
    QLabel* lblUserName = nullptr;
    QLineEdit* edUserName = nullptr;
    QLabel* lblUserPassword = nullptr;
    QLineEdit* edPassword = nullptr;
    QPushButton* bbtnOk = nullptr;
    QPushButton* bbtnCancel = nullptr;
    TQuery* sqlUsers = nullptr;
    TQuery* sqlPWHist = nullptr;

    // Fields
    bool CheckCase = false;
    QString Password;
    bool Supervisor = false;
    bool LoginAttempted = false;
    bool InvalidLogin = true;
    int Locked = -1;

private:
    // The account's columns that one attempt decides on and writes back.
    struct Counters {
        int userId, locked, attempts, allowed, counting, enabled;
    };
    enum class Outcome { AccountLocked, Disabled, Accepted, Refused, LocksNow };
    static Counters countersOf(const TQuery& users);
    static Outcome decide(const Counters& row, bool passwordMatches);

    bool isSupervisor() const;
    // One attempt on the name and password typed, with its write-back; returns
    // whether the dialog closes.
    bool attempt(int& result);
    void refuseAndStay();
    void writeBack(const Counters& row, Outcome outcome);
    // The audit event of an attempt's outcome.
    static TAuditEvent auditEvent(const Counters& row, Outcome outcome, const QString& userName);
};

extern TFormCSLogon* FormLogon;
