// The desktop as another program of the user, started by the tests.
//
//   jovsec_deskpeer ALIAS            opens the database in the main window, opens the
//                                    setup editor over it, prints "ready" and runs
//                                    until its display ends or it is ended
//   jovsec_deskpeer --count ALIAS    prints how many users the database has
#include "database/TDatabase.h"
#include "database/TFirebirdEnv.h"
#include "database/TQuery.h"
#include "desktop/TFormAdmin.h"

#include <QApplication>
#include <QTextStream>
#include <QTimer>

int main(int argc, char** argv)
{
    TFirebirdEnv::prepare();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == "--count") {
        try {
            TQuery count;
            count.setDatabaseName(args[2]);
            count.setSQL("select * from USERS");
            count.open();
            QTextStream(stdout) << count.recordCount() << Qt::endl;
        } catch (const std::exception& e) {
            QTextStream(stderr) << e.what() << Qt::endl;
            return 1;
        }
        return 0;
    }
    if (args.size() != 2)
        return 2;
    TDatabase::setLoginPromptHandler([](const QString&, QString&, QString&) { return true; });
    TFormAdmin window;
    window.show();
    window.OpenSecurityAlias(args[1]);
    QTimer::singleShot(0, &window, [&window] {
        QTimer::singleShot(200, [] { QTextStream(stdout) << "ready" << Qt::endl; });
        window.Setup1Click();
    });
    return app.exec();
}
