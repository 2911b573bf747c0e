// The workstation's two adapters are a0 (10.1.0.1 and 10.1.0.11) and b0 (10.2.0.1). The far ends
// a1 and b1 sit in a second namespace that plays the device: a1 holds 192.168.50.2 (another
// subnet, its primary address) and 10.1.0.2, b1 holds 10.2.0.2.
#include "labnet.h"
#include "netenv/udppeer.h"

#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

using namespace farlight;
using namespace farlight::test;

static constexpr quint16 DevicePort = 4000;
static constexpr quint16 TftpPort = 14321;
static const QString Broadcast = QStringLiteral("255.255.255.255");
static const QRegularExpression DisplayedError(QStringLiteral("^UDP socket error"));

class TestUdpPeer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // Links made outside the private namespace that ctest gives the test would be this machine's.
        QVERIFY2(qgetenv("FARLIGHT_IN_NETNS") == "1", "run through ctest");
        // The holder enters a namespace of its own, says so and keeps it until its input closes.
        m_holder.start("unshare", {"--net", "sh", "-c", "echo ready && exec cat"});
        QVERIFY(m_holder.waitForReadyRead());
        const QString deviceNamespace = QStringLiteral("/proc/%1/ns/net").arg(m_holder.processId());
        m_ownNamespace = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
        m_deviceNamespace = ::open(deviceNamespace.toLatin1().constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(m_ownNamespace >= 0 && m_deviceNamespace >= 0);

        const QString holder = QString::number(m_holder.processId());
        const QString device = "nsenter --net=" + deviceNamespace + " ip";
        const QStringList commands{"ip link add a0 type veth peer name a1 netns " + holder,
                                   "ip link add b0 type veth peer name b1 netns " + holder,
                                   "ip addr add 10.1.0.1/24 dev a0", "ip addr add 10.1.0.11/24 dev a0",
                                   "ip addr add 10.2.0.1/24 dev b0", "ip link set a0 up", "ip link set b0 up",
                                   device + " link set lo up", device + " addr add 192.168.50.2/24 dev a1",
                                   device + " addr add 10.1.0.2/24 dev a1", device + " addr add 10.2.0.2/24 dev b1",
                                   device + " link set a1 up", device + " link set b1 up"};
        for (const QString &command : commands)
            QVERIFY(Run(command));
        QVERIFY(WaitUntilUp("ip", "a0") && WaitUntilUp("ip", "b0"));
        QVERIFY(WaitUntilUp(device, "a1") && WaitUntilUp(device, "b1"));
        m_a0 = InterfaceIndex("a0");
        m_b0 = InterfaceIndex("b0");
        // The device's socket is made with this thread in the device's namespace, and stays there.
        QVERIFY(::setns(m_deviceNamespace, CLONE_NEWNET) == 0);
        m_a1 = InterfaceIndex("a1");
        m_b1 = InterfaceIndex("b1");
        const bool bound = m_device.bind(QHostAddress::AnyIPv4, DevicePort);
        QVERIFY(::setns(m_ownNamespace, CLONE_NEWNET) == 0);
        QVERIFY(bound && m_a0 > 0 && m_b0 > 0 && m_a1 > 0 && m_b1 > 0);
    }

    void cleanupTestCase()
    {
        ::close(m_deviceNamespace);
        ::close(m_ownNamespace);
        // The device's namespace and its links end with the holder.
        m_holder.closeWriteChannel();
        m_holder.waitForFinished();
    }

    void receives_data()
    {
        QTest::addColumn<QString>("to");
        QTest::addColumn<bool>("toB");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("source");

        // A device on 192.168.50.0/24 cannot answer 10.1.0.1 directly, so it broadcasts.
        QTest::newRow("broadcast to A from a device on another subnet")
            << Broadcast << false << QByteArray("reply from afar") << "192.168.50.2";
        QTest::newRow("broadcast to B") << Broadcast << true << QByteArray("for B") << "10.2.0.2";
        QTest::newRow("unicast to A's address, read whole")
            << "10.1.0.1" << false << QByteArray("0123456789abcdefghijklmnopqrstu").repeated(129) << "10.1.0.2";
    }

    void receives()
    {
        QFETCH(QString, to);
        QFETCH(bool, toB);
        QFETCH(QByteArray, payload);
        QFETCH(QString, source);

        // What each dataArrival() handler saw: size, data, source, destination, interface.
        QList<QVariantList> arrivals[2];
        UdpPeer peers[2];
        for (int i : {0, 1}) {
            connect(&peers[i], &UdpPeer::dataArrival, this, [&, i](int bytesTotal) {
                arrivals[i].append({bytesTotal, peers[i].getData(), peers[i].remoteHostIp(),
                                    peers[i].datagramDestination(), peers[i].datagramInterfaceIndex()});
            });
        }
        QVERIFY(peers[0].bind(0, "10.1.0.1", m_a0));
        QVERIFY(peers[1].bind(0, "10.2.0.1", m_b0));
        const int target = toB ? 1 : 0;
        deviceSend(payload, to, peers[target].localPort(), to != Broadcast ? 0 : toB ? m_b1 : m_a1);
        // The other socket gets one datagram of its own; a second would be one that went astray.
        deviceSend("other", Broadcast, peers[1 - target].localPort(), toB ? m_a1 : m_b1);
        QTRY_COMPARE(arrivals[0].size() + arrivals[1].size(), 2);
        QCOMPARE(arrivals[1 - target].size(), 1);
        QCOMPARE(arrivals[target].first(), (QVariantList{int(payload.size()), payload, source, to, toB ? m_b0 : m_a0}));
        // Outside a handler there is no datagram.
        QVERIFY(peers[target].getData().isEmpty());
    }

    void sendLeavesFromAdapter_data()
    {
        QTest::addColumn<QString>("local");
        QTest::addColumn<QString>("remote");

        QTest::newRow("broadcast from adapter B") << "10.2.0.1" << Broadcast;
        // The system would pick 10.1.0.1 by itself; the adapter's own address must win.
        QTest::newRow("broadcast from the second address of A") << "10.1.0.11" << Broadcast;
        QTest::newRow("unicast to the device") << "10.1.0.1" << "10.1.0.2";
        QTest::newRow("unicast to a device on another subnet") << "10.1.0.1" << "192.168.50.2";
    }

    void sendLeavesFromAdapter()
    {
        QFETCH(QString, local);
        QFETCH(QString, remote);

        const bool adapterA = local.startsWith("10.1.");
        UdpPeer peer;
        QVERIFY(peer.bind(0, local, adapterA ? m_a0 : m_b0));
        peer.setRemoteHost(remote);
        peer.setRemotePort(DevicePort);
        const QByteArray request = QByteArray::fromHex("87654321120000010200000000010000");
        QVERIFY(peer.sendData(request));

        QVERIFY(m_device.hasPendingDatagrams() || QSignalSpy(&m_device, &QUdpSocket::readyRead).wait());
        const QNetworkDatagram received = m_device.receiveDatagram();
        QCOMPARE(received.data(), request);
        QCOMPARE(received.senderAddress().toString(), local);
        QCOMPARE(received.senderPort(), int(peer.localPort()));
        QCOMPARE(int(received.interfaceIndex()), adapterA ? m_a1 : m_b1);
    }

    void bind_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("bound");

        QTest::newRow("adapter address, TFTP port") << "10.1.0.1" << int(TftpPort) << true;
        QTest::newRow("no particular adapter") << "0.0.0.0" << 0 << true;
        QTest::newRow("empty address text") << "" << 0 << true;
        QTest::newRow("address of no adapter here") << "10.9.9.9" << 0 << false;
        QTest::newRow("not an address") << "10.1.0.256" << 0 << false;
        // Held by the socket of another adapter (below).
        QTest::newRow("fixed port taken") << "10.1.0.1" << int(TftpPort) + 1 << false;
    }

    void bind()
    {
        QFETCH(QString, address);
        QFETCH(int, port);
        QFETCH(bool, bound);

        UdpPeer other;
        QVERIFY(other.bind(TftpPort + 1, "10.2.0.1", m_b0));
        UdpPeer peer;
        int errors = 0;
        connect(&peer, &UdpPeer::error, this, [&errors](int, const QString &, bool &cancelDisplay) {
            ++errors;
            cancelDisplay = true;
        });
        // With the display cancelled, the socket shows nothing itself.
        QTest::failOnWarning(DisplayedError);
        QCOMPARE(peer.bind(quint16(port), address), bound);
        QCOMPARE(peer.localAddress(), bound && !address.isEmpty() ? address : QStringLiteral("0.0.0.0"));
        QCOMPARE(errors, bound ? 0 : 1);
        QCOMPARE(peer.localPort() != 0, bound);
        if (bound && port != 0)
            QCOMPARE(peer.localPort(), quint16(port));
    }

    void closing()
    {
        QList<QByteArray> seen;
        UdpPeer peer;
        peer.close();
        QVERIFY(peer.bind(0, "10.1.0.1", m_a0));
        const quint16 port = peer.localPort();
        // Each handler closes the socket, as a dialog that got its reply does.
        connect(&peer, &UdpPeer::dataArrival, this, [&](int) {
            seen.append(peer.getData());
            peer.close();
        });
        deviceSend("one", "10.1.0.1", port);
        deviceSend("two", "10.1.0.1", port);
        QTRY_COMPARE(seen, QList<QByteArray>{"one"});
        // Bound afresh on the same port, it gets only what is sent after.
        QVERIFY(peer.bind(port, "10.1.0.1", m_a0));
        deviceSend("three", "10.1.0.1", port);
        QTRY_COMPARE(seen, (QList<QByteArray>{"one", "three"}));
        // Closed already by the handler; closing again is harmless.
        peer.close();
        QCOMPARE(peer.localAddress(), QStringLiteral("0.0.0.0"));
        peer.setRemoteHost(Broadcast);
        peer.setRemotePort(DevicePort);
        // Unless an error handler cancels it, the socket shows the error itself.
        QTest::ignoreMessage(QtWarningMsg, DisplayedError);
        QVERIFY(!peer.sendData("closed"));
    }

private:
    // Sends from the device's port 4000, by broadcast out of @p link when one is given.
    void deviceSend(const QByteArray &data, const QString &to, quint16 port, int link = 0);

    QProcess m_holder;
    QUdpSocket m_device;
    int m_ownNamespace = -1;
    int m_deviceNamespace = -1;
    int m_a0 = 0;
    int m_b0 = 0;
    int m_a1 = 0;
    int m_b1 = 0;
};

void TestUdpPeer::deviceSend(const QByteArray &data, const QString &to, quint16 port, int link)
{
    QNetworkDatagram datagram(data, QHostAddress(to), port);
    datagram.setInterfaceIndex(uint(link));
    QCOMPARE(m_device.writeDatagram(datagram), qint64(data.size()));
}

QTEST_GUILESS_MAIN(TestUdpPeer)
#include "tst_udppeer.moc"
