// The desktop's main window starts with its caption and status bar and closes cleanly.
#include "desktop/Admnunt.h"

#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <gtest/gtest.h>

TEST(Desktop, MainWindowShowsItsCaptionAndStatusBarAndCloses)
{
    {
        TFormAdmin window;
        window.show();
        EXPECT_EQ(FormAdmin, &window);
        EXPECT_EQ(window.windowTitle(), "C/S Security Administration Desktop");
        EXPECT_TRUE(window.statusBar()->isVisible());
        EXPECT_TRUE(window.OpenAlias.isEmpty());
        EXPECT_TRUE(window.close());
    }
    EXPECT_EQ(FormAdmin, nullptr);
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty() ||
                std::none_of(QApplication::topLevelWidgets().begin(), QApplication::topLevelWidgets().end(),
                             [](QWidget* w) { return w->isVisible(); }));
}
