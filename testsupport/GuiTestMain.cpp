// The main of test programs that need a QApplication; it runs offscreen.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // Also when CTest lists the tests, where its environment settings do not apply yet.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
