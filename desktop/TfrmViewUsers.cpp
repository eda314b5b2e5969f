#include "desktop/TfrmViewUsers.h"

#include "database/TField.h"
#include "database/TQuery.h"

#include <QCollator>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

TfrmViewUsers* frmViewUsers = nullptr;

TfrmViewUsers::TfrmViewUsers(QWidget* owner) : QDialog(owner)
{
    frmViewUsers = this;
    setObjectName(QStringLiteral("frmViewUsers"));
    setWindowTitle(QStringLiteral("Current Users"));
    lblNetName = new QLabel(QStringLiteral("Network User Name"), this);
    lblNetName->setObjectName(QStringLiteral("lblNetName"));
    lbUsers = new QListWidget(this);
    lbUsers->setObjectName(QStringLiteral("lbUsers"));
    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    lblCount->setWordWrap(true);
    showCount(0);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    sqlUserAcc = new TQuery(this);
    sqlUserAcc->setObjectName(QStringLiteral("sqlUserAcc"));
    sqlUserAcc->setSQL(QStringLiteral("select * from USERS order by user_id"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblNetName);
    layout->addWidget(lbUsers);
    layout->addWidget(lblCount);
    layout->addLayout(buttons);
    setFixedSize(260, 300);
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

TfrmViewUsers::~TfrmViewUsers()
{
    FormDestroy();
    if (frmViewUsers == this)
        frmViewUsers = nullptr;
}

void TfrmViewUsers::FormShow()
{
    sqlUserAcc->open();
    sqlUserAcc->first();
    if (sqlUserAcc->isEmpty())
        return;
    QStringList names;
    for (; !sqlUserAcc->eof(); sqlUserAcc->next())
        names << sqlUserAcc->fieldByName(QStringLiteral("User_Name"))->asString();
    // The list keeps its items in alphabetical order, without regard to letter case.
    QCollator order;
    order.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(names.begin(), names.end(),
                     [&](const QString& a, const QString& b) { return order.compare(a, b) < 0; });
    lbUsers->addItems(names);
    showCount(names.size());
}

void TfrmViewUsers::showCount(qsizetype count)
{
    lblCount->setText(count == 1 ? QStringLiteral("1 user of this security database, logged on or not")
                                 : QStringLiteral("%1 users of this security database, logged on or not").arg(count));
}

void TfrmViewUsers::FormDestroy() { sqlUserAcc->close(); }

void ViewUsers(QWidget* owner, const QString& alias)
{
    TfrmViewUsers dialog(owner);
    dialog.sqlUserAcc->setDatabaseName(alias);
    dialog.FormShow();
    dialog.exec();
}
