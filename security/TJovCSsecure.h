#pragma once
// TJovCSsecure (unit JovCSsec): the security component a secured application places on
// its main form. It connects to the application's security database, ends the
// application when security says it may not run, logs a user on, answers access tests,
// changes passwords and opens the setup editor for administrators.
//
//     auto* security = new TJovCSsecure(mainWindow);
//     security->setAlias("MYAPP_SEC");
//     security->setPassword("masterkey");
//     security->Loaded();              // connects and, by default, logs on
//     if (security->TestAccess(12)) ...
//
// Ending: once connected, the engine layer makes sure that the application detaches
// from the database engine on every way out, within 3 seconds, or the process ends
// anyway; otherwise one program that hangs while ending holds up every program of the
// user. To do that it installs, once: an on_exit handler; a std::terminate handler
// that calls the one it replaced; for SIGINT and SIGTERM, which the Firebird client
// library takes over, the application's own handler put back where it had one, else
// a handler that detaches and ends the process by the signal; and that handler for
// SIGHUP only while SIGHUP has its default action. See database/TEngineLifetime.h.

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class TAccessIndex;
class TDatabase;
class TFormCSLogon;
class TQuery;

enum TSecurityOption : quint8 {
    soAutoValidate = 1,
    soCaseSensitive = 2,
    soShowUI = 4,
    soNetwareSupport = 8,
    soWinNetSupport = 16,
};
Q_DECLARE_FLAGS(TSecurityOptions, TSecurityOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TSecurityOptions)

class TJovCSsecure : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Alias READ Alias WRITE setAlias)
    Q_PROPERTY(QString Password READ Password WRITE setPassword)
    Q_PROPERTY(int Options READ optionBits WRITE setOptionBits)
    Q_PROPERTY(bool UserGrantsOnly READ UserGrantsOnly WRITE setUserGrantsOnly)

public:
    // Create: nobody logged on, options [soAutoValidate, soShowUI], connection closed.
    explicit TJovCSsecure(QObject* owner = nullptr);
    // Destroy: frees the record sets and closes the connection.
    ~TJovCSsecure() override;

    // Called once the stored properties are set: connects, checks the PROGRAM row and,
    // with soAutoValidate, logs a user on. Ends the application when it may not run.
    virtual void Loaded();

    bool Logon();
    bool Login();
    bool LogonEx(const QString& UserName, const QString& Password);
    bool NWLogon();
    QString GetWindowsUserName();
    QString GetNetwareUserName();
    bool ChangePassword();
    bool PasswordChange();
    bool PasswordCanChange() const;
    bool PasswordExpired() const;
    bool TestAccess(qint32 pliAccessId);
    bool Setup();

    // Properties, in their declared order.
    bool ShowUI() const { return FOptions.testFlag(soShowUI); }
    void setShowUI(bool on) { FOptions.setFlag(soShowUI, on); }
    QString UserName() const { return FUserName; }
    qint32 UserID() const { return FUserID; }
    QString UserPassword() const { return FUserPassword; }
    QDateTime PWSetDate() const { return FPWSetDate; }
    int PWMaxDays() const { return FPWMaxDays; }
    int PWMinDays() const { return FPWMinDays; }
    QString UserField1() const { return FUserDef1; }
    QString UserField2() const { return FUserDef2; }
    QDateTime UserLastAccess() const { return FUserLastAccess; }
    int UserAccessCount() const { return FUserAccessCount; }
    bool UserAdmin() const { return FUserAdmin == 1; }
    bool Active() const { return FUserID >= 0; }
    // false logs the current user off; true has no effect.
    void setActive(bool on);

    QString Alias() const { return FAlias; }
    void setAlias(const QString& alias) { FAlias = alias; }
    QString Password() const { return FPassword; }
    void setPassword(const QString& password) { FPassword = password; }
    TSecurityOptions Options() const { return FOptions; }
    void setOptions(TSecurityOptions options) { FOptions = options; }

    // For large sites: Loaded reads no grant, and each logon reads the grants of the
    // user who logs on (their "C" and "G" rows and the constants of their groups).
    // TestAccess answers as it does from all grants. Off by default, when Loaded
    // reads every grant into the kept record sets. Set it before Loaded.
    bool UserGrantsOnly() const { return FUserGrantsOnly; }
    void setUserGrantsOnly(bool on) { FUserGrantsOnly = on; }

    // Account flags read at logon; the application may look at them.
    int UserEnabled() const { return FUserEnabled; }
    int PWNoChange() const { return FPWNoChange; }
    int PWNeverExpires() const { return FPWNeverExpires; }
    int PWMustChange() const { return FPWMustChange; }

    // Set while the component is edited in a form designer: it never connects then.
    bool designing() const { return FDesigning; }
    void setDesigning(bool on) { FDesigning = on; }

    // The record sets kept from Loaded to Destroy (none before Loaded or in design mode;
    // the log record set only while logging is on). With UserGrantsOnly the two grant
    // sets hold the logged-on user's rows only, and the log set is never read.
    // Otherwise Loaded indexes every grant without keeping the rows, and each grant
    // set reads every row when the application first asks for it (a failure shows
    // "Unable to Access Security Files" and leaves the set closed).
    TQuery* groupAccessSet() const;
    TQuery* userAccessSet() const;
    TQuery* logSet() const { return FLog; }
    TDatabase* database() const { return FDatabase; }

    // Whether the component has asked the application to end (security switched off,
    // no logon, no connection). The request takes effect when the event loop runs.
    static bool TerminationRequested();

    // The date-time that stands for "none" (zero) in the current-user state.
    static QDateTime zeroDateTime();

private:
    int optionBits() const { return int(FOptions.toInt()); }
    void setOptionBits(int bits) { FOptions = TSecurityOptions::fromInt(bits & 0x1f); }
    void logOff();
    void freeStartupSets();
    // Reads a grant set that Loaded made but did not read yet.
    void readOnRequest(TQuery* set, bool& unread) const;
    // Indexes the grants of the start-up record sets for the access test.
    void buildAccessIndex();
    // Reads the grants again after the setup editor has changed them.
    void rereadGrants();
    // UserGrantsOnly: the grant record sets over one user's rows, made by Loaded and
    // read by readUserGrants at each logon.
    void makeUserGrantSets();
    void readUserGrants();
    // The statements that find one user for LogonEx and NWLogon.
    void prepareLogonByName(TQuery& users, TQuery& history, const QString& name) const;

    // Logon steps shared by the dialog, LogonEx and NWLogon.
    void takeSupervisorState(bool resetPasswordFlags);
    void readUserRow(const TQuery& users, bool withEnabled);
    void readPasswordLimits(TQuery& history);
    void recordDialogLogon();
    void recordLogonWithoutDialog(const char* auditKind);
    void logLogon();
    void logAccess(qint32 accessId);
    // LogonEx (with a password) and NWLogon (without): looks the name up and, when it
    // is accepted, loads the user. A refusal leaves the current user as it was.
    bool logonByName(const QString& name, const QString* password);
    bool logonThroughDialog(TFormCSLogon& dialog, bool ok);
    // The password change; forced at a dialog logon, it is not held back by the
    // password's minimum age.
    bool changePassword(bool forced);

    friend class TJovCSsecureState;

    // Published properties
    QString FAlias;
    QString FPassword;
    TSecurityOptions FOptions;
    bool FUserGrantsOnly = false;
    bool FDesigning = false;

    // Current user
    qint32 FUserID = -1;
    QString FUserName;
    QString FUserPassword;
    QString FUserDef1;
    QString FUserDef2;
    QDateTime FUserLastAccess;
    int FUserAccessCount = 0;
    int FUserAdmin = 0;
    int FUserEnabled = 0;
    int FPWNoChange = 0;
    int FPWNeverExpires = 0;
    int FPWMustChange = 0;
    QDateTime FPWSetDate;
    int FPWMaxDays = 0;
    int FPWMinDays = 0;

    // Owned objects
    TDatabase* FDatabase = nullptr;
    TQuery* FSQLUpdate = nullptr;
    TQuery* FGroupAcc = nullptr;
    TQuery* FUserAcc = nullptr;
    // Grant sets made by Loaded and not read yet.
    mutable bool FGroupAccUnread = false;
    mutable bool FUserAccUnread = false;
    TQuery* FLog = nullptr;
    // Grants of FUserAcc and FGroupAcc, indexed when they are read at start-up.
    std::unique_ptr<TAccessIndex> FAccessIndex;
};
