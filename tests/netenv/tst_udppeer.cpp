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

#include <functional>
#include <memory>

using namespace farlight;
using namespace farlight::test;

namespace {

constexpr quint16 DevicePort = 4000;
constexpr quint16 TftpPort = 14321;
const QString Broadcast = QStringLiteral("255.255.255.255");

// What a dataArrival() handler saw.
struct Arrival
{
    int bytesTotal = 0;
    QByteArray data;
    QString source;
    QString destination;
    qint32 interfaceIndex = 0;
};

void Record(UdpPeer &peer, QList<Arrival> &arrivals)
{
    QObject::connect(&peer, &UdpPeer::dataArrival, &peer, [&peer, &arrivals](int bytesTotal) {
        arrivals.append({bytesTotal, peer.getData(), peer.remoteHostIp(), peer.datagramDestination(),
                         peer.datagramInterfaceIndex()});
    });
}

void Suppress(UdpPeer &peer, QList<int> &errors)
{
    QObject::connect(&peer, &UdpPeer::error, &peer, [&errors](int number, const QString &, bool &cancelDisplay) {
        errors.append(number);
        cancelDisplay = true;
    });
}

} // namespace

class TestUdpPeer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void receives_data();
    void receives();
    void sendLeavesFromAdapter_data();
    void sendLeavesFromAdapter();
    void twoAdaptersReceiveOnTheirOwnPorts();
    void bind_data();
    void bind();
    void errorDisplay_data();
    void errorDisplay();
    void closeAndSendFailures();
    void closeInsideArrivalHandler();

private:
    QStringList deviceIp() const;
    // Runs @p action with this thread in the device's namespace; sockets made meanwhile stay there.
    void inDevice(const std::function<void()> &action);
    std::unique_ptr<QUdpSocket> deviceSocket(quint16 port);
    void deviceSend(QUdpSocket &socket, const QByteArray &data, const QString &to, quint16 port, int link = 0);

    QProcess m_holder;
    int m_ownNamespace = -1;
    int m_deviceNamespace = -1;
    int m_a0 = 0;
    int m_b0 = 0;
    int m_a1 = 0;
    int m_b1 = 0;
};

void TestUdpPeer::initTestCase()
{
    QVERIFY2(InPrivateNamespace(), "run through ctest, which gives the test a private network namespace");
    // The holder enters a namespace of its own, says so and keeps it until its input closes.
    m_holder.start("unshare", {"--net", "sh", "-c", "echo ready && exec cat"});
    QVERIFY(m_holder.waitForReadyRead());
    m_ownNamespace = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    m_deviceNamespace =
        ::open(QStringLiteral("/proc/%1/ns/net").arg(m_holder.processId()).toLatin1().constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(m_ownNamespace >= 0 && m_deviceNamespace >= 0);

    const QString holder = QString::number(m_holder.processId());
    const QStringList device = deviceIp();
    auto inDeviceNs = [&](const QStringList &arguments) { return RunProgram(device.first(), device.mid(1) + arguments); };
    QVERIFY(inDeviceNs({"link", "set", "lo", "up"}));
    for (const char *link : {"a", "b"}) {
        const QString near = QString::fromLatin1(link) + '0';
        const QString far = QString::fromLatin1(link) + '1';
        QVERIFY(Ip({"link", "add", near, "type", "veth", "peer", "name", far}));
        QVERIFY(Ip({"link", "set", far, "netns", holder}));
    }
    QVERIFY(Ip({"addr", "add", "10.1.0.1/24", "dev", "a0"}));
    QVERIFY(Ip({"addr", "add", "10.1.0.11/24", "dev", "a0"}));
    QVERIFY(Ip({"addr", "add", "10.2.0.1/24", "dev", "b0"}));
    QVERIFY(inDeviceNs({"addr", "add", "192.168.50.2/24", "dev", "a1"}));
    QVERIFY(inDeviceNs({"addr", "add", "10.1.0.2/24", "dev", "a1"}));
    QVERIFY(inDeviceNs({"addr", "add", "10.2.0.2/24", "dev", "b1"}));
    for (const char *link : {"a", "b"}) {
        QVERIFY(Ip({"link", "set", QString::fromLatin1(link) + '0', "up"}));
        QVERIFY(inDeviceNs({"link", "set", QString::fromLatin1(link) + '1', "up"}));
        QVERIFY(WaitUntilUp({"ip"}, QString::fromLatin1(link) + '0'));
        QVERIFY(WaitUntilUp(device, QString::fromLatin1(link) + '1'));
    }
    m_a0 = InterfaceIndex("a0");
    m_b0 = InterfaceIndex("b0");
    inDevice([this] {
        m_a1 = InterfaceIndex("a1");
        m_b1 = InterfaceIndex("b1");
    });
    QVERIFY(m_a0 > 0 && m_b0 > 0 && m_a1 > 0 && m_b1 > 0);
}

void TestUdpPeer::cleanupTestCase()
{
    ::close(m_deviceNamespace);
    ::close(m_ownNamespace);
    // The device's namespace and its links end with the holder.
    m_holder.closeWriteChannel();
    m_holder.waitForFinished();
}

QStringList TestUdpPeer::deviceIp() const
{
    return {"nsenter", QStringLiteral("--net=/proc/%1/ns/net").arg(m_holder.processId()), "ip"};
}

void TestUdpPeer::inDevice(const std::function<void()> &action)
{
    QVERIFY(::setns(m_deviceNamespace, CLONE_NEWNET) == 0);
    action();
    QVERIFY(::setns(m_ownNamespace, CLONE_NEWNET) == 0);
}

std::unique_ptr<QUdpSocket> TestUdpPeer::deviceSocket(quint16 port)
{
    auto socket = std::make_unique<QUdpSocket>();
    bool bound = false;
    inDevice([&] { bound = socket->bind(QHostAddress::AnyIPv4, port); });
    return bound ? std::move(socket) : nullptr;
}

void TestUdpPeer::deviceSend(QUdpSocket &socket, const QByteArray &data, const QString &to, quint16 port, int link)
{
    QNetworkDatagram datagram(data, QHostAddress(to), port);
    if (link)
        datagram.setInterfaceIndex(uint(link));
    QCOMPARE(socket.writeDatagram(datagram), qint64(data.size()));
}

void TestUdpPeer::receives_data()
{
    QTest::addColumn<QString>("to");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QString>("source");

    // A device on 192.168.50.0/24 cannot answer 10.1.0.1 directly, so it broadcasts.
    QTest::newRow("broadcast from a device on another subnet") << Broadcast << QByteArray("reply from afar")
                                                               << "192.168.50.2";
    QByteArray big(4000, '\0');
    for (int i = 0; i < big.size(); ++i)
        big[i] = char(i % 251);
    QTest::newRow("unicast to the adapter's address, read whole") << "10.1.0.1" << big << "10.1.0.2";
}

void TestUdpPeer::receives()
{
    QFETCH(QString, to);
    QFETCH(QByteArray, payload);
    QFETCH(QString, source);

    QList<Arrival> arrivals;
    UdpPeer peer;
    Record(peer, arrivals);
    QVERIFY(peer.bind(0, "10.1.0.1", m_a0));
    const auto device = deviceSocket(0);
    QVERIFY(device);
    deviceSend(*device, payload, to, peer.localPort(), to == Broadcast ? m_a1 : 0);
    QTRY_COMPARE(arrivals.size(), 1);
    QCOMPARE(arrivals[0].bytesTotal, payload.size());
    QCOMPARE(arrivals[0].data, payload);
    QCOMPARE(arrivals[0].source, source);
    QCOMPARE(arrivals[0].destination, to);
    QCOMPARE(arrivals[0].interfaceIndex, m_a0);
    // Outside a handler there is no datagram.
    QVERIFY(peer.getData().isEmpty());
}

void TestUdpPeer::sendLeavesFromAdapter_data()
{
    QTest::addColumn<QString>("local");
    QTest::addColumn<QString>("remote");

    QTest::newRow("broadcast from adapter A") << "10.1.0.1" << Broadcast;
    QTest::newRow("broadcast from adapter B") << "10.2.0.1" << Broadcast;
    // The system would pick 10.1.0.1 by itself; the adapter's own address must win.
    QTest::newRow("broadcast from the second address of A") << "10.1.0.11" << Broadcast;
    QTest::newRow("unicast to the device") << "10.1.0.1" << "10.1.0.2";
    QTest::newRow("unicast to a device on another subnet") << "10.1.0.1" << "192.168.50.2";
}

void TestUdpPeer::sendLeavesFromAdapter()
{
    QFETCH(QString, local);
    QFETCH(QString, remote);

    const auto device = deviceSocket(DevicePort);
    QVERIFY(device);
    const bool adapterA = local.startsWith("10.1.");
    UdpPeer peer;
    QList<int> errors;
    Suppress(peer, errors);
    QVERIFY(peer.bind(0, local, adapterA ? m_a0 : m_b0));
    peer.setRemoteHost(remote);
    peer.setRemotePort(DevicePort);
    const QByteArray request = QByteArray::fromHex("87654321120000010200000000010000");
    QVERIFY(peer.sendData(request));
    QVERIFY(errors.isEmpty());

    QVERIFY(device->hasPendingDatagrams() || QSignalSpy(device.get(), &QUdpSocket::readyRead).wait());
    const QNetworkDatagram received = device->receiveDatagram();
    QCOMPARE(received.data(), request);
    QCOMPARE(received.senderAddress().toString(), local);
    QCOMPARE(received.senderPort(), int(peer.localPort()));
    QCOMPARE(int(received.interfaceIndex()), adapterA ? m_a1 : m_b1);
}

void TestUdpPeer::twoAdaptersReceiveOnTheirOwnPorts()
{
    QList<Arrival> arrivalsA;
    QList<Arrival> arrivalsB;
    UdpPeer peerA;
    UdpPeer peerB;
    Record(peerA, arrivalsA);
    Record(peerB, arrivalsB);
    QVERIFY(peerA.bind(0, "10.1.0.1", m_a0));
    QVERIFY(peerB.bind(0, "10.2.0.1", m_b0));
    const auto device = deviceSocket(0);
    QVERIFY(device);
    deviceSend(*device, "for A", Broadcast, peerA.localPort(), m_a1);
    deviceSend(*device, "for B", Broadcast, peerB.localPort(), m_b1);
    // Sent last, so that anything delivered to the wrong socket would have arrived before.
    deviceSend(*device, "end", Broadcast, peerA.localPort(), m_a1);
    deviceSend(*device, "end", Broadcast, peerB.localPort(), m_b1);
    QTRY_COMPARE(arrivalsA.size() + arrivalsB.size(), 4);
    QCOMPARE(arrivalsA.size(), 2);
    QCOMPARE(arrivalsA[0].data, QByteArray("for A"));
    QCOMPARE(arrivalsA[0].interfaceIndex, m_a0);
    QCOMPARE(arrivalsB[0].data, QByteArray("for B"));
    QCOMPARE(arrivalsB[0].interfaceIndex, m_b0);
}

void TestUdpPeer::bind_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("bound");

    QTest::newRow("adapter address, any port") << "10.1.0.1" << 0 << true;
    QTest::newRow("adapter address, TFTP port") << "10.1.0.1" << int(TftpPort) << true;
    QTest::newRow("no particular adapter") << "0.0.0.0" << 0 << true;
    QTest::newRow("empty address text") << "" << 0 << true;
    QTest::newRow("address of no adapter here") << "10.9.9.9" << 0 << false;
    QTest::newRow("address of the device") << "10.1.0.2" << 0 << false;
    QTest::newRow("not an address") << "10.1.0" << 0 << false;
    // Held by the socket of another adapter (below).
    QTest::newRow("TFTP port taken") << "10.1.0.1" << int(TftpPort) + 1 << false;
}

void TestUdpPeer::bind()
{
    QFETCH(QString, address);
    QFETCH(int, port);
    QFETCH(bool, bound);

    UdpPeer other;
    QVERIFY(other.bind(TftpPort + 1, "10.2.0.1", m_b0));
    UdpPeer peer;
    QList<int> errors;
    Suppress(peer, errors);
    QCOMPARE(peer.bind(quint16(port), address), bound);
    QCOMPARE(peer.isBound(), bound);
    QCOMPARE(peer.localAddress(), bound && !address.isEmpty() ? address : QStringLiteral("0.0.0.0"));
    QCOMPARE(errors.size(), bound ? 0 : 1);
    QCOMPARE(peer.localPort() != 0, bound);
    if (bound && port != 0)
        QCOMPARE(peer.localPort(), quint16(port));
}

void TestUdpPeer::errorDisplay_data()
{
    QTest::addColumn<bool>("cancel");
    QTest::newRow("handler cancels the display") << true;
    QTest::newRow("no handler cancels it") << false;
}

void TestUdpPeer::errorDisplay()
{
    QFETCH(bool, cancel);
    UdpPeer peer;
    int raised = 0;
    connect(&peer, &UdpPeer::error, this, [&](int, const QString &description, bool &cancelDisplay) {
        ++raised;
        QVERIFY(!description.isEmpty());
        cancelDisplay = cancel;
    });
    const QRegularExpression display(QStringLiteral("^UDP socket error"));
    if (cancel)
        QTest::failOnWarning(display);
    else
        QTest::ignoreMessage(QtWarningMsg, display);
    QVERIFY(!peer.bind(0, "10.9.9.9"));
    QCOMPARE(raised, 1);
}

void TestUdpPeer::closeAndSendFailures()
{
    UdpPeer peer;
    QList<int> errors;
    Suppress(peer, errors);
    peer.close();
    peer.setRemoteHost(Broadcast);
    peer.setRemotePort(DevicePort);
    QVERIFY(peer.bind(0, "10.1.0.1", m_a0));
    peer.close();
    peer.close();
    QCOMPARE(peer.localAddress(), QStringLiteral("0.0.0.0"));
    QVERIFY(!peer.sendData("closed"));
    QVERIFY(peer.bind(0, "10.2.0.1", m_b0));
    peer.setRemoteHost("device.example");
    QVERIFY(!peer.sendData("to a name"));
    QCOMPARE(errors.size(), 2);
}

void TestUdpPeer::closeInsideArrivalHandler()
{
    UdpPeer peer;
    QVERIFY(peer.bind(0, "10.1.0.1", m_a0));
    const auto device = deviceSocket(0);
    QVERIFY(device);
    QList<QByteArray> seen;
    connect(&peer, &UdpPeer::dataArrival, this, [&](int) {
        seen.append(peer.getData());
        peer.close();
    });
    const quint16 port = peer.localPort();
    deviceSend(*device, "one", "10.1.0.1", port);
    deviceSend(*device, "two", "10.1.0.1", port);
    QTRY_COMPARE(seen, QList<QByteArray>{"one"});
    // Bound afresh on the same port, it gets only what is sent after.
    QVERIFY(peer.bind(port, "10.1.0.1", m_a0));
    deviceSend(*device, "three", "10.1.0.1", port);
    QTRY_COMPARE(seen, (QList<QByteArray>{"one", "three"}));
}

QTEST_GUILESS_MAIN(TestUdpPeer)
#include "tst_udppeer.moc"
