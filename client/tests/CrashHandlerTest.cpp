// The exception reporter: a report names what ended the program and carries every registered
// section; fatal signals and uncaught exceptions write one before the program ends.
#include "client/CrashHandler.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>

namespace {

QString Read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

[[noreturn]] void ThrowUncaught()
{
    throw std::runtime_error("nobody caught this");
}

// Nothing above it catches: the exception ends the program as one in an event handler would.
void EndWithAnUncaughtException() noexcept
{
    ThrowUncaught();
}

class CrashHandler : public ::testing::Test
{
protected:
    void TearDown() override { TQorCrashHandler::Uninstall(); }
    QString ReportFile() const { return dir.filePath(QStringLiteral("crashreport.txt")); }
    QTemporaryDir dir;
};

} // namespace

TEST_F(CrashHandler, AReportCarriesTheMessageAndEverySection)
{
    TQorCrashHandler::Install(ReportFile(), QStringLiteral("Quorva Kestrova : 1.0.0.0"));
    TQorCrashHandler::RegisterSection(QStringLiteral("memory info"), QStringLiteral("extended memory information"),
                                      [] { return QStringLiteral("free: plenty"); });
    TQorCrashHandler::RegisterSection(QStringLiteral("broken"), QStringLiteral("a section that fails"),
                                      []() -> QString { throw std::runtime_error("no"); });
    TQorCrashHandler::ReportException(QStringLiteral("Missing plugins folder!"));
    TQorCrashHandler::UnregisterSection(QStringLiteral("memory info"));
    TQorCrashHandler::UnregisterSection(QStringLiteral("broken"));
    const QString report = Read(ReportFile());
    EXPECT_TRUE(report.contains(QStringLiteral("Quorva Kestrova : 1.0.0.0")));
    EXPECT_TRUE(report.contains(QStringLiteral("Missing plugins folder!")));
    EXPECT_TRUE(report.contains(QStringLiteral("---- memory info (extended memory information) ----\nfree: plenty")));
    EXPECT_TRUE(report.contains(QStringLiteral("(this section could not be written)")));
}

TEST_F(CrashHandler, AnUncaughtExceptionIsReportedBeforeTheProgramEnds)
{
    EXPECT_DEATH(
        {
            TQorCrashHandler::Install(ReportFile(), QStringLiteral("Quorva"));
            EndWithAnUncaughtException();
        },
        "");
    EXPECT_TRUE(Read(ReportFile()).contains(QStringLiteral("Unhandled exception: nobody caught this")));
}

TEST_F(CrashHandler, AFatalSignalIsReportedWithItsCallStack)
{
    EXPECT_DEATH(
        {
            TQorCrashHandler::Install(ReportFile(), QStringLiteral("Quorva"));
            std::raise(SIGABRT);
        },
        "");
    const QString report = Read(ReportFile());
    EXPECT_TRUE(report.contains(QStringLiteral("Signal: SIGABRT (aborted)")));
    EXPECT_TRUE(report.contains(QStringLiteral("Call stack:")));
}
