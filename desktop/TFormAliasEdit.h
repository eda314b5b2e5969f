#pragma once
// TFormAliasEdit: corrects one alias from File > Aliases: step 1 names the alias,
// step 2 its database account, step 3 where its database is. A password left empty
// keeps the one stored.

#include "desktop/TAliasAccountDialog.h"

#include <QStringList>

class QToolButton;

class TFormAliasEdit : public TAliasAccountDialog {
    Q_OBJECT
public:
    TFormAliasEdit(const QString& alias, QWidget* owner = nullptr);

    void FormShow() override;
    bool FormCloseQuery() override;
    // Runs the file dialog and takes the database file chosen.
    void btnLocationClick();

    // The alias's parameters with the location and account as the dialog shows them;
    // other parameters stay as they were.
    QStringList params() const;
    // The location as the alias keeps it: a file on this computer as a full path ("~"
    // is the home folder), host[/port]:path as typed.
    QString location() const;

    TOrderedGroupBox* grpLocation;
    QLabel* lblLocation;
    QLineEdit* edLocation;
    QToolButton* btnLocation;

protected:
    QList<QWidget*> tabChain() const override;

private:
    QString m_alias;
    QStringList m_params;
};
