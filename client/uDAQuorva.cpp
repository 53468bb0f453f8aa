#include "client/uDAQuorva.h"

#include "Quorva_Data_Service_Intf.h"

TDAQuorva::TDAQuorva(std::shared_ptr<TROMessage> message, std::shared_ptr<TROTransportChannel> channel)
    : m_settings(CoSettingsService::Create(message, channel))
    , m_reports(CoReportService::Create(message, channel))
    , m_contacts(CoContactsService::Create(message, channel))
    , m_resources(CoResourceService::Create(message, channel))
    , m_events(CoEventsService::Create(message, channel))
{
}

TDAQuorva::~TDAQuorva() = default;
