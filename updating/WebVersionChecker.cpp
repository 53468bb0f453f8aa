#include "updating/WebVersionChecker.h"

#include "updating/SoapCall.h"

#include "foundation/QuorvaLogFile.h"

TService::TService(const QString &host)
    : m_host(host)
{
}

QUrl TService::Location() const
{
    return QUrl(m_host + QStringLiteral("/Service.asmx"));
}

QString TService::LastVersionOfApplication(const QString &AppID) const
{
    if (!Configured()) {
        AddToLog(llInformation, QStringLiteral("Service"), QStringLiteral("LastVersionOfApplication"),
                 QStringLiteral("No version-check service configured; no update"));
        return {};
    }
    TSoapRequest request;
    request.Location = Location();
    // The action is the host followed by the operation, so the namespace is the host's root.
    request.TargetNamespace = m_host + QLatin1Char('/');
    request.Operation = QStringLiteral("LastVersionOfApplication");
    request.SoapAction = request.TargetNamespace + request.Operation;
    request.Parameters = {{QStringLiteral("AppID"), AppID}};
    const TSoapAnswer answer = TSoapCall::Invoke(request, QStringLiteral("LastVersionOfApplicationResponse"));
    return Soap::ChildText(answer.Response, QStringLiteral("LastVersionOfApplicationResult"));
}
