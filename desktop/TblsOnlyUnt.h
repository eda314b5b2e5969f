#pragma once
// TNewTablesOnly: the "Create New Tables In Existing Database" dialog. Step 1 picks
// the alias of an existing database, step 2 takes the account that builds the
// security tables in it.

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TOrderedGroupBox;

class TNewTablesOnly : public QDialog {
    Q_OBJECT
public:
    explicit TNewTablesOnly(QWidget* owner = nullptr);

    void FormShow();
    // The checks made before the dialog closes with OK: the first failure is shown,
    // its control gets the focus and false is returned.
    bool FormCloseQuery();

    TOrderedGroupBox* grpAlias;
    QLabel* lblAliasNote;
    QComboBox* cmboxAlias;
    TOrderedGroupBox* grpPassword;
    QLabel* lblPassNote;
    QLabel* lblUserID;
    QLineEdit* edUserID;
    QLabel* lblPassword;
    QLineEdit* edPassword;
    QPushButton* bbnOk;
    QPushButton* bbnCancel;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
};
