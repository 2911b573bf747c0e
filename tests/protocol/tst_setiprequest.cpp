#include "protocol/packetheader.h"
#include "protocol/setiprequest.h"
#include "testbytes.h"

#include <QTest>

using namespace farlight;

// Same device as the scrambling test: host "Lobby", device 00-0A-1B-2C-3D-4E, adapter 02-00-00-00-80-FF,
// password "admin" scrambles to 2D 28 0F 10 01 62 62 4C 4C 4C 62 4C.
static AuthTarget lobby()
{
    return AuthTarget{{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}, {0x02, 0x00, 0x00, 0x00, 0x80, 0xFF}, "Lobby"};
}
static const char AuthHex[] = "2D 28 0F 10 01 62 62 4C 4C 4C 62 4C 00 0A 1B 2C 3D 4E 02 00 00 00 80 FF";

static QByteArray reply(const char *headerHex, const char *macHex, const char *statusHex)
{
    QByteArray bytes = hexBytes(headerHex) + hexBytes(macHex) + zeros(6) + hexBytes(statusHex) + zeros(2);
    return bytes;
}

class TestSetIpRequest : public QObject
{
    Q_OBJECT

private slots:
    void workedLayout();
    void countersAreIndependent();
    void counterWrapsAfter32767();
    void replyMatching_data();
    void replyMatching();
    void lateReplyIsNotAccepted();
    void replyStatus_data();
    void replyStatus();
};

void TestSetIpRequest::workedLayout()
{
    SequenceCounters counters;
    SetIpRequest request;
    request.build(lobby(), QStringLiteral("admin"), Flag::SetIpStatic, 0xC0A80114, 0xFFFFFF00, 0, counters);
    const QByteArray expectedStatic = hexBytes("87 65 43 21 21 10 00 00") + hexBytes(AuthHex)
        + hexBytes("C0 A8 01 14 FF FF FF 00 00 00 00 00");
    QCOMPARE(request.datagram().size(), 44);
    QCOMPARE(request.datagram().toHex(' '), expectedStatic.toHex(' '));

    request.build(lobby(), QStringLiteral("admin"), Flag::SetIpDhcp, 0, 0, 0, counters);
    const QByteArray expectedDhcp = hexBytes("87 65 43 21 21 11 00 01") + hexBytes(AuthHex);
    QCOMPARE(request.datagram().size(), 32);
    QCOMPARE(request.datagram().toHex(' '), expectedDhcp.toHex(' '));

    const QByteArray confirm = BuildConfirmRequest(lobby(), QStringLiteral("admin"), counters);
    QCOMPARE(confirm.toHex(' '), (hexBytes("87 65 43 21 A0 99 00 00") + hexBytes(AuthHex)).toHex(' '));
}

void TestSetIpRequest::countersAreIndependent()
{
    SequenceCounters counters;
    SetIpRequest request;
    counters.take(SequenceCounters::Filter);
    counters.take(SequenceCounters::Filter);
    counters.take(SequenceCounters::Confirm);
    request.build(lobby(), QString(), Flag::SetIpStatic, 1, 2, 3, counters);
    QCOMPARE(request.bytes().sliced(6, 2).toHex(' '), QByteArray("00 00"));
    request.build(lobby(), QString(), Flag::SetIpStatic, 1, 2, 3, counters);
    QCOMPARE(request.bytes().sliced(6, 2).toHex(' '), QByteArray("00 01"));
    QCOMPARE(counters.value(SequenceCounters::Filter), quint16(2));
    QCOMPARE(counters.value(SequenceCounters::Confirm), quint16(1));
}

void TestSetIpRequest::counterWrapsAfter32767()
{
    SequenceCounters counters;
    for (int i = 0; i < 32767; ++i)
        counters.take(SequenceCounters::SetIp);
    SetIpRequest request;
    request.build(lobby(), QString(), Flag::SetIpStatic, 0, 0, 0, counters);
    QCOMPARE(request.bytes().sliced(6, 2).toHex(' '), QByteArray("7f ff"));
    request.build(lobby(), QString(), Flag::SetIpStatic, 0, 0, 0, counters);
    QCOMPARE(request.bytes().sliced(6, 2).toHex(' '), QByteArray("00 00"));
    request.build(lobby(), QString(), Flag::SetIpStatic, 0, 0, 0, counters);
    QCOMPARE(request.bytes().sliced(6, 2).toHex(' '), QByteArray("00 01"));
}

void TestSetIpRequest::replyMatching_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("matches");

    // The request under test carries sequence 00 05 and adapter MAC 02-00-00-00-80-FF.
    QTest::newRow("status ok") << reply("87 65 43 21 21 00 00 05", "02 00 00 00 80 FF", "00 00") << true;
    QTest::newRow("byte 5 not examined") << reply("87 65 43 21 21 EE 00 05", "02 00 00 00 80 FF", "00 01") << true;
    QTest::newRow("device's own MAC instead of adapter's")
        << reply("87 65 43 21 21 00 00 05", "00 0A 1B 2C 3D 4E", "00 00") << false;
    QTest::newRow("another adapter's MAC") << reply("87 65 43 21 21 00 00 05", "02 00 00 00 80 FE", "00 00") << false;
    QTest::newRow("older sequence") << reply("87 65 43 21 21 00 00 04", "02 00 00 00 80 FF", "00 00") << false;
    QTest::newRow("byte-swapped sequence") << reply("87 65 43 21 21 00 05 00", "02 00 00 00 80 FF", "00 00") << false;
    QTest::newRow("wrong opcode") << reply("87 65 43 21 60 00 00 05", "02 00 00 00 80 FF", "00 00") << false;
    QTest::newRow("cut inside the MAC") << hexBytes("87 65 43 21 21 00 00 05 02 00 00") << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("5 bytes") << hexBytes("87 65 43 21 21") << false;
}

void TestSetIpRequest::replyMatching()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, matches);
    SequenceCounters counters;
    for (int i = 0; i < 5; ++i)
        counters.take(SequenceCounters::SetIp);
    SetIpRequest request;
    request.build(lobby(), QStringLiteral("admin"), Flag::SetIpStatic, 0xC0A80114, 0xFFFFFF00, 0, counters);
    QCOMPARE(request.isReply(reply), matches);
}

void TestSetIpRequest::lateReplyIsNotAccepted()
{
    SequenceCounters counters;
    SetIpRequest request;
    request.build(lobby(), QString(), Flag::SetIpStatic, 0, 0, 0, counters);
    const QByteArray first = reply("87 65 43 21 21 00 00 00", "02 00 00 00 80 FF", "00 00");
    QVERIFY(request.isReply(first));
    request.build(lobby(), QString(), Flag::SetIpStatic, 0, 0, 0, counters);
    QVERIFY(!request.isReply(first));
}

void TestSetIpRequest::replyStatus_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<int>("status"); // -1: not a reply

    QTest::newRow("success") << reply("87 65 43 21 21 00 00 00", "02 00 00 00 80 FF", "00 00") << 0;
    QTest::newRow("failure") << reply("87 65 43 21 21 00 00 00", "02 00 00 00 80 FF", "00 01") << 1;
    QTest::newRow("bad password") << reply("87 65 43 21 21 00 00 00", "02 00 00 00 80 FF", "00 FF") << 255;
    QTest::newRow("big-endian") << reply("87 65 43 21 21 00 00 00", "02 00 00 00 80 FF", "01 00") << 256;
    QTest::newRow("exactly 23 bytes") << reply("87 65 43 21 21 00 00 00", "02 00 00 00 80 FF", "00 01").first(23) << 1;
    QTest::newRow("22 bytes is too short")
        << reply("87 65 43 21 21 00 00 00", "02 00 00 00 80 FF", "00 01").first(22) << -1;
    QTest::newRow("wrong magic") << reply("87 65 43 22 21 00 00 00", "02 00 00 00 80 FF", "00 00") << -1;
}

void TestSetIpRequest::replyStatus()
{
    QFETCH(QByteArray, datagram);
    QFETCH(int, status);
    const auto actual = SetIpReply::status(datagram);
    QCOMPARE(actual.has_value(), status >= 0);
    if (actual)
        QCOMPARE(int(*actual), status);
}

QTEST_GUILESS_MAIN(TestSetIpRequest)
#include "tst_setiprequest.moc"
