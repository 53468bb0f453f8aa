#include "plugins/events/uEvent.h"

#include "plugins/events/hcRvEventsController.h"
#include "plugins/events/uDAEvents.h"
#include "plugins/events/uRecurrence.h"
#include "plugins/events/uWaitCursor.h"
#include "plugins/events/ufEventDlg.h"

#include "dataaccess/DAException.h"
#include "dataaccess/TDAWhere.h"

#include <QApplication>
#include <QCursor>

namespace {

const QString kNone = EmptyGUID;

// Hides the host's progress bar on every way out once it was shown.
class TProgress
{
public:
    ~TProgress()
    {
        try {
            Hide();
        } catch (const std::exception &e) {
            QorLogFailure(RvEvents(), QStringLiteral("HideProgress"), e);
        }
    }
    void Show()
    {
        RvEvents()->ShowProgress(0);
        m_shown = true;
    }
    void Hide()
    {
        if (m_shown)
            RvEvents()->HideProgress();
        m_shown = false;
    }

private:
    bool m_shown = false;
};

QString RecurrenceEndSetting()
{
    return RvEvents()->GetUserSetting(TRecurrence::EndDateSetting, QString());
}

void ReopenFunctions(TDACDSDataTable &table, const QVariant &liturgyId)
{
    table.Close();
    table.ParamByName(QStringLiteral("liturgyID")).Value = liturgyId;
    table.Open();
}

bool IsTrue(const QVariant &value)
{
    return !DAIsNull(value) && value.toInt() != 0;
}

} // namespace

TvoEvent::TvoEvent(EditorFactory editorFactory) : m_editorFactory(std::move(editorFactory))
{
    if (!m_editorFactory)
        m_editorFactory = [] { return std::make_unique<TfEventDlg>(); };
}

TDAEvents &TvoEvent::Data() const
{
    return *RvEvents()->DataModule();
}

void TvoEvent::OpenFor(const QString &eventId)
{
    TDAEvents &dm = Data();
    // A save that failed took its changes back, so nothing pending is lost here.
    dm.EventList.Close();
    dm.EventList.SetWhere(TDAWhere().AddCondition(QStringLiteral("PK_EventID"), TDAWhereOperator::woEqual, eventId));
    dm.EventList.Open();
    dm.ScheduledLiturgies.Close();
    dm.ScheduledLiturgies.SetWhere(TDAWhere().AddCondition(QStringLiteral("F_EventID"), TDAWhereOperator::woEqual, eventId));
    dm.ScheduledLiturgies.Open();
}

namespace {

// The event and liturgy tables are read for one event while it is edited; afterwards they
// hold every event again, whether the run was saved, cancelled or failed, because the
// calendar shows the event table as it finds it.
class TOneEventScope
{
public:
    explicit TOneEventScope(TDAEvents &dm) : m_dm(dm) {}
    ~TOneEventScope()
    {
        for (TDACDSDataTable *table : {&m_dm.EventList, &m_dm.ScheduledLiturgies}) {
            const bool inUse = table->GetActive();
            table->SetWhere(TDAWhere());
            if (!inUse)
                continue;
            try {
                table->Close();
                table->Open();
            } catch (const std::exception &e) {
                QorLogFailure(RvEvents(), QStringLiteral("OneEventScope"), e);
            }
        }
    }
    TOneEventScope(const TOneEventScope &) = delete;
    TOneEventScope &operator=(const TOneEventScope &) = delete;

private:
    TDAEvents &m_dm;
};

} // namespace

void TvoEvent::NewEvent()
{
    TOneEventScope scope(Data());
    TProgress progress;
    try {
        TRecurrence recurrence(RecurrenceEndSetting);
        std::unique_ptr<IEventEditor> editor = m_editorFactory();
        TDAEvents &dm = Data();
        ReopenFunctions(dm.tbl_DAScheduledMinistryFunctionsUnbound, kNone);
        ReopenFunctions(dm.DAScheduledMinistryFunctions, kNone);
        OpenFor(kNone);

        editor->SetRecurrence(&recurrence);
        editor->SetDurationMinutes(DefaultDuration > 0 ? DefaultDuration : 60);
        editor->Prepare(true);
        editor->SetEventDateTime(StartTime);
        editor->SetEndDateTime(EndTime);
        editor->SelectTemplate(QString());
        const bool ok = editor->Execute();
        QCoreApplication::processEvents();
        if (!ok) {
            dm.DAScheduledMinistryFunctions.CancelUpdates();
            return;
        }
        progress.Show();
        TWaitCursor wait;
        const std::optional<TvoLiturgyTemplateData> chosen = editor->SelectedTemplate();
        const QString templateId = chosen ? chosen->ID : QString();
        const QString templateName = chosen ? chosen->Name : QString();
        const QDateTime start = editor->Start();
        const int duration = editor->DurationMinutes() > 0 ? editor->DurationMinutes() : 60;
        const QDateTime end = start.addSecs(qint64(duration) * 60);
        if (dm.DAScheduledMinistryFunctions.GetState() != TDATableState::dsBrowse)
            dm.DAScheduledMinistryFunctions.Post();
        // Without a liturgy the editor's function rows would belong to nothing.
        if (templateId.isEmpty())
            dm.DAScheduledMinistryFunctions.CancelUpdates();

        TvoMinistryFunctions collection;
        const QList<TvoRecurrentEvent> &dates = recurrence.Dates();
        if (!dates.isEmpty()) {
            const int step = 100 / int(dates.size()) + 1;
            for (int i = 0; i < dates.size(); ++i) {
                if (i == 0) {
                    PlanEvent(templateName, templateId, collection, false, end, start);
                    EventID = dm.EventList.AsString(QStringLiteral("PK_EventID"));
                } else {
                    const QDateTime at(dates[i].Date, start.time());
                    PlanEvent(templateName, templateId, collection, true, at.addSecs(qint64(duration) * 60), at);
                }
                RvEvents()->SetProgress((i + 1) * step, QString());
                QCoreApplication::processEvents();
            }
        } else {
            PlanEvent(templateName, templateId, collection, false, end, start);
            EventID = dm.EventList.AsString(QStringLiteral("PK_EventID"));
        }
        ApplyAll();
        progress.Hide();
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("plgCalendar:NewEvent"), e);
    }
}

void TvoEvent::PlanEvent(const QString &templateName, const QString &templateId, TvoMinistryFunctions &collection, bool copy,
                         const QDateTime &end, const QDateTime &start)
{
    TDAEvents &dm = Data();
    TDACDSDataTable &events = dm.EventList;
    events.Insert();
    QString locationId;
    QString caption;
    if (!dm.LiturgyTemplates.GetActive())
        dm.LiturgyTemplates.Open();
    if (!templateId.isEmpty() && dm.LiturgyTemplates.Locate(QStringLiteral("PK_LiturgyTemplateID"), templateId)) {
        locationId = dm.LiturgyTemplates.AsString(QStringLiteral("F_LocationID"));
        caption = GetLocationName(locationId);
    }
    events.SetValue(QStringLiteral("StartDateTime"), start);
    events.SetValue(QStringLiteral("EndDateTime"), end);
    events.SetValue(QStringLiteral("EventLocationCaption"), caption);
    events.SetValue(QStringLiteral("EventSubject"), templateName);
    events.SetValue(QStringLiteral("EventLocationID"), locationId);
    const QString eventId = events.AsString(QStringLiteral("PK_EventID"));
    QString color = ColorOf(0, 0);
    int flag = 0;
    if (!templateId.isEmpty()) {
        // A copy writes rows of its own; the editor's rows are the planned event's.
        const QString liturgyId = InsertLiturgy(eventId, templateId, start, !copy);
        if (copy) {
            // A copy keeps every function but only the locked assignments, and takes its
            // colour and flag from what it keeps.
            TDACDSDataTable &rows = dm.tbl_DAScheduledMinistryFunctionsUnbound;
            int assigned = 0;
            for (const TvoMinistryFunction &f : collection) {
                rows.Insert();
                rows.SetValue(QStringLiteral("F_MinistryFunctionID"), f.F_MinistryFunctionId);
                if (!f.MemberPosition.isEmpty())
                    rows.SetValue(QStringLiteral("MemberPosition"), f.MemberPosition);
                rows.SetValue(QStringLiteral("MemberLocked"), f.MemberLocked);
                rows.SetValue(QStringLiteral("F_ScheduledLiturgyID"), liturgyId);
                if (f.MemberLocked) {
                    rows.SetValue(QStringLiteral("F_MinistryMemberID"), f.F_MinistryMemberID);
                    rows.SetValue(QStringLiteral("F_MinistryMemberTypeID"), f.F_MinistryMemberTypeId);
                    rows.SetValue(QStringLiteral("FlagMinister"), f.FlagMinister);
                    if (!f.F_MinistryMemberID.isEmpty())
                        ++assigned;
                    if (f.FlagMinister)
                        flag = 1;
                }
                rows.Post();
            }
            color = ColorOf(int(collection.size()), assigned);
        } else {
            FillMinistryFunctionCollection(collection);
            color = EventColor(QString(), false);
            flag = FlagEvent();
        }
    }
    events.SetValue(QStringLiteral("EventLabelColorID"), color);
    events.SetValue(QStringLiteral("FlagEvent"), flag);
    events.Post();
}

QString TvoEvent::InsertLiturgy(const QString &eventId, const QString &templateId, const QDateTime &start, bool takeFunctions)
{
    TDAEvents &dm = Data();
    TDACDSDataTable &liturgies = dm.ScheduledLiturgies;
    liturgies.Insert();
    liturgies.SetValue(QStringLiteral("F_EventID"), eventId);
    liturgies.SetValue(QStringLiteral("CreatedDateTime"), QDateTime::currentDateTime());
    if (!templateId.isEmpty()) {
        liturgies.SetValue(QStringLiteral("F_LiturgyTemplateID"), templateId);
        CheckFeastName(start);
    }
    const QString liturgyId = liturgies.AsString(QStringLiteral("PK_ScheduledLiturgyID"));
    liturgies.Post();
    if (takeFunctions) {
        TDACDSDataTable &rows = dm.DAScheduledMinistryFunctions;
        for (rows.First(); !rows.Eof(); rows.Next()) {
            rows.Edit();
            rows.SetValue(QStringLiteral("F_ScheduledLiturgyID"), liturgyId);
            rows.Post();
        }
    }
    return liturgyId;
}

void TvoEvent::EditEvent(const QString &eventId)
{
    TOneEventScope scope(Data());
    try {
        TRecurrence recurrence(RecurrenceEndSetting);
        std::unique_ptr<IEventEditor> editor = m_editorFactory();
        TDAEvents &dm = Data();
        OpenFor(eventId);
        ReopenFunctions(dm.tbl_DAScheduledMinistryFunctionsUnbound, kNone);
        if (!dm.EventList.Locate(QStringLiteral("PK_EventID"), eventId))
            throw EDAException(QStringLiteral("The event %1 is not there any more").arg(eventId));
        m_eventId = eventId;
        QString templateId;
        if (dm.ScheduledLiturgies.Locate(QStringLiteral("F_EventID"), eventId)) {
            m_liturgyId = dm.ScheduledLiturgies.AsString(QStringLiteral("PK_ScheduledLiturgyID"));
            templateId = dm.ScheduledLiturgies.AsString(QStringLiteral("F_LiturgyTemplateID"));
            ReopenFunctions(dm.DAScheduledMinistryFunctions, m_liturgyId);
        } else {
            m_liturgyId.clear();
            ReopenFunctions(dm.DAScheduledMinistryFunctions, kNone);
        }
        editor->SetRecurrence(&recurrence);
        editor->Prepare(false);
        LoadEditor(*editor, templateId);
        for (;;) {
            const bool ok = editor->Execute();
            QCoreApplication::processEvents();
            if (!ok) {
                dm.DAScheduledMinistryFunctions.CancelUpdates();
                return;
            }
            const QString liturgyId = m_liturgyId;
            try {
                TWaitCursor wait;
                UpdateEvent(*editor, recurrence);
                Changed = true;
                return;
            } catch (const EDAChangedByAnotherUser &refusal) {
                QorLogFailure(RvEvents(), QStringLiteral("EditEvent"), refusal);
                // A liturgy the refused save inserted is planned again by the next one.
                m_liturgyId = liturgyId;
                OfferStoredRow(refusal, *editor);
            }
        }
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("EditEvent"), e);
    }
}

void TvoEvent::LoadEditor(IEventEditor &editor, const QString &templateId)
{
    TDACDSDataTable &events = Data().EventList;
    const QDateTime start = events.Value(QStringLiteral("StartDateTime")).toDateTime();
    const QDateTime end = events.Value(QStringLiteral("EndDateTime")).toDateTime();
    editor.SetEventDateTime(start);
    editor.SetEndDateTime(end);
    editor.SetDurationMinutes(int(qAbs(start.secsTo(end)) / 60));
    editor.SelectTemplate(templateId);
}

void TvoEvent::UpdateEvent(IEventEditor &editor, const TRecurrence &recurrence)
{
    TDAEvents &dm = Data();
    TProgress progress;
    if (dm.DAScheduledMinistryFunctions.GetState() != TDATableState::dsBrowse)
        dm.DAScheduledMinistryFunctions.Post();
    const int duration = editor.DurationMinutes() > 0 ? editor.DurationMinutes() : 60;
    const std::optional<TvoLiturgyTemplateData> chosen = editor.SelectedTemplate();
    const QString templateId = chosen ? chosen->ID : QString();
    const QString templateName = chosen ? chosen->Name : QString();
    const QDateTime start = editor.Start();
    const QList<TvoRecurrentEvent> &dates = recurrence.Dates();
    if (!dates.isEmpty()) {
        TvoMinistryFunctions collection;
        FillMinistryFunctionCollection(collection);
        progress.Show();
        const int step = 100 / int(dates.size()) + 1;
        for (int i = 0; i < dates.size(); ++i) {
            // The edited event itself stands on its own date already.
            if (dates[i].Date != start.date()) {
                const QDateTime at(dates[i].Date, start.time());
                PlanEvent(templateName, templateId, collection, true, at.addSecs(qint64(duration) * 60), at);
            }
            RvEvents()->SetProgress((i + 1) * step, QString());
            QCoreApplication::processEvents();
        }
    }
    SetEventData(templateId, templateName, start, duration);
    progress.Hide();
    ApplyAll();
}

void TvoEvent::SetEventData(const QString &templateId, const QString &templateName, const QDateTime &start, int duration)
{
    TDAEvents &dm = Data();
    TDACDSDataTable &rows = dm.DAScheduledMinistryFunctions;
    if (m_liturgyId.isEmpty() && (!templateId.isEmpty() || rows.GetRecordCount() > 0)) {
        // An event saved without a liturgy gets its own now, so that the functions added in
        // the editor hang under this event and no other. Its template follows below.
        m_liturgyId = InsertLiturgy(m_eventId, QString(), start, true);
    }
    // Planned copies moved the cursors; the edited event's rows are found again by key.
    if (!m_liturgyId.isEmpty() && dm.ScheduledLiturgies.Locate(QStringLiteral("PK_ScheduledLiturgyID"), m_liturgyId)) {
        dm.ScheduledLiturgies.Edit();
        dm.ScheduledLiturgies.SetValue(QStringLiteral("F_LiturgyTemplateID"), templateId);
        CheckFeastName(start);
        dm.ScheduledLiturgies.Post();
    }
    TDACDSDataTable &events = dm.EventList;
    if (!events.Locate(QStringLiteral("PK_EventID"), m_eventId))
        throw EDAException(QStringLiteral("The event %1 is not there any more").arg(m_eventId));
    events.Edit();
    events.SetValue(QStringLiteral("StartDateTime"), start);
    events.SetValue(QStringLiteral("EndDateTime"), start.addSecs(qint64(duration) * 60));
    if (!dm.LiturgyTemplates.GetActive())
        dm.LiturgyTemplates.Open();
    if (!templateId.isEmpty() && dm.LiturgyTemplates.Locate(QStringLiteral("PK_LiturgyTemplateID"), templateId)) {
        const QString locationId = dm.LiturgyTemplates.AsString(QStringLiteral("F_LocationID"));
        events.SetValue(QStringLiteral("EventLocationID"), locationId);
        events.SetValue(QStringLiteral("EventLocationCaption"), GetLocationName(locationId));
    }
    events.SetValue(QStringLiteral("EventSubject"), templateName);
    events.SetValue(QStringLiteral("EventLabelColorID"), EventColor(QString(), false));
    events.SetValue(QStringLiteral("FlagEvent"), FlagEvent());
    events.Post();
}

void TvoEvent::ApplyAll()
{
    TDAEvents &dm = Data();
    const QList<TDACDSDataTable *> tables = {&dm.EventList, &dm.ScheduledLiturgies, &dm.DAScheduledMinistryFunctions,
                                             &dm.tbl_DAScheduledMinistryFunctionsUnbound};
    try {
        TDACDSDataTable::ApplyUpdates(tables, true);
    } catch (const EDAChangedByAnotherUser &) {
        // Nothing was written. The editor's rows stay as he left them (their liturgy key is
        // set again by the next save); the rest is planned again from the editor.
        for (TDACDSDataTable *t : tables)
            if (t != &dm.DAScheduledMinistryFunctions && t->GetActive()) {
                if (t->GetState() != TDATableState::dsBrowse)
                    t->Cancel();
                t->CancelUpdates();
            }
        throw;
    } catch (...) {
        // Nothing of it was written; left pending, a later unrelated save would send it.
        for (TDACDSDataTable *t : tables)
            if (t->GetActive()) {
                if (t->GetState() != TDATableState::dsBrowse)
                    t->Cancel();
                t->CancelUpdates();
            }
        throw;
    }
}

void TvoEvent::OfferStoredRow(const EDAChangedByAnotherUser &refusal, IEventEditor &editor)
{
    TDAEvents &dm = Data();
    if (!TDAEvents::OfferStoredRow(refusal) || refusal.Table != &dm.EventList || m_eventId.isEmpty())
        return;
    if (dm.EventList.Locate(QStringLiteral("PK_EventID"), m_eventId)) {
        const bool hasLiturgy = !m_liturgyId.isEmpty()
                                && dm.ScheduledLiturgies.Locate(QStringLiteral("PK_ScheduledLiturgyID"), m_liturgyId);
        LoadEditor(editor, hasLiturgy ? dm.ScheduledLiturgies.AsString(QStringLiteral("F_LiturgyTemplateID")) : QString());
    }
}

QString TvoEvent::ColorOf(int rows, int assigned)
{
    if (assigned == rows)
        return EventColor::AllAssigned;
    return assigned > 0 ? EventColor::SomeAssigned : EventColor::NoneAssigned;
}

QString TvoEvent::EventColor(const QString &eventId, bool scheduleTable)
{
    QString result = EventColor::NoneAssigned;
    try {
        TDAEvents &dm = Data();
        std::unique_ptr<TDACDSDataTable> own;
        TDACDSDataTable *source = scheduleTable ? &dm.tbl_DAScheduledMinistryFunctions1 : &dm.DAScheduledMinistryFunctions;
        if (!eventId.isEmpty()) {
            own = dm.ReadFunctionsOfEvent(eventId);
            source = own.get();
        }
        if (!source->GetActive())
            return result;
        int rows = 0;
        int assigned = 0;
        for (int i = 0; i < source->GetRecordCount(); ++i) {
            ++rows;
            if (!source->ValueAt(i, source->FieldIndex(QStringLiteral("F_MinistryMemberID"))).toString().isEmpty())
                ++assigned;
        }
        result = ColorOf(rows, assigned);
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("EventColor"), e);
    }
    return result;
}

int TvoEvent::FlagEvent()
{
    const TDACDSDataTable &rows = Data().DAScheduledMinistryFunctions;
    if (!rows.GetActive())
        return 0;
    const int field = rows.FieldIndex(QStringLiteral("FlagMinister"));
    for (int i = 0; i < rows.GetRecordCount(); ++i)
        if (IsTrue(rows.ValueAt(i, field)))
            return 1;
    return 0;
}

QDate TvoEvent::FeastDay(const QDateTime &start)
{
    const QDate day = start.date();
    if (day.dayOfWeek() == Qt::Saturday && start.time() >= QTime(16, 0))
        return day.addDays(1);
    if (day.dayOfWeek() == Qt::Sunday)
        return day;
    return {};
}

void TvoEvent::CheckFeastName(const QDateTime &start)
{
    try {
        TDAEvents &dm = Data();
        const QDate day = FeastDay(start);
        if (!day.isValid())
            return;
        TDACDSDataTable &calendar = dm.DACalenderData;
        if (!calendar.GetActive())
            calendar.Open();
        const int dateField = calendar.FieldIndex(QStringLiteral("Date"));
        for (int i = 0; i < calendar.GetRecordCount(); ++i)
            if (calendar.ValueAt(i, dateField).toDateTime().date() == day) {
                dm.ScheduledLiturgies.SetValue(QStringLiteral("FeastName"),
                                               calendar.ValueAt(i, calendar.FieldIndex(QStringLiteral("FullName"))));
                return;
            }
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("CheckFeastName"), e);
    }
}

QString TvoEvent::GetLocationName(const QString &locationId)
{
    TDACDSDataTable &locations = Data().DALocations;
    if (!locations.GetActive())
        locations.Open();
    return locations.Locate(QStringLiteral("PK_LocationID"), locationId) ? locations.AsString(QStringLiteral("LocationName")) : QString();
}

void TvoEvent::FillMinistryFunctionCollection(TvoMinistryFunctions &collection)
{
    TDACDSDataTable &rows = Data().DAScheduledMinistryFunctions;
    for (rows.First(); !rows.Eof(); rows.Next()) {
        TvoMinistryFunction f;
        f.MemberPosition = rows.AsString(QStringLiteral("MemberPosition"));
        f.MemberLocked = IsTrue(rows.Value(QStringLiteral("MemberLocked")));
        f.F_MinistryFunctionId = rows.AsString(QStringLiteral("F_MinistryFunctionID"));
        f.F_MinistryMemberID = rows.AsString(QStringLiteral("F_MinistryMemberID"));
        f.F_MinistryMemberTypeId = rows.AsString(QStringLiteral("F_MinistryMemberTypeID"));
        f.MemberCaption = rows.AsString(QStringLiteral("MemberCaption"));
        f.FlagMinister = IsTrue(rows.Value(QStringLiteral("FlagMinister")));
        collection << f;
    }
}
