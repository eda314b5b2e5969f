#pragma once
// TFormCSMain (unit CSFrmsec): the setup editor. One window for the PROGRAM row
// (security label, user field labels, security and logging switches), the users and
// their account policy, the groups and access constants, what each user holds, and the
// global account policy. Every change is written to the database when it is made; the
// selected user's policy and the PROGRAM row are written at the moments listed with
// SaveUserInformation and FormDestroy.
//
// The implementation is split by subject: TFormCSMain.cpp (window, life cycle, pages),
// TFormCSMainUsers.cpp (users page), TFormCSMainPolicy.cpp (account policy),
// TFormCSMainLists.cpp (groups and constants), TFormCSMainAccess.cpp (user access).

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;
class QWidget;
class TDBCheckBox;
class TDBEdit;
class TDBLookupComboBox;
class TListBox;
class TPolicyPages;
class TQuery;
class TRadioGroup;
class TUpDown;
struct TAccountPolicy;

class TFormCSMain : public QDialog {
    Q_OBJECT
public:
    explicit TFormCSMain(QWidget* owner = nullptr);
    ~TFormCSMain() override;

    // Set by the opener before showing.
    QString SecAlias;
    bool LimitAccess = false;
    // The security user the editor acts for, as the audit trail names them.
    QString AuditUser = QStringLiteral("SUPERVISOR");

    // Life cycle
    void FormCreate();
    void FormShow();
    void FormClose();
    void FormDestroy();
    void btnOkClick();
    // Runs when a page of PageControl1 is about to be left (the current one).
    void PageControl1Changing(bool& allowChange);

    // Users page
    void dblkUserNameChange();
    void dblkUserNameDropDown();
    void spbtnAddUserClick();
    void spbtnEditUserClick();
    void spbtnDelUserClick();
    void UpdateUserInformation();
    // The selected user's id, -1 when the lookup shows none.
    int selectedUserId() const;

    // Account policy
    void SaveUserInformation();
    void SaveGAPToUser();
    void rbtnUseGLBPolicyClick();
    void dbchkPWAgingEnabledClick();
    void grpMaxAgeClick();
    void grpMinAgeClick();
    void grpMinLengthClick();
    void grpUniquenessClick();
    void rbtnAccountLockingClick();
    void meditMaxAgeExit();
    void meditMinAgeExit();
    void meditMinLengthExit();
    void meditUniquenessExit();
    void meditNumOfAttemptsExit();
    // Shared key filter of the numeric edits: sets key to 0 to discard it.
    void meditNumOfAttemptsKeyPress(QObject* sender, QChar& key);
    void btnGAPSettingsClick();

    // Groups and constants
    void UpdateAccessInformation();
    void UpdateGroupInformation();
    void spbtnAccAddClick();
    void spbtnAccEditClick();
    void spbtnAccDelClick();
    void spbtnAddGroupClick();
    void spbtnEditGroupClick();
    void spbtnDelGroupClick();
    // The tool tip of a constant in the list: its id, the number TestAccess takes.
    static QString constantIdText(int accessId);

    // User access
    void sqlUsrAccCalcFields(TQuery& dataSet);
    void AddAccess();
    void RemoveAccess();
    bool lbUsrAccessDragOver(QObject* source) const;
    void lbUsrAccessDragDrop(QObject* source);
    bool lbConstantsDragOver(QObject* source) const;
    void lbConstantsDragDrop(QObject* source);

    // Record sets, open from FormShow to FormDestroy (sqlUpdate runs one statement).
    TQuery* sqlUsers;
    TQuery* sqlPWHist;
    TQuery* sqlGroups;
    TQuery* sqlAccess;
    TQuery* sqlGrpColl;
    TQuery* sqlUsrAcc;
    TQuery* sqlProgram;
    TQuery* sqlUpdate;
    // What the user lookup and the header controls show: sqlUsers and sqlProgram.
    TQuery* dsUsers;
    TQuery* dsProgram;

    // Controls
    QGroupBox* grpSecuritySystem;
    TDBEdit* dbedSecLabel;
    TDBEdit* DBEdit1;
    TDBEdit* DBEdit2;
    TDBCheckBox* dbchkSecEnabled;
    TDBCheckBox* dbcxLogEnabled;
    QPushButton* btnOk;
    QTabWidget* PageControl1;
    QWidget* UserSheet;
    QWidget* AccountSheet;

    TDBLookupComboBox* dblkUserName;
    QToolButton* spbtnAddUser;
    QToolButton* spbtnEditUser;
    QToolButton* spbtnDelUser;
    // The chosen user's account policy in words, read-only: whether it is the global
    // one or their own, and what it holds. Changed on the Account Policy page.
    QLabel* lblEffectivePolicy;
    TListBox* lbUsrAccess;
    QToolButton* spbtnAddAccess;
    QToolButton* spbtnDelAccess;
    QTabWidget* tnbkLists;
    QWidget* tsGroups;
    QWidget* tsConstants;
    TListBox* lbGroups;
    QToolButton* spbtnAddGroup;
    QToolButton* spbtnEditGroup;
    QToolButton* spbtnDelGroup;
    TListBox* lbConstants;
    QToolButton* spbtnAccAdd;
    QToolButton* spbtnAccEdit;
    QToolButton* spbtnAccDel;

    QPushButton* btnGAPSettings;
    QGroupBox* grpCAP;
    QRadioButton* rbtnUseGLBPolicy;
    QRadioButton* rbtnUseCustomPolicy;
    QTabWidget* pcCAP;
    QWidget* tsPasswordAging;
    QWidget* tsPasswordRestrictions;
    QWidget* tsAccountLocking;
    QCheckBox* dbchkPWAgingEnabled;
    TRadioGroup* grpMaxAge;
    QLineEdit* meditMaxAge;
    TUpDown* spinMaxAge;
    TRadioGroup* grpMinAge;
    QLineEdit* meditMinAge;
    TUpDown* spinMinAge;
    TRadioGroup* grpMinLength;
    QLineEdit* meditMinLength;
    TUpDown* spinMinLength;
    TRadioGroup* grpUniqueness;
    QLineEdit* meditUniqueness;
    TUpDown* spinUniqueness;
    QRadioButton* rbtnAccountLocking;
    QRadioButton* rbtnNoLocking;
    QLabel* lblLocking1;
    QLabel* lblLocking2;
    QLineEdit* meditNumOfAttempts;
    TUpDown* spinAllowedAttempts;

    // The grey of disabled policy groups.
    static const QColor& greyText();
    static void setFontColor(QWidget* widget, const QColor& color);

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    QWidget* buildUserSheet();
    QWidget* buildAccountSheet();
    void connectHandlers();
    // Runs a handler for a control; database errors the handler lets through are
    // shown with the engine's text.
    void pageChanging(QWidget* leaving);
    void clearPolicyControls();
    // Shows the user's policy from the USERS and PWHIST rows.
    void loadPolicy(int userId);
    // Adds the user's missing PWHIST row, holding the user id alone.
    void addHistoryRow(int userId);
    void saveSelectedUser();
    // Shows the policy the user's rows hold, as a logon finds it.
    void showEffectivePolicy(const TAccountPolicy& policy, bool custom);
    // Reads it again from the user's USERS and PWHIST rows (after a save).
    void refreshEffectivePolicy(int userId);
    // Reads the selected user's USERACC rows into sqlUsrAcc.
    void openUserAccess(int userId);
    // Reads the user's PWHIST row into sqlPWHist.
    void openUserHistory(int userId);
    // Puts the user's history row (under the current filter) into edit or insert mode.
    void editUserHistory(int userId);
    // Stores a policy as the selected user's, marked custom or following the global one.
    void storeUserPolicy(const TAccountPolicy& policy, bool custom);
    // Runs the statements in one transaction: all or none. Throws EDatabaseError.
    void runInTransaction(const QStringList& statements);
    // As runInTransaction, with the event of the change in the same transaction.
    void runAudited(const QStringList& statements, const char* kind, int objectId, const QString& objectName);
    // Posts the record set's edit, with an event of the kind about the object when the
    // columns (all when none are named) changed.
    void postAudited(TQuery* set, const char* kind, int objectId, const QString& objectName,
                     const QStringList& columns = {});
    // Posts the PROGRAM row: its switches and labels, and the global account policy.
    void postProgram();
    void numericExit(QLineEdit* edit, TUpDown* spin);
    void showUserDialog(int userId, bool adding);
    void showGroupDialog();
    void fillAccessList();

    bool PrevEnabled = false;
    bool m_shown = false;
    bool m_destroyed = false;
    // The user whose grants the access lists hold; kNoUserHeld before any is read or
    // after the lists were emptied.
    static constexpr int kNoUserHeld = -2;
    int m_usrAccUser = kNoUserHeld;
    QWidget* m_currentPage = nullptr;
    // Builds the account policy pages and holds their enabling rules.
    std::unique_ptr<TPolicyPages> m_policyPages;
};

// The editor being shown, set by SecDesk's Setup and the component's Setup for as long
// as it is open, so tests and tools find it. Nothing in the program reads it: the
// editor hands its record sets to the group and user dialogs itself.
extern TFormCSMain* FormCSMain;
