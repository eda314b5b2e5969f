// Another program logging on at the same moment as others. It connects, prints
// "ready", waits for a line on its input, then works and prints every message it
// showed, one a line.
//
//   jovsec_logonpeer ALIAS dialog USERNAME PASSWORD       one attempt in the logon dialog
//   jovsec_logonpeer ALIAS logonex USERNAME PASSWORD N    N silent logons, each with an
//                                                         access test (logging on)
#include "database/TFirebirdEnv.h"
#include "database/TQuery.h"
#include "platform/Application.h"
#include "security/TFormCSLogon.h"
#include "security/TJovCSsecure.h"
#include "tests/support/MessageRecorder.h"

#include <QApplication>
#include <QLineEdit>

#include <iostream>
#include <memory>
#include <string>

namespace {
void waitForGo()
{
    std::cout << "ready" << std::endl;
    std::string go;
    std::getline(std::cin, go);
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TFirebirdEnv::prepare();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5)
        return 2;
    const QString alias = args[1], mode = args[2], name = args[3], password = args[4];
    MessageRecorder messages;
    if (mode == QLatin1String("dialog")) {
        TFormCSLogon dialog;
        dialog.sqlUsers->setDatabaseName(alias);
        dialog.sqlPWHist->setDatabaseName(alias);
        dialog.sqlUsers->open();
        dialog.sqlPWHist->open();
        dialog.Password = QStringLiteral("masterkey");
        dialog.edUserName->setText(name);
        dialog.edPassword->setText(password);
        dialog.edPassword->setFocus(); // as after Enter in the password box
        waitForGo();
        int result = QDialog::Accepted;
        dialog.FormClose(result);
    } else if (mode == QLatin1String("logonex") && args.size() == 6) {
        TJovCSsecure component;
        component.setAlias(alias);
        component.setPassword(QStringLiteral("masterkey"));
        component.setOptions(TSecurityOptions(soShowUI));
        component.Loaded();
        if (Platform::terminationRequested())
            return 1;
        waitForGo();
        for (int i = args[5].toInt(); i > 0; --i) {
            if (!component.LogonEx(name, password))
                std::cout << "refused\n";
            component.TestAccess(1);
        }
    } else {
        return 2;
    }
    for (const QString& text : messages.texts())
        std::cout << text.toStdString() << "\n";
    std::cout.flush();
    return 0;
}
