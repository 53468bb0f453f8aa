// The real start-up steps over the real client data module and the in-tree test modules, with
// the server choice and the log-on faked: what a refused start shows, that it still tears down
// and that the session log ends with its footer.
#include "client/HostComponentFactory.h"
#include "client/QuorvaStartup.h"
#include "client/QuorvaSteps.h"
#include "client/uDMClient.h"

#include "testsupport/ClientTestSupport.h"
#include "testsupport/QtPrinters.h"

#include "foundation/uResourceHandler.h"
#include "ui/PromptService.h"

#include <gtest/gtest.h>

using namespace kestrova::test;

namespace {

const QString kFrame = QString(82, QLatin1Char('*'));

class AnsweringConnector : public IServerConnector
{
public:
    explicit AnsweringConnector(int answer) : m_answer(answer) {}
    int ConnectToServer() override { return m_answer; }

private:
    int m_answer;
};

class TestFactory : public THostComponentFactory
{
public:
    int connectAnswer = 2;
    bool loopRan = false;

    void InstallComponents(TDMClient &client) override
    {
        client.SetServerConnector(std::make_unique<AnsweringConnector>(connectAnswer));
    }
    void RunMessageLoop(IQuorvaMainWindow &) override { loopRan = true; }
};

class RealStartup : public ::testing::Test
{
protected:
    void Run()
    {
        TQuorvaSteps steps(folder.ProgramPath(), factory);
        TQuorvaStartup(steps, folder.ProgramPath(), QStringLiteral(KESTROVA_VERSION)).Run();
    }
    QStringList Log() const { return FileLines(folder.Path(QStringLiteral("session.txt"))); }
    QString Text(int number) const
    {
        TVOResourceHandler texts;
        texts.LoadResourceFile(folder.Path(QStringLiteral("Quorva.lng")));
        return texts.GetString(number);
    }
    void ExpectFinalLines() const
    {
        const QStringList lines = Log();
        ASSERT_GE(lines.size(), 2);
        EXPECT_TRUE(lines[lines.size() - 2].contains(QStringLiteral("System Shutdown")));
        EXPECT_EQ(lines.last(), kFrame);
    }

    ProgramFolder folder;
    TestFactory factory;
    TScriptedPrompt prompt;
};

} // namespace

TEST_F(RealStartup, ASingleModuleEndsTheStartWithItsMessageAndNoMainWindow)
{
    folder.AddModule(QStringLiteral("TestService"));
    Run();
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Icon, QMessageBox::Critical);
    EXPECT_EQ(prompt.Prompts()[0].Caption, Text(10));
    EXPECT_EQ(prompt.Prompts()[0].Text, Text(11));
    EXPECT_FALSE(factory.loopRan);
    const QStringList lines = Log();
    EXPECT_NE(IndexOf(lines, QStringLiteral("Severe     \tQuorva\tMain Failed to load plugins")), -1);
    EXPECT_NE(IndexOf(lines, QStringLiteral("destroyed TestService")), -1);
    EXPECT_NE(IndexOf(lines, QStringLiteral("CloseDatamodule Complete")), -1);
    ExpectFinalLines();
}

TEST_F(RealStartup, NoServerFoundEndsQuietlyAfterTheSplash)
{
    folder.AddModule(QStringLiteral("TestService"));
    folder.AddModule(QStringLiteral("TestViews"));
    Run();
    EXPECT_TRUE(prompt.Prompts().isEmpty());
    const QStringList lines = Log();
    const int text = IndexOf(lines, QStringLiteral("splash text ") + Text(1103));
    const int noConnection = IndexOf(lines, QStringLiteral("Quorva\tMain No connection"));
    EXPECT_NE(text, -1);
    EXPECT_GT(noConnection, IndexOf(lines, QStringLiteral("released plgSplash")));
    EXPECT_GT(IndexOf(lines, QStringLiteral("CloseDatamodule Complete")), noConnection);
    ExpectFinalLines();
}

TEST_F(RealStartup, AServerThatDoesNotAnswerShowsTheConnectionMessage)
{
    folder.AddModule(QStringLiteral("TestService"));
    folder.AddModule(QStringLiteral("TestViews"));
    factory.connectAnswer = 1;
    Run();
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Text, Text(12));
    ExpectFinalLines();
}

TEST_F(RealStartup, WithoutALogOnInThisBuildTheStartEndsAfterTheUpdateCheck)
{
    folder.AddModule(QStringLiteral("TestService"));
    folder.AddModule(QStringLiteral("TestViews"));
    factory.connectAnswer = 0;
    Run();
    const QStringList lines = Log();
    const int update = IndexOf(lines, QStringLiteral("CheckForUpdate Could not locate Update"));
    EXPECT_NE(update, -1);
    EXPECT_GT(IndexOf(lines, QStringLiteral("Warning    \tDMClient\tProcessLogon")), update);
    EXPECT_NE(IndexOf(lines, QStringLiteral("Quorva\tMain Unable to logon.")), -1);
    EXPECT_FALSE(factory.loopRan);
    ExpectFinalLines();
}

TEST_F(RealStartup, AMissingPlugInsFolderGoesToTheReporterWithoutATeardown)
{
    QDir(folder.PluginsFolder()).removeRecursively();
    EXPECT_THROW(Run(), std::runtime_error);
    const QStringList lines = Log();
    EXPECT_NE(IndexOf(lines, QStringLiteral("Missing PlugIns folder:")), -1);
    EXPECT_EQ(IndexOf(lines, QStringLiteral("CloseDatamodule Complete")), -1);
    ExpectFinalLines();
}
