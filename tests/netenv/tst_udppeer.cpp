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

        const QString holder = QString::number(m_holder.processId());
        const QString ip = "nsenter --net=" + deviceNamespace + " ip";
        const QStringList commands{"ip link add a0 type veth peer name a1 netns " + holder,
                                   "ip link add b0 type veth peer name b1 netns " + holder,
                                   "ip addr add 10.1.0.1/24 dev a0", "ip addr add 10.1.0.11/24 dev a0",
                                   "ip addr add 10.2.0.1/24 dev b0", "ip link set a0 up", "ip link set b0 up",
                                   ip + " link set lo up", ip + " addr add 192.168.50.2/24 dev a1",
                                   ip + " addr add 10.1.0.2/24 dev a1", ip + " addr add 10.2.0.2/24 dev b1",
                                   ip + " link set a1 up", ip + " link set b1 up"};
        for (const QString &command : commands)
            QVERIFY(Run(command));
        QVERIFY(WaitUntilUp("ip", "a0") && WaitUntilUp("ip", "b0"));
        QVERIFY(WaitUntilUp(ip, "a1") && WaitUntilUp(ip, "b1"));
        m_a0 = InterfaceIndex("a0");
        m_b0 = InterfaceIndex("b0");
        // The device's socket is made with this thread in the device's namespace, and stays there.
        const int own = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
        const int device = ::open(deviceNamespace.toLatin1().constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(::setns(device, CLONE_NEWNET) == 0);
        m_a1 = InterfaceIndex("a1");
        m_b1 = InterfaceIndex("b1");
        const bool bound = m_device.bind(QHostAddress::AnyIPv4, DevicePort);
        QVERIFY(::setns(own, CLONE_NEWNET) == 0);
        ::close(own);
        ::close(device);
        QVERIFY(bound && m_a0 > 0 && m_b0 > 0 && m_a1 > 0 && m_b1 > 0);
    }

    void cleanupTestCase()
    {
        // The device's namespace and its links end with the holder.
        m_holder.closeWriteChannel();
        m_holder.waitForFinished();
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("local");
        QTest::addColumn<QString>("remote");
        QTest::addColumn<QString>("answerTo"); // by the device, from its port 4000
        QTest::addColumn<QString>("answerFrom");
        QTest::addColumn<QByteArray>("answer");

        QTest::newRow("broadcast from adapter B, answered by broadcast")
            << "10.2.0.1" << Broadcast << Broadcast << "10.2.0.2" << QByteArray("for B");
        // The system would pick 10.1.0.1 by itself; the adapter's own address must win.
        QTest::newRow("broadcast from the second address of A")
            << "10.1.0.11" << Broadcast << "10.1.0.11" << "10.1.0.2" << QByteArray("for A");
        QTest::newRow("unicast to the device, answer read whole") << "10.1.0.1" << "10.1.0.2" << "10.1.0.1" << "10.1.0.2"
                                                                  << QByteArray("0123456789abcdefghijklmnopqrstu").repeated(129);
        // A device on 192.168.50.0/24 cannot answer 10.1.0.1 directly, so it broadcasts.
        QTest::newRow("unicast to a device on another subnet, answered by broadcast")
            << "10.1.0.1" << "192.168.50.2" << Broadcast << "192.168.50.2" << QByteArray("reply from afar");
    }

    void roundTrip()
    {
        QFETCH(QString, local);
        QFETCH(QString, remote);
        QFETCH(QString, answerTo);
        QFETCH(QString, answerFrom);
        QFETCH(QByteArray, answer);

        const bool adapterA = local.startsWith("10.1.");
        UdpPeer peer;
        QList<QVariantList> arrivals; // what each dataArrival() handler saw
        connect(&peer, &UdpPeer::dataArrival, this, [&](int bytesTotal) {
            arrivals.append({bytesTotal, peer.getData(), peer.remoteHostIp(), peer.remoteHostPort(),
                             peer.datagramDestination(), peer.datagramInterfaceIndex()});
        });
        QVERIFY(peer.bind(0, local, adapterA ? m_a0 : m_b0));
        peer.setRemoteHost(remote);
        peer.setRemotePort(DevicePort);
        const QByteArray request = QByteArray::fromHex("87654321120000010200000000010000");
        QVERIFY(peer.sendData(request));

        QVERIFY(m_device.hasPendingDatagrams() || QSignalSpy(&m_device, &QUdpSocket::readyRead).wait());
        const QNetworkDatagram received = m_device.receiveDatagram();
        QCOMPARE((QVariantList{received.data(), received.senderAddress().toString(), received.senderPort(), received.interfaceIndex()}),
                 (QVariantList{request, local, int(peer.localPort()), uint(adapterA ? m_a1 : m_b1)}));

        deviceSend(answer, answerTo, peer.localPort(), answerTo == Broadcast ? received.interfaceIndex() : 0);
        // A second copy of the answer would arrive before this one.
        deviceSend("end", local, peer.localPort());
        QTRY_VERIFY(!arrivals.isEmpty() && arrivals.last().at(1).toByteArray() == "end");
        QCOMPARE(arrivals.size(), 2);
        QCOMPARE(arrivals.first(), (QVariantList{int(answer.size()), answer, answerFrom, DevicePort, answerTo,
                                                 adapterA ? m_a0 : m_b0}));
        // Outside a handler there is no datagram.
        QVERIFY(peer.getData().isEmpty());
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
    void deviceSend(const QByteArray &data, const QString &to, quint16 port, int link = 0)
    {
        QNetworkDatagram datagram(data, QHostAddress(to), port);
        datagram.setInterfaceIndex(uint(link));
        QCOMPARE(m_device.writeDatagram(datagram), qint64(data.size()));
    }

    QProcess m_holder;
    QUdpSocket m_device;
    int m_a0 = 0, m_b0 = 0; // the workstation's adapters
    int m_a1 = 0, m_b1 = 0; // their far ends, in the device's namespace
};

QTEST_GUILESS_MAIN(TestUdpPeer)
#include "tst_udppeer.moc"
