#pragma once
// TImportRun: the import of the previous version's data (unit Impunt), without a
// window, for the import dialog and jovsecadm import alike. The previous version kept
// its data in four dBASE tables in one folder: PRVSEC2.DBF constants, PRVSEC1.DBF
// users, PRVSEC3.DBF rights, PRVSEC4.DBF system information; their text columns are
// scrambled.
//
// Four stages copy them into the security database: the access constants and the
// users get new ids, through which the rights find their user and constant; on request
// the system information edits the first PROGRAM row (or adds one). Every imported user
// gets a password history row set on the day of the import, with the limits a new user
// gets. All of it is one transaction: a failure takes back every row of every stage.
// The table files are opened for reading only and stay as they were.
//
// Every input record is reported as it is done: added, skipped (marked deleted, a
// right whose user or constant did not come across, a system record after the first)
// or refused (a value its column cannot hold, an empty user name, a number that is no
// number). A refused record fails the import; with stopAtRefusal off the import goes on
// to report every refused record, then writes nothing. A dry run does every stage and
// rolls the transaction back.
//
//     TImportRun run(alias, folder);
//     run.onLine = [](const TImportLine& line) { show(line); };
//     run.execute(TImportRun::Mode::Apply);   // throws EDatabaseError, having written nothing

#include <QByteArray>
#include <QString>

#include <functional>

struct TImportLine {
    enum class Kind { Heading, Added, Skipped, Refused };
    Kind kind = Kind::Heading;
    // The status line the import dialog shows: a stage's heading, the empty line after
    // a stage, "Ann mapped from 7 to 2". Empty for a record the dialog gives no line.
    QString status;
    // Where the record is ("PRVSEC3.DBF, record 4") and, unless added, why:
    // "PRVSEC3.DBF, record 4: no user with the old id 5 was imported".
    QString detail;
};

class TImportRun {
public:
    enum class Mode { DryRun, Apply };

    // databaseName: the security database's alias (or open connection's name);
    // directory: the folder of the previous version's files.
    TImportRun(const QString& databaseName, const QString& directory);

    // Also imports the program description and logging switch (PRVSEC4.DBF).
    bool systemInformation = false;
    // A refused record ends the import at once (the dialog); off, every refused record
    // is reported before the import ends having written nothing.
    bool stopAtRefusal = true;
    // Called for every heading and every input record, as the import goes.
    std::function<void(const TImportLine&)> onLine;
    // Called as a stage starts (done 0) and after each of its records.
    std::function<void(const QString& fileName, int done, int total)> onProgress;
    // Called when the transaction runs again from its start (a concurrent writer, a
    // connection that broke): what was reported so far is void.
    std::function<void()> onRestart;

    // Runs the import. Throws EDatabaseError with the engine's text or the first
    // refused record's reason (file, record and field), having written nothing.
    // Without stopAtRefusal, refused records make it return having written nothing.
    void execute(Mode mode);

    int count(TImportLine::Kind kind) const;
    // Whether the rows were committed.
    bool written() const { return m_written; }

    // The previous version stored each character c as the byte (128 - c) mod 256.
    // Recovers the bytes of a stored text column: up to the first byte that stands for
    // character 0 (or a zero byte); the blanks that pad the column are not text.
    static QByteArray DescrambleField(const QByteArray& stored);
    // Whether the four files of the previous version are in the folder.
    static bool securityFilesPresent(const QString& directory);
    // Whether the database already holds users or access constants: the import adds
    // rows and compares none, so a second run would add every one again.
    static bool holdsUsersOrConstants(const QString& databaseName);

private:
    class Stages;

    QString m_databaseName;
    QString m_directory;
    int m_counts[4] = {0, 0, 0, 0};
    bool m_written = false;
};
