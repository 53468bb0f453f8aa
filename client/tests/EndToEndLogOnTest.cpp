// Logging on to the real Brennic, offscreen: the password, a restart of the server, three
// refusals, Cancel, the operating-system account, a password change and a database without users.
#include "client/tests/EndToEndFixture.h"

using namespace end_to_end_test;

// --- logging on ---------------------------------------------------------------------------------

TEST_F(EndToEnd, TheRightPasswordLogsOnAndTheNameIsKeptForNextTime)
{
    ConnectTo(Server().URL());
    QStringList names;
    QString version;
    QString server;
    script.Then<TfDlgLogin>([&](TfDlgLogin &dialog) {
        for (int i = 0; i < dialog.cbUsers()->count(); ++i)
            names << dialog.cbUsers()->itemText(i);
        version = dialog.lblVersion()->text();
        server = dialog.lblServer()->text();
        LogOnAs(QStringLiteral("anna"), kAnnaPassword)(dialog);
    });
    TLogOnSteps steps(Client());
    EXPECT_EQ(steps.CheckInitialSetup(), 4);
    EXPECT_EQ(steps.ProcessLogon(), 0);
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("anna"), QStringLiteral("bob")}));
    EXPECT_EQ(version, QStringLiteral("version: 3.0\nbuild " KESTROVA_VERSION));
    EXPECT_EQ(server, Server().URL());
    EXPECT_EQ(Client().User()->UserID, kAnna);
    EXPECT_EQ(Client().User()->UserName, QStringLiteral("anna"));
    EXPECT_EQ(Client().User()->UserLevel, 1);
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Last known user")), QStringLiteral("anna"));
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Use Windows logon")), QStringLiteral("No")) << "the box as it was left";
    EXPECT_TRUE(prompt.Prompts().isEmpty());
    // The session is logged on: the user's settings reach the server.
    Client().SetUserSetting(QStringLiteral("WorkhourStart"), QStringLiteral("07:30"));
    EXPECT_TRUE(Client().DMData()->SendChanges());
    EXPECT_EQ(Stored(kAnna, QStringLiteral("WorkhourStart")), QStringLiteral("07:30"));
}

// Polls the session's events on the channel without waiting for it; the reply's fault, or
// nothing when the server answered the poll.
QString PollAnswer(TROHTTPChannel &channel)
{
    TROMessage poll;
    poll.InitializeRequest(QString(), QStringLiteral("EventsService"), TROInMemoryEventRepository::PollOperation);
    std::optional<QString> failure;
    channel.DispatchAsync(poll, [&](const QByteArray &reply, const QString &error) {
        QString fault = error;
        if (fault.isEmpty())
            try {
                TROMessage answer;
                answer.LoadFromBytes(reply, RemotingLimits::kMaxReplySize);
                answer.RaiseIfError();
            } catch (const EROException &e) {
                fault = e.Message();
            }
        failure = fault;
    });
    return kestrova::test::WaitFor([&] { return failure.has_value(); }, std::chrono::seconds(20)) ? *failure
                                                                                                : QStringLiteral("no answer");
}

TEST_F(EndToEnd, AfterTheServerRestartsTheFirstCallOfEveryChannelLogsOnAgainWithTheNameFilledInAndLands)
{
    ConnectTo(Server().URL());
    Client().SetLogOnSteps(std::make_unique<TLogOnSteps>(Client()));
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword));
    ASSERT_EQ(Client().ProcessLogon(), 0);
    Client().SetUserSetting(QStringLiteral("Before the restart"), QStringLiteral("sent"));
    ASSERT_TRUE(Client().DMData()->SendChanges());

    // Each call finds the server restarted: a save on the main channel, a poll of the events
    // channel while nobody works, a call on a channel of its own as a scheduling run makes.
    const struct
    {
        const char *call;
        std::function<QString()> send;
    } cases[] = {
        {"a save", [&] {
             Client().SetUserSetting(QStringLiteral("After the restart"), QStringLiteral("landed"));
             if (!Client().DMData()->SendChanges())
                 return QStringLiteral("not saved");
             return Stored(kAnna, QStringLiteral("After the restart")) == QStringLiteral("landed") ? QString()
                                                                                                 : QStringLiteral("not stored");
         }},
        {"an event poll", [&] { return PollAnswer(*Client().ROHTTPEvents()); }},
        {"a run's own channel", [&] { return PollAnswer(*Client().CreateAutoScheduleChannel()); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.call);
        ASSERT_EQ(Server().Restart(), QString());
        QString shownName;
        bool nameFixed = false;
        script.Then<TfDlgLogin>([&](TfDlgLogin &dialog) {
            shownName = dialog.UserName();
            nameFixed = !dialog.cbUsers()->isEnabled();
            dialog.ePwd()->setText(kAnnaPassword);
            PressLater(dialog.btnOK());
        });
        EXPECT_EQ(c.send(), QString()) << "the call landed";
        EXPECT_EQ(script.Pending(), 0) << "the log-on dialog came once";
        EXPECT_EQ(shownName, QStringLiteral("anna"));
        EXPECT_TRUE(nameFixed);
        EXPECT_TRUE(prompt.Prompts().isEmpty());
    }
}

TEST_F(EndToEnd, AWrongPasswordThreeTimesEndsTheLogOnWithThreeMessages)
{
    ConnectTo(Server().URL());
    SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Last known user"), QStringLiteral("nobody-listed"));
    QStringList preselected;
    QString firstName;
    const auto wrong = [&](TfDlgLogin &dialog) {
        preselected << dialog.cbUsers()->currentText();
        firstName = dialog.cbUsers()->itemText(0);
        EXPECT_TRUE(dialog.ePwd()->text().isEmpty());
        dialog.cbUsers()->setCurrentIndex(dialog.cbUsers()->findText(QStringLiteral("bob")));
        dialog.ePwd()->setText(QStringLiteral("not-his"));
        PressLater(dialog.btnOK());
    };
    script.Then<TfDlgLogin>(wrong).Then<TfDlgLogin>(wrong).Then<TfDlgLogin>(wrong);
    EXPECT_EQ(TLogOnSteps(Client()).ProcessLogon(), 7);
    EXPECT_EQ(script.Pending(), 0);
    EXPECT_EQ(preselected, (QStringList{firstName, QStringLiteral("bob"), QStringLiteral("bob")}))
        << "an unknown last user selects the first name, then the name last entered";
    TVOResourceHandler texts;
    texts.LoadResourceFile(program.Path(QStringLiteral("Quorva.lng")));
    ASSERT_EQ(prompt.Prompts().size(), 3);
    for (const TScriptedPrompt::Shown &shown : prompt.Prompts()) {
        EXPECT_EQ(shown.Icon, QMessageBox::Critical);
        EXPECT_EQ(shown.Caption, texts.GetString(100));
        EXPECT_EQ(shown.Text, texts.GetString(500));
    }
    EXPECT_EQ(Client().User()->UserID, EmptyGUID);
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Last known user")), QStringLiteral("nobody-listed"));
}

TEST_F(EndToEnd, CancelEndsTheLogOn)
{
    ConnectTo(Server().URL());
    script.Then<TfDlgLogin>([](TfDlgLogin &dialog) { PressLater(dialog.btnCancel()); });
    EXPECT_EQ(TLogOnSteps(Client()).ProcessLogon(), 2);
}

TEST_F(EndToEnd, TheOperatingSystemAccountLogsOnWithoutTheDialogNextTime)
{
    ConnectTo(Server().URL());
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword, true));
    EXPECT_EQ(TLogOnSteps(Client()).ProcessLogon(), 0);
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Use Windows logon")), QStringLiteral("Yes")) << "at once";
    EXPECT_EQ(Server().Db().scalar(QStringLiteral("SELECT UseInteractiveLogon || ' ' || WindowsAccount FROM dbo.tblUsers WHERE PK_UserID = '%1'").arg(kAnna)),
              QStringLiteral("1 ") + TvoSysInfo::GetUserName());
    // What is kept for the next start is a secret in a store only the user reads, never the password.
    const QString store = TQorReg::StorePath(HKEY_CURRENT_USER);
    EXPECT_EQ(QFile::permissions(store) & (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::WriteGroup |
                                           QFileDevice::WriteOther),
              QFileDevice::Permissions());
    EXPECT_FALSE(FileLines(store).join(QLatin1Char('\n')).contains(kAnnaPassword));
#if __has_include("foundation/InteractiveLogon.h")
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Logon secret")),
              DeriveInteractiveLogonSecret(kAnnaPassword, QStringLiteral("anna"), TvoSysInfo::GetUserName()));
#endif
    client.reset(); // the program ends: the choice stays
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Use Windows logon")), QStringLiteral("Yes"));

    // The next start: no dialog at all.
    bool dialogShown = false;
    script.Then<TfDlgLogin>([&](TfDlgLogin &dialog) {
        dialogShown = true;
        PressLater(dialog.btnCancel());
    });
    ConnectTo(Server().URL());
    EXPECT_EQ(TLogOnSteps(Client()).ProcessLogon(), 0);
    EXPECT_FALSE(dialogShown);
    EXPECT_EQ(Client().User()->UserID, kAnna);
    EXPECT_TRUE(Client().GetUseWindowsLogon());
}

TEST_F(EndToEnd, AClearedWindowsAccountTickHoldsAcrossARestartAndTheNextStartShowsTheLogOnDialog)
{
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword, true));
    factory.inLoop = [](TfMain &, TDMClient &host) {
        // As a plug-in's Tools menu does it when the user clears the tick.
        auto application = host_cast<IHostApplication>(&host.HYROMgr());
        ASSERT_TRUE(application);
        ASSERT_TRUE(application->GetUseWindowsLogon());
        application->SetUseWindowsLogon(false);
        EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Use Windows logon")), QStringLiteral("No")) << "at once";
    };
    RunStart();
    ASSERT_TRUE(factory.loopRan);
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Use Windows logon")), QStringLiteral("No"));

    bool dialogShown = false;
    bool ticked = true;
    factory.loopRan = false;
    factory.inLoop = {};
    script.Then<TfDlgLogin>([&](TfDlgLogin &dialog) {
        dialogShown = true;
        ticked = dialog.chkShow()->isChecked();
        LogOnAs(QStringLiteral("bob"), kBobPassword)(dialog);
    });
    RunStart();
    EXPECT_TRUE(dialogShown) << "the next start asks who logs on";
    EXPECT_FALSE(ticked);
    EXPECT_TRUE(factory.loopRan) << "and another user can log on";
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Last known user")), QStringLiteral("bob"));
}

TEST_F(EndToEnd, ARunThatEndsBeforeTheLogOnLeavesTheWindowsLogOnChoiceAsItWas)
{
    struct Case
    {
        const char *Name;
        bool ServerFound;
    };
    for (const Case c : {Case{"no server found", false}, Case{"log-on cancelled", true}}) {
        SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Use Windows logon"), QStringLiteral("Yes"));
        SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Last known user"), QStringLiteral("anna"));
        SetRegistry(HKEY_LOCAL_MACHINE, QStringLiteral("Installation Type"), QStringLiteral("Client"));
        if (c.ServerFound) {
            // The automatic log-on has no secret to send: refused, the dialog, Cancel.
            program.SetSetting(QStringLiteral("Use discovery"), QStringLiteral("True"));
            script.Then<TfDlgLogin>([](TfDlgLogin &dialog) { PressLater(dialog.btnCancel()); });
        } else {
            program.SetSetting(QStringLiteral("Use discovery"), QStringLiteral("False"));
            script.Then<TfDlgServerAddress>([](TfDlgServerAddress &dialog) { PressLater(dialog.btnCancel()); });
        }
        factory.loopRan = false;
        RunStart();
        EXPECT_FALSE(factory.loopRan) << c.Name;
        EXPECT_EQ(script.Pending(), 0) << c.Name;
        EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("Use Windows logon")), QStringLiteral("Yes")) << c.Name;
    }
}

TEST_F(EndToEnd, AnAutomaticLogOnTheServerRefusesFallsBackToTheDialogWithTheLastUser)
{
    SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Last known user"), QStringLiteral("bob"));
    SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Use Windows logon"), QStringLiteral("Yes"));
    ConnectTo(Server().URL());
    QString preselected;
    script.Then<TfDlgLogin>([&](TfDlgLogin &dialog) {
        preselected = dialog.cbUsers()->currentText();
        EXPECT_TRUE(dialog.chkShow()->isChecked());
        PressLater(dialog.btnCancel());
    });
    EXPECT_EQ(TLogOnSteps(Client()).ProcessLogon(), 2);
    EXPECT_EQ(preselected, QStringLiteral("bob"));
}

TEST_F(EndToEnd, YesInLowerCaseIsNoAutomaticLogOn)
{
    ConnectTo(Server().URL());
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword, true));
    EXPECT_EQ(TLogOnSteps(Client()).ProcessLogon(), 0);
    client.reset();
    SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Use Windows logon"), QStringLiteral("yes"));
    bool dialogShown = false;
    script.Then<TfDlgLogin>([&](TfDlgLogin &dialog) {
        dialogShown = true;
        PressLater(dialog.btnCancel());
    });
    ConnectTo(Server().URL());
    EXPECT_EQ(TLogOnSteps(Client()).ProcessLogon(), 2);
    EXPECT_TRUE(dialogShown);
}

TEST_F(EndToEnd, APasswordChangesOnlyOnceTheCurrentOneIsProved)
{
    ConnectTo(Server().URL());
    bool passwordDialogShown = false;
    script.Then<TfDlgLogin>([&](TfDlgLogin &dialog) {
        // A wrong current password: the change is refused before it is asked for.
        dialog.cbUsers()->setCurrentIndex(dialog.cbUsers()->findText(QStringLiteral("anna")));
        dialog.ePwd()->setText(QStringLiteral("wrong"));
        emit dialog.changePasswordRequested();
        dialog.ePwd()->setText(kAnnaPassword);
        QTimer::singleShot(0, &dialog, [&dialog] { emit dialog.changePasswordRequested(); });
    });
    script.Then<TfPassword>([&](TfPassword &dialog) {
        passwordDialogShown = true;
        // Typed as a user types: the second entry holds lower case only.
        QTest::keyClicks(dialog.edPwd1(), QStringLiteral("newcredo1"));
        QTest::keyClicks(dialog.edPwd2(), QStringLiteral("NewCredo1"));
        PressLater(dialog.btnChange());
    });
    // The log-on dialog stayed open: the user logs on with the new password.
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), QStringLiteral("newcredo1")));
    EXPECT_EQ(TLogOnSteps(Client()).ProcessLogon(), 0) << "logged on";
    EXPECT_TRUE(passwordDialogShown);
    ASSERT_GE(prompt.Prompts().size(), 2);
    EXPECT_EQ(prompt.Prompts()[0].Icon, QMessageBox::Critical) << "the wrong current password";
    EXPECT_EQ(prompt.Prompts()[1].Text, QStringLiteral("You have successfully changed your password"));
    EXPECT_EQ(prompt.Prompts()[1].Caption, QStringLiteral("Information"));
    // The new password is the one that counts.
    std::unique_ptr<ROUser> user;
    auto service = CoLogOnService::Create(std::make_shared<TROMessage>(), Client().ROHTTP());
    EXPECT_EQ(service->VerifyUser(QStringLiteral("A01"), QStringLiteral("anna"), QStringLiteral("newcredo1"), false, QString(), false, user), 0);
    EXPECT_EQ(service->VerifyUser(QStringLiteral("A01"), QStringLiteral("anna"), kAnnaPassword, false, QString(), false, user), 7);
}

TEST_F(EndToEnd, TheSetUpWizardsNewAccountIsLoggedOn)
{
    Server().ClearUsersAndSettings();
    ConnectTo(Server().URL());
    TLogOnSteps steps(Client());
    EXPECT_EQ(steps.CheckInitialSetup(), 6);
    // What the wizard would have stored: its administrator (the test module's account).
    Server().AddUser(QStringLiteral("{5E700000-0000-0000-0000-000000000001}"), QStringLiteral("Pastor"), QStringLiteral("Secret1"), kAdministrator);
    EXPECT_TRUE(steps.RunInitialSetup());
    EXPECT_EQ(Client().User()->UserName, QStringLiteral("Pastor"));
    EXPECT_EQ(Client().User()->UserLevel, int(kAdministrator));
    Client().SetUserSetting(QStringLiteral("ActiveGroup"), QStringLiteral("1"));
    EXPECT_TRUE(Client().DMData()->SendChanges()) << "the session is logged on";
}

TEST_F(EndToEnd, ADatabaseWithoutUsersReachesTheSetUpHandOverAndWithoutItsModuleTheStartEnds)
{
    Server().ClearUsersAndSettings();
    // Only navigation modules: nothing offers the set-up wizard.
    QFile::remove(program.Path(QStringLiteral("PlugIns/TestService.qor")));
    RunStart();
    EXPECT_FALSE(factory.loopRan);
    TVOResourceHandler texts;
    texts.LoadResourceFile(program.Path(QStringLiteral("Quorva.lng")));
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Text, texts.GetString(13));
    const QStringList lines = StartLog();
    const int handOver = IndexOf(lines, QStringLiteral("Main\tMain Start initial setup"));
    EXPECT_NE(handOver, -1);
    EXPECT_GT(IndexOf(lines, QStringLiteral("DMClient\tRunInitialSetup The database has no users yet")), handOver);
    EXPECT_GT(IndexOf(lines, QStringLiteral("Quorva\tMain Unable to run Initial Setup")), handOver);
    EXPECT_EQ(IndexOf(lines, QStringLiteral("ProcessLogon")), -1);
}
