// The schedule view's commands against a real data server holding a generated parish: a
// scheduling run fills the view, the filter panel and the date filter, complete, add and remove
// function and print, the minister's flag, refused changes and two planners, the calendar seeing
// what the schedule view changed, and the preview of both grids.
#include "plugins/events/tests/ScheduleViewFixture.h"

using namespace schedule_view_test;

TEST_F(ScheduleView, ASchedulingRunFillsTheView)
{
    const QDate start = GeneratedParishStart();
    host->Settings[TfAutoScheduleStart::StartSetting] = start.toString(Qt::ISODate);
    host->Settings[TfAutoScheduleStart::EndSetting] = start.addDays(13).toString(Qt::ISODate);
    const QString eventId = EventInPeriod(1);
    SelectEvent(eventId);
    const int filledBefore = [&] {
        int filled = 0;
        for (int i = 0; i < Functions().GetRecordCount(); ++i)
            filled += Functions().ValueAt(i, Functions().FieldIndex(QStringLiteral("F_MinistryMemberID"))).toString().isEmpty() ? 0 : 1;
        return filled;
    }();
    ASSERT_LT(filledBefore, 7);
    WhenShown<TfAutoScheduleStart>([](TfAutoScheduleStart *dialog) { dialog->btnOK()->click(); });
    view->acHYSchedule->trigger();
    ASSERT_EQ(host->Runs.size(), 1);
    EXPECT_TRUE(runSucceeded);
    // The view refreshes a second after the run and stays on the event.
    ASSERT_TRUE(view->tmrRefresh()->isActive());
    ASSERT_TRUE(WaitFor([&] { return !view->tmrRefresh()->isActive(); }, 5000));
    EXPECT_EQ(Events().AsString(QStringLiteral("PK_EventID")), eventId);
    int filled = 0;
    for (int row = 0; row < view->FunctionsModel()->rowCount(); ++row)
        filled += view->FunctionsModel()->data(view->FunctionsModel()->index(row, 5), Qt::DisplayRole).toString().isEmpty() ? 0 : 1;
    EXPECT_GT(filled, filledBefore);
    EXPECT_NE(Events().AsString(QStringLiteral("EventLabelColorID")), QString());
    EXPECT_EQ(Failures(), QStringList());
}

TEST_F(ScheduleView, TheFilterPanelOpensWithAShortenedPeriodAndTheFilterOffUntilItIsApplied)
{
    const QDate start = GeneratedParishStart();
    view->dtStartDate()->setDate(start);
    view->acFilter->trigger();
    ASSERT_TRUE(view->grpFilter()->isVisible());
    // Four liturgies a week: three months hold far more than 20, so the end comes back in
    // steps of 5 days until no more than 20 are left.
    const QDate end = view->dtEndDate()->date();
    EXPECT_LT(end, start.addMonths(3));
    EXPECT_EQ(start.addMonths(3).daysTo(end) % 5, 0);
    const int total = Scalar(QStringLiteral("SELECT count(*) FROM tblEvents")).toInt();
    EXPECT_EQ(view->EventsModel()->rowCount(), total);
    const int passing = Scalar(QStringLiteral("SELECT count(*) FROM tblEvents WHERE StartDateTime >= '%1' AND StartDateTime < '%2'")
                                   .arg(start.toString(Qt::ISODate), end.addDays(1).toString(Qt::ISODate)))
                            .toInt();
    EXPECT_LE(Scalar(QStringLiteral("SELECT count(*) FROM tblEvents WHERE StartDateTime >= '%1' AND StartDateTime <= '%2'")
                         .arg(start.toString(Qt::ISODate), end.toString(Qt::ISODate)))
                  .toInt(),
              20);
    view->acHYSetFilter->trigger();
    EXPECT_EQ(view->EventsModel()->rowCount(), passing); // the whole end day
    // Left and shown again in the session: the panel, its period and the filter come back.
    OpenView();
    EXPECT_TRUE(view->grpFilter()->isVisible());
    EXPECT_EQ(view->dtStartDate()->date(), start);
    EXPECT_EQ(view->dtEndDate()->date(), end);
    EXPECT_EQ(view->EventsModel()->rowCount(), passing);
    view->dtEndDate()->setDate(start);
    EXPECT_FALSE(view->acHYSetFilter->isEnabled());
    // Closing the panel shows every event again.
    view->acFilter->trigger();
    EXPECT_FALSE(view->grpFilter()->isVisible());
    EXPECT_EQ(view->EventsModel()->rowCount(), total);
}

TEST_F(ScheduleView, TheDateFilterStaysOnAcrossTheSchedulingDialogCancelledOrRun)
{
    const QDate start = GeneratedParishStart();
    host->Settings[TfAutoScheduleStart::StartSetting] = start.toString(Qt::ISODate);
    host->Settings[TfAutoScheduleStart::EndSetting] = start.addDays(6).toString(Qt::ISODate);
    view->dtStartDate()->setDate(start);
    view->acFilter->trigger();
    view->dtEndDate()->setDate(start.addDays(10));
    view->acHYSetFilter->trigger();
    const int passing = view->EventsModel()->rowCount();
    ASSERT_GT(passing, 0);
    ASSERT_LT(passing, Scalar(QStringLiteral("SELECT count(*) FROM tblEvents")).toInt());
    const QString focused = Events().AsString(QStringLiteral("PK_EventID"));
    for (const bool run : {false, true}) {
        WhenShown<TfAutoScheduleStart>([run](TfAutoScheduleStart *dialog) {
            // The dialog has counted the liturgies of its own period meanwhile.
            if (run)
                dialog->btnOK()->click();
            else
                dialog->reject();
        });
        view->acHYSchedule->trigger();
        EXPECT_EQ(view->EventsModel()->rowCount(), passing) << run;
        ASSERT_TRUE(WaitFor([&] { return !view->tmrRefresh()->isActive(); }, 5000));
        EXPECT_EQ(view->EventsModel()->rowCount(), passing) << run;
        EXPECT_EQ(Events().AsString(QStringLiteral("PK_EventID")), focused) << run;
    }
    EXPECT_EQ(Failures(), QStringList());
}

TEST_F(ScheduleView, CompleteAddAndRemoveFunctionAndPrintWorkOnTheFocusedOrSelectedEvents)
{
    const QString eventId = EventInPeriod(10);
    SelectEvent(eventId);
    const auto color = [&] { return Scalar(QStringLiteral("SELECT EventLabelColorID FROM tblEvents WHERE PK_EventID = '%1'").arg(eventId)); };
    const auto rows = [&] {
        return Scalar(QStringLiteral("SELECT count(*) FROM tblScheduledMinistryFunctions f JOIN tblScheduledLiturgies l ON "
                                     "l.PK_ScheduledLiturgyID = f.F_ScheduledLiturgyID WHERE l.F_EventID = '%1'").arg(eventId)).toInt();
    };
    view->acHYComplete->trigger();
    EXPECT_EQ(color(), EventColor::Complete);
    EXPECT_EQ(view->acHYComplete->text(), RvEvents()->GetText(5408));
    // The button's tooltip follows its caption.
    EXPECT_EQ(view->acHYComplete->toolTip(), view->acHYComplete->text());
    view->acHYComplete->trigger();
    EXPECT_NE(color(), EventColor::Complete);

    const int before = rows();
    view->acHYAddFunction->trigger();
    EXPECT_EQ(rows(), before + 1);
    EXPECT_EQ(view->FunctionsModel()->rowCount(), before + 1);
    ASSERT_TRUE(view->acHYRemoveFunction->isEnabled());
    view->acHYRemoveFunction->trigger();
    EXPECT_EQ(rows(), before);
    EXPECT_EQ(Events().AsString(QStringLiteral("PK_EventID")), eventId);

    host->Reports.clear();
    view->acHYPrint->trigger();
    view->grdView()->clearSelection();
    view->acHYPrint->trigger();
    ASSERT_EQ(host->Reports.size(), 2);
    EXPECT_EQ(host->Reports[0].Category, TplgSchedule::ScheduleReports);
    EXPECT_EQ(host->Reports[0].Selection, QStringList{eventId});
    EXPECT_EQ(host->Reports[0].Count, 1);
    EXPECT_FALSE(host->Reports[1].HadSelection);
    EXPECT_EQ(host->Reports[1].Count, Events().GetRecordCount());

    // The preview is on letter paper with half-inch margins and draws its pages.
    QTemporaryDir folder;
    view->RunPreview = [&](QPrinter &printer, const std::function<void(QPrinter *)> &paint) {
        EXPECT_EQ(printer.pageLayout().pageSize().id(), QPageSize::Letter);
        EXPECT_EQ(printer.pageLayout().margins(QPageLayout::Inch), QMarginsF(0.5, 0.5, 0.5, 0.5));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(folder.filePath(QStringLiteral("preview.pdf")));
        paint(&printer);
    };
    view->acHYPreview->trigger();
    EXPECT_GT(QFileInfo(folder.filePath(QStringLiteral("preview.pdf"))).size(), 1000);
    // Nothing selected: the whole view, every event of the list (far more than the screen
    // holds, over more than one page) and the focused event's functions.
    EXPECT_EQ(view->LastPrintedReport().EventRows, Events().GetRecordCount());
    EXPECT_EQ(view->LastPrintedReport().FunctionRows, Functions().GetRecordCount());
    EXPECT_GT(view->LastPrintedReport().Pages, 1);
    // Grouped, the count is still of the events: the group rows are headings.
    view->GroupBy(view->EventsModel()->ColumnOf(QStringLiteral("EventLocationCaption")));
    ASSERT_GT(view->EventRows()->GroupCount(), 0);
    view->acHYPreview->trigger();
    EXPECT_EQ(view->LastPrintedReport().EventRows, Events().GetRecordCount());
    view->GroupBy(-1);
    // A member cell on paper shows the member without the grid's buttons, on the screen with them.
    TDATableModel *functions = view->FunctionsModel();
    const QModelIndex member = functions->index(0, functions->ColumnOf(QStringLiteral("MemberCaption")));
    ASSERT_TRUE(member.isValid());
    QStyleOptionViewItem cell;
    cell.rect = QRect(0, 0, 400, 24);
    cell.widget = view->cxGrdView();
    cell.font = view->cxGrdView()->font();
    cell.palette = view->cxGrdView()->palette();
    cell.state = QStyle::State_Enabled;
    QAbstractItemDelegate *cells = view->cxGrdView()->itemDelegateForIndex(member);
    const auto buttonsShow = [&](const QImage &image) {
        const QRect buttons = TFunctionGridDelegate::MemberButtonRect(cell.rect, 0).united(TFunctionGridDelegate::MemberButtonRect(cell.rect, 1));
        for (int y = buttons.top(); y <= buttons.bottom(); ++y)
            for (int x = buttons.left(); x <= buttons.right(); ++x)
                if (image.pixel(x, y) != image.pixel(buttons.topLeft()))
                    return true;
        return false;
    };
    const auto blank = [&] {
        QImage image(cell.rect.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        return image;
    };
    QImage screen = blank();
    QPicture paper;
    for (QPaintDevice *device : {static_cast<QPaintDevice *>(&screen), static_cast<QPaintDevice *>(&paper)}) {
        QPainter painter(device);
        cells->paint(&painter, cell, member);
    }
    QImage played = blank();
    {
        QPainter painter(&played);
        paper.play(&painter);
    }
    EXPECT_TRUE(buttonsShow(screen));
    EXPECT_FALSE(buttonsShow(played));
    // Two selected under a filter: the event grid alone, with the rows the filter passes.
    const QDate start = GeneratedParishStart();
    view->acFilter->trigger();
    view->dtStartDate()->setDate(start);
    view->dtEndDate()->setDate(start.addDays(20));
    view->acHYSetFilter->trigger();
    view->grdView()->selectRow(0);
    view->grdView()->selectionModel()->select(view->EventsModel()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ASSERT_EQ(view->SelectedEventIDs().size(), 2);
    view->acHYPreview->trigger();
    EXPECT_EQ(view->LastPrintedReport().EventRows, view->EventsModel()->rowCount());
    EXPECT_LT(view->LastPrintedReport().EventRows, Scalar(QStringLiteral("SELECT count(*) FROM tblEvents")).toInt());
    EXPECT_EQ(view->LastPrintedReport().FunctionRows, 0);
    EXPECT_EQ(Failures(), QStringList());
}

TEST_F(ScheduleView, TheMinisterFlagShowsTheMembersCommentsAsItsHint)
{
    const QString eventId = EventInPeriod(12);
    server->Sql(QStringLiteral("UPDATE tblContacts SET Comments = 'Reads only on Sundays' WHERE PK_ContactID = '%1';"
                               "UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '%1', F_MinistryMemberTypeID = '%2', "
                               "FlagMinister = 1 WHERE F_ScheduledLiturgyID = (SELECT PK_ScheduledLiturgyID FROM tblScheduledLiturgies "
                               "WHERE F_EventID = '%3');")
                    .arg(Contact(9).Object.Caption, EmptyGUID, eventId));
    view->acHYRefresh->trigger();
    SelectEvent(eventId);
    QWidget *viewport = view->cxGrdView()->viewport();
    const QPoint flag = view->cxGrdView()->visualRect(view->FunctionsModel()->index(0, 8)).center();
    const QPoint member = view->cxGrdView()->visualRect(view->FunctionsModel()->index(0, 5)).center();
    const auto move = [&](const QPoint &at) {
        QMouseEvent event(QEvent::MouseMove, QPointF(at), QPointF(viewport->mapToGlobal(at)), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    };
    move(flag);
    EXPECT_FALSE(view->FlagHint().Visible()); // taken in first, shown from the next move on
    move(flag + QPoint(1, 0));
    EXPECT_TRUE(view->FlagHint().Visible());
    EXPECT_EQ(view->FlagHint().Text(), QStringLiteral("Reads only on Sundays"));
    move(member);
    EXPECT_FALSE(view->FlagHint().Visible());
}

TEST_F(ScheduleView, AFunctionChangeTheServerRefusesIsToldAndLoggedAndDoesNotHoldUpTheNextEvent)
{
    const QString first = EventInPeriod(16);
    const QString second = EventInPeriod(17);
    server->Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '%1', F_MinistryMemberTypeID = '%2' "
                               "WHERE F_ScheduledLiturgyID = (SELECT PK_ScheduledLiturgyID FROM tblScheduledLiturgies WHERE F_EventID = '%3');")
                    .arg(Contact(5).Object.Caption, EmptyGUID, first));
    // The database refuses this one position.
    server->Sql(QStringLiteral("CREATE FUNCTION refuse_position() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                               "IF NEW.MemberPosition = 'refused' THEN RAISE EXCEPTION 'position refused'; END IF; RETURN NEW; END $$;"
                               "CREATE TRIGGER refuse_position BEFORE UPDATE ON tblScheduledMinistryFunctions "
                               "FOR EACH ROW EXECUTE FUNCTION refuse_position();"));
    view->acHYRefresh->trigger();
    SelectEvent(first);
    ASSERT_TRUE(view->FunctionsModel()->setData(view->FunctionsModel()->index(0, 3), QStringLiteral("refused")));
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::Ok);
    SelectEvent(second);
    ASSERT_EQ(prompt.Prompts().size(), 1);
    EXPECT_EQ(prompt.Prompts()[0].Caption, RvEvents()->GetText(9005));
    EXPECT_TRUE(prompt.Prompts()[0].Text.contains(QStringLiteral("position refused")));
    server->Sql(QStringLiteral("DROP TRIGGER refuse_position ON tblScheduledMinistryFunctions; DROP FUNCTION refuse_position();"));
    EXPECT_EQ(view->FunctionsModel()->rowCount(), 7);
    EXPECT_EQ(Functions().AsString(QStringLiteral("F_ScheduledLiturgyID")),
              Scalar(QStringLiteral("SELECT PK_ScheduledLiturgyID FROM tblScheduledLiturgies WHERE F_EventID = '%1'").arg(second)));
    EXPECT_FALSE(Functions().HasChanges());
    ASSERT_EQ(Failures().size(), 1);
    EXPECT_TRUE(Failures().first().contains(QStringLiteral("grdViewFocusedRecordChanged")));
    EXPECT_EQ(Scalar(QStringLiteral("SELECT count(*) FROM tblScheduledMinistryFunctions WHERE MemberPosition = 'refused'")), QStringLiteral("0"));
    host->Log.clear();
}

// Another planner saved the same field first: a function's position, or the event's colour. The
// change he keeps is not dropped when he leaves the view and comes back.
TEST_F(ScheduleView, TheLaterOfTwoPlannersToChangeOneFieldIsToldAndLosesNothing)
{
    struct TCase
    {
        const char *Name;
        int Event;
        QString Theirs; // the other planner's save; %1 the event, %2 the function row
        QString Field;  // of the table the change is in
        bool InFunctions;
        std::function<void(int functionRow)> Change; // this planner's change and its save
        QString Mine;
        bool Leaves = false;      // he leaves the view after the refusal and comes back
        bool ViaCalendar = false; // having shown the calendar meanwhile
    };
    const auto position = [&](int functionRow) {
        ASSERT_TRUE(view->FunctionsModel()->setData(view->FunctionsModel()->index(functionRow, 3), QStringLiteral("Mine")));
        view->grdView()->selectRow(Events().GetRecNo() + 1); // leaving the event sends its functions
    };
    const QString theirPosition = QStringLiteral("UPDATE tblScheduledMinistryFunctions SET MemberPosition = 'Theirs' WHERE PK_ScheduledMemberID = '%2'");
    const QString theirColour = QStringLiteral("UPDATE tblEvents SET EventLabelColorID = '%3' WHERE PK_EventID = '%1'");
    const TCase cases[] = {
        {"position", 20, theirPosition, QStringLiteral("MemberPosition"), true, position, QStringLiteral("Mine")},
        {"complete", 21, theirColour, QStringLiteral("EventLabelColorID"), false, [&](int) { view->acHYComplete->trigger(); }, EventColor::Complete},
        {"position, the view left and shown again", 22, theirPosition, QStringLiteral("MemberPosition"), true, position,
         QStringLiteral("Mine"), true},
        {"complete, the view left and shown again after the calendar", 23, theirColour, QStringLiteral("EventLabelColorID"), false,
         [&](int) { view->acHYComplete->trigger(); }, EventColor::Complete, true, true},
    };
    for (const TCase &c : cases) {
        SCOPED_TRACE(c.Name);
        const QString eventId = EventInPeriod(c.Event);
        server->Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '%1', F_MinistryMemberTypeID = '%2' "
                                   "WHERE F_ScheduledLiturgyID = (SELECT PK_ScheduledLiturgyID FROM tblScheduledLiturgies WHERE F_EventID = '%3');"
                                   "UPDATE tblEvents SET EventLabelColorID = '%4' WHERE PK_EventID = '%3'")
                        .arg(Contact(6).Object.Caption, EmptyGUID, eventId, EventColor::NoneAssigned));
        view->acHYRefresh->trigger();
        SelectEvent(eventId);
        const QString key = Functions().AsString(QStringLiteral("PK_ScheduledMemberID"));
        const auto functionRow = [&] {
            for (int i = 0; i < Functions().GetRecordCount(); ++i)
                if (Functions().ValueAt(i, Functions().FieldIndex(QStringLiteral("PK_ScheduledMemberID"))).toString() == key)
                    return i;
            return -1;
        };
        const QString table = c.InFunctions ? QStringLiteral("tblScheduledMinistryFunctions WHERE PK_ScheduledMemberID = '%1'").arg(key)
                                            : QStringLiteral("tblEvents WHERE PK_EventID = '%1'").arg(eventId);
        const auto stored = [&] { return Scalar(QStringLiteral("SELECT %1 FROM %2").arg(c.Field, table)); };
        const auto shown = [&] {
            if (c.InFunctions)
                return Functions().ValueAt(functionRow(), Functions().FieldIndex(c.Field)).toString();
            return Events().AsString(c.Field);
        };
        server->Sql(QString(c.Theirs)
                        .replace(QStringLiteral("%1"), eventId)
                        .replace(QStringLiteral("%2"), key)
                        .replace(QStringLiteral("%3"), EventColor::SomeAssigned));
        const QString theirs = stored();
        TScriptedPrompt prompt;
        prompt.Answer(QMessageBox::No);
        const int onLeaving = c.Leaves ? 1 : 0;
        if (c.Leaves)
            prompt.Answer(QMessageBox::No);
        prompt.Answer(QMessageBox::Yes);

        c.Change(functionRow()); // refused, told; he keeps his change and the grid its event
        ASSERT_EQ(prompt.Prompts().size(), 1) << host->Log.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(prompt.Prompts()[0].Caption, RvEvents()->GetText(9003));
        EXPECT_EQ(Events().AsString(QStringLiteral("PK_EventID")), eventId);
        EXPECT_EQ(shown(), c.Mine);
        EXPECT_EQ(stored(), theirs);

        if (c.ViaCalendar) {
            view->Deactivate(nullptr);
            auto *calendar = new TplgCalendar;
            calendar->Activate(nullptr);
            calendar->Deactivate(nullptr);
            calendar->release();
            view->Activate(nullptr);
        } else if (c.Leaves) {
            OpenView();
        }
        if (c.Leaves) { // sent again on leaving, refused and told again; kept, it is there on return
            ASSERT_EQ(prompt.Prompts().size(), 2) << host->Log.join(QLatin1Char('\n')).toStdString();
            EXPECT_EQ(Events().AsString(QStringLiteral("PK_EventID")), eventId);
            EXPECT_EQ(shown(), c.Mine);
            EXPECT_EQ(stored(), theirs);
        }

        c.Change(functionRow()); // refused again; the stored row is loaded
        ASSERT_EQ(prompt.Prompts().size(), 2 + onLeaving);
        SelectEvent(eventId);
        EXPECT_EQ(shown(), theirs);
        EXPECT_FALSE(Functions().HasChanges());
        EXPECT_FALSE(Events().HasChanges());

        c.Change(functionRow());
        EXPECT_EQ(prompt.Prompts().size(), 2 + onLeaving);
        EXPECT_EQ(stored(), c.Mine);
        host->Log.clear();
    }
}

// The server cannot be reached while he saves: he is told, his change stays and the next save
// after the server is back sends it.
TEST_F(ScheduleView, AChangeThatCannotReachTheServerIsToldAndKeptForTheNextSave)
{
    const QString eventId = EventInPeriod(24);
    server->Sql(QStringLiteral("UPDATE tblScheduledMinistryFunctions SET F_MinistryMemberID = '%1', F_MinistryMemberTypeID = '%2' "
                               "WHERE F_ScheduledLiturgyID = (SELECT PK_ScheduledLiturgyID FROM tblScheduledLiturgies WHERE F_EventID = '%3')")
                    .arg(Contact(6).Object.Caption, EmptyGUID, eventId));
    view->acHYRefresh->trigger();
    SelectEvent(eventId);
    Functions().First();
    const QString key = Functions().AsString(QStringLiteral("PK_ScheduledMemberID"));
    const auto stored = [&] {
        return Scalar(QStringLiteral("SELECT MemberPosition FROM tblScheduledMinistryFunctions WHERE PK_ScheduledMemberID = '%1'").arg(key));
    };
    const QString before = stored();
    const auto channel = std::dynamic_pointer_cast<TROHTTPChannel>(host->Channel);
    ASSERT_TRUE(channel);
    const QString reachable = channel->TargetURL();
    channel->SetTargetURL(QStringLiteral("http://127.0.0.1:1/bin"));
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::Ok);
    ASSERT_TRUE(view->FunctionsModel()->setData(view->FunctionsModel()->index(0, 3), QStringLiteral("Kept")));
    view->grdView()->selectRow(Events().GetRecNo() + 1);
    channel->SetTargetURL(reachable);
    ASSERT_EQ(prompt.Prompts().size(), 1) << host->Log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(prompt.Prompts()[0].Caption, RvEvents()->GetText(9005));
    EXPECT_EQ(Events().AsString(QStringLiteral("PK_EventID")), eventId) << "the grid stays on the event of the change";
    EXPECT_EQ(Functions().AsString(QStringLiteral("MemberPosition")), QStringLiteral("Kept"));
    EXPECT_EQ(stored(), before);

    view->grdView()->selectRow(Events().GetRecNo() + 1);
    EXPECT_EQ(stored(), QStringLiteral("Kept"));
    EXPECT_EQ(prompt.Prompts().size(), 1);
    host->Log.clear();
}

namespace {


// The calendar as the host shows it, on the week of the day.
struct ShownCalendar
{
    explicit ShownCalendar(const QDate &day) : view(new TplgCalendar)
    {
        view->EditorFactory = [] { return std::make_unique<TTimeOnlyEditor>(*RvEvents()->DataModule(), kEveningMass); };
        view->resize(1000, 700);
        // In the host's order: activated, then shown.
        view->Activate(nullptr);
        view->acViewWeek->trigger();
        view->cxSchedule()->SetDate(day);
        view->ShowEvents();
        view->show();
        // Painted once before the planner acts, as on a screen.
        WaitFor([] { return false; }, 100);
    }
    ~ShownCalendar()
    {
        view->Deactivate(nullptr);
        view->release();
    }
    const TCalendarEvent *Event(const QString &id) const
    {
        for (const TCalendarEvent &e : view->cxSchedule()->Events())
            if (e.ID == id)
                return &e;
        return nullptr;
    }
    TplgCalendar *view;
};

} // namespace

TEST_F(ScheduleView, AnEventCreatedInTheCalendarShowsInTheScheduleView)
{
    view->Deactivate(nullptr); // the host shows one view at a time
    const QDate tuesday = GeneratedParishStart().addDays(8);
    const QDateTime start(tuesday, QTime(19, 0));
    {
        ShownCalendar calendar(tuesday);
        calendar.view->cxSchedule()->SelectTime(start, start.addSecs(1800));
        calendar.view->acHYAdd->trigger();
    }
    const QString id = Scalar(QStringLiteral("SELECT PK_EventID FROM tblEvents WHERE StartDateTime = '%1'").arg(start.toString(Qt::ISODate)));
    ASSERT_EQ(id.size(), 38) << Failures().join(QLatin1Char('\n')).toStdString();
    view->Activate(nullptr);
    ASSERT_TRUE(Events().Locate(QStringLiteral("PK_EventID"), id));
    EXPECT_EQ(Events().Value(QStringLiteral("StartDateTime")).toDateTime(), start);
    EXPECT_EQ(Failures(), QStringList());
}

TEST_F(ScheduleView, AnAssignmentInTheScheduleViewChangesTheEventsColourInTheCalendar)
{
    const QString eventId = EventInPeriod(14);
    SelectEvent(eventId);
    const QDate day = Events().Value(QStringLiteral("StartDateTime")).toDateTime().date();
    view->Deactivate(nullptr); // the host shows one view at a time
    const QString before = [&] {
        ShownCalendar calendar(day);
        const TCalendarEvent *e = calendar.Event(eventId);
        return e ? e->LabelID : QStringLiteral("not shown");
    }();
    ASSERT_NE(before, QStringLiteral("not shown"));
    ASSERT_NE(before, EventColor::SomeAssigned);
    view->Activate(nullptr);
    SelectEvent(eventId);
    ASSERT_FALSE(SelectOpenFunction().isEmpty());
    TScriptedPrompt prompt;
    prompt.Answer(QMessageBox::Yes);
    host->SearchAnswer = {Contact(11)};
    view->acFindResource->trigger();
    ASSERT_TRUE(WaitFor([&] { return Scalar(QStringLiteral("SELECT EventLabelColorID FROM tblEvents WHERE PK_EventID = '%1'").arg(eventId))
                                     == EventColor::SomeAssigned; }));
    view->Deactivate(nullptr);

    ShownCalendar calendar(day);
    const TCalendarEvent *shown = calendar.Event(eventId);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->LabelID, EventColor::SomeAssigned);
    EXPECT_EQ(shown->Label, TScheduleRules::LabelColor(Scalar(QStringLiteral("SELECT ColorIntValue FROM tblEventColors WHERE PK_ColorID = '%1'")
                                                               .arg(EventColor::SomeAssigned)).toInt()));
    EXPECT_EQ(Failures(), QStringList());
}

TEST_F(ScheduleView, ThePreviewPrintsTheCaptionsOfBothGridsAsTheGridsShowThem)
{
    SelectEvent(EventInPeriod(2));
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("preview.pdf"));
    view->RunPreview = [&](QPrinter &printer, const std::function<void(QPrinter *)> &paint) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        paint(&printer);
    };
    view->acHYPreview->trigger();
    QFile pdf(path);
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QStringList pages = PdfPages(pdf.readAll());
    ASSERT_GE(pages.size(), 2);
    // The events' captions head every page; the functions' follow the last events.
    QStringList shown;
    for (QTableView *grid : {static_cast<QTableView *>(view->grdView()), static_cast<QTableView *>(view->cxGrdView())}) {
        for (int column = 0; column < grid->model()->columnCount(); ++column) {
            if (grid->isColumnHidden(column))
                continue;
            const QString caption = grid->model()->headerData(column, Qt::Horizontal).toString();
            ASSERT_FALSE(caption.isEmpty()) << column;
            shown << caption;
            if (grid == view->grdView()) {
                EXPECT_TRUE(pages.first().contains(caption)) << caption.toStdString() << "\n" << pages.first().toStdString();
            }
        }
    }
    const QString all = pages.join(QLatin1Char('\n'));
    for (const QString &caption : shown)
        EXPECT_TRUE(all.contains(caption)) << caption.toStdString();
    // A grid that goes on over a page break shows its captions again on the next page.
    const QString lastCaption = view->FunctionsModel()->headerData(view->FunctionsModel()->ColumnOf(QStringLiteral("MemberLocked")),
                                                                   Qt::Horizontal).toString();
    EXPECT_TRUE(pages[1].contains(lastCaption)) << pages[1].toStdString();
}
