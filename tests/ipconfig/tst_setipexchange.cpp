// The set-IP exchange without any window, against a device on loopback.
#include "setipsupport.h"

#include "ipconfig/setipexchange.h"
#include "netenv/udppeer.h"

#include <QSignalSpy>

using namespace farlight;
using testsupport::LoopbackDevice;
using testsupport::setIpReply;

static const QString Password = QStringLiteral("admin");

class TestSetIpExchange : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_device.bind()); }
    void cleanup() { m_device.drain(); }

    void open_data()
    {
        QTest::addColumn<QString>("adapterAddress");
        QTest::addColumn<bool>("opened");
        QTest::newRow("adapter on lo") << LoopbackDevice::AdapterAddress << true;
        QTest::newRow("adapter without an address") << "0.0.0.0" << false;
    }

    void open()
    {
        QFETCH(QString, adapterAddress);
        QFETCH(bool, opened);
        DeviceTarget device = LoopbackDevice::target();
        device.adapterAddress = adapterAddress;
        SequenceCounters counters;
        SetIpExchange exchange(device, counters);
        QCOMPARE(exchange.open(), opened);
        QCOMPARE(exchange.findChild<UdpPeer *>()->localAddress(), opened ? adapterAddress : QStringLiteral("0.0.0.0"));
    }

    // Sent or not, a request uses its number: one not sent after a cancelled login as well.
    void send()
    {
        SequenceCounters counters;
        SetIpExchange exchange(LoopbackDevice::target(), counters);
        QVERIFY(exchange.open());
        QVERIFY(exchange.send(Password, 0x10, 0xC0A80114, 0xFFFFFF00, 0x0A000001));
        const QByteArray request = QByteArray::fromHex("8765432121100000") + LoopbackDevice::AdminAuth
            + QByteArray::fromHex("C0A80114FFFFFF000A000001");
        QCOMPARE(m_device.nextRequest().toHex(' '), request.toHex(' '));
        QVERIFY(exchange.send(std::nullopt, 0x11, 0, 0, 0));
        QVERIFY(exchange.send(Password, 0x11, 0, 0, 0));
        // Had the cancelled request gone out, it would arrive first, numbered 1.
        QCOMPARE(m_device.nextRequest().mid(6, 2).toHex(), QByteArray("0002"));
    }

    // Which answers come from whom, how often, and the confirmation's place are the fuzz target's.
    void replies_data()
    {
        QTest::addColumn<QList<QByteArray>>("replies");
        QTest::addColumn<QList<int>>("statuses");
        QTest::newRow("status 0") << QList{setIpReply("0000")} << QList{0};
        QTest::newRow("unknown status 2") << QList{setIpReply("0002"), setIpReply("0001")} << QList{1};
    }

    void replies()
    {
        QFETCH(QList<QByteArray>, replies);
        QFETCH(QList<int>, statuses);

        SequenceCounters counters;
        SetIpExchange exchange(LoopbackDevice::target(), counters);
        QVERIFY(exchange.open());
        auto *socket = exchange.findChild<UdpPeer *>();
        QList<int> verdicts;
        connect(&exchange, &SetIpExchange::replied, this, [&](SetIpExchange::Status status) { verdicts.append(status); });
        // Connected after the exchange's own handler, so it counts datagrams already dealt with.
        int arrivals = 0;
        connect(socket, &UdpPeer::dataArrival, this, [&arrivals] { ++arrivals; });
        QVERIFY(exchange.send(Password, 0x11, 0, 0, 0));
        QVERIFY(!m_device.nextRequest().isEmpty());
        for (const QByteArray &reply : replies)
            m_device.answer(reply, socket->localPort());
        QTRY_COMPARE(arrivals, replies.size());
        QCOMPARE(verdicts, statuses);
        // Only a success is confirmed: otherwise the next request is the next datagram out.
        QVERIFY(exchange.send(Password, 0x11, 0, 0, 0));
        const QByteArray confirmation = QByteArray::fromHex("87654321A0990000") + LoopbackDevice::AdminAuth;
        QCOMPARE(m_device.nextRequest().toHex(' ') == confirmation.toHex(' '), statuses == QList{0});
    }

    void noAnswerAfterTheTimeoutYetALateAnswerCounts()
    {
        SequenceCounters counters;
        SetIpExchange exchange(LoopbackDevice::target(), counters);
        exchange.setNoAnswerTimeout(std::chrono::milliseconds(50));
        QSignalSpy noAnswer(&exchange, &SetIpExchange::noAnswer);
        QSignalSpy replied(&exchange, &SetIpExchange::replied);
        QVERIFY(exchange.open());
        QVERIFY(exchange.send(Password, 0x11, 0, 0, 0));
        QVERIFY(noAnswer.wait());
        m_device.answer(setIpReply("0001"), exchange.findChild<UdpPeer *>()->localPort());
        QVERIFY(replied.wait());
        QCOMPARE(noAnswer.size(), 1);
    }

private:
    LoopbackDevice m_device;
};

QTEST_GUILESS_MAIN(TestSetIpExchange)
#include "tst_setipexchange.moc"
