#pragma once
// What a command gets to work with: its arguments and options, the output, and the
// security database named by --alias (opened when first asked for).

#include <QCommandLineParser>
#include <QStringList>

#include <memory>

class TAdminOutput;
class TAdminSession;

class TAdminContext {
public:
    TAdminContext(const QCommandLineParser& parser, QStringList args, TAdminOutput& out);
    ~TAdminContext();

    const QStringList& args() const { return m_args; }
    QString arg(int index) const { return m_args.value(index); }
    bool isSet(const QString& option) const { return m_parser.isSet(option); }
    QString value(const QString& option) const { return m_parser.value(option); }
    QStringList values(const QString& option) const { return m_parser.values(option); }
    // An option's value as a date (yyyy-MM-dd); throws TAdminError (usage).
    QDate date(const QString& option) const;
    // An option's value as yes/no; throws TAdminError (usage).
    bool yesNo(const QString& option) const;

    // The user's password: --password, or with --password-stdin the first line of
    // standard input, typed at a prompt without echo (and typed twice) when standard
    // input is a terminal. Empty when neither is given; throws TAdminError.
    QString userPassword() const;
    bool userPasswordGiven() const;

    TAdminOutput& out() { return m_out; }
    // Throws TAdminError when the database cannot be opened.
    TAdminSession& session();

private:
    const QCommandLineParser& m_parser;
    QStringList m_args;
    TAdminOutput& m_out;
    std::unique_ptr<TAdminSession> m_session;
};
