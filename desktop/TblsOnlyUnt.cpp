#include "desktop/TblsOnlyUnt.h"

#include "database/TAliases.h"
#include "desktop/Dirslunt.h"
#include "platform/MessageBox.h"
#include "widgets/Jovgroup.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

TNewTablesOnly::TNewTablesOnly(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("NewTablesOnly"));
    setWindowTitle(QStringLiteral("Create New Tables In Existing Database"));

    grpAlias = new TOrderedGroupBox(QStringLiteral("Alias:"), this);
    grpAlias->setObjectName(QStringLiteral("grpAlias"));
    numberStep(grpAlias, 1);
    lblAliasNote = new QLabel(QStringLiteral("Select Alias or enter a new Alias to be created."), grpAlias);
    lblAliasNote->setObjectName(QStringLiteral("lblAliasNote"));
    lblAliasNote->setWordWrap(true);
    cmboxAlias = new QComboBox(grpAlias);
    cmboxAlias->setObjectName(QStringLiteral("cmboxAlias"));
    auto* aliasLayout = new QVBoxLayout(grpAlias);
    aliasLayout->addWidget(lblAliasNote);
    aliasLayout->addWidget(cmboxAlias);

    grpPassword = new TOrderedGroupBox(QStringLiteral("Master User ID && Password:"), this);
    grpPassword->setObjectName(QStringLiteral("grpPassword"));
    numberStep(grpPassword, 2);
    lblPassNote = new QLabel(masterPasswordNote(), grpPassword);
    lblPassNote->setObjectName(QStringLiteral("lblPassNote"));
    lblPassNote->setWordWrap(true);
    lblUserID = new QLabel(QStringLiteral("&User ID:"), grpPassword);
    lblUserID->setObjectName(QStringLiteral("lblUserID"));
    edUserID = new QLineEdit(grpPassword);
    edUserID->setObjectName(QStringLiteral("edUserID"));
    lblUserID->setBuddy(edUserID);
    lblPassword = new QLabel(QStringLiteral("&Password:"), grpPassword);
    lblPassword->setObjectName(QStringLiteral("lblPassword"));
    edPassword = new QLineEdit(grpPassword);
    edPassword->setObjectName(QStringLiteral("edPassword"));
    lblPassword->setBuddy(edPassword);
    auto* passLayout = new QGridLayout(grpPassword);
    passLayout->addWidget(lblPassNote, 0, 0, 1, 4);
    passLayout->addWidget(lblUserID, 1, 0);
    passLayout->addWidget(edUserID, 1, 1);
    passLayout->addWidget(lblPassword, 1, 2);
    passLayout->addWidget(edPassword, 1, 3);

    auto* buttons = new QDialogButtonBox(this);
    bbnOk = buttons->addButton(QDialogButtonBox::Ok);
    bbnOk->setObjectName(QStringLiteral("bbnOk"));
    bbnCancel = buttons->addButton(QDialogButtonBox::Cancel);
    bbnCancel->setObjectName(QStringLiteral("bbnCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grpAlias);
    layout->addWidget(grpPassword);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumWidth(460);
}

void TNewTablesOnly::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        FormShow();
        adjustSize();
        if (QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
    }
    QDialog::showEvent(event);
}

void TNewTablesOnly::FormShow()
{
    cmboxAlias->clear();
    cmboxAlias->addItems(TAliases::databaseNames());
    cmboxAlias->setCurrentIndex(-1);
}

bool TNewTablesOnly::FormCloseQuery()
{
    auto refuse = [](const QString& text, QWidget* control) {
        Platform::showError(text);
        control->setFocus();
        return false;
    };
    if (cmboxAlias->currentText().isEmpty())
        return refuse(QStringLiteral("An Alias must selected."), cmboxAlias);
    if (edUserID->text().isEmpty())
        return refuse(QStringLiteral("A UserID must be entered."), edUserID);
    if (edPassword->text().isEmpty())
        return refuse(QStringLiteral("A Password must be selected."), edPassword);
    return true;
}

void TNewTablesOnly::done(int result)
{
    if (result == QDialog::Accepted && !FormCloseQuery())
        return;
    QDialog::done(result);
}
