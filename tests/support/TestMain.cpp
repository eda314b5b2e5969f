// Test programs run on the offscreen platform, with every message box recorded.
#include "database/TFirebirdEnv.h"
#include "tests/support/TestDatabase.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    TFirebirdEnv::prepare();
    useTestConfig();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
