// The module's controller answers and its dialogs offscreen, without a server: the duration
// list, the editor's close question, the recurrence and options dialogs' OK and what they
// write, and the start dialog's first period.
#include "plugins/events/tests/FakeEventsHost.h"
#include "plugins/events/ufAutoScheduleStart.h"
#include "plugins/events/ufEventDlg.h"
#include "plugins/events/ufEventOptions.h"
#include "plugins/events/ufRecurrence.h"
#include "plugins/events/uRecurrence.h"

#include "testsupport/QtPrinters.h"
#include "ui/PromptService.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class EventsDialogs : public ::testing::Test
{
protected:
    FakeEventsHost host; // no channel: the tables stay closed
    EventsModule module{host};
    TRvEventsController &Controller() { return module.controller; }
};

} // namespace

TEST_F(EventsDialogs, TheControllerNamesItsTwoViewsAndAsksForNoRights)
{
    QString caption;
    Controller().GetCaption(QStringLiteral("plgCalendar"), caption);
    EXPECT_EQ(caption, QStringLiteral("Calendar"));
    Controller().GetCaption(QStringLiteral("plgSchedule"), caption);
    EXPECT_EQ(caption, QStringLiteral("Schedule"));
    Controller().GetCaption(QStringLiteral("plgOther"), caption);
    EXPECT_EQ(caption, QStringLiteral("Schedule"));
    EXPECT_EQ(Controller().GetRequiredRights(), 0);
    EXPECT_EQ(Controller().GetGroupIndex(QStringLiteral("plgCalendar")), 1);
    EXPECT_EQ(Controller().GetGroupIndex(QStringLiteral("plgSchedule")), 1);
    EXPECT_NE(Controller().GetBitmap(QStringLiteral("plgCalendar")).toImage(), Controller().GetBitmap(QStringLiteral("plgOther")).toImage());
    EXPECT_EQ(Controller().GetPluginCount(), 2);
}

TEST_F(EventsDialogs, TheDurationListHasThirtyEntriesWithTheLocalesDecimalSeparator)
{
    const QList<TvoMinutes> english = DurationEntries(QStringLiteral("min"), QStringLiteral("hours"), QLocale(QLocale::English));
    ASSERT_EQ(english.size(), 30);
    QList<int> minutes;
    for (const TvoMinutes &e : english)
        minutes << e.Minutes;
    EXPECT_EQ(minutes.mid(0, 10), QList<int>({5, 10, 15, 20, 25, 30, 45, 60, 90, 120}));
    EXPECT_EQ(minutes.last(), 720);
    EXPECT_EQ(english[0].Text, QStringLiteral("5 min"));
    EXPECT_EQ(english[6].Text, QStringLiteral("45 minutes"));
    EXPECT_EQ(english[7].Text, QStringLiteral("1 hours"));
    EXPECT_EQ(english[8].Text, QStringLiteral("1.5 hours"));
    EXPECT_EQ(DurationEntries(QStringLiteral("min"), QStringLiteral("Stunden"), QLocale(QLocale::German))[8].Text,
              QStringLiteral("1,5 Stunden"));
    EXPECT_EQ(DurationIndex(english, 90), 8);
    EXPECT_EQ(DurationIndex(english, 50), -1);
}

TEST_F(EventsDialogs, TheEditorSelectsTheGivenDurationOrNoneAndShowsItsMode)
{
    TfEventDlg editor;
    editor.SetDurationMinutes(90);
    editor.Prepare(true);
    EXPECT_EQ(editor.windowTitle(), QStringLiteral("Create a new Liturgy"));
    ASSERT_EQ(editor.cboDuration()->count(), 30);
    EXPECT_EQ(editor.cboDuration()->currentText(), QStringLiteral("1") + QLocale().decimalPoint() + QStringLiteral("5 hours"));
    EXPECT_EQ(editor.DurationMinutes(), 90);
    editor.SetDurationMinutes(50); // a stored length that no entry has
    EXPECT_EQ(editor.DurationMinutes(), 0);
    editor.SetEventDateTime(QDateTime(QDate(2026, 3, 8), QTime(10, 30)));
    EXPECT_EQ(editor.Start(), QDateTime(QDate(2026, 3, 8), QTime(10, 30)));
    TfEventDlg edit;
    edit.Prepare(false);
    EXPECT_EQ(edit.windowTitle(), QStringLiteral("Edit Liturgy"));
    EXPECT_EQ(edit.Rules().HelpTopic(), QStringLiteral("cal_edit_liturgy"));
}

TEST_F(EventsDialogs, TheEditorAsksOnCloseOnlyAfterAChange)
{
    TScriptedPrompt prompt;
    {
        TfEventDlg editor;
        editor.Prepare(true);
        QTimer::singleShot(0, &editor, [&] { editor.acClose()->trigger(); });
        EXPECT_FALSE(editor.Execute());
        EXPECT_TRUE(prompt.Prompts().isEmpty());
    }
    {
        TfEventDlg editor;
        editor.Prepare(true);
        // Changing the start time alone is no change; the duration is.
        QTimer::singleShot(0, &editor, [&] {
            editor.teStartTime()->setTime(QTime(7, 0));
            editor.acClose()->trigger();
        });
        EXPECT_FALSE(editor.Execute());
        EXPECT_TRUE(prompt.Prompts().isEmpty());
    }
    prompt.Answer(QMessageBox::Cancel);
    prompt.Answer(QMessageBox::Yes);
    TfEventDlg editor;
    editor.Prepare(true);
    QTimer::singleShot(0, &editor, [&] {
        editor.cboDuration()->setCurrentIndex(3);
        editor.acClose()->trigger(); // Cancel: stays open
        QTimer::singleShot(0, &editor, [&] {
            EXPECT_TRUE(editor.isVisible());
            editor.acClose()->trigger(); // Yes: saved as if OK
        });
    });
    EXPECT_TRUE(editor.Execute());
    ASSERT_EQ(prompt.Prompts().size(), 2);
    EXPECT_EQ(prompt.Prompts()[0].Text, QStringLiteral("Save the changes to this liturgy?"));
    EXPECT_EQ(prompt.Prompts()[0].Buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
}

TEST_F(EventsDialogs, TheRecurrenceDialogNeedsAWeekdayAndRemembersItsEndDate)
{
    TRecurrence recurrence;
    TfRecurrence dialog;
    dialog.LoadTexts();
    dialog.SetRecurrence(&recurrence);
    dialog.LoadRecurrence();
    EXPECT_FALSE(dialog.btnOK()->isEnabled());
    EXPECT_EQ(dialog.chk(1)->text(), QLocale().dayName(7));
    dialog.SetEventDate(QDate(2026, 1, 31)); // a Saturday
    EXPECT_TRUE(dialog.chk(7)->isChecked());
    EXPECT_TRUE(dialog.btnOK()->isEnabled());
    dialog.opByNum()->setChecked(true);
    dialog.txtNumOfMonths()->setText(QStringLiteral("1"));
    dialog.mWeek()->setText(QStringLiteral("2"));
    dialog.Confirm();
    EXPECT_TRUE(recurrence.Confirmed());
    EXPECT_EQ(recurrence.StartDate(), QDate(2026, 1, 31));
    EXPECT_EQ(recurrence.EndDate(), QDate(2026, 2, 28));
    EXPECT_EQ(recurrence.WeekInterval(), 2);
    EXPECT_TRUE(recurrence.DayChecked(7));
    EXPECT_EQ(host.Settings.value(QStringLiteral("RecurrenceEndDate")), QStringLiteral("2026-02-28"));
    // The next recurrence starts from that end date.
    TRecurrence next([this] { return Controller().GetUserSetting(TRecurrence::EndDateSetting, QString()); });
    EXPECT_EQ(next.EndDate(), QDate(2026, 2, 28));
}

TEST_F(EventsDialogs, TheOptionsDialogShowsTheSettingsAgainAndComparesTimesAsTimes)
{
    TvoEventSettings settings;
    settings.WorkdayStart = QTime(8, 0);
    settings.WorkdayEnd = QTime(17, 0);
    settings.StandardDuration = 90;
    TfOptionsDlg dialog;
    dialog.Prepare(&settings);
    EXPECT_EQ(dialog.cxCmbStartTime()->count(), 24);
    EXPECT_EQ(dialog.cxCmbStartTime()->currentIndex(), 8);
    EXPECT_EQ(dialog.cxCmbEndTime()->currentIndex(), 17);
    EXPECT_EQ(dialog.cboDuration()->currentData().toInt(), 90);
    EXPECT_TRUE(dialog.btnOK()->isEnabled());
    // "9:00" before "10:00", although the texts sort the other way.
    dialog.cxCmbStartTime()->setCurrentIndex(9);
    dialog.cxCmbEndTime()->setCurrentIndex(10);
    EXPECT_TRUE(dialog.btnOK()->isEnabled());
    dialog.cxCmbEndTime()->setCurrentIndex(9);
    EXPECT_FALSE(dialog.btnOK()->isEnabled());
    dialog.cxCmbEndTime()->setCurrentIndex(18);
    dialog.cxchkWatermark()->setChecked(true);
    dialog.Accept();
    EXPECT_EQ(settings.WorkdayStart, QTime(9, 0));
    EXPECT_EQ(settings.WorkdayEnd, QTime(18, 0));
    EXPECT_TRUE(settings.ShowMonthNumber);
    EXPECT_EQ(settings.StandardDuration, 90);

    settings.WorkdayStart = QTime(8, 30); // not a whole hour: nothing selected, OK off
    dialog.Prepare(&settings);
    EXPECT_EQ(dialog.cxCmbStartTime()->currentIndex(), -1);
    EXPECT_FALSE(dialog.btnOK()->isEnabled());
}

TEST_F(EventsDialogs, TheStartDialogOffersTheLastPeriodOrTheNextThreeMonths)
{
    const QDate today(2026, 12, 9);
    QDate start;
    QDate end;
    TfAutoScheduleStart::InitialPeriod(QString(), QString(), today, start, end);
    EXPECT_EQ(start, today);
    EXPECT_EQ(end, QDate(2027, 3, 9));
    TfAutoScheduleStart::InitialPeriod(QStringLiteral("2026-03-01"), QStringLiteral("2026-03-31"), today, start, end);
    EXPECT_EQ(start, QDate(2026, 3, 1));
    EXPECT_EQ(end, QDate(2026, 3, 31));
    TfAutoScheduleStart::InitialPeriod(QStringLiteral("someday"), QStringLiteral("2026-03-31"), today, start, end);
    EXPECT_EQ(start, today);
    EXPECT_EQ(end, QDate(2027, 1, 9));
    // Without the views' event list the count is -1 and OK stays off.
    TfAutoScheduleStart dialog;
    EXPECT_EQ(dialog.LiturgyCount, -1);
    EXPECT_FALSE(dialog.btnOK()->isEnabled());
}
