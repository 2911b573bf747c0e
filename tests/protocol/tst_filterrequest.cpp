// The filter codec alone. The request bytes on the wire and which request is current belong to the exchange's test.
#include "../support/hexbytes.h"
#include "protocol/filterrequest.h"
#include "protocol/packetheader.h"

#include <QTest>

using namespace farlight;

static const AuthTarget Lobby{{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}, {0x02, 0x00, 0x00, 0x00, 0x80, 0xFF}, "Lobby"};

// A reply to Lobby's adapter, padded to the 792 bytes a device sends.
static QByteArray reply(const char *headerHex, const char *statusHex, const char *slotsHex = "")
{
    const QByteArray bytes = hexBytes(headerHex) + hexBytes("02 00 00 00 80 FF") + zeros(6) + hexBytes(statusHex)
        + zeros(2) + hexBytes(slotsHex);
    return bytes + zeros(792 - bytes.size());
}

class TestFilterRequest : public QObject
{
    Q_OBJECT

private slots:
    void writeRequestHoldsAtMost128()
    {
        SequenceCounters counters;
        counters.take(SequenceCounters::SetIp); // filter requests have their own numbers
        FilterRequestHeader header;
        header.build(Lobby, QStringLiteral("admin"), Flag::FilterWrite, counters);
        QList<MacAddress> list;
        for (int i = 0; i < 130; ++i)
            list.append({0, 0, 0, 0, 0, quint8(i)});
        const QByteArray request = header.writeRequest(list);
        QCOMPARE(request.first(8).toHex(' '), QByteArray("87 65 43 21 60 10 00 00"));
        QCOMPARE(request.size(), 800);
        QCOMPARE(request.sliced(788).toHex(' '), QByteArray("00 00 00 00 00 7e 00 00 00 00 00 7f"));
    }

    void replies_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<bool>("matches");  // answers the read numbered 00 03 (the flag is not compared)
        QTest::addColumn<QString>("parsed"); // flag, status and the listed MACs; empty: refused

        const QByteArray list = reply("87654321 6030 0003", "0000", "001122334455 AA0000000000");
        const char *const mixed = "000000000002 000000000000 000000000001 FFFFFFFFFFFF";
        QTest::newRow("empty and broadcast slots skipped") << reply("87654321 6030 0003", "0000", mixed) << true
                                                           << "30 0 000000000002 000000000001";
        QTest::newRow("22-byte write reply") << reply("87654321 6000 0003", "00FF").first(22) << true << "00 255";
        QTest::newRow("late reply to the previous request") << reply("87654321 6030 0002", "0000") << false << "30 0";
        QTest::newRow("set-IP opcode") << reply("87654321 2130 0003", "0000") << false << "30 0";
        QTest::newRow("another adapter") << list.first(13) + '\xFE' + list.sliced(14, 8) << false << "30 0";
        QTest::newRow("past 792") << list + hexBytes("AABBCCDDEEFF") << true << "30 0 001122334455 AA0000000000";
        QTest::newRow("short list: whole slots only") << list.first(24 + 6 + 5) << true << "30 0 001122334455";
        QTest::newRow("21 bytes: no whole status") << list.first(21) << true << "";
        QTest::newRow("13 bytes: no whole adapter MAC") << list.first(13) << false << "";
        QTest::newRow("wrong magic") << reply("21436587 6030 0003", "0000") << true << "";
    }

    void replies()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(bool, matches);
        QFETCH(QString, parsed);
        SequenceCounters counters;
        FilterRequestHeader header;
        for (int i = 0; i < 4; ++i)
            header.build(Lobby, QString(), Flag::FilterRead, counters);
        QCOMPARE(header.isReply(datagram), matches);
        QString fields;
        if (const auto reply = FilterReply::parse(datagram)) {
            fields = QString::asprintf("%02X %d", reply->flag, reply->status);
            for (const MacAddress &mac : reply->addresses)
                fields += u' ' + MacKey(mac);
        }
        QCOMPARE(fields, parsed);
    }
};

QTEST_GUILESS_MAIN(TestFilterRequest)
#include "tst_filterrequest.moc"
