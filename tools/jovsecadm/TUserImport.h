#pragma once
// import-users: users from a CSV file with the columns name, password, field 1,
// field 2, admin, groups, constants (groups and constants as lists separated by
// ";"). A first line that names the columns is skipped.
//
// Every row is checked first and listed as added, skipped (a user of that name
// exists) or refused (with the reason). Nothing is written until apply(), which
// writes every added row in one transaction: each user with the global account
// policy, a password history row and the grants, as the setup editor makes them.

#include <QString>
#include <QStringList>

#include <vector>

class TAdminContext;
class TAdminSession;

class TUserImport {
public:
    enum class Outcome { Added, Skipped, Refused };
    struct Row {
        int line = 0;
        QString name;
        Outcome outcome = Outcome::Refused;
        QString reason;
        QString password, field1, field2;
        int admin = 0;
        std::vector<int> groups;
        std::vector<int> constants;
    };
    static constexpr int Columns = 7;

    explicit TUserImport(TAdminSession& session) : m_session(session) { }

    // Reads and checks the file; throws TAdminError when it cannot be read.
    void check(const QString& path);
    // Writes the added rows in one transaction; throws EDatabaseError, having
    // written nothing.
    void apply();

    const std::vector<Row>& rows() const { return m_rows; }
    int count(Outcome outcome) const;

    static void command(TAdminContext& context);

private:
    TAdminSession& m_session;
    std::vector<Row> m_rows;
};
