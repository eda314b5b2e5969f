#pragma once
// Text typed or pasted into a name or password box must be valid Unicode before it
// is stored or compared. A lone half of a UTF-16 surrogate pair (which a paste or an
// input method can produce) has no UTF-8 form: the engine would store "?" in its
// place, and a password stored so could never be typed again.

#include <QString>

class QLineEdit;

namespace Platform {

bool isValidUnicode(const QString& text);

// The refusal shown for such text in the box of this name ("Password").
QString invalidTextMessage(const QString& boxName);

// True when text is valid; otherwise shows the refusal and returns false.
bool acceptsAsUnicode(const QString& text, const QString& boxName);
// The same for an edit; a refused edit gets the focus with its text selected, so
// the user can type it again. Nothing is cleared.
bool acceptsAsUnicode(QLineEdit* box, const QString& boxName);

} // namespace Platform
