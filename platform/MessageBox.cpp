#include "platform/MessageBox.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace Platform {
namespace {
MessageHandler& messageHandler()
{
    static MessageHandler handler;
    return handler;
}
InputHandler& inputHandler()
{
    static InputHandler handler;
    return handler;
}
LoginHandler& loginHandler()
{
    static LoginHandler handler;
    return handler;
}

// The window a box belongs to, so that it opens centred on it: the modal dialog the
// user is working in, else the active window, else the visible main window. The
// active window alone is not enough: it is none while the window system moves the
// focus, and then a box would open in the middle of the screen.
QWidget* ownerWindow()
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->inherits("QMainWindow"))
            return w;
    return nullptr;
}

QMessageBox::Icon iconFor(MsgKind kind)
{
    switch (kind) {
    case MsgKind::Error:
        return QMessageBox::Critical;
    case MsgKind::Information:
        return QMessageBox::Information;
    case MsgKind::Warning:
        return QMessageBox::Warning;
    case MsgKind::Confirmation:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QString titleFor(MsgKind kind)
{
    switch (kind) {
    case MsgKind::Error:
        return QStringLiteral("Error");
    case MsgKind::Information:
        return QStringLiteral("Information");
    case MsgKind::Warning:
        return QStringLiteral("Warning");
    case MsgKind::Confirmation:
        return QStringLiteral("Confirm");
    }
    return QString();
}
} // namespace

MsgResult messageBox(const QString& text, MsgKind kind, MsgButtons buttons, QWidget* parent)
{
    if (messageHandler())
        return messageHandler()(text, kind, buttons);
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        qWarning("%s", qPrintable(text));
        return buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
    }
    QMessageBox box(iconFor(kind), titleFor(kind), text,
                    buttons == MsgButtons::YesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
                    parent ? parent->window() : ownerWindow());
    const int answer = box.exec();
    if (buttons == MsgButtons::YesNo)
        return answer == QMessageBox::Yes ? MsgResult::Yes : MsgResult::No;
    return MsgResult::Ok;
}

void showError(const QString& text, QWidget* parent) { messageBox(text, MsgKind::Error, MsgButtons::Ok, parent); }

void showInformation(const QString& text) { messageBox(text, MsgKind::Information); }

bool askYesNo(const QString& text, MsgKind kind) { return messageBox(text, kind, MsgButtons::YesNo) == MsgResult::Yes; }

bool inputBox(const QString& caption, const QString& prompt, QString& value)
{
    if (inputHandler())
        return inputHandler()(caption, prompt, value);
    QInputDialog dialog(ownerWindow());
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(value);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = dialog.textValue();
    return true;
}

bool inputBox(const QString& caption, const QString& prompt, QString& value, const ReadOnlyField& shown)
{
    if (inputHandler())
        return inputHandler()(caption, prompt, value);
    QDialog dialog(ownerWindow());
    dialog.setWindowTitle(caption);
    auto* layout = new QFormLayout(&dialog);
    layout->setSizeConstraint(QLayout::SetFixedSize); // as the log-in prompt below
    auto* fixed = new QLineEdit(shown.value, &dialog);
    fixed->setObjectName(QStringLiteral("edShown"));
    fixed->setReadOnly(true);
    auto* edit = new QLineEdit(value, &dialog);
    edit->setObjectName(QStringLiteral("edValue"));
    layout->addRow(shown.label, fixed);
    layout->addRow(prompt, edit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(buttons);
    edit->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = edit->text();
    return true;
}

bool loginPrompt(const QString& databaseName, QString& userName, QString& password)
{
    if (loginHandler())
        return loginHandler()(databaseName, userName, password);
    QDialog dialog(ownerWindow());
    dialog.setWindowTitle(QStringLiteral("Database Login"));
    auto* layout = new QFormLayout(&dialog);
    // As large as its fields and no larger: a window manager gives a resizable window
    // a grip under its buttons, and stretching the box only spreads its rows apart.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    auto* edUser = new QLineEdit(userName, &dialog);
    edUser->setObjectName(QStringLiteral("edUserName"));
    auto* edPassword = new QLineEdit(&dialog);
    edPassword->setObjectName(QStringLiteral("edPassword"));
    edPassword->setEchoMode(QLineEdit::Password);
    layout->addRow(QStringLiteral("Database: ") + databaseName, static_cast<QWidget*>(nullptr));
    layout->addRow(QStringLiteral("User Name:"), edUser);
    layout->addRow(QStringLiteral("Password:"), edPassword);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(buttons);
    if (userName.isEmpty())
        edUser->setFocus();
    else
        edPassword->setFocus();
    if (dialog.exec() != QDialog::Accepted)
        return false;
    userName = edUser->text();
    password = edPassword->text();
    return true;
}

void setMessageHandler(MessageHandler handler) { messageHandler() = std::move(handler); }
void setInputHandler(InputHandler handler) { inputHandler() = std::move(handler); }
void setLoginHandler(LoginHandler handler) { loginHandler() = std::move(handler); }

} // namespace Platform
