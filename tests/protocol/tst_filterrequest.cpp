#include "../support/hexbytes.h"
#include "protocol/filterrequest.h"
#include "protocol/packetheader.h"

#include <QTest>

using namespace farlight;

static AuthTarget lobby()
{
    return AuthTarget{{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}, {0x02, 0x00, 0x00, 0x00, 0x80, 0xFF}, "Lobby"};
}
static const char AuthHex[] = "2D 28 0F 10 01 62 62 4C 4C 4C 62 4C 00 0A 1B 2C 3D 4E 02 00 00 00 80 FF";

static QByteArray listReply(const char *headerHex, const char *statusHex, const QByteArray &slotBytes)
{
    const QByteArray bytes = hexBytes(headerHex) + hexBytes("02 00 00 00 80 FF") + zeros(6) + hexBytes(statusHex)
        + zeros(2) + slotBytes;
    return bytes + zeros(792 - bytes.size());
}

class TestFilterRequest : public QObject
{
    Q_OBJECT

private slots:
    void requests()
    {
        SequenceCounters counters;
        FilterRequestHeader header;
        header.build(lobby(), QStringLiteral("admin"), Flag::FilterRead, counters);
        QCOMPARE(header.readRequest().toHex(' '), (hexBytes("87 65 43 21 60 20 00 00") + hexBytes(AuthHex)).toHex(' '));
        QCOMPARE(counters.value(SequenceCounters::SetIp), quint16(0));

        header.build(lobby(), QStringLiteral("admin"), Flag::FilterWrite, counters);
        QList<MacAddress> list{{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}, {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}};
        const QByteArray listed = hexBytes("00 11 22 33 44 55 AA BB CC DD EE FF") + zeros(756);
        QCOMPARE(header.writeRequest(list).toHex(' '),
                 (hexBytes("87 65 43 21 60 10 00 01") + hexBytes(AuthHex) + listed).toHex(' '));
        // Entry i holds the number i from here on: 130 entries, of which the 128 slots take the first.
        for (int i = 2; i < 130; ++i)
            list.append({0, 0, 0, 0, 0, quint8(i)});
        const QByteArray full = header.writeRequest(list);
        QCOMPARE(full.size(), 800);
        QCOMPARE(full.sliced(788).toHex(' '), QByteArray("00 00 00 00 00 7e 00 00 00 00 00 7f"));
    }

    void replyMatching_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("matches");
        // The request under test carries sequence 00 03.
        QTest::newRow("list reply") << listReply("87 65 43 21 60 30 00 03", "00 00", {}) << true;
        QTest::newRow("write reply, byte 5 not compared") << listReply("87 65 43 21 60 00 00 03", "00 00", {}) << true;
        QTest::newRow("another adapter's MAC") << hexBytes("87 65 43 21 60 30 00 03 02 00 00 00 80 FE") + zeros(778)
                                               << false;
        QTest::newRow("late reply to the previous request") << listReply("87 65 43 21 60 30 00 02", "00 00", {})
                                                            << false;
        QTest::newRow("set-IP opcode") << listReply("87 65 43 21 21 30 00 03", "00 00", {}) << false;
        QTest::newRow("13 bytes") << hexBytes("87 65 43 21 60 30 00 03 02 00 00 00 80") << false;
    }

    void replyMatching()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, matches);
        SequenceCounters counters;
        FilterRequestHeader header;
        for (int i = 0; i < 4; ++i)
            header.build(lobby(), QString(), Flag::FilterRead, counters);
        QCOMPARE(header.isReply(reply), matches);
    }

    void parseReply_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("parsed"); // flag, status and the listed MACs; empty: refused

        const QByteArray mixed = hexBytes("00 00 00 00 00 02  00 00 00 00 00 00  00 00 00 00 00 01  FF FF FF FF FF FF"
                                          "  00 00 00 00 00 02");
        QTest::newRow("empty and broadcast slots skipped") << listReply("87 65 43 21 60 30 00 00", "00 00", mixed)
                                                           << "30 0 000000000002 000000000001 000000000002";
        QTest::newRow("status failure") << listReply("87 65 43 21 60 30 00 00", "00 01", {}) << "30 1";
        QTest::newRow("write reply") << listReply("87 65 43 21 60 00 00 00", "00 FF", {}) << "00 255";
        QTest::newRow("longer than 792: rest ignored")
            << listReply("87 65 43 21 60 30 00 00", "00 00", hexBytes("00 11 22 33 44 55"))
                   + hexBytes("AA BB CC DD EE FF")
            << "30 0 001122334455";
        // 24 + 6 + 5 bytes holds one whole slot.
        QTest::newRow("short list reply yields whole slots only")
            << hexBytes("87 65 43 21 60 30 00 00 02 00 00 00 80 FF") + zeros(6)
                   + hexBytes("00 00 00 00  00 11 22 33 44 55  66 77 88 99 AA")
            << "30 0 001122334455";
        const QByteArray writeReply = listReply("87 65 43 21 60 00 00 00", "00 01", {});
        QTest::newRow("exactly 22 bytes") << writeReply.first(22) << "00 1";
        QTest::newRow("21 bytes has no whole status") << writeReply.first(21) << "";
        QTest::newRow("wrong magic") << listReply("21 43 65 87 60 30 00 00", "00 00", {}) << "";
    }

    void parseReply()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, parsed);
        const auto reply = FilterReply::parse(datagram);
        QStringList fields;
        if (reply) {
            fields << QString::asprintf("%02X", reply->flag) << QString::number(reply->status);
            for (const MacAddress &mac : reply->addresses)
                fields << MacKey(mac);
        }
        QCOMPARE(fields.join(u' '), parsed);
    }
};

QTEST_GUILESS_MAIN(TestFilterRequest)
#include "tst_filterrequest.moc"
