// The desktop loses its display (the display server ends) while it has a database
// open and a dialog over it: it must end without keeping the user's other programs
// out of the database engine.
#include "tests/support/TestDatabase.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <memory>
#include <unistd.h>

namespace {
QString peerPath() { return QCoreApplication::applicationDirPath() + "/jovsec_deskpeer"; }

struct KillOnExit {
    QProcess& process;
    ~KillOnExit()
    {
        process.kill();
        process.waitForFinished(5000);
    }
};
} // namespace

TEST(DisplayLoss, AnotherProgramGetsInWithinFiveSecondsOfTheDesktopLosingItsDisplay)
{
    if (QFileInfo("/usr/bin/Xvfb").exists() == false)
        GTEST_SKIP() << "Xvfb is not installed";
    TestDatabase db;
    db.addProgram();
    db.addUser("Ann", "pw");

    const QString display = QString(":%1").arg(100 + ::getpid() % 800);
    QProcess xserver;
    xserver.start("/usr/bin/Xvfb", {display, "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
    KillOnExit stopServer {xserver};
    const QString socket = "/tmp/.X11-unix/X" + display.mid(1);
    for (int i = 0; i < 100 && !QFileInfo::exists(socket); ++i)
        QThread::msleep(100);
    ASSERT_TRUE(QFileInfo::exists(socket)) << "Xvfb did not start on " << qPrintable(display);

    QTemporaryDir settings;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("XDG_CONFIG_HOME", settings.path());
    QProcess desktop;
    desktop.setProcessEnvironment(env);
    desktop.start(peerPath(), {db.alias()});
    KillOnExit stopDesktop {desktop};
    ASSERT_TRUE(desktop.waitForReadyRead(60000)) << desktop.readAllStandardError().toStdString();
    ASSERT_EQ(desktop.readAllStandardOutput().trimmed(), "ready") << desktop.readAllStandardError().toStdString();

    QElapsedTimer clock;
    xserver.kill();
    clock.start();
    QProcess second;
    second.start(peerPath(), {"--count", db.alias()});
    KillOnExit stopSecond {second};
    const bool attached = second.waitForFinished(5000);
    EXPECT_TRUE(attached) << "the second program still waited after " << clock.elapsed() << " ms";
    if (attached) {
        EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
        EXPECT_EQ(second.readAllStandardOutput().trimmed(), "1");
    }
    EXPECT_TRUE(desktop.waitForFinished(5000)) << "the desktop did not end";
}
