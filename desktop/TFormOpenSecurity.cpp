#include "desktop/TFormOpenSecurity.h"

#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "widgets/TOrderedGroupBox.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

TFormOpenSecurity::TFormOpenSecurity(QWidget* owner)
    : TAliasAccountDialog(QStringLiteral("FormOpenSecurity"), QStringLiteral("Security Information"), owner)
{
    cmboxAlias->setEditable(true);
    cmboxAlias->setInsertPolicy(QComboBox::NoInsert);

    grpDirectory = addStep("grpDirectory", QStringLiteral("Security Database Information:"));
    lblDBDirectory = new QLabel(QStringLiteral("Security Database &Location:"), grpDirectory);
    lblDBDirectory->setObjectName(QStringLiteral("lblDBDirectory"));
    edDBDirectory = lineEdit("edDBDirectory", grpDirectory);
    edDBDirectory->setToolTip(QStringLiteral("A folder on this computer, or host:folder or host/port:folder on a "
                                             "Firebird server"));
    lblDBDirectory->setBuddy(edDBDirectory);
    // A chosen alias hides the User ID; the dialog keeps its size and place.
    for (QWidget* w : {static_cast<QWidget*>(lblUserID), static_cast<QWidget*>(edUserID)}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }
    btnDBLocation = new QToolButton(grpDirectory);
    btnDBLocation->setObjectName(QStringLiteral("btnDBLocation"));
    btnDBLocation->setText(QStringLiteral("..."));
    btnDBLocation->setToolTip(QStringLiteral("Select Security Database Location"));
    lblDatabaseName = new QLabel(QStringLiteral("Security Database &Name:"), grpDirectory);
    lblDatabaseName->setObjectName(QStringLiteral("lblDatabaseName"));
    edDatabaseName = lineEdit("edDatabaseName", grpDirectory);
    lblDatabaseName->setBuddy(edDatabaseName);
    auto* dirLayout = new QGridLayout(grpDirectory);
    dirLayout->addWidget(lblDBDirectory, 0, 0, 1, 2);
    dirLayout->addWidget(edDBDirectory, 1, 0);
    dirLayout->addWidget(btnDBLocation, 1, 1);
    dirLayout->addWidget(lblDatabaseName, 2, 0, 1, 2);
    dirLayout->addWidget(edDatabaseName, 3, 0);

    SaveDialog1 = new QFileDialog(this, QStringLiteral("Select Security Database Location"));
    SaveDialog1->setObjectName(QStringLiteral("SaveDialog1"));
    SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1->setFileMode(QFileDialog::AnyFile);
    SaveDialog1->setNameFilters({QStringLiteral("Interbase Database (*.gdb)"), QStringLiteral("All Files (*)")});
    SaveDialog1->setDefaultSuffix(QStringLiteral("gdb"));
    // Only chooses a place; nothing is written, so no overwrite question.
    SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite, true);

    connect(cmboxAlias, &QComboBox::editTextChanged, this, &TFormOpenSecurity::cmboxAliasChange);
    connect(cmboxAlias, &QComboBox::currentIndexChanged, this, &TFormOpenSecurity::cmboxAliasChange);
    connect(btnDBLocation, &QToolButton::clicked, this, &TFormOpenSecurity::btnDBLocationClick);
}

QList<QWidget*> TFormOpenSecurity::tabChain() const
{
    return TAliasAccountDialog::tabChain() << edDBDirectory << btnDBLocation << edDatabaseName;
}

void TFormOpenSecurity::FormShow()
{
    const QString text = cmboxAlias->currentText();
    cmboxAlias->blockSignals(true);
    cmboxAlias->clear();
    cmboxAlias->addItems(TAliases::databaseNames());
    cmboxAlias->setCurrentIndex(-1);
    cmboxAlias->setEditText(text);
    cmboxAlias->blockSignals(false);
    grpDirectory->setEnabled(true);
    lblUserID->setVisible(true);
    edUserID->setVisible(true);
    cmboxAliasChange();
}

bool TFormOpenSecurity::aliasTyped() const
{
    // A listed name, whatever its letter case, selects that alias: typing it never
    // replaces the alias.
    const QString text = cmboxAlias->currentText();
    return cmboxAlias->findText(text, Qt::MatchFixedString) < 0;
}

void TFormOpenSecurity::cmboxAliasChange()
{
    const bool typed = aliasTyped();
    edDBDirectory->setEnabled(typed);
    btnDBLocation->setEnabled(typed);
    edDatabaseName->setEnabled(typed);
    lblUserID->setVisible(typed);
    edUserID->setVisible(typed);
    QPalette palette = grpDirectory->palette();
    palette.setColor(QPalette::WindowText, typed ? QColor(Qt::black) : QColor(128, 128, 128));
    grpDirectory->setPalette(palette);
    showChosenAlias(typed);
}

void TFormOpenSecurity::showChosenAlias(bool typed)
{
    if (typed) {
        if (m_showsChosen) {
            edDBDirectory->setText(m_typedDirectory);
            edDatabaseName->setText(m_typedName);
            grpDirectory->setToolTip(QString());
            m_showsChosen = false;
        }
        return;
    }
    if (!m_showsChosen) {
        m_typedDirectory = edDBDirectory->text();
        m_typedName = edDatabaseName->text();
        m_showsChosen = true;
    }
    TAliases::Entry alias;
    if (!TAliases::entry(cmboxAlias->currentText(), &alias)) {
        // A named connection of the program, not an alias of the file.
        edDBDirectory->clear();
        edDatabaseName->clear();
        grpDirectory->setToolTip(QString());
        return;
    }
    const qsizetype slash = alias.location.lastIndexOf(QLatin1Char('/'));
    edDBDirectory->setText(slash > 0 ? alias.location.left(slash) : alias.location.left(slash + 1));
    edDatabaseName->setText(alias.location.mid(slash + 1));
    QString state;
    if (!alias.remote())
        state = alias.fileExists ? QStringLiteral(" (the file exists)") : QStringLiteral(" (no file there yet)");
    grpDirectory->setToolTip(QStringLiteral("The alias %1 points to %2%3").arg(alias.name, alias.where(), state));
}

QString TFormOpenSecurity::newLocation() const
{
    QString folder = edDBDirectory->text().trimmed();
    const QString name = edDatabaseName->text().trimmed();
    if (!TDatabase::isServerLocation(folder)) {
        if (folder == QLatin1String("~") || folder.startsWith(QLatin1String("~/")))
            folder = QDir::homePath() + folder.mid(1);
        folder = QDir::cleanPath(QDir(folder).absolutePath());
    }
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + name;
}

void TFormOpenSecurity::btnDBLocationClick()
{
    SaveDialog1->selectFile(QStringLiteral("JOVCSSecure"));
    if (SaveDialog1->exec() == QDialog::Accepted && !SaveDialog1->selectedFiles().isEmpty())
        takeDatabaseFile(SaveDialog1->selectedFiles().first());
}

void TFormOpenSecurity::takeDatabaseFile(const QString& path)
{
    const QFileInfo info(path);
    // The folder without a trailing separator, except for the root.
    edDBDirectory->setText(QDir::toNativeSeparators(info.absolutePath()));
    edDatabaseName->setText(info.fileName());
}

bool TFormOpenSecurity::FormCloseQuery()
{
    if (cmboxAlias->currentText().trimmed().isEmpty())
        return refuse(QStringLiteral("An Alias must be either selected or created."), cmboxAlias);
    if (edPassword->text().isEmpty())
        return refuse(QStringLiteral("A Password must be selected."), edPassword);
    if (aliasTyped()) {
        // A name the alias file cannot hold is refused before anything is made.
        const QString problem = TAliases::nameProblem(cmboxAlias->currentText());
        if (!problem.isEmpty())
            return refuse(problem, cmboxAlias);
        if (edUserID->text().isEmpty())
            return refuse(QStringLiteral("A UserID must be entered."), edUserID);
        // A new alias needs somewhere to put its database.
        if (edDBDirectory->text().trimmed().isEmpty())
            return refuse(QStringLiteral("A Security Database Location must be entered."), edDBDirectory);
        if (edDatabaseName->text().trimmed().isEmpty())
            return refuse(QStringLiteral("A Security Database Name must be entered."), edDatabaseName);
        // A file of that name is never replaced: the entries stay for another name or
        // folder.
        const QString location = newLocation();
        if (!TDatabase::isServerLocation(location) && QFileInfo::exists(location))
            return refuse(QStringLiteral("Security database found at this location. Either remove database, use a "
                                         "different database name, or select a new directory."),
                          edDatabaseName);
        return true;
    }
    TAliases::Entry alias;
    if (TAliases::entry(cmboxAlias->currentText(), &alias) && alias.fileExists)
        return refuse(QStringLiteral("Security database found at this location. Either remove database, select a "
                                     "new directory or a new alias."),
                      cmboxAlias);
    return true;
}
