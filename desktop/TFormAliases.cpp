#include "desktop/TFormAliases.h"

#include "database/TAliases.h"
#include "desktop/TFormAliasEdit.h"
#include "platform/MessageBox.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
QString serverText(const TAliases::Entry& e)
{
    if (!e.remote())
        return QStringLiteral("this computer");
    return e.port < 0 ? e.host : QStringLiteral("%1, port %2").arg(e.host).arg(e.port);
}

QString fileText(const TAliases::Entry& e)
{
    if (e.location.isEmpty())
        return QStringLiteral("no location");
    if (e.remote())
        return QStringLiteral("on the server");
    return e.fileExists ? QStringLiteral("exists") : QStringLiteral("missing");
}
} // namespace

TFormAliases::TFormAliases(const QString& openAlias, QWidget* owner) : QDialog(owner), m_openAlias(openAlias)
{
    setObjectName(QStringLiteral("FormAliases"));
    setWindowTitle(QStringLiteral("Aliases"));

    lblAliasFile = new QLabel(this);
    lblAliasFile->setObjectName(QStringLiteral("lblAliasFile"));
    lblAliasFile->setWordWrap(true);
    lblAliasFile->setTextInteractionFlags(Qt::TextSelectableByMouse);

    lvAliases = new QTreeWidget(this);
    lvAliases->setObjectName(QStringLiteral("lvAliases"));
    lvAliases->setRootIsDecorated(false);
    lvAliases->setAllColumnsShowFocus(true);
    lvAliases->setUniformRowHeights(true);
    lvAliases->setHeaderLabels({QStringLiteral("Alias"), QStringLiteral("Server"), QStringLiteral("Location"),
                                QStringLiteral("File"), QStringLiteral("User"), QStringLiteral("Password")});
    lvAliases->header()->setStretchLastSection(false);
    lvAliases->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    lvAliases->header()->setSectionResizeMode(ColLocation, QHeaderView::Stretch);
    lvAliases->setMinimumSize(640, 220);

    btnChange = new QPushButton(QStringLiteral("C&hange..."), this);
    btnChange->setObjectName(QStringLiteral("btnChange"));
    btnChange->setToolTip(QStringLiteral("Correct the alias's location or account"));
    btnForgetPassword = new QPushButton(QStringLiteral("&Forget Password"), this);
    btnForgetPassword->setObjectName(QStringLiteral("btnForgetPassword"));
    btnForgetPassword->setToolTip(QStringLiteral("Remove the password stored in the alias"));
    btnRemove = new QPushButton(QStringLiteral("&Remove"), this);
    btnRemove->setObjectName(QStringLiteral("btnRemove"));
    btnRemove->setToolTip(QStringLiteral("Remove the alias; its database file stays"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    bbtnClose = buttons->button(QDialogButtonBox::Close);
    bbtnClose->setObjectName(QStringLiteral("bbtnClose"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(btnChange);
    row->addWidget(btnForgetPassword);
    row->addWidget(btnRemove);
    row->addStretch();
    row->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblAliasFile);
    layout->addWidget(lvAliases, 1);
    layout->addLayout(row);

    connect(btnChange, &QPushButton::clicked, this, &TFormAliases::btnChangeClick);
    connect(btnForgetPassword, &QPushButton::clicked, this, &TFormAliases::btnForgetPasswordClick);
    connect(btnRemove, &QPushButton::clicked, this, &TFormAliases::btnRemoveClick);
    connect(lvAliases, &QTreeWidget::currentItemChanged, this, &TFormAliases::updateButtons);
    // Enter on the list reaches the default button, Change; a double click does the same.
    btnChange->setDefault(true);
    connect(lvAliases, &QTreeWidget::itemDoubleClicked, this, &TFormAliases::btnChangeClick);
    FormShow();
}

void TFormAliases::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        FormShow();
        lvAliases->setFocus();
    }
    QDialog::showEvent(event);
}

void TFormAliases::FormShow()
{
    const QString selected = selectedAlias();
    const QString refusal = TAliases::refusal();
    lblAliasFile->setText(refusal.isEmpty() ? QStringLiteral("Aliases are kept in %1.").arg(TAliases::configFile())
                                            : refusal);
    lvAliases->clear();
    for (const TAliases::Entry& e : TAliases::entries()) {
        auto* item = new QTreeWidgetItem(lvAliases);
        item->setText(ColAlias, e.name);
        item->setText(ColServer, serverText(e));
        item->setText(ColLocation, e.remote() ? e.path : e.location);
        item->setText(ColFile, fileText(e));
        item->setText(ColUser, e.user);
        item->setText(ColPassword, e.storesPassword ? QStringLiteral("stored") : QStringLiteral("none"));
        item->setToolTip(ColLocation, e.where());
        if (!e.remote() && !e.fileExists)
            item->setForeground(ColFile, QColor(Qt::red));
    }
    if (!selected.isEmpty())
        selectAlias(selected);
    if (!lvAliases->currentItem() && lvAliases->topLevelItemCount() > 0)
        lvAliases->setCurrentItem(lvAliases->topLevelItem(0));
    updateButtons();
}

QString TFormAliases::selectedAlias() const
{
    const QTreeWidgetItem* item = lvAliases->currentItem();
    return item ? item->text(ColAlias) : QString();
}

void TFormAliases::selectAlias(const QString& alias)
{
    for (int i = 0; i < lvAliases->topLevelItemCount(); ++i)
        if (lvAliases->topLevelItem(i)->text(ColAlias).compare(alias, Qt::CaseInsensitive) == 0) {
            lvAliases->setCurrentItem(lvAliases->topLevelItem(i));
            return;
        }
}

void TFormAliases::updateButtons()
{
    const QTreeWidgetItem* item = lvAliases->currentItem();
    btnChange->setEnabled(item);
    btnRemove->setEnabled(item);
    btnForgetPassword->setEnabled(item && item->text(ColPassword) == QLatin1String("stored"));
}

bool TFormAliases::notOpen(const QString& alias, const QString& action) const
{
    if (m_openAlias.isEmpty() || alias.compare(m_openAlias, Qt::CaseInsensitive) != 0)
        return true;
    Platform::showError(QStringLiteral("The alias %1 belongs to the open security database. Close it (File > "
                                       "Close) before you %2 the alias.")
                            .arg(alias, action));
    return false;
}

void TFormAliases::btnRemoveClick()
{
    const QString alias = selectedAlias();
    TAliases::Entry entry;
    if (alias.isEmpty() || !notOpen(alias, QStringLiteral("remove")) || !TAliases::entry(alias, &entry))
        return;
    const QString question =
        entry.location.isEmpty()
            ? QStringLiteral("Remove the alias %1?").arg(alias)
            : QStringLiteral("Remove the alias %1?\n\nThe database %2 is not deleted; only the alias goes.")
                  .arg(alias, entry.where());
    if (!Platform::askYesNo(question))
        return;
    if (QString error; !TAliases::deleteAlias(alias, &error))
        Platform::showError(QStringLiteral("Unable to remove the alias %1.\n%2").arg(alias, error));
    FormShow();
}

void TFormAliases::btnForgetPasswordClick()
{
    const QString alias = selectedAlias();
    if (alias.isEmpty())
        return;
    if (!Platform::askYesNo(QStringLiteral("Forget the password stored in the alias %1?\n\nPrograms that open "
                                           "it then ask for the password, or take it from the security "
                                           "component.")
                                .arg(alias)))
        return;
    const QStringList params = TAliases::withoutParam(TAliases::params(alias), QStringLiteral("PASSWORD"));
    if (QString error; !TAliases::setParams(alias, params, &error))
        Platform::showError(QStringLiteral("Unable to change the alias %1.\n%2").arg(alias, error));
    FormShow();
}

void TFormAliases::btnChangeClick()
{
    const QString alias = selectedAlias();
    if (alias.isEmpty() || !notOpen(alias, QStringLiteral("change")))
        return;
    TFormAliasEdit dialog(alias, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (QString error; !TAliases::setParams(alias, dialog.params(), &error))
        Platform::showError(QStringLiteral("Unable to change the alias %1.\n%2").arg(alias, error));
    FormShow();
}
