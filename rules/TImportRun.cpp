#include "rules/TImportRun.h"

#include "database/EDatabaseError.h"
#include "database/TDbfTable.h"
#include "database/TQuery.h"
#include "database/TTable.h"
#include "database/TAuditTrail.h"
#include "database/TDatabase.h"
#include "rules/TAccountPolicy.h"
#include "rules/TSecurityRules.h"

#include <QFileInfo>
#include <QHash>

#include <vector>

namespace {
const QString kConstantsFile = QStringLiteral("PRVSEC2.DBF");
const QString kUsersFile = QStringLiteral("PRVSEC1.DBF");
const QString kRightsFile = QStringLiteral("PRVSEC3.DBF");
const QString kSystemFile = QStringLiteral("PRVSEC4.DBF");
// PROGRAM.Security_Label's width.
constexpr int kSecurityLabelLength = 48;

using Kind = TImportLine::Kind;

// A row's id in the previous version and the id the new database gave it.
struct MapObj {
    qint64 OldID;
    int NewID;
};

// Each old id's first pair, so that a right finds its pair in one step.
QHash<qint64, const MapObj*> firstByOldId(const std::vector<MapObj>& map)
{
    QHash<qint64, const MapObj*> index;
    index.reserve(qsizetype(map.size()));
    for (const MapObj& pair : map)
        if (!index.contains(pair.OldID))
            index.insert(pair.OldID, &pair);
    return index;
}

// Thrown to end the work so that its transaction is rolled back: a dry run, or
// records that were refused.
struct TakeBack { };
} // namespace

// One run of the four stages inside the transaction.
class TImportRun::Stages {
public:
    explicit Stages(TImportRun& run) : m_run(run) { tblInSec.setDatabaseName(run.m_directory); }

    ~Stages()
    {
        if (tblOutSec.active() && tblOutSec.state() != TQuery::State::Browse)
            tblOutSec.cancel();
        closeTables();
    }

    void convertAccessConstants();
    void convertUsers();
    void convertUserAccessRights();
    void convertSystemInformation();
    void writeHistoryRows();

private:
    void report(Kind kind, const QString& status, const QString& detail = QString())
    {
        ++m_run.m_counts[int(kind)];
        if (m_run.onLine)
            m_run.onLine(TImportLine {kind, status, detail});
    }
    void heading(const QString& text) { report(Kind::Heading, text); }
    QString where(int record) const
    {
        return QStringLiteral("%1, record %2").arg(QFileInfo(tblInSec.filePath()).fileName()).arg(record);
    }
    QString where() const { return where(tblInSec.recNo()); }

    // Opens an input table and binds the output table to the database.
    void startStage(const QString& line, const QString& fileName, const QString& tableName)
    {
        heading(line);
        tblInSec.setTableName(fileName);
        try {
            tblInSec.open();
        } catch (EDatabaseError& error) {
            throw fileError(error);
        }
        tblInSec.first();
        tblOutSec.setDatabaseName(m_run.m_databaseName);
        tblOutSec.setTableName(tableName);
        tblOutSec.open();
        m_reported = 0;
        m_done = 0;
        m_total = tblInSec.recordCount();
        if (m_run.onProgress)
            m_run.onProgress(fileName, 0, m_total);
    }
    void closeTables()
    {
        tblInSec.close();
        tblOutSec.close();
    }
    // The records marked deleted before this one (or, with none, to the end of the file).
    void skipDeleted(int upTo)
    {
        for (int record = m_reported + 1; record < upTo; ++record)
            report(Kind::Skipped, QString(), where(record) + QStringLiteral(": marked deleted"));
        m_reported = std::max(m_reported, upTo);
    }
    void skipDeletedToTheEnd() { skipDeleted(tblInSec.recordsInFile() + 1); }
    void rowDone()
    {
        ++m_done;
        if (m_run.onProgress)
            m_run.onProgress(tblInSec.tableName(), m_done, m_total);
    }
    // A record the import cannot take: ends the import, or is reported and counted.
    void refuse(EDatabaseError& error)
    {
        if (m_run.stopAtRefusal)
            throw fileError(error);
        report(Kind::Refused, QString(),
               where() + QStringLiteral(": ") + error.message().section(QLatin1Char('\n'), 0, 0));
    }

    // A failure of the files, not of the database: the transaction must not take it for
    // a conflict and run again because the text (a file name, a stored value) reads
    // like one.
    static EDatabaseError& fileError(EDatabaseError& error)
    {
        if (error.reason() == EDatabaseError::Reason::Unknown)
            error.setReason(EDatabaseError::Reason::Engine);
        return error;
    }

    QString inputText(const QString& fieldName) const
    {
        return tblInSec.toText(TImportRun::DescrambleField(tblInSec.fieldBytes(fieldName)));
    }
    // The text of an input field for a column of at most `limit` characters.
    QString inputText(const QString& fieldName, int limit, const QString& column) const
    {
        const QString text = inputText(fieldName);
        if (text.toUcs4().size() > limit)
            throw EDatabaseError(QStringLiteral("The value \"%1\" is longer than the %2 characters of %3.\n%4")
                                     .arg(text)
                                     .arg(limit)
                                     .arg(column, tblInSec.position(fieldName)));
        return text;
    }
    // Appends a row to the output table with its name column and maps the old id to
    // the key the database gave it.
    MapObj postMapped(qint64 oldId, const QString& idColumn, const QString& nameColumn,
                      const std::function<void()>& setColumns)
    {
        tblOutSec.append();
        setColumns();
        tblOutSec.post();
        const MapObj pair {oldId, tblOutSec.fieldByName(idColumn)->asInteger()};
        const QString line = tblOutSec.fieldByName(nameColumn)->asString() + QStringLiteral(" mapped from ") +
                             QString::number(pair.OldID) + QStringLiteral(" to ") + QString::number(pair.NewID);
        report(Kind::Added, line, where());
        return pair;
    }

    TImportRun& m_run;
    TDbfTable tblInSec;
    TTable tblOutSec;
    std::vector<MapObj> m_accessMap;
    std::vector<MapObj> m_userMap;
    int m_reported = 0; // the input records reported so far
    int m_done = 0;
    int m_total = 0;
};

void TImportRun::Stages::convertAccessConstants()
{
    startStage(QStringLiteral("** Converting Access Constants **"), kConstantsFile, QStringLiteral("Access"));
    for (; !tblInSec.eof(); tblInSec.next()) {
        skipDeleted(tblInSec.recNo());
        QString name;
        qint64 oldId = 0;
        try {
            name = inputText(QStringLiteral("Label"), TSecurityRules::AccessNameLength, QStringLiteral("Access_Name"));
            oldId = tblInSec.fieldAsInteger(QStringLiteral("AccessId"));
        } catch (EDatabaseError& error) {
            refuse(error);
            rowDone();
            continue;
        }
        m_accessMap.push_back(postMapped(oldId, QStringLiteral("Access_Id"), QStringLiteral("Access_Name"), [&] {
            tblOutSec.fieldByName(QStringLiteral("Access_Name"))->setAsString(name);
        }));
        rowDone();
    }
    skipDeletedToTheEnd();
    closeTables();
    heading(QString());
}

void TImportRun::Stages::convertUsers()
{
    startStage(QStringLiteral("** Converting Users **"), kUsersFile, QStringLiteral("Users"));
    for (; !tblInSec.eof(); tblInSec.next()) {
        skipDeleted(tblInSec.recNo());
        QString name;
        QString password;
        qint64 oldId = 0;
        try {
            name = inputText(QStringLiteral("Login"), TSecurityRules::UserNameLength, QStringLiteral("User_Name"));
            // Nobody could log on as a user without a name.
            if (name.isEmpty())
                throw EDatabaseError(QStringLiteral("The user name is empty.\n") +
                                     tblInSec.position(QStringLiteral("Login")));
            password =
                inputText(QStringLiteral("Password"), TSecurityRules::PasswordLength, QStringLiteral("User_Password"));
            oldId = tblInSec.fieldAsInteger(QStringLiteral("UID"));
        } catch (EDatabaseError& error) {
            refuse(error);
            rowDone();
            continue;
        }
        m_userMap.push_back(postMapped(oldId, QStringLiteral("User_Id"), QStringLiteral("User_Name"), [&] {
            tblOutSec.fieldByName(QStringLiteral("User_Name"))->setAsString(name);
            tblOutSec.fieldByName(QStringLiteral("User_Password"))->setAsString(password);
        }));
        rowDone();
    }
    skipDeletedToTheEnd();
    closeTables();
    heading(QString());
}

void TImportRun::Stages::convertUserAccessRights()
{
    startStage(QStringLiteral("** Converting User Access Rights **"), kRightsFile, QStringLiteral("UserAcc"));
    const QHash<qint64, const MapObj*> users = firstByOldId(m_userMap);
    const QHash<qint64, const MapObj*> constants = firstByOldId(m_accessMap);
    for (; !tblInSec.eof(); tblInSec.next()) {
        skipDeleted(tblInSec.recNo());
        qint64 userId = 0;
        qint64 accessId = 0;
        try {
            userId = tblInSec.fieldAsInteger(QStringLiteral("UID"));
            accessId = tblInSec.fieldAsInteger(QStringLiteral("ACCESSID"));
        } catch (EDatabaseError& error) {
            refuse(error);
            rowDone();
            continue;
        }
        const MapObj* user = users.value(userId);
        const MapObj* access = constants.value(accessId);
        // A right whose user or constant did not come across is left out.
        if (!user) {
            report(Kind::Skipped, QString(),
                   where() + QStringLiteral(": no user with the old id %1 was imported").arg(userId));
        } else if (!access) {
            report(Kind::Skipped, QString(),
                   where() + QStringLiteral(": no access constant with the old id %1 was imported").arg(accessId));
        } else {
            tblOutSec.append();
            tblOutSec.fieldByName(QStringLiteral("User_Id"))->setAsInteger(user->NewID);
            tblOutSec.fieldByName(QStringLiteral("Access_Id"))->setAsInteger(access->NewID);
            tblOutSec.fieldByName(QStringLiteral("Type"))->setAsString(QStringLiteral("C"));
            tblOutSec.post();
            report(Kind::Added,
                   QStringLiteral("Id ") + QString::number(access->NewID) + QStringLiteral(" added for user ") +
                       QString::number(user->NewID),
                   where());
        }
        rowDone();
    }
    skipDeletedToTheEnd();
    closeTables();
    m_userMap.clear();
    m_accessMap.clear();
}

void TImportRun::Stages::convertSystemInformation()
{
    heading(QString());
    startStage(QStringLiteral("** Converting System Information **"), kSystemFile, QStringLiteral("Program"));
    if (!tblInSec.eof()) {
        skipDeleted(tblInSec.recNo());
        QString label;
        bool logging = false;
        bool read = true;
        try {
            label = inputText(QStringLiteral("Descript"), kSecurityLabelLength, QStringLiteral("Security_Label"));
            logging = tblInSec.fieldAsBoolean(QStringLiteral("LoginLog"));
        } catch (EDatabaseError& error) {
            refuse(error);
            read = false;
        }
        if (read) {
            tblOutSec.first();
            if (tblOutSec.isEmpty())
                tblOutSec.append();
            else
                tblOutSec.edit();
            tblOutSec.fieldByName(QStringLiteral("Security_Label"))->setAsString(label);
            tblOutSec.fieldByName(QStringLiteral("LogEnabled"))->setAsInteger(logging ? 1 : 0);
            tblOutSec.post();
            report(Kind::Added, QString(),
                   where() + QStringLiteral(": program description \"%1\", logging %2")
                                 .arg(label, logging ? QStringLiteral("on") : QStringLiteral("off")));
        }
        rowDone();
        // Only the first record holds the system information.
        for (tblInSec.next(); !tblInSec.eof(); tblInSec.next()) {
            skipDeleted(tblInSec.recNo());
            report(Kind::Skipped, QString(), where() + QStringLiteral(": only the first record is read"));
        }
    }
    skipDeletedToTheEnd();
    closeTables();
}

void TImportRun::Stages::writeHistoryRows()
{
    // As for a user added in the editor: set today, with the global policy's limits.
    TQuery program;
    program.setDatabaseName(m_run.m_databaseName);
    program.setSQL(QStringLiteral("select * from PROGRAM"));
    program.open();
    program.first();
    const TAccountPolicy policy =
        program.isEmpty() ? TAccountPolicy::ofNewProgram() : TAccountPolicy::ofProgram(program);
    program.close();
    TQuery statement;
    statement.setDatabaseName(m_run.m_databaseName);
    TSecurityRules::addMissingHistoryRows(statement, policy);
}

TImportRun::TImportRun(const QString& databaseName, const QString& directory)
    : m_databaseName(databaseName), m_directory(directory)
{ }

int TImportRun::count(TImportLine::Kind kind) const { return m_counts[int(kind)]; }

void TImportRun::execute(Mode mode)
{
    m_written = false;
    int attempt = 0;
    try {
        TDatabase& connection = *TDatabase::connectionFor(m_databaseName);
        TAuditTrail::run(connection, [&] {
            if (++attempt > 1 && onRestart)
                onRestart();
            std::fill(std::begin(m_counts), std::end(m_counts), 0);
            Stages stages(*this);
            stages.convertAccessConstants();
            stages.convertUsers();
            stages.convertUserAccessRights();
            if (systemInformation)
                stages.convertSystemInformation();
            if (mode == Mode::DryRun || count(Kind::Refused) > 0)
                throw TakeBack();
            stages.writeHistoryRows();
            TAuditEvent event = TAuditTrail::event(QLatin1String(TAuditKind::Imported), QStringLiteral("SUPERVISOR"));
            event.objectName = m_directory;
            event.details = QStringLiteral("Records added: %1\nRecords skipped: %2\n")
                                .arg(count(Kind::Added))
                                .arg(count(Kind::Skipped));
            TAuditTrail::append(connection, event);
        });
    } catch (const TakeBack&) {
        return;
    }
    m_written = true;
}

QByteArray TImportRun::DescrambleField(const QByteArray& stored)
{
    qsizetype end = stored.size();
    while (end > 0 && stored.at(end - 1) == ' ')
        --end;
    QByteArray text;
    text.reserve(end);
    for (qsizetype i = 0; i < end; ++i) {
        const auto byte = static_cast<unsigned char>(stored.at(i));
        const auto character = static_cast<unsigned char>(128 - byte);
        if (byte == 0 || character == 0)
            break;
        text.append(static_cast<char>(character));
    }
    return text;
}

bool TImportRun::securityFilesPresent(const QString& directory)
{
    TDbfTable table;
    table.setDatabaseName(directory);
    for (const QString& name : {kUsersFile, kConstantsFile, kRightsFile, kSystemFile}) {
        table.setTableName(name);
        if (!QFileInfo(table.filePath()).isFile())
            return false;
    }
    return true;
}

bool TImportRun::holdsUsersOrConstants(const QString& databaseName)
{
    TQuery count;
    count.setDatabaseName(databaseName);
    count.setSQL(
        QStringLiteral("select (select count(*) from USERS) + (select count(*) from ACCESS) from RDB$DATABASE"));
    count.open();
    const bool holdsRows = count.field(0)->asInteger() > 0;
    count.close();
    return holdsRows;
}
