#pragma once
// Replaces the platform's message box for the life of the object: records every
// text and kind, and answers questions with the queued answers (No when none left).

#include "platform/MessageBox.h"

#include <QList>
#include <QStringList>

class MessageRecorder {
public:
    struct Shown {
        QString text;
        Platform::MsgKind kind;
        Platform::MsgButtons buttons;
    };

    MessageRecorder()
    {
        Platform::setMessageHandler([this](const QString& text, Platform::MsgKind kind, Platform::MsgButtons buttons) {
            shown.append({text, kind, buttons});
            if (onShow)
                onShow(text);
            if (buttons == Platform::MsgButtons::YesNo)
                return answers.isEmpty() ? Platform::MsgResult::No : answers.takeFirst();
            return Platform::MsgResult::Ok;
        });
    }
    ~MessageRecorder() { Platform::setMessageHandler({}); }

    QStringList texts() const
    {
        QStringList list;
        for (const Shown& s : shown)
            list << s.text;
        return list;
    }
    QString last() const { return shown.isEmpty() ? QString() : shown.last().text; }
    void clear() { shown.clear(); }

    QList<Shown> shown;
    QList<Platform::MsgResult> answers;
    std::function<void(const QString&)> onShow;
};
