// The MAC filter exchange without any window, against a device on loopback.
#include "../ipconfig/setipsupport.h"
#include "../support/hexbytes.h"

#include "macfilter/filterexchange.h"
#include "netenv/udppeer.h"

using namespace farlight;
using testsupport::LoopbackDevice;

// "admin" scrambled for AP-Lobby, then the device's and the adapter's MAC.
static const QByteArray ExpectedAuth = hexBytes("204921060C622D4162414150 000A1B2C3D4E 02005E100001");

// A filter reply as the device sends it; @p listed fills the list from its first slot.
static QByteArray reply(const char *headerHex, const char *statusHex, const QByteArray &listed = {},
                        const QByteArray &adapterMac = LoopbackDevice::AdapterMac)
{
    const QByteArray bytes = hexBytes(headerHex) + adapterMac + zeros(6) + hexBytes(statusHex) + zeros(2) + listed;
    return bytes + zeros(792 - bytes.size());
}

class TestFilterExchange : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_device.bind()); }
    void cleanup() { m_device.drain(); }

    // Each row opens the exchange, which reads the list (number 0), may write (number 1), and
    // then has the device send the replies.
    void exchange_data()
    {
        QTest::addColumn<QByteArray>("written"); // the addresses sent, in list order; null: no write
        QTest::addColumn<bool>("loginOk");
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<QStringList>("events");

        const QByteArray three = hexBytes("000000000001 0A0B0C0D0E0F AABBCCDDEEFF");
        const QByteArray mixed = hexBytes("000000000002 000000000000 000000000001 FFFFFFFFFFFF 000000000002");
        const QByteArray pass = reply("87654321 6000 0001", "0000");
        const QByteArray failure = reply("87654321 6000 0001", "0001");
        QTest::newRow("list with empty, broadcast and repeated slots") << QByteArray() << true
            << QList{reply("87654321 6030 0000", "0000", mixed)} << QStringList{"list 000000000002 000000000001"};
        QTest::newRow("list refused: wrong password") << QByteArray() << true
            << QList{reply("87654321 6030 0000", "00FF", mixed)} << QStringList{"status 255"};
        QTest::newRow("empty list written, passed, then a copy") << QByteArray("") << true << QList{pass, pass}
                                                                 << QStringList{"status 0"};
        QTest::newRow("status 0 with the list flag after a write is a list") << three << true
            << QList{reply("87654321 6030 0001", "0000", mixed.first(6))} << QStringList{"list 000000000002"};
        QTest::newRow("ignored: late reply to the read, other adapter, unknown status 2, other flag") << three << true
            << QList{reply("87654321 6030 0000", "0000", mixed), reply("87654321 6000 0001", "0000", {}, LoopbackDevice::DeviceMac),
                     reply("87654321 6000 0001", "0002"), reply("87654321 6010 0001", "0000"), failure}
            << QStringList{"status 1"};
        QTest::newRow("write never answered") << three << true << QList<QByteArray>() << QStringList{"no answer"};
        // Nothing was built either: the read's answer still matches.
        QTest::newRow("login cancelled") << three << false << QList{reply("87654321 6030 0000", "0000", mixed.first(6))}
                                         << QStringList{"list 000000000002"};
    }

    void exchange()
    {
        QFETCH(QByteArray, written);
        QFETCH(bool, loginOk);
        QFETCH(QList<QByteArray>, replies);
        QFETCH(QStringList, events);

        AppState state;
        LoopbackDevice::fill(state);
        state.AdminPassword = QStringLiteral("admin");
        QVERIFY(!FilterExchange(state, 1).open()); // past the found devices
        FilterExchange exchange(state, 0);
        QVERIFY(exchange.open());
        auto *socket = exchange.findChild<UdpPeer *>(QStringLiteral("MacSocket"));
        QStringList seen;
        connect(&exchange, &FilterExchange::listReceived, this, [&seen](const QList<MacAddress> &addresses) {
            QString event = QStringLiteral("list");
            for (const MacAddress &mac : addresses)
                event += u' ' + MacKey(mac);
            seen << event;
        });
        connect(&exchange, &FilterExchange::replied, this,
                [&seen](FilterExchange::Status status) { seen << QStringLiteral("status %1").arg(int(status)); });
        connect(&exchange, &FilterExchange::noAnswer, this, [&seen] { seen << QStringLiteral("no answer"); });
        // Connected after the exchange's own handler, so it counts datagrams already dealt with.
        int arrivals = 0;
        connect(socket, &UdpPeer::dataArrival, this, [&arrivals] { ++arrivals; });

        QVERIFY(exchange.requestList());
        QList<MacAddress> list;
        for (qsizetype at = 0; at < written.size(); at += 6)
            list << *MacFromBytes(written.sliced(at));
        state.LoginOk = loginOk;
        if (!written.isNull())
            QVERIFY(exchange.sendList(list));
        for (const QByteArray &datagram : replies)
            m_device.answer(datagram, socket->localPort());
        QTRY_COMPARE(arrivals, replies.size());
        QTRY_COMPARE_WITH_TIMEOUT(seen, events, FilterExchange::NoAnswerTimeout + 2000);

        // Each request went out once, answered or not.
        QStringList sent{(hexBytes("87654321 6020 0000") + ExpectedAuth).toHex()};
        if (!written.isNull() && loginOk)
            sent << (hexBytes("87654321 6010 0001") + ExpectedAuth + written + zeros(768 - written.size())).toHex();
        QTest::qWait(50);
        QStringList received;
        while (m_device.listener.hasPendingDatagrams())
            received << m_device.listener.receiveDatagram().data().toHex();
        QCOMPARE(received, sent);
    }

private:
    LoopbackDevice m_device;
};

QTEST_GUILESS_MAIN(TestFilterExchange)
#include "tst_filterexchange.moc"
