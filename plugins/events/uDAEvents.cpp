#include "plugins/events/uDAEvents.h"

#include "plugins/events/hcRvEventsController.h"
#include "plugins/events/uEventsCommon.h"

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/DAException.h"
#include "foundation/uCommon.h"
#include "ui/PromptService.h"
#include "ui/RowConflict.h"

#include <QApplication>

namespace {

const QString kNotConnected = QStringLiteral("The events module is not connected to a server");

QString CurrentUser()
{
    TRvEventsController *controller = RvEvents();
    return controller ? controller->CurrentUserID() : EmptyGUID;
}

QString Text(int number)
{
    TRvEventsController *controller = RvEvents();
    return controller ? controller->GetText(number) : QString();
}

void StampEvent(TDACDSDataTable &t)
{
    t.SetValue(QStringLiteral("PK_EventID"), NewKey());
    t.SetValue(QStringLiteral("CreatedDateTime"), QDateTime::currentDateTime());
    t.SetValue(QStringLiteral("F_CreatedUserID"), CurrentUser());
}

void StampLiturgy(TDACDSDataTable &t)
{
    t.SetValue(QStringLiteral("PK_ScheduledLiturgyID"), NewKey());
    t.SetValue(QStringLiteral("F_CreatedUserID"), CurrentUser());
    t.SetValue(QStringLiteral("CreatedDateTime"), QDateTime::currentDateTime());
}

void StampFunction(TDACDSDataTable &t)
{
    t.SetValue(QStringLiteral("PK_ScheduledMemberID"), NewKey());
    t.SetValue(QStringLiteral("F_CreatedUserID"), CurrentUser());
    t.SetValue(QStringLiteral("MemberLocked"), false);
    t.SetValue(QStringLiteral("FlagMinister"), false);
    t.SetValue(QStringLiteral("MemberNotAttended"), false);
    t.SetValue(QStringLiteral("CreatedDateTime"), QDateTime::currentDateTime());
}

void StampModified(TDACDSDataTable &t)
{
    t.SetValue(QStringLiteral("F_ModifiedUserID"), CurrentUser());
    t.SetValue(QStringLiteral("ModifiedDateTime"), QDateTime::currentDateTime());
}

void PositionAsNull(TDACDSDataTable &t)
{
    if (!t.IsNull(QStringLiteral("MemberPosition")) && t.AsString(QStringLiteral("MemberPosition")).isEmpty())
        t.SetValue(QStringLiteral("MemberPosition"), QVariant());
}

} // namespace

TDAEvents::TDAEvents()
    : m_events(kNotConnected)
    , m_resources(kNotConnected)
    , m_contacts(kNotConnected)
    , EventList(QStringLiteral("DAEventList"), &m_events)
    , ScheduledLiturgies(QStringLiteral("DAScheduledLiturgies"), &m_events)
    , DAScheduledMinistryFunctions(QStringLiteral("DAScheduledMinistryFunctions"), &m_events)
    , tbl_DAScheduledMinistryFunctionsUnbound(QStringLiteral("DAScheduledMinistryFunctions"), &m_events)
    , tbl_DAEventList1(QStringLiteral("DAEventList"), &m_events)
    , tbl_DAScheduleLiturgiesFromEvent1(QStringLiteral("DAScheduleLiturgiesFromEvent"), &m_events)
    , tbl_DAScheduledMinistryFunctions1(QStringLiteral("DAScheduledMinistryFunctions"), &m_events)
    , DAEventColors(QStringLiteral("DAEventColors"), &m_resources)
    , MinistryFunctions(QStringLiteral("MinistryFunctions"), &m_resources)
    , LiturgyTemplates(QStringLiteral("LiturgyTemplates"), &m_resources)
    , DALocations(QStringLiteral("Locations"), &m_resources)
    , DAMinistryTemplates(QStringLiteral("MinistryTemplates"), &m_resources)
    , DALnkMinistryTemplateToMinistryFunction(QStringLiteral("LnkMinistryTemplateToMinistryFunction"), &m_resources)
    , DACalenderData(QStringLiteral("DACalenderData"), &m_resources)
    , DAUnAvailiabillity(QStringLiteral("DAUnAvailiabillity"), &m_contacts)
{
    const QString none = EmptyGUID;
    DAScheduledMinistryFunctions.GetParams().Add(QStringLiteral("liturgyID"), none);
    tbl_DAScheduledMinistryFunctionsUnbound.GetParams().Add(QStringLiteral("liturgyID"), none);
    tbl_DAScheduledMinistryFunctions1.GetParams().Add(QStringLiteral("liturgyID"), none);
    tbl_DAScheduleLiturgiesFromEvent1.GetParams().Add(QStringLiteral("EventID"), none);
    DAUnAvailiabillity.GetParams().Add(QStringLiteral("F_ContactID"), none);

    tbl_DAScheduleLiturgiesFromEvent1.SetMasterSource(&tbl_DAEventList1, {QStringLiteral("PK_EventID")},
                                                      {QStringLiteral("F_EventID")}, {QStringLiteral("EventID")});
    tbl_DAScheduledMinistryFunctions1.SetMasterSource(&tbl_DAScheduleLiturgiesFromEvent1, {QStringLiteral("PK_ScheduledLiturgyID")},
                                                      {QStringLiteral("F_ScheduledLiturgyID")}, {QStringLiteral("liturgyID")});

    EventList.OnAfterInsert = StampEvent;
    tbl_DAEventList1.OnAfterInsert = StampEvent;
    ScheduledLiturgies.OnAfterInsert = StampLiturgy;
    DAScheduledMinistryFunctions.OnAfterInsert = StampFunction;
    tbl_DAScheduledMinistryFunctions1.OnAfterInsert = StampFunction;
    tbl_DAScheduledMinistryFunctionsUnbound.OnAfterInsert = StampFunction;
    EventList.OnAfterEdit = StampModified;
    tbl_DAEventList1.OnAfterEdit = StampModified;
    ScheduledLiturgies.OnAfterEdit = StampModified;
    DAScheduledMinistryFunctions.OnBeforePost = PositionAsNull;
}

TDAEvents::~TDAEvents()
{
    Disconnect();
}

void TDAEvents::Connect(std::shared_ptr<TROMessage> message, std::shared_ptr<TROTransportChannel> channel)
{
    m_eventsService = CoEventsService::Create(message, channel);
    m_events.SetService(m_eventsService);
    m_resources.SetService(CoResourceService::Create(message, channel));
    m_contacts.SetService(CoContactsService::Create(message, channel));
}

void TDAEvents::Disconnect()
{
    m_eventsService.reset();
    m_events.SetService(nullptr);
    m_resources.SetService(nullptr);
    m_contacts.SetService(nullptr);
}

std::unique_ptr<TDACDSDataTable> TDAEvents::ReadFunctionsOfEvent(const QString &eventId)
{
    TDACDSDataTable liturgy(QStringLiteral("DAScheduledLiturgyFromEventID"), &m_events);
    liturgy.GetParams().Add(QStringLiteral("EventID"), eventId);
    liturgy.Open();
    auto rows = std::make_unique<TDACDSDataTable>(QStringLiteral("DAScheduledMinistryFunctions"), &m_events);
    rows->GetParams().Add(QStringLiteral("liturgyID"),
                          liturgy.GetRecordCount() > 0 ? liturgy.Value(QStringLiteral("PK_ScheduledLiturgyID")) : QVariant(EmptyGUID));
    rows->Open();
    return rows;
}

std::unique_ptr<TDACDSDataTable> TDAEvents::ReadAllEvents()
{
    auto events = std::make_unique<TDACDSDataTable>(QStringLiteral("DAEventList"), &m_events);
    events->OnAfterEdit = StampModified;
    events->Open();
    return events;
}

bool TDAEvents::ContactIsInUse(const TSearchObject &member, const QDateTime &date)
{
    try {
        if (member.TypeID != TSearchObject::ContactType)
            return false;
        DAUnAvailiabillity.Close();
        DAUnAvailiabillity.ParamByName(QStringLiteral("F_ContactID")).Value = SearchMemberID(member);
        DAUnAvailiabillity.Open();
        bool found = false;
        for (DAUnAvailiabillity.First(); !DAUnAvailiabillity.Eof() && !found; DAUnAvailiabillity.Next())
            found = DAUnAvailiabillity.Value(QStringLiteral("UnavailiableDate")).toDateTime().date() == date.date();
        DAUnAvailiabillity.Close();
        if (!found)
            return false;
        return Prompt().Ask(nullptr, QMessageBox::Warning, Text(9001), Text(9002), QMessageBox::Yes | QMessageBox::No,
                            QMessageBox::No)
            == QMessageBox::No;
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("ContactIsInUse"), e);
        return false;
    }
}

bool TDAEvents::OfferStoredRow(const EDAChangedByAnotherUser &refusal)
{
    const TDACDSDataTable &table = *refusal.Table;
    const auto field = [&](const char *name) {
        return table.FieldIndex(QLatin1String(name)) >= 0 ? table.StoredValue(refusal.RecID, QLatin1String(name)) : QVariant();
    };
    QString name = field("EventSubject").toString();
    const QDateTime start = field("StartDateTime").toDateTime();
    if (start.isValid())
        name = (name + QLatin1Char(' ') + QLocale().toString(start, QLocale::ShortFormat)).trimmed();
    if (name.isEmpty())
        name = field("MemberCaption").toString();
    return ::OfferStoredRow(QApplication::activeWindow(), refusal, Text(9003), Text(9004), name);
}

bool TDAEvents::ViewsListPending() const
{
    for (const TDACDSDataTable *t : {&tbl_DAEventList1, &tbl_DAScheduleLiturgiesFromEvent1, &tbl_DAScheduledMinistryFunctions1})
        if (t->GetActive() && (t->IsEditing() || t->HasChanges()))
            return true;
    return false;
}

bool TDAEvents::UnAssign(const QStringList &eventIds, bool includeLocked)
{
    try {
        if (!m_eventsService)
            throw EDAException(kNotConnected);
        m_eventsService->UnAssignMinisters(eventIds.join(QLatin1Char(',')), includeLocked);
        if (tbl_DAEventList1.GetActive())
            tbl_DAEventList1.Refresh();
        return true;
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("RemoveAllAssigments"), e);
        return false;
    }
}

bool TDAEvents::RemoveAllAssigments(const QStringList &eventIds)
{
    return UnAssign(eventIds, true);
}

bool TDAEvents::RemoveNonLockedAssigments(const QStringList &eventIds)
{
    return UnAssign(eventIds, false);
}

QString TDAEvents::GetEventDetails(const QString &eventId)
{
    QString result = QStringLiteral("Ministers:\r");
    try {
        const std::unique_ptr<TDACDSDataTable> rows = ReadFunctionsOfEvent(eventId);
        if (!MinistryFunctions.GetActive())
            MinistryFunctions.Open();
        // Read by index: the schedule view adds functions at the list's current row.
        const int keyField = MinistryFunctions.FieldIndex(QStringLiteral("PK_MinistryFunctionID"));
        const int nameField = MinistryFunctions.FieldIndex(QStringLiteral("MinistryFunctionName"));
        auto nameOf = [&](const QString &functionId) {
            for (int i = 0; i < MinistryFunctions.GetRecordCount(); ++i)
                if (MinistryFunctions.ValueAt(i, keyField).toString() == functionId)
                    return MinistryFunctions.ValueAt(i, nameField).toString();
            return QStringLiteral("Unknown");
        };
        TDACDSDataTable &f = *rows;
        for (f.First(); !f.Eof(); f.Next())
            result += QStringLiteral("%1 (%2)\r").arg(f.AsString(QStringLiteral("MemberCaption")), nameOf(f.AsString(QStringLiteral("F_MinistryFunctionID"))));
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("GetEventDetails"), e);
    }
    return result;
}

int TDAEvents::LiturgiesInPeriode(const QDateTime &endDate, const QDateTime &startDate)
{
    if (startDate.date() > endDate.date())
        return 0;
    if (!tbl_DAEventList1.GetActive())
        return -1;
    // Whole days: from the first day's midnight to the midnight after the last day.
    const QDateTime from(startDate.date(), QTime(0, 0));
    const QDateTime until(endDate.date().addDays(1), QTime(0, 0));
    try {
        // Counted beside the schedule view's own filter, which stays as the user left it.
        return tbl_DAEventList1.CountRows([&](const TDACDSDataTable::TDARecord &r) {
            const QDateTime start = r.Value(QStringLiteral("StartDateTime")).toDateTime();
            return start >= from && start < until;
        });
    } catch (const std::exception &e) {
        QorLogFailure(RvEvents(), QStringLiteral("LiturgiesInPeriode, AStart:") + from.toString(Qt::ISODate) + QStringLiteral(" - ")
                       + until.toString(Qt::ISODate),
                   e);
        return -1;
    }
}
