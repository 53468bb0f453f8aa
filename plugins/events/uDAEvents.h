// The events module's client tables, shared by all its views and dialogs, over the data
// server's events, resource and contacts services; the stamping of keys and audit fields on
// new and edited rows; and the few operations the views need beyond a table read.
#pragma once

#include "dataaccess/TDACDSDataTable.h"
#include "contract/TDAServiceAdapter.h"

#include <QDateTime>
#include <QStringList>

#include <memory>

class IContactsService;
class IEventsService;
class IResourceService;
class TROMessage;
class TROTransportChannel;
class TSearchObject;

class TDAEvents
{
    // Before the tables, which keep pointers to them.
    TDAServiceAdapter m_events;
    TDAServiceAdapter m_resources;
    TDAServiceAdapter m_contacts;

public:
    TDAEvents();
    ~TDAEvents();
    TDAEvents(const TDAEvents &) = delete;
    TDAEvents &operator=(const TDAEvents &) = delete;

    // Puts the three services on the host's channel and message; Disconnect takes them off.
    void Connect(std::shared_ptr<TROMessage> message, std::shared_ptr<TROTransportChannel> channel);
    void Disconnect();
    std::shared_ptr<IEventsService> EventsService() const { return m_eventsService; }

    // True when the pick is refused: a contact unavailable on the day whom the user does not
    // want to assign anyway. Families and groups are never checked.
    bool ContactIsInUse(const TSearchObject &member, const QDateTime &date);
    // Un-assigns the members of the events (locked ones too, or only the unlocked ones) and
    // refreshes the views' event list; false when that failed.
    bool RemoveAllAssigments(const QStringList &eventIds);
    bool RemoveNonLockedAssigments(const QStringList &eventIds);
    // "Ministers:" and one line per scheduled function of the event's liturgy, read from the
    // storage whatever the views' lists show.
    QString GetEventDetails(const QString &eventId);
    // Events of the views' list starting on the days from start to end; 0 when start is after
    // end, -1 when the list is closed or the count failed.
    int LiturgiesInPeriode(const QDateTime &endDate, const QDateTime &startDate);
    static QStringList NewStringList() { return {}; }
    // A save refused because another planner changed a row since it was read: tells the
    // planner which row (a liturgy by its subject and start) and, on his Yes, loads it as
    // stored; true then. Every other pending change stays.
    static bool OfferStoredRow(const EDAChangedByAnotherUser &refusal);
    // A change of the views' event list, its liturgies or its functions not yet sent: one a
    // planner kept after a refusal. Such a list is not read again (which would drop it) until a
    // save has sent it.
    bool ViewsListPending() const;

    // The scheduled functions of one event's liturgy, read into a table of the caller's own so
    // that no shared table moves (empty when the event has no liturgy).
    std::unique_ptr<TDACDSDataTable> ReadFunctionsOfEvent(const QString &eventId);
    // Every event of the storage in a table of the caller's own, whatever where clause or
    // filter a view or an editor run left on the shared event lists.
    std::unique_ptr<TDACDSDataTable> ReadAllEvents();


    // Events service
    TDACDSDataTable EventList;
    TDACDSDataTable ScheduledLiturgies;
    TDACDSDataTable DAScheduledMinistryFunctions;            // the editor's grid
    TDACDSDataTable tbl_DAScheduledMinistryFunctionsUnbound; // the function rows of planned copies
    TDACDSDataTable tbl_DAEventList1;                        // the views' event list
    TDACDSDataTable tbl_DAScheduleLiturgiesFromEvent1;       // detail of the views' list
    TDACDSDataTable tbl_DAScheduledMinistryFunctions1;       // detail of that
    TDACDSDataTable DAEventColors;
    // Resource service
    TDACDSDataTable MinistryFunctions;
    TDACDSDataTable LiturgyTemplates;
    TDACDSDataTable DALocations;
    TDACDSDataTable DAMinistryTemplates;
    TDACDSDataTable DALnkMinistryTemplateToMinistryFunction;
    TDACDSDataTable DACalenderData;
    // Contacts service
    TDACDSDataTable DAUnAvailiabillity;

private:
    bool UnAssign(const QStringList &eventIds, bool includeLocked);

    std::shared_ptr<IEventsService> m_eventsService;
};
