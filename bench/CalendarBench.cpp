// How fast the calendar's month view paints and moves on: a server of its own on the private
// cluster (KESTROVA_TEST_PG) holds 300 liturgies in each of two months; the calendar view, as
// the host shows it, paints the first month and then moves to the next, once from the event
// list it holds and once with the list read again from the server. Prints the figures.
//
//   calendar_bench [runs]     (offscreen; runs defaults to 30)
#include "testsupport/EventsTestModule.h"
#include "plugins/events/uCalendarView.h"

#include "testsupport/ServiceHarness.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QStyleFactory>

#include <algorithm>
#include <cstdio>

using namespace kestrova::test;

namespace {

constexpr int kPerMonth = 300;

struct TFigures
{
    QList<double> Milliseconds;
    void Add(qint64 nanoseconds) { Milliseconds << double(nanoseconds) / 1e6; }
    double Median() const
    {
        QList<double> sorted = Milliseconds;
        std::sort(sorted.begin(), sorted.end());
        return sorted.isEmpty() ? 0 : sorted[sorted.size() / 2];
    }
    double Worst() const { return Milliseconds.isEmpty() ? 0 : *std::max_element(Milliseconds.begin(), Milliseconds.end()); }
};

void Print(const char *what, const TFigures &f, double limit)
{
    std::printf("%-58s median %7.2f ms  worst %7.2f ms  (limit %.0f ms: %s)\n", what, f.Median(), f.Worst(), limit,
                f.Median() < limit ? "met" : "NOT met");
}

// 300 liturgies a month, ten on each day at different hours, with every colour and flag.
QString Liturgies(const QDate &month)
{
    QStringList rows;
    const QStringList colours{EventColor::AllAssigned, EventColor::NoneAssigned, EventColor::SomeAssigned, EventColor::Complete};
    for (int i = 0; i < kPerMonth; ++i) {
        const QDate day = month.addDays(i % month.daysInMonth());
        const QDateTime start(day, QTime(7 + (i / month.daysInMonth()) % 12, (i % 2) * 30));
        rows << QStringLiteral("('{%1}', 'Mass %2', '%3', '%4', 'St. Brigid', '%5', %6)")
                    .arg(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper())
                    .arg(i)
                    .arg(start.toString(Qt::ISODate), start.addSecs(3600).toString(Qt::ISODate), colours[i % 4])
                    .arg(i % 4);
    }
    return QStringLiteral("INSERT INTO tblEvents (PK_EventID, EventSubject, StartDateTime, EndDateTime, EventLocationCaption, "
                          "EventLabelColorID, FlagEvent) VALUES ")
           + rows.join(QLatin1Char(',')) + QLatin1Char(';');
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 30;
    ServiceServer server;
    if (!server.db.available()) {
        std::fprintf(stderr, "no database: set KESTROVA_TEST_PG\n");
        return 1;
    }
    server.Start();
    const QDate first(2027, 3, 1);
    server.Sql(Liturgies(first) + Liturgies(first.addMonths(1)));
    ServiceClient admin = server.Administrator();
    TStandInHost host{kEventsHostParts, TStandInHost::TabbedLine};
    host.Channel = admin.Channel;
    host.Message = admin.Message;
    host.User.UserID = ServiceServer::kAdministratorId;

    TFigures paint, move, moveWithRead;
    {
        EventsModule module(host);
        auto *view = new TplgCalendar;
        view->resize(1240, 820);
        view->show();
        view->Activate(nullptr);
        view->acViewWeeks->trigger();
        TCalendarControl *control = view->cxSchedule();
        QPixmap canvas(control->size());
        auto paintOnce = [&] { control->render(&canvas); };
        control->SetDate(first);
        paintOnce();
        int shown = 0;
        for (const TCalendarEvent &e : control->Events())
            shown += e.Start.date().month() == first.month() ? 1 : 0;
        std::printf("month view %dx%d, %d liturgies in %s (%lld in the six weeks shown)\n", control->width(), control->height(), shown,
                    qPrintable(first.toString(QStringLiteral("MMMM yyyy"))), static_cast<long long>(control->Events().size()));
        QElapsedTimer clock;
        for (int i = 0; i < runs; ++i) {
            clock.start();
            paintOnce();
            paint.Add(clock.nsecsElapsed());
        }
        for (int i = 0; i < runs; ++i) {
            control->SetDate(first);
            paintOnce();
            clock.start();
            control->SetDate(first.addMonths(1)); // the events of the new period come from the list
            paintOnce();
            move.Add(clock.nsecsElapsed());
        }
        for (int i = 0; i < runs; ++i) {
            control->SetDate(first);
            paintOnce();
            clock.start();
            view->acHYRefresh->trigger(); // the event list read again from the server
            control->SetDate(first.addMonths(1));
            paintOnce();
            moveWithRead.Add(clock.nsecsElapsed());
        }
        view->Deactivate(nullptr);
        view->release();
    }
    server.Stop();
    Print("paint the month view (300 liturgies)", paint, 20);
    Print("next month: its liturgies from the list, layout, paint", move, 200);
    Print("next month with the event list read from the server", moveWithRead, 200);
    return 0;
}
