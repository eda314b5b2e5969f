#pragma once
// The rules of the setup editor that do not need its window: the column limits and
// messages for users, groups and constants, the statements that delete a user, a
// group or a constant with everything that refers to them, the user insert, the
// password history row every new user gets from the global policy, and the filter
// that finds one grant. The setup editor and the command-line administration tool
// both use them, so a row made by either is the same row.

#include "rules/TAccountPolicy.h"

#include <QString>
#include <QStringList>

class TQuery;

class TSecurityRules {
public:
    // Column widths of the schema.
    static constexpr int UserNameLength = 48;
    static constexpr int PasswordLength = 15;
    static constexpr int UserFieldLength = 30;
    static constexpr int AccessNameLength = 20;
    static constexpr int GroupNameLength = 20;

    // The editor's messages.
    static QString accessLabelTooLong() { return QStringLiteral("Access Label Can Not Be Longer Than 20 Characters."); }
    static QString duplicateConstantAdd() { return QStringLiteral("Duplicate Access Constant, Add Failed"); }
    static QString duplicateConstantChange() { return QStringLiteral("Duplicate Access Constant, Change Failed"); }
    static QString missingGroupName() { return QStringLiteral("Missing Group Name"); }
    static QString nameRequired() { return QStringLiteral("Name field is Required."); }
    static QString passwordRequired() { return QStringLiteral("Password field is Required."); }
    static QString unableToSaveUser() { return QStringLiteral("Unable to save current user."); }
    static QString unableToUpdateUser() { return QStringLiteral("Unable to update current user."); }
    static QString errorDeletingUser(const QString& name) { return QStringLiteral("Error Deleting User: ") + name; }

    // The statements that remove a user, a group or a constant and every row that
    // refers to it, in the order the foreign keys need. Run them in one transaction.
    static QStringList deleteUserStatements(int userId);
    static QStringList deleteGroupStatements(int groupId);
    // A "G" grant names a group, even when the group's id equals the constant's.
    static QStringList deleteConstantStatements(int accessId);

    // Who holds an access constant or a group: the users it is granted to (directly),
    // and for a constant the groups that include it. One COUNT each, on the
    // database named; throws EDatabaseError.
    struct Holders {
        int users = 0;
        int groups = 0;
    };
    static Holders constantHolders(const QString& databaseName, int accessId);
    static Holders groupHolders(const QString& databaseName, int groupId);
    // "Confirm deletion of " + name, and when anybody holds it, how many do, as the
    // question before a constant (or a group) goes with every grant of it.
    static QString confirmDeletion(const QString& name, const Holders& holders, bool group);

    // The user dialog's insert statement, one line per item; its parameters are
    // User_Name, User_Password, User_Def1, User_Def2, User_LastAccess,
    // User_AccessCount, User_Enabled, User_Admin, LOCKED, PWMustChange,
    // PWNeverExpires and PWNoChange.
    static QStringList insertUserStatement();
    // Gives every user without a password history row one, set today, with the
    // global limits. Runs on the statement's database; throws EDatabaseError.
    static void addMissingHistoryRows(TQuery& statement, const TAccountPolicy& policy);
    // Copies the global policy into one user's USERS and PWHIST rows and marks the
    // user as following it. Throws EDatabaseError.
    static void applyGlobalPolicy(TQuery& statement, int userId, const TAccountPolicy& policy);
    // Its two statements, with the parameters PWAGING, PWKEEPHIST, ACCTLOCKING,
    // ALLOWEDATTEMPTS, UserID and PWMAXDAYS, PWMINDAYS, PWCOUNT, PWMINSIZE, UserID.
    static QString globalPolicyUserStatement();
    static QString globalPolicyHistoryStatement();

    // The record-set filter that finds one grant: type "C" a constant, "G" a group.
    static QString grantFilter(int userId, int accessId, const QString& type);

    // Runs the statements one after another in one transaction on the statement's
    // database: all or none. Throws EDatabaseError. Inside a transaction the caller
    // has started, they simply run in it.
    static void runInTransaction(TQuery& statement, const QStringList& statements);
};
