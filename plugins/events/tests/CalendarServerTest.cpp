// The calendar view against a real data server with a generated parish: a liturgy made in the
// calendar is stored and shown, a deleted one goes without an error or a second delete, a
// scheduling run started from the calendar fills the liturgies' functions, the export reads back
// with python3-icalendar into every event of the storage with stable UIDs, several days chosen
// in the navigator stand side by side, and a complete or delete another planner's save refused
// is told and leaves nothing half done.
#include "plugins/events/tests/EventsServerSuite.h"
#include "plugins/events/tests/TimeOnlyEditor.h"
#include "plugins/events/uCalendarView.h"
#include "plugins/events/uEventEditorRules.h"
#include "plugins/events/uEventImages.h"
#include "plugins/events/ufAutoScheduleStart.h"
#include "plugins/events/ufEventDlg.h"

#include "Quorva_Data_Service_Intf.h"
#include "testsupport/DialogScript.h"
#include "testsupport/GeneratedParish.h"
#include "testsupport/DocumentReaders.h"
#include "ui/PromptService.h"
#include "ui/ViewRefresh.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <gtest/gtest.h>

using namespace kestrova::test;

namespace {

const QString kSaturdayMass = QStringLiteral("{70000000-0000-0000-0000-000000000001}");

// The host's runner as the progress window would call it, but waiting for the answer.
bool RunWaitingForTheAnswer(const TStandInHost &host, const TStandInHost::TRun &run)
{
    auto lines = [](const QStringList &ids) {
        QString text;
        for (const QString &id : ids)
            text += id + QStringLiteral("\r\n");
        return text;
    };
    return CoEventsService::Create(host.Message, host.Channel)->RunAutoSchedule(run.From, run.To, lines(run.TemplateIds), lines(run.FunctionIds));
}


void Wait(int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

class CalendarAgainstServer : public EventsServerSuite
{
protected:
    static void SetUpTestSuite()
    {
        StartSuite([] {
            GenerateParish(server->db, TParishShape{60, 1, false});
            Sql(QStringLiteral("INSERT INTO tblLocations (PK_LocationID, LocationName, SortIndex) "
                               "  VALUES ('{10000000-0000-0000-0000-000000000001}', 'St. Brigid', 0);"
                               "INSERT INTO tblLiturgyTemplates (PK_LiturgyTemplateID, LiturgyTemplateName, F_LocationID, LiturgyIndex) "
                               "  VALUES ('%1', 'Evening Mass', '{10000000-0000-0000-0000-000000000001}', 0);")
                    .arg(kSaturdayMass));
        });
        if (!host)
            return;
        host->OnRun = [](const TStandInHost::TRun &run) { runAnswer = RunWaitingForTheAnswer(*host, run); };
        view = new TplgCalendar;
        view->EditorFactory = [] { return std::make_unique<TTimeOnlyEditor>(*RvEvents()->DataModule(), kSaturdayMass); };
        view->resize(1100, 760);
        view->show();
        view->Activate(nullptr);
    }
    static void TearDownTestSuite()
    {
        if (view) {
            view->Deactivate(nullptr);
            view->release();
            view = nullptr;
        }
        StopSuite();
    }

    void SetUp() override
    {
        if (!server->db.available())
            GTEST_SKIP();
        host->Log.clear();
        host->Progress.clear();
    }

    static void ShowWeekOf(const QDate &day)
    {
        view->acViewWeek->trigger();
        view->cxSchedule()->SetDate(day);
        view->cxSchedule()->grab(); // painted, so the events have their places
    }
    static bool Shows(const QString &id)
    {
        for (const TCalendarEvent &e : view->cxSchedule()->Events())
            if (e.ID == id)
                return true;
        return false;
    }

    static inline bool runAnswer = false;
    static inline TplgCalendar *view = nullptr;
};

} // namespace

TEST_F(CalendarAgainstServer, ALiturgyMadeInTheCalendarIsStoredAndShown)
{
    const QDate tuesday = GeneratedParishStart().addDays(1);
    ShowWeekOf(tuesday);
    view->cxSchedule()->SelectTime(QDateTime(tuesday, QTime(10, 0)), QDateTime(tuesday, QTime(10, 30)));
    view->acHYAdd->trigger();

    const QString id = Scalar(QStringLiteral("SELECT PK_EventID FROM tblEvents WHERE StartDateTime = '%1'")
                                  .arg(QDateTime(tuesday, QTime(10, 0)).toString(Qt::ISODate)));
    ASSERT_EQ(id.size(), 38) << Failures().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(Scalar(QStringLiteral("SELECT EndDateTime FROM tblEvents WHERE PK_EventID = '%1'").arg(id)).left(16),
              QDateTime(tuesday, QTime(11, 0)).toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    EXPECT_TRUE(Shows(id));
    EXPECT_EQ(view->cxSchedule()->SelectedEvents(), QStringList{id});
    EXPECT_TRUE(view->acHYEdit->isEnabled());
    EXPECT_TRUE(Failures().isEmpty()) << Failures().join(QLatin1Char('\n')).toStdString();
}

TEST_F(CalendarAgainstServer, DeletingALiturgyRemovesItWithoutAnErrorOrASecondDelete)
{
    const QDate sunday = GeneratedParishStart().addDays(13);
    ShowWeekOf(sunday);
    const QString id = Scalar(QStringLiteral("SELECT PK_EventID FROM tblEvents WHERE StartDateTime = '%1'")
                                  .arg(QDateTime(sunday, QTime(9, 30)).toString(Qt::ISODate)));
    ASSERT_TRUE(Shows(id));
    QTest::mouseClick(view->cxSchedule(), Qt::LeftButton, {}, view->cxSchedule()->EventRect(id).center());
    ASSERT_EQ(view->cxSchedule()->SelectedEvents(), QStringList{id});
    ASSERT_TRUE(view->acHYDelete->isEnabled());
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::Yes);
    view->acHYDelete->trigger();

    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts().first().DefaultButton, QMessageBox::No);
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblEvents WHERE PK_EventID = '%1'").arg(id)), QStringLiteral("0"));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblScheduledLiturgies WHERE F_EventID = '%1'").arg(id)), QStringLiteral("0"));
    EXPECT_FALSE(Shows(id));
    EXPECT_FALSE(RvEvents()->DataModule()->EventList.HasChanges());
    EXPECT_FALSE(RvEvents()->DataModule()->tbl_DAEventList1.Locate(QStringLiteral("PK_EventID"), id));
    EXPECT_FALSE(view->acHYDelete->isEnabled());
    EXPECT_TRUE(Failures().isEmpty()) << Failures().join(QLatin1Char('\n')).toStdString();

    // No answers Yes: nothing goes.
    const QString other = view->cxSchedule()->Events().first().ID;
    view->cxSchedule()->SelectEvents({other});
    prompt.Answer(QMessageBox::No);
    view->acHYDelete->trigger();
    EXPECT_TRUE(Shows(other));
}

TEST_F(CalendarAgainstServer, ASchedulingRunStartedFromTheCalendarFillsTheLiturgiesFunctions)
{
    const QDate first = GeneratedParishStart();
    const QDate last = first.addDays(13);
    const QString open = QStringLiteral("SELECT count(*) FROM tblScheduledMinistryFunctions f JOIN tblScheduledLiturgies l "
                                        "ON l.PK_ScheduledLiturgyID = f.F_ScheduledLiturgyID JOIN tblEvents e ON e.PK_EventID = l.F_EventID "
                                        "WHERE f.F_MinistryMemberID IS NULL AND e.StartDateTime >= '%1' AND e.StartDateTime < '%2'")
                             .arg(first.toString(Qt::ISODate), last.addDays(1).toString(Qt::ISODate));
    const int before = Scalar(open).toInt();
    ASSERT_GT(before, 20);
    ShowWeekOf(first.addDays(6));
    DialogScript script;
    script.Then<TfAutoScheduleStart>([&](TfAutoScheduleStart &dialog) {
        dialog.dtStartDate()->setDate(first);
        dialog.dtEndDate()->setDate(last);
        QTimer::singleShot(0, &dialog, [&dialog] { dialog.btnOK()->click(); });
    });
    view->acHYSchedule->trigger();
    ASSERT_EQ(host->Runs.size(), 1);
    EXPECT_TRUE(runAnswer);
    EXPECT_EQ(host->Runs.first().From, QDateTime(first, QTime(0, 0)));
    EXPECT_EQ(host->Runs.first().To, QDateTime(last.addDays(1), QTime(0, 0)));
    EXPECT_LT(Scalar(open).toInt(), before / 2);
    // The refresh comes a second later and shows the run's colours.
    EXPECT_TRUE(view->tmrRefresh.isActive());
    Wait(1300);
    EXPECT_FALSE(view->tmrRefresh.isActive());
    bool coloured = false;
    for (const TCalendarEvent &e : view->cxSchedule()->Events())
        coloured = coloured || !e.LabelID.isEmpty();
    EXPECT_TRUE(coloured);
    EXPECT_TRUE(Failures().isEmpty()) << Failures().join(QLatin1Char('\n')).toStdString();
}

TEST_F(CalendarAgainstServer, TheExportWritesEveryEventOfTheStorageOnceAndKeepsTheirUids)
{
    // The view shows one week; the file holds every event all the same.
    ShowWeekOf(GeneratedParishStart().addDays(7));
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Parish.ics"));
    view->ChooseExportFile = [&] { return path; };
    // Read back with python3-icalendar; a calendar program keys its entries by UID, so a dict by
    // UID over both files is what it holds after importing the second.
    auto readBack = [&] {
        const QByteArray out = RunReader(SystemPython(),
                     {QStringLiteral("-c"),
                      QStringLiteral("import icalendar, json, sys\n"
                                     "cal = icalendar.Calendar.from_ical(open(sys.argv[1], 'rb').read())\n"
                                     "rows = []\n"
                                     "for e in cal.walk('VEVENT'):\n"
                                     "    cats = e.get('CATEGORIES')\n"
                                     "    cats = ','.join(str(c) for c in cats.cats) if cats is not None else ''\n"
                                     "    rows.append([str(e['UID']), str(e['SUMMARY']), e.decoded('DTSTART').isoformat(),\n"
                                     "                 str(e.get('DESCRIPTION', '')), cats, str(e.get('TRANSP', ''))])\n"
                                     "print(json.dumps(sorted(rows)))"),
                      path});
        return QJsonDocument::fromJson(out).array();
    };
    view->acOutlook->trigger();
    EXPECT_EQ(host->Progress, QStringList({"show 1", "10", "50", "80", "hide"}));
    const QJsonArray first = readBack();

    const QList<QStringList> stored = server->db.rows(QStringLiteral(
        "SELECT EventSynchID, EventSubject, to_char(StartDateTime, 'YYYY-MM-DD\"T\"HH24:MI:SS') FROM dbo.tblEvents "
        "ORDER BY EventSynchID COLLATE \"C\""));
    const TCalendarPeriod week = view->cxSchedule()->Period();
    int outsideTheWeek = 0;
    for (const QStringList &row : stored)
        outsideTheWeek += week.Contains(QDateTime::fromString(row[2], Qt::ISODate).date()) ? 0 : 1;
    ASSERT_GT(outsideTheWeek, 20) << "the parish has events beyond the week shown";
    ASSERT_EQ(first.size(), stored.size()) << "every event of the storage, once";
    QSet<QString> uids;
    const QString body = RvEvents()->GetText(2581).arg(QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
    for (int i = 0; i < stored.size(); ++i) {
        const QJsonArray event = first[i].toArray();
        EXPECT_FALSE(stored[i][0].isEmpty());
        uids << stored[i][0];
        EXPECT_EQ(event[0].toString(), stored[i][0]);
        EXPECT_EQ(event[1].toString(), stored[i][1]);
        EXPECT_EQ(event[2].toString(), stored[i][2]);
        EXPECT_TRUE(event[3].toString().startsWith(body + QStringLiteral("Ministers:"))) << event[3].toString().toStdString();
        EXPECT_EQ(event[4].toString(), RvEvents()->GetText(2582));
        EXPECT_EQ(event[5].toString(), QStringLiteral("OPAQUE")) << "busy";
    }
    EXPECT_EQ(uids.size(), stored.size()) << "one UID per event";
    // A second export, from another view, finds every id stored and keeps it.
    host->Progress.clear();
    view->acViewYear->trigger();
    view->acOutlook->trigger();
    EXPECT_EQ(readBack(), first);
    EXPECT_TRUE(Failures().isEmpty()) << Failures().join(QLatin1Char('\n')).toStdString();
}

TEST_F(CalendarAgainstServer, AnExportThatCannotBeWrittenSaysSoAndLeavesNoFile)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("no such folder/Parish.ics"));
    view->ChooseExportFile = [&] { return path; };
    TScriptedPrompt prompt;
    view->acOutlook->trigger();
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts().first().Icon, QMessageBox::Warning);
    EXPECT_TRUE(prompt.Prompts().first().Text.contains(path)) << prompt.Prompts().first().Text.toStdString();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(host->Progress.last(), QStringLiteral("hide"));
    ASSERT_EQ(Failures().size(), 1);
    EXPECT_TRUE(Failures().first().contains(QStringLiteral("acOutlookExecute"))) << Failures().first().toStdString();
}

TEST_F(CalendarAgainstServer, ARefreshThatFailsIsToldAndMarksTheCalendarUntilOneSucceeds)
{
    const QString served = admin->Channel->TargetURL();
    TScriptedPrompt prompt;
    admin->Channel->SetTargetURL(QStringLiteral("http://127.0.0.1:1/BIN"));
    view->acHYRefresh->trigger();
    admin->Channel->SetTargetURL(served);
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts().first().Caption, RvEvents()->GetText(ViewRefresh::TextCaption));
    EXPECT_TRUE(ViewRefresh::NotCurrent(*view));
    ASSERT_EQ(Failures().size(), 1);
    EXPECT_TRUE(Failures().first().contains(QStringLiteral("acHYRefreshExecute"))) << Failures().first().toStdString();

    view->acHYRefresh->trigger();
    EXPECT_FALSE(ViewRefresh::NotCurrent(*view));
    EXPECT_EQ(prompt.Prompts().size(), 1);
}

TEST_F(CalendarAgainstServer, EveryToolbarButtonHasAPictureAndATooltipWithItsShortcut)
{
    EXPECT_EQ(view->GetToolbarImages().size(), int(EventImages::imgCount));
    EXPECT_EQ(view->GetToolbarDisabledImages().size(), int(EventImages::imgCount));
    const QList<QToolBar *> bars = view->GetBarManager();
    ASSERT_EQ(bars.size(), 2);
    int buttons = 0;
    for (QAction *action : bars[1]->actions()) {
        if (action->isSeparator())
            continue;
        ++buttons;
        EXPECT_FALSE(action->icon().isNull()) << action->text().toStdString();
        EXPECT_FALSE(action->icon().pixmap(24, 24, QIcon::Disabled).isNull()) << action->text().toStdString();
        EXPECT_TRUE(action->toolTip().startsWith(action->text())) << action->toolTip().toStdString();
        if (!action->shortcut().isEmpty()) {
            EXPECT_TRUE(action->toolTip().endsWith(QStringLiteral(" (%1)").arg(action->shortcut().toString(QKeySequence::NativeText))))
                << action->toolTip().toStdString();
        }
    }
    EXPECT_GE(buttons, 12);
    EXPECT_EQ(view->acHYAdd->toolTip(), view->acHYAdd->text() + QStringLiteral(" (Ctrl+N)"));
    EXPECT_FALSE(view->acHYAdd->text().isEmpty());
    // The complete button's caption follows the selection, and so does its tooltip.
    view->cxSchedule()->SelectEvents({});
    EXPECT_EQ(view->acHYComplete->toolTip(), view->acHYComplete->text());
}

TEST_F(CalendarAgainstServer, SeveralDaysChosenInTheNavigatorAreShownSideBySideAndDropTheEventSelection)
{
    const QDate monday = GeneratedParishStart().addDays(21 - GeneratedParishStart().dayOfWeek() + 1);
    ShowWeekOf(monday);
    const QString id = Scalar(QStringLiteral("SELECT PK_EventID FROM tblEvents WHERE StartDateTime >= '%1' ORDER BY StartDateTime LIMIT 1")
                                  .arg(monday.toString(Qt::ISODate)));
    ASSERT_FALSE(id.isEmpty());
    view->cxSchedule()->SelectEvents({id});
    ASSERT_TRUE(view->acHYEdit->isEnabled());

    // Saturday and Sunday, and the Wednesday before them (a control-click).
    const QList<QDate> days{monday.addDays(2), monday.addDays(5), monday.addDays(6)};
    emit view->cxDateNavigator()->DaysSelected(days);
    EXPECT_TRUE(view->cxSchedule()->SelectedEvents().isEmpty());
    EXPECT_FALSE(view->acHYEdit->isEnabled());
    EXPECT_FALSE(view->acHYDelete->isEnabled());
    EXPECT_TRUE(view->acViewDay->isChecked());
    EXPECT_EQ(view->cxSchedule()->Days(), days);
    for (const QDate &day : days)
        EXPECT_TRUE(view->cxDateNavigator()->IsMarked(day)) << day.toString(Qt::ISODate).toStdString();
    EXPECT_FALSE(view->cxDateNavigator()->IsMarked(monday.addDays(3)));
    // The events shown are the chosen days' liturgies, every one of them, and no other day's.
    const QList<QStringList> expected = server->db.rows(QStringLiteral(
        "SELECT PK_EventID FROM dbo.tblEvents WHERE StartDateTime::date IN ('%1', '%2', '%3') ORDER BY PK_EventID")
                                                            .arg(days[0].toString(Qt::ISODate), days[1].toString(Qt::ISODate),
                                                                 days[2].toString(Qt::ISODate)));
    ASSERT_GE(expected.size(), 3);
    QStringList shown;
    for (const TCalendarEvent &e : view->cxSchedule()->Events()) {
        shown << e.ID;
        EXPECT_TRUE(days.contains(e.Start.date())) << e.Start.toString(Qt::ISODate).toStdString();
    }
    shown.sort();
    QStringList wanted;
    for (const QStringList &row : expected)
        wanted << row[0];
    wanted.sort();
    EXPECT_EQ(shown, wanted);
    view->cxSchedule()->grab();
    for (const TCalendarEvent &e : view->cxSchedule()->Events())
        EXPECT_FALSE(view->cxSchedule()->EventRect(e.ID).isEmpty()) << "painted " << e.Start.toString(Qt::ISODate).toStdString();
    // A new liturgy goes on the first chosen day, at the start of the working day.
    EXPECT_EQ(view->cxSchedule()->SelectionStart(), QDateTime(days[0], QTime(8, 0)));
    EXPECT_TRUE(Failures().isEmpty()) << Failures().join(QLatin1Char('\n')).toStdString();
}

TEST_F(CalendarAgainstServer, CompleteTogglesTheMarkAndPrintHandsOverTheSelectionOrTheWholeList)
{
    const QDate wednesday = GeneratedParishStart().addDays(16);
    ShowWeekOf(wednesday);
    const QString id = Scalar(QStringLiteral("SELECT PK_EventID FROM tblEvents WHERE StartDateTime = '%1'")
                                  .arg(QDateTime(wednesday, QTime(18, 0)).toString(Qt::ISODate)));
    auto stored = [&] { return Scalar(QStringLiteral("SELECT EventLabelColorID FROM tblEvents WHERE PK_EventID = '%1'").arg(id)); };
    view->cxSchedule()->SelectEvents({});
    EXPECT_FALSE(view->acHYComplete->isEnabled());
    view->acHYPrint->trigger();
    ASSERT_FALSE(host->Reports.isEmpty());
    EXPECT_EQ(host->Reports.last().Category, QStringLiteral("{00000000-0000-0000-0000-000000000002}"));
    EXPECT_FALSE(host->Reports.last().HadSelection);
    EXPECT_EQ(host->Reports.last().Count, RvEvents()->DataModule()->EventList.GetRecordCount());

    view->cxSchedule()->SelectEvents({id});
    view->acHYPrint->trigger();
    EXPECT_EQ(host->Reports.last().Selection, QStringList{id});
    EXPECT_EQ(host->Reports.last().Count, 1);

    ASSERT_TRUE(view->acHYComplete->isEnabled());
    view->acHYComplete->trigger();
    EXPECT_EQ(stored(), EventColor::Complete);
    EXPECT_EQ(view->acHYComplete->text(), RvEvents()->GetText(5408));
    view->acHYComplete->trigger();
    // Back to what its functions say: none of its rows has a member.
    EXPECT_EQ(stored(), EventColor::NoneAssigned);
    EXPECT_EQ(view->acHYComplete->text(), RvEvents()->GetText(5406));
    EXPECT_TRUE(Failures().isEmpty()) << Failures().join(QLatin1Char('\n')).toStdString();
}

TEST_F(CalendarAgainstServer, RemovingTheAssignmentsOfASelectedLiturgyAsksAndEmptiesItsFunctions)
{
    const QDate saturday = GeneratedParishStart().addDays(19);
    ShowWeekOf(saturday);
    const QString id = Scalar(QStringLiteral("SELECT PK_EventID FROM tblEvents WHERE StartDateTime = '%1'")
                                  .arg(QDateTime(saturday, QTime(17, 0)).toString(Qt::ISODate)));
    const QString members = QStringLiteral("SELECT count(f.F_MinistryMemberID) FROM tblScheduledMinistryFunctions f JOIN tblScheduledLiturgies l "
                                           "ON l.PK_ScheduledLiturgyID = f.F_ScheduledLiturgyID WHERE l.F_EventID = '%1'")
                                .arg(id);
    server->Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '%1', F_MinistryMemberTypeID = '%2' "
                               "WHERE F_ScheduledLiturgyID IN (SELECT PK_ScheduledLiturgyID FROM tblScheduledLiturgies WHERE F_EventID = '%3')")
                    .arg(QStringLiteral("{C0000001-0000-4000-8000-000000000000}"), EmptyGUID, id));
    ASSERT_EQ(Scalar(members), QStringLiteral("7"));
    view->cxSchedule()->SelectEvents({id});
    ASSERT_TRUE(view->acClearInformation->isEnabled());
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::No);
    view->acClearInformation->trigger();
    EXPECT_EQ(Scalar(members), QStringLiteral("7"));
    prompt.Answer(QMessageBox::Yes);
    view->acClearInformation->trigger();
    EXPECT_EQ(prompt.Prompts().size(), 2);
    EXPECT_EQ(Scalar(members), QStringLiteral("0"));
    EXPECT_TRUE(Failures().isEmpty()) << Failures().join(QLatin1Char('\n')).toStdString();
}

TEST_F(CalendarAgainstServer, ThePreviewPrintsTheViewUnderItsTitleAndFooter)
{
    QTemporaryDir folder;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(folder.filePath(QStringLiteral("preview.pdf")));
    view->PaintPreview(&printer);
    QFile pdf(printer.outputFileName());
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QStringList pages = PdfPages(pdf.readAll());
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(pages.first().contains(RvEvents()->GetText(8501) + RvEvents()->GetText(8512))) << pages.first().toStdString();
    EXPECT_TRUE(pages.first().contains(RvEvents()->GetText(8502)));
}

TEST_F(CalendarAgainstServer, CancellingTheSchedulingDialogStillRefreshesOnceASecondLater)
{
    const qsizetype runs = host->Runs.size();
    DialogScript script;
    script.Then<TfAutoScheduleStart>([](TfAutoScheduleStart &dialog) { QTimer::singleShot(0, &dialog, [&dialog] { dialog.reject(); }); });
    view->acHYSchedule->trigger();
    EXPECT_EQ(host->Runs.size(), runs);
    EXPECT_TRUE(view->tmrRefresh.isActive());
    Wait(1300);
    EXPECT_FALSE(view->tmrRefresh.isActive());
}

namespace {

// The calendar's events compared with the storage's over the period it shows.
void ExpectEveryEventOfThePeriod(ServiceServer &server, TCalendarControl &control, const char *when)
{
    const TCalendarPeriod period = control.Period();
    const QList<QStringList> stored = server.db.rows(
        QStringLiteral("SELECT PK_EventID FROM dbo.tblEvents WHERE StartDateTime >= '%1' AND StartDateTime < '%2' ORDER BY PK_EventID")
            .arg(period.First.toString(Qt::ISODate), period.Last.addDays(1).toString(Qt::ISODate)));
    QStringList wanted;
    for (const QStringList &row : stored)
        wanted << row[0];
    QStringList shown;
    for (const TCalendarEvent &e : control.Events())
        shown << e.ID;
    shown.sort();
    EXPECT_EQ(shown, wanted) << when << ", " << period.First.toString(Qt::ISODate).toStdString();
}

} // namespace

// A New or an edit closed without saving, or a save that failed, leaves the month and its
// neighbours showing every event, and the export holding every event with its own ministers,
// also while the schedule's list is filtered to one week.
TEST_F(CalendarAgainstServer, AfterAnyEditorRunTheCalendarAndTheExportHoldEveryEventWithItsMinisters)
{
    TDAEvents &data = *RvEvents()->DataModule();
    const QDate first = GeneratedParishStart();
    // Ministers on the first week's functions; the schedule's list shows only the last week.
    server->Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '%1', F_MinistryMemberTypeID = '%2' "
                               "WHERE F_ScheduledLiturgyID IN (SELECT l.PK_ScheduledLiturgyID FROM tblScheduledLiturgies l JOIN tblEvents e "
                               "ON e.PK_EventID = l.F_EventID WHERE e.StartDateTime < '%3')")
                    .arg(QStringLiteral("{C0000001-0000-4000-8000-000000000000}"), EmptyGUID, first.addDays(7).toString(Qt::ISODate)));
    const QString taken = QStringLiteral("{80000000-0000-0000-0000-0000000000AA}");
    server->Sql(QStringLiteral("INSERT INTO tblScheduledMinistryFunctions (PK_ScheduledMemberID, F_ScheduledLiturgyID) VALUES ('%1', 'elsewhere')")
                    .arg(taken));
    const QDate lastWeek = first.addDays(21);
    data.tbl_DAEventList1.SetFilter([lastWeek](const TDACDSDataTable::TDARecord &r) {
        return r.Value(QStringLiteral("StartDateTime")).toDateTime().date() >= lastWeek;
    });
    // "caption (function)" lines of every stored event, as the storage holds them.
    QMap<QString, QStringList> ministers;
    for (const QStringList &row : server->db.rows(QStringLiteral(
             "SELECT l.F_EventID, COALESCE(c.FirstName || ' ' || c.LastName, '') || ' (' || m.MinistryFunctionName || ')' "
             "FROM dbo.tblScheduledMinistryFunctions f JOIN dbo.tblScheduledLiturgies l ON l.PK_ScheduledLiturgyID = f.F_ScheduledLiturgyID "
             "JOIN dbo.tblMinistryFunctions m ON m.PK_MinistryFunctionID = f.F_MinistryFunctionID "
             "LEFT JOIN dbo.tblContacts c ON c.PK_ContactID = f.F_MinistryMemberID")))
        ministers[row[0]] << row[1];
    int named = 0;
    for (const QStringList &lines : std::as_const(ministers))
        for (const QString &line : lines)
            named += line.startsWith(QStringLiteral(" (")) ? 0 : 1;
    ASSERT_GT(named, 5) << "ministers on events the schedule's list does not show";

    const auto factory = view->EditorFactory;
    view->EditorFactory = {}; // the real editor
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Parish.ics"));
    view->ChooseExportFile = [&] { return path; };
    const QString somewhere = Scalar(QStringLiteral("SELECT PK_EventID FROM tblEvents WHERE StartDateTime >= '%1' ORDER BY StartDateTime LIMIT 1")
                                         .arg(first.addDays(8).toString(Qt::ISODate)));
    struct Run
    {
        const char *name;
        QKeySequence keys;
        std::function<void(TfEventDlg &)> act;
    };
    const auto escape = [](TfEventDlg &editor) {
        QTimer::singleShot(0, &editor, [&editor] { QTest::keyClick(&editor, Qt::Key_Escape); });
    };
    const QList<Run> runs{
        {"a cancelled New", QKeySequence(Qt::CTRL | Qt::Key_N), escape},
        {"a cancelled edit", QKeySequence(Qt::CTRL | Qt::Key_O), escape},
        {"a failed save", QKeySequence(Qt::CTRL | Qt::Key_N),
         [&](TfEventDlg &editor) {
             editor.acAdd()->trigger();
             // A key the database has already: the save fails when its function rows go.
             TDACDSDataTable &rows = data.DAScheduledMinistryFunctions;
             rows.Edit();
             rows.SetValue(QStringLiteral("PK_ScheduledMemberID"), taken);
             rows.Post();
             QTimer::singleShot(0, &editor, [&editor] { QTest::keyClick(&editor, Qt::Key_S, Qt::ControlModifier); });
         }},
    };
    const int storedEvents = Scalar(QStringLiteral("SELECT count(*) FROM tblEvents")).toInt();
    for (const Run &run : runs) {
        view->acViewWeeks->trigger();
        view->cxSchedule()->SetDate(first.addDays(8));
        view->cxSchedule()->SelectEvents({somewhere});
        host->Log.clear();
        DialogScript script;
        script.Then<TfEventDlg>(run.act);
        // Back in the calendar's window after the last editor closed, as the user is.
        view->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(view));
        view->cxSchedule()->setFocus();
        QTest::keySequence(view->cxSchedule(), run.keys);
        EXPECT_EQ(script.Pending(), 0) << run.name;
        EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblEvents")).toInt(), storedEvents) << run.name;
        for (int month : {0, 1, -1}) {
            view->cxSchedule()->SetDate(first.addDays(8).addMonths(month));
            ExpectEveryEventOfThePeriod(*server, *view->cxSchedule(), run.name);
        }
        view->acOutlook->trigger();
        const QByteArray out = RunReader(SystemPython(), {QStringLiteral("-c"),
                                                          QStringLiteral("import icalendar, json, sys\n"
                                                                         "cal = icalendar.Calendar.from_ical(open(sys.argv[1], 'rb').read())\n"
                                                                         "print(json.dumps({str(e['UID']): str(e.get('DESCRIPTION', '')) for e in cal.walk('VEVENT')}))"),
                                                          path});
        const QJsonObject descriptions = QJsonDocument::fromJson(out).object();
        ASSERT_EQ(descriptions.size(), storedEvents) << run.name;
        for (const QStringList &row : server->db.rows(QStringLiteral("SELECT PK_EventID, EventSynchID FROM dbo.tblEvents"))) {
            const QString text = descriptions.value(row[1]).toString();
            for (const QString &line : ministers.value(row[0]))
                EXPECT_TRUE(text.contains(line + QLatin1Char('\n'))) << run.name << ": " << line.toStdString() << " in " << text.toStdString();
        }
    }
    ASSERT_FALSE(host->Log.isEmpty());
    EXPECT_TRUE(host->Log.last().contains(QStringLiteral("plgCalendar:NewEvent"))) << host->Log.join(QLatin1Char('\n')).toStdString();
    data.tbl_DAEventList1.ClearFilter();
    view->EditorFactory = factory;
    server->Sql(QStringLiteral("DELETE FROM tblScheduledMinistryFunctions WHERE PK_ScheduledMemberID = '%1'").arg(taken));
}

// Another planner saved the event first: he changed its mark, or deleted it. The calendar tells
// it, and offers the stored row, as every view does; a refused delete does nothing, also not to
// the other event chosen with it.
TEST_F(CalendarAgainstServer, TheLaterOfTwoPlannersToCompleteOrDeleteAnEventIsToldAndNothingIsHalfApplied)
{
    TDACDSDataTable &list = RvEvents()->DataModule()->EventList;
    ShowWeekOf(GeneratedParishStart().addDays(9));
    const TCalendarPeriod period = view->cxSchedule()->Period();
    QStringList ids;
    for (const QStringList &row : server->db.rows(
             QStringLiteral("SELECT PK_EventID FROM dbo.tblEvents WHERE StartDateTime >= '%1' AND StartDateTime < '%2' ORDER BY StartDateTime")
                 .arg(period.First.toString(Qt::ISODate), period.Last.addDays(1).toString(Qt::ISODate))))
        ids << row[0];
    ASSERT_GE(ids.size(), 3);
    struct TCase
    {
        const char *Name;
        QString Event, Other; // the event the other planner saved first, and one chosen with it
        QString Theirs;       // his save; %1 the event, %3 a colour
        QString Stored;       // what the store holds of the rows this save touches; %1 the event, %2 the other
        bool Asks;            // the action asks before it saves
        std::function<void()> Save;
        bool Kept;            // after No this planner's change stays pending
        QString Final;        // Stored after the save that follows loading the stored row
    };
    const TCase cases[] = {
        {"complete", ids[0], {}, QStringLiteral("UPDATE tblEvents SET EventLabelColorID = '%3' WHERE PK_EventID = '%1'"),
         QStringLiteral("SELECT EventLabelColorID FROM tblEvents WHERE PK_EventID = '%1'"), false,
         [&] {
             view->cxSchedule()->SelectEvents({ids[0]});
             view->acHYComplete->trigger();
         },
         true, EventColor::Complete},
        {"delete", ids[1], ids[2],
         QStringLiteral("DELETE FROM tblScheduledMinistryFunctions WHERE F_ScheduledLiturgyID IN "
                        "(SELECT PK_ScheduledLiturgyID FROM tblScheduledLiturgies WHERE F_EventID = '%1');"
                        "DELETE FROM tblScheduledLiturgies WHERE F_EventID = '%1'; DELETE FROM tblEvents WHERE PK_EventID = '%1'"),
         QStringLiteral("SELECT (SELECT count(*) FROM tblEvents WHERE PK_EventID = '%2') || ' ' || "
                        "(SELECT count(*) FROM tblScheduledLiturgies WHERE F_EventID = '%2')"),
         true,
         [&] {
             view->cxSchedule()->SelectEvents(Shows(ids[1]) ? QStringList{ids[1], ids[2]} : QStringList{ids[2]});
             view->acHYDelete->trigger();
         },
         false, QStringLiteral("0 0")},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        server->Sql(QStringLiteral("UPDATE tblEvents SET EventLabelColorID = '%1' WHERE PK_EventID = '%2'").arg(EventColor::NoneAssigned, c.Event));
        view->acHYRefresh->trigger();
        ASSERT_TRUE(Shows(c.Event));
        const auto fill = [&](const QString &sql) {
            return QString(sql)
                .replace(QStringLiteral("%1"), c.Event)
                .replace(QStringLiteral("%2"), c.Other)
                .replace(QStringLiteral("%3"), EventColor::SomeAssigned);
        };
        const auto stored = [&] { return Scalar(fill(c.Stored)); };
        // The calendar's list holds the event as stored, or not at all when it is stored no more.
        const auto shownAsStored = [&] {
            const QString color = Scalar(QStringLiteral("SELECT EventLabelColorID FROM tblEvents WHERE PK_EventID = '%1'").arg(c.Event));
            return list.Locate(QStringLiteral("PK_EventID"), c.Event) ? list.AsString(QStringLiteral("EventLabelColorID")) == color
                                                                      : color.isEmpty();
        };
        server->Sql(fill(c.Theirs));
        const QString theirs = stored();
        TScriptedPrompt prompt;
        const auto save = [&](QMessageBox::StandardButton offer) {
            if (c.Asks)
                prompt.Answer(QMessageBox::Yes);
            prompt.Answer(offer);
            c.Save();
        };
        const int asked = c.Asks ? 2 : 1;

        save(QMessageBox::No); // refused and told; nothing of it is stored
        ASSERT_EQ(prompt.Prompts().size(), asked) << host->Log.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(prompt.Prompts().last().Caption, RvEvents()->GetText(9003));
        EXPECT_EQ(stored(), theirs);
        EXPECT_EQ(list.HasChanges(), c.Kept);
        EXPECT_TRUE(c.Other.isEmpty() || Shows(c.Other));

        save(QMessageBox::Yes); // refused again; the stored row is loaded
        ASSERT_EQ(prompt.Prompts().size(), 2 * asked);
        EXPECT_EQ(stored(), theirs);
        EXPECT_FALSE(list.HasChanges());
        EXPECT_TRUE(shownAsStored());

        if (c.Asks)
            prompt.Answer(QMessageBox::Yes);
        c.Save();
        EXPECT_EQ(prompt.Prompts().size(), 2 * asked + (c.Asks ? 1 : 0));
        EXPECT_EQ(stored(), c.Final);
        EXPECT_FALSE(list.HasChanges());
        host->Log.clear();
    }
}
