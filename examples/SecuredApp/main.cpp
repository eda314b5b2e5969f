// An application secured by the component.
//
//   SecuredApp --alias MYAPP_SEC --password masterkey --options soAutoValidate,soShowUI
//
// --options takes option names or their bit values (1 soAutoValidate, 2
// soCaseSensitive, 4 soShowUI, 8 soNetwareSupport, 16 soWinNetSupport), separated by
// commas; without it the component's defaults apply.
#include "TFormSecuredMain.h"

#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

namespace {
bool parseOptions(const QString& text, TSecurityOptions& options)
{
    static const struct {
        const char* name;
        TSecurityOption option;
    } names[] = {{"soAutoValidate", soAutoValidate},
                 {"soCaseSensitive", soCaseSensitive},
                 {"soShowUI", soShowUI},
                 {"soNetwareSupport", soNetwareSupport},
                 {"soWinNetSupport", soWinNetSupport}};
    options = {};
    for (const QString& raw : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString item = raw.trimmed();
        bool isNumber = false;
        const int bits = item.toInt(&isNumber);
        if (isNumber && bits >= 0 && bits <= 0x1f) {
            options |= TSecurityOptions::fromInt(quint8(bits));
            continue;
        }
        bool known = false;
        for (const auto& n : names) {
            if (item.compare(QLatin1String(n.name), Qt::CaseInsensitive) == 0) {
                options |= n.option;
                known = true;
            }
        }
        if (!known)
            return false;
    }
    return true;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("SecuredApp"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("An application secured by TJovCSsecure."));
    parser.addHelpOption();
    const QCommandLineOption alias(QStringLiteral("alias"), QStringLiteral("Alias of the security database."),
                                   QStringLiteral("name"));
    const QCommandLineOption password(QStringLiteral("password"), QStringLiteral("Password of the database account."),
                                      QStringLiteral("password"));
    const QCommandLineOption options(QStringLiteral("options"),
                                     QStringLiteral("Option names or bits, comma separated."), QStringLiteral("list"));
    parser.addOptions({alias, password, options});
    parser.process(app);

    TSecurityOptions chosen = TSecurityOptions(soAutoValidate) | soShowUI;
    if (parser.isSet(options) && !parseOptions(parser.value(options), chosen)) {
        std::fprintf(stderr, "unknown option in --options: %s\n", qPrintable(parser.value(options)));
        return 2;
    }

    TFormSecuredMain window(parser.value(alias), parser.value(password), chosen);
    // Security may have asked the application to end (disabled, failed logon).
    if (TJovCSsecure::TerminationRequested())
        return 1;
    window.show();
    return app.exec();
}
