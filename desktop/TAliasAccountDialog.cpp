#include "desktop/TAliasAccountDialog.h"

#include "platform/MessageBox.h"
#include "widgets/TOrderedGroupBox.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
QLabel* note(const char* name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    return label;
}
} // namespace

TAliasAccountDialog::TAliasAccountDialog(const QString& name, const QString& title, QWidget* owner) : QDialog(owner)
{
    setObjectName(name);
    setWindowTitle(title);
    m_steps = new QVBoxLayout(this);

    grpAlias = addStep("grpAlias", QStringLiteral("Alias:"));
    lblAliasNote = note("lblAliasNote", QStringLiteral("Select Alias or enter a new Alias to be created."), grpAlias);
    cmboxAlias = new QComboBox(grpAlias);
    cmboxAlias->setObjectName(QStringLiteral("cmboxAlias"));
    auto* aliasLayout = new QVBoxLayout(grpAlias);
    aliasLayout->addWidget(lblAliasNote);
    aliasLayout->addWidget(cmboxAlias);

    grpPassword = addStep("grpPassword", QStringLiteral("Master User ID && Password:"));
    lblPassNote = note("lblPassNote",
                       QStringLiteral("IMPORTANT: User ID & Password are case sensitive required fields.  The User ID "
                                      "& Password must exist in the InterBase security database. The Password must "
                                      "also be entered in security component."),
                       grpPassword);
    lblUserID = new QLabel(QStringLiteral("&User ID:"), grpPassword);
    lblUserID->setObjectName(QStringLiteral("lblUserID"));
    edUserID = lineEdit("edUserID", grpPassword);
    lblUserID->setBuddy(edUserID);
    lblPassword = new QLabel(QStringLiteral("&Password:"), grpPassword);
    lblPassword->setObjectName(QStringLiteral("lblPassword"));
    edPassword = lineEdit("edPassword", grpPassword);
    lblPassword->setBuddy(edPassword);
    auto* passLayout = new QGridLayout(grpPassword);
    passLayout->addWidget(lblPassNote, 0, 0, 1, 4);
    passLayout->addWidget(lblUserID, 1, 0);
    passLayout->addWidget(edUserID, 1, 1);
    passLayout->addWidget(lblPassword, 1, 2);
    passLayout->addWidget(edPassword, 1, 3);

    m_buttons = new QDialogButtonBox(this);
    bbnOk = m_buttons->addButton(QDialogButtonBox::Ok);
    bbnOk->setObjectName(QStringLiteral("bbnOk"));
    bbnCancel = m_buttons->addButton(QDialogButtonBox::Cancel);
    bbnCancel->setObjectName(QStringLiteral("bbnCancel"));
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_steps->addWidget(m_buttons);
    // A fixed dialog border: the dialog keeps the size its contents need.
    m_steps->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumWidth(460);
}

// Steps are numbered in the order they are added: white bold digits on red.
TOrderedGroupBox* TAliasAccountDialog::addStep(const char* name, const QString& caption)
{
    auto* group = new TOrderedGroupBox(caption, this);
    group->setObjectName(QLatin1String(name));
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    group->setLabelOrder(++m_stepCount);
    group->setLabelColor(Qt::red);
    group->setLabelFont(font, Qt::white);
    group->setLabelType(ltNumeric);
    // Before the buttons, once they are there.
    m_steps->insertWidget(m_buttons ? m_steps->count() - 1 : m_steps->count(), group);
    return group;
}

QLineEdit* TAliasAccountDialog::lineEdit(const char* name, QWidget* parent)
{
    auto* line = new QLineEdit(parent);
    line->setObjectName(QLatin1String(name));
    return line;
}

bool TAliasAccountDialog::refuse(const QString& text, QWidget* control)
{
    Platform::showError(text);
    control->setFocus();
    return false;
}

QList<QWidget*> TAliasAccountDialog::tabChain() const { return {cmboxAlias, edUserID, edPassword}; }

void TAliasAccountDialog::showEvent(QShowEvent* event)
{
    if (!event->spontaneous()) {
        // Set on showing, once every control exists: an editable combo box's line edit
        // and the button box's own ordering of its buttons come after the constructor
        // and would send Tab from the account straight to the buttons.
        QList<QWidget*> chain = tabChain();
        chain << bbnOk << bbnCancel;
        for (qsizetype i = 1; i < chain.size(); ++i)
            setTabOrder(chain.at(i - 1), chain.at(i));
        FormShow();
        adjustSize();
        if (QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
    }
    QDialog::showEvent(event);
}

void TAliasAccountDialog::done(int result)
{
    if (result == QDialog::Accepted && !FormCloseQuery())
        return;
    QDialog::done(result);
}
