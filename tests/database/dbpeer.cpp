// A second program on the same security database: adds a user and prints how many
// users it sees. Used by the sharing test.
#include "database/TFirebirdEnv.h"
#include "database/TQuery.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    TFirebirdEnv::prepare();
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3)
        return 2;
    try {
        TQuery insert;
        insert.setDatabaseName(args[1]);
        insert.setSQL("insert into USERS (USER_NAME, User_PASSWORD) values (:n, 'pw')");
        insert.setParamString("n", args[2]);
        insert.execSQL();
        TQuery count;
        count.setDatabaseName(args[1]);
        count.setSQL("select * from users");
        count.open();
        QTextStream(stdout) << count.recordCount() << "\n";
    } catch (const std::exception& e) {
        QTextStream(stderr) << e.what() << "\n";
        return 1;
    }
    return 0;
}
