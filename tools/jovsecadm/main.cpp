// jovsecadm: administers a security database from scripts. See TAdminTool.h.
#include "TAdminTool.h"

#include "database/TFirebirdEnv.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    TFirebirdEnv::prepare();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("jovsecadm"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return TAdminTool::run(app.arguments().mid(1), out, err);
}
