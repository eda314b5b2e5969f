#pragma once
// TNewTablesOnly (unit TblsOnlyUnt): the "Create New Tables In Existing Database"
// dialog. Step 1 picks the alias of an existing database, step 2 takes the account that
// builds the security tables in it.

#include "desktop/TAliasAccountDialog.h"

class TNewTablesOnly : public TAliasAccountDialog {
    Q_OBJECT
public:
    explicit TNewTablesOnly(QWidget* owner = nullptr);

    void FormShow() override;
    bool FormCloseQuery() override;
};
