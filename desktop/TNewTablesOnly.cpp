#include "desktop/TNewTablesOnly.h"

#include "database/TAliases.h"

#include <QComboBox>
#include <QLineEdit>

TNewTablesOnly::TNewTablesOnly(QWidget* owner)
    : TAliasAccountDialog(QStringLiteral("NewTablesOnly"), QStringLiteral("Create New Tables In Existing Database"),
                          owner)
{ }

void TNewTablesOnly::FormShow()
{
    cmboxAlias->clear();
    cmboxAlias->addItems(TAliases::databaseNames());
    cmboxAlias->setCurrentIndex(-1);
}

bool TNewTablesOnly::FormCloseQuery()
{
    if (cmboxAlias->currentText().isEmpty())
        return refuse(QStringLiteral("An Alias must selected."), cmboxAlias);
    if (edUserID->text().isEmpty())
        return refuse(QStringLiteral("A UserID must be entered."), edUserID);
    if (edPassword->text().isEmpty())
        return refuse(QStringLiteral("A Password must be selected."), edPassword);
    return true;
}
