#pragma once
// A command that cannot be done: refused (exit status 1) or bad usage (2). The
// message is written to standard error as it is.

#include <QString>

#include <stdexcept>

class TAdminError : public std::runtime_error {
public:
    enum Status { Refused = 1, Usage = 2 };

    TAdminError(Status status, const QString& message)
        : std::runtime_error(message.toStdString()), m_status(status), m_message(message)
    { }
    static TAdminError refused(const QString& message) { return TAdminError(Refused, message); }
    static TAdminError usage(const QString& message) { return TAdminError(Usage, message); }

    Status status() const { return m_status; }
    const QString& message() const { return m_message; }

private:
    Status m_status;
    QString m_message;
};
