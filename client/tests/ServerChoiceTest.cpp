// The server choice without a data server: which discovered versions are kept, how a
// preferred URL is split for the address dialog, the server list with its preselection and
// host-name tooltips, and the address dialog's probe and port field.
#include "client/uDMClient.h"
#include "client/uServerConnector.h"
#include "client/uWinSockUtils.h"
#include "client/ufDlgServerAddress.h"
#include "client/ufSelectServer.h"

#include "testsupport/ClientTestSupport.h"
#include "testsupport/DialogScript.h"
#include "testsupport/QtPrinters.h"

#include "ui/PromptService.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace kestrova::test;

namespace {

struct VersionCase
{
    const char *Server;
    const char *Own;
    bool Kept;
};

struct SplitCase
{
    const char *URL;
    const char *Server;
    const char *Port;
};

TDiscoveredServer Server(const QString &text, const QString &version)
{
    TDiscoveredServer server;
    server.Text = text;
    server.Record.ID = text + QStringLiteral("/BIN");
    server.Record.Text = version;
    return server;
}

} // namespace

TEST(ServerChoice, AServerIsKeptWhenItsVersionIsNotOlderPartByPartAsNumbers)
{
    const VersionCase cases[] = {
        {"1.2.0.0", "1.2.0.0", true},
        {"1.10.0.0", "1.2.0.0", true},  // as text "1.10" sorts before "1.2"
        {"9.0.0.0", "10.0.0.0", false}, // as text "9" sorts after "10"
        {"10.0.0.0", "9.0.0.0", true},
        {"1.2.0.3", "1.2.0.4", false},
        {"2", "1.9.9.9", true},
        {"1.x", "1.0.0.0", false}, // no version: neither older nor newer can be told
        {"", "1.0.0.0", false},
    };
    for (const VersionCase &c : cases)
        EXPECT_EQ(TServerConnector::KeepsServer(QString::fromLatin1(c.Server), QString::fromLatin1(c.Own)), c.Kept)
            << c.Server << " for a client at " << c.Own;
}

TEST(ServerChoice, APreferredURLIsSplitIntoTheServerAndThePortWithoutTheBinPath)
{
    const SplitCase cases[] = {
        {"http://parish-server:8100/BIN", "http://parish-server", "8100"},
        {"http://192.168.1.20:8099/bin", "http://192.168.1.20", "8099"},
        {"http://localhost/BIN", "http://localhost", ""},
        {"http://host:8099", "http://host", "8099"},
    };
    for (const SplitCase &c : cases) {
        QString server;
        QString port;
        TServerConnector::SplitServerURL(QString::fromLatin1(c.URL), server, port);
        EXPECT_EQ(server, QString::fromLatin1(c.Server)) << c.URL;
        EXPECT_EQ(port, QString::fromLatin1(c.Port)) << c.URL;
    }
}

TEST(ServerChoice, AHostNameIsLookedUpByItsAddress)
{
    EXPECT_EQ(TWinSockUtils::GetHostNameFromURL(QStringLiteral("http://parish-server:8099")), TWinSockUtils::Unresolved)
        << "only an address is looked up";
    EXPECT_FALSE(TWinSockUtils::GetHostNameFromURL(QStringLiteral("http://127.0.0.1:8099")).isEmpty());
}

class ServerList : public ::testing::Test
{
protected:
    void SetUp() override
    {
        client = std::make_unique<TDMClient>(folder.ProgramPath());
        client->ReadConfiguration();
        servers = {Server(QStringLiteral("http://10.0.0.4:8099"), QStringLiteral("1.0.0.0")),
                   Server(QStringLiteral("http://10.0.0.7:8100"), QStringLiteral("1.2.0.0"))};
    }

    ProgramFolder folder;
    std::unique_ptr<TDMClient> client;
    QList<TDiscoveredServer> servers;
};

TEST_F(ServerList, ThePreferredServerIsSelectedElseTheFirst)
{
    TfSelectServer dialog;
    dialog.InitForm(*client);
    dialog.SetServers(&servers, QStringLiteral("http://10.0.0.7:8100/BIN"));
    EXPECT_EQ(dialog.ChosenIndex(), 1);
    ASSERT_EQ(dialog.lvServers()->topLevelItemCount(), 2);
    EXPECT_EQ(dialog.lvServers()->topLevelItem(1)->text(1), QStringLiteral("1.2.0.0"));
    EXPECT_EQ(dialog.lvServers()->headerItem()->text(0), client->GetText(2024));
    EXPECT_EQ(dialog.chkShow()->text(), client->GetText(2026));
    dialog.SetServers(&servers, QStringLiteral("http://elsewhere:8099/BIN"));
    EXPECT_EQ(dialog.ChosenIndex(), 0);
    QList<TDiscoveredServer> none;
    dialog.SetServers(&none, QString());
    EXPECT_EQ(dialog.ChosenIndex(), -1);
}

TEST_F(ServerList, ADoubleClickOnTheSelectedRowChoosesIt)
{
    TfSelectServer dialog;
    dialog.SetServers(&servers, QString());
    DialogScript script;
    script.Then<TfSelectServer>([](TfSelectServer &shown) {
        QTreeWidgetItem *row = shown.lvServers()->topLevelItem(1);
        shown.lvServers()->setCurrentItem(row);
        QTimer::singleShot(0, &shown, [&shown, row] { emit shown.lvServers()->itemDoubleClicked(row, 0); });
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.ChosenIndex(), 1);
}

TEST_F(ServerList, ATooltipNamesTheHostOnceLookedUpAndSaysWhenThereIsNone)
{
    servers.append(Server(QStringLiteral("http://127.0.0.1:8099"), QStringLiteral("1.0.0.0")));
    servers[0].Text = QStringLiteral("http://no-address:8099");
    TfSelectServer dialog;
    dialog.SetServers(&servers, QString());
    EXPECT_EQ(dialog.ToolTipFor(0), QStringLiteral("Unable to resolve network name."));
    EXPECT_EQ(servers[0].Record.Extra, TWinSockUtils::Unresolved);
    const QString local = dialog.ToolTipFor(2);
    EXPECT_FALSE(local.isEmpty());
    EXPECT_EQ(servers[2].Record.Extra, local) << "kept with the server";
    servers[2].Record.Extra = QStringLiteral("kept-name");
    EXPECT_EQ(dialog.ToolTipFor(2), QStringLiteral("kept-name")) << "not looked up again";
}

TEST_F(ServerList, TheAddressDialogProbesWhatIsTypedAndTakesDigitsOnlyForThePort)
{
    TScriptedPrompt prompt;
    TfDlgServerAddress dialog;
    dialog.InitForm(*client);
    QStringList probed;
    bool answers = true;
    dialog.SetProbe([&](const QString &url) {
        probed << url;
        return answers;
    });
    EXPECT_EQ(dialog.Server(), QStringLiteral("http://"));
    EXPECT_EQ(dialog.Port(), QStringLiteral("8099"));
    EXPECT_TRUE(dialog.chkShow()->isVisibleTo(&dialog));
    dialog.SetAddress(QStringLiteral("http://parish-server"), QStringLiteral("8100"));
    dialog.edPort()->setFocus();
    dialog.edPort()->selectAll();
    QTest::keyClicks(dialog.edPort(), QStringLiteral("81a0x1"));
    EXPECT_EQ(dialog.Port(), QStringLiteral("8101"));
    dialog.btnProbe()->click();
    answers = false;
    dialog.btnProbe()->click();
    EXPECT_EQ(probed, (QStringList{QStringLiteral("http://parish-server:8101/bin"), QStringLiteral("http://parish-server:8101/bin")}));
    ASSERT_EQ(prompt.Prompts().size(), 2);
    EXPECT_EQ(prompt.Prompts()[0].Caption, QStringLiteral("Probe server"));
    EXPECT_EQ(prompt.Prompts()[0].Text, QStringLiteral("Server responded OK"));
    EXPECT_EQ(prompt.Prompts()[0].Icon, QMessageBox::Information);
    EXPECT_EQ(prompt.Prompts()[1].Text, QStringLiteral("Server did NOT respond"));
    EXPECT_EQ(prompt.Prompts()[1].Icon, QMessageBox::Warning);
}

TEST_F(ServerList, TheAddressDialogTakesAnAddressTypedTheNaturalWayAndSaysWhatFormItExpects)
{
    struct Typed
    {
        const char *Server;
        const char *Port;
        const char *Probed; // empty: the form message instead of a probe
    };
    const Typed cases[] = {
        {"http://127.0.0.1", "8199", "http://127.0.0.1:8199/bin"},
        {"127.0.0.1", "8199", "http://127.0.0.1:8199/bin"},
        {" parish-server ", "8100", "http://parish-server:8100/bin"},
        {"parish-server:8199", "8099", "http://parish-server:8199/bin"},
        {"http://10.0.0.4:8100/BIN", "", "http://10.0.0.4:8100/bin"},
        {"HTTP://Parish-Server", "8099", "http://parish-server:8099/bin"},
        {"http://", "8099", ""},
        {"", "8099", ""},
        {"parish-server", "", ""},
        {"parish server", "8099", ""},
        {"ftp://parish-server", "8099", ""},
        {"parish-server/reports", "8099", ""},
    };
    for (const Typed &c : cases) {
        TScriptedPrompt prompt;
        TfDlgServerAddress dialog;
        dialog.InitForm(*client);
        QStringList probed;
        dialog.SetProbe([&](const QString &url) {
            probed << url;
            return true;
        });
        dialog.edServer()->setText(QString::fromLatin1(c.Server));
        dialog.edPort()->setText(QString::fromLatin1(c.Port));
        dialog.btnProbe()->click();
        const QString expected = QString::fromLatin1(c.Probed);
        if (expected.isEmpty()) {
            EXPECT_TRUE(probed.isEmpty()) << c.Server;
            ASSERT_EQ(prompt.Prompts().size(), 1) << c.Server;
            EXPECT_EQ(prompt.Prompts()[0].Text, client->GetText(2056)) << c.Server;
            dialog.btnOK()->click();
            EXPECT_EQ(dialog.result(), QDialog::Rejected) << c.Server << ": OK keeps the dialog open";
            EXPECT_EQ(prompt.Prompts().size(), 2) << c.Server;
        } else {
            EXPECT_EQ(probed, QStringList{expected}) << c.Server;
            EXPECT_EQ(dialog.Server() + QLatin1Char(':') + dialog.Port() + QStringLiteral("/bin"), expected) << c.Server;
        }
    }
}
