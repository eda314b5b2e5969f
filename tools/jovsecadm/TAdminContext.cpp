#include "TAdminContext.h"

#include "TAdminError.h"
#include "TAdminSession.h"

#include <QDate>

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
