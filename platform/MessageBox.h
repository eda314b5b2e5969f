#pragma once
// The one way the system asks or tells the user anything. Every message box, the
// one-line input box and the engine's log-in prompt go through here, so a test can
// replace the implementation, record what was shown and give the answers.

#include <QString>
#include <functional>

class QWidget;

namespace Platform {

enum class MsgKind { Error, Information, Warning, Confirmation };
enum class MsgButtons { Ok, YesNo };
enum class MsgResult { Ok, Yes, No, Cancel };

// Shows a modal message box (or hands it to the installed handler) over parent's
// window; without a parent, over the window the user is working in. A caller that
// has just closed a dialog names its window: until the window system gives the
// focus back there is no active window, and the box would open over another one.
MsgResult messageBox(const QString& text, MsgKind kind, MsgButtons buttons = MsgButtons::Ok, QWidget* parent = nullptr);

// Short forms for the common kinds.
void showError(const QString& text, QWidget* parent = nullptr);
void showInformation(const QString& text);
bool askYesNo(const QString& text, MsgKind kind = MsgKind::Confirmation);

// A modal one-line input box; returns whether OK was pressed, with the text in value.
bool inputBox(const QString& caption, const QString& prompt, QString& value);

// A value the input box shows read-only above its edit (the row's id, say), so the
// user can read and copy it. An installed input handler is not shown it.
struct ReadOnlyField {
    QString label;
    QString value;
};
bool inputBox(const QString& caption, const QString& prompt, QString& value, const ReadOnlyField& shown);

// The engine's log-in prompt: asks for user name and password of a database.
bool loginPrompt(const QString& databaseName, QString& userName, QString& password);

using MessageHandler = std::function<MsgResult(const QString& text, MsgKind, MsgButtons)>;
using InputHandler = std::function<bool(const QString& caption, const QString& prompt, QString& value)>;
using LoginHandler = std::function<bool(const QString& databaseName, QString& userName, QString& password)>;

// Replace the implementations (tests); an empty function restores the real boxes.
void setMessageHandler(MessageHandler handler);
void setInputHandler(InputHandler handler);
void setLoginHandler(LoginHandler handler);

} // namespace Platform
