// The client host against the real Brennic on a fresh database, offscreen, one server and
// database for the program: the suite's users, program folder and host components, and the
// log-on as a user does it.
#pragma once

#include "client/ClientConfiguration.h"
#include "client/HostComponentFactory.h"
#include "client/QuorvaStartup.h"
#include "client/QuorvaSteps.h"
#include "client/THYModuleManager.h"
#include "client/uDMClient.h"
#include "client/uDMData.h"
#include "client/uDockPanel.h"
#include "client/uLogOn.h"
#include "client/uServerConnector.h"
#include "client/ufAbout.h"
#include "client/ufDlgLogin.h"
#include "client/ufDlgServerAddress.h"
#include "client/ufMain.h"
#include "client/ufWhatsNew.h"

#include "testsupport/ClientTestSupport.h"
#include "testsupport/NavBarEntries.h"
#include "testsupport/DialogScript.h"
#include "testsupport/LoopbackHostFactory.h"
#include "testsupport/OrdinaryUser.h"
#include "testsupport/RealBrennic.h"
#include "testsupport/LogCapture.h"
#include "testsupport/QtPrinters.h"
#include "testsupport/Wait.h"

#include "foundation/uRegistry.h"
#include "foundation/uResourceHandler.h"
#include "remoting/RODiscovery.h"
#include "remoting/ROErrors.h"
#include "remoting/ROEventRepository.h"
#include "remoting/ROHTTPChannel.h"
#include "remoting/ROMessage.h"
#include "ui/PromptService.h"
#include "ui/uHTMLHelp.h"
#include "ui/ufPassword.h"

#if __has_include("foundation/InteractiveLogon.h")
#include "foundation/InteractiveLogon.h"
#endif

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QStyle>
#include <QStyleOptionToolButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolBox>
#include <QToolButton>
#include <QUdpSocket>
#include <QUrl>
#include <QUuid>

#include <gtest/gtest.h>

#include <csignal>

using namespace kestrova::test;
using namespace Quorva;
using namespace std::chrono_literals;

namespace end_to_end_test {

inline const QString kAnna = QStringLiteral("{A0000000-0000-0000-0000-00000000000A}");
inline const QString kBob = QStringLiteral("{B0000000-0000-0000-0000-00000000000B}");
inline const QString kAnnaPassword = QStringLiteral("Credo2024");
inline const QString kBobPassword = QStringLiteral("Gloria77");
inline constexpr qint64 kAdministrator = 0x7FFFFFFF;

inline QString Registry(HKEY root, const QString &name)
{
    QString value;
    TQorReg::ReadString(root, ProductKey, value, QStringLiteral("<none>"), name);
    return value;
}

inline void SetRegistry(HKEY root, const QString &name, const QString &value)
{
    TQorReg::WriteString(root, ProductKey, value, name);
}

// The log-on as a user does it: the name, the password, the box, OK.
inline std::function<void(TfDlgLogin &)> LogOnAs(const QString &name, const QString &password, bool windowsLogon = false)
{
    return [name, password, windowsLogon](TfDlgLogin &dialog) {
        dialog.cbUsers()->setCurrentIndex(dialog.cbUsers()->findText(name));
        dialog.ePwd()->setText(password);
        dialog.chkShow()->setChecked(windowsLogon);
        PressLater(dialog.btnOK());
    };
}

class EndToEnd : public RealBrennicSuite
{
protected:
    void SetUp() override
    {
        RealBrennicSuite::SetUp();
        if (!Ready())
            return;
        Server().ClearUsersAndSettings();
        Server().AddUser(kAnna, QStringLiteral("anna"), kAnnaPassword, 1);
        Server().AddUser(kBob, QStringLiteral("bob"), kBobPassword, kAdministrator);
        program.SetSetting(QStringLiteral("Animate splash"), QStringLiteral("False"));
        // The help pages as the build stages them beside the program.
        QDir(program.Path()).mkdir(QStringLiteral("help"));
        for (const QString &page : QDir(QStringLiteral(KESTROVA_STAGE_DIR "/help")).entryList(QDir::Files))
            QFile::copy(QStringLiteral(KESTROVA_STAGE_DIR "/help/") + page, program.Path(QStringLiteral("help/") + page));
        program.AddModule(QStringLiteral("TestService"));
        program.AddModule(QStringLiteral("TestViews"),
                          {{9000, QStringLiteral("0")}, {9001, QStringLiteral("0")}, {9002, QStringLiteral("1")},
                           {1000, QStringLiteral("Parish list")}, {1001, QStringLiteral("Parish calendar")}},
                          QStringLiteral("A_Everyone"));
        program.AddModule(QStringLiteral("TestViews"),
                          {{9000, QStringLiteral("1")}, {9001, QStringLiteral("1")}, {9002, QStringLiteral("1")},
                           {1000, QStringLiteral("Editors' board")}, {1001, QStringLiteral("Editors' schedule")}},
                          QStringLiteral("B_Editors"));
        program.AddModule(QStringLiteral("TestViews"),
                          {{9000, QStringLiteral("0x7FFFFFFF")}, {9001, QStringLiteral("2")}, {9002, QStringLiteral("2")},
                           {1000, QStringLiteral("Locations")}, {1001, QStringLiteral("Users")}},
                          QStringLiteral("C_Administrators"));
        TconHTMLHelp::SetOpener([this](const QUrl &page) {
            opened << page.toLocalFile();
            return true;
        });
        factory.discoveryPort = Server().DiscoveryPort();
    }
    void TearDown() override
    {
        TconHTMLHelp::SetOpener({});
        client.reset();
    }


    // A client data module of this test's program folder, configured, with its modules.
    TDMClient &Client()
    {
        if (!client) {
            client = std::make_unique<TDMClient>(program.ProgramPath());
            FreshSession(*client);
            client->ReadConfiguration();
            client->LoadHydraModules();
        }
        return *client;
    }
    TServerConnector &Connector(quint16 discoveryPort)
    {
        if (!connector) {
            connector = std::make_unique<TServerConnector>(Client());
            connector->SetDiscoveryTarget(QHostAddress::LocalHost, discoveryPort);
        }
        return *connector;
    }
    void ConnectTo(const QString &url)
    {
        Client().ROHTTP()->SetTargetURL(url);
        Client().ROHTTPEvents()->SetTargetURL(url);
        Client().SetCurrentServerURL(url);
    }
    // A whole start of the program, as main() runs it.
    void RunStart()
    {
        TQuorvaSteps steps(program.ProgramPath(), factory);
        TQuorvaStartup(steps, program.ProgramPath(), QStringLiteral(KESTROVA_VERSION)).Run();
    }
    QStringList StartLog() const { return FileLines(program.Path(QStringLiteral("session.txt"))); }
    QString Stored(const QString &userId, const QString &key) const
    {
        return Server().Db().scalar(
            QStringLiteral("SELECT SettingsValue FROM dbo.tblSettings WHERE F_UserID = '%1' AND SettingsKey = '%2'").arg(userId, key));
    }


    ProgramFolder program;
    TScriptedPrompt prompt;
    DialogScript script;
    EndToEndFactory factory;
    QStringList opened;
    // Declared after the client: it goes first.
    std::unique_ptr<TDMClient> client;
    std::unique_ptr<TServerConnector> connector;
};

} // namespace end_to_end_test
