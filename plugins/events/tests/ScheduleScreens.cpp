// The picture of the schedule view for docs/screenshots: a generated parish on a data server in
// this program (the private cluster, KESTROVA_TEST_PG), its first weeks scheduled, shown as the
// host shows a navigation-bar view: its tool bar above it in a main window, and its print
// preview. Run under a real display (xvfb-run with the xcb platform); writes schedule-view.png
// and the other schedule pictures into the folder given.
#include "testsupport/EventsTestModule.h"
#include "plugins/events/uGroupedRows.h"
#include "plugins/events/uScheduleView.h"

#include "testsupport/ScreenshotSupport.h"
#include "testsupport/GeneratedParish.h"
#include "testsupport/ServiceHarness.h"
#include "ui/TDATableModel.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QMainWindow>
#include <QMenu>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QStyleFactory>
#include <QTableView>
#include <QToolBar>
#include <QToolTip>

#include "ui/uPluginBars.h"

#include <cstdio>

using namespace kestrova::test;

namespace {

// Names a planner would read in place of the generated ones.
void DressParish(kestrova::test::ServiceServer &server)
{
    server.Sql(QStringLiteral(
        "UPDATE tblMinistryFunctions SET MinistryFunctionName = (ARRAY['Lector', 'Acolyte', 'Cantor', 'Sacristan', "
        "'Extraordinary minister', 'Usher'])[CAST(substr(PK_MinistryFunctionID, 3, 7) AS integer)];"
        "UPDATE tblContacts SET FirstName = (ARRAY['Anna', 'Ben', 'Clara', 'David', 'Eva', 'Felix', 'Greta', 'Henry', 'Ida', "
        "'Jonas', 'Karin', 'Lukas', 'Maria', 'Noah', 'Olga', 'Paul', 'Rita', 'Simon', 'Teresa', 'Victor'])"
        "[1 + CAST(substr(PK_ContactID, 3, 7) AS integer) % 20], LastName = (ARRAY['Berg', 'Carr', 'Dunn', 'Ellis', 'Fox', "
        "'Grant', 'Hale', 'Irwin', 'Jones', 'Keller', 'Lang', 'Moore', 'Nash', 'Owen', 'Price', 'Quinn', 'Reed'])"
        "[1 + (CAST(substr(PK_ContactID, 3, 7) AS integer) / 20) % 17];"
        "UPDATE tblEvents SET EventLocationCaption = CASE WHEN extract(dow FROM StartDateTime) = 3 THEN 'St. Joseph Chapel' "
        "ELSE 'St. Mary' END, EventSubject = CASE extract(dow FROM StartDateTime) WHEN 6 THEN 'Saturday Vigil Mass' "
        "WHEN 3 THEN 'Wednesday Evening Mass' ELSE 'Sunday Mass' END, "
        "EndDateTime = StartDateTime + interval '1 hour';"
        // Long names, as some parishes have them, for the picture of the member cells.
        "UPDATE tblContacts SET FirstName = 'Zoë Annemarie', LastName = 'Müller-Lüdenscheidt von Hohenberg' "
        "WHERE CAST(substr(PK_ContactID, 3, 7) AS integer) % 4 = 1;"));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot make %s\n", argv[1]);
        return 1;
    }
    kestrova::test::ServiceServer server;
    if (!server.db.available()) {
        std::fprintf(stderr, "no private PostgreSQL cluster: set KESTROVA_TEST_PG (scripts/pg url)\n");
        return 2;
    }
    server.Start();
    GenerateParish(server.db, TParishShape{100, 3, false});
    DressParish(server);
    bool ok = false;
    {
        kestrova::test::ServiceClient admin = server.Administrator();
        const QDate start = GeneratedParishStart();
        // The first two weeks scheduled, the first weekend marked complete.
        CoEventsService::Create(admin.Message, admin.Channel)
            ->RunAutoSchedule(QDateTime(start, QTime(0, 0)), QDateTime(start.addDays(14), QTime(0, 0)), QString(), QString());
        server.Sql(QStringLiteral("UPDATE tblEvents SET EventLabelColorID = '{00000000-0000-0000-0000-000000000003}' "
                                  "WHERE StartDateTime >= '%1' AND StartDateTime < '%2';")
                       .arg(start.addDays(5).toString(Qt::ISODate), start.addDays(6).toString(Qt::ISODate)));
        TStandInHost host{kEventsHostParts, TStandInHost::TabbedLine};
        host.Channel = admin.Channel;
        host.Message = admin.Message;
        host.User.UserID = kestrova::test::ServiceServer::kAdministratorId;
        host.Settings[TplgSchedule::FocusedEventSetting] =
            server.db.scalar(QStringLiteral("SELECT PK_EventID FROM dbo.tblEvents WHERE StartDateTime >= '%1' ORDER BY StartDateTime "
                                            "LIMIT 1 OFFSET 4").arg(start.toString(Qt::ISODate)));
        EventsModule module(host);

        QMainWindow window;
        QToolBar *menuBar = nullptr;
        window.setWindowTitle(QStringLiteral("Quorva"));
        window.resize(1180, 760);
        auto *view = new TplgSchedule;
        for (QToolBar *bar : view->GetBarManager()) {
            // As the host does: a copy of each bar of the view in its own window.
            QToolBar *copy = CopyPluginBar(bar, &window);
            window.addToolBar(Qt::TopToolBarArea, copy);
            // Each bar on a row of its own, the menus first, as the host sets them.
            window.addToolBarBreak(Qt::TopToolBarArea);
            if (!menuBar)
                menuBar = copy;
        }
        window.setCentralWidget(view);
        window.show();
        view->Activate(nullptr);
        // The filter panel on the first four weeks.
        view->acFilter->trigger();
        view->dtStartDate()->setDate(start.addDays(-3));
        view->dtEndDate()->setDate(start.addDays(27));
        view->acHYSetFilter->trigger();
        screenshots::Wait(500);
        ok = screenshots::Save(window.grab(), folder + QStringLiteral("/schedule-view.png"));
        // The Edit menu dropped down from the menu bar, drawn into the window's picture (a menu
        // is a window of its own).
        QAction *edit = view->Menus().value(1);
        QWidget *button = menuBar && edit ? menuBar->widgetForAction(edit) : nullptr;
        if (button) {
            edit->menu()->popup(button->mapToGlobal(QPoint(0, button->height())));
            screenshots::Wait(400);
            QPixmap picture = window.grab();
            QPainter painter(&picture);
            painter.drawPixmap(window.mapFromGlobal(edit->menu()->pos()), edit->menu()->grab());
            painter.end();
            edit->menu()->hide();
            ok = screenshots::Save(picture, folder + QStringLiteral("/schedule-view-menus.png")) && ok;
        } else {
            ok = false;
        }
        // Long member names: whole where the column has room, and in the tooltip where not.
        {
            QTableView *functions = view->cxGrdView();
            const int member = view->FunctionsModel()->ColumnOf(QStringLiteral("MemberCaption"));
            QModelIndex cell;
            for (int row = 0; row < functions->model()->rowCount() && !cell.isValid(); ++row)
                if (functions->model()->index(row, member).data().toString().contains(QStringLiteral("Lüdenscheidt")))
                    cell = functions->model()->index(row, member);
            if (cell.isValid()) {
                const QRect rect = functions->visualRect(cell);
                const QPoint at = functions->viewport()->mapToGlobal(rect.center());
                QToolTip::showText(at, cell.data(Qt::ToolTipRole).toString(), functions->viewport(), rect);
                screenshots::Wait(400);
                QPixmap picture = window.grab();
                for (QWidget *tip : QApplication::topLevelWidgets())
                    if (tip->isVisible() && tip->inherits("QTipLabel")) {
                        QPainter painter(&picture);
                        painter.drawPixmap(window.mapFromGlobal(tip->pos()), tip->grab());
                    }
                QToolTip::hideText();
                ok = screenshots::Save(picture, folder + QStringLiteral("/schedule-view-long-names.png")) && ok;
            } else {
                std::fprintf(stderr, "no long member name in the focused liturgy\n");
                ok = false;
            }
        }
        // The events grouped by their location, where one group ends and the next begins.
        view->GroupBy(view->EventsModel()->ColumnOf(QStringLiteral("EventLocationCaption")));
        for (int row = 0; row < view->EventRows()->rowCount(); ++row)
            if (view->EventRows()->IsGroupRow(row) && row > 0)
                view->grdView()->scrollTo(view->EventRows()->index(row, 1), QAbstractItemView::PositionAtCenter);
        screenshots::Wait(400);
        ok = screenshots::Save(window.grab(), folder + QStringLiteral("/schedule-view-grouped.png")) && ok;
        view->GroupBy(-1);
        // The preview: the focused event's functions under the events, each grid under its
        // captions, in the window the user gets.
        view->RunPreview = [&](QPrinter &printer, const std::function<void(QPrinter *)> &paint) {
            QPrintPreviewDialog preview(&printer, &window);
            QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview, paint);
            preview.resize(1000, 860);
            preview.show();
            if (auto *pages = preview.findChild<QPrintPreviewWidget *>())
                pages->fitToWidth();
            screenshots::Wait(800);
            ok = screenshots::Save(preview.grab(), folder + QStringLiteral("/schedule-preview.png")) && ok;
        };
        view->acHYPreview->trigger();
        view->Deactivate(nullptr);
        window.takeCentralWidget();
        view->release();
    }
    server.Stop();
    return ok ? 0 : 1;
}
