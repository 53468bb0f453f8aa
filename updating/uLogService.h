// Client of the maker's usage-log web service: a data server reports its name, address,
// computer and version with AddSimpleLog. No configured host means no report.
#pragma once

#include "updating/UpdatingExport.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
struct TSoapRequest;

// The arguments of one AddSimpleLog call.
struct UPDATING_EXPORT TUsageReport
{
    QString appid;
    QString remoteuri;
    qint32 logType = 0;
    QString description;

    // The report of a program: appid, "address (computer)" with the address from the machine's
    // interfaces, log type 0 and the key/value description with a new machine identifier.
    static TUsageReport Make(const QString &appId, const QString &serverVersion);
    // "AppID", "APP01", "ServerVersion", version, "GetComputerNetName", computer, "Mac", identifier,
    // each line ended by CR LF.
    static QString Description(const QString &serverVersion, const QString &computerName, const QString &machineId);
    // What describe() builds, or "Unable to create description : " and the reason it failed:
    // the report goes out either way.
    static QString DescriptionOrReason(const std::function<QString()> &describe);
    // Twelve upper-case hexadecimal digits: the last six bytes of a new GUID.
    static QString NewMachineId();
};

class UPDATING_EXPORT TLogService
{
public:
    // host: the usage-log host URL without trailing "/"; empty means offline.
    explicit TLogService(const QString &host);

    QUrl Location() const;
    QString TargetNamespace() const;
    bool Configured() const { return !m_host.isEmpty(); }

    // The service's Boolean answer. Raises ESoapError when the report could not be delivered;
    // without a host it writes one log line and answers false.
    bool AddSimpleLog(const QString &appid, const QString &remoteuri, qint32 logType, const QString &description) const;
    bool AddSimpleLog(const TUsageReport &report) const;
    // The same without waiting: done(delivered, error text) follows on the manager's thread.
    void AddSimpleLogAsync(QNetworkAccessManager *manager, const TUsageReport &report,
                           std::function<void(bool, const QString &)> done) const;

private:
    TSoapRequest Request(const TUsageReport &report) const;

    QString m_host;
};
