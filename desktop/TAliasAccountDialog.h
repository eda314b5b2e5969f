#pragma once
// TAliasAccountDialog: what the two dialogs that start a database command share, the
// "Security Information" dialog of New (TFormOpenSecurity) and "Create New Tables In
// Existing Database" (TNewTablesOnly): step 1 names the alias, step 2 the account
// that builds the security tables, then OK and Cancel. OK closes the dialog only when
// its field checks pass.

#include <QDialog>
#include <QString>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;
class TOrderedGroupBox;

class TAliasAccountDialog : public QDialog {
    Q_OBJECT
public:
    // Fills the alias list; runs each time the dialog is shown.
    virtual void FormShow() = 0;
    // The checks made before the dialog closes with OK: the first failure is shown,
    // its control gets the focus and false is returned.
    virtual bool FormCloseQuery() = 0;

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
    TAliasAccountDialog(const QString& name, const QString& title, QWidget* owner);

    // A numbered step group, placed after the others and before the buttons.
    TOrderedGroupBox* addStep(const char* name, const QString& caption);
    static QLineEdit* lineEdit(const char* name, QWidget* parent);
    // One failed field check: shows text, gives control the focus, returns false.
    static bool refuse(const QString& text, QWidget* control);

    // The dialog's fields in the order Tab visits them, before OK and Cancel.
    virtual QList<QWidget*> tabChain() const;

    void showEvent(QShowEvent* event) override;

private:
    QVBoxLayout* m_steps = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    int m_stepCount = 0;
};
