// Pictures of the calendar for docs/screenshots: the week view and the month view of a
// generated parish whose first ten days the automatic scheduler has filled, and three days side
// by side, in a window laid out as the host lays out a navigation-bar view (its tool bars above
// with their pictures, the view below). Runs
// against a server of its own on the private cluster (KESTROVA_TEST_PG), under a display
// (xvfb-run with the xcb platform); writes calendar-week.png, calendar-month.png and
// calendar-days.png (three days chosen in the date navigator) and calendar-menu.png (the Edit
// menu open, with its pictures).
#include "testsupport/EventsTestModule.h"
#include "plugins/events/uCalendarView.h"

#include "Quorva_Data_Service_Intf.h"
#include "testsupport/ScreenshotSupport.h"
#include "testsupport/GeneratedParish.h"
#include "testsupport/ServiceHarness.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QMenu>
#include <QScreen>
#include <QStyleFactory>
#include <QToolBar>

#include "ui/uPluginBars.h"

#include <cstdio>

using namespace kestrova::test;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(folder);
    ServiceServer server;
    if (!server.db.available()) {
        std::fprintf(stderr, "no database: set KESTROVA_TEST_PG\n");
        return 1;
    }
    server.Start();
    GenerateParish(server.db, TParishShape{80, 2, false});
    // What a parish's own data has beside the generated rows: a church and names for the liturgies.
    server.Sql(QStringLiteral(
        "UPDATE tblEvents SET EventLocationCaption = 'St. Brigid', EndDateTime = StartDateTime + interval '1 hour', "
        "EventSubject = CASE extract(isodow FROM StartDateTime) WHEN 6 THEN 'Vigil Mass' WHEN 7 THEN "
        "  CASE WHEN extract(hour FROM StartDateTime) < 10 THEN 'Early Mass' ELSE 'Family Mass' END ELSE 'Evening Mass' END, "
        "EventLabelColorID = CASE WHEN StartDateTime < '%1' THEN '%2' ELSE '%3' END;")
                   .arg(GeneratedParishStart().toString(Qt::ISODate), EventColor::AllAssigned, EventColor::NoneAssigned));
    ServiceClient admin = server.Administrator();
    const QDate start = GeneratedParishStart();
    admin.Service<CoEventsService>()->RunAutoSchedule(QDateTime(start, QTime(0, 0)), QDateTime(start.addDays(10), QTime(0, 0)),
                                                      QString(), QString());
    // One liturgy the planner has already marked complete, and two whose minister is flagged,
    // one of them with a fill-in.
    server.Sql(QStringLiteral("UPDATE tblEvents SET EventLabelColorID = '%1' WHERE StartDateTime = '%2';"
                              "UPDATE tblEvents SET FlagEvent = 1 WHERE StartDateTime = '%3';"
                              "UPDATE tblEvents SET FlagEvent = 3 WHERE StartDateTime = '%4';")
                   .arg(EventColor::Complete, QDateTime(start.addDays(2), QTime(18, 0)).toString(Qt::ISODate),
                        QDateTime(start.addDays(9), QTime(18, 0)).toString(Qt::ISODate),
                        QDateTime(start.addDays(13), QTime(9, 30)).toString(Qt::ISODate)));
    TStandInHost host{kEventsHostParts, TStandInHost::TabbedLine};
    host.Channel = admin.Channel;
    host.Message = admin.Message;
    host.User.UserID = ServiceServer::kAdministratorId;
    host.Settings[QStringLiteral("WorkhourStart")] = QStringLiteral("08:00");
    host.Settings[QStringLiteral("WorkhourEnd")] = QStringLiteral("20:00");
    bool ok = true;
    {
        EventsModule module(host);
        QMainWindow window;
        auto *view = new TplgCalendar;
        view->Activate(nullptr);
        // The host shows copies of the view's bars; the view's own stay hidden.
        for (QToolBar *bar : view->GetBarManager()) {
            QToolBar *copy = CopyPluginBar(bar, &window);
            window.addToolBar(Qt::TopToolBarArea, copy);
            if (bar == view->GetBarManager().first())
                window.addToolBarBreak();
        }
        window.setCentralWidget(view);
        window.resize(1240, 820);
        window.show();
        view->acViewWeek->trigger();
        view->cxSchedule()->SetDate(start.addDays(7));
        view->cxSchedule()->SelectTime(QDateTime(start.addDays(8), QTime(10, 0)), QDateTime(start.addDays(8), QTime(11, 0)));
        screenshots::Wait(400);
        ok = screenshots::Save(window.grab(), folder + QStringLiteral("/calendar-week.png")) && ok;
        // The Edit menu open under its button, from the screen (the menu is a window of its own).
        {
            QToolBar *menuBar = window.findChildren<QToolBar *>().value(0);
            QAction *edit = menuBar ? menuBar->actions().value(1) : nullptr;
            QWidget *button = edit && menuBar ? menuBar->widgetForAction(edit) : nullptr;
            if (button && edit->menu()) {
                edit->menu()->popup(button->mapToGlobal(QPoint(0, button->height())));
                screenshots::Wait(400);
                const QRect area(window.mapToGlobal(QPoint(0, 0)), QSize(640, 360));
                ok = screenshots::Save(QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()),
                                       folder + QStringLiteral("/calendar-menu.png")) && ok;
                edit->menu()->hide();
            } else {
                std::fprintf(stderr, "no Edit menu to show\n");
                ok = false;
            }
        }
        view->acViewWeeks->trigger();
        view->cxSchedule()->SetDate(start);
        view->cxSchedule()->SelectTime(QDateTime(start.addDays(2), QTime(0, 0)), QDateTime(start.addDays(3), QTime(0, 0)));
        screenshots::Wait(400);
        ok = screenshots::Save(window.grab(), folder + QStringLiteral("/calendar-month.png")) && ok;
        // Three days chosen in the navigator: a Wednesday and the weekend after it.
        const QDate wednesday = start.addDays(7 + Qt::Wednesday - start.addDays(7).dayOfWeek());
        view->ShowDays({wednesday, wednesday.addDays(3), wednesday.addDays(4)});
        screenshots::Wait(400);
        ok = screenshots::Save(window.grab(), folder + QStringLiteral("/calendar-days.png")) && ok;
        view->Deactivate(nullptr);
        window.takeCentralWidget();
        view->release();
    }
    server.Stop();
    return ok ? 0 : 1;
}
