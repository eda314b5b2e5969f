#pragma once
// Failures of the engine layer carry the engine's own text; callers catch them and
// show their own messages.

#include <QString>
#include <stdexcept>

class EDatabaseError : public std::runtime_error {
public:
    // Why the work failed, as far as the layer could tell: a passing trouble that
    // running the work again may cure (a concurrent writer held the row, or the
    // connection broke and has been reopened), a row that stayed locked longer than
    // the connection waits, a log-in the user cancelled, the local engine that cannot
    // be used (its private folder was refused, or it did not let the program in within
    // the start-up limit; the message says why and what to do), or anything else.
    enum class Reason { Unknown, Engine, Conflict, Broken, LockTimeout, Cancelled, Unavailable };

    explicit EDatabaseError(const QString& message, Reason reason = Reason::Unknown)
        : std::runtime_error(message.toStdString()), m_message(message), m_reason(reason)
    { }
    const QString& message() const { return m_message; }
    Reason reason() const { return m_reason; }
    void setReason(Reason reason) { m_reason = reason; }

private:
    QString m_message;
    Reason m_reason;
};
