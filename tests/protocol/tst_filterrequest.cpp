#include "protocol/filterrequest.h"
#include "protocol/packetheader.h"
#include "testbytes.h"

#include <QTest>

using namespace farlight;

static AuthTarget lobby()
{
    return AuthTarget{{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}, {0x02, 0x00, 0x00, 0x00, 0x80, 0xFF}, "Lobby"};
}
static const char AuthHex[] = "2D 28 0F 10 01 62 62 4C 4C 4C 62 4C 00 0A 1B 2C 3D 4E 02 00 00 00 80 FF";

static QByteArray listReply(const char *headerHex, const char *statusHex, const QByteArray &slotBytes)
{
    QByteArray bytes = hexBytes(headerHex) + hexBytes("02 00 00 00 80 FF") + zeros(6) + hexBytes(statusHex)
        + zeros(2) + slotBytes;
    bytes.append(zeros(int(792 - bytes.size())));
    return bytes;
}

class TestFilterRequest : public QObject
{
    Q_OBJECT

private slots:
    void writeRequestEmptyList();
    void writeRequestThreeEntries();
    void writeRequestKeepsAt128();
    void replyMatching_data();
    void replyMatching();
    void replyToFirstIgnoredOnceSecondBuilt();
    void parseReply_data();
    void parseReply();
};

void TestFilterRequest::writeRequestEmptyList()
{
    SequenceCounters counters;
    FilterRequestHeader header;
    header.build(lobby(), QStringLiteral("admin"), Flag::FilterRead, counters);
    QCOMPARE(header.readRequest().toHex(' '), (hexBytes("87 65 43 21 60 20 00 00") + hexBytes(AuthHex)).toHex(' '));
    QCOMPARE(counters.value(SequenceCounters::SetIp), quint16(0));
    header.build(lobby(), QStringLiteral("admin"), Flag::FilterWrite, counters);
    const QByteArray bytes = header.writeRequest({});
    QCOMPARE(bytes.size(), 800);
    QCOMPARE(bytes.first(32).toHex(' '), (hexBytes("87 65 43 21 60 10 00 01") + hexBytes(AuthHex)).toHex(' '));
    QCOMPARE(bytes.sliced(32), zeros(768));
}

void TestFilterRequest::writeRequestThreeEntries()
{
    SequenceCounters counters;
    FilterRequestHeader header;
    header.build(lobby(), QString(), Flag::FilterWrite, counters);
    const QByteArray bytes = header.writeRequest({{0x00, 0x11, 0x22, 0x33, 0x44, 0x55},
                                                  {0x00, 0x11, 0x22, 0x33, 0x44, 0x56},
                                                  {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}});
    QCOMPARE(bytes.size(), 800);
    QCOMPARE(bytes.sliced(32, 18).toHex(' '), hexBytes("00 11 22 33 44 55 00 11 22 33 44 56 AA BB CC DD EE FF").toHex(' '));
    QCOMPARE(bytes.sliced(50), zeros(750));
}

void TestFilterRequest::writeRequestKeepsAt128()
{
    SequenceCounters counters;
    FilterRequestHeader header;
    header.build(lobby(), QString(), Flag::FilterWrite, counters);
    QList<MacAddress> list;
    for (int i = 0; i < 130; ++i)
        list.append({0, 0, 0, 0, quint8(i >> 8), quint8(i + 1)});
    const QByteArray bytes = header.writeRequest(list);
    QCOMPARE(bytes.size(), 800);
    QCOMPARE(bytes.sliced(794).toHex(' '), QByteArray("00 00 00 00 00 80")); // slot 128 holds entry 128
}

void TestFilterRequest::replyMatching_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("matches");
    QTest::newRow("list reply") << listReply("87 65 43 21 60 30 00 03", "00 00", {}) << true;
    QTest::newRow("write reply, byte 5 not compared") << listReply("87 65 43 21 60 00 00 03", "00 00", {}) << true;
    QTest::newRow("another adapter's MAC")
        << hexBytes("87 65 43 21 60 30 00 03 02 00 00 00 80 FE") + zeros(778) << false;
    QTest::newRow("older sequence") << listReply("87 65 43 21 60 30 00 02", "00 00", {}) << false;
    QTest::newRow("set-IP opcode") << listReply("87 65 43 21 21 30 00 03", "00 00", {}) << false;
    QTest::newRow("13 bytes") << hexBytes("87 65 43 21 60 30 00 03 02 00 00 00 80") << false;
}

void TestFilterRequest::replyMatching()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, matches);
    SequenceCounters counters;
    for (int i = 0; i < 3; ++i)
        counters.take(SequenceCounters::Filter);
    FilterRequestHeader header;
    header.build(lobby(), QString(), Flag::FilterRead, counters);
    QCOMPARE(header.isReply(reply), matches);
}

void TestFilterRequest::replyToFirstIgnoredOnceSecondBuilt()
{
    SequenceCounters counters;
    FilterRequestHeader header;
    header.build(lobby(), QString(), Flag::FilterRead, counters);
    const QByteArray first = listReply("87 65 43 21 60 30 00 00", "00 00", {});
    QVERIFY(header.isReply(first));
    header.build(lobby(), QString(), Flag::FilterWrite, counters);
    QCOMPARE(header.bytes().sliced(6, 2).toHex(' '), QByteArray("00 01"));
    QVERIFY(!header.isReply(first));
}

void TestFilterRequest::parseReply_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("flag");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("addresses");

    const QByteArray mixed = hexBytes("00 00 00 00 00 02  00 00 00 00 00 00  00 00 00 00 00 01  FF FF FF FF FF FF"
                                      "  00 00 00 00 00 02");
    QTest::newRow("empty and broadcast slots skipped")
        << listReply("87 65 43 21 60 30 00 00", "00 00", mixed) << true << 0x30 << 0
        << QStringList{"000000000002", "000000000001", "000000000002"};
    QTest::newRow("status failure") << listReply("87 65 43 21 60 30 00 00", "00 01", {}) << true << 0x30 << 1
                                    << QStringList{};
    QTest::newRow("write reply") << listReply("87 65 43 21 60 00 00 00", "00 FF", {}) << true << 0 << 255
                                 << QStringList{};
    QTest::newRow("longer than 792: rest ignored")
        << listReply("87 65 43 21 60 30 00 00", "00 00", hexBytes("00 11 22 33 44 55")) + hexBytes("AA BB CC DD EE FF")
        << true << 0x30 << 0 << QStringList{"001122334455"};
    // A short list reply yields only whole slots: 24 + 6 + 5 bytes holds one whole slot.
    QTest::newRow("short list reply")
        << (hexBytes("87 65 43 21 60 30 00 00 02 00 00 00 80 FF") + zeros(6) + hexBytes("00 00 00 00")
            + hexBytes("00 11 22 33 44 55 66 77 88 99 AA"))
        << true << 0x30 << 0 << QStringList{"001122334455"};
    QTest::newRow("exactly 22 bytes") << (hexBytes("87 65 43 21 60 00 00 00 02 00 00 00 80 FF") + zeros(6)
                                          + hexBytes("00 01"))
                                      << true << 0 << 1 << QStringList{};
    QTest::newRow("21 bytes has no whole status")
        << (hexBytes("87 65 43 21 60 00 00 00 02 00 00 00 80 FF") + zeros(7)) << false << 0 << 0 << QStringList{};
    QTest::newRow("wrong magic") << listReply("21 43 65 87 60 30 00 00", "00 00", {}) << false << 0 << 0
                                 << QStringList{};
    QTest::newRow("empty") << QByteArray() << false << 0 << 0 << QStringList{};
}

void TestFilterRequest::parseReply()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, valid);
    const auto reply = FilterReply::parse(datagram);
    QCOMPARE(reply.has_value(), valid);
    if (!reply)
        return;
    QFETCH(int, flag);
    QFETCH(int, status);
    QFETCH(QStringList, addresses);
    QCOMPARE(int(reply->flag), flag);
    QCOMPARE(int(reply->status), status);
    QStringList keys;
    for (const MacAddress &mac : reply->addresses)
        keys.append(MacKey(mac));
    QCOMPARE(keys, addresses);
}

QTEST_GUILESS_MAIN(TestFilterRequest)
#include "tst_filterrequest.moc"
