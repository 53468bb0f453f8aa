// The calendar's rules without a window: the half hour a new liturgy takes, the day header
// that fits its width, the season colours of the month watermark, the flag pictures, the
// periods of the views, the settings as stored, the complete mark and side-by-side events, the
// days chosen in the navigator, the weekday letters, the toolbar pictures and tooltips.
#include "plugins/events/uCalendarRules.h"
#include "plugins/events/uCalendarWidgets.h"
#include "plugins/events/uEventImages.h"
#include "plugins/events/uEventsCommon.h"

#include <QAction>
#include <QApplication>
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

namespace {

// Where the navigator paints a day, found by its place.
QPoint PlaceOf(const TDateNavigator &navigator, const QDate &day)
{
    for (int y = 0; y < navigator.height(); y += 3)
        for (int x = 0; x < navigator.width(); x += 3)
            if (navigator.DateAt(QPoint(x, y)) == day)
                return QPoint(x + 2, y + 2);
    return {};
}

void Mouse(QWidget &widget, QEvent::Type type, const QPoint &at, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = {})
{
    QMouseEvent event(type, QPointF(at), widget.mapToGlobal(QPointF(at)), Qt::LeftButton, buttons, modifiers);
    QApplication::sendEvent(&widget, &event);
}

// A navigator on screen from the month, keeping what it reports.
struct TShownNavigator
{
    explicit TShownNavigator(const QDate &month)
    {
        navigator.SetFirstMonth(month);
        navigator.resize(navigator.sizeHint());
        navigator.show();
        QObject::connect(&navigator, &TDateNavigator::DaysSelected, [this](const QList<QDate> &d) { chosen << d; });
    }
    TDateNavigator navigator;
    QList<QList<QDate>> chosen;
};

} // namespace

TEST(DateNavigator, AClickOnADayNamesThatDayAndTheArrowsTurnTheMonths)
{
    TShownNavigator shown(QDate(2027, 1, 20));
    TDateNavigator &navigator = shown.navigator;
    QList<QList<QDate>> &chosen = shown.chosen;
    const QPoint tenth = PlaceOf(navigator, QDate(2027, 2, 10));
    ASSERT_FALSE(tenth.isNull());
    QTest::mouseClick(&navigator, Qt::LeftButton, {}, tenth);
    EXPECT_EQ(chosen, QList<QList<QDate>>{{QDate(2027, 2, 10)}});
    QTest::mouseClick(&navigator, Qt::LeftButton, {}, QPoint(navigator.width() - 10, 10));
    EXPECT_EQ(navigator.FirstMonth(), QDate(2027, 2, 1));
    EXPECT_EQ(chosen.size(), 1);
}

TEST(DateNavigator, ADragOverDaysAndControlClicksChooseSeveralDays)
{
    TShownNavigator shown(QDate(2027, 2, 1));
    TDateNavigator &navigator = shown.navigator;
    QList<QList<QDate>> &chosen = shown.chosen;
    const QDate from(2027, 2, 12);
    const QDate to(2027, 2, 9);
    // Backwards over the days: chosen in order, reported once on release.
    Mouse(navigator, QEvent::MouseButtonPress, PlaceOf(navigator, from), Qt::LeftButton);
    Mouse(navigator, QEvent::MouseMove, PlaceOf(navigator, QDate(2027, 2, 11)), Qt::LeftButton);
    Mouse(navigator, QEvent::MouseMove, PlaceOf(navigator, to), Qt::LeftButton);
    EXPECT_TRUE(chosen.isEmpty());
    EXPECT_TRUE(navigator.IsMarked(QDate(2027, 2, 10)));
    Mouse(navigator, QEvent::MouseButtonRelease, PlaceOf(navigator, to), Qt::NoButton);
    const QList<QDate> four{QDate(2027, 2, 9), QDate(2027, 2, 10), QDate(2027, 2, 11), QDate(2027, 2, 12)};
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen[0], four);
    // A control-click adds a day of the next month; another takes one out.
    navigator.SetSelectedDays(four);
    QTest::mouseClick(&navigator, Qt::LeftButton, Qt::ControlModifier, PlaceOf(navigator, QDate(2027, 3, 2)));
    ASSERT_EQ(chosen.size(), 2);
    EXPECT_EQ(chosen[1], QList<QDate>(four) << QDate(2027, 3, 2));
    navigator.SetSelectedDays(chosen[1]);
    QTest::mouseClick(&navigator, Qt::LeftButton, Qt::ControlModifier, PlaceOf(navigator, QDate(2027, 2, 10)));
    EXPECT_EQ(chosen[2], (QList<QDate>{QDate(2027, 2, 9), QDate(2027, 2, 11), QDate(2027, 2, 12), QDate(2027, 3, 2)}));
    EXPECT_FALSE(navigator.IsMarked(QDate(2027, 2, 10)));
}

TEST(CalendarLogic, ChosenDaysRunFromTheAnchorAreCappedAndMoveByTheirSpan)
{
    const QDate anchor(2027, 2, 12);
    struct Case
    {
        QDate to;
        int count;
        QDate first;
        QDate last;
    };
    const QList<Case> drags{
        {anchor, 1, anchor, anchor},
        {anchor.addDays(3), 4, anchor, anchor.addDays(3)},
        {anchor.addDays(-2), 3, anchor.addDays(-2), anchor},
        {anchor.addDays(40), kMaxChosenDays, anchor, anchor.addDays(kMaxChosenDays - 1)},
        {anchor.addDays(-40), kMaxChosenDays, anchor.addDays(1 - kMaxChosenDays), anchor},
    };
    for (const Case &c : drags) {
        const QList<QDate> days = DaysBetween(anchor, c.to);
        ASSERT_EQ(days.size(), c.count) << c.to.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(days.first(), c.first);
        EXPECT_EQ(days.last(), c.last);
    }
    const QList<QDate> two{anchor, anchor.addDays(2)};
    const QList<QDate> capped = DaysBetween(anchor, anchor.addDays(40));
    ASSERT_EQ(capped.size(), kMaxChosenDays);
    struct Toggle
    {
        QList<QDate> days;
        QDate day;
        QList<QDate> result;
        const char *why;
    };
    const QList<Toggle> toggles{
        {two, anchor.addDays(1), {anchor, anchor.addDays(1), anchor.addDays(2)}, "a day between joins in order"},
        {two, anchor, {anchor.addDays(2)}, "a chosen day leaves"},
        {{anchor}, anchor, {anchor}, "the last day stays"},
        {capped, anchor.addDays(-1), capped, "no day past the cap"},
    };
    for (const Toggle &c : toggles)
        EXPECT_EQ(ToggledDay(c.days, c.day), c.result) << c.why;
    struct Step
    {
        QList<QDate> days;
        int steps;
        QList<QDate> result;
        const char *why;
    };
    const QList<Step> steps{
        {DaysBetween(anchor, anchor.addDays(2)), 1, DaysBetween(anchor.addDays(3), anchor.addDays(5)),
         "Friday to Sunday moves on to Monday to Wednesday"},
        {two, -1, {anchor.addDays(-3), anchor.addDays(-1)}, "two days apart move by three"},
    };
    for (const Step &c : steps)
        EXPECT_EQ(StepDays(c.days, c.steps), c.result) << c.why;
}

TEST(CalendarControl, SeveralChosenDaysStandSideBySideInTheDayView)
{
    TCalendarControl control;
    control.resize(900, 700);
    control.SetView(TCalendarViewKind::Week);
    int periods = 0;
    QObject::connect(&control, &TCalendarControl::PeriodChanged, [&] { ++periods; });
    const QList<QDate> days{QDate(2027, 2, 9), QDate(2027, 2, 11), QDate(2027, 2, 12)};
    control.SetDays({days[2], days[0], days[1], days[0]});
    EXPECT_EQ(periods, 1);
    EXPECT_EQ(control.View(), TCalendarViewKind::Day);
    EXPECT_EQ(control.Days(), days);
    EXPECT_EQ(control.Period().First, days.first());
    EXPECT_EQ(control.Period().Last, days.last());
    // A click in the third column is on the third chosen day, not two days after the first.
    control.show();
    const QDateTime atNoon = control.TimeAt(QPoint(control.width() - 20, control.height() / 2));
    EXPECT_EQ(atNoon.date(), days[2]);
    TCalendarEvent mass;
    mass.ID = QStringLiteral("{E}");
    mass.Start = QDateTime(days[1], QTime(10, 0));
    mass.Finish = mass.Start.addSecs(3600);
    control.SetEvents({mass});
    control.grab();
    const QRect painted = control.EventRect(mass.ID);
    ASSERT_FALSE(painted.isEmpty());
    EXPECT_GT(painted.left(), control.width() / 3) << "in the second of three columns";
    EXPECT_LT(painted.right(), control.width() * 2 / 3 + 20);
    control.Step(1);
    EXPECT_EQ(control.Days(), (QList<QDate>{QDate(2027, 2, 13), QDate(2027, 2, 15), QDate(2027, 2, 16)}));
    control.SetDate(QDate(2027, 3, 1));
    EXPECT_EQ(control.Days(), QList<QDate>{QDate(2027, 3, 1)});
    control.SetDays(days);
    control.SetView(TCalendarViewKind::Week);
    EXPECT_EQ(control.Days().size(), 7);
}

TEST(CalendarLogic, WeekdayLettersAreTheLocalesLettersNeverNumbers)
{
    struct Case
    {
        QLocale locale;
        QString letters;
    };
    const QList<Case> cases{
        {QLocale::c(), QStringLiteral("MTWTFSS")},
        {QLocale(QLocale::English, QLocale::UnitedStates), QStringLiteral("MTWTFSS")},
        {QLocale(QLocale::German, QLocale::Germany), QStringLiteral("MDMDFSS")},
        {QLocale(QLocale::NorwegianBokmal, QLocale::Norway), QStringLiteral("MTOTFLS")},
    };
    for (const Case &c : cases) {
        QString letters;
        for (int day = 1; day <= 7; ++day)
            letters += WeekdayLetter(c.locale, day);
        EXPECT_EQ(letters, c.letters) << c.locale.name().toStdString();
    }
}

TEST(EventImages, EveryToolbarPictureComesWithItsDisabledImageAndTheFlagsWithTheirs)
{
    const QList<QIcon> normal = EventImages::ToolbarImages();
    const QList<QIcon> disabled = EventImages::ToolbarDisabledImages();
    ASSERT_EQ(normal.size(), int(EventImages::imgCount));
    ASSERT_EQ(disabled.size(), normal.size());
    for (int i = 0; i < normal.size(); ++i) {
        const QImage shown = normal[i].pixmap(24, 24).toImage();
        const QImage grey = disabled[i].pixmap(24, 24).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(shown.isNull()) << i;
        ASSERT_EQ(grey.size(), shown.size()) << i;
        // The icon's own disabled state is the same grey picture.
        EXPECT_EQ(normal[i].pixmap(24, 24, QIcon::Disabled).toImage().convertToFormat(QImage::Format_ARGB32), grey) << i;
        bool coloured = false;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const QRgb c = shown.pixel(x, y);
                coloured = coloured || (qAlpha(c) > 0 && (qRed(c) != qGreen(c) || qGreen(c) != qBlue(c)));
                const QRgb g = grey.pixel(x, y);
                ASSERT_TRUE(qRed(g) == qGreen(g) && qGreen(g) == qBlue(g)) << i << " at " << x << "," << y;
                ASSERT_LE(qAlpha(g), qAlpha(c) / 3 + 1);
            }
        EXPECT_TRUE(coloured) << i;
    }
    const QList<QPixmap> flags = EventImages::EventFlagImages();
    ASSERT_EQ(flags.size(), 2);
    EXPECT_EQ(flags[0].size(), QSize(16, 16));
    EXPECT_EQ(flags[1].size(), QSize(16, 16));
    EXPECT_NE(flags[0].toImage(), flags[1].toImage());
}

TEST(EventImages, AButtonsTooltipIsItsCaptionAndShortcut)
{
    struct Case
    {
        QString text;
        QKeySequence key;
        QString tip;
    };
    const QList<Case> cases{
        {QStringLiteral("&New liturgy"), QKeySequence(Qt::CTRL | Qt::Key_N), QStringLiteral("New liturgy (Ctrl+N)")},
        {QStringLiteral("Refresh"), QKeySequence(Qt::Key_F5), QStringLiteral("Refresh (F5)")},
        {QStringLiteral("Today"), QKeySequence(), QStringLiteral("Today")},
        {QStringLiteral("Print && preview"), QKeySequence(), QStringLiteral("Print & preview")},
    };
    for (const Case &c : cases) {
        QAction action(c.text);
        action.setShortcut(c.key);
        EventImages::SetToolTips({&action});
        EXPECT_EQ(action.toolTip(), c.tip);
    }
}
