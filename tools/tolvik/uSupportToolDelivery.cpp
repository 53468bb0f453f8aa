#include "tools/tolvik/uSupportToolDelivery.h"

#include "updating/SoapCall.h"
#include "updating/WebServiceSettings.h"

#include "foundation/QuorvaLogFile.h"

TSupportToolDelivery_Proxy::TSupportToolDelivery_Proxy(const QString &host)
    : m_host(host)
{
}

void TSupportToolDelivery_Proxy::SubmitReport(const QString &xmldoc, const QString &senderemail,
                                              const QString &senderorg, const QString &sendername)
{
    if (m_host.isEmpty()) {
        AddToLog(llInformation, QStringLiteral("Tolvik"), QStringLiteral("SubmitReport"),
                 QStringLiteral("No support delivery service configured; the report is not sent"));
        throw ESupportDeliveryError("no support delivery service is configured");
    }
    const QString targetNamespace = m_host + QLatin1Char('/');
    TSoapRequest request;
    request.Location = QUrl(m_host + QStringLiteral("/SupportToolDelivery.asmx"));
    request.SoapAction = targetNamespace + QStringLiteral("SubmitReport");
    request.TargetNamespace = QStringLiteral("uSupportToolDelivery_Intf");
    request.Operation = QStringLiteral("SubmitReport");
    request.Parameters = {{QStringLiteral("xmldoc"), xmldoc},
                          {QStringLiteral("senderemail"), senderemail},
                          {QStringLiteral("senderorg"), senderorg},
                          {QStringLiteral("sendername"), sendername}};
    try {
        TSoapCall::Invoke(request, QStringLiteral("SubmitReportResponse"));
    } catch (const ESoapError &error) {
        AddToLog(llWarning, QStringLiteral("Tolvik"), QStringLiteral("SubmitReport"), QString::fromStdString(error.what()));
        throw ESupportDeliveryError(error.what());
    }
}

std::unique_ptr<SupportToolDelivery> CoSupportToolDelivery::Create(const QString &toolFolder)
{
    return std::make_unique<TSupportToolDelivery_Proxy>(WebServiceSettings::Host(toolFolder, SettingsKey));
}
