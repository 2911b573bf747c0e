// The MAC filter exchange without any window, against a device on loopback. How a reply is read
// and matched to a request is the codec's test; here what the exchange adds: the requests on the
// wire, which request is current, one answer per request, the silence after a write.
#include "../ipconfig/setipsupport.h"

#include "macfilter/filterexchange.h"
#include "netenv/udppeer.h"

#include <QSignalSpy>

using namespace farlight;
using testsupport::filterReply;
using testsupport::LoopbackDevice;

static constexpr std::chrono::milliseconds WriteTimeout{200};

class TestFilterExchange : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_device.bind()); }
    void cleanup() { m_device.drain(); }

    // Each row opens the exchange, which reads the list (number 0) and, unless the login is
    // cancelled, writes (number 1); then the device sends the replies.
    void exchange_data()
    {
        QTest::addColumn<QByteArray>("written"); // the addresses sent, in list order; null: login cancelled
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<QString>("events"); // a list received, the message for a verdict, or no answer

        const QByteArray three = hexBytes("000000000001 0A0B0C0D0E0F AABBCCDDEEFF");
        const QByteArray mixed = hexBytes("000000000002 000000000000 000000000001 FFFFFFFFFFFF 000000000002");
        // Skipping the empty and broadcast slots is the codec's; the exchange drops the repeat.
        const QByteArray list = filterReply("300000", "0000", mixed);
        // A cancelled login builds nothing either: the read's answer still matches.
        QTest::newRow("login cancelled; read refused") << QByteArray() << QList{filterReply("300000", "00FF")} << "302";
        QTest::newRow("login cancelled; list") << QByteArray() << QList{list} << "list 000000000002 000000000001";
        QTest::newRow("empty list written, passed, then a copy")
            << QByteArray("") << QList{filterReply("000001", "0000"), filterReply("000001", "0000")} << "209";
        // Flag 10 is the write request's own, not a write reply's.
        QTest::newRow("ignored: late reply to the read, status 2, flag 10")
            << three << QList{list, filterReply("000001", "0002"), filterReply("100001", "0000"), filterReply("000001", "0001")} << "210";
        QTest::newRow("write never answered") << three << QList<QByteArray>() << "no answer";
        // Anyone on the segment can send a list; a pending write waits for its verdict all the same.
        QTest::newRow("list while the write is pending, then the verdict")
            << three << QList{filterReply("300001", "0000", three), filterReply("000001", "0000")} << "209";
    }

    void exchange()
    {
        QFETCH(QByteArray, written);
        QFETCH(QList<QByteArray>, replies);
        QFETCH(QString, events);

        SequenceCounters counters;
        FilterExchange exchange(LoopbackDevice::target(), counters);
        exchange.setWriteTimeout(WriteTimeout);
        QVERIFY(exchange.open());
        QStringList seen;
        connect(&exchange, &FilterExchange::listReceived, this, [&seen](const QList<MacAddress> &addresses) {
            seen << QStringLiteral("list");
            for (const MacAddress &mac : addresses)
                seen.last() += u' ' + MacKey(mac);
        });
        connect(&exchange, &FilterExchange::replied, this,
                [&seen](FilterExchange::Status status) { seen << QString::number(FilterExchange::message(status)); });
        connect(&exchange, &FilterExchange::noAnswer, this, [&seen] { seen << QStringLiteral("no answer"); });

        auto *socket = exchange.findChild<UdpPeer *>();
        // Connected after the exchange's own handler, so it counts datagrams already dealt with.
        int arrivals = 0;
        connect(socket, &UdpPeer::dataArrival, this, [&arrivals] { ++arrivals; });

        QVERIFY(exchange.requestList(QStringLiteral("admin")));
        QList<MacAddress> list;
        for (qsizetype at = 0; at < written.size(); at += 6)
            list << *MacFromBytes(written.sliced(at));
        const std::optional<QString> password =
            written.isNull() ? std::nullopt : std::optional(QStringLiteral("admin"));
        QVERIFY(exchange.sendList(password, list));
        for (const QByteArray &datagram : replies)
            m_device.answer(datagram, socket->localPort());
        QTRY_COMPARE(arrivals, replies.size());
        // A verdict stops the write's timer; without one, noAnswer is the only event still to come.
        if (events.endsWith(QStringLiteral("no answer")))
            QTRY_COMPARE_WITH_TIMEOUT(seen.join(u','), events, WriteTimeout.count() * 20);
        QCOMPARE(seen.join(u','), events);

        // Each request went out once, answered or not.
        const QByteArray &auth = LoopbackDevice::AdminAuth;
        const QByteArray write = hexBytes("87654321 6010 0001") + auth + written + zeros(768 - written.size());
        QCOMPARE(m_device.nextRequest(0).toHex(), (hexBytes("87654321 6020 0000") + auth).toHex());
        QCOMPARE(m_device.nextRequest(0).toHex(), written.isNull() ? QByteArray() : write.toHex());
        QCOMPARE(m_device.nextRequest(0), QByteArray());
    }

private:
    LoopbackDevice m_device;
};

QTEST_GUILESS_MAIN(TestFilterExchange)
#include "tst_filterexchange.moc"
