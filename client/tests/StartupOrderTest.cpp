// The start-up and teardown order with fake steps: each branch in its order, every refused
// start with its message and a teardown in order, and the log's final lines in every case.
#include "client/QuorvaStartup.h"

#include "testsupport/ClientTestSupport.h"
#include "testsupport/QtPrinters.h"

#include <QCoreApplication>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using namespace kestrova::test;

class FakeSteps : public IQuorvaStartupSteps
{
public:
    QStringList calls;
    QString failAt;
    int modules = 2;
    int connected = 0;
    int update = 4;
    int initialSetup = 4;
    bool setupFinished = true;
    int logOn = 0;

    void InitializeApplication() override { Call(QStringLiteral("InitializeApplication")); }
    void CreateMainWindow() override { Call(QStringLiteral("CreateMainWindow")); }
    void CreateProgressWindow() override { Call(QStringLiteral("CreateProgressWindow")); }
    void SetProgress(int position) override { Call(QStringLiteral("SetProgress %1").arg(position)); }
    void SetTitle(const QString &title) override { Call(QStringLiteral("SetTitle ") + title); }
    void CreateDataModule() override { Call(QStringLiteral("CreateDataModule")); }
    void ReadConfiguration() override { Call(QStringLiteral("ReadConfiguration")); }
    int LoadHydraModules() override { return Call(QStringLiteral("LoadHydraModules"), modules); }
    void ShowError(int textNo, int captionNo) override { Call(QStringLiteral("ShowError %1 %2").arg(textNo).arg(captionNo)); }
    void LoadSplash() override { Call(QStringLiteral("LoadSplash")); }
    void ProcessMessages() override { Call(QStringLiteral("ProcessMessages")); }
    void ShowSplash() override { Call(QStringLiteral("ShowSplash")); }
    void HideProgressWindow() override { Call(QStringLiteral("HideProgressWindow")); }
    void UpdateSplash(int textNo) override { Call(QStringLiteral("UpdateSplash %1").arg(textNo)); }
    void CreateDataAccessModule() override { Call(QStringLiteral("CreateDataAccessModule")); }
    int ConnectToServer() override { return Call(QStringLiteral("ConnectToServer"), connected); }
    void UnloadSplash() override { Call(QStringLiteral("UnloadSplash")); }
    int CheckForUpdate() override { return Call(QStringLiteral("CheckForUpdate"), update); }
    void StartUpdater() override { Call(QStringLiteral("StartUpdater")); }
    int CheckInitialSetup() override { return Call(QStringLiteral("CheckInitialSetup"), initialSetup); }
    bool RunInitialSetup() override { return Call(QStringLiteral("RunInitialSetup"), setupFinished); }
    int ProcessLogon() override { return Call(QStringLiteral("ProcessLogon"), logOn); }
    void ConnectEventHandler() override { Call(QStringLiteral("ConnectEventHandler")); }
    void InitializeForm() override { Call(QStringLiteral("InitializeForm")); }
    void RunMessageLoop() override { Call(QStringLiteral("RunMessageLoop")); }
    void DisConnectEventHandler() override { Call(QStringLiteral("DisConnectEventHandler")); }
    void CloseProgressWindow() override { Call(QStringLiteral("CloseProgressWindow")); }
    void ReleaseMainWindow() override { Call(QStringLiteral("ReleaseMainWindow")); }
    void CloseDatamodule() override { Call(QStringLiteral("CloseDatamodule")); }
    void FreeDataModule() override { Call(QStringLiteral("FreeDataModule")); }

private:
    template <class T = int>
    T Call(const QString &name, T answer = {})
    {
        calls << name;
        if (!failAt.isEmpty() && name.startsWith(failAt))
            throw std::runtime_error(("failed in " + failAt).toStdString());
        return answer;
    }
};

const QStringList kFirstSteps = {
    QStringLiteral("InitializeApplication"), QStringLiteral("CreateMainWindow"), QStringLiteral("CreateProgressWindow"),
    QStringLiteral("SetProgress 10"),        QStringLiteral("SetTitle Kestrova"), QStringLiteral("CreateDataModule"),
    QStringLiteral("SetProgress 40"),        QStringLiteral("ReadConfiguration"), QStringLiteral("SetProgress 60")};
const QStringList kToTheServer = {
    QStringLiteral("LoadHydraModules"), QStringLiteral("SetTitle Kestrova"), QStringLiteral("LoadSplash"),
    QStringLiteral("ProcessMessages"), QStringLiteral("SetProgress 70"), QStringLiteral("ShowSplash"),
    QStringLiteral("SetProgress 90"), QStringLiteral("HideProgressWindow"), QStringLiteral("UpdateSplash 1101"),
    QStringLiteral("CreateDataAccessModule"), QStringLiteral("UpdateSplash 1102"), QStringLiteral("UpdateSplash 1103"),
    QStringLiteral("ConnectToServer"), QStringLiteral("ProcessMessages")};
const QStringList kToTheBranch = {QStringLiteral("UpdateSplash 1108"), QStringLiteral("CheckForUpdate"),
                                  QStringLiteral("CheckInitialSetup")};
const QStringList kLogOnBranch = {
    QStringLiteral("ProcessLogon"),        QStringLiteral("ProcessMessages"),  QStringLiteral("UpdateSplash 1108"),
    QStringLiteral("ConnectEventHandler"), QStringLiteral("UpdateSplash 1109"), QStringLiteral("InitializeForm"),
    QStringLiteral("UnloadSplash"),        QStringLiteral("RunMessageLoop"),   QStringLiteral("DisConnectEventHandler")};
const QStringList kSetupBranch = {
    QStringLiteral("UpdateSplash 1105"), QStringLiteral("RunInitialSetup"), QStringLiteral("UpdateSplash 1108"),
    QStringLiteral("ConnectEventHandler"), QStringLiteral("InitializeForm"), QStringLiteral("UpdateSplash 1109"),
    QStringLiteral("UnloadSplash"), QStringLiteral("RunMessageLoop"), QStringLiteral("DisConnectEventHandler")};
const QStringList kTeardown = {QStringLiteral("CloseProgressWindow"), QStringLiteral("ReleaseMainWindow"),
                               QStringLiteral("CloseDatamodule"), QStringLiteral("FreeDataModule")};
const QString kFrame = QString(82, QLatin1Char('*'));

class StartupOrder : public ::testing::Test
{
protected:
    void Run()
    {
        TQuorvaStartup(steps, dir.filePath(QStringLiteral("Quorva")), QStringLiteral("1.2.3.4")).Run();
    }
    QStringList Log() const { return FileLines(dir.filePath(QStringLiteral("session.txt"))); }
    // The session log ends with the shut-down line and the closing frame.
    void ExpectFinalLines() const
    {
        const QStringList lines = Log();
        ASSERT_GE(lines.size(), 2);
        EXPECT_TRUE(lines[lines.size() - 2].contains(QStringLiteral("System Shutdown"))) << lines[lines.size() - 2].toStdString();
        EXPECT_EQ(lines.last(), kFrame);
    }

    QTemporaryDir dir;
    FakeSteps steps;
};

} // namespace

TEST_F(StartupOrder, ALogOnRunsEveryStepInOrderAndTearsDown)
{
    Run();
    EXPECT_EQ(steps.calls, kFirstSteps + kToTheServer + kToTheBranch + kLogOnBranch + kTeardown);
    const QStringList lines = Log();
    ASSERT_GT(lines.size(), 8);
    EXPECT_EQ(lines[0], kFrame);
    EXPECT_TRUE(lines[1].contains(QStringLiteral("Quorva Kestrova : 1.2.3.4")));
    EXPECT_TRUE(lines[2].contains(QStringLiteral("Applicationpath : ") + dir.filePath(QStringLiteral("Quorva"))));
    EXPECT_NE(IndexOf(lines, QStringLiteral("System Starup")), -1);
    ExpectFinalLines();
}

TEST_F(StartupOrder, ASecondClientOfTheFolderWritesALogOfItsOwnAndLeavesTheRunningOnesLog)
{
    // A client that runs from this folder holds the lock and is writing its log.
    QLockFile running(dir.filePath(TQuorvaStartup::SessionLockName));
    ASSERT_TRUE(running.tryLock(0));
    {
        QFile first(dir.filePath(QStringLiteral("session.txt")));
        ASSERT_TRUE(first.open(QIODevice::WriteOnly));
        first.write("the first client's line\r\n");
    }
    Run();
    EXPECT_EQ(Log(), QStringList{QStringLiteral("the first client's line")});
    const QStringList own = FileLines(dir.filePath(QStringLiteral("session-%1.txt").arg(QCoreApplication::applicationPid())));
    EXPECT_NE(IndexOf(own, QStringLiteral("System Starup")), -1);
    ASSERT_FALSE(own.isEmpty());
    EXPECT_EQ(own.last(), kFrame);
    // Once the first one ended, the next start writes "session.txt" anew.
    running.unlock();
    Run();
    EXPECT_EQ(IndexOf(Log(), QStringLiteral("the first client's line")), -1);
    ExpectFinalLines();
}

TEST_F(StartupOrder, AnEmptyDatabaseRunsTheInitialSetupInsteadOfTheLogOn)
{
    steps.initialSetup = 6;
    Run();
    EXPECT_EQ(steps.calls, kFirstSteps + kToTheServer + kToTheBranch + kSetupBranch + kTeardown);
    EXPECT_NE(IndexOf(Log(), QStringLiteral("Start initial setup")), -1);
}

TEST_F(StartupOrder, FewerThanTwoModulesStopWithTheirMessage)
{
    for (int modules : {0, 1}) {
        steps.calls.clear();
        steps.modules = modules;
        Run();
        EXPECT_EQ(steps.calls, (kFirstSteps + QStringList{QStringLiteral("LoadHydraModules"), QStringLiteral("ShowError 11 10")} + kTeardown));
        const QStringList lines = Log();
        EXPECT_NE(IndexOf(lines, QStringLiteral("Shutting down, failed to load the modules required to start.")), -1);
        EXPECT_NE(IndexOf(lines, QStringLiteral("Quorva\tMain Failed to load plugins")), -1);
        ExpectFinalLines();
    }
}

TEST_F(StartupOrder, AServerThatDoesNotAnswerShowsItsMessageButNoneFoundDoesNot)
{
    const QStringList upToConnect = kFirstSteps + kToTheServer;
    steps.connected = 1;
    Run();
    EXPECT_EQ(steps.calls, (upToConnect + QStringList{QStringLiteral("ShowError 12 10"), QStringLiteral("UnloadSplash")} + kTeardown));
    steps.calls.clear();
    steps.connected = 2;
    Run();
    EXPECT_EQ(steps.calls, (upToConnect + QStringList{QStringLiteral("UnloadSplash")} + kTeardown));
    EXPECT_NE(IndexOf(Log(), QStringLiteral("Quorva\tMain No connection")), -1);
}

TEST_F(StartupOrder, AWaitingUpdateHandsOverAndEnds)
{
    steps.update = 3;
    Run();
    EXPECT_EQ(steps.calls, (kFirstSteps + kToTheServer
                            + QStringList{QStringLiteral("UpdateSplash 1108"), QStringLiteral("CheckForUpdate"),
                                          QStringLiteral("StartUpdater"), QStringLiteral("UnloadSplash")}
                            + kTeardown));
    EXPECT_NE(IndexOf(Log(), QStringLiteral("Updating client")), -1);
}

TEST_F(StartupOrder, ARefusedOrCancelledLogOnEndsTheStart)
{
    const QStringList expected = kFirstSteps + kToTheServer + kToTheBranch
                                 + QStringList{QStringLiteral("ProcessLogon"), QStringLiteral("ProcessMessages"),
                                               QStringLiteral("UnloadSplash")}
                                 + kTeardown;
    steps.logOn = 2;
    Run();
    EXPECT_EQ(steps.calls, expected);
    EXPECT_NE(IndexOf(Log(), QStringLiteral("User cancelled logon")), -1);
    steps.calls.clear();
    steps.logOn = 7;
    Run();
    EXPECT_EQ(steps.calls, expected);
    EXPECT_NE(IndexOf(Log(), QStringLiteral("\tInvalid logon\t")), -1);
    EXPECT_NE(IndexOf(Log(), QStringLiteral("Quorva\tMain Unable to logon.")), -1);
}

TEST_F(StartupOrder, AnUnfinishedInitialSetupEndsTheStart)
{
    steps.initialSetup = 6;
    steps.setupFinished = false;
    Run();
    EXPECT_EQ(steps.calls.mid(steps.calls.size() - 6),
              (QStringList{QStringLiteral("RunInitialSetup"), QStringLiteral("UnloadSplash")} + kTeardown));
    EXPECT_NE(IndexOf(Log(), QStringLiteral("Unable to run Initial Setup")), -1);
}

// A failure in any step from the modules on is logged, then the teardown runs in order.
TEST_F(StartupOrder, AFailureInAnyLaterStepStillTearsDownInOrderAndWritesTheFooter)
{
    QStringList later = kToTheServer + kToTheBranch + kLogOnBranch;
    later.removeDuplicates();
    later.removeAll(QStringLiteral("SetTitle Kestrova")); // also one of the first steps
    for (const QString &step : later) {
        SCOPED_TRACE(step.toStdString());
        steps = FakeSteps();
        steps.failAt = step;
        Run();
        ASSERT_GE(steps.calls.size(), kTeardown.size());
        EXPECT_EQ(steps.calls.mid(steps.calls.size() - kTeardown.size()), kTeardown);
        EXPECT_EQ(steps.calls.indexOf(step), steps.calls.size() - kTeardown.size() - 1); // nothing ran after it
        EXPECT_NE(IndexOf(Log(), QStringLiteral("Severe     \tQuorva\tMain failed in ") + step), -1);
        ExpectFinalLines();
    }
}

// Before the modules load nothing is torn down: the failure goes on to the exception reporter.
TEST_F(StartupOrder, AFailureInTheFirstStepsSkipsTheTeardownButWritesTheFooter)
{
    for (const QString &step : kFirstSteps) {
        SCOPED_TRACE(step.toStdString());
        steps = FakeSteps();
        steps.failAt = step;
        EXPECT_THROW(Run(), std::runtime_error);
        EXPECT_EQ(steps.calls.last(), step);
        EXPECT_FALSE(steps.calls.contains(QStringLiteral("CloseDatamodule")));
        ExpectFinalLines();
    }
}

TEST_F(StartupOrder, AFailingTeardownStepDoesNotStopTheOthers)
{
    steps.failAt = QStringLiteral("CloseDatamodule");
    Run();
    EXPECT_EQ(steps.calls.mid(steps.calls.size() - kTeardown.size()), kTeardown);
    EXPECT_NE(IndexOf(Log(), QStringLiteral("Quorva\tCloseDatamodule failed in CloseDatamodule")), -1);
    ExpectFinalLines();
}
