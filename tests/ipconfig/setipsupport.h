#pragma once

// What the Set IP and MAC filter tests share: a device on loopback, its replies, and filling the Set IP dialog.
#include "../support/hexbytes.h"
#include "../support/loopback.h"
#include "session/devicetarget.h"

#include <QTest>

#include <net/if.h>

namespace testsupport {

// The exchange's own test builds without widgets.
#ifdef QT_WIDGETS_LIB
/// Fills a Set IP dialog and clicks its OK. No addresses choose DHCP; else static, and address,
/// mask and gateway are each written unless empty, one without dots typed where the caret is.
inline void submitSetIp(QWidget *dialog, const QStringList &addresses)
{
    const auto child = [dialog](const QString &name) { return dialog->findChild<QWidget *>(name); };
    // A click would take the caret away from the field it waits in.
    QWidget *option = child(addresses.isEmpty() ? QStringLiteral("Option2") : QStringLiteral("Option1"));
    if (!option->property("checked").toBool())
        QTest::mouseClick(option, Qt::LeftButton);
    for (int i = 0; i < addresses.size(); ++i) {
        if (addresses[i].contains(u'.'))
            child(QStringLiteral("VelmoIPAddress%1").arg(i + 1))->setProperty("ipAddress", addresses[i]);
        else
            QTest::keyClicks(dialog->focusWidget(), addresses[i]);
    }
    QTest::mouseClick(child(QStringLiteral("Command2")), Qt::LeftButton);
}
#endif

// For tests that run in a private network namespace with only lo: the workstation's adapter is 127.0.0.1, broadcasts to
// 255.255.255.255:4000 reach the listener, and the device AP-Lobby answers from 127.0.0.2.
struct LoopbackDevice
{
    static inline const QString AdapterAddress = QStringLiteral("127.0.0.1");
    static inline const QString DeviceAddress = QStringLiteral("127.0.0.2");
    static inline const QByteArray DeviceMac = QByteArray::fromHex("000A1B2C3D4E");
    static inline const QByteArray AdapterMac = QByteArray::fromHex("02005E100001");
    /// "admin" scrambled for AP-Lobby, then the device's and the adapter's MAC.
    static inline const QByteArray AdminAuth = hexBytes("204921060C622D4162414150 000A1B2C3D4E 02005E100001");

    QUdpSocket listener;
    QUdpSocket device;

    bool bind()
    {
        return listener.bind(QHostAddress::AnyIPv4, 4000) && device.bind(QHostAddress(DeviceAddress), 0);
    }

    /// AP-Lobby, found through lo.
    static farlight::DeviceTarget target()
    {
        return {*farlight::MacFromBytes(DeviceMac), DeviceAddress, QStringLiteral("AP-Lobby"), AdapterAddress,
                *farlight::MacFromBytes(AdapterMac), int(if_nametoindex("lo")), QStringLiteral("lo"),
                QStringLiteral("255.0.0.0"), QStringLiteral("127.1.1.254")};
    }

    /// The next datagram broadcast to the device, or none after @p timeoutMs.
    QByteArray nextRequest(int timeoutMs = 5000) { return nextDatagram(listener, timeoutMs).data(); }

    /// Drops what a test left unread, so that it is not taken for the next test's request.
    void drain() { testsupport::drain(listener); }

    void answer(const QByteArray &reply, quint16 port)
    {
        device.writeDatagram(reply, QHostAddress(AdapterAddress), port);
    }
};

// The device's replies to a run's first requests: magic, opcode, flag and sequence, the requesting
// adapter's MAC, six bytes not examined, the status and two spare bytes; a filter reply then
// carries the list (@p listed) from its first slot, padded to 792 bytes.
inline QByteArray setIpReply(const char *statusHex, quint16 sequence = 0)
{
    QByteArray reply = hexBytes("87654321 2111 0000") + LoopbackDevice::AdapterMac + zeros(6) + hexBytes(statusHex) + zeros(2);
    reply[6] = char(sequence >> 8);
    reply[7] = char(sequence & 0xFF);
    return reply;
}

inline QByteArray filterReply(const char *flagSequence, const char *status, const QByteArray &listed = {})
{
    const QByteArray head = hexBytes("87654321 60") + hexBytes(flagSequence) + LoopbackDevice::AdapterMac + zeros(6)
        + hexBytes(status) + zeros(2) + listed;
    return head + zeros(792 - head.size());
}

} // namespace testsupport
