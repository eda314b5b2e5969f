#pragma once
// TFormOpenSecurity (unit Dirslunt): the "Security Information" dialog of New. Step 1
// chooses an existing alias or types a new one; step 2 takes the database account; step
// 3, for a new alias only, the folder and file name of the new security database.

#include "desktop/TAliasAccountDialog.h"

class QFileDialog;
class QToolButton;

class TFormOpenSecurity : public TAliasAccountDialog {
    Q_OBJECT
public:
    explicit TFormOpenSecurity(QWidget* owner = nullptr);

    void FormShow() override;
    void cmboxAliasChange();
    // Runs the save-file dialog and takes the folder and file name it returns.
    void btnDBLocationClick();
    // Fills the location and name fields from a chosen file path.
    void takeDatabaseFile(const QString& path);
    bool FormCloseQuery() override;

    // True when the alias text is not one of the listed names: a new alias is asked for.
    bool aliasTyped() const;
    // Where the new database of a typed alias goes: the folder ("~" is the home folder,
    // a relative folder is taken from the current one; a server's folder stays as
    // typed), a slash and the name.
    QString newLocation() const;

    TOrderedGroupBox* grpDirectory;
    QLabel* lblDBDirectory;
    QLineEdit* edDBDirectory;
    QToolButton* btnDBLocation;
    QLabel* lblDatabaseName;
    QLineEdit* edDatabaseName;
    QFileDialog* SaveDialog1;

protected:
    QList<QWidget*> tabChain() const override;

private:
    // A chosen alias shows where it points in the (disabled) location and name; what
    // was typed there comes back when a new alias is typed again.
    void showChosenAlias(bool typed);

    bool m_showsChosen = false;
    QString m_typedDirectory;
    QString m_typedName;
};
