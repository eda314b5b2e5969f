#include "desktop/Dirslunt.h"

#include "database/TAliases.h"
#include "platform/MessageBox.h"
#include "widgets/Jovgroup.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

QString masterPasswordNote()
{
    return QStringLiteral("IMPORTANT: User ID & Password are case sensitive required fields.  The User ID & "
                          "Password must exist in the InterBase security database. The Password must also be "
                          "entered in security component.");
}

void numberStep(TOrderedGroupBox* group, int order)
{
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    group->setLabelOrder(order);
    group->setLabelColor(Qt::red);
    group->setLabelFont(font, Qt::white);
    group->setLabelType(ltNumeric);
}

namespace {
TOrderedGroupBox* stepGroup(const char* name, const QString& caption, int order, QWidget* parent)
{
    auto* group = new TOrderedGroupBox(caption, parent);
    group->setObjectName(QLatin1String(name));
    numberStep(group, order);
    return group;
}

QLabel* note(const char* name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    return label;
}

QLineEdit* edit(const char* name, QWidget* parent)
{
    auto* line = new QLineEdit(parent);
    line->setObjectName(QLatin1String(name));
    return line;
}
} // namespace

TFormOpenSecurity::TFormOpenSecurity(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("FormOpenSecurity"));
    setWindowTitle(QStringLiteral("Security Information"));

    grpAlias = stepGroup("grpAlias", QStringLiteral("Alias:"), 1, this);
    lblAliasNote = note("lblAliasNote", QStringLiteral("Select Alias or enter a new Alias to be created."), grpAlias);
    cmboxAlias = new QComboBox(grpAlias);
    cmboxAlias->setObjectName(QStringLiteral("cmboxAlias"));
    cmboxAlias->setEditable(true);
    cmboxAlias->setInsertPolicy(QComboBox::NoInsert);
    auto* aliasLayout = new QVBoxLayout(grpAlias);
    aliasLayout->addWidget(lblAliasNote);
    aliasLayout->addWidget(cmboxAlias);

    grpPassword = stepGroup("grpPassword", QStringLiteral("Master User ID && Password:"), 2, this);
    lblPassNote = note("lblPassNote", masterPasswordNote(), grpPassword);
    lblUserID = new QLabel(QStringLiteral("&User ID:"), grpPassword);
    lblUserID->setObjectName(QStringLiteral("lblUserID"));
    edUserID = edit("edUserID", grpPassword);
    lblUserID->setBuddy(edUserID);
    lblPassword = new QLabel(QStringLiteral("&Password:"), grpPassword);
    lblPassword->setObjectName(QStringLiteral("lblPassword"));
    edPassword = edit("edPassword", grpPassword);
    lblPassword->setBuddy(edPassword);
    auto* passLayout = new QGridLayout(grpPassword);
    passLayout->addWidget(lblPassNote, 0, 0, 1, 4);
    passLayout->addWidget(lblUserID, 1, 0);
    passLayout->addWidget(edUserID, 1, 1);
    passLayout->addWidget(lblPassword, 1, 2);
    passLayout->addWidget(edPassword, 1, 3);

    grpDirectory = stepGroup("grpDirectory", QStringLiteral("Security Database Information:"), 3, this);
    lblDBDirectory = new QLabel(QStringLiteral("Security Database &Location:"), grpDirectory);
    lblDBDirectory->setObjectName(QStringLiteral("lblDBDirectory"));
    edDBDirectory = edit("edDBDirectory", grpDirectory);
    edDBDirectory->setToolTip(QStringLiteral("A folder on this computer, or host:folder or host/port:folder on a "
                                             "Firebird server"));
    lblDBDirectory->setBuddy(edDBDirectory);
    btnDBLocation = new QToolButton(grpDirectory);
    btnDBLocation->setObjectName(QStringLiteral("btnDBLocation"));
    btnDBLocation->setText(QStringLiteral("..."));
    btnDBLocation->setToolTip(QStringLiteral("Select Security Database Location"));
    lblDatabaseName = new QLabel(QStringLiteral("Security Database &Name:"), grpDirectory);
    lblDatabaseName->setObjectName(QStringLiteral("lblDatabaseName"));
    edDatabaseName = edit("edDatabaseName", grpDirectory);
    lblDatabaseName->setBuddy(edDatabaseName);
    auto* dirLayout = new QGridLayout(grpDirectory);
    dirLayout->addWidget(lblDBDirectory, 0, 0, 1, 2);
    dirLayout->addWidget(edDBDirectory, 1, 0);
    dirLayout->addWidget(btnDBLocation, 1, 1);
    dirLayout->addWidget(lblDatabaseName, 2, 0, 1, 2);
    dirLayout->addWidget(edDatabaseName, 3, 0);

    auto* buttons = new QDialogButtonBox(this);
    bbnOk = buttons->addButton(QDialogButtonBox::Ok);
    bbnOk->setObjectName(QStringLiteral("bbnOk"));
    bbnCancel = buttons->addButton(QDialogButtonBox::Cancel);
    bbnCancel->setObjectName(QStringLiteral("bbnCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grpAlias);
    layout->addWidget(grpPassword);
    layout->addWidget(grpDirectory);
    layout->addWidget(buttons);
    // A fixed dialog border: the dialog keeps the size its contents need.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumWidth(460);

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

void TFormOpenSecurity::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        FormShow();
        adjustSize();
        if (QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
    }
    QDialog::showEvent(event);
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
    auto refuse = [](const QString& text, QWidget* control) {
        Platform::showError(text);
        control->setFocus();
        return false;
    };
    if (cmboxAlias->currentText().isEmpty())
        return refuse(QStringLiteral("An Alias must be either selected or created."), cmboxAlias);
    if (edPassword->text().isEmpty())
        return refuse(QStringLiteral("A Password must be selected."), edPassword);
    if (aliasTyped()) {
        if (edUserID->text().isEmpty())
            return refuse(QStringLiteral("A UserID must be entered."), edUserID);
        // A new alias needs somewhere to put its database.
        if (edDBDirectory->text().trimmed().isEmpty())
            return refuse(QStringLiteral("A Security Database Location must be entered."), edDBDirectory);
        if (edDatabaseName->text().trimmed().isEmpty())
            return refuse(QStringLiteral("A Security Database Name must be entered."), edDatabaseName);
    }
    return true;
}

void TFormOpenSecurity::done(int result)
{
    if (result == QDialog::Accepted && !FormCloseQuery())
        return;
    QDialog::done(result);
}
