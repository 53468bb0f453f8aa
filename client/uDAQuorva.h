// The host's data-access module, made once a server is being looked for: the remote services
// that the search, report and preview windows and the report designer use, all on the host's
// channel and message, and the client tables of the search dialog.
#pragma once

#include <memory>

class IContactsService;
class IEventsService;
class IReportService;
class IResourceService;
class ISettingsService;
class TDACDSDataTable;
class TDARemoteDataAdapter;
class TROMessage;
class TROTransportChannel;

class TDAQuorva
{
public:
    TDAQuorva(std::shared_ptr<TROMessage> message, std::shared_ptr<TROTransportChannel> channel);
    ~TDAQuorva();
    TDAQuorva(const TDAQuorva &) = delete;
    TDAQuorva &operator=(const TDAQuorva &) = delete;

    std::shared_ptr<ISettingsService> SettingsService() const { return m_settings; }
    std::shared_ptr<IReportService> ReportService() const { return m_reports; }
    std::shared_ptr<IContactsService> ContactsService() const { return m_contacts; }
    std::shared_ptr<IResourceService> ResourceService() const { return m_resources; }
    std::shared_ptr<IEventsService> EventsService() const { return m_events; }

    // The search dialog's rows (logical name "SearchData"): its parameters "ASearchQuery" and
    // "AMaxRecords" go to ContactsService.GetSearchData when it opens.
    TDACDSDataTable &DASearch() const { return *m_search; }
    // Every ministry function ("MinistryFunctions" of the resource service), for the search
    // dialog's function filter.
    TDACDSDataTable &DAMinistryFunctions() const { return *m_ministryFunctions; }

private:
    std::shared_ptr<ISettingsService> m_settings;
    std::shared_ptr<IReportService> m_reports;
    std::shared_ptr<IContactsService> m_contacts;
    std::shared_ptr<IResourceService> m_resources;
    std::shared_ptr<IEventsService> m_events;
    std::unique_ptr<TDARemoteDataAdapter> m_searchAdapter;
    std::unique_ptr<TDARemoteDataAdapter> m_resourceAdapter;
    std::unique_ptr<TDACDSDataTable> m_search;
    std::unique_ptr<TDACDSDataTable> m_ministryFunctions;
};
