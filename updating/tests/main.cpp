#include <QCoreApplication>

#include <gtest/gtest.h>

// The session log names its default file after the program, so tests run inside an application.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
