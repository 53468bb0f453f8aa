// Client of the maker's installation web service "InstallationProvider": the product file
// list that the self-update compares with the installed files. Only GetProductFiles is used.
#pragma once

#include "updating/UpdatingExport.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>

class QDomElement;

class InstallationFile
{
public:
    QString FileName;     // relative to the program folder; may hold sub-folders
    QString Size;         // decimal byte count
    QString Version;      // dotted numbers
    QString DownloadPath; // full URL of the file
    QString TargetDir;
    bool RegisterMe = false;
    QDateTime UTCLastModified;
};

using ArrayOfInstallationFile = QList<InstallationFile>;
using ArrayOfInt = QList<qint32>;

class UPDATING_EXPORT TInstallationProvider
{
public:
    // host: the service's host URL without trailing "/", e.g. "https://updates.example.org".
    explicit TInstallationProvider(const QString &host);

    QUrl Location() const;
    QString TargetNamespace() const;

    // Raises ESoapError when the service cannot be reached or answers with a fault.
    ArrayOfInstallationFile GetProductFiles(const QString &prodShortName, qint32 LCID, const QString &wantedVersion,
                                            QString &deliveredVersion) const;

    // Exposed for tests: the file list of a GetProductFilesResponse element.
    static ArrayOfInstallationFile ReadFiles(const QDomElement &response, QString &deliveredVersion);

private:
    QString m_host;
};
