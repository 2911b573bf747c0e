#pragma once

#include <QByteArray>
#include <QHostAddress>

namespace farlight {

/// @brief A datagram as the simulator received it, with the addressing the socket layer saw.
struct InboundDatagram
{
    QByteArray data;
    QHostAddress sender;
    quint16 senderPort = 0;
    QHostAddress destination;
    quint16 destinationPort = 0;
    /// The interface it arrived on; 0 when unknown.
    int interfaceIndex = 0;
};

/// @brief A datagram the simulator wants sent: from which address and port, to where, and when.
struct OutboundDatagram
{
    QByteArray data;
    QHostAddress source;
    quint16 sourcePort = 0;
    QHostAddress destination;
    quint16 destinationPort = 0;
    /// The interface to leave by; 0 lets the routing decide from the source address.
    int interfaceIndex = 0;
    int delayMs = 0;
};

} // namespace farlight
