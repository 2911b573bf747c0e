// The set-IP exchange without any window, against a device on loopback.
#include "setipsupport.h"

#include "ipconfig/setipexchange.h"
#include "netenv/udppeer.h"

#include <memory>

using namespace farlight;
using testsupport::setIpReply;

// "admin" scrambled for AP-Lobby, then the device's and the adapter's MAC.
static const QByteArray ExpectedAuth = QByteArray::fromHex("204921060C622D4162414150" "000A1B2C3D4E" "02005E100001");

class TestSetIpExchange : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_device.bind()); }

    void init()
    {
        m_state = std::make_unique<AppState>();
        m_device.fill(*m_state);
        m_state->AdminPassword = QStringLiteral("admin");
        m_state->LoginOk = true;
    }

    void cleanup() { m_device.drain(); }

    void open_data()
    {
        QTest::addColumn<QString>("adapterAddress");
        QTest::addColumn<int>("deviceIndex");
        QTest::addColumn<int>("adapterIndex");
        QTest::addColumn<bool>("opened");

        const QString lo = testsupport::LoopbackDevice::AdapterAddress;
        QTest::newRow("adapter on lo") << lo << 0 << 0 << true;
        QTest::newRow("adapter without an address") << "0.0.0.0" << 0 << 0 << false;
        QTest::newRow("device index past the found devices") << lo << 1 << 0 << false;
        QTest::newRow("negative device index") << lo << -1 << 0 << false;
        QTest::newRow("adapter index past the inventory") << lo << 0 << 1 << false;
    }

    void open()
    {
        QFETCH(QString, adapterAddress);
        QFETCH(int, deviceIndex);
        QFETCH(int, adapterIndex);
        QFETCH(bool, opened);

        m_state->adapterTable[1] = m_state->adapterTable[0]; // past AdapterCount, not a found adapter
        m_state->adapterTable[0].IpAddress = adapterAddress;
        m_state->deviceTable[0].AdapterIndex = qint16(adapterIndex);
        SetIpExchange exchange(*m_state, qint16(deviceIndex));
        QCOMPARE(exchange.open(), opened);
        QCOMPARE(exchange.findChild<UdpPeer *>(QStringLiteral("sock1"))->localAddress(),
                 opened ? adapterAddress : QStringLiteral("0.0.0.0"));
    }

    // Sent or not, a request uses its number: one not sent after a cancelled login as well.
    void send()
    {
        SetIpExchange exchange(*m_state, 0);
        QVERIFY(exchange.open());
        QVERIFY(exchange.send(0x10, 0xC0A80114, 0xFFFFFF00, 0x0A000001));
        const QByteArray request = QByteArray::fromHex("8765432121100000") + ExpectedAuth
            + QByteArray::fromHex("C0A80114FFFFFF000A000001");
        QCOMPARE(m_device.nextRequest().toHex(' '), request.toHex(' '));
        m_state->LoginOk = false;
        QVERIFY(exchange.send(0x11, 0, 0, 0));
        QCOMPARE(m_device.nextRequest(200), QByteArray());
        m_state->LoginOk = true;
        QVERIFY(exchange.send(0x11, 0, 0, 0));
        QCOMPARE(m_device.nextRequest().mid(6, 2).toHex(), QByteArray("0002"));
    }

    void replies_data()
    {
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<QList<int>>("statuses");

        const QByteArray ok = setIpReply("0000");
        const QByteArray failure = setIpReply("0001");
        // Closing from the handler of a success, which must still let the confirmation out, and a
        // reply to a request given up (cancelPending) are what the dialog does: its test covers them.
        QTest::newRow("status 0 three times: one verdict, one confirmation") << QList{ok, ok, ok} << QList{0};
        QTest::newRow("status 255") << QList{setIpReply("00FF")} << QList{255};
        QTest::newRow("unknown status 2") << QList{setIpReply("0002"), failure} << QList{1};
        QTest::newRow("the device's MAC instead of the adapter's")
            << QList{setIpReply("0000", testsupport::LoopbackDevice::DeviceMac), failure} << QList{1};
    }

    void replies()
    {
        QFETCH(QList<QByteArray>, replies);
        QFETCH(QList<int>, statuses);

        SetIpExchange exchange(*m_state, 0);
        QVERIFY(exchange.open());
        auto *sock1 = exchange.findChild<UdpPeer *>(QStringLiteral("sock1"));
        QList<int> verdicts;
        bool confirmedBeforeVerdictTaken = false;
        connect(&exchange, &SetIpExchange::replied, this, [&](SetIpExchange::Status status) {
            verdicts.append(status);
            confirmedBeforeVerdictTaken = m_device.listener.hasPendingDatagrams();
        });
        // Connected after the exchange's own handler, so it counts datagrams already dealt with.
        int arrivals = 0;
        connect(sock1, &UdpPeer::dataArrival, this, [&arrivals] { ++arrivals; });
        QVERIFY(exchange.send(0x11, 0, 0, 0));
        QVERIFY(!m_device.nextRequest().isEmpty());

        for (const QByteArray &reply : replies)
            m_device.answer(reply, sock1->localPort());
        QTRY_COMPARE(arrivals, replies.size());
        QCOMPARE(verdicts, statuses);
        QVERIFY(!confirmedBeforeVerdictTaken);
        const QByteArray confirmation = QByteArray::fromHex("87654321A0990000") + ExpectedAuth;
        // Only a success is confirmed.
        QCOMPARE(m_device.nextRequest(200).toHex(' '), statuses == QList{0} ? confirmation.toHex(' ') : QByteArray());
    }

private:
    std::unique_ptr<AppState> m_state;
    testsupport::LoopbackDevice m_device;
};

QTEST_GUILESS_MAIN(TestSetIpExchange)
#include "tst_setipexchange.moc"
