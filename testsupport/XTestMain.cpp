// The main of test programs that drive their windows through a real X server: a private Xvfb
// is started first, and the QApplication runs on it (xcb) while the tests send it mouse and
// keys through the server (XServer::Instance()).
#include "testsupport/XServer.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdio>

// Qt's desktop integration on X keeps a D-Bus connection that libdbus never frees: not ours.
extern "C" const char *__lsan_default_suppressions();
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libdbus-1.so\n";
}

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    kestrova::test::XServer server;
    if (!server.Running()) {
        std::fprintf(stderr, "%s\n", qPrintable(server.Error()));
        return 1;
    }
    kestrova::test::XServer::SetInstance(&server);
    qputenv("DISPLAY", server.Display().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    int result = 0;
    {
        QApplication app(argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
