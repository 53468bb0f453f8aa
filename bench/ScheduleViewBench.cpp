// How long the schedule view takes to open on a quarter of a generated parish, on the private
// PostgreSQL cluster (KESTROVA_TEST_PG) with the data server in this program:
//   schedule_view_bench [PEOPLE MONTHS RUNS]
// Defaults: 1,000 people, a year of liturgies, five openings. An opening is the view made,
// activated (its tables read from the server), filtered to the quarter from the period's start,
// shown and painted. It prints each opening and the best and the worst.
#include "testsupport/EventsTestModule.h"
#include "plugins/events/uScheduleView.h"

#include "testsupport/GeneratedParish.h"
#include "testsupport/ServiceHarness.h"
#include "ui/TDATableModel.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int people = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int months = argc > 2 ? std::atoi(argv[2]) : 12;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;

    kestrova::test::ServiceServer server;
    if (!server.db.available()) {
        std::fprintf(stderr, "no private PostgreSQL cluster: set KESTROVA_TEST_PG (scripts/pg url)\n");
        return 2;
    }
    server.Start();
    GenerateParish(server.db, TParishShape{people, months, false});
    const int events = server.db.scalar(QStringLiteral("SELECT count(*) FROM dbo.tblEvents")).toInt();
    {
        kestrova::test::ServiceClient admin = server.Administrator();
        kestrova::test::TStandInHost host{kestrova::test::kEventsHostParts, kestrova::test::TStandInHost::TabbedLine};
        host.Channel = admin.Channel;
        host.Message = admin.Message;
        host.User.UserID = kestrova::test::ServiceServer::kAdministratorId;
        EventsModule module(host);
        const QDate from = GeneratedParishStart();
        const QDate to = from.addMonths(3).addDays(-1);
        double best = 1e9, worst = 0;
        for (int run = 0; run < runs; ++run) {
            QElapsedTimer clock;
            clock.start();
            auto *view = new TplgSchedule;
            view->resize(1200, 800);
            view->Activate(nullptr);
            view->dtStartDate()->setDate(from);
            view->dtEndDate()->setDate(to);
            view->acHYSetFilter->trigger();
            view->show();
            QApplication::processEvents();
            const double seconds = double(clock.nsecsElapsed()) / 1e9;
            best = std::min(best, seconds);
            worst = std::max(worst, seconds);
            std::printf("%5d people %3d months %5d events: the quarter shows %3d events, %d function rows of the first; opened in %.3f s\n",
                        people, months, events, view->EventsModel()->rowCount(), view->FunctionsModel()->rowCount(), seconds);
            std::fflush(stdout);
            view->Deactivate(nullptr);
            view->release();
        }
        std::printf("best %.3f s, worst %.3f s over %d openings\n", best, worst, runs);
    }
    server.Stop();
    return 0;
}
