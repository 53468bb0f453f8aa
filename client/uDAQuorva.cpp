#include "client/uDAQuorva.h"

#include "Quorva_Data_Service_Intf.h"
#include "contract/TDAProxyDataAdapter.h"
#include "dataaccess/DAException.h"
#include "dataaccess/TDACDSDataTable.h"

namespace {

const QString kQueryParam = QStringLiteral("ASearchQuery");
const QString kMaxRecordsParam = QStringLiteral("AMaxRecords");

// The search table's way to its rows: the whole query travels to GetSearchData, which
// answers a dataset stream like any table fetch. Search rows are never written back.
class TDASearchAdapter : public TDARemoteDataAdapter
{
public:
    explicit TDASearchAdapter(std::shared_ptr<IContactsService> service) : m_service(std::move(service)) {}

    QByteArray GetData(const QStringList &, const QList<TableRequestInfoV5> &requestInfo) override
    {
        QString query;
        int maxRecords = -1;
        for (const DataParameter &param : requestInfo.value(0).Parameters) {
            if (param.Name.compare(kQueryParam, Qt::CaseInsensitive) == 0)
                query = param.Value.toString();
            else if (param.Name.compare(kMaxRecordsParam, Qt::CaseInsensitive) == 0)
                maxRecords = param.Value.toInt();
        }
        const std::unique_ptr<TROBinaryMemoryStream> stream = m_service->GetSearchData(query, maxRecords);
        if (!stream)
            throw EDAException(QStringLiteral("The server sent no search data"));
        return stream->Bytes();
    }

    QByteArray UpdateData(const QByteArray &) override
    {
        throw EDAException(QStringLiteral("Search results cannot be changed"));
    }

private:
    std::shared_ptr<IContactsService> m_service;
};

} // namespace

TDAQuorva::TDAQuorva(std::shared_ptr<TROMessage> message, std::shared_ptr<TROTransportChannel> channel)
    : m_settings(CoSettingsService::Create(message, channel))
    , m_reports(CoReportService::Create(message, channel))
    , m_contacts(CoContactsService::Create(message, channel))
    , m_resources(CoResourceService::Create(message, channel))
    , m_events(CoEventsService::Create(message, channel))
    , m_searchAdapter(std::make_unique<TDASearchAdapter>(m_contacts))
    , m_resourceAdapter(std::make_unique<TDAProxyDataAdapter>(m_resources))
    , m_search(std::make_unique<TDACDSDataTable>(QStringLiteral("SearchData"), m_searchAdapter.get()))
    , m_ministryFunctions(std::make_unique<TDACDSDataTable>(QStringLiteral("MinistryFunctions"), m_resourceAdapter.get()))
{
    m_search->ParamByName(kQueryParam).Value = QString();
    m_search->ParamByName(kMaxRecordsParam).Value = -1;
}

TDAQuorva::~TDAQuorva() = default;
