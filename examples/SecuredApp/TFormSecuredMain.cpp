#include "TFormSecuredMain.h"

#include <QAction>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>

TFormSecuredMain::TFormSecuredMain(const QString& alias, const QString& password, TSecurityOptions options,
                                   QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FormSecuredMain"));
    setWindowTitle(QStringLiteral("Secured Orders"));
    resize(480, 300);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    actLogOn = file->addAction(QStringLiteral("Log &On..."));
    actLogOff = file->addAction(QStringLiteral("Log O&ff"));
    actChangePassword = file->addAction(QStringLiteral("&Change Password..."));
    actSetup = file->addAction(QStringLiteral("&Setup..."));
    file->addSeparator();
    file->addAction(QStringLiteral("E&xit"), this, &QWidget::close);

    QMenu* orders = menuBar()->addMenu(QStringLiteral("&Orders"));
    actEnterOrders = orders->addAction(QStringLiteral("&Enter Orders..."));
    actApproveOrders = orders->addAction(QStringLiteral("&Approve Orders..."));
    actPrintReports = orders->addAction(QStringLiteral("&Print Reports..."));

    lblUser = new QLabel(this);
    statusBar()->addWidget(lblUser, 1);

    // The component is owned by the window, as it would sit on the main form.
    Security = new TJovCSsecure(this);
    Security->setAlias(alias);
    Security->setPassword(password);
    Security->setOptions(options);

    connect(actLogOn, &QAction::triggered, this, [this] {
        Security->Logon();
        refreshUser();
    });
    connect(actLogOff, &QAction::triggered, this, [this] {
        Security->setActive(false);
        refreshUser();
    });
    connect(actChangePassword, &QAction::triggered, this, [this] {
        if (Security->ChangePassword())
            QMessageBox::information(this, windowTitle(), QStringLiteral("Your password has been changed."));
    });
    connect(actSetup, &QAction::triggered, this, [this] {
        Security->Setup();
        refreshUser();
    });
    connect(actEnterOrders, &QAction::triggered, this,
            [this] { guarded(acEnterOrders, QStringLiteral("Order entry")); });
    connect(actApproveOrders, &QAction::triggered, this,
            [this] { guarded(acApproveOrders, QStringLiteral("Order approval")); });
    connect(actPrintReports, &QAction::triggered, this,
            [this] { guarded(acPrintReports, QStringLiteral("Report printing")); });

    // Streaming has finished: connect and, with soAutoValidate, log a user on.
    Security->Loaded();
    refreshUser();
}

void TFormSecuredMain::refreshUser()
{
    const bool active = Security->Active();
    lblUser->setText(active ? QStringLiteral("Logged on: %1").arg(Security->UserName())
                            : QStringLiteral("Nobody is logged on"));
    actLogOff->setEnabled(active);
    // The supervisor's password is the database account's: the component always
    // refuses to change it, so the command is not offered to the supervisor.
    actChangePassword->setEnabled(active && !isSupervisor());
    actSetup->setEnabled(Security->UserAdmin());
}

bool TFormSecuredMain::isSupervisor() const { return Security->Active() && Security->UserID() == 0; }

void TFormSecuredMain::guarded(AccessConstant constant, const QString& feature)
{
    // The component shows the refusal itself when soShowUI is set.
    if (Security->TestAccess(constant))
        QMessageBox::information(this, windowTitle(), feature + QStringLiteral(" would open here."));
}
