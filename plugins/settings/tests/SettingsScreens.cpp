// Pictures of the settings view as an administrator sees it, over a real server holding a
// parish's locations, liturgies, ministry functions and templates. Run under a real display
// (xvfb-run with the xcb platform); writes settings-templates.png, settings-locations.png,
// settings-options.png, settings-users.png and settings-users-new.png (just after New) into the folder
// given.
#include "plugins/settings/hcRvSettingsController.h"
#include "plugins/settings/uPlgSystemSettings.h"

#include "testsupport/ScreenshotSupport.h"
#include "testsupport/ServiceHarness.h"
#include "testsupport/StandInHost.h"

#include <QApplication>
#include <QDir>
#include <QStyleFactory>
#include <QTableView>
#include <QTreeWidget>

#include <cstdio>

using namespace kestrova::test;

namespace {

void Seed(ServiceServer &server)
{
    server.Sql(QStringLiteral(
        "INSERT INTO tblLocations (PK_LocationID, LocationName, LocationAddress, LocationPhone1, LocationEMail, LocationWeb, SortIndex) VALUES"
        " ('{10000000-0000-0000-0000-000000000001}', 'St Mary''s Church', '12 Church Street\nMillbrook', '01632 960123', 'office@stmarys.example', 'https://stmarys.example', 0),"
        " ('{10000000-0000-0000-0000-000000000002}', 'St Paul''s Chapel', '3 Hill Road\nMillbrook', '01632 960456', '', '', 1),"
        " ('{10000000-0000-0000-0000-000000000003}', 'Parish Hall', 'Church Street\nMillbrook', '', '', '', 2);"
        "INSERT INTO tblMinistryFunctions (PK_MinistryFunctionID, MinistryFunctionName, MinistryFunctionAbr, SortIndex) VALUES"
        " ('{30000000-0000-0000-0000-000000000001}', 'Lector', 'LEC', 0),"
        " ('{30000000-0000-0000-0000-000000000002}', 'Acolyte', 'ACO', 1),"
        " ('{30000000-0000-0000-0000-000000000003}', 'Cantor', 'CAN', 2),"
        " ('{30000000-0000-0000-0000-000000000004}', 'Extraordinary minister', 'EMC', 3),"
        " ('{30000000-0000-0000-0000-000000000005}', 'Usher', 'USH', 4),"
        " ('{30000000-0000-0000-0000-000000000006}', 'Sacristan', 'SAC', 5);"
        "INSERT INTO tblMinistryTemplates (PK_MinistryTemplateID, MinistryTemplateName, SortIndex) VALUES"
        " ('{40000000-0000-0000-0000-000000000001}', 'Sunday Mass', 0),"
        " ('{40000000-0000-0000-0000-000000000002}', 'Weekday Mass', 1),"
        " ('{40000000-0000-0000-0000-000000000003}', 'Evening Prayer', 2);"
        "INSERT INTO tblLnkMinistryTemplateToMinistryFunction (PK_LinkID, F_MinistryTemplateID, F_MinistryFunctionID, MinistryFunctionCount) VALUES"
        " ('{50000000-0000-0000-0000-000000000001}', '{40000000-0000-0000-0000-000000000001}', '{30000000-0000-0000-0000-000000000001}', 2),"
        " ('{50000000-0000-0000-0000-000000000002}', '{40000000-0000-0000-0000-000000000001}', '{30000000-0000-0000-0000-000000000002}', 2),"
        " ('{50000000-0000-0000-0000-000000000003}', '{40000000-0000-0000-0000-000000000001}', '{30000000-0000-0000-0000-000000000003}', 1),"
        " ('{50000000-0000-0000-0000-000000000004}', '{40000000-0000-0000-0000-000000000001}', '{30000000-0000-0000-0000-000000000004}', 4),"
        " ('{50000000-0000-0000-0000-000000000005}', '{40000000-0000-0000-0000-000000000002}', '{30000000-0000-0000-0000-000000000001}', 1),"
        " ('{50000000-0000-0000-0000-000000000006}', '{40000000-0000-0000-0000-000000000003}', '{30000000-0000-0000-0000-000000000003}', 1);"));
}

// Accounts with their stamps, listed by log-on name; the administrator's log-on has its time.
void SeedUsers(ServiceServer &server)
{
    server.Sql(QStringLiteral(
        "UPDATE tblUsers SET CreatedDateTime = '2026-09-06 10:15:00', ModifiedDateTime = '2026-11-20 18:40:00' WHERE PK_UserID = '%1';"
        "INSERT INTO tblUsers (PK_UserID, LogonUsername, F_Userlevel, CreatedDateTime, ModifiedDateTime, LastLoginDate, UseInteractiveLogon) VALUES"
        " ('{60000000-0000-0000-0000-000000000001}', 'martha', '{86A13150-8F61-47CC-9503-A5BFAE09F464}', '2026-10-01 09:30:00',"
        " '2026-10-01 09:30:00', '2026-12-06 08:12:40', 0),"
        " ('{60000000-0000-0000-0000-000000000002}', 'Benedict', '{86A13150-8F61-47CC-9503-A5BFAE09F464}', '2026-10-04 19:05:00',"
        " '2026-11-02 20:11:00', '2026-12-08 19:47:05', 0);")
                   .arg(ServiceServer::kAdministratorId));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    ServiceServer server;
    if (!server.db.available()) {
        std::fprintf(stderr, "no database: set KESTROVA_TEST_PG\n");
        return 1;
    }
    server.Start();
    Seed(server);
    TStandInHost host{THostPart::Settings | THostPart::Mail};
    const ServiceClient admin = server.Administrator();
    SeedUsers(server);
    host.Channel = admin.Channel;
    host.Message = admin.Message;
    host.User.UserID = ServiceServer::kAdministratorId;
    host.User.UserName = QStringLiteral("admin");
    host.User.UserLevel = 0x7FFFFFFF;
    int failures = 0;
    {
        TRvSettingsController controller;
        controller.ModuleCreate();
        controller.AttachHost(&host);
        Quorva::IHYPlugin *plugin = controller.CreatePlugin(TRvSettingsController::SettingsPlugin);
        auto *view = dynamic_cast<TplgSystemSettings *>(host_cast<Quorva::IHYVisualPlugin>(plugin)->GetWidget());
        view->resize(880, 540);
        view->Activate(nullptr);
        view->show();
        screenshots::Wait(300);
        view->SetPage(TplgSystemSettings::pgTemplates);
        view->TemplateTree()->setCurrentItem(view->TemplateTree()->topLevelItem(0)->child(1));
        view->FunctionTree()->setCurrentItem(view->FunctionTree()->topLevelItem(1));
        screenshots::Wait(300);
        failures += !screenshots::Save(view->grab(), QDir(folder).filePath(QStringLiteral("settings-templates.png")));
        view->SetPage(TplgSystemSettings::pgLocations);
        view->LocationsGrid()->setCurrentIndex(view->LocationsGrid()->model()->index(0, 0));
        screenshots::Wait(300);
        failures += !screenshots::Save(view->grab(), QDir(folder).filePath(QStringLiteral("settings-locations.png")));
        view->SetPage(TplgSystemSettings::pgOptions);
        screenshots::Wait(300);
        failures += !screenshots::Save(view->grab(), QDir(folder).filePath(QStringLiteral("settings-options.png")));
        view->SetPage(TplgSystemSettings::pgUsers);
        screenshots::Wait(300);
        failures += !screenshots::Save(view->grab(), QDir(folder).filePath(QStringLiteral("settings-users.png")));
        // Just after New: the new user in the list, marked, its name ready to be typed over.
        view->acNew()->trigger();
        screenshots::Wait(300);
        failures += !screenshots::Save(view->grab(), QDir(folder).filePath(QStringLiteral("settings-users-new.png")));
        view->Deactivate(nullptr);
        plugin->release();
        controller.AttachHost(nullptr);
        controller.ModuleDestroy();
    }
    server.Stop();
    return failures;
}
