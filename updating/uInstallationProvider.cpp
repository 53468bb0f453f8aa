#include "updating/uInstallationProvider.h"

#include "updating/SoapCall.h"

namespace {

const QString kServicePath = QStringLiteral("/InstallationProvider/");
const QString kEndpointFile = QStringLiteral("installationprovider.asmx");

InstallationFile readFile(const QDomElement &item)
{
    InstallationFile file;
    file.FileName = Soap::ChildText(item, QStringLiteral("FileName"));
    file.Size = Soap::ChildText(item, QStringLiteral("Size")).trimmed();
    file.Version = Soap::ChildText(item, QStringLiteral("Version"));
    file.DownloadPath = Soap::ChildText(item, QStringLiteral("DownloadPath")).trimmed();
    file.TargetDir = Soap::ChildText(item, QStringLiteral("TargetDir"));
    file.RegisterMe = Soap::ChildBoolean(item, QStringLiteral("RegisterMe"));
    file.UTCLastModified = QDateTime::fromString(Soap::ChildText(item, QStringLiteral("UTCLastModified")).trimmed(),
                                                 Qt::ISODateWithMs);
    return file;
}

} // namespace

TInstallationProvider::TInstallationProvider(const QString &host)
    : m_host(host)
{
}

QUrl TInstallationProvider::Location() const
{
    return QUrl(m_host + kServicePath + kEndpointFile);
}

QString TInstallationProvider::TargetNamespace() const
{
    return m_host + kServicePath;
}

ArrayOfInstallationFile TInstallationProvider::GetProductFiles(const QString &prodShortName, qint32 LCID,
                                                               const QString &wantedVersion,
                                                               QString &deliveredVersion) const
{
    TSoapRequest request;
    request.Location = Location();
    request.TargetNamespace = TargetNamespace();
    request.Operation = QStringLiteral("GetProductFiles");
    request.SoapAction = request.TargetNamespace + request.Operation;
    request.Parameters = {{QStringLiteral("prodShortName"), prodShortName},
                          {QStringLiteral("LCID"), QString::number(LCID)},
                          {QStringLiteral("wantedVersion"), wantedVersion}};
    const TSoapAnswer answer = TSoapCall::Invoke(request, QStringLiteral("GetProductFilesResponse"));
    return ReadFiles(answer.Response, deliveredVersion);
}

ArrayOfInstallationFile TInstallationProvider::ReadFiles(const QDomElement &response, QString &deliveredVersion)
{
    ArrayOfInstallationFile files;
    const QDomElement result = Soap::Child(response, QStringLiteral("GetProductFilesResult"));
    for (QDomElement item = result.firstChildElement(); !item.isNull(); item = item.nextSiblingElement()) {
        const QString name = item.localName().isEmpty() ? item.tagName() : item.localName();
        if (name == QLatin1String("InstallationFile"))
            files << readFile(item);
    }
    deliveredVersion = Soap::ChildText(response, QStringLiteral("deliveredVersion"));
    return files;
}
