// Client of the maker's version-lookup web service ("Service"): the last version of an
// application. No configured host means offline: no newer version is known.
#pragma once

#include "updating/UpdatingExport.h"

#include <QString>
#include <QUrl>

class UPDATING_EXPORT TService
{
public:
    // host: the version-check host URL without trailing "/"; empty means offline.
    explicit TService(const QString &host);

    QUrl Location() const;
    bool Configured() const { return !m_host.isEmpty(); }

    // The service's answer; raises ESoapError on failure. Without a host it writes one log line
    // and answers an empty text ("no update").
    QString LastVersionOfApplication(const QString &AppID) const;

private:
    QString m_host;
};
