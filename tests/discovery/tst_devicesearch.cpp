#include "discovery/devicesearch.h"
#include "protocol/searchcodec.h"

#include <QTest>

using namespace farlight;
using V = DeviceSearch::Verdict;

static const MacAddress Adapter0{0x02, 0x00, 0x00, 0x00, 0x00, 0x10};
static const MacAddress Adapter1{0x02, 0x00, 0x00, 0x00, 0x00, 0x11};

// A search reply to @p requester; its layout is the codec's test.
static QByteArray reply(quint16 sequence, const MacAddress &requester, const QByteArray &host = "AP",
                        quint8 macTail = 0x4E)
{
    return BuildSearchReply({sequence, requester, {0x00, 0x0A, 0x1B, 0x2C, 0x3D, macTail}, host, "lobby", 11, 1});
}

// The reply with byte @p offset replaced.
static QByteArray altered(qsizetype offset, char byte)
{
    QByteArray b = reply(1, Adapter0);
    b[offset] = byte;
    return b;
}

struct Fixture
{
    std::array<DeviceRecord, DeviceSearch::MaxDevices> table{};
    qint16 count = 0;
    DeviceSearch search{table, count};

    // One search with requests sent through both adapters' sockets.
    void start()
    {
        search.begin();
        search.nextSequence();
        search.buildRequest(0, Adapter0);
        search.buildRequest(1, Adapter1);
    }
};

class TestDeviceSearch : public QObject
{
    Q_OBJECT

private slots:
    void firstSearchSendsSequenceOne()
    {
        Fixture f;
        f.search.begin();
        QCOMPARE(f.search.nextSequence(), quint16(1));
        QCOMPARE(f.search.buildRequest(0, Adapter0), BuildSearchRequest(Adapter0, 1));
        QCOMPARE(f.search.nextSequence(), quint16(2));
        QVERIFY(f.search.buildRequest(11, Adapter0).isEmpty());
        QVERIFY(f.search.buildRequest(-1, Adapter0).isEmpty());
    }

    void dropRules_data()
    {
        QTest::addColumn<int>("socket");
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<int>("verdict");

        QTest::newRow("valid, 185 bytes") << 0 << reply(1, Adapter0) << int(V::Accepted);
        QTest::newRow("183 bytes") << 0 << reply(1, Adapter0).first(183) << int(V::TooShort);
        QTest::newRow("wrong magic") << 0 << altered(3, 0x22) << int(V::BadMagic);
        QTest::newRow("set-IP opcode") << 0 << altered(4, 0x21) << int(V::NotAReply);
        QTest::newRow("flag 0x11") << 0 << altered(5, 0x11) << int(V::NotAReply);
        QTest::newRow("previous search") << 0 << reply(0, Adapter0) << int(V::OtherSearch);
        QTest::newRow("next search") << 0 << reply(2, Adapter0) << int(V::OtherSearch);
        QTest::newRow("other adapter's MAC on this socket") << 0 << reply(1, Adapter1) << int(V::NotAReply);
        QTest::newRow("socket with no request") << 2 << reply(1, Adapter0) << int(V::NoRequest);
        QTest::newRow("socket outside the table") << 11 << reply(1, Adapter0) << int(V::NoRequest);
        QTest::newRow("second adapter") << 1 << reply(1, Adapter1) << int(V::Accepted);
    }

    void dropRules()
    {
        QFETCH(int, socket);
        QFETCH(QByteArray, datagram);
        QFETCH(int, verdict);
        Fixture f;
        f.start();
        QCOMPARE(int(f.search.handleDatagram(socket, datagram, "192.168.77.21")), verdict);
        const bool accepted = verdict == int(V::Accepted);
        QCOMPARE(f.count, qint16(accepted ? 1 : 0));
        // The fields come from the codec; the source address and the socket are the search's own.
        if (accepted) {
            QCOMPARE(DeviceRowTexts(f.table[0]),
                     (QStringList{"AP", "192.168.77.21", "lobby", "11", "Enabled", "00-0A-1B-2C-3D-4E"}));
            QCOMPARE(f.table[0].AdapterIndex, qint16(socket));
        }
    }

    void oneEntryPerDevice()
    {
        Fixture f;
        f.start();
        QCOMPARE(f.search.handleDatagram(0, reply(1, Adapter0, "first"), "10.99.0.5"), V::Accepted);
        QCOMPARE(f.search.handleDatagram(0, reply(1, Adapter0, "second"), "10.99.0.5"), V::Duplicate);
        // The same device heard on both adapters, or from another address, is one device: the MAC decides.
        QCOMPARE(f.search.handleDatagram(1, reply(1, Adapter1, "third"), "10.99.0.5"), V::Duplicate);
        QCOMPARE(f.search.handleDatagram(0, reply(1, Adapter0, "moved"), "10.99.0.6"), V::Duplicate);
        // Devices fresh from the box share an address; each is a device of its own.
        QCOMPARE(f.search.handleDatagram(0, reply(1, Adapter0, "first", 0x4F), "10.99.0.5"), V::Accepted);
        QCOMPARE(f.count, qint16(2));
        QCOMPARE(f.table[0].HostName, QStringLiteral("first"));
        f.table[0].Wep = 2; // only 1 means enabled
        QCOMPARE(DeviceRowTexts(f.table[0]).at(4), QStringLiteral("Disabled"));
    }

    void tableHolds101Devices()
    {
        Fixture f;
        f.start();
        for (int i = 0; i < 101; ++i) {
            const QString source = QStringLiteral("10.0.%1.%2").arg(i / 200).arg(i % 200 + 1);
            QCOMPARE(f.search.handleDatagram(0, reply(1, Adapter0, "AP", quint8(i)), source), V::Accepted);
        }
        QCOMPARE(f.count, qint16(101));
        for (int copy = 0; copy < 2; ++copy) {
            for (quint8 tail : {0xFE, 0xFF})
                QCOMPARE(f.search.handleDatagram(0, reply(1, Adapter0, "AP", tail), "10.9.9.9"), V::TableFull);
        }
        QCOMPARE(f.count, qint16(101));
        QCOMPARE(f.search.turnedAway(), 2);
        QCOMPARE(f.table[100].IpAddress, QStringLiteral("10.0.0.101"));
    }
};

QTEST_GUILESS_MAIN(TestDeviceSearch)
#include "tst_devicesearch.moc"
