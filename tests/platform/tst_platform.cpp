// The platform layer: the replaceable message function and the request to end the
// application.
#include "platform/Application.h"
#include "platform/DynamicLibrary.h"
#include "platform/MessageBox.h"
#include "platform/OsInfo.h"
#include "tests/support/MessageRecorder.h"
#include "tests/support/ModalPoller.h"

#include <QCoreApplication>
#include <QDialog>
#include <QLineEdit>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

TEST(Messages, EveryBoxReachesTheInstalledHandlerWithItsKindAndAnswer)
{
    MessageRecorder recorder;
    recorder.answers = {Platform::MsgResult::Yes};
    Platform::showError("Bad");
    Platform::showInformation("Note");
    EXPECT_TRUE(Platform::askYesNo("Sure?", Platform::MsgKind::Warning));
    EXPECT_FALSE(Platform::askYesNo("Again?")); // no answer queued: No
    ASSERT_EQ(recorder.shown.size(), 4);
    EXPECT_EQ(recorder.shown[0].kind, Platform::MsgKind::Error);
    EXPECT_EQ(recorder.shown[1].kind, Platform::MsgKind::Information);
    EXPECT_EQ(recorder.shown[2].kind, Platform::MsgKind::Warning);
    EXPECT_EQ(recorder.shown[2].buttons, Platform::MsgButtons::YesNo);
    EXPECT_EQ(recorder.texts(), QStringList({"Bad", "Note", "Sure?", "Again?"}));
}

TEST(Messages, InputBoxHandlerEditsTheValue)
{
    Platform::setInputHandler([](const QString& caption, const QString& prompt, QString& value) {
        EXPECT_EQ(caption, "Add New Access Constant");
        EXPECT_EQ(prompt, "Access Label");
        value = "Print";
        return true;
    });
    QString value;
    EXPECT_TRUE(Platform::inputBox("Add New Access Constant", "Access Label", value));
    EXPECT_EQ(value, "Print");
    Platform::setInputHandler({});
}

// The real log-in prompt: as large as its fields (a resizable box gets a window
// manager's grip under its buttons), and what was typed comes back.
TEST(Messages, TheLoginPromptIsAsLargeAsItsFieldsAndGivesBackWhatWasTyped)
{
    QSize smallest, largest;
    whenModal([&](QWidget* modal) {
        smallest = modal->minimumSize();
        largest = modal->maximumSize();
        auto* password = modal->findChild<QLineEdit*>("edPassword");
        ASSERT_NE(password, nullptr);
        password->setText("masterkey");
        static_cast<QDialog*>(modal)->accept();
    });
    QString user = "SYSDBA", password;
    EXPECT_TRUE(Platform::loginPrompt("AUDEMO", user, password));
    EXPECT_EQ(user, "SYSDBA");
    EXPECT_EQ(password, "masterkey");
    EXPECT_FALSE(smallest.isEmpty());
    EXPECT_EQ(largest, smallest);
}

TEST(Terminate, ARequestBeforeTheEventLoopEndsTheLoopAsItStarts)
{
    Platform::resetTerminationRequest();
    Platform::terminateApplication();
    EXPECT_TRUE(Platform::terminationRequested());
    bool fallbackFired = false;
    // Should the request be lost, this ends the loop instead and the test fails.
    QTimer::singleShot(5000, [&] {
        fallbackFired = true;
        QCoreApplication::exit(1);
    });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_FALSE(fallbackFired);
    Platform::resetTerminationRequest();
}

TEST(OsInfo, SearchPathFindsTheFirstFolderHoldingTheFile)
{
    QTemporaryDir a, b;
    QFile f(b.path() + "/NWCALLS.DLL");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_EQ(Platform::searchPath({a.path(), "", b.path()}, "NWCALLS.DLL"),
              QDir(b.path()).absoluteFilePath("NWCALLS.DLL"));
    EXPECT_TRUE(Platform::searchPath({a.path()}, "NWCALLS.DLL").isEmpty());
    EXPECT_TRUE(Platform::programDirectory().endsWith('/'));
    EXPECT_GT(Platform::memoryStatus().totalPhysical, 0u);
}

TEST(OsInfo, LoadingAFileThatIsNoLibraryFails)
{
    QTemporaryDir dir;
    QFile f(dir.path() + "/junk.so");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a library");
    f.close();
    Platform::DynamicLibrary lib;
    EXPECT_FALSE(lib.load(f.fileName()));
    EXPECT_EQ(lib.symbol("anything"), nullptr);
}
