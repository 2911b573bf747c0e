#pragma once

#include "protocol/bytereader.h"
#include "protocol/packetheader.h"
#include "protocol/searchcodec.h"

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QUdpSocket>

// For the tests in a private network namespace with only lo: the workstation's adapter is
// 127.0.0.1, and the devices are sockets of the test on further loopback addresses.
namespace testsupport {

/// The next datagram that reaches @p socket, waited for up to @p timeoutMs; a null one when none came.
inline QNetworkDatagram nextDatagram(QUdpSocket &socket, int timeoutMs = 3000)
{
    if (!socket.hasPendingDatagrams() && !QSignalSpy(&socket, &QUdpSocket::readyRead).wait(timeoutMs))
        return {};
    return socket.receiveDatagram();
}

/// Drops what a test left unread at @p socket, so that it is not taken for the next test's.
inline void drain(QUdpSocket &socket)
{
    while (socket.hasPendingDatagrams())
        socket.receiveDatagram();
}

/// Sends the search reply @p fields from a device socket at @p from to the search socket 127.0.0.1:@p port.
inline bool sendSearchReply(const QString &from, quint16 port, const farlight::SearchReplyFields &fields)
{
    QUdpSocket device;
    return device.bind(QHostAddress(from), 0)
        && device.writeDatagram(farlight::BuildSearchReply(fields), QHostAddress::LocalHost, port) > 0;
}

/// What the device @p mac named @p host answers to @p request; nothing when that is no search request.
inline QByteArray searchAnswer(const QByteArray &request, const farlight::MacAddress &mac, const QByteArray &host = "AP")
{
    using namespace farlight;
    const ByteReader r(request);
    const auto sequence = r.u16be(PacketHeader::SequenceOffset);
    const auto requester = r.mac(SearchLayout::RequesterMacOffset);
    if (r.u8(PacketHeader::OpcodeOffset) != Opcode::Search || !sequence || !requester)
        return {};
    return BuildSearchReply({*sequence, *requester, mac, host, {}, 0, 0});
}

} // namespace testsupport
