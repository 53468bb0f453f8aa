// The events service: generic access to the calendar's events, scheduled liturgies and their
// ministry functions, plus starting, watching and stopping a scheduling run, deleting the
// schedule of events, unassigning members and reading a liturgy template's functions.
#pragma once

#include "contract/TDataServiceBase.h"

#include <atomic>
#include <functional>

class TROInMemoryEventRepository;

// What a service object borrows from the server: shared by every request of the server.
struct TEventsServiceContext
{
    TDAConnectionManager &Manager;
    TROInMemoryEventRepository *Events = nullptr; // none: runs fire no events
    std::atomic<bool> &Running;
    std::atomic<bool> &Stop;
    std::function<void()> Backup;                 // made before each run
    QString ConnectionName = QStringLiteral("MSSQL");
    QString TraceFolder = QString();              // where a failed run leaves "TraceLog.txt"
};

class TEventsService : public TDataServiceBase, public IEventsService
{
public:
    explicit TEventsService(const TEventsServiceContext &context);

    // The service's schema, read once from the program's resources.
    static const TDASchema &Schema();

    bool queryInterface(const QUuid &interfaceId, void **object) override;

    std::unique_ptr<TROBinaryMemoryStream> GetLiturgyTemplate(const QString &TemplateID, QString &TotalCount) override;
    bool IsAutoScheduleRunning() override;
    bool RunAutoSchedule(const QDateTime &AFromDate, const QDateTime &AToDate, const QString &ATemplateList,
                         const QString &AMinistryFunctionList) override;
    bool DeleteEvents(const QString &AEventList) override;
    void StopAutoSchedule() override;
    void UnAssignMinisters(const QString &LiturgyIDs, bool UnAssignLockedMinisters) override;

private:
    QStringList CreateColorList();
    QStringList LiturgiesOfEvent(const QString &eventId);

    TEventsServiceContext m_context;
};
