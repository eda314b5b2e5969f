#pragma once
// TFormSecuredMain (unit SecuredMain): the example application's main window. It
// carries the security component, which logs a user on when the window is created; the
// status bar says who is logged on, and each order command asks the component before it
// runs.

#include "security/TJovCSsecure.h"

#include <QMainWindow>

class QAction;
class QLabel;

class TFormSecuredMain : public QMainWindow {
    Q_OBJECT
public:
    // Access constants of this application, as the security editor lists them.
    enum AccessConstant { acEnterOrders = 1, acApproveOrders = 2, acPrintReports = 3 };

    TFormSecuredMain(const QString& alias, const QString& password, TSecurityOptions options,
                     QWidget* parent = nullptr);

    TJovCSsecure* security() const { return Security; }
    // Brings the status bar and the commands in line with who is logged on.
    void refreshUser();
    // Whether the supervisor (the database account, user id 0) is logged on.
    bool isSupervisor() const;

    QAction* actLogOn = nullptr;
    QAction* actLogOff = nullptr;
    QAction* actChangePassword = nullptr;
    QAction* actSetup = nullptr;
    QAction* actEnterOrders = nullptr;
    QAction* actApproveOrders = nullptr;
    QAction* actPrintReports = nullptr;
    QLabel* lblUser = nullptr;

private:
    void guarded(AccessConstant constant, const QString& feature);

    TJovCSsecure* Security = nullptr;
};
