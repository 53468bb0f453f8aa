// Ports for servers that tests start in other processes.
#pragma once

#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QUdpSocket>

namespace kestrova::test {

// Picked below the kernel's ephemeral range: a port the kernel hands out for port 0 can be
// taken by any outgoing connection of the tests running beside this one before the server
// binds it. Answers 0 when no port in the range is free.
inline quint16 FreePort(bool udp)
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto port = quint16(QRandomGenerator::global()->bounded(20000, 32000));
        if (udp) {
            QUdpSocket probe;
            if (probe.bind(QHostAddress::AnyIPv4, port))
                return port;
        } else {
            QTcpServer probe;
            if (probe.listen(QHostAddress::AnyIPv4, port))
                return port;
        }
    }
    return 0;
}

inline quint16 FreeTcpPort() { return FreePort(false); }
inline quint16 FreeUdpPort() { return FreePort(true); }

} // namespace kestrova::test
