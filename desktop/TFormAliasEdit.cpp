#include "desktop/TFormAliasEdit.h"

#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "widgets/TOrderedGroupBox.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace {
const QString kServerName = QStringLiteral("SERVER NAME");
const QString kUserName = QStringLiteral("USER NAME");
const QString kPassword = QStringLiteral("PASSWORD");
} // namespace

TFormAliasEdit::TFormAliasEdit(const QString& alias, QWidget* owner)
    : TAliasAccountDialog(QStringLiteral("FormAliasEdit"), QStringLiteral("Correct Alias"), owner), m_alias(alias)
{
    lblAliasNote->setText(QStringLiteral("The alias to correct. Its database file is not changed."));
    cmboxAlias->setEnabled(false);
    lblPassNote->setText(QStringLiteral("The database account the alias logs on with. Leave the password empty to "
                                        "keep the one stored; File > Aliases forgets a stored password."));

    grpLocation = addStep("grpLocation", QStringLiteral("Security Database Information:"));
    lblLocation = new QLabel(QStringLiteral("Security Database &Location:"), grpLocation);
    lblLocation->setObjectName(QStringLiteral("lblLocation"));
    edLocation = lineEdit("edLocation", grpLocation);
    edLocation->setToolTip(QStringLiteral("A file on this computer, or host:path or host/port:path on a Firebird "
                                          "server"));
    lblLocation->setBuddy(edLocation);
    btnLocation = new QToolButton(grpLocation);
    btnLocation->setObjectName(QStringLiteral("btnLocation"));
    btnLocation->setText(QStringLiteral("..."));
    btnLocation->setToolTip(QStringLiteral("Select Security Database"));
    auto* layout = new QGridLayout(grpLocation);
    layout->addWidget(lblLocation, 0, 0, 1, 2);
    layout->addWidget(edLocation, 1, 0);
    layout->addWidget(btnLocation, 1, 1);
    connect(btnLocation, &QToolButton::clicked, this, &TFormAliasEdit::btnLocationClick);

    m_params = TAliases::params(alias);
    edUserID->setText(TAliases::paramValue(m_params, kUserName));
    const bool stored = !TAliases::paramValue(m_params, kPassword).isEmpty();
    edPassword->setPlaceholderText(stored ? QStringLiteral("(stored password kept)") : QStringLiteral("(none stored)"));
    edLocation->setText(TAliases::paramValue(m_params, kServerName));
}

QList<QWidget*> TFormAliasEdit::tabChain() const
{
    return TAliasAccountDialog::tabChain() << edLocation << btnLocation;
}

void TFormAliasEdit::FormShow()
{
    cmboxAlias->clear();
    cmboxAlias->addItem(m_alias);
    edUserID->setFocus();
}

bool TFormAliasEdit::FormCloseQuery()
{
    if (edLocation->text().trimmed().isEmpty())
        return refuse(QStringLiteral("A Security Database Location must be entered."), edLocation);
    return true;
}

void TFormAliasEdit::btnLocationClick()
{
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Select Security Database"), location(),
                                                      QStringLiteral("Interbase Database (*.gdb);;All Files (*)"));
    if (!file.isEmpty())
        edLocation->setText(file);
}

QString TFormAliasEdit::location() const
{
    QString text = edLocation->text().trimmed();
    if (TDatabase::isServerLocation(text) || text.isEmpty())
        return text;
    if (text == QLatin1String("~") || text.startsWith(QLatin1String("~/")))
        text = QDir::homePath() + text.mid(1);
    return QDir::cleanPath(QDir(text).absolutePath());
}

QStringList TFormAliasEdit::params() const
{
    QStringList result = TAliases::withParam(m_params, kServerName, location());
    result = edUserID->text().isEmpty() ? TAliases::withoutParam(result, kUserName)
                                        : TAliases::withParam(result, kUserName, edUserID->text());
    if (!edPassword->text().isEmpty())
        result = TAliases::withParam(result, kPassword, edPassword->text());
    return result;
}
