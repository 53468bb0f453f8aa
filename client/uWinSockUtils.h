// The host name behind a server's address, for the server list's tooltips.
#pragma once

#include <QString>

class TWinSockUtils
{
public:
    static inline const QString Unresolved = QStringLiteral("unresolved");

    // The name of the host in a URL such as "http://192.168.1.20:8099": "http://" is dropped,
    // the part before the next ":" is looked up by its IPv4 address. Unresolved when there is
    // no name (or the part is no IPv4 address).
    static QString GetHostNameFromURL(const QString &url);
};
