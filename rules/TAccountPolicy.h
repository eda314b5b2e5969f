#pragma once
// TAccountPolicy: one account policy as the setup editor, the user's policy page,
// the global policy dialog and the administration tool pass it around. The same
// eight values are stored in two places: in the GLB_ columns of the PROGRAM row (the
// global policy), and for each user in the USERS row (aging, history, locking,
// attempts) and the PWHIST row (the day, length and count limits).

#include <QString>

#include <optional>

class TQuery;

struct TAccountPolicy {
    // PWMINDAYS of a password that may never be changed ("Never Allow Change").
    static constexpr int kNeverAllowChange = 99999;

    int aging = 0; // 1: password aging enabled
    int maxDays = 0; // 0: never expires; n: expires after n days
    int minDays = 0; // 0: immediate change; kNeverAllowChange; n: after n days
    int minSize = 0; // 0: blank allowed; n: at least n characters
    int keepHistory = 0; // 1: remember `count` passwords
    // Passwords remembered. Always set when read from a row; a form sets it only
    // while "Remember" is chosen, and a policy without it leaves the stored count.
    std::optional<int> count;
    int acctLocking = 0; // 1: lock after `allowedAttempts` incorrect logins
    int allowedAttempts = 0;

    bool expires() const { return maxDays > 0; }
    bool hasMinLength() const { return minSize > 0; }
    // The minimum age a user's password history row holds: a policy without aging
    // holds a password back for no days, whatever its greyed minimum-age box shows.
    int minDaysInEffect() const { return aging == 1 ? minDays : 0; }

    bool operator==(const TAccountPolicy&) const = default;

    // The policy in one line of words, for reading rather than editing: "aging off,
    // at least 5 characters, no password history, locks after 3 incorrect logins".
    QString describe() const;

    // The global policy in the current PROGRAM row (a column without a value reads
    // as 0).
    static TAccountPolicy ofProgram(const TQuery& program);
    // The global policy of a PROGRAM row made with the columns' defaults.
    static TAccountPolicy ofNewProgram()
    {
        TAccountPolicy p;
        p.maxDays = 21;
        p.minDays = 1;
        p.minSize = 5;
        p.count = 5;
        p.allowedAttempts = 3;
        return p;
    }
    // A user's policy in the current USERS and PWHIST rows.
    static TAccountPolicy ofUser(const TQuery& users, const TQuery& history);
    // The half of a user's policy in each row.
    void readUserRow(const TQuery& users);
    void readHistoryRow(const TQuery& history);

    // Write into the current row, which is in edit or insert mode; the count only
    // when it is set.
    void storeInProgram(TQuery& program) const;
    void storeInUser(TQuery& users) const;
    void storeInHistory(TQuery& history) const;
};
