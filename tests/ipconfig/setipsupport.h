#pragma once

// What the Set IP tests share: filling the dialog, and a device on loopback.
#include "session/appstate.h"

#include <QDeadlineTimer>
#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>

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

// For tests that run in a private network namespace with only lo: the workstation's adapter is
// 127.0.0.1, broadcasts to 255.255.255.255:4000 reach the listener, and the device answers from
// 127.0.0.2.
struct LoopbackDevice
{
    static inline const QString AdapterAddress = QStringLiteral("127.0.0.1");
    static inline const QString DeviceAddress = QStringLiteral("127.0.0.2");
    static inline const QByteArray DeviceMac = QByteArray::fromHex("000A1B2C3D4E");
    static inline const QByteArray AdapterMac = QByteArray::fromHex("02005E100001");

    QUdpSocket listener;
    QUdpSocket device;

    bool bind()
    {
        return listener.bind(QHostAddress::AnyIPv4, 4000) && device.bind(QHostAddress(DeviceAddress), 0);
    }

    /// One adapter on lo and the device AP-Lobby found through it, at index 0 of both tables.
    static void fill(farlight::AppState &state)
    {
        state.adapterTable[0] = {.IpAddress = AdapterAddress, .SubnetMask = QStringLiteral("255.0.0.0"),
                                 .Gateway = QStringLiteral("127.1.1.254"), .Mac = {},
                                 .InterfaceIndex = int(if_nametoindex("lo")), .HasAddress = 1, .Name = QStringLiteral("lo")};
        std::copy(AdapterMac.cbegin(), AdapterMac.cend(), state.adapterTable[0].Mac.begin());
        state.adapterCount = 1;
        state.deviceTable[0].HostName = QStringLiteral("AP-Lobby");
        state.deviceTable[0].IpAddress = DeviceAddress;
        std::copy(DeviceMac.cbegin(), DeviceMac.cend(), state.deviceTable[0].Mac.begin());
        state.deviceCount = 1;
    }

    /// AP-Lobby as an exchange takes it.
    static farlight::DeviceTarget target()
    {
        farlight::AppState state;
        fill(state);
        return *state.target(0);
    }

    /// The next datagram broadcast to the device, or none after @p timeoutMs.
    QByteArray nextRequest(int timeoutMs = 5000)
    {
        for (const QDeadlineTimer deadline(timeoutMs); !listener.hasPendingDatagrams() && !deadline.hasExpired();)
            QTest::qWait(5);
        return listener.hasPendingDatagrams() ? listener.receiveDatagram().data() : QByteArray();
    }

    /// Drops what a test left unread, so that it is not taken for the next test's request.
    void drain()
    {
        while (listener.hasPendingDatagrams())
            listener.receiveDatagram();
    }

    void answer(const QByteArray &reply, quint16 port)
    {
        device.writeDatagram(reply, QHostAddress(AdapterAddress), port);
    }
};

/// A set-IP reply to the first request of a run, as the device sends it: magic, opcode, a flag,
/// the sequence, the requesting adapter's MAC, six bytes not examined, the status, a spare byte.
inline QByteArray setIpReply(const char *statusHex, const QByteArray &mac = LoopbackDevice::AdapterMac)
{
    return QByteArray::fromHex("8765432121110000") + mac + QByteArray(6, '\0') + QByteArray::fromHex(statusHex) + '\0';
}

} // namespace testsupport
