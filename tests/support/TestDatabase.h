#pragma once
// A real security database for one test: a fresh Firebird file in a temporary
// folder, a private alias file, the system's own build statements.

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class TestDatabase {
public:
    // Creates the file and registers the alias; with build, runs the build statements.
    explicit TestDatabase(bool build = true, const QString& alias = QStringLiteral("JOVSEC_TEST"));
    ~TestDatabase();

    QString alias() const { return m_alias; }
    QString path() const { return m_path; }
    QString dir() const { return m_dir.path(); }

    // Runs one statement on a connection of its own; throws EDatabaseError.
    void exec(const QString& sql) const;
    // The first column of the first row of a query, as text (empty when no row).
    QString scalar(const QString& sql) const;
    // Every row of a query, its columns as trimmed text joined by "|".
    QStringList rows(const QString& sql) const;
    int count(const QString& table) const { return scalar("select count(*) from " + table).toInt(); }

    // Adds a user with a PWHIST row; returns the id the database gave.
    int addUser(const QString& name, const QString& password, const QString& extraColumns = {},
                const QString& extraValues = {}) const;
    // The PROGRAM row with the given switches.
    void addProgram(int enabled = 1, int logEnabled = 1) const;

private:
    QTemporaryDir m_dir;
    QString m_alias;
    QString m_path;
};

// Points JOVSEC_CONFIG at a private alias file for the whole test program.
void useTestConfig();

// Rows another program has changed in a transaction it has not ended (a program stopped
// half-way through its write): they stay locked until release() or the end of scope.
class HeldRows {
public:
    // Throws std::runtime_error when the rows cannot be taken.
    HeldRows(const TestDatabase& db, const QString& update);
    ~HeldRows();
    HeldRows(const HeldRows&) = delete;
    HeldRows& operator=(const HeldRows&) = delete;
    void release();

private:
    QString m_name;
    QSqlDatabase m_connection;
};
