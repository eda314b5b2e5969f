#pragma once
// TFormOpenSecurity: the "Security Information" dialog of New. Step 1 chooses an
// existing alias or types a new one; step 2 takes the database account; step 3, for
// a new alias only, the folder and file name of the new security database.

#include <QDialog>
#include <QString>

class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TOrderedGroupBox;

class TFormOpenSecurity : public QDialog {
    Q_OBJECT
public:
    explicit TFormOpenSecurity(QWidget* owner = nullptr);

    void FormShow();
    void cmboxAliasChange();
    // Runs the save-file dialog and takes the folder and file name it returns.
    void btnDBLocationClick();
    // Fills the location and name fields from a chosen file path.
    void takeDatabaseFile(const QString& path);
    // The checks made before the dialog closes with OK: the first failure is shown,
    // its control gets the focus and false is returned.
    bool FormCloseQuery();

    // True when the alias text is not one of the listed names: a new alias is asked for.
    bool aliasTyped() const;

    TOrderedGroupBox* grpAlias;
    QLabel* lblAliasNote;
    QComboBox* cmboxAlias;
    TOrderedGroupBox* grpPassword;
    QLabel* lblPassNote;
    QLabel* lblUserID;
    QLineEdit* edUserID;
    QLabel* lblPassword;
    QLineEdit* edPassword;
    TOrderedGroupBox* grpDirectory;
    QLabel* lblDBDirectory;
    QLineEdit* edDBDirectory;
    QToolButton* btnDBLocation;
    QLabel* lblDatabaseName;
    QLineEdit* edDatabaseName;
    QPushButton* bbnOk;
    QPushButton* bbnCancel;
    QFileDialog* SaveDialog1;

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
};

// The text under both dialogs' step 2 group.
QString masterPasswordNote();
// Numbers a step group: white bold digits on red.
void numberStep(TOrderedGroupBox* group, int order);
