#include "platform/UnicodeText.h"

#include "platform/MessageBox.h"

#include <QLineEdit>

bool Platform::isValidUnicode(const QString& text) { return text.isValidUtf16(); }

QString Platform::invalidTextMessage(const QString& boxName)
{
    return QStringLiteral("The %1 holds a character that is not valid text and cannot be stored. "
                          "Please type it again.")
        .arg(boxName);
}

bool Platform::acceptsAsUnicode(const QString& text, const QString& boxName)
{
    if (isValidUnicode(text))
        return true;
    showError(invalidTextMessage(boxName));
    return false;
}

bool Platform::acceptsAsUnicode(QLineEdit* box, const QString& boxName)
{
    if (acceptsAsUnicode(box->text(), boxName))
        return true;
    box->setFocus();
    box->selectAll();
    return false;
}
