#include "../support/hexbytes.h"
#include "protocol/authblock.h"
#include "protocol/packetheader.h"
#include "protocol/setiprequest.h"

#include <QTest>

using namespace farlight;

static AuthTarget lobby()
{
    return AuthTarget{{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}, {0x02, 0x00, 0x00, 0x00, 0x80, 0xFF}, "Lobby"};
}

// The authentication block for "admin"; its bytes are the scrambling's test.
static QByteArray adminAuth()
{
    QByteArray bytes(AuthBlock::Offset + AuthBlock::Size, '\0');
    AuthBlock::writeTo(bytes, lobby(), QStringLiteral("admin"));
    return bytes.sliced(AuthBlock::Offset);
}

static QByteArray reply(const char *headerHex, const char *macHex, const char *statusHex)
{
    return hexBytes(headerHex) + hexBytes(macHex) + zeros(6) + hexBytes(statusHex) + zeros(2);
}

class TestSetIpRequest : public QObject
{
    Q_OBJECT

private slots:
    void workedLayout()
    {
        SequenceCounters counters;
        counters.take(SequenceCounters::Filter); // the set-IP numbers do not share it
        SetIpRequest request;
        request.build(lobby(), QStringLiteral("admin"), Flag::SetIpStatic, 0xC0A80114, 0xFFFFFF00, 0, counters);
        const QByteArray auth = adminAuth(), body = hexBytes("C0 A8 01 14 FF FF FF 00 00 00 00 00");
        QCOMPARE(request.datagram().toHex(' '), (hexBytes("87 65 43 21 21 10 00 00") + auth + body).toHex(' '));
        request.build(lobby(), QStringLiteral("admin"), Flag::SetIpDhcp, 0, 0, 0, counters);
        QCOMPARE(request.datagram().toHex(' '), (hexBytes("87 65 43 21 21 11 00 01") + auth).toHex(' '));
        const QByteArray confirm = BuildConfirmRequest(lobby(), QStringLiteral("admin"), counters);
        QCOMPARE(confirm.toHex(' '), (hexBytes("87 65 43 21 A0 99 00 00") + auth).toHex(' '));
    }

    void replyMatching_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("matches");

        // The request under test carries sequence 00 05 and adapter MAC 02-00-00-00-80-FF.
        QTest::newRow("status ok") << reply("87 65 43 21 21 00 00 05", "02 00 00 00 80 FF", "00 00") << true;
        QTest::newRow("byte 5 not examined") << reply("87 65 43 21 21 EE 00 05", "02 00 00 00 80 FF", "00 01") << true;
        QTest::newRow("device's own MAC instead of adapter's")
            << reply("87 65 43 21 21 00 00 05", "00 0A 1B 2C 3D 4E", "00 00") << false;
        QTest::newRow("late reply to the previous request")
            << reply("87 65 43 21 21 00 00 04", "02 00 00 00 80 FF", "00 00") << false;
        QTest::newRow("byte-swapped sequence")
            << reply("87 65 43 21 21 00 05 00", "02 00 00 00 80 FF", "00 00") << false;
        QTest::newRow("wrong opcode") << reply("87 65 43 21 60 00 00 05", "02 00 00 00 80 FF", "00 00") << false;
        QTest::newRow("cut inside the MAC") << hexBytes("87 65 43 21 21 00 00 05 02 00 00") << false;
    }

    void replyMatching()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, matches);
        SequenceCounters counters;
        SetIpRequest request;
        for (int i = 0; i < 6; ++i)
            request.build(lobby(), QStringLiteral("admin"), Flag::SetIpStatic, 0xC0A80114, 0xFFFFFF00, 0, counters);
        QCOMPARE(request.isReply(reply), matches);
    }

    void replyStatus_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<int>("status"); // -1: not a reply

        const QByteArray failure = reply("87 65 43 21 21 00 00 00", "02 00 00 00 80 FF", "00 01");
        QTest::newRow("success") << reply("87 65 43 21 21 00 00 00", "02 00 00 00 80 FF", "00 00") << 0;
        QTest::newRow("big-endian") << reply("87 65 43 21 21 00 00 00", "02 00 00 00 80 FF", "01 00") << 256;
        QTest::newRow("exactly 23 bytes") << failure.first(23) << 1;
        QTest::newRow("22 bytes is too short") << failure.first(22) << -1;
        QTest::newRow("wrong magic") << reply("87 65 43 22 21 00 00 00", "02 00 00 00 80 FF", "00 00") << -1;
    }

    void replyStatus()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(int, status);
        const auto actual = SetIpReply::status(datagram);
        QCOMPARE(actual ? int(*actual) : -1, status);
    }
};

QTEST_GUILESS_MAIN(TestSetIpRequest)
#include "tst_setiprequest.moc"
