#include "server/services/uEventsService.h"

#include "Quorva_Data_Service_Intf.h"
#include "dataaccess/TDABusinessProcessor.h"
#include "dataaccess/DAException.h"
#include "dataaccess/TDADataStreamer.h"
#include "foundation/QuorvaLogFile.h"
#include "foundation/RequestScope.h"
#include "server/services/ServiceErrors.h"
#include "server/services/ServiceRights.h"
#include "server/core/uLogOnGate.h"
#include "server/services/ServiceText.h"
#include "remoting/ROEventRepository.h"
#include "server/scheduler/IAutoScheduleEventSink.h"
#include "server/scheduler/TAutoScheduleDARepository.h"
#include "server/scheduler/uScheduler.h"

#include <exception>

namespace {

const QString kSender = QStringLiteral("EventsService");

// The calendar and the schedule are every user's to change, as the events plug-in offers them
// to all; the event colours are the system settings', and so an administrator's.
const TServiceRights &Rights()
{
    static const TServiceRights rights(kSender, 0, {{"DAEventColors", kAdministratorRights}});
    return rights;
}

// The clients' auto-schedule events, to every session (the all-zero sender excludes nobody).
class TEventWriterSink : public IAutoScheduleEventSink
{
public:
    explicit TEventWriterSink(TROInMemoryEventRepository *events)
    {
        if (events) {
            m_writer = events->GetEventWriter(IAutoScheduleEvent_Writer::IID);
            m_typed = dynamic_cast<IAutoScheduleEvent_Writer *>(m_writer.get());
        }
    }
    void AutoScheduleBegin() override
    {
        if (m_typed)
            m_typed->OnAutoScheduleBegin(QUuid());
    }
    void AutoScheduleProgress(int position, int max) override
    {
        if (m_typed)
            m_typed->OnAutoScheduleProgress(QUuid(), position, max);
    }
    void AutoScheduleEnd() override
    {
        if (m_typed)
            m_typed->OnAutoScheduleEnd(QUuid());
    }

private:
    std::unique_ptr<TROEventWriter> m_writer;
    IAutoScheduleEvent_Writer *m_typed = nullptr;
};

} // namespace

TEventsService::TEventsService(const TEventsServiceContext &context)
    : TDataServiceBase(Schema(), context.Manager, context.ConnectionName), m_context(context)
{
    DataService().SetLogSender(kSender);
    Rights().Install(*this);
    TDABusinessProcessor &functions = DataService().BusinessProcessor(QStringLiteral("DAScheduledMinistryFunctions"));
    // An empty position is stored as NULL.
    functions.OnBeforeProcessDelta = [](TDABusinessProcessor &processor, TDADeltaChange &change) {
        const QVariant position = processor.GetNewValue(change, QStringLiteral("MemberPosition"));
        if (!position.isNull() && position.toString().isEmpty())
            processor.SetNewValue(change, QStringLiteral("MemberPosition"), QVariant());
    };
    functions.OnProcessError = [](TDABusinessProcessor &, TDADeltaChange &, const EDAException &error, bool &) {
        AddToLog(llSevere, kSender, QStringLiteral("BizDAScheduleMinistryFunctionsProcessError"), ErrorMessage(error));
    };
}

const TDASchema &TEventsService::Schema()
{
    static const std::unique_ptr<TDASchema> schema = [] {
        auto loaded = std::make_unique<TDASchema>();
        loaded->LoadFromFile(QStringLiteral(":/schemas/EventsService.xml"));
        return loaded;
    }();
    return *schema;
}

bool TEventsService::queryInterface(const QUuid &interfaceId, void **object)
{
    if (interfaceId == IEventsService::IID) {
        *object = static_cast<IEventsService *>(this);
        return true;
    }
    return TDataServiceBase::queryInterface(interfaceId, object);
}

std::unique_ptr<TROBinaryMemoryStream> TEventsService::GetLiturgyTemplate(const QString &TemplateID, QString &)
{
    TableRequestInfoV5 info;
    info.Parameters << DataParameter{QStringLiteral("TemplateID"), TemplateID};
    const TDATableData table = DataService().ReadDataset(QStringLiteral("LiturgyTemplateMinisters"), info);
    return std::make_unique<TROBinaryMemoryStream>(TDADataStreamer::WriteDatasets({table}));
}

bool TEventsService::IsAutoScheduleRunning()
{
    return m_context.Running.load();
}

void TEventsService::StopAutoSchedule()
{
    m_context.Stop.store(true);
}

bool TEventsService::RunAutoSchedule(const QDateTime &AFromDate, const QDateTime &AToDate, const QString &ATemplateList,
                                     const QString &AMinistryFunctionList)
{
    TEventWriterSink sink(m_context.Events);
    bool idle = false;
    if (!m_context.Running.compare_exchange_strong(idle, true)) {
        AddToLog(llWarning, kSender, QStringLiteral("RunAutoSchedule"),
                 QStringLiteral("A scheduling run is already going; this request is refused."));
        return false;
    }
    // A stop asked for while nothing ran is not meant for this run.
    m_context.Stop.store(false);
    bool ok = false;
    TAutoScheduleRunGuard guard(&sink, m_context.Running);
    // The run is every client's (they follow it by its events) and has a stop of its own: it
    // goes on when the client that started it hangs up.
    const QorRequest::TClientWatchScope everyClients({});
    try {
        // A run refused for its colours must not pay for a backup first.
        const QStringList colours = CreateColorList();
        if (m_context.Backup)
            m_context.Backup();
        TAutoScheduleDARepository repository(m_context.Manager, m_context.ConnectionName);
        TvoAutoScheduler scheduler(KeyLines(ATemplateList), AFromDate, AToDate, KeyLines(AMinistryFunctionList), colours, true,
                                   repository, m_context.Stop);
        scheduler.SetOnProgress(&sink);
        scheduler.SetTraceFolder(m_context.TraceFolder);
        ok = scheduler.Execute();
    } catch (...) {
        AddToLog(llSevere, kSender, QStringLiteral("RunAutoSchedule"), ErrorMessage(std::current_exception()));
        ok = false;
    }
    return ok;
}

QStringList TEventsService::CreateColorList()
{
    QStringList colours;
    try {
        const TDATableData table = DataService().ReadDataset(QStringLiteral("DAEventColors"));
        const int column = DAFindField(table.Fields, QStringLiteral("PK_ColorID"));
        for (const QVariantList &row : table.Rows)
            colours << row.at(column).toString();
    } catch (...) {
        AddToLog(llSevere, kSender, QStringLiteral("CreateColorList"), ErrorMessage(std::current_exception()));
        // Without the colours every event's colour would be written empty: no run.
        throw std::runtime_error("The event colours cannot be read; the scheduling run is not started.");
    }
    if (colours.size() < 3)
        throw std::runtime_error(QStringLiteral("Only %1 event colours are defined, the scheduling run needs three; it is not started.")
                                     .arg(colours.size())
                                     .toStdString());
    return colours;
}

QStringList TEventsService::LiturgiesOfEvent(const QString &eventId)
{
    TableRequestInfoV5 info;
    info.Parameters << DataParameter{QStringLiteral("EventID"), eventId};
    const TDATableData table = DataService().ReadDataset(QStringLiteral("DAScheduledLiturgyFromEventID"), info);
    QStringList ids;
    for (const QVariantList &row : table.Rows)
        ids << row.at(0).toString();
    return ids;
}

bool TEventsService::DeleteEvents(const QString &AEventList)
{
    const QStringList events = KeyLines(AEventList);
    if (events.isEmpty())
        return false;
    return RunInTransaction(DataService().GetConnection(), kSender, QStringLiteral("DeleteEvent"), [&] {
        // Every scheduled liturgy of each event goes; an event without one has nothing to delete.
        for (const QString &eventId : events) {
            for (const QString &liturgyId : LiturgiesOfEvent(eventId)) {
                DataService().ExecuteCommand(QStringLiteral("DADeleteScheduledMinistryFunctionForLiturgy"),
                                             {DataParameter{QStringLiteral("LiturgyID"), liturgyId}});
                DataService().ExecuteCommand(QStringLiteral("Delete_DAScheduledLiturgies"),
                                             {DataParameter{QStringLiteral("OLD_PK_ScheduledLiturgyID"), liturgyId}});
            }
        }
    });
}

void TEventsService::UnAssignMinisters(const QString &LiturgyIDs, bool UnAssignLockedMinisters)
{
    try {
        QStringList events;
        for (const QString &id : LiturgyIDs.split(QLatin1Char(','))) {
            const QString trimmed = id.trimmed();
            if (!trimmed.isEmpty())
                events << trimmed;
        }
        // The ids are bound as values, never pasted into the statement.
        for (const QString &eventId : events)
            for (const QString &liturgyId : LiturgiesOfEvent(eventId))
                DataService().ExecuteCommand(QStringLiteral("UnAssign_LiturgyMinisters"),
                                             {DataParameter{QStringLiteral("LiturgyID"), liturgyId},
                                              DataParameter{QStringLiteral("IncludeLocked"), UnAssignLockedMinisters ? 1 : 0}});
        for (const QString &eventId : events)
            DataService().ExecuteCommand(QStringLiteral("Reset_EventColor"), {DataParameter{QStringLiteral("EventID"), eventId}});
    } catch (...) {
        AddToLog(llSevere, kSender, QStringLiteral("UnAssignMinisters"), ErrorMessage(std::current_exception()));
    }
}
