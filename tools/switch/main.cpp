// Switch: the swap program of the self-update. A program that has parked its new version
// starts Switch with the hand-over list and ends; Switch puts the new version in place.
#include "SwitchJob.h"

#include "foundation/QuorvaLogFile.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

// Long enough for a server to close its database and listeners.
constexpr int kWaitForEndMs = 60000;

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const std::optional<SwitchOrder> order = SwitchOrder::FromArguments(arguments.mid(1));
    if (!order) {
        std::fprintf(stderr, "Switch: expected [--in-process] and one argument of CR LF-ended lines (program, "
                             "parked program, \"True\" to start it again, \"WriteLog\" to log), then the "
                             "program's arguments\n");
        return 2;
    }
    TQorLog log;
    log.SetEnabled(order->writeLog);
    SessionLog = &log;
    try {
        log.CreateHeader(QStringLiteral("Switch"), app.applicationDirPath());
        return RunSwitch(*order, app.applicationDirPath(), kWaitForEndMs);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "Switch: %s\n", error.what());
        return 1;
    }
}
