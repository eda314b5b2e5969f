#pragma once
// A statement prepared once on a connection and run again in later transactions,
// straight through the Firebird client library.
//
// Qt's driver ties each prepared statement to the transaction it was prepared in, so a
// statement that runs once a transaction (the audit trail's, for every logon refused)
// would be prepared, at a cost of several times its run, every time. The engine itself
// lets a prepared statement run in any transaction of its attachment: the connection
// (TDatabase::runPrepared) keeps statements of this kind until it closes and runs them
// in a transaction of its own.
//
// For statements that change rows and answer with one row at most (RETURNING), and
// selects of one row at most.
// Values: null, integers, text (UTF-8) and date-times.

#include <QString>
#include <QVariant>
#include <QVariantList>

#include <memory>

class TPreparedStatement {
public:
    // Nothing is prepared until the first run.
    TPreparedStatement(unsigned int attachment, const QString& sql);
    ~TPreparedStatement();
    TPreparedStatement(const TPreparedStatement&) = delete;
    TPreparedStatement& operator=(const TPreparedStatement&) = delete;

    // Runs the statement in the transaction with the values for its "?" in order;
    // returns the row it answers with (empty when it answers with none). Throws
    // EDatabaseError with the engine's text.
    QVariantList run(unsigned int& transaction, const QVariantList& values);

private:
    void prepare(unsigned int& transaction);

    struct Buffers;
    unsigned int m_attachment;
    unsigned int m_statement = 0;
    QByteArray m_sql;
    std::unique_ptr<Buffers> m_buffers;
};
