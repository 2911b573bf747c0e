// Runs in a private network namespace. The workstation's two adapters are a0 (10.1.0.1 and
// 10.1.0.11) and b0 (10.2.0.1); the far ends of both links, a1 and b1, sit in a second namespace
// that plays the device: a1 holds 192.168.50.2 (another subnet, its primary address) and
// 10.1.0.2, b1 holds 10.2.0.2.
#include "labnet.h"
#include "netenv/udppeer.h"

#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

#include <algorithm>
#include <memory>

using namespace farlight;
using farlight::test::Ip;
using farlight::test::InterfaceIndex;
using farlight::test::PeerNamespace;

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
    quint16 sourcePort = 0;
    QString destination;
    qint32 interfaceIndex = 0;
};

// Records every arrival of @p peer as its handler sees it.
QList<Arrival> *RecordArrivals(UdpPeer &peer)
{
    auto *arrivals = new QList<Arrival>;
    QObject::connect(&peer, &UdpPeer::dataArrival, &peer, [&peer, arrivals](int bytesTotal) {
        arrivals->append({bytesTotal, peer.getData(), peer.remoteHostIp(), peer.remoteHostPort(),
                          peer.datagramDestination(), peer.datagramInterfaceIndex()});
    });
    QObject::connect(&peer, &QObject::destroyed, [arrivals] { delete arrivals; });
    return arrivals;
}

// Sets the cancel flag of every error of @p peer and records the numbers.
QList<int> *SuppressErrors(UdpPeer &peer)
{
    auto *numbers = new QList<int>;
    QObject::connect(&peer, &UdpPeer::error, &peer, [numbers](int number, const QString &, bool &cancelDisplay) {
        numbers->append(number);
        cancelDisplay = true;
    });
    QObject::connect(&peer, &QObject::destroyed, [numbers] { delete numbers; });
    return numbers;
}

} // namespace

class TestUdpPeer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void broadcastFromAnotherSubnetArrives();
    void unicastToAdapterAddressArrives();
    void sendLeavesFromAdapter_data();
    void sendLeavesFromAdapter();
    void twoAdaptersReceiveOnTheirOwnPorts();

    void bind_data();
    void bind();
    void fixedPortTakenFails();
    void errorDisplay_data();
    void errorDisplay();
    void sendFailures_data();
    void sendFailures();
    void closeTwiceIsHarmless();
    void largeDatagramReadWhole();
    void waitingHandlerKeepsItsDatagram();
    void closeInsideArrivalHandler();

private:
    // A socket of the device's namespace bound to @p port on every address.
    std::unique_ptr<QUdpSocket> deviceSocket(quint16 port);
    // Sends from the device out of interface @p deviceInterface.
    void deviceSend(QUdpSocket &socket, const QByteArray &data, const QString &to, quint16 port,
                    int deviceInterface = 0);
    QNetworkDatagram deviceReceive(QUdpSocket &socket);

    PeerNamespace m_device;
    int m_a0 = 0;
    int m_b0 = 0;
    int m_a1 = 0;
    int m_b1 = 0;
};

void TestUdpPeer::initTestCase()
{
    QVERIFY(m_device.start());
    const QString link = QStringLiteral("link");
    const QString addr = QStringLiteral("addr");
    QVERIFY(Ip({link, "add", "a0", "type", "veth", "peer", "name", "a1"}));
    QVERIFY(Ip({link, "add", "b0", "type", "veth", "peer", "name", "b1"}));
    QVERIFY(m_device.adoptLink("a1"));
    QVERIFY(m_device.adoptLink("b1"));
    QVERIFY(Ip({addr, "add", "10.1.0.1/24", "dev", "a0"}));
    QVERIFY(Ip({addr, "add", "10.1.0.11/24", "dev", "a0"}));
    QVERIFY(Ip({addr, "add", "10.2.0.1/24", "dev", "b0"}));
    QVERIFY(Ip({link, "set", "a0", "up"}));
    QVERIFY(Ip({link, "set", "b0", "up"}));
    QVERIFY(m_device.ip({addr, "add", "192.168.50.2/24", "dev", "a1"}));
    QVERIFY(m_device.ip({addr, "add", "10.1.0.2/24", "dev", "a1"}));
    QVERIFY(m_device.ip({addr, "add", "10.2.0.2/24", "dev", "b1"}));
    QVERIFY(m_device.ip({link, "set", "a1", "up"}));
    QVERIFY(m_device.ip({link, "set", "b1", "up"}));
    m_a0 = InterfaceIndex("a0");
    m_b0 = InterfaceIndex("b0");
    QVERIFY(m_device.enter([this] {
        m_a1 = InterfaceIndex("a1");
        m_b1 = InterfaceIndex("b1");
    }));
    QVERIFY(m_a0 > 0 && m_b0 > 0 && m_a1 > 0 && m_b1 > 0);
}

std::unique_ptr<QUdpSocket> TestUdpPeer::deviceSocket(quint16 port)
{
    auto socket = std::make_unique<QUdpSocket>();
    bool bound = false;
    m_device.enter([&] { bound = socket->bind(QHostAddress::AnyIPv4, port); });
    return bound ? std::move(socket) : nullptr;
}

void TestUdpPeer::deviceSend(QUdpSocket &socket, const QByteArray &data, const QString &to, quint16 port,
                             int deviceInterface)
{
    QNetworkDatagram datagram(data, QHostAddress(to), port);
    if (deviceInterface)
        datagram.setInterfaceIndex(uint(deviceInterface));
    QCOMPARE(socket.writeDatagram(datagram), qint64(data.size()));
}

QNetworkDatagram TestUdpPeer::deviceReceive(QUdpSocket &socket)
{
    if (!socket.hasPendingDatagrams())
        QSignalSpy(&socket, &QUdpSocket::readyRead).wait();
    return socket.receiveDatagram();
}

void TestUdpPeer::broadcastFromAnotherSubnetArrives()
{
    UdpPeer peer;
    QList<Arrival> *arrivals = RecordArrivals(peer);
    QVERIFY(peer.bind(0, QStringLiteral("10.1.0.1"), m_a0));
    const auto device = deviceSocket(0);
    QVERIFY(device);

    // A device on 192.168.50.0/24 cannot answer 10.1.0.1 directly, so it broadcasts.
    deviceSend(*device, "reply from afar", Broadcast, peer.localPort(), m_a1);
    QTRY_COMPARE(arrivals->size(), 1);
    const Arrival &arrival = arrivals->first();
    QCOMPARE(arrival.bytesTotal, 15);
    QCOMPARE(arrival.data, QByteArray("reply from afar"));
    QCOMPARE(arrival.source, QStringLiteral("192.168.50.2"));
    QCOMPARE(arrival.sourcePort, device->localPort());
    QCOMPARE(arrival.destination, Broadcast);
    QCOMPARE(arrival.interfaceIndex, m_a0);
    // Outside a handler there is no datagram.
    QVERIFY(peer.getData().isEmpty());
}

void TestUdpPeer::unicastToAdapterAddressArrives()
{
    UdpPeer peer;
    QList<Arrival> *arrivals = RecordArrivals(peer);
    QVERIFY(peer.bind(0, QStringLiteral("10.1.0.1"), m_a0));
    const auto device = deviceSocket(0);
    QVERIFY(device);

    deviceSend(*device, "direct", QStringLiteral("10.1.0.1"), peer.localPort());
    QTRY_COMPARE(arrivals->size(), 1);
    QCOMPARE(arrivals->first().data, QByteArray("direct"));
    QCOMPARE(arrivals->first().source, QStringLiteral("10.1.0.2"));
    QCOMPARE(arrivals->first().destination, QStringLiteral("10.1.0.1"));
}

void TestUdpPeer::sendLeavesFromAdapter_data()
{
    QTest::addColumn<QString>("local");
    QTest::addColumn<QString>("adapterLink");
    QTest::addColumn<QString>("remote");
    QTest::addColumn<QString>("deviceLink");

    QTest::newRow("broadcast from adapter A") << "10.1.0.1" << "a0" << Broadcast << "a1";
    QTest::newRow("broadcast from adapter B") << "10.2.0.1" << "b0" << Broadcast << "b1";
    // The system would pick 10.1.0.1 by itself; the adapter's own address must win.
    QTest::newRow("broadcast from second address of A") << "10.1.0.11" << "a0" << Broadcast << "a1";
    QTest::newRow("broadcast without interface index") << "10.2.0.1" << "" << Broadcast << "b1";
    QTest::newRow("unicast to the device") << "10.1.0.1" << "a0" << "10.1.0.2" << "a1";
    QTest::newRow("unicast to a device on another subnet") << "10.1.0.1" << "a0" << "192.168.50.2" << "a1";
}

void TestUdpPeer::sendLeavesFromAdapter()
{
    QFETCH(QString, local);
    QFETCH(QString, adapterLink);
    QFETCH(QString, remote);
    QFETCH(QString, deviceLink);

    const auto device = deviceSocket(DevicePort);
    QVERIFY(device);
    UdpPeer peer;
    QList<int> *errors = SuppressErrors(peer);
    QVERIFY(peer.bind(0, local, adapterLink.isEmpty() ? 0 : InterfaceIndex(adapterLink)));
    peer.setRemoteHost(remote);
    peer.setRemotePort(DevicePort);
    const QByteArray request = QByteArray::fromHex("8765432112000001020000000001" "0000");
    QVERIFY(peer.sendData(request));
    QVERIFY(errors->isEmpty());

    const QNetworkDatagram received = deviceReceive(*device);
    QVERIFY(received.isValid());
    QCOMPARE(received.data(), request);
    QCOMPARE(received.senderAddress().toString(), local);
    QCOMPARE(received.senderPort(), int(peer.localPort()));
    QCOMPARE(int(received.interfaceIndex()), deviceLink == QLatin1String("a1") ? m_a1 : m_b1);
}

void TestUdpPeer::twoAdaptersReceiveOnTheirOwnPorts()
{
    UdpPeer peerA;
    UdpPeer peerB;
    QList<Arrival> *arrivalsA = RecordArrivals(peerA);
    QList<Arrival> *arrivalsB = RecordArrivals(peerB);
    QVERIFY(peerA.bind(0, QStringLiteral("10.1.0.1"), m_a0));
    QVERIFY(peerB.bind(0, QStringLiteral("10.2.0.1"), m_b0));
    QVERIFY(peerA.localPort() != peerB.localPort());
    QCOMPARE(peerA.localAddress(), QStringLiteral("10.1.0.1"));
    QCOMPARE(peerB.localAddress(), QStringLiteral("10.2.0.1"));

    const auto device = deviceSocket(0);
    QVERIFY(device);
    deviceSend(*device, "for A", Broadcast, peerA.localPort(), m_a1);
    deviceSend(*device, "for B", Broadcast, peerB.localPort(), m_b1);
    deviceSend(*device, "end", Broadcast, peerA.localPort(), m_a1);
    deviceSend(*device, "end", Broadcast, peerB.localPort(), m_b1);
    QTRY_COMPARE(arrivalsA->size(), 2);
    QTRY_COMPARE(arrivalsB->size(), 2);
    QCOMPARE(arrivalsA->at(0).data, QByteArray("for A"));
    QCOMPARE(arrivalsA->at(0).interfaceIndex, m_a0);
    QCOMPARE(arrivalsB->at(0).data, QByteArray("for B"));
    QCOMPARE(arrivalsB->at(0).interfaceIndex, m_b0);
    QCOMPARE(arrivalsA->at(1).data, QByteArray("end"));
    QCOMPARE(arrivalsB->at(1).data, QByteArray("end"));
}

void TestUdpPeer::bind_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("bound");
    QTest::addColumn<QString>("localAddress");

    QTest::newRow("adapter address, any port") << "10.1.0.1" << 0 << true << "10.1.0.1";
    QTest::newRow("adapter address, TFTP port") << "10.1.0.1" << int(TftpPort) << true << "10.1.0.1";
    QTest::newRow("no particular adapter") << "0.0.0.0" << 0 << true << "0.0.0.0";
    QTest::newRow("empty address text") << "" << 0 << true << "0.0.0.0";
    QTest::newRow("address of no adapter here") << "10.9.9.9" << 0 << false << "0.0.0.0";
    QTest::newRow("address of the device") << "10.1.0.2" << 0 << false << "0.0.0.0";
    QTest::newRow("not an address") << "abc" << 0 << false << "0.0.0.0";
    QTest::newRow("incomplete address") << "10.1.0" << 0 << false << "0.0.0.0";
    QTest::newRow("IPv6 address") << "::1" << 0 << false << "0.0.0.0";
}

void TestUdpPeer::bind()
{
    QFETCH(QString, address);
    QFETCH(int, port);
    QFETCH(bool, bound);
    QFETCH(QString, localAddress);

    UdpPeer peer;
    QList<int> *errors = SuppressErrors(peer);
    QCOMPARE(peer.bind(quint16(port), address), bound);
    QCOMPARE(peer.isBound(), bound);
    QCOMPARE(peer.localAddress(), localAddress);
    QCOMPARE(errors->size(), bound ? 0 : 1);
    QCOMPARE(peer.errorString().isEmpty(), bound);
    if (!bound) {
        QCOMPARE(peer.localPort(), quint16(0));
        return;
    }
    QVERIFY(peer.localPort() != 0);
    if (port != 0)
        QCOMPARE(peer.localPort(), quint16(port));
}

void TestUdpPeer::fixedPortTakenFails()
{
    UdpPeer first;
    UdpPeer second;
    QList<int> *errors = SuppressErrors(second);
    QVERIFY(first.bind(TftpPort, QStringLiteral("10.1.0.1"), m_a0));
    QVERIFY(!second.bind(TftpPort, QStringLiteral("10.2.0.1"), m_b0));
    QCOMPARE(*errors, QList<int>{QAbstractSocket::AddressInUseError});
    QCOMPARE(second.localAddress(), QStringLiteral("0.0.0.0"));

    first.close();
    QVERIFY(second.bind(TftpPort, QStringLiteral("10.2.0.1"), m_b0));
    QCOMPARE(second.localPort(), TftpPort);
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
    QVERIFY(!peer.bind(0, QStringLiteral("10.9.9.9")));
    QCOMPARE(raised, 1);
}

void TestUdpPeer::sendFailures_data()
{
    QTest::addColumn<bool>("bindFirst");
    QTest::addColumn<QString>("remote");
    QTest::addColumn<bool>("sent");

    QTest::newRow("not bound") << false << Broadcast << false;
    QTest::newRow("no remote host") << true << "" << false;
    QTest::newRow("remote host is a name") << true << "device.example" << false;
    QTest::newRow("remote host is IPv6") << true << "::1" << false;
    QTest::newRow("limited broadcast") << true << Broadcast << true;
}

void TestUdpPeer::sendFailures()
{
    QFETCH(bool, bindFirst);
    QFETCH(QString, remote);
    QFETCH(bool, sent);

    UdpPeer peer;
    QList<int> *errors = SuppressErrors(peer);
    if (bindFirst)
        QVERIFY(peer.bind(0, QStringLiteral("10.1.0.1"), m_a0));
    peer.setRemoteHost(remote);
    peer.setRemotePort(DevicePort);
    QCOMPARE(peer.remoteHost(), remote);
    QCOMPARE(peer.remotePort(), DevicePort);
    QCOMPARE(peer.sendData("x"), sent);
    QCOMPARE(errors->size(), sent ? 0 : 1);
}

void TestUdpPeer::closeTwiceIsHarmless()
{
    UdpPeer peer;
    QList<int> *errors = SuppressErrors(peer);
    peer.close();
    QVERIFY(peer.bind(0, QStringLiteral("10.1.0.1"), m_a0));
    peer.close();
    peer.close();
    QVERIFY(!peer.isBound());
    QCOMPARE(peer.localAddress(), QStringLiteral("0.0.0.0"));
    QCOMPARE(peer.localPort(), quint16(0));
    QCOMPARE(peer.interfaceIndex(), 0);
    peer.setRemoteHost(Broadcast);
    QVERIFY(!peer.sendData("x"));
    QCOMPARE(errors->size(), 1);
    // The socket can be bound again after closing.
    QVERIFY(peer.bind(0, QStringLiteral("10.2.0.1"), m_b0));
    QCOMPARE(peer.localAddress(), QStringLiteral("10.2.0.1"));
}

void TestUdpPeer::largeDatagramReadWhole()
{
    UdpPeer peer;
    QList<Arrival> *arrivals = RecordArrivals(peer);
    QVERIFY(peer.bind(0, QStringLiteral("10.1.0.1"), m_a0));
    const auto device = deviceSocket(0);
    QVERIFY(device);
    QByteArray big(4000, '\0');
    for (int i = 0; i < big.size(); ++i)
        big[i] = char(i % 251);
    deviceSend(*device, big, QStringLiteral("10.1.0.1"), peer.localPort());
    QTRY_COMPARE(arrivals->size(), 1);
    QCOMPARE(arrivals->first().bytesTotal, 4000);
    QCOMPARE(arrivals->first().data, big);
}

void TestUdpPeer::waitingHandlerKeepsItsDatagram()
{
    UdpPeer peer;
    QVERIFY(peer.bind(0, QStringLiteral("10.1.0.1"), m_a0));
    const auto device = deviceSocket(0);
    QVERIFY(device);

    // Each handler records what getData() answered before and after its wait.
    QList<QPair<QByteArray, QByteArray>> reads;
    int handlers = 0;
    connect(&peer, &UdpPeer::dataArrival, this, [&](int) {
        const QByteArray before = peer.getData();
        if (++handlers == 1) {
            // The first handler lets events run while the second datagram comes in.
            deviceSend(*device, "second", QStringLiteral("10.1.0.1"), peer.localPort());
            QTest::qWait(200);
        }
        reads.append({before, peer.getData()});
    });
    deviceSend(*device, "first", QStringLiteral("10.1.0.1"), peer.localPort());
    QTRY_COMPARE(reads.size(), 2);
    QList<QByteArray> seen;
    for (const auto &[before, after] : reads) {
        QCOMPARE(after, before);
        seen.append(before);
    }
    std::sort(seen.begin(), seen.end());
    QCOMPARE(seen, (QList<QByteArray>{"first", "second"}));
}

void TestUdpPeer::closeInsideArrivalHandler()
{
    UdpPeer peer;
    QVERIFY(peer.bind(0, QStringLiteral("10.1.0.1"), m_a0));
    const auto device = deviceSocket(0);
    QVERIFY(device);
    QList<QByteArray> seen;
    connect(&peer, &UdpPeer::dataArrival, this, [&](int) {
        seen.append(peer.getData());
        peer.close();
    });
    const quint16 port = peer.localPort();
    deviceSend(*device, "one", QStringLiteral("10.1.0.1"), port);
    deviceSend(*device, "two", QStringLiteral("10.1.0.1"), port);
    QTRY_COMPARE(seen.size(), 1);
    QCOMPARE(seen.first(), QByteArray("one"));
    QVERIFY(!peer.isBound());

    // A socket bound afresh on the same port gets only what is sent after.
    QVERIFY(peer.bind(port, QStringLiteral("10.1.0.1"), m_a0));
    deviceSend(*device, "three", QStringLiteral("10.1.0.1"), port);
    QTRY_COMPARE(seen.size(), 2);
    QCOMPARE(seen.last(), QByteArray("three"));
}

QTEST_GUILESS_MAIN(TestUdpPeer)
#include "tst_udppeer.moc"
