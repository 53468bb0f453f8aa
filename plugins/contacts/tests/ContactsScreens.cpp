// Pictures of the contacts and families views as a planner sees them, over a small parish on a
// real server: the table, the cards and the families with their members. Run under a real
// display (xvfb-run with the xcb platform); writes contacts-table.png, contacts-cards.png,
// contacts-menus.png (the File menu with its reports), contact-dialog-days.png (a run of days
// marked away) and families.png into the folder given.
#include "plugins/contacts/hcRvContactsController.h"
#include "plugins/contacts/uContactsView.h"
#include "plugins/contacts/uDAContacts.h"
#include "plugins/contacts/uFamiliesView.h"
#include "plugins/contacts/ufContactDialog.h"

#include "testsupport/ScreenshotSupport.h"
#include "testsupport/ServiceHarness.h"
#include "testsupport/StandInHost.h"

#include "foundation/uCommon.h"

#include "server/services/ReportDefinition.h"
#include "ui/uPluginBars.h"

#include <QAction>
#include <QCalendarWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QApplication>
#include <QMainWindow>
#include <QStatusBar>
#include <QStyleFactory>
#include <QTableView>
#include <QToolBar>

#include <cstdio>

namespace {

const char *const kParish = R"(
INSERT INTO tblFamilies (PK_FamilyID, FamilyName, FamilyStreet, FamilyCity, FamilyZip) VALUES
  ('{FA000000-0000-0000-0000-000000000001}', 'Adler family', '12 Church Street', 'Springfield', '62701'),
  ('{FA000000-0000-0000-0000-000000000002}', 'Brandt family', '40 Elm Avenue', 'Springfield', '62702'),
  ('{FA000000-0000-0000-0000-000000000003}', 'Castell family', '7 Mill Lane', 'Springfield', '62703'),
  ('{FA000000-0000-0000-0000-000000000004}', 'O''Brien family', '3 Harbour Road', 'Springfield', '62704');
INSERT INTO tblContacts (PK_ContactID, FirstName, MiddleName, LastName, DateOfBirth, Street, Zip, City, State, EMail1, phone1, phone2, F_FamilyID)
SELECT '{' || upper(md5(i::text)::uuid::text) || '}',
       (ARRAY['Anna','Benedikt','Clara','Dominik','Elena','Franz','Greta','Hugo','Ingrid','Jakob','Katharina','Lukas'])[1 + i % 12],
       CASE WHEN i % 4 = 0 THEN 'Maria' END,
       (ARRAY['Adler','Brandt','Castell','O''Brien','Eberle','Falk','Gruber','Hofer','Imhof'])[1 + (i * 7) % 9],
       DATE '1948-03-01' + (i * 617) % 20000,
       (12 + 7 * i) || ' ' || (ARRAY['Church Street','Elm Avenue','Mill Lane','Harbour Road'])[1 + i % 4],
       (62701 + i % 5)::text, 'Springfield', 'IL',
       CASE WHEN i % 5 <> 3 THEN lower((ARRAY['anna','benedikt','clara','dominik','elena','franz','greta','hugo','ingrid','jakob','katharina','lukas'])[1 + i % 12]) || i || '@example.org' END,
       '(217) 555-' || (1200 + 37 * i),
       CASE WHEN i % 3 = 0 THEN '(217) 555-' || (4300 + i) END,
       CASE (1 + (i * 7) % 9) WHEN 1 THEN '{FA000000-0000-0000-0000-000000000001}' WHEN 2 THEN '{FA000000-0000-0000-0000-000000000002}'
                              WHEN 3 THEN '{FA000000-0000-0000-0000-000000000003}' WHEN 4 THEN '{FA000000-0000-0000-0000-000000000004}' END
FROM generate_series(1, 34) AS i;
)";

// The view in a main window as the host shows it: its tool bar on top, the view below.
bool Picture(TRvContactsPane &view, const QString &path, const std::function<void()> &before = {})
{
    QMainWindow window;
    // One bar of the window for each of the view's, as the host copies them.
    for (QToolBar *own : view.GetBarManager()) {
        window.addToolBar(CopyPluginBar(own, &window));
        window.addToolBarBreak();
    }
    auto *centre = new QWidget(&window);
    centre->setLayout(new QVBoxLayout);
    centre->layout()->setContentsMargins(0, 0, 0, 0);
    window.setCentralWidget(centre);
    QString status;
    view.GetStatusText(status);
    window.statusBar()->showMessage(status);
    window.resize(1200, 720);
    view.Activate(nullptr);
    view.ShowParented(centre);
    window.show();
    if (before)
        before();
    screenshots::Wait(500);
    QPixmap picture = window.grab();
    // Open pop-up menus are windows of their own: they are drawn onto the picture where they are.
    QPainter painter(&picture);
    for (QWidget *popup : QApplication::topLevelWidgets())
        if (popup->isVisible() && popup != &window && qobject_cast<QMenu *>(popup))
            painter.drawPixmap(window.mapFromGlobal(popup->pos()), popup->grab());
    painter.end();
    const bool saved = screenshots::Save(picture, path);
    view.Deactivate(nullptr);
    view.setParent(nullptr);
    return saved;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    if (argc < 2) {
        std::fprintf(stderr, "usage: contacts_screens FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    kestrova::test::ServiceServer server;
    if (!server.db.available()) {
        std::fprintf(stderr, "no private PostgreSQL cluster: set KESTROVA_TEST_PG (scripts/pg url)\n");
        return 2;
    }
    server.Start();
    server.Sql(QString::fromUtf8(kParish));
    // Everyone last changed by the administrator a little while ago, as the dialogs tell.
    server.Sql(QStringLiteral("UPDATE tblContacts SET ModifiedDateTime = TIMESTAMP '2026-11-30 10:15', F_ModifiedUserID = '%1';")
                   .arg(kestrova::test::ServiceServer::kAdministratorId));
    kestrova::test::ServiceClient client = server.Administrator();
    kestrova::test::TStandInHost host{kestrova::test::THostPart::Mail | kestrova::test::THostPart::Reports};
    host.MailAvailable = true;
    // The definitions the server ships, as its report service reads them for the host.
    host.ReportDefinitions = [](const QString &category) {
        return ReportDefinition::GenerateReportDefinition(QString::fromUtf8(KESTROVA_REPORTS_DIR), category);
    };
    host.Channel = client.Channel;
    host.Message = client.Message;
    host.User.UserID = kestrova::test::ServiceServer::kAdministratorId;
    host.User.UserLevel = 1;
    TRvContactsController controller;
    controller.ModuleCreate();
    controller.SetHost(&host);

    bool ok = true;
    {
        Quorva::IHYPlugin *plugin = controller.CreatePlugin(TplgContacts::PluginName);
        auto *view = static_cast<TplgContacts *>(static_cast<Quorva::IHYVisualPlugin *>(plugin));
        ok &= Picture(*view, folder + QStringLiteral("/contacts-table.png"), [view] {
            view->TableView()->selectRow(2);
            view->SelectRows({2, 3, 5});
        });
        ok &= Picture(*view, folder + QStringLiteral("/contacts-cards.png"), [view] {
            view->Action(QStringLiteral("acCardView"))->trigger();
            view->SelectRows({1});
        });
        view->Action(QStringLiteral("acTypeView"))->trigger();
        ok &= Picture(*view, folder + QStringLiteral("/contacts-menus.png"), [view] {
            view->SelectRows({4});
            QMenu *file = view->Menu(QStringLiteral("mnuFile"));
            QPoint at = view->window()->mapToGlobal(QPoint(4, 30));
            for (QToolBar *bar : view->window()->findChildren<QToolBar *>())
                if (QWidget *button = bar->widgetForAction(view->Action(QStringLiteral("mnuFile"))))
                    at = button->mapToGlobal(QPoint(0, button->height()));
            file->popup(at);
            screenshots::Wait(200);
            QAction *reports = view->Menu(QStringLiteral("mnuReports"))->menuAction();
            file->setActiveAction(reports);
            view->Menu(QStringLiteral("mnuReports"))->popup(file->mapToGlobal(file->actionGeometry(reports).topRight()));
        });
        // A planner's contact with a run of days away, picked with a click and a Shift-click.
        controller.Data().RunContactDialog = [&](const QString &key, bool isNew) {
            TfContactDlg dialog(controller.Data(), controller);
            dialog.Load(key, isNew);
            dialog.resize(820, 640);
            dialog.show();
            dialog.SelectDays(QDate(2026, 12, 14), QDate(2026, 12, 18));
            dialog.findChild<QPushButton *>(QStringLiteral("btnUnAvailiable"))->click();
            dialog.SelectDays(QDate(2026, 12, 24), QDate(2026, 12, 27));
            dialog.findChild<QCalendarWidget *>(QStringLiteral("DNAvail"))->setCurrentPage(2026, 12);
            screenshots::Wait(400);
            ok &= screenshots::Save(dialog.grab(), folder + QStringLiteral("/contact-dialog-days.png"));
            return TModalResult::Cancel;
        };
        controller.Data().DAContactList().First();
        controller.Data().EditContact();
        plugin->release();
    }
    {
        Quorva::IHYPlugin *plugin = controller.CreatePlugin(TplgFamilies::PluginName);
        auto *view = static_cast<TplgFamilies *>(static_cast<Quorva::IHYVisualPlugin *>(plugin));
        ok &= Picture(*view, folder + QStringLiteral("/families.png"),
                      [view] { view->SelectFamilies({QStringLiteral("{FA000000-0000-0000-0000-000000000002}")}); });
        plugin->release();
    }
    controller.SetHost(nullptr);
    controller.ModuleDestroy();
    server.Stop();
    return ok ? 0 : 1;
}
