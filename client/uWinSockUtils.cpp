#include "client/uWinSockUtils.h"

#include <QHostAddress>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

QString TWinSockUtils::GetHostNameFromURL(const QString &url)
{
    QString host = url;
    if (host.startsWith(QLatin1String("http://"), Qt::CaseInsensitive))
        host.remove(0, 7);
    const qsizetype colon = host.indexOf(QLatin1Char(':'));
    if (colon >= 0)
        host.truncate(colon);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (::inet_pton(AF_INET, host.toLatin1().constData(), &address.sin_addr) != 1)
        return Unresolved;
    char name[NI_MAXHOST];
    // NI_NAMEREQD: an address without a name is no name.
    if (::getnameinfo(reinterpret_cast<const sockaddr *>(&address), sizeof address, name, sizeof name, nullptr, 0,
                      NI_NAMEREQD) != 0)
        return Unresolved;
    return QString::fromLocal8Bit(name);
}
