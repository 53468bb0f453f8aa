// The client host finding the real Brennic, offscreen: discovery on loopback, the version filter,
// a typed address, a server that does not answer, the hand-over to Diagnose, the first starts of
// both kinds of installation, and an update offered only above the installed version.
#include "client/tests/EndToEndFixture.h"

using namespace end_to_end_test;

// --- finding the server -------------------------------------------------------------------------

TEST_F(EndToEnd, DiscoveryOnLoopbackFindsTheServerAndConnectsToIt)
{
    LogCapture log;
    EXPECT_EQ(Connector(Server().DiscoveryPort()).ConnectToServer(), 0);
    ASSERT_EQ(Client().DiscoveredServers().size(), 1);
    const TDiscoveredServer &found = Client().DiscoveredServers().first();
    EXPECT_EQ(found.Text, QStringLiteral("http://127.0.0.1:%1").arg(Server().HttpPort()));
    EXPECT_EQ(found.Record.ID, Server().URL());
    EXPECT_EQ(found.Record.Text, QStringLiteral(KESTROVA_VERSION));
    EXPECT_EQ(found.Record.Value, Server().HttpPort());
    EXPECT_EQ(Client().CurrentServerURL(), Server().URL());
    EXPECT_EQ(Client().ROHTTP()->TargetURL(), Server().URL());
    EXPECT_EQ(Client().ROHTTPEvents()->TargetURL(), Server().URL());
    EXPECT_EQ(log.texts(QStringLiteral("Information"), QStringLiteral("Main"), QStringLiteral("Servers:")), QStringList{QStringLiteral("1")});
    EXPECT_EQ(Connector(0).GetServerVersion(), QStringLiteral(KESTROVA_VERSION));
}

TEST_F(EndToEnd, AServerOfAnOlderVersionIsLeftOutAndANewerOneKept)
{
    SetRegistry(HKEY_LOCAL_MACHINE, QStringLiteral("Installation Type"), QStringLiteral("Client"));
    TRODiscoveryServer other;
    other.SetBindAddress(QHostAddress::LocalHost);
    other.SetPort(0);
    other.SetServiceNames({QStringLiteral("Kestrova")});
    ASSERT_TRUE(other.SetActive(true));
    TVODiscoveryResultOptions answer;
    answer.Port = Server().HttpPort();

    answer.Version = QStringLiteral("0.9.9.9");
    other.SetAnswer(answer);
    script.Then<TfDlgServerAddress>([](TfDlgServerAddress &dialog) { PressLater(dialog.btnCancel()); });
    EXPECT_EQ(Connector(other.Port()).ConnectToServer(), 2) << "nothing kept, and the typed address was cancelled";
    EXPECT_TRUE(Client().DiscoveredServers().isEmpty());
    EXPECT_EQ(script.Pending(), 0);

    // 1.10 is newer than 1.2 and 10 newer than 9, whatever the letters say.
    answer.Version = QStringLiteral("%1.10.0.0").arg(QStringLiteral(KESTROVA_VERSION).section(QLatin1Char('.'), 0, 0).toInt());
    other.SetAnswer(answer);
    EXPECT_EQ(Connector(other.Port()).ConnectToServer(), 0);
    ASSERT_EQ(Client().DiscoveredServers().size(), 1);
    EXPECT_EQ(Client().DiscoveredServers().first().Record.Text, answer.Version);
    EXPECT_EQ(Client().CurrentServerURL(), Server().URL());
}

TEST_F(EndToEnd, ATypedAddressIsProbedTakenAndKeptAsThePreferredServer)
{
    program.SetSetting(QStringLiteral("Use discovery"), QStringLiteral("False"));
    SetRegistry(HKEY_LOCAL_MACHINE, QStringLiteral("Installation Type"), QStringLiteral("Client"));
    SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Preferred server"), QStringLiteral("http://parish-server:8100/BIN"));
    QString shownServer;
    QString shownPort;
    script.Then<TfDlgServerAddress>([&](TfDlgServerAddress &dialog) {
        shownServer = dialog.Server();
        shownPort = dialog.Port();
        dialog.edServer()->setText(QStringLiteral("http://127.0.0.1"));
        dialog.edPort()->setText(QString::number(Server().HttpPort()));
        dialog.chkShow()->setChecked(true);
        dialog.btnProbe()->click();
        PressLater(dialog.btnOK());
    });
    EXPECT_EQ(Connector(0).ConnectToServer(), 0);
    EXPECT_EQ(shownServer, QStringLiteral("http://parish-server"));
    EXPECT_EQ(shownPort, QStringLiteral("8100"));
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Text, QStringLiteral("Server responded OK"));
    EXPECT_EQ(Client().CurrentServerURL(), Server().URL());
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Preferred server")), Server().URL());
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Always use preferred server")), QStringLiteral("TRUE"));

    // Next time the preferred server is used without a question.
    client.reset();
    connector.reset();
    EXPECT_EQ(Connector(0).ConnectToServer(), 0);
    EXPECT_EQ(Client().CurrentServerURL(), Server().URL());
    EXPECT_EQ(script.Pending(), 0);
}

TEST_F(EndToEnd, AServerThatDoesNotAnswerGivesResultOneAndTheStartSaysSo)
{
    const QString stopped = QStringLiteral("http://127.0.0.1:1/BIN");
    program.SetSetting(QStringLiteral("Use discovery"), QStringLiteral("False"));
    SetRegistry(HKEY_LOCAL_MACHINE, QStringLiteral("Installation Type"), QStringLiteral("Client"));
    script.Then<TfDlgServerAddress>([](TfDlgServerAddress &dialog) {
        dialog.edServer()->setText(QStringLiteral("http://127.0.0.1"));
        dialog.edPort()->setText(QStringLiteral("1"));
        PressLater(dialog.btnOK());
    });
    RunStart();
    EXPECT_FALSE(factory.loopRan);
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Icon, QMessageBox::Critical);
    TVOResourceHandler texts;
    texts.LoadResourceFile(program.Path(QStringLiteral("Quorva.lng")));
    EXPECT_EQ(prompt.Prompts()[0].Text, texts.GetString(12));
    const QStringList lines = StartLog();
    EXPECT_NE(IndexOf(lines, QStringLiteral("Main\tServer: ") + stopped), -1);
    EXPECT_NE(IndexOf(lines, QStringLiteral("Severe     \tDMClient\tServer version\t\t")), -1);
    EXPECT_NE(IndexOf(lines, QStringLiteral("Quorva\tMain No connection")), -1);
}

TEST_F(EndToEnd, OnASingleComputerALocalServerThatDoesNotAnswerHandsOverToDiagnose)
{
    const QString stopped = QStringLiteral("http://127.0.0.1:1/BIN");
    SetRegistry(HKEY_LOCAL_MACHINE, QStringLiteral("Installation Type"), QStringLiteral("Single"));
    SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Preferred server"), stopped);
    {
        LogCapture log;
        EXPECT_EQ(Connector(0).ConnectToServer(), 2);
        EXPECT_EQ(log.lines().filter(QStringLiteral("GetManualServer Unable to locate ") + program.Path(QStringLiteral("Diagnose"))).size(), 1);
    }
    const QString received = program.Path(QStringLiteral("arguments.txt"));
    program.AddFile(QStringLiteral("Diagnose"),
                    QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > '%1.part' && mv '%1.part' '%1'\n").arg(received).toUtf8());
    QFile(program.Path(QStringLiteral("Diagnose"))).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(Connector(0).ConnectToServer(), 2);
    ASSERT_TRUE(WaitFor([&] { return QFile::exists(received); }, 10s));
    QFile arguments(received);
    ASSERT_TRUE(arguments.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(arguments.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
              QStringList{QStringLiteral("Single;") + stopped});
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Preferred server")), stopped) << "a failed start keeps the user's server";
}

TEST_F(EndToEnd, TheFirstStartOfAClientOnlyInstallationAsksForTheAddressProbesItAndLogsOn)
{
    // What the client-only installation steps write; nothing else is known yet.
    SetRegistry(HKEY_LOCAL_MACHINE, QStringLiteral("Installation Type"), QStringLiteral("Client"));
    factory.discoveryPort = kestrova::test::FreeUdpPort();
    bool asked = false;
    script.Then<TfDlgServerAddress>([&](TfDlgServerAddress &dialog) {
        asked = true;
        EXPECT_EQ(dialog.Server(), QStringLiteral("http://localhost"));
        EXPECT_EQ(dialog.Port(), QStringLiteral("8099"));
        dialog.edServer()->setText(QStringLiteral("http://127.0.0.1"));
        dialog.edPort()->setText(QString::number(Server().HttpPort()));
        dialog.btnProbe()->click();
        PressLater(dialog.btnOK());
    });
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword));
    RunStart();
    EXPECT_TRUE(asked) << "no server found: the address dialog";
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Text, QStringLiteral("Server responded OK"));
    EXPECT_TRUE(factory.loopRan);
    EXPECT_EQ(script.Pending(), 0);
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Preferred server")), Server().URL());
    EXPECT_NE(IndexOf(StartLog(), QStringLiteral("Information\tMain\tServers: 0")), -1);
}

TEST_F(EndToEnd, TheFirstStartOfASingleComputerInstallationTakesTheLocalServerWithoutAsking)
{
    // What scripts/run writes; the server here is this computer's, named by the user's store or
    // by the port of the server's settings file the client shares.
    struct Row
    {
        const char *Case;
        bool PreferredStored;
    };
    for (const Row row : {Row{"preferred server stored", true}, Row{"the [Server] port of Settings.ini", false}}) {
        SCOPED_TRACE(row.Case);
        factory.loopRan = false;
        QFile::remove(program.Path(QStringLiteral("session.txt")));
        SetRegistry(HKEY_LOCAL_MACHINE, QStringLiteral("Installation Type"), QStringLiteral("Single"));
        SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Preferred server"), row.PreferredStored ? Server().URL() : QString());
        program.SetSetting(QStringLiteral("Port"), row.PreferredStored ? QStringLiteral("1") : QString::number(Server().HttpPort()),
                           QStringLiteral("Server"));
        if (!row.PreferredStored)
            QFile::remove(program.Path(QStringLiteral("registry/user.ini")));
        script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword));
        RunStart();
        EXPECT_TRUE(factory.loopRan);
        EXPECT_EQ(script.Pending(), 0) << "no address dialog, no list of servers";
        const QStringList lines = StartLog();
        EXPECT_NE(IndexOf(lines, QStringLiteral("Information\tMain\tServers: 0")), -1) << "no discovery on a single computer";
        const QString expected =
            row.PreferredStored ? Server().URL() : QStringLiteral("http://localhost:%1/BIN").arg(Server().HttpPort());
        EXPECT_NE(IndexOf(lines, QStringLiteral("Main\tServer: ") + expected), -1) << lines.join(QLatin1Char('\n')).toStdString();
    }
}

TEST_F(EndToEnd, AnUpdateIsOfferedOnlyAboveTheInstalledVersionSoAnUpdateWithoutANewProgramEndsAtTheLogOn)
{
    // An update of texts and help pages only: the program stays at its compiled version, and the
    // updater records the version it installed.
    const QString staged = Server().Folder() + QStringLiteral("/Updates/1.0.0.1");
    ASSERT_TRUE(QDir().mkpath(staged + QStringLiteral("/help")));
    const auto unstage = qScopeGuard([&] { QDir(Server().Folder() + QStringLiteral("/Updates")).removeRecursively(); });
    program.AddFile(QStringLiteral("Update"), "#!/bin/sh\nexit 0\n");
    QFile(program.Path(QStringLiteral("Update"))).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ConnectTo(Server().URL());
    struct Row
    {
        const char *ServicePack;
        int Answer;
    };
    for (const Row row : {Row{"0", TDMClient::UpdateWaiting}, Row{"1.0.0.1", TDMClient::NoUpdate}, Row{"1.0.0.2", TDMClient::NoUpdate},
                          Row{"no version", TDMClient::UpdateWaiting}}) {
        program.SetSetting(QStringLiteral("Service Pack"), QString::fromLatin1(row.ServicePack));
        EXPECT_EQ(Client().CheckForUpdate(), row.Answer) << row.ServicePack;
    }

    // The start after the update goes on to the log-on; its modules are its own.
    client.reset();
    program.SetSetting(QStringLiteral("Service Pack"), QStringLiteral("1.0.0.1"));
    SetRegistry(HKEY_LOCAL_MACHINE, QStringLiteral("Installation Type"), QStringLiteral("Single"));
    SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Preferred server"), Server().URL());
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword));
    RunStart();
    EXPECT_TRUE(factory.loopRan);
    EXPECT_EQ(IndexOf(StartLog(), QStringLiteral("Updating client")), -1);
}
