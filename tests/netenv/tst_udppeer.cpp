// The workstation's adapter a0 holds 10.1.0.1 and 10.1.0.11. Its far end a1 sits in a second
// namespace that plays the device, with 10.1.0.2 and an address of another subnet, 192.168.50.2.
#include "labnet.h"
#include "netenv/udppeer.h"

#include <QNetworkDatagram>
#include <QPointer>
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
static constexpr quint16 TakenPort = 14322;
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
        const QString ip = "nsenter --net=" + deviceNamespace + " ip";
        const QString holder = QString::number(m_holder.processId());
        for (const QString &command : QStringList{"ip link add a0 type veth peer name a1 netns " + holder,
                                                  "ip addr add 10.1.0.1/24 dev a0", "ip addr add 10.1.0.11/24 dev a0",
                                                  "ip link set a0 up", ip + " addr add 10.1.0.2/24 dev a1",
                                                  ip + " addr add 192.168.50.2/24 dev a1", ip + " link set a1 up"})
            QVERIFY(Run(command));
        QVERIFY(WaitUntilUp("ip", "a0") && WaitUntilUp(ip, "a1"));
        m_a0 = int(if_nametoindex("a0"));
        // The device's socket is made with this thread in the device's namespace, and stays there.
        const int own = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
        const int device = ::open(deviceNamespace.toLatin1().constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(::setns(device, CLONE_NEWNET) == 0);
        m_a1 = int(if_nametoindex("a1"));
        const bool bound = m_device.bind(QHostAddress::AnyIPv4, DevicePort);
        QVERIFY(::setns(own, CLONE_NEWNET) == 0);
        ::close(own);
        ::close(device);
        QVERIFY(bound && m_a0 > 0 && m_a1 > 0);
    }

    void cleanupTestCase()
    {
        // The device's namespace and its links end with the holder.
        m_holder.closeWriteChannel();
        m_holder.waitForFinished();
    }

    void sendLeavesFromTheAdaptersOwnAddressAndInterface()
    {
        // The system has no route to the device's subnet, and would pick 10.1.0.1 as the source.
        UdpPeer peer;
        QVERIFY(peer.bind(0, "10.1.0.11", m_a0));
        peer.setRemoteHost("192.168.50.2");
        peer.setRemotePort(DevicePort);
        QVERIFY(peer.sendData("request"));
        QVERIFY(m_device.hasPendingDatagrams() || QSignalSpy(&m_device, &QUdpSocket::readyRead).wait());
        const QNetworkDatagram received = m_device.receiveDatagram();
        QCOMPARE((QVariantList{received.data(), received.senderAddress().toString(), received.senderPort(),
                               received.interfaceIndex()}),
                 (QVariantList{QByteArray("request"), "10.1.0.11", int(peer.localPort()), uint(m_a1)}));
    }

    void bind_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("bound");

        QTest::newRow("adapter address") << "10.1.0.1" << 0 << true;
        QTest::newRow("no particular adapter") << "" << 0 << true;
        QTest::newRow("address of no adapter here") << "10.9.9.9" << 0 << false;
        QTest::newRow("not an address") << "10.1.0.256" << 0 << false;
        // Held by a socket bound for the adapter's other address (below).
        QTest::newRow("fixed port taken") << "10.1.0.1" << int(TakenPort) << false;
    }

    void bind()
    {
        QFETCH(QString, address);
        QFETCH(int, port);
        QFETCH(bool, bound);

        UdpPeer other;
        QVERIFY(other.bind(TakenPort, "10.1.0.11", m_a0));
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
        QCOMPARE(peer.localPort() != 0, bound);
        QCOMPARE(errors, bound ? 0 : 1);
    }

    void closing()
    {
        QList<QByteArray> seen;
        UdpPeer peer;
        peer.close(); // harmless on a socket never opened
        QVERIFY(peer.bind(0, "10.1.0.1", m_a0));
        const quint16 port = peer.localPort();
        const auto deviceSend = [&](const QByteArray &data) {
            return m_device.writeDatagram(data, QHostAddress("10.1.0.1"), port) == data.size();
        };
        // Each handler closes the socket, as a dialog that got its reply does.
        bool socketGone = false; // while its own signal was running
        connect(&peer, &UdpPeer::dataArrival, this, [&](int) {
            const QPointer<QObject> socket = peer.findChild<QObject *>(); // what watches the socket
            seen.append(peer.getData());
            peer.close();
            socketGone = socketGone || !socket;
        });
        QVERIFY(deviceSend("one") && deviceSend("two"));
        QTRY_COMPARE(seen, QList<QByteArray>{"one"});
        QVERIFY(!socketGone);
        // Bound afresh on the same port, it gets only what is sent after.
        QVERIFY(peer.bind(port, "10.1.0.1", m_a0));
        QVERIFY(deviceSend("three"));
        QTRY_COMPARE(seen, (QList<QByteArray>{"one", "three"}));
        // Unless an error handler cancels it, the socket shows the error itself.
        peer.setRemoteHost("10.1.0.2");
        QTest::ignoreMessage(QtWarningMsg, DisplayedError);
        QVERIFY(!peer.sendData("closed"));
    }

    // Handlers that delete the peer, or wait and so let a nested dispatch run, while datagrams
    // are still queued: no access after the peer is gone (AddressSanitizer sees one), and the
    // outer handler reads its own datagram again once it is back.
    void handlersThatEndThePeer_data()
    {
        QTest::addColumn<QString>("handler");
        QTest::addColumn<QByteArrayList>("seen");
        QTest::newRow("signal deletes") << "delete" << QByteArrayList{"one"};
        QTest::newRow("arrival handler deletes") << "arrival delete" << QByteArrayList{"one"};
        QTest::newRow("nested dispatch deletes") << "nested delete" << QByteArrayList{"one", "two", "gone"};
        QTest::newRow("nested dispatch, then the outer datagram") << "nested" << QByteArrayList{"one", "two", "three", "one"};
    }

    void handlersThatEndThePeer()
    {
        QFETCH(QString, handler);
        QFETCH(QByteArrayList, seen);
        QByteArrayList got;
        QPointer<UdpPeer> peer = new UdpPeer;
        QVERIFY(peer->bind(0, "10.1.0.1", m_a0));
        int depth = 0;
        const auto handle = [&] {
            got.append(peer->getData());
            const bool outer = depth++ == 0;
            if (handler.endsWith(u"delete") && (!handler.startsWith(u"nested") || !outer)) {
                delete peer.data();
                return;
            }
            if (outer && handler.startsWith(u"nested")) {
                if (!QTest::qWaitFor([&] { return got.size() >= 2; }, 5000))
                    return;
                got.append(peer ? peer->getData() : QByteArray("gone"));
            }
            --depth;
        };
        if (handler.startsWith(u"arrival"))
            peer->setArrivalHandler(handle);
        else
            connect(peer, &UdpPeer::dataArrival, this, handle);
        for (const QByteArray data : {"one", "two", "three"})
            QVERIFY(m_device.writeDatagram(data, QHostAddress("10.1.0.1"), peer->localPort()) == data.size());
        QTRY_COMPARE(got, seen);
        delete peer.data();
    }

private:
    QProcess m_holder;
    QUdpSocket m_device;
    int m_a0 = 0; // the workstation's adapter
    int m_a1 = 0; // its far end, in the device's namespace
};

QTEST_GUILESS_MAIN(TestUdpPeer)
#include "tst_udppeer.moc"
