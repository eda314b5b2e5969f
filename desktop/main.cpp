#include "database/TFirebirdEnv.h"
#include "desktop/Admnunt.h"
#include "platform/MessageBox.h"

#include <QApplication>

int main(int argc, char** argv)
{
    TFirebirdEnv::prepare();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("SecDesk"));
    QApplication::setOrganizationName(QStringLiteral("JovSec"));
    Platform::installEngineLoginPrompt();
    TFormAdmin window;
    window.show();
    return app.exec();
}
