#include "database/TDatabase.h"
#include "database/TFirebirdEnv.h"
#include "desktop/TFormAdmin.h"
#include "platform/MessageBox.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    TFirebirdEnv::prepare();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("SecDesk"));
    QApplication::setOrganizationName(QStringLiteral("JovSec"));
    TDatabase::setLoginPromptHandler(&Platform::loginPrompt);

    // --import DIR: the import of the previous version's files in DIR, on the database
    // opened first. The menu does not offer the import.
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("C/S Security Administration Desktop.\n\n"
                       "SecDesk --import DIR imports the previous version's files PRVSEC1.DBF to PRVSEC4.DBF; "
                       "scripts use jovsecadm import DIR [--apply], which without --apply lists what would be "
                       "added, skipped or refused and writes nothing. Help > Contents, \"Importing from the "
                       "previous version\", says more."));
    parser.addHelpOption();
    const QCommandLineOption import(QStringLiteral("import"),
                                    QStringLiteral("Import the previous version's files in DIR into a "
                                                   "security database opened first."),
                                    QStringLiteral("DIR"));
    parser.addOption(import);
    parser.process(app);
    // A stray word or a folder that is not there is a bad argument like an unknown
    // option: said on standard error before any window opens, so a script sees it
    // and no one has to pick a database for an import that cannot run.
    const auto refuse = [](const QString& what, const QString& argument) {
        std::fprintf(stderr, "%s\n",
                     qPrintable(QStringLiteral("%1: %2: %3").arg(QCoreApplication::applicationName(), what, argument)));
        return 1;
    };
    if (!parser.positionalArguments().isEmpty())
        return refuse(QStringLiteral("Unexpected argument"), parser.positionalArguments().constFirst());
    if (parser.isSet(import) && !QFileInfo(parser.value(import)).isDir())
        return refuse(QStringLiteral("No such folder"), parser.value(import));

    TFormAdmin window;
    window.show();
    if (parser.isSet(import)) {
        const QString directory = parser.value(import);
        QTimer::singleShot(0, &window, [&window, directory] {
            TFormAdmin::runCommand([&window, directory] { window.ImportFrom(directory); });
        });
    }
    return app.exec();
}
