#include "TAdminContext.h"

#include "TAdminError.h"
#include "TAdminSession.h"

#include <QDate>

#include <cstdio>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {
// A password is at most 15 characters; a longer line is read only far enough to refuse it.
constexpr std::size_t kMostPasswordBytes = 1024;

// One line of standard input without its line break.
QString readLine()
{
    std::string line;
    for (int ch = std::getchar(); ch != EOF && ch != '\n'; ch = std::getchar())
        if (line.size() < kMostPasswordBytes)
            line += char(ch);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromStdString(line);
}

// Asks on the terminal with the echo off (before the question shows, so no answer is
// echoed or thrown away), and puts the echo back.
QString askWithoutEcho(const char* prompt)
{
    termios saved {};
    const bool hasTerminal = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (hasTerminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::fputs(prompt, stderr);
    std::fflush(stderr);
    const QString typed = readLine();
    if (hasTerminal)
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    std::fputs("\n", stderr);
    return typed;
}
} // namespace

TAdminContext::TAdminContext(const QCommandLineParser& parser, QStringList args, TAdminOutput& out)
    : m_parser(parser), m_args(std::move(args)), m_out(out)
{ }

TAdminContext::~TAdminContext() = default;

QDate TAdminContext::date(const QString& option) const
{
    const QString text = m_parser.value(option);
    const QDate d = QDate::fromString(text, Qt::ISODate);
    if (!d.isValid())
        throw TAdminError::usage(QStringLiteral("--%1 takes a date written yyyy-mm-dd, not \"%2\".").arg(option, text));
    return d;
}

bool TAdminContext::yesNo(const QString& option) const
{
    const QString text = m_parser.value(option).trimmed().toLower();
    if (text == QLatin1String("yes") || text == QLatin1String("1") || text == QLatin1String("on"))
        return true;
    if (text == QLatin1String("no") || text == QLatin1String("0") || text == QLatin1String("off"))
        return false;
    throw TAdminError::usage(QStringLiteral("--%1 takes yes or no, not \"%2\".").arg(option, m_parser.value(option)));
}

TAdminSession& TAdminContext::session()
{
    if (!m_session) {
        QString alias = m_parser.value(QStringLiteral("alias"));
        if (alias.isEmpty())
            alias = qEnvironmentVariable("JOVSEC_ALIAS");
        if (alias.isEmpty())
            throw TAdminError::usage(QStringLiteral("Give the security database's alias with --alias."));
        QString password = m_parser.value(QStringLiteral("db-password"));
        if (password.isEmpty())
            password = qEnvironmentVariable("JOVSEC_PASSWORD");
        m_session = std::make_unique<TAdminSession>(alias, password);
    }
    return *m_session;
}

bool TAdminContext::userPasswordGiven() const
{
    return m_parser.isSet(QStringLiteral("password")) || m_parser.isSet(QStringLiteral("password-stdin"));
}

QString TAdminContext::userPassword() const
{
    const bool fromStdin = m_parser.isSet(QStringLiteral("password-stdin"));
    if (!fromStdin)
        return m_parser.value(QStringLiteral("password"));
    if (m_parser.isSet(QStringLiteral("password")))
        throw TAdminError::usage(QStringLiteral("Give the password with --password or --password-stdin, not both."));
    if (!isatty(STDIN_FILENO))
        return readLine();
    const QString typed = askWithoutEcho("Password: ");
    if (askWithoutEcho("Retype the password: ") != typed)
        throw TAdminError::refused(QStringLiteral("The passwords typed differ; nothing was changed."));
    return typed;
}
