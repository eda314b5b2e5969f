#include "desktop/Admnunt.h"

#include "database/TDatabase.h"

#include <QLabel>
#include <QStatusBar>

TFormAdmin* FormAdmin = nullptr;

TFormAdmin::TFormAdmin(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FormAdmin"));
    setWindowTitle(QStringLiteral("C/S Security Administration Desktop"));
    resize(640, 420);
    Database1 = new TDatabase(this);
    StatusLine = new QLabel(this);
    StatusLine->setObjectName(QStringLiteral("StatusLine"));
    statusBar()->addWidget(StatusLine, 1);
    FormAdmin = this;
}

TFormAdmin::~TFormAdmin()
{
    if (FormAdmin == this)
        FormAdmin = nullptr;
}
