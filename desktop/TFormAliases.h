#pragma once
// TFormAliases: File > Aliases. Lists every alias with where it points, whether its
// file is there and whether it stores a password, and removes an alias (never its
// database file), corrects its location or account, or forgets its stored password.

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QTreeWidget;

class TFormAliases : public QDialog {
    Q_OBJECT
public:
    // openAlias: the alias of the database SecDesk has open, which is not removed or
    // changed while it is open.
    explicit TFormAliases(const QString& openAlias = QString(), QWidget* owner = nullptr);

    enum Column { ColAlias, ColServer, ColLocation, ColFile, ColUser, ColPassword, ColumnCount };

    // Reads the alias file again; keeps the selected alias selected.
    void FormShow();
    // The alias of the selected row; empty when none is selected.
    QString selectedAlias() const;
    void selectAlias(const QString& alias);

    void btnChangeClick();
    void btnForgetPasswordClick();
    void btnRemoveClick();

    QLabel* lblAliasFile;
    QTreeWidget* lvAliases;
    QPushButton* btnChange;
    QPushButton* btnForgetPassword;
    QPushButton* btnRemove;
    QPushButton* bbtnClose;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void updateButtons();
    // False, after saying why, when alias is the open database's.
    bool notOpen(const QString& alias, const QString& action) const;

    QString m_openAlias;
};
