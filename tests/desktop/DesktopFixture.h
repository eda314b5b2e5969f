#pragma once
// Shared set-up of the desktop tests: the main window on a private settings folder,
// every message recorded, the engine's log-in prompt answered and counted, and the
// security databases the tests open.

#include "database/TAliases.h"
#include "database/TDatabase.h"
#include "desktop/TFormAdmin.h"
#include "platform/MessageBox.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/ModalPoller.h"
#include "tests/support/TestDatabase.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '{' << list.join(QStringLiteral("|")).toStdString() << '}';
}

class DesktopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The window's remembered geometry goes to a private folder.
        static QTemporaryDir settingsDir;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    }

    void SetUp() override
    {
        Platform::setLoginHandler([this](const QString& database, QString& user, QString& password) {
            logins << database + "|" + user;
            if (!acceptLogin)
                return false;
            if (!loginUser.isEmpty())
                user = loginUser;
            password = loginPassword;
            return true;
        });
        TDatabase::setLoginPromptHandler(&Platform::loginPrompt);
        window = std::make_unique<TFormAdmin>();
    }

    void TearDown() override
    {
        ++modalPollerGeneration();
        window.reset();
        for (QWidget* w : QApplication::topLevelWidgets())
            w->close();
        Platform::setLoginHandler({});
        TDatabase::dropTemporaryConnections();
    }

    // The menus on the menu bar, by caption.
    QStringList menuBarCaptions() const
    {
        QStringList captions;
        for (QAction* action : window->menuBar()->actions())
            if (action->isVisible())
                captions << action->text();
        return captions;
    }

    MessageRecorder messages;
    QStringList logins;
    bool acceptLogin = true;
    QString loginUser;
    QString loginPassword = QStringLiteral("masterkey");
    std::unique_ptr<TFormAdmin> window;
};
