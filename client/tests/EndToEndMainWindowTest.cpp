// The main window of a whole start against the real Brennic, offscreen: the navigation items of
// the user's level, its placement and panes across a restart, its about box, what's-new page and
// help, every staged plug-in's Exit, the Quorva program itself, and a client installed the
// documented way, started by an ordinary user.
#include "client/tests/EndToEndFixture.h"

using namespace end_to_end_test;

namespace {

// The staged plug-ins in place of the in-tree test modules; false when the build staged fewer than two.
bool UseStagedPlugIns(const ProgramFolder &program)
{
    QDir folder(program.PluginsFolder());
    for (const QString &file : folder.entryList(QDir::Files))
        folder.remove(file);
    const QDir staged(QStringLiteral(KESTROVA_STAGE_DIR "/PlugIns"));
    const QStringList files = staged.entryList({QStringLiteral("*.qor"), QStringLiteral("*.lng")}, QDir::Files);
    for (const QString &file : files)
        QFile::copy(staged.filePath(file), folder.filePath(file));
    return files.filter(QStringLiteral(".qor")).size() >= 2;
}

bool IsExit(const QAction *action)
{
    return QString(action->text()).remove(QLatin1Char('&')) == QLatin1String("Exit");
}

QAction *FindExit(const QList<QAction *> &actions)
{
    for (QAction *action : actions) {
        if (IsExit(action))
            return action;
        if (action->menu())
            if (QAction *inside = FindExit(action->menu()->actions()))
                return inside;
    }
    return nullptr;
}

// The button on the active plug-in's bars that leads to its Exit: the button of a menu that holds
// it, or the action's own button.
QToolButton *ExitButton(TfMain &window, bool throughMenu, QAction *&exit)
{
    for (QToolBar *bar : window.PluginBars())
        for (QAction *action : bar->actions()) {
            QAction *found = throughMenu ? (action->menu() ? FindExit(action->menu()->actions()) : nullptr)
                                         : (IsExit(action) ? action : nullptr);
            if (found) {
                exit = found;
                return qobject_cast<QToolButton *>(bar->widgetForAction(action));
            }
        }
    return nullptr;
}

} // namespace

// --- the main window of a whole start -----------------------------------------------------------

TEST_F(EndToEnd, AfterTheLogOnTheMainWindowShowsExactlyTheItemsOfTheUsersLevel)
{
    struct Case
    {
        QString Name;
        QString Password;
        QStringList Groups;
    };
    const Case cases[] = {
        {QStringLiteral("anna"), kAnnaPassword,
         {QStringLiteral("Contacts: Parish list"), QStringLiteral("Calendar: Parish calendar, Editors' board, Editors' schedule")}},
        {QStringLiteral("bob"), kBobPassword,
         {QStringLiteral("Contacts: Parish list"), QStringLiteral("Calendar: Parish calendar, Editors' board, Editors' schedule"),
          QStringLiteral("Administration: Locations, Users")}},
    };
    for (const Case &c : cases) {
        QStringList groups;
        QString title;
        factory.loopRan = false;
        factory.inLoop = [&](TfMain &window, TDMClient &) {
            groups = NavBarGroupLines(window.NavBarGroups());
            title = window.windowTitle();
        };
        script.Then<TfDlgLogin>(LogOnAs(c.Name, c.Password));
        RunStart();
        EXPECT_TRUE(factory.loopRan) << c.Name.toStdString();
        EXPECT_EQ(groups, c.Groups) << c.Name.toStdString();
        EXPECT_EQ(title, c.Name + QStringLiteral(" - Kestrova"));
        const QStringList lines = StartLog();
        EXPECT_EQ(Matching(lines, QStringLiteral(" : Severe ")), QStringList()) << c.Name.toStdString();
        EXPECT_NE(IndexOf(lines, QStringLiteral("Information\tMain\tServers: 1")), -1) << "found by discovery";
    }
}

TEST_F(EndToEnd, PlacementAndPaneStatesSurviveARestart)
{
    factory.inLoop = [](TfMain &window, TDMClient &) {
        window.move(140, 90);
        window.resize(900, 620);
        window.SetNavBarVisible(false);
        window.docSmartHelp()->SetAutoHide(true);
        window.OnNavItemClick(1, 1);
    };
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword));
    RunStart();
    ASSERT_TRUE(factory.loopRan);
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("WindowsLeft")), QStringLiteral("140"));
    EXPECT_EQ(Registry(HKEY_CURRENT_USER, QStringLiteral("WindowsWidth")), QStringLiteral("900"));
    EXPECT_EQ(Stored(kAnna, QStringLiteral("NavBarVisible")), QStringLiteral("0"));
    EXPECT_EQ(Stored(kAnna, QStringLiteral("SmartHelpAutoHide")), QStringLiteral("-1"));
    EXPECT_EQ(Stored(kAnna, QStringLiteral("NavBarAutoHide")), QStringLiteral("0"));
    // The item to open comes from the settings, which the window only reads.
    Server().Db().exec(QStringLiteral("INSERT INTO dbo.tblSettings (APPID, F_UserID, SettingsKey, SettingsValue, SystemSetting) VALUES "
                                      "('A01', '%1', 'ActiveGroup', '1', 0), ('A01', '%1', 'ActiveItem', '2', 0)").arg(kAnna));

    QPoint position;
    QSize size;
    bool navBarVisible = true;
    bool smartHelpAutoHide = false;
    QString activeCaption;
    factory.loopRan = false;
    factory.inLoop = [&](TfMain &window, TDMClient &) {
        position = window.pos();
        size = window.size();
        navBarVisible = window.GetNavBarVisible();
        smartHelpAutoHide = window.docSmartHelp()->AutoHide();
        if (window.ActiveGroup() >= 0)
            activeCaption = window.NavBarGroups()[window.ActiveGroup()].Items[window.ActiveItem()].Caption;
    };
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword));
    RunStart();
    ASSERT_TRUE(factory.loopRan);
    EXPECT_EQ(position, QPoint(140, 90));
    EXPECT_EQ(size, QSize(900, 620));
    EXPECT_FALSE(navBarVisible);
    EXPECT_TRUE(smartHelpAutoHide);
    EXPECT_EQ(activeCaption, QStringLiteral("Editors' schedule"));
}

TEST_F(EndToEnd, TheAboutBoxTheWhatsNewPageAndTheHelpOpenWithTheirTexts)
{
    // This version's page, as the build stages it.
    ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_STAGE_DIR "/" KESTROVA_VERSION ".html"), program.Path(QStringLiteral(KESTROVA_VERSION ".html"))));

    QString whatsNew;
    QString version;
    factory.inLoop = [&](TfMain &window, TDMClient &host) {
        script.Then<TfWhatsNew>([&](TfWhatsNew &shown) {
            whatsNew = shown.reWhatsNew()->toPlainText();
            PressLater(shown.btnClose());
        });
        EXPECT_TRUE(WaitFor([&] { return script.Pending() == 0 && !window.tmrWhatsNew()->isActive(); }, 10s));
        WaitFor([] { return false; }, 100ms);
        script.Then<TfAbout>([&](TfAbout &shown) {
            version = shown.lblVersion()->text();
            QTimer::singleShot(30, &shown, [&shown] { shown.PictureClick(); });
        });
        if (auto about = host_cast<IAboutHost>(&host.HYROMgr()))
            about->ShowAboutDialog();
    };
    script.Then<TfDlgLogin>([](TfDlgLogin &dialog) {
        dialog.btnHelp()->click();
        LogOnAs(QStringLiteral("anna"), kAnnaPassword)(dialog);
    });
    RunStart();
    ASSERT_TRUE(factory.loopRan);
    EXPECT_TRUE(whatsNew.contains(QStringLiteral("What is new in this version of Kestrova"))) << whatsNew.toStdString();
    EXPECT_EQ(version, QStringLiteral("Version " KESTROVA_VERSION));
    EXPECT_EQ(opened, QStringList{program.Path(QStringLiteral("help/Login_Dialog.html"))});
    for (const char *topic : {"Login_Dialog", "Reports", "index"})
        EXPECT_TRUE(QFile::exists(QStringLiteral(KESTROVA_STAGE_DIR "/help/") + QLatin1String(topic) + QStringLiteral(".html"))) << topic;
}

// --- the staged plug-ins in the main window --------------------------------------------------------

// Where a press opens a tool button's menu: the whole button, or its arrow.
QPoint MenuPressPoint(QToolButton &button)
{
    if (button.popupMode() != QToolButton::MenuButtonPopup)
        return button.rect().center();
    QStyleOptionToolButton option;
    option.initFrom(&button);
    option.subControls = QStyle::SC_ToolButton | QStyle::SC_ToolButtonMenu;
    option.features = QStyleOptionToolButton::MenuButtonPopup | QStyleOptionToolButton::HasMenu;
    return button.style()->subControlRect(QStyle::CC_ToolButton, &option, QStyle::SC_ToolButtonMenu, &button).center();
}

TEST_F(EndToEnd, EveryPlugInsExitThroughItsMenuAndItsToolbarClosesTheWindowAndTheRunEndsCleanly)
{
    ASSERT_TRUE(UseStagedPlugIns(program)) << "no staged plug-ins in " KESTROVA_STAGE_DIR;
    enum class Route { ToolbarMenuByMouse, MenuOpened, OwnButton };
    QStringList left;
    QStringList without;
    factory.inLoop = [&](TfMain &window, TDMClient &) {
        for (int g = 0; g < window.NavBarGroups().size(); ++g)
            for (int i = 0; i < window.NavBarGroups()[g].Items.size(); ++i) {
                const QString name = window.NavBarGroups()[g].Items[i].PluginName;
                int routes = 0;
                for (const Route route : {Route::ToolbarMenuByMouse, Route::MenuOpened, Route::OwnButton}) {
                    window.show();
                    window.OnNavItemClick(g, i);
                    QAction *exit = nullptr;
                    QToolButton *button = ExitButton(window, route != Route::OwnButton, exit);
                    if (!button)
                        continue;
                    const QString way = route == Route::ToolbarMenuByMouse ? QStringLiteral(" toolbar menu")
                                        : route == Route::MenuOpened       ? QStringLiteral(" menu")
                                                                           : QStringLiteral(" toolbar button");
                    const std::string label = (name + way).toStdString();
                    if (route == Route::OwnButton) {
                        QTest::mouseClick(button, Qt::LeftButton);
                    } else {
                        // The menu's own loop runs under the button: the user picks Exit in it, and
                        // in a submenu when it sits there.
                        QTimer pick;
                        pick.setInterval(20);
                        QObject::connect(&pick, &QTimer::timeout, [exit] {
                            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
                            if (!menu)
                                return;
                            for (QAction *action : menu->actions())
                                if (action == exit || (action->menu() && FindExit(action->menu()->actions()) == exit)) {
                                    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
                                    return;
                                }
                        });
                        pick.start();
                        if (route == Route::ToolbarMenuByMouse)
                            QTest::mousePress(button, Qt::LeftButton, {}, MenuPressPoint(*button));
                        else
                            button->showMenu();
                    }
                    EXPECT_TRUE(WaitFor([&] { return !window.isVisible(); }, 10s)) << label;
                    EXPECT_EQ(window.ActivePlugin(), nullptr) << label;
                    left << name + way;
                    ++routes;
                }
                if (routes == 0)
                    without << name;
            }
    };
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("bob"), kBobPassword));
    RunStart();
    ASSERT_TRUE(factory.loopRan);
    EXPECT_TRUE(without.isEmpty()) << "views without an Exit: " << without.join(QStringLiteral(", ")).toStdString();
    EXPECT_GE(left.size(), 8) << left.join(QStringLiteral(", ")).toStdString();
    RecordProperty("routes", left.join(QStringLiteral(", ")).toStdString());
    const QStringList lines = StartLog();
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[lines.size() - 2].contains(QStringLiteral("System Shutdown")));
}

// --- the program itself -----------------------------------------------------------------------------

TEST_F(EndToEnd, TheQuorvaProgramLogsOnWithTheOperatingSystemAccountAndOpensTheFirstItemOfItsMainWindow)
{
    // A password log-on that asks for the automatic one, as the user did it the last time.
    ConnectTo(Server().URL());
    script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword, true));
    ASSERT_EQ(TLogOnSteps(Client()).ProcessLogon(), 0);
    client.reset();
    // A client installation that always uses its preferred server: no discovery of other servers.
    SetRegistry(HKEY_LOCAL_MACHINE, QStringLiteral("Installation Type"), QStringLiteral("Client"));
    SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Preferred server"), Server().URL());
    SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Always use preferred server"), QStringLiteral("TRUE"));
    const QString quorva = program.Path(QStringLiteral("Quorva"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(KESTROVA_STAGE_DIR "/Quorva"), quorva));
    const QDir stage(QStringLiteral(KESTROVA_STAGE_DIR));
    for (const QString &library : stage.entryList({QStringLiteral("*.so")}, QDir::Files))
        ASSERT_TRUE(QFile::link(stage.filePath(library), program.Path(library)));
    QFile::remove(program.Path(QStringLiteral("session.txt")));

    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(program.Path(QStringLiteral("console.txt")));
    process.start(quorva, {});
    ASSERT_TRUE(process.waitForStarted());
    const bool reached = WaitFor(
        [&] { return IndexOf(StartLog(), QStringLiteral("activated plgTestCalendar")) != -1 || process.state() == QProcess::NotRunning; },
        90s);
    const bool running = process.state() == QProcess::Running;
    if (running && process.processId() > 0) {
        ::kill(pid_t(process.processId()), SIGTERM);
        process.waitForFinished(30000);
    }
    const QStringList lines = StartLog();
    ASSERT_TRUE(reached && running) << lines.join(QLatin1Char('\n')).toStdString()
                                    << FileLines(program.Path(QStringLiteral("console.txt"))).join(QLatin1Char('\n')).toStdString();
    EXPECT_NE(IndexOf(lines, QStringLiteral("Main\tServer: ") + Server().URL()), -1);
    EXPECT_EQ(Matching(lines, QStringLiteral(" : Severe ")), QStringList());
}

// --- a computer with the client only ----------------------------------------------------------------

namespace {

constexpr QFileDevice::Permissions kSharedFolder = QFileDevice::Permissions(0x7755);

QByteArray Encoded(const QString &path)
{
    return QFile::encodeName(path);
}

QByteArray FileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The installed files any user may read that hold one of the texts, and those others may change.
QStringList ExposedFiles(const QString &folder, const QList<QByteArray> &secrets)
{
    QStringList exposed;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo file(it.next());
        if (file.ownerId() != 0 || (file.permissions() & (QFileDevice::WriteGroup | QFileDevice::WriteOther)))
            exposed << file.filePath() + QStringLiteral(" (others may change it)");
        if (!(file.permissions() & QFileDevice::ReadOther))
            continue;
        const QByteArray bytes = FileBytes(file.filePath());
        for (const QByteArray &secret : secrets)
            if (bytes.contains(secret))
                exposed << file.filePath() + QStringLiteral(" (holds ") + QString::fromUtf8(secret) + QLatin1Char(')');
    }
    return exposed;
}

} // namespace

TEST_F(EndToEnd, AClientInstalledAsTheDocsSayStartsForAnOrdinaryUserWithItsFilesInTheUsersFolderAndNoPasswordInstalled)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "installing into a folder of root's and starting the client as another user needs root";

    // The docs' client-only steps are the script's, so that the two cannot part.
    const QString docs = QString::fromUtf8(FileBytes(QStringLiteral(KESTROVA_SOURCE_DIR "/docs/installing.md")));
    const qsizetype section = docs.indexOf(QStringLiteral("## A computer with the client only"));
    ASSERT_NE(section, -1);
    EXPECT_TRUE(docs.mid(section).contains(QStringLiteral("```sh\nscripts/install-client ")));

    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    ASSERT_TRUE(QFile::setPermissions(work.path(), kSharedFolder));
    const QDir root(work.path());
    const QString stage = root.filePath(QStringLiteral("stage"));
    const QString target = root.filePath(QStringLiteral("opt/kestrova-client"));
    const QString home = root.filePath(QStringLiteral("home"));
    const QString registry = home + QStringLiteral("/registry");
    const QString bin = root.filePath(QStringLiteral("bin"));
    const QString state = home + QStringLiteral("/.local/state/Orbek/Kestrova");
    for (const QString &folder : {root.filePath(QStringLiteral("opt")), registry, bin})
        ASSERT_TRUE(QDir().mkpath(folder) && QFile::setPermissions(folder, kSharedFolder)) << folder.toStdString();
    ASSERT_TRUE(AsOrdinaryUser::GiveToUser(home) && AsOrdinaryUser::GiveToUser(registry));

    // The stage as a server's checkout leaves it: its settings file is the server's, owner-only,
    // with the database's password in the data source.
    ASSERT_EQ(QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-al"), QStringLiteral(KESTROVA_STAGE_DIR), stage}), 0);
    const QByteArray password = "Pa55;" + QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
    QFile::remove(stage + QStringLiteral("/Settings.ini"));
    ASSERT_TRUE(IniFile::writeStrings(
        stage + QStringLiteral("/Settings.ini"),
        {{QStringLiteral("Data Access"), QStringLiteral("Datatype"), QStringLiteral("MSSQL")},
         {QStringLiteral("Data Access"), QStringLiteral("DataSource"),
          QStringLiteral("ADO?AuxDriver=SQLOLEDB.1;Data Source=db.parish.local;Initial Catalog=kestrova;User ID=kestrova;Password=")
              + QString::fromUtf8(password) + QLatin1Char(';')},
         {QStringLiteral("Server"), QStringLiteral("Port"), QStringLiteral("8099")},
         {QStringLiteral("System settings"), QStringLiteral("Animate splash"), QStringLiteral("False")}},
        QFileDevice::ReadOwner | QFileDevice::WriteOwner));

    // The machine's store a server started here once left behind, without the mark.
    ASSERT_TRUE(IniFile::writeStrings(registry + QStringLiteral("/machine.ini"),
                                      {{ProductKey, QStringLiteral("Server run-mode"), QStringLiteral("Service")},
                                       {ProductKey, QStringLiteral("Server path"), stage}}));
    QProcess install;
    QProcessEnvironment installEnvironment = QProcessEnvironment::systemEnvironment();
    installEnvironment.insert(QStringLiteral("KESTROVA_REGISTRY_DIR"), registry);
    install.setProcessEnvironment(installEnvironment);
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(KESTROVA_SOURCE_DIR "/scripts/install-client"), {stage, target});
    ASSERT_TRUE(install.waitForFinished(120000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAll().toStdString();

    EXPECT_EQ(ExposedFiles(target, {password, QByteArrayLiteral("[Data Access]")}), QStringList());
    const QString guide = target + QStringLiteral("/docs/Kestrova Getting Started Guide.pdf");
    EXPECT_TRUE(FileBytes(guide).startsWith("%PDF-"));
    for (const char *tool : {"Update", "Diagnose", "Quorva"})
        EXPECT_TRUE(QFile::permissions(target + QLatin1Char('/') + QLatin1String(tool)) & QFileDevice::ExeOther) << tool;
    EXPECT_EQ(IniFile::readString(registry + QStringLiteral("/machine.ini"), ProductKey, QStringLiteral("Installation Type"), QString()),
              QStringLiteral("Client"));
    EXPECT_EQ(IniFile::readString(registry + QStringLiteral("/machine.ini"), ProductKey, QStringLiteral("Server path"), QString()), stage);
    EXPECT_EQ(IniFile::readString(target + QStringLiteral("/Settings.ini"), TClientConfiguration::Section,
                                  QStringLiteral("Animate splash"), QString()),
              QStringLiteral("False"));

    // Help's "Getting started" hands the guide to the desktop's opener, which here notes it.
    const QString openedFile = home + QStringLiteral("/opened.txt");
    {
        QFile opener(bin + QStringLiteral("/xdg-open"));
        ASSERT_TRUE(opener.open(QIODevice::WriteOnly));
        opener.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '%1'\n").arg(openedFile).toUtf8());
    }
    ASSERT_TRUE(QFile::setPermissions(bin + QStringLiteral("/xdg-open"), kSharedFolder));

    const ScopedEnvironment environment{{"HOME", Encoded(home)},
                                        {"XDG_STATE_HOME", QByteArray()},
                                        {"XDG_CONFIG_HOME", QByteArray()},
                                        {"KESTROVA_REGISTRY_DIR", Encoded(registry)},
                                        {"PATH", Encoded(bin) + ':' + qgetenv("PATH")}};
    const QString quorvaPath = target + QStringLiteral("/Quorva");
    const auto start = [&] {
        TQuorvaSteps steps(quorvaPath, factory);
        TQuorvaStartup(steps, quorvaPath, QStringLiteral(KESTROVA_VERSION)).Run();
    };
    int whatsNewShown = 0;
    const auto whatsNew = [&](TfMain &window, bool tick) {
        script.Then<TfWhatsNew>([&whatsNewShown, tick](TfWhatsNew &shown) {
            ++whatsNewShown;
            shown.chkDontShow()->setChecked(tick);
            PressLater(shown.btnClose());
        });
        EXPECT_TRUE(WaitFor([&] { return !window.tmrWhatsNew()->isActive(); }, 10s));
        WaitFor([&] { return whatsNewShown > 0 && !QApplication::activeModalWidget(); }, 500ms);
    };

    // The first start of a user: the update the server holds waits for an administrator; the
    // log-on, the what's-new page with its box ticked, Getting started.
    const QString updates = Server().Folder() + QStringLiteral("/Updates");
    ASSERT_TRUE(QDir().mkpath(updates + QStringLiteral("/1.0.0.3/help")));
    auto unstage = qScopeGuard([&] { QDir(updates).removeRecursively(); });
    {
        const AsOrdinaryUser user;
        ASSERT_TRUE(user.Ordinary());
        SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Preferred server"), Server().URL());
        SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Always use preferred server"), QStringLiteral("TRUE"));
        script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword, true));
        factory.inLoop = [&](TfMain &window, TDMClient &host) {
            whatsNew(window, true);
            auto application = host_cast<IHostApplication>(&host.HYROMgr());
            ASSERT_TRUE(application);
            application->OpenGettingStartedGuide();
        };
        start();
    }
    unstage.dismiss();
    QDir(updates).removeRecursively();
    ASSERT_TRUE(factory.loopRan);
    EXPECT_EQ(whatsNewShown, 1);
    ASSERT_EQ(prompt.Prompts().size(), 1);
    TVOResourceHandler texts;
    texts.LoadResourceFile(target + QStringLiteral("/Quorva.lng"));
    EXPECT_EQ(prompt.Prompts()[0].Text, texts.GetString(14).arg(QStringLiteral("1.0.0.3")));
    QStringList lines = FileLines(state + QStringLiteral("/session.txt"));
    EXPECT_NE(IndexOf(lines, QStringLiteral("Warning    \tDMClient\tCheckForUpdate The client update 1.0.0.3 waits")), -1)
        << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(IndexOf(lines, QStringLiteral("Updating client")), -1);
    EXPECT_EQ(IndexOf(lines, QStringLiteral("Missing report folder")), -1) << "the report layouts are installed";
    EXPECT_NE(IndexOf(lines, QStringLiteral("Quorva\tSession files: ") + target), -1) << lines.join(QLatin1Char('\n')).toStdString();
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[lines.size() - 2].contains(QStringLiteral("System Shutdown")));
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral("/session.txt")));
    EXPECT_EQ(IniFile::readString(state + QStringLiteral("/Settings.ini"), TClientConfiguration::Section, QStringLiteral("ShowWhatsNew"), QString()),
              QStringLiteral("False"));
    EXPECT_TRUE(WaitFor([&] { return FileBytes(openedFile).contains(QUrl::fromLocalFile(guide).toString().toUtf8()); }, 10s))
        << FileBytes(openedFile).toStdString();

    // The next start: "Don't show this again" held.
    whatsNewShown = 0;
    factory.loopRan = false;
    {
        const AsOrdinaryUser user;
        // The log-on dialog again, so that the script's steps come in a known order.
        SetRegistry(HKEY_CURRENT_USER, QStringLiteral("Use Windows logon"), QStringLiteral("No"));
        script.Then<TfDlgLogin>(LogOnAs(QStringLiteral("anna"), kAnnaPassword, true));
        factory.inLoop = [&](TfMain &window, TDMClient &) { whatsNew(window, false); };
        start();
    }
    EXPECT_TRUE(factory.loopRan);
    EXPECT_EQ(whatsNewShown, 0);

    // The installed program itself, started by that user: it logs on with the account, as the
    // last start asked, and runs with its log in the user's folder.
    QFile::remove(state + QStringLiteral("/session.txt"));
    QProcessEnvironment userEnvironment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"XDG_STATE_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"})
        userEnvironment.remove(QLatin1String(name));
    userEnvironment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    userEnvironment.insert(QStringLiteral("USER"), QStringLiteral("nobody"));
    userEnvironment.insert(QStringLiteral("LOGNAME"), QStringLiteral("nobody"));
    QProcess quorva;
    quorva.setProcessEnvironment(userEnvironment);
    quorva.setWorkingDirectory(home);
    quorva.setStandardOutputFile(QProcess::nullDevice());
    quorva.setStandardErrorFile(root.filePath(QStringLiteral("console.txt")));
    quorva.start(QStringLiteral("setpriv"), {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                             QStringLiteral("--clear-groups"), QStringLiteral("--"), quorvaPath});
    ASSERT_TRUE(quorva.waitForStarted());
    const auto log = [&] { return FileLines(state + QStringLiteral("/session.txt")); };
    const bool connected = WaitFor(
        [&] { return IndexOf(log(), QStringLiteral("Main\tServer: ") + Server().URL()) != -1 || quorva.state() == QProcess::NotRunning; },
        90s);
    // Past the log-on it stays in its main window; a refused start would end here. Then it
    // crashes, and its report goes where its log went.
    WaitFor([&] { return quorva.state() == QProcess::NotRunning; }, 3s);
    const bool running = quorva.state() == QProcess::Running;
    if (running)
        ::kill(pid_t(quorva.processId()), SIGABRT);
    quorva.waitForFinished(30000);
    lines = log();
    ASSERT_TRUE(connected && running) << lines.join(QLatin1Char('\n')).toStdString()
                                      << FileBytes(root.filePath(QStringLiteral("console.txt"))).toStdString();
    EXPECT_EQ(Matching(lines, QStringLiteral(" : Severe ")), QStringList());
    EXPECT_NE(IndexOf(lines, QStringLiteral("Quorva\tSession files: ") + target), -1);
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral("/session.txt")));
    EXPECT_TRUE(FileBytes(state + QStringLiteral("/crashreport.txt")).contains("Signal: SIGABRT"));
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral("/crashreport.txt")));
}
