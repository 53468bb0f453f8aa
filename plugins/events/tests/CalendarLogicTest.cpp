// The calendar's rules without a window: the half hour a new liturgy takes, the day header
// that fits its width, the season colours of the month watermark, the flag pictures, the
// periods of the views, the settings as stored, the complete mark and side-by-side events.
#include "plugins/events/uCalendarLogic.h"
#include "plugins/events/uCalendarWidgets.h"
#include "plugins/events/uEventsCommon.h"

#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

using namespace CalendarLogic;

TEST(CalendarLogic, TheCurrentHalfHourStartsAtTheFullOrHalfHour)
{
    const QDate day(2026, 12, 9);
    struct Case
    {
        QTime now;
        QDateTime from;
        QDateTime to;
    };
    const QList<Case> cases{
        {QTime(10, 0), QDateTime(day, QTime(10, 0)), QDateTime(day, QTime(10, 30))},
        {QTime(10, 29, 59), QDateTime(day, QTime(10, 0)), QDateTime(day, QTime(10, 30))},
        {QTime(10, 30), QDateTime(day, QTime(10, 30)), QDateTime(day, QTime(11, 0))},
        {QTime(10, 59), QDateTime(day, QTime(10, 30)), QDateTime(day, QTime(11, 0))},
        {QTime(23, 45), QDateTime(day, QTime(23, 30)), QDateTime(day.addDays(1), QTime(0, 0))},
    };
    for (const Case &c : cases) {
        const auto [from, to] = HalfHourOf(QDateTime(day, c.now));
        EXPECT_EQ(from, c.from) << c.now.toString().toStdString();
        EXPECT_EQ(to, c.to) << c.now.toString().toStdString();
    }
}

TEST(CalendarLogic, TheDayHeaderFallsBackFromTheLongToTheShortToTheOwnText)
{
    const QDate sunday(2026, 3, 8);
    const TFeast lent{true, QStringLiteral("Third Sunday of Lent"), QStringLiteral("Lent 3")};
    const auto width = [](const QString &text) { return int(text.size()); };
    const QString full = LongHeader(sunday, lent.FullName);
    const QString brief = ShortHeader(sunday, lent.ShortName);
    ASSERT_GT(full.size(), brief.size());
    struct Case
    {
        TFeast feast;
        int width;
        QString shown;
    };
    const QList<Case> cases{
        {lent, int(full.size()) + 10, full},
        {lent, int(full.size()), full},
        {lent, int(full.size()) - 1, brief},
        {lent, int(brief.size()), brief},
        {lent, int(brief.size()) - 1, QStringLiteral("own")},
        {TFeast{}, 1000, QLocale().toString(sunday, QLocale::ShortFormat)},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DayHeaderText(sunday, c.feast, c.width, width, QStringLiteral("own")), c.shown) << c.width;
    EXPECT_TRUE(full.endsWith(QStringLiteral(" - Third Sunday of Lent")));
    EXPECT_TRUE(brief.endsWith(QStringLiteral(" - Lent 3")));
}

TEST(CalendarLogic, TheWatermarkTakesTheSeasonColourMixedWithFifteenPercentBlack)
{
    const QColor spring(208, 255, 208), summer(255, 208, 208), autumn(255, 255, 208), winter(231, 231, 255);
    const QList<QColor> byMonth{winter, winter, spring, spring, spring, summer, summer, summer, autumn, autumn, autumn, winter};
    for (int month = 1; month <= 12; ++month)
        EXPECT_EQ(SeasonColor(month), byMonth[month - 1]) << month;
    EXPECT_EQ(WatermarkColor(4), QColor(177, 217, 177));
    EXPECT_EQ(WatermarkColor(7), QColor(217, 177, 177));
    EXPECT_EQ(WatermarkColor(10), QColor(217, 217, 177));
    EXPECT_EQ(WatermarkColor(1), QColor(196, 196, 217));
}

TEST(CalendarLogic, EachFlagBitDrawsItsPictureFromTheRightEdgeLeftwards)
{
    const QRect event(100, 50, 120, 40); // right edge 219
    const QSize image(12, 12);
    struct Case
    {
        int flags;
        QList<int> images;
        QList<QRect> rects;
    };
    const QList<Case> cases{
        {0, {}, {}},
        {1, {0}, {QRect(206, 52, 12, 12)}},
        {2, {1}, {QRect(206, 52, 12, 12)}},
        {3, {0, 1}, {QRect(206, 52, 12, 12), QRect(194, 52, 12, 12)}},
        {7, {0, 1}, {QRect(206, 52, 12, 12), QRect(194, 52, 12, 12)}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(FlagImages(c.flags), c.images) << c.flags;
        EXPECT_EQ(FlagImageRects(event, c.flags, image), c.rects) << c.flags;
    }
}

TEST(CalendarLogic, StoredColoursAndTimeScalesReadAsTheDatabaseAndTheSettingsKeepThem)
{
    EXPECT_EQ(FromStoredColor(13684991), QColor(255, 208, 208));
    EXPECT_EQ(FromStoredColor(13696976), QColor(208, 255, 208));
    EXPECT_EQ(FromStoredColor(16777215), QColor(255, 255, 255));
    const QList<QPair<QString, int>> intervals{{"15", 15}, {"30", 30}, {"45", 45}, {"60", 60}, {"20", 30}, {"", 30}, {"x", 30}};
    for (const auto &[text, minutes] : intervals)
        EXPECT_EQ(TimeIntervalFrom(text), minutes) << text.toStdString();
}

TEST(CalendarLogic, SettingsAreWrittenAsTheOtherPlugInsReadThem)
{
    QMap<QString, QString> store;
    TvoEventSettings read;
    ReadSettings(read, [&](const QString &key, const QString &fallback) { return store.value(key, fallback); });
    EXPECT_EQ(read.WorkdayStart, QTime(8, 0));
    EXPECT_EQ(read.WorkdayEnd, QTime(16, 0));
    EXPECT_TRUE(read.ShowMonthNumber);
    EXPECT_EQ(read.StandardDuration, 60);

    TvoEventSettings changed{QTime(7, 0), QTime(21, 0), false, 90};
    WriteSettings(changed, [&](const QString &key, const QString &value) { store[key] = value; });
    EXPECT_EQ(store, (QMap<QString, QString>{{"WorkhourStart", "07:00"}, {"WorkhourEnd", "21:00"}, {"ShowMonthNumber", "0"},
                                             {"StandardDuration", "90"}}));
    store["ShowMonthNumber"] = "-1";
    store["StandardDuration"] = "not a number";
    TvoEventSettings again;
    ReadSettings(again, [&](const QString &key, const QString &fallback) { return store.value(key, fallback); });
    EXPECT_EQ(again.WorkdayStart, QTime(7, 0));
    EXPECT_EQ(again.WorkdayEnd, QTime(21, 0));
    EXPECT_TRUE(again.ShowMonthNumber);
    EXPECT_EQ(again.StandardDuration, 60);
}

TEST(CalendarLogic, TogglingCompleteTwiceRestoresTheComputedColour)
{
    const QString once = ToggledComplete(EventColor::SomeAssigned, EventColor::SomeAssigned);
    EXPECT_EQ(once, EventColor::Complete);
    EXPECT_EQ(ToggledComplete(once, EventColor::SomeAssigned), EventColor::SomeAssigned);
}

TEST(CalendarLogic, ViewsShowTheirPeriodsAndStepByThem)
{
    const QDate wednesday(2026, 12, 9);
    struct Case
    {
        TCalendarViewKind view;
        QDate first;
        QDate last;
        QDate next;
    };
    const QList<Case> cases{
        {TCalendarViewKind::Day, wednesday, wednesday, QDate(2026, 12, 10)},
        {TCalendarViewKind::Week, QDate(2026, 12, 7), QDate(2026, 12, 13), QDate(2026, 12, 16)},
        {TCalendarViewKind::TimeGrid, QDate(2026, 12, 7), QDate(2026, 12, 13), QDate(2026, 12, 16)},
        {TCalendarViewKind::Month, QDate(2026, 11, 30), QDate(2027, 1, 10), QDate(2027, 1, 1)},
        {TCalendarViewKind::Year, QDate(2026, 1, 1), QDate(2026, 12, 31), QDate(2027, 12, 9)},
    };
    for (const Case &c : cases) {
        const TCalendarPeriod period = PeriodOf(c.view, wednesday);
        EXPECT_EQ(period.First, c.first) << int(c.view);
        EXPECT_EQ(period.Last, c.last) << int(c.view);
        EXPECT_EQ(StepPeriod(c.view, wednesday, 1), c.next) << int(c.view);
    }
    // The export of the month view is the month itself.
    EXPECT_EQ(ExportPeriodOf(TCalendarViewKind::Month, wednesday).First, QDate(2026, 12, 1));
    EXPECT_EQ(ExportPeriodOf(TCalendarViewKind::Month, wednesday).Last, QDate(2026, 12, 31));
    EXPECT_EQ(ExportPeriodOf(TCalendarViewKind::Week, wednesday).First, QDate(2026, 12, 7));
}

TEST(CalendarLogic, OverlappingEventsShareTheDayInColumns)
{
    auto at = [](int h, int m) { return QDateTime(QDate(2027, 1, 10), QTime(h, m)); };
    QList<TCalendarEvent> events(4);
    events[0].Start = at(9, 30), events[0].Finish = at(10, 30);
    events[1].Start = at(9, 30), events[1].Finish = at(10, 30);
    events[2].Start = at(10, 0), events[2].Finish = at(11, 0);
    events[3].Start = at(11, 30), events[3].Finish = at(12, 30);
    const QList<TLane> lanes = Lanes(events);
    EXPECT_EQ(lanes[0].Column, 0);
    EXPECT_EQ(lanes[1].Column, 1);
    EXPECT_EQ(lanes[2].Column, 2);
    EXPECT_EQ(lanes[0].Columns, 3);
    EXPECT_EQ(lanes[3].Column, 0);
    EXPECT_EQ(lanes[3].Columns, 1);
}

TEST(CalendarControl, AClickSelectsTheHalfHourOrTheEventUnderIt)
{
    TCalendarControl control;
    control.resize(900, 700);
    control.SetView(TCalendarViewKind::Week);
    control.SetDate(QDate(2027, 1, 6));
    TCalendarEvent mass;
    mass.ID = QStringLiteral("{E}");
    mass.Caption = QStringLiteral("Mass");
    mass.Start = QDateTime(QDate(2027, 1, 10), QTime(9, 30));
    mass.Finish = mass.Start.addSecs(3600);
    mass.Label = Qt::green;
    mass.Flags = 1;
    control.SetEvents({mass});
    control.show();
    control.grab();
    const QRect painted = control.EventRect(mass.ID);
    ASSERT_FALSE(painted.isEmpty());
    QTest::mouseClick(&control, Qt::LeftButton, {}, painted.center());
    EXPECT_EQ(control.SelectedEvents(), QStringList{mass.ID});
    // Left of the event on Saturday, a free slot: the event selection goes, the half hour is taken.
    const QPoint free(painted.center().x() - painted.width() - 10, painted.top() + 2);
    QTest::mouseClick(&control, Qt::LeftButton, {}, free);
    EXPECT_TRUE(control.SelectedEvents().isEmpty());
    EXPECT_EQ(control.SelectionStart(), QDateTime(QDate(2027, 1, 9), QTime(9, 30)));
    EXPECT_EQ(control.SelectionStart().secsTo(control.SelectionFinish()), 30 * 60);
    control.RemoveEvents({mass.ID});
    EXPECT_TRUE(control.Events().isEmpty());
}

TEST(DateNavigator, AClickOnADayNamesThatDayAndTheArrowsTurnTheMonths)
{
    TDateNavigator navigator;
    navigator.SetFirstMonth(QDate(2027, 1, 20));
    navigator.resize(navigator.sizeHint());
    navigator.show();
    QList<QDate> clicked;
    QObject::connect(&navigator, &TDateNavigator::DateClicked, [&](const QDate &d) { clicked << d; });
    // The tenth of the second month shown, found by its place.
    QPoint tenth;
    for (int y = 0; y < navigator.height() && tenth.isNull(); y += 3)
        for (int x = 0; x < navigator.width() && tenth.isNull(); x += 3)
            if (navigator.DateAt(QPoint(x, y)) == QDate(2027, 2, 10))
                tenth = QPoint(x + 2, y + 2);
    ASSERT_FALSE(tenth.isNull());
    QTest::mouseClick(&navigator, Qt::LeftButton, {}, tenth);
    EXPECT_EQ(clicked, QList<QDate>{QDate(2027, 2, 10)});
    QTest::mouseClick(&navigator, Qt::LeftButton, {}, QPoint(navigator.width() - 10, 10));
    EXPECT_EQ(navigator.FirstMonth(), QDate(2027, 2, 1));
    EXPECT_EQ(clicked.size(), 1);
}
