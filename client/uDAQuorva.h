// The host's data-access module, made once a server is being looked for: the remote services
// that the search, report and preview windows and the report designer use, all on the host's
// channel and message. Their client tables come with those windows.
#pragma once

#include <memory>

class IContactsService;
class IEventsService;
class IReportService;
class IResourceService;
class ISettingsService;
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

private:
    std::shared_ptr<ISettingsService> m_settings;
    std::shared_ptr<IReportService> m_reports;
    std::shared_ptr<IContactsService> m_contacts;
    std::shared_ptr<IResourceService> m_resources;
    std::shared_ptr<IEventsService> m_events;
};
