#include "updating/uLogService.h"

#include "updating/SoapCall.h"

#include "foundation/QuorvaLogFile.h"
#include "foundation/uCommon.h"

#include <QNetworkAccessManager>
#include <QUuid>

namespace {

const QString kServicePath = QStringLiteral("/QuorvaLogging/");
const QString kEndpointFile = QStringLiteral("logservice.asmx");
const QString kCrLf = QStringLiteral("\r\n");

void logSkipped()
{
    AddToLog(llInformation, QStringLiteral("LogService"), QStringLiteral("AddSimpleLog"),
             QStringLiteral("No usage-log service configured; report skipped"));
}

} // namespace

TUsageReport TUsageReport::Make(const QString &appId, const QString &serverVersion)
{
    TUsageReport report;
    report.appid = appId;
    const QString computer = TvoSysInfo::GetComputerName();
    report.remoteuri = QStringLiteral("%1 (%2)").arg(TvoSysInfo::GetLocalIP(), computer);
    report.logType = 0;
    report.description = DescriptionOrReason([&] { return Description(serverVersion, computer, NewMachineId()); });
    return report;
}

QString TUsageReport::DescriptionOrReason(const std::function<QString()> &describe)
{
    try {
        return describe();
    } catch (const std::exception &e) {
        return QStringLiteral("Unable to create description : ") + QString::fromUtf8(e.what());
    }
}

QString TUsageReport::Description(const QString &serverVersion, const QString &computerName, const QString &machineId)
{
    const QStringList lines = {QStringLiteral("AppID"), QStringLiteral("APP01"),
                               QStringLiteral("ServerVersion"), serverVersion,
                               QStringLiteral("GetComputerNetName"), computerName,
                               QStringLiteral("Mac"), machineId};
    return lines.join(kCrLf) + kCrLf;
}

QString TUsageReport::NewMachineId()
{
    const QByteArray bytes = QUuid::createUuid().toRfc4122();
    return QString::fromLatin1(bytes.right(6).toHex().toUpper());
}

TLogService::TLogService(const QString &host)
    : m_host(host)
{
}

QUrl TLogService::Location() const
{
    return QUrl(m_host + kServicePath + kEndpointFile);
}

QString TLogService::TargetNamespace() const
{
    return m_host + kServicePath;
}

TSoapRequest TLogService::Request(const TUsageReport &report) const
{
    TSoapRequest request;
    request.Location = Location();
    request.TargetNamespace = TargetNamespace();
    request.Operation = QStringLiteral("AddSimpleLog");
    request.SoapAction = request.TargetNamespace + request.Operation;
    request.Parameters = {{QStringLiteral("appid"), report.appid},
                          {QStringLiteral("remoteuri"), report.remoteuri},
                          {QStringLiteral("logType"), QString::number(report.logType)},
                          {QStringLiteral("description"), report.description}};
    return request;
}

bool TLogService::AddSimpleLog(const QString &appid, const QString &remoteuri, qint32 logType,
                               const QString &description) const
{
    return AddSimpleLog(TUsageReport{appid, remoteuri, logType, description});
}

bool TLogService::AddSimpleLog(const TUsageReport &report) const
{
    if (!Configured()) {
        logSkipped();
        return false;
    }
    const TSoapAnswer answer = TSoapCall::Invoke(Request(report), QStringLiteral("AddSimpleLogResponse"));
    return Soap::ChildBoolean(answer.Response, QStringLiteral("AddSimpleLogResult"));
}

void TLogService::AddSimpleLogAsync(QNetworkAccessManager *manager, const TUsageReport &report,
                                    std::function<void(bool, const QString &)> done) const
{
    if (!Configured()) {
        logSkipped();
        done(false, QString());
        return;
    }
    auto *call = new TSoapCall(manager);
    QObject::connect(call, &TSoapCall::finished, call, [call, done = std::move(done)] {
        const bool delivered = call->Succeeded()
                            && Soap::ChildBoolean(call->Answer().Response, QStringLiteral("AddSimpleLogResult"));
        done(delivered, call->ErrorText());
        call->deleteLater();
    });
    call->Start(manager, Request(report), QStringLiteral("AddSimpleLogResponse"));
}
