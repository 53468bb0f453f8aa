#include "plugins/events/uScheduleView.h"

#include "plugins/events/hcRvEventsController.h"
#include "plugins/events/uDAEvents.h"
#include "plugins/events/uEventImages.h"
#include "plugins/events/uFunctionGridDelegate.h"
#include "plugins/events/uGroupedRows.h"
#include "plugins/events/uScheduleModels.h"
#include "plugins/events/uSchedulePrint.h"
#include "plugins/events/uScheduleRules.h"
#include "plugins/events/uWaitCursor.h"
#include "plugins/events/ufAutoScheduleStart.h"

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/DAException.h"
#include "foundation/uCommon.h"
#include "remoting/ROErrors.h"
#include "ui/PromptService.h"
#include "ui/ViewRefresh.h"

#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScopeGuard>
#include <QScreen>
#include <QTimer>
#include <QToolBar>

using namespace Quorva;

namespace {

// Painting frozen while it lives.
class TFrozen
{
public:
    explicit TFrozen(QWidget *widget) : m_widget(widget) { m_widget->setUpdatesEnabled(false); }
    ~TFrozen() { m_widget->setUpdatesEnabled(true); }
    TFrozen(const TFrozen &) = delete;
    TFrozen &operator=(const TFrozen &) = delete;

private:
    QWidget *m_widget;
};

} // namespace

QString TplgSchedule::Text(int number)
{
    TRvEventsController *controller = RvEvents();
    return controller ? controller->GetText(number) : QString();
}

void TScheduleGrid::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
}

bool TScheduleGrid::CommitPendingEdit()
{
    QWidget *editor = indexWidget(currentIndex());
    if (!editor || state() != QAbstractItemView::EditingState)
        return false;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return true;
}

void TplgSchedule::GroupBy(int column)
{
    if (!m_eventRows || column == ecEventID || column >= m_eventRows->columnCount())
        return;
    m_eventRows->SetGroupColumn(column);
    m_groupBox->ShowGroup(column < 0 ? QString() : m_eventsModel->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
    SelectFocusedEvent();
}

int TplgSchedule::GroupColumn() const
{
    return m_eventRows ? m_eventRows->GroupColumn() : -1;
}

QMenu *TplgSchedule::ColumnChooser()
{
    auto *chooser = new QMenu;
    if (!m_eventsModel)
        return chooser;
    for (int column = 0; column < m_eventsModel->columnCount(); ++column) {
        if (column == ecEventID)
            continue;
        QAction *item = chooser->addAction(m_eventsModel->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
        item->setCheckable(true);
        item->setChecked(!m_events->isColumnHidden(column));
        connect(item, &QAction::toggled, this, [this, column](bool shown) {
            m_events->setColumnHidden(column, !shown);
            if (shown && m_events->columnWidth(column) < 20)
                m_events->setColumnWidth(column, 90);
        });
    }
    return chooser;
}

const TMinisterFlagHint &TplgSchedule::FlagHint() const
{
    static const TMinisterFlagHint none;
    return m_flagHint ? m_flagHint->Hint() : none;
}

TDACDSDataTable &TplgSchedule::Events() const
{
    return RvEvents()->DataModule()->tbl_DAEventList1;
}

TDACDSDataTable &TplgSchedule::Functions() const
{
    return RvEvents()->DataModule()->tbl_DAScheduledMinistryFunctions1;
}

QList<QToolBar *> TplgSchedule::GetBarManager()
{
    return m_bars;
}

void TplgSchedule::GetStatusText(QString &text)
{
    text = Text(1003);
}

void TplgSchedule::Activate(QObject *)
{
    // The grid may take a row of its own while a read waits for the server (a focus-in); the
    // event is focused here, at the end.
    m_activating = true;
    const auto activated = qScopeGuard([this] { m_activating = false; });
    try {
        for (QToolBar *bar : m_bars)
            bar->hide();
        Localize();
        WithHost<ISmartHelp>([](ISmartHelp &help) { help.SetSmartHelpText(RvEvents()->GetHTML(102), 101); });
        WithHost<IHostApplication>([this](IHostApplication &host) {
            acHYUseLogon->setChecked(host.GetUseWindowsLogon());
            acHYUsePreferredServer->setChecked(host.GetAlwaysUsePreferredServer());
        });
        TDAEvents &dm = *RvEvents()->DataModule();
        // A change he kept after a refusal is still pending: the list is read again only
        // without one, so that the next save sends it.
        if (!dm.ViewsListPending())
            dm.tbl_DAEventList1.Close();
        // The period the planner left the view with comes back with it.
        const TRvEventsController::TViewsLeft &left = RvEvents()->ViewsLeft;
        if (left.ScheduleFilterShown) {
            m_startDate->setDate(left.ScheduleFilterStart);
            m_endDate->setDate(left.ScheduleFilterEnd);
            m_filterPanel->show();
        }
        // The list is the module's: a date filter another view left on it would hide events
        // behind a closed filter panel.
        dm.tbl_DAEventList1.ClearFilter();
        dm.tbl_DAEventList1.Open();
        dm.tbl_DAEventList1.Sort(kStart);
        dm.tbl_DAScheduleLiturgiesFromEvent1.Open();
        dm.tbl_DAScheduledMinistryFunctions1.Open();
        dm.EventList.Close();
        dm.EventList.Open();
        dm.MinistryFunctions.Close();
        dm.MinistryFunctions.Open();
        if (!dm.LiturgyTemplates.GetActive())
            dm.LiturgyTemplates.Open();
        if (!dm.DAMinistryTemplates.GetActive())
            dm.DAMinistryTemplates.Open();
        RvEvents()->LoadGridLayout(FunctionsGridLayout, m_functions->horizontalHeader());
        RvEvents()->LoadGridLayout(EventsGridLayout, m_events->horizontalHeader());
        bool grouped = false;
        const int groupColumn = RvEvents()->GetUserSetting(EventsGridGroup, QString()).toInt(&grouped);
        GroupBy(grouped ? groupColumn : -1);
        const QString focused = RvEvents()->GetUserSetting(FocusedEventSetting, QString());
        if (!focused.isEmpty())
            dm.tbl_DAEventList1.Locate(kEventKey, focused);
        SelectFocusedEvent();
        if (left.ScheduleFilterShown && left.ScheduleFilterApplied)
            ApplyFilter();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("OnActivate"), e);
    }
    UpdateActions();
}

void TplgSchedule::showEvent(QShowEvent *event)
{
    THYVisualPlugin::showEvent(event);
    m_events->setFocus();
}

void TplgSchedule::Deactivate(QObject *)
{
    TRvEventsController::TViewsLeft &left = RvEvents()->ViewsLeft;
    left.ScheduleFilterShown = !m_filterPanel->isHidden();
    left.ScheduleFilterApplied = left.ScheduleFilterShown && m_filterApplied;
    left.ScheduleFilterStart = m_startDate->date();
    left.ScheduleFilterEnd = m_endDate->date();
    try {
        TDACDSDataTable &events = Events();
        if (events.GetActive() && !events.Eof())
            RvEvents()->SetUserSetting(FocusedEventSetting, events.AsString(kEventKey));
        for (int i = 0; i < m_bars.size(); ++i)
            m_bars[i]->show();
        RvEvents()->SaveGridLayout(EventsGridLayout, m_events->horizontalHeader());
        RvEvents()->SetUserSetting(EventsGridGroup, GroupColumn() < 0 ? QString() : QString::number(GroupColumn()));
        RvEvents()->SaveGridLayout(FunctionsGridLayout, m_functions->horizontalHeader());
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("OnDeactivate"), e);
    }
    try {
        // An edit still open in a cell is written before the tables close, so it is not lost;
        // a change kept after a refusal is sent again.
        PostPendingFunctionEdit();
        if (ApplyFunctions(false) && Events().HasChanges())
            ApplyEvents();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("OnDeactivate"), e);
    }
    TDAEvents &dm = *RvEvents()->DataModule();
    // Refused again and kept, it stays pending in the module's tables for the next visit.
    if (!dm.ViewsListPending())
        dm.tbl_DAEventList1.Close();
    dm.MinistryFunctions.Close();
}

QString TplgSchedule::CurrentEventID() const
{
    const TDACDSDataTable &events = Events();
    return events.GetActive() && !events.Eof() ? events.AsString(kEventKey) : QString();
}

QStringList TplgSchedule::SelectedEventIDs() const
{
    QStringList ids;
    if (!m_eventsModel)
        return ids;
    const TDACDSDataTable &events = Events();
    const int key = events.FieldIndex(kEventKey);
    QList<int> rows;
    for (const QModelIndex &index : m_events->selectionModel()->selectedRows())
        if (const int row = m_eventRows->SourceRow(index.row()); row >= 0)
            rows << row;
    std::sort(rows.begin(), rows.end());
    for (int row : rows)
        if (key >= 0 && row < events.GetRecordCount())
            ids << events.ValueAt(row, key).toString();
    return ids;
}

void TplgSchedule::UpdateActions()
{
    const bool connected = m_eventsModel != nullptr;
    const bool eventFocused = connected && Events().GetActive() && !Events().Eof();
    const bool functionFocused = connected && Functions().GetActive() && !Functions().Eof();
    const int selected = connected ? int(m_events->selectionModel()->selectedRows().size()) : 0;
    const bool hasRows = connected && Events().GetActive() && Events().GetRecordCount() > 0;
    acHYEdit->setEnabled(eventFocused);
    acHYDelete->setEnabled(eventFocused);
    acHYComplete->setEnabled(eventFocused);
    acHYAddFunction->setEnabled(eventFocused);
    acHYRemoveFunction->setEnabled(functionFocused);
    acFindResource->setEnabled(functionFocused);
    acClearMember->setEnabled(functionFocused);
    const bool lockable = functionFocused && TScheduleRules::MemberFieldsEditable(Functions().Value(kMemberId));
    acLockMember->setEnabled(lockable);
    acLockMember->setChecked(lockable && Functions().Value(QStringLiteral("MemberLocked")).toBool());
    // Un-assigning works on the selection; without one there is nothing to send.
    acRemoveAssigments->setEnabled(hasRows && TScheduleRules::CanUnassign(selected));
    acRemoveNonLocked->setEnabled(hasRows && TScheduleRules::CanUnassign(selected));
    acHYSetFilter->setEnabled(TScheduleRules::CanApplyFilter(m_startDate->date(), m_endDate->date()));
    acHYComplete->setText(Text(eventFocused ? TScheduleRules::CompleteCaption(Events().AsString(QStringLiteral("EventLabelColorID"))) : 5406));
    acHYComplete->setToolTip(EventImages::ToolTipOf(*acHYComplete));
}

void TplgSchedule::OnEventRowChanged(int row)
{
    if (!m_eventsModel || m_activating || row < 0 || row == Events().GetRecNo()) {
        UpdateActions();
        return;
    }
    try {
        // The functions of the event left go to the server first: rows pending for one event
        // would keep the next event's rows from being read. Refused ones are taken back.
        PostPendingFunctionEdit();
        if (!ApplyFunctions(false)) {
            // He kept his refused change: the grid stays on its event until it is saved.
            SelectFocusedEvent();
            return;
        }
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("grdViewFocusedRecordChanged"), e);
    }
    try {
        m_eventsModel->SetCurrentRow(row);
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("grdViewFocusedRecordChanged"), e);
    }
    UpdateActions();
}

void TplgSchedule::SelectFocusedEvent()
{
    if (!m_eventsModel || !Events().GetActive() || Events().Eof())
        return;
    m_eventRows->Reveal(Events().GetRecNo());
    const QModelIndex index = m_eventRows->index(m_eventRows->RowOf(Events().GetRecNo()), ecDate);
    m_events->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_events->scrollTo(index, QAbstractItemView::PositionAtCenter);
    UpdateActions();
}

void TplgSchedule::SelectFocusedFunction()
{
    if (!m_functionsModel || !Functions().GetActive() || Functions().Eof())
        return;
    // The re-read after a save resets the grid; the row worked on is the current one again,
    // so the next click lands where the user looks.
    const QModelIndex index = m_functionsModel->index(Functions().GetRecNo(), fcFunctionName);
    m_functions->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_functions->scrollTo(index);
}

void TplgSchedule::PostPendingFunctionEdit()
{
    m_functions->CommitPendingEdit();
    TDACDSDataTable &rows = Functions();
    if (rows.GetActive() && rows.GetState() != TDATableState::dsBrowse)
        rows.Post();
}

bool TplgSchedule::ApplyTelling(const QString &location, const std::function<void()> &apply,
                                const std::function<void()> &takeBack)
{
    try {
        for (;;) {
            try {
                apply();
                return true;
            } catch (const EDAChangedByAnotherUser &refusal) {
                QorLogFailure(RvEvents(), location, refusal);
                if (!TDAEvents::OfferStoredRow(refusal))
                    return false;
            }
        }
    } catch (const EROTransportError &lost) {
        // The server may be back in a moment: the change stays, as a refused one does.
        QorLogFailure(RvEvents(), location, lost);
        TellNotSent(kTextNotSentKept, lost);
        return false;
    } catch (const std::exception &refused) {
        takeBack();
        TellNotSent(kTextNotSentTakenBack, refused);
        throw;
    }
}

bool TplgSchedule::ApplyFunctions(bool refetch)
{
    TDACDSDataTable &rows = Functions();
    return ApplyTelling(
        QStringLiteral("ApplyFunctions"),
        [&] {
            if (rows.GetActive() && rows.HasChanges())
                rows.ApplyUpdates(refetch);
        },
        // Refused rows would keep the next event's functions from being read.
        [&] { rows.CancelUpdates(); });
}

void TplgSchedule::TellNotSent(int text, const std::exception &why)
{
    Prompt().Ask(this, QMessageBox::Warning, Text(kTextNotSentCaption), Text(text).arg(ExceptionText(why)), QMessageBox::Ok,
                 QMessageBox::Ok);
}

bool TplgSchedule::ApplyEvents()
{
    TDAEvents &dm = *RvEvents()->DataModule();
    return ApplyTelling(
        QStringLiteral("ApplyEvents"), [this] { Events().ApplyUpdates(true); },
        // Nothing of it was written; left pending, it would block every refresh and go out
        // with the next unrelated change.
        [&dm] {
            for (TDACDSDataTable *t : {&dm.tbl_DAScheduledMinistryFunctions1, &dm.tbl_DAScheduleLiturgiesFromEvent1, &dm.tbl_DAEventList1})
                if (t->GetActive()) {
                    if (t->GetState() != TDATableState::dsBrowse)
                        t->Cancel();
                    t->CancelUpdates();
                }
        });
}

bool TplgSchedule::LocateEvent(const QString &eventId)
{
    return !eventId.isEmpty() && Events().GetActive() && Events().Locate(kEventKey, eventId);
}

void TplgSchedule::SaveEventColor(const QString &eventId, const QString &functionKey)
{
    TDACDSDataTable &events = Events();
    if (!LocateEvent(eventId))
        return;
    TvoEvent event;
    const QString color = event.EventColor(QString(), true);
    events.Edit();
    events.SetValue(QStringLiteral("EventLabelColorID"), color);
    events.Post();
    ApplyEvents();
    LocateEvent(eventId);
    if (!functionKey.isEmpty() && Functions().GetActive())
        Functions().Locate(kFunctionKey, functionKey);
}

void TplgSchedule::NewEvent()
{
    TDAEvents &dm = *RvEvents()->DataModule();
    dm.EventList.Close();
    dm.EventList.Open();
    const QDateTime now = QDateTime::currentDateTime();
    TvoEvent event(EditorFactory);
    event.StartTime = TScheduleRules::NewEventStart(now);
    event.EndTime = TScheduleRules::NewEventEnd(now);
    event.NewEvent();
    QCoreApplication::processEvents();
    {
        TFrozen frozen(this);
        Refresh();
        LocateEvent(event.EventID);
    }
    SelectFocusedEvent();
}

void TplgSchedule::EditEvent()
{
    const QString eventId = CurrentEventID();
    if (eventId.isEmpty())
        return;
    TvoEvent event(EditorFactory);
    event.EditEvent(eventId);
    QCoreApplication::processEvents();
    if (event.Changed) {
        TFrozen frozen(this);
        Refresh();
        LocateEvent(eventId);
    }
    SelectFocusedEvent();
}

void TplgSchedule::Refresh()
{
    TFrozen frozen(this);
    TWaitCursor wait;
    try {
        const QString current = CurrentEventID();
        PostPendingFunctionEdit();
        if (!ApplyFunctions(true) || (Events().HasChanges() && !ApplyEvents()))
            return;
        QCoreApplication::processEvents();
        TDACDSDataTable &events = Events();
        if (!events.GetActive())
            events.Open();
        else
            events.Refresh();
        if (!LocateEvent(current) && events.GetRecordCount() > 0)
            events.First();
        SelectFocusedEvent();
        ViewRefresh::Succeeded(*this);
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("acHYRefreshExecute"), e);
        ViewRefresh::Failed(*this, Text, e);
    }
}

void TplgSchedule::DeleteEvents()
{
    try {
        if (Prompt().Ask(this, QMessageBox::Warning, Text(5413), Text(5412), QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
            != QMessageBox::Yes)
            return;
        TWaitCursor wait;
        QStringList ids = SelectedEventIDs();
        if (ids.isEmpty() && !CurrentEventID().isEmpty())
            ids << CurrentEventID();
        if (ids.isEmpty())
            return;
        PostPendingFunctionEdit();
        auto service = RvEvents()->DataModule()->EventsService();
        if (!service)
            throw EDAException(QStringLiteral("The events module is not connected to a server"));
        // The server takes the schedules of the events; the event rows go with the list's own
        // delete, in which their schedules are not sent again.
        if (!service->DeleteEvents(ids.join(QStringLiteral("\r\n"))))
            return;
        TDACDSDataTable &events = Events();
        for (const QString &id : ids)
            if (LocateEvent(id))
                events.Delete();
        ApplyEvents();
        if (events.GetRecordCount() > 0 && events.Eof())
            events.Last();
        SelectFocusedEvent();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("acHYDeleteExecute"), e);
    }
}

void TplgSchedule::Complete()
{
    TWaitCursor wait;
    const QString eventId = CurrentEventID();
    if (eventId.isEmpty())
        return;
    TDACDSDataTable &events = Events();
    const QString current = events.AsString(QStringLiteral("EventLabelColorID"));
    const QString assignment = TScheduleRules::IsComplete(current) ? TvoEvent().EventColor(QString(), true) : QString();
    events.Edit();
    events.SetValue(QStringLiteral("EventLabelColorID"), TScheduleRules::ToggledComplete(current, assignment));
    events.Post();
    ApplyEvents();
    LocateEvent(eventId);
    SelectFocusedEvent();
}

void TplgSchedule::PostMemberChoice(int buttonIndex)
{
    QMetaObject::invokeMethod(this, [this, buttonIndex] { ChooseMember(buttonIndex); }, Qt::QueuedConnection);
}

void TplgSchedule::ChooseMember(int buttonIndex)
{
    try {
        TDACDSDataTable &rows = Functions();
        TDACDSDataTable &events = Events();
        if (!rows.GetActive() || rows.Eof() || events.Eof())
            return;
        PostPendingFunctionEdit();
        const QString eventId = CurrentEventID();
        const QString functionKey = rows.AsString(kFunctionKey);
        if (buttonIndex == 0) {
            std::unique_ptr<TSearchObjectList> hits;
            if (RvEvents()->PerformSearch(1 + 2 + 4, QString(), 0, false, nullptr, nullptr, hits) && hits && !hits->isEmpty()) {
                const QDateTime start = events.Value(kStart).toDateTime();
                if (!RvEvents()->DataModule()->ContactIsInUse(hits->first().Object, start)) {
                    rows.Locate(kFunctionKey, functionKey);
                    TScheduleRules::AssignMember(rows, *hits);
                }
            }
        } else {
            TWaitCursor wait;
            TScheduleRules::ClearMember(rows);
        }
        SaveEventColor(eventId, functionKey);
        SelectFocusedEvent();
        SelectFocusedFunction();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("cxEditBthRespPropertiesButtonClick"), e);
    }
    UpdateActions();
}

void TplgSchedule::AddFunction()
{
    TFrozen frozen(this);
    TWaitCursor wait;
    try {
        TDAEvents &dm = *RvEvents()->DataModule();
        const QString eventId = CurrentEventID();
        TDACDSDataTable &liturgies = dm.tbl_DAScheduleLiturgiesFromEvent1;
        if (eventId.isEmpty() || !liturgies.GetActive() || liturgies.Eof())
            return;
        if (!dm.MinistryFunctions.GetActive())
            dm.MinistryFunctions.Open();
        PostPendingFunctionEdit();
        TDACDSDataTable &rows = Functions();
        rows.Insert();
        rows.SetValue(QStringLiteral("F_ScheduledLiturgyID"), liturgies.Value(QStringLiteral("PK_ScheduledLiturgyID")));
        if (!dm.MinistryFunctions.Eof())
            rows.SetValue(QStringLiteral("F_MinistryFunctionID"), dm.MinistryFunctions.Value(QStringLiteral("PK_MinistryFunctionID")));
        rows.SetValue(QStringLiteral("MemberNotAttended"), false);
        const QString key = rows.AsString(kFunctionKey);
        rows.Post();
        SaveEventColor(eventId, key);
        SelectFocusedEvent();
        SelectFocusedFunction();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("acHYAddFunctionExecute"), e);
    }
    UpdateActions();
}

void TplgSchedule::RemoveFunction()
{
    try {
        PostPendingFunctionEdit();
        TDACDSDataTable &rows = Functions();
        const QString eventId = CurrentEventID();
        if (rows.GetActive() && !rows.Eof())
            rows.Delete();
        ApplyFunctions(false);
        SaveEventColor(eventId, QString());
        SelectFocusedEvent();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("acHYRemoveFunctionExecute"), e);
    }
    UpdateActions();
}

void TplgSchedule::ToggleFilterPanel()
{
    try {
        const auto emptyAsNull = [](const QDateEdit *edit) { return edit->date() == edit->minimumDate() ? QDate() : edit->date(); };
        const TDACDSDataTable &events = Events();
        const int start = events.GetActive() ? events.FieldIndex(kStart) : -1;
        const TSchedulePeriod period = TScheduleRules::SuggestPeriod(
            emptyAsNull(m_startDate), emptyAsNull(m_endDate), QDate::currentDate(), [&](const TSchedulePeriod &p) {
                // Counted over every row of the list, as the filter would pass them.
                int count = 0;
                for (int i = 0; start >= 0 && i < events.GetRecordCount(); ++i)
                    count += TScheduleRules::SuggestedPeriodHolds(p, events.ValueAt(i, start).toDateTime()) ? 1 : 0;
                return count;
            });
        if (Events().GetActive())
            Events().ClearFilter();
        m_filterApplied = false;
        m_startDate->setDate(period.Start);
        m_endDate->setDate(period.End);
        m_filterPanel->setVisible(!m_filterPanel->isVisible());
        if (m_filterPanel->isVisible())
            m_endDate->setFocus();
        SelectFocusedEvent();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("acFilterExecute"), e);
    }
    UpdateActions();
}

void TplgSchedule::ApplyFilter()
{
    try {
        PostPendingFunctionEdit();
        ApplyFunctions(false);
        const QString current = CurrentEventID();
        const TSchedulePeriod period{m_startDate->date(), m_endDate->date()};
        Events().SetFilter([period](const TDACDSDataTable::TDARecord &r) {
            return TScheduleRules::FilterHolds(period, r.Value(kStart).toDateTime());
        });
        m_filterApplied = true;
        // The focused event stays focused while the filter passes it.
        if (!LocateEvent(current) && Events().GetRecordCount() > 0)
            Events().First();
        m_events->scrollToTop();
        SelectFocusedEvent();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("acHYSetFilterExecute"), e);
    }
    UpdateActions();
}

void TplgSchedule::Schedule()
{
    try {
        PostPendingFunctionEdit();
        ApplyFunctions(false);
        TfAutoScheduleStart::StartRun(this);
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("acHYScheduleExecute"), e);
    }
    m_refreshTimer->start();
}

void TplgSchedule::RemoveAssignments(bool includeLocked)
{
    try {
        const QStringList ids = SelectedEventIDs();
        if (!TScheduleRules::CanUnassign(int(ids.size())))
            return;
        const bool yes = includeLocked ? Prompt().Ask(this, QMessageBox::Warning, Text(2573), Text(2572),
                                                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes
                                       : Prompt().Ask(this, QMessageBox::Warning, Text(2574), Text(2575),
                                                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
        if (!yes)
            return;
        TWaitCursor wait;
        const QString focused = CurrentEventID();
        Refresh();
        TDAEvents &dm = *RvEvents()->DataModule();
        if (includeLocked)
            dm.RemoveAllAssigments(ids);
        else
            dm.RemoveNonLockedAssigments(ids);
        // The same events selected again, the focused one last.
        QItemSelection selection;
        for (const QString &id : ids)
            if (LocateEvent(id))
                selection.select(m_eventRows->index(m_eventRows->RowOf(Events().GetRecNo()), 0),
                                 m_eventRows->index(m_eventRows->RowOf(Events().GetRecNo()), m_eventRows->columnCount() - 1));
        LocateEvent(focused);
        m_events->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        if (!Events().Eof())
            m_events->selectionModel()->setCurrentIndex(m_eventRows->index(m_eventRows->RowOf(Events().GetRecNo()), ecDate),
                                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("acRemoveAssigmentsExecute"), e);
    }
    UpdateActions();
}

void TplgSchedule::Print()
{
    const QStringList ids = SelectedEventIDs();
    if (ids.isEmpty())
        RvEvents()->ShowReportDlg(ScheduleReports, nullptr, m_eventsModel ? m_eventsModel->rowCount() : 0, nullptr, 0);
    else
        RvEvents()->ShowReportDlg(ScheduleReports, &ids, int(ids.size()), nullptr, 0);
}

void TplgSchedule::Preview()
{
    const bool wholeView = TScheduleRules::PreviewWholeView(int(SelectedEventIDs().size()));
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::Letter));
    printer.setPageMargins(QMarginsF(0.5, 0.5, 0.5, 0.5), QPageLayout::Inch);
    const auto paint = [this, wholeView](QPrinter *target) { PaintPreview(target, wholeView); };
    if (RunPreview) {
        RunPreview(printer, paint);
        return;
    }
    QPrintPreviewDialog dialog(&printer, this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, paint);
    // Opened at a readable size: most of the screen, the page as wide as the window.
    const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect(0, 0, 1280, 900);
    dialog.resize(std::min(1100, screen.width() * 9 / 10), screen.height() * 9 / 10);
    if (auto *pages = dialog.findChild<QPrintPreviewWidget *>())
        pages->fitToWidth();
    dialog.exec();
}

void TplgSchedule::PaintPreview(QPrinter *printer, bool wholeView)
{
    // The whole view: the events and, below them, the focused event's functions as shown.
    m_printed = PrintSchedule(*printer, *m_events, wholeView ? m_functions : nullptr, Text(6001) + Text(6002), Text(6000));
}
