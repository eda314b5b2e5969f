// jovsecadm: administers a security database from scripts. See TAdminTool.h.
#include "TAdminTool.h"

#include "database/TFirebirdEnv.h"
#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <csignal>
#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    // A reader that went away (a closed pipe) fails the write, which the tool reports,
    // rather than ending the program with no word.
    std::signal(SIGPIPE, SIG_IGN);
    TFirebirdEnv::prepare();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Only the report command draws, and it draws off screen: the others need no
    // display and no graphical libraries at all.
    std::unique_ptr<QCoreApplication> app;
    if (TAdminTool::needsGraphics(arguments)) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("jovsecadm"));
    // A message the shared code would show in a box goes to standard error; a
    // question is answered No, so a script never waits on a box.
    Platform::setMessageHandler([](const QString& text, Platform::MsgKind, Platform::MsgButtons buttons) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        return buttons == Platform::MsgButtons::YesNo ? Platform::MsgResult::No : Platform::MsgResult::Ok;
    });
    QTextStream out(stdout);
    QTextStream err(stderr);
    return TAdminTool::run(app->arguments().mid(1), out, err);
}
