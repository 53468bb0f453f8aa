// The module's controller answers and its dialogs offscreen, without a server: the duration
// list, the editor's close question, the recurrence and options dialogs' OK and what they
// write, the start dialog's first period, the minister flag's hint, the dialogs' help pages, and
// the controller's report and grid-layout gateways.
#include "testsupport/EventsTestModule.h"
#include "plugins/events/ufAutoScheduleStart.h"
#include "plugins/events/ufEventDlg.h"
#include "plugins/events/ufEventOptions.h"
#include "plugins/events/ufRecurrence.h"
#include "plugins/events/uRecurrence.h"
#include "plugins/events/uTypedDateTimeEdit.h"

#include "testsupport/QtPrinters.h"
#include "ui/PromptService.h"
#include "ui/uHTMLHelp.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kestrova::test;

namespace {

class EventsDialogs : public ::testing::Test
{
protected:
    TStandInHost host{kEventsHostParts, TStandInHost::TabbedLine}; // no channel: the tables stay closed
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
    const QList<TvoMinutes> english =
        DurationEntries(QStringLiteral("min"), QStringLiteral("hours"), QStringLiteral("hour"), QLocale(QLocale::English));
    ASSERT_EQ(english.size(), 30);
    QList<int> minutes;
    for (const TvoMinutes &e : english)
        minutes << e.Minutes;
    EXPECT_EQ(minutes.mid(0, 10), QList<int>({5, 10, 15, 20, 25, 30, 45, 60, 90, 120}));
    EXPECT_EQ(minutes.last(), 720);
    EXPECT_EQ(english[0].Text, QStringLiteral("5 min"));
    EXPECT_EQ(english[6].Text, QStringLiteral("45 minutes"));
    EXPECT_EQ(english[7].Text, QStringLiteral("1 hour"));
    EXPECT_EQ(english[8].Text, QStringLiteral("1.5 hours"));
    EXPECT_EQ(DurationEntries(QStringLiteral("min"), QStringLiteral("Stunden"), QStringLiteral("Stunde"), QLocale(QLocale::German))[8].Text,
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
    editor.SetDurationMinutes(50); // a stored length that no entry has is shown, not dropped
    EXPECT_EQ(editor.DurationMinutes(), 50);
    EXPECT_EQ(editor.cboDuration()->currentText(), QStringLiteral("50 minutes"));
    EXPECT_EQ(editor.cboDuration()->itemData(editor.cboDuration()->currentIndex() - 1).toInt(), 45);
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

TEST_F(EventsDialogs, AnEndDateBeforeTheStartIsRefusedWithAMessageAndTheDialogStaysOpen)
{
    TRecurrence recurrence;
    TfRecurrence dialog;
    dialog.LoadTexts();
    dialog.SetRecurrence(&recurrence);
    dialog.SetEventDate(QDate(2026, 12, 12));
    dialog.LoadRecurrence();
    dialog.show();
    TScriptedPrompt prompt;
    // The end's year a step back, by keys, puts it before the start.
    QDateEdit *end = dialog.dtEndDate();
    end->setFocus(Qt::TabFocusReason);
    end->setCurrentSection(QDateTimeEdit::YearSection);
    QTest::keyClick(end, Qt::Key_Down);
    ASSERT_LT(end->date(), QDate(2026, 12, 12));
    EXPECT_TRUE(dialog.opByDate()->isChecked());
    QTest::mouseClick(dialog.btnOK(), Qt::LeftButton);
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Icon, QMessageBox::Warning);
    EXPECT_EQ(prompt.Prompts()[0].Text, Controller().GetText(5019));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(recurrence.Confirmed());
    EXPECT_FALSE(host.Settings.contains(TRecurrence::EndDateSetting));
    // Back after the start, it is taken.
    end->setCurrentSection(QDateTimeEdit::YearSection);
    QTest::keyClick(end, Qt::Key_Up);
    QTest::mouseClick(dialog.btnOK(), Qt::LeftButton);
    EXPECT_EQ(prompt.Prompts().size(), 1);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(recurrence.Confirmed());
    EXPECT_EQ(recurrence.EndDate(), end->date());
    recurrence.Expand(false);
    EXPECT_GT(recurrence.Dates().size(), 1);
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

TEST(MinisterFlagHint, ShowsTheCommentsFromTheSecondMoveOverASetFlagAndHidesAnywhereElse)
{
    struct Step
    {
        bool OverSetFlag;
        QString Comments;
        bool Visible;
        QString Text;
    };
    const QString note = QStringLiteral("Reads the second lesson");
    const QList<Step> steps = {
        {true, note, false, note},                       // a new text is taken in hidden
        {true, note, true, note},                        // the same text again shows it
        {true, note, true, note},
        {false, QString(), false, note},                 // off the flag (or over an unset one): hidden
        {true, note, true, note},                        // back on the same text: shown at once
        {true, QStringLiteral("Cantor"), false, QStringLiteral("Cantor")}, // another row's text
        {true, QStringLiteral("Cantor"), true, QStringLiteral("Cantor")},
        {true, QString(), false, QString()},             // a row without comments
        {true, QString(), false, QString()},             // never an empty hint
    };
    TMinisterFlagHint hint;
    for (int i = 0; i < steps.size(); ++i) {
        hint.Move(steps[i].OverSetFlag, steps[i].Comments);
        EXPECT_EQ(hint.Visible(), steps[i].Visible) << "step " << i;
        EXPECT_EQ(hint.Text(), steps[i].Text) << "step " << i;
    }
    hint.Move(true, QStringLiteral("Cantor"));
    hint.Move(true, QStringLiteral("Cantor"));
    hint.Hide();
    EXPECT_FALSE(hint.Visible());
}

TEST_F(EventsDialogs, EachDialogsHelpOpensItsTopicsPageThroughTheHostsHelp)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QStringList topics = {QStringLiteral("index"), QStringLiteral("Cal_add_a_singel_liturgy"), QStringLiteral("cal_edit_liturgy"),
                                QStringLiteral("Cal_add_recurring_liturgy"), QStringLiteral("Schedule_ministers_aut"),
                                QStringLiteral("Calendar_options")};
    for (const QString &topic : topics) {
        QFile page(folder.filePath(topic + QStringLiteral(".html")));
        ASSERT_TRUE(page.open(QIODevice::WriteOnly));
        page.write("<h1>page</h1>");
    }
    QStringList opened;
    TconHTMLHelp::SetOpener([&opened](const QUrl &page) {
        opened << QFileInfo(page.toLocalFile()).completeBaseName();
        return true;
    });
    TconHTMLHelp::Install(folder.filePath(QStringLiteral("index.html")));

    TfEventDlg create;
    create.Prepare(true);
    create.acHelp()->trigger();
    TfEventDlg edit;
    edit.Prepare(false);
    edit.acHelp()->trigger();
    TfRecurrence recurrence;
    recurrence.btnHelp()->click();
    TfAutoScheduleStart start;
    start.btnHelp()->click();
    TfOptionsDlg options;
    options.btnHelp()->click();

    TconHTMLHelp::Remove();
    TconHTMLHelp::SetOpener({});
    EXPECT_EQ(opened, topics.mid(1));
}

TEST_F(EventsDialogs, AReportGoesToTheHostsChooserWithTheFourTrailingTextsEmpty)
{
    const QStringList selected = {QStringLiteral("{E1}"), QStringLiteral("{E2}")};
    Controller().ShowReportDlg(QStringLiteral("{00000000-0000-0000-0000-000000000002}"), &selected, 2, nullptr, 0);
    Controller().ShowReportDlg(QStringLiteral("{00000000-0000-0000-0000-000000000006}"), nullptr, 17, nullptr, 0);
    ASSERT_EQ(host.Reports.size(), 2);
    EXPECT_EQ(host.Reports[0].Category, QStringLiteral("{00000000-0000-0000-0000-000000000002}"));
    EXPECT_EQ(host.Reports[0].Selection, selected);
    EXPECT_EQ(host.Reports[0].Count, 2);
    EXPECT_EQ(host.Reports[0].Texts, QStringList({QString(), QString(), QString(), QString()}));
    EXPECT_FALSE(host.Reports[1].HadSelection);
    EXPECT_EQ(host.Reports[1].Count, 17);
    EXPECT_EQ(host.Reports[1].SelectionIndex, 0);
    EXPECT_EQ(host.Reports[1].CriteriaProvider, nullptr);
}

TEST_F(EventsDialogs, AGridLayoutComesBackFromTheUserSettingsAndABadOneLeavesTheGridAsDesigned)
{
    QStandardItemModel model(2, 3);
    QTableView designed;
    designed.setModel(&model);
    const int designedWidth = designed.horizontalHeader()->sectionSize(1);

    // Never stored: the grid stays as it is, nothing is logged.
    Controller().LoadGridLayout(QStringLiteral("ScheduleEventsGrid"), designed.horizontalHeader());
    EXPECT_EQ(designed.horizontalHeader()->sectionSize(1), designedWidth);

    QTableView arranged;
    arranged.setModel(&model);
    arranged.horizontalHeader()->resizeSection(1, designedWidth + 77);
    arranged.horizontalHeader()->moveSection(2, 0);
    Controller().SaveGridLayout(QStringLiteral("ScheduleEventsGrid"), arranged.horizontalHeader());
    ASSERT_TRUE(host.Blobs.contains(QStringLiteral("ScheduleEventsGrid")));

    QTableView reopened;
    reopened.setModel(&model);
    Controller().LoadGridLayout(QStringLiteral("ScheduleEventsGrid"), reopened.horizontalHeader());
    EXPECT_EQ(reopened.horizontalHeader()->sectionSize(1), designedWidth + 77);
    EXPECT_EQ(reopened.horizontalHeader()->visualIndex(2), 0);
    EXPECT_TRUE(host.Log.isEmpty()) << host.Log.join(QLatin1Char('\n')).toStdString();

    host.Blobs[QStringLiteral("ScheduledFunctionsGrid")] = QByteArray("not a layout");
    Controller().LoadGridLayout(QStringLiteral("ScheduledFunctionsGrid"), designed.horizontalHeader());
    EXPECT_EQ(designed.horizontalHeader()->sectionSize(1), designedWidth);
    ASSERT_EQ(host.Log.size(), 1);
    EXPECT_TRUE(host.Log[0].startsWith(QStringLiteral("2\tEvents\tLoadGridLayout\t"))) << host.Log[0].toStdString();
}

TEST_F(EventsDialogs, WithoutTheHostsReportsOrSettingsReportsAndSavingRaiseButLoadingOnlyLogs)
{
    QStandardItemModel model(1, 2);
    QTableView grid;
    grid.setModel(&model);
    Controller().AttachHost(nullptr);
    EXPECT_THROW(Controller().ShowReportDlg(QStringLiteral("{00000000-0000-0000-0000-000000000002}"), nullptr, 0, nullptr, 0),
                 std::runtime_error);
    EXPECT_THROW(Controller().SaveGridLayout(QStringLiteral("ScheduleEventsGrid"), grid.horizontalHeader()), std::runtime_error);
    EXPECT_NO_THROW(Controller().LoadGridLayout(QStringLiteral("ScheduleEventsGrid"), grid.horizontalHeader()));
    Controller().AttachHost(&host);
}

// Typed as a user types, read when Enter is pressed or the dialog's OK is chosen.
TEST_F(EventsDialogs, TheEditorTakesATypedDateTimeAndDurationAndRefusesTextThatNamesNone)
{
    TfEventDlg editor;
    editor.Prepare(true);
    editor.SetDurationMinutes(60);
    editor.SetEventDateTime(QDateTime(QDate(2026, 12, 12), QTime(10, 0)));
    editor.show();
    TScriptedPrompt prompt;
    const auto type = [](QWidget *field, const QString &text) {
        field->setFocus(Qt::TabFocusReason);
        QTest::keyClicks(field->focusProxy() ? field->focusProxy() : field, text);
        QTest::keyClick(field->focusProxy() ? field->focusProxy() : field, Qt::Key_Return);
        QTest::qWait(1); // a refusal is told once the key has returned
    };
    const struct
    {
        QString Date, Time, Duration;
        QDate WantedDate;
        QTime WantedTime;
        int WantedMinutes;
        qsizetype Refusals;
    } steps[] = {
        {QStringLiteral("17 Jan 2027"), QStringLiteral("18:30"), QStringLiteral("90"), QDate(2027, 1, 17), QTime(18, 30), 90, 0},
        {QStringLiteral("3/2/2027"), QStringLiteral("0915"), QStringLiteral("2 hours"), QDate(2027, 2, 3), QTime(9, 15), 120, 0},
        {QStringLiteral("2027-03-14"), QStringLiteral("6:05 pm"), QStringLiteral("1.5 h"), QDate(2027, 3, 14), QTime(18, 5), 90, 0},
        // Any whole number of minutes, listed or not.
        {QStringLiteral("2027-03-14"), QStringLiteral("6:05 pm"), QStringLiteral("75"), QDate(2027, 3, 14), QTime(18, 5), 75, 0},
        {QStringLiteral("2027-03-14"), QStringLiteral("6:05 pm"), QStringLiteral("1.5 h"), QDate(2027, 3, 14), QTime(18, 5), 90, 0},
        // Nothing of these names a date, a time or a length: told, and the values stay.
        {QStringLiteral("31 Feb 2027"), QStringLiteral("25:00"), QStringLiteral("7 days"), QDate(2027, 3, 14), QTime(18, 5), 90, 3},
    };
    for (const auto &step : steps) {
        const qsizetype before = prompt.Prompts().size();
        type(editor.dtStart(), step.Date);
        type(editor.teStartTime(), step.Time);
        type(editor.cboDuration(), step.Duration);
        EXPECT_EQ(editor.dtStart()->date(), step.WantedDate) << step.Date.toStdString();
        EXPECT_EQ(editor.teStartTime()->time(), step.WantedTime) << step.Time.toStdString();
        EXPECT_EQ(editor.DurationMinutes(), step.WantedMinutes) << step.Duration.toStdString();
        EXPECT_EQ(prompt.Prompts().size() - before, step.Refusals) << step.Date.toStdString();
    }
    ASSERT_EQ(prompt.Prompts().size(), 3);
    EXPECT_EQ(prompt.Prompts()[0].Text, Controller().GetText(3052));
    EXPECT_EQ(prompt.Prompts()[1].Text, Controller().GetText(3053));
    EXPECT_EQ(prompt.Prompts()[2].Text, Controller().GetText(3054));
    // Typed and saved at once (Ctrl+S): what was typed is what is saved.
    editor.dtStart()->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(editor.dtStart(), QStringLiteral("1 Mar 2027"));
    editor.acOK()->trigger();
    EXPECT_EQ(editor.Start(), QDateTime(QDate(2027, 3, 1), QTime(18, 5)));
}
