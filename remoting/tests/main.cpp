#include <QCoreApplication>

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
// Freed memory waits in the sanitizer's quarantine (256 MB by default) and counts as resident;
// a smaller one keeps the memory figures of the hostile-client tests close to a plain build's.
extern "C" const char *__asan_default_options()
{
    return "quarantine_size_mb=32";
}
#endif

// The session log names its default file after the program, so tests run inside an application.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
