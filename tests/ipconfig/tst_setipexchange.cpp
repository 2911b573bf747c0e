// The set-IP exchange without any window, against a device on loopback.
#include "loopbackdevice.h"

#include "ipconfig/setipexchange.h"
#include "netenv/udppeer.h"

#include <QtEndian>

#include <memory>

using namespace farlight;
using testsupport::setIpReply;

namespace {

// "admin" scrambled for AP-Lobby, then the device's and the adapter's MAC.
const QByteArray ExpectedAuth = QByteArray::fromHex("204921060C622D4162414150" "000A1B2C3D4E" "02005E100001");

} // namespace

class TestSetIpExchange : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_device.bind()); }
    void init();
    void cleanup() { m_device.drain(); }

    void open_data();
    void open();
    void send_data();
    void send();
    void replies_data();
    void replies();

private:
    std::unique_ptr<AppState> m_state;
    testsupport::LoopbackDevice m_device;
};

void TestSetIpExchange::init()
{
    m_state = std::make_unique<AppState>();
    m_device.fill(*m_state);
    m_state->AdminPassword = QStringLiteral("admin");
    m_state->LoginOk = true;
}

void TestSetIpExchange::open_data()
{
    QTest::addColumn<QString>("adapterAddress");
    QTest::addColumn<int>("deviceIndex");
    QTest::addColumn<int>("adapterIndex");
    QTest::addColumn<bool>("opened");

    const QString lo = testsupport::LoopbackDevice::AdapterAddress;
    QTest::newRow("adapter on lo") << lo << 0 << 0 << true;
    QTest::newRow("adapter address not on this machine") << "10.254.254.1" << 0 << 0 << false;
    QTest::newRow("adapter without an address") << "0.0.0.0" << 0 << 0 << false;
    QTest::newRow("device index past the found devices") << lo << 1 << 0 << false;
    QTest::newRow("negative device index") << lo << -1 << 0 << false;
    QTest::newRow("adapter index past the inventory") << lo << 0 << 1 << false;
}

void TestSetIpExchange::open()
{
    QFETCH(QString, adapterAddress);
    QFETCH(int, deviceIndex);
    QFETCH(int, adapterIndex);
    QFETCH(bool, opened);

    m_state->AdapterTable[0].IpAddress = adapterAddress;
    m_state->DeviceTable[0].AdapterIndex = qint16(adapterIndex);
    SetIpExchange exchange(*m_state, qint16(deviceIndex));
    QCOMPARE(exchange.open(), opened);
    QCOMPARE(exchange.findChild<UdpPeer *>(QStringLiteral("sock1"))->localAddress(),
             opened ? adapterAddress : QStringLiteral("0.0.0.0"));
}

void TestSetIpExchange::send_data()
{
    QTest::addColumn<bool>("loginOk");
    QTest::addColumn<int>("flag");
    QTest::addColumn<QByteArray>("addresses"); // address, mask and gateway, first octet first
    QTest::addColumn<QByteArray>("request");   // empty: nothing goes out

    const QByteArray addresses = QByteArray::fromHex("C0A80114FFFFFF000A000001");
    QTest::newRow("static: 44 bytes") << true << 0x10 << addresses
                                      << QByteArray::fromHex("8765432121100000") + ExpectedAuth + addresses;
    QTest::newRow("DHCP: header and authentication only")
        << true << 0x11 << QByteArray(12, '\0') << QByteArray::fromHex("8765432121110000") + ExpectedAuth;
    QTest::newRow("login cancelled") << false << 0x10 << addresses << QByteArray();
}

void TestSetIpExchange::send()
{
    QFETCH(bool, loginOk);
    QFETCH(int, flag);
    QFETCH(QByteArray, addresses);
    QFETCH(QByteArray, request);

    SetIpExchange exchange(*m_state, 0);
    QVERIFY(exchange.open());
    m_state->LoginOk = loginOk;
    const auto at = [&addresses](int offset) { return qFromBigEndian<quint32>(addresses.constData() + offset); };
    QVERIFY(exchange.send(quint8(flag), at(0), at(4), at(8)));
    QCOMPARE(m_device.nextRequest(loginOk ? 5000 : 200).toHex(' '), request.toHex(' '));

    // Sent or not, the request used its number.
    m_state->LoginOk = true;
    QVERIFY(exchange.send(0x11, 0, 0, 0));
    QCOMPARE(m_device.nextRequest().mid(6, 2).toHex(), QByteArray("0001"));
}

void TestSetIpExchange::replies_data()
{
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<bool>("cancelled");    // cancelPending() right after the request went out
    QTest::addColumn<bool>("closeOnReply"); // close() from the handler of the verdict
    QTest::addColumn<QList<int>>("statuses");
    QTest::addColumn<bool>("confirmed");

    const QByteArray ok = setIpReply("0000");
    const QByteArray failure = setIpReply("0001");
    QTest::newRow("status 0") << QList{ok} << false << false << QList{0} << true;
    QTest::newRow("status 0 three times: one verdict, one confirmation")
        << QList{ok, ok, ok} << false << false << QList{0} << true;
    QTest::newRow("status 0, closed while told") << QList{ok} << false << true << QList{0} << true;
    QTest::newRow("status 1 twice") << QList{failure, failure} << false << false << QList{1} << false;
    QTest::newRow("status 255") << QList{setIpReply("00FF")} << false << false << QList{255} << false;
    QTest::newRow("unknown status 2") << QList{setIpReply("0002"), failure} << false << false << QList{1} << false;
    QTest::newRow("22 bytes") << QList{ok.left(22), failure} << false << false << QList{1} << false;
    QTest::newRow("another sequence") << QList{setIpReply("0000", "0001"), failure} << false << false << QList{1}
                                      << false;
    QTest::newRow("the device's MAC instead of the adapter's")
        << QList{setIpReply("0000", "0000", testsupport::LoopbackDevice::DeviceMac), failure} << false << false
        << QList{1} << false;
    QTest::newRow("request given up") << QList{ok} << true << false << QList<int>() << false;
}

void TestSetIpExchange::replies()
{
    QFETCH(QList<QByteArray>, replies);
    QFETCH(bool, cancelled);
    QFETCH(bool, closeOnReply);
    QFETCH(QList<int>, statuses);
    QFETCH(bool, confirmed);

    SetIpExchange exchange(*m_state, 0);
    QVERIFY(exchange.open());
    auto *sock1 = exchange.findChild<UdpPeer *>(QStringLiteral("sock1"));
    QList<int> verdicts;
    bool confirmedBeforeVerdictTaken = false;
    connect(&exchange, &SetIpExchange::replied, this, [&](SetIpExchange::Status status) {
        verdicts.append(status);
        confirmedBeforeVerdictTaken = m_device.listener.hasPendingDatagrams();
        if (closeOnReply)
            exchange.close();
    });
    // Connected after the exchange's own handler, so it counts datagrams already dealt with.
    int arrivals = 0;
    connect(sock1, &UdpPeer::dataArrival, this, [&arrivals] { ++arrivals; });
    QVERIFY(exchange.send(0x11, 0, 0, 0));
    QVERIFY(!m_device.nextRequest().isEmpty());
    if (cancelled)
        exchange.cancelPending();

    for (const QByteArray &reply : replies)
        m_device.answer(reply, sock1->localPort());
    QTRY_COMPARE(arrivals, replies.size());
    QCOMPARE(verdicts, statuses);
    QVERIFY(!confirmedBeforeVerdictTaken);
    const QByteArray confirmation = QByteArray::fromHex("87654321A0990000") + ExpectedAuth;
    QCOMPARE(m_device.nextRequest(200).toHex(' '), confirmed ? confirmation.toHex(' ') : QByteArray());
    QCOMPARE(sock1->isBound(), !closeOnReply);
}

QTEST_GUILESS_MAIN(TestSetIpExchange)
#include "tst_setipexchange.moc"
