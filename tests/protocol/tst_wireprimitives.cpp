#include "../support/hexbytes.h"
#include "protocol/bytereader.h"
#include "protocol/macaddress.h"
#include "protocol/packetheader.h"
#include "protocol/sequencecounters.h"

#include <QTest>

using namespace farlight;

class TestWirePrimitives : public QObject
{
    Q_OBJECT

private slots:
    void readerStaysInBounds()
    {
        const QByteArray data = hexBytes("87 65 43 21 FF 01 02 03 04 05");
        const ByteReader r(data); // a view: the bytes must outlive it
        QCOMPARE(r.u32be(0), std::optional<quint32>(0x87654321));
        QCOMPARE(r.u16be(4), std::optional<quint16>(0xFF01));
        QCOMPARE(r.u8(9), std::optional<quint8>(5));
        QVERIFY(!r.u8(10) && !r.u16be(9) && !r.u32be(7) && !r.mac(5));
        QVERIFY(!r.has(-1, 1) && !r.has(0, -1) && !r.has(11, 0) && r.has(10, 0));
        QCOMPARE(FormatMac(*r.mac(4)), QStringLiteral("FF-01-02-03-04-05"));
        QVERIFY(r.equals(4, hexBytes("FF 01")) && !r.equals(9, hexBytes("05 06")));
    }

    void writerRefusesOutOfBounds()
    {
        QByteArray buffer(4, '\0');
        ByteWriter w(buffer);
        w.u16be(2, 0xABCD);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, w.u32be(1, 0));
        QCOMPARE(buffer.toHex(' '), QByteArray("00 00 ab cd"));
    }

    void header_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("fields"); // opcode, flag, sequence; empty: refused
        QTest::newRow("search reply") << hexBytes("87 65 43 21 12 10 01 02") << "12 10 0102";
        QTest::newRow("longer datagram") << hexBytes("87 65 43 21 A0 99 7F FF 00 00") << "A0 99 7FFF";
        QTest::newRow("7 bytes") << hexBytes("87 65 43 21 12 10 01") << "";
        QTest::newRow("little-endian magic") << hexBytes("21 43 65 87 12 10 01 02") << "";
    }

    void header()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, fields);
        const auto header = PacketHeader::parse(datagram);
        const QString parsed =
            header ? QString::asprintf("%02X %02X %04X", header->opcode, header->flag, header->sequence) : QString();
        QCOMPARE(parsed, fields);
    }

    void parseMac_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("formatted"); // empty: refused
        QTest::newRow("dashes") << "00-0A-1B-2C-3D-4E" << "00-0A-1B-2C-3D-4E";
        QTest::newRow("colons, lower case") << "00:0a:1b:2c:3d:4e" << "00-0A-1B-2C-3D-4E";
        QTest::newRow("bare") << "000a1B2c3D4e" << "00-0A-1B-2C-3D-4E";
        QTest::newRow("mixed separators") << "00-0A:1B-2C-3D-4E" << "";
        QTest::newRow("non-hex") << "00-0A-1B-2C-3D-4G" << "";
        QTest::newRow("too short") << "000A1B2C3D4" << "";
        QTest::newRow("dot separators") << "00.0A.1B.2C.3D.4E" << "";
        QTest::newRow("groups of four") << "000a.1B2c.3D4e" << "00-0A-1B-2C-3D-4E";
        QTest::newRow("groups of four, other separator") << "000a-1B2c-3D4e" << "";
    }

    void parseMac()
    {
        QFETCH(QString, text);
        QFETCH(QString, formatted);
        const auto mac = ParseMac(text);
        QCOMPARE(mac ? FormatMac(*mac) : QString(), formatted);
    }

    void counterWrapsAfter32767()
    {
        RequestCounter counter;
        for (int i = 0; i < 32767; ++i)
            counter.take();
        QCOMPARE(counter.take(), quint16(32767));
        QCOMPARE(counter.take(), quint16(0));
    }
};

QTEST_GUILESS_MAIN(TestWirePrimitives)
#include "tst_wireprimitives.moc"
