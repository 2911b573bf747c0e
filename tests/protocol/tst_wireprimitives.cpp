#include "protocol/bytereader.h"
#include "protocol/macaddress.h"
#include "protocol/packetheader.h"
#include "protocol/sequencecounters.h"
#include "testbytes.h"

#include <QTest>

using namespace farlight;

class TestWirePrimitives : public QObject
{
    Q_OBJECT

private slots:
    void readerValues();
    void writerRefusesOutOfBounds();
    void header_data();
    void header();
    void parseMac_data();
    void parseMac();
};

void TestWirePrimitives::readerValues()
{
    const QByteArray data = hexBytes("87 65 43 21 FF 01 02 03 04 05");
    const ByteReader r(data);
    QCOMPARE(r.u32be(0), std::optional<quint32>(0x87654321));
    QCOMPARE(r.u16be(4), std::optional<quint16>(0xFF01));
    QCOMPARE(r.u8(9), std::optional<quint8>(5));
    QVERIFY(!r.u8(10));
    QVERIFY(!r.u16be(9));
    QVERIFY(!r.u32be(7));
    QVERIFY(!r.mac(5));
    QVERIFY(!r.has(-1, 1) && !r.has(0, -1) && !r.has(11, 0) && r.has(10, 0));
    QCOMPARE(FormatMac(*r.mac(4)), QStringLiteral("FF-01-02-03-04-05"));
    QVERIFY(r.equals(4, hexBytes("FF 01")));
    QVERIFY(!r.equals(9, hexBytes("05 06")));
}

void TestWirePrimitives::writerRefusesOutOfBounds()
{
    QByteArray buffer(4, '\0');
    ByteWriter w(buffer);
    w.u16be(2, 0xABCD);
    QCOMPARE(buffer.toHex(' '), QByteArray("00 00 ab cd"));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, w.u32be(1, 0));
    QCOMPARE(buffer.toHex(' '), QByteArray("00 00 ab cd"));
}

void TestWirePrimitives::header_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("opcode");
    QTest::addColumn<int>("flag");
    QTest::addColumn<int>("sequence");
    QTest::newRow("search reply") << hexBytes("87 65 43 21 12 10 01 02") << true << 0x12 << 0x10 << 0x0102;
    QTest::newRow("longer datagram") << hexBytes("87 65 43 21 A0 99 7F FF 00 00") << true << 0xA0 << 0x99 << 0x7FFF;
    QTest::newRow("7 bytes") << hexBytes("87 65 43 21 12 10 01") << false << 0 << 0 << 0;
    QTest::newRow("little-endian magic") << hexBytes("21 43 65 87 12 10 01 02") << false << 0 << 0 << 0;
}

void TestWirePrimitives::header()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, valid);
    const auto header = PacketHeader::parse(datagram);
    QCOMPARE(header.has_value(), valid);
    if (!header)
        return;
    QFETCH(int, opcode);
    QFETCH(int, flag);
    QFETCH(int, sequence);
    QCOMPARE(int(header->opcode), opcode);
    QCOMPARE(int(header->flag), flag);
    QCOMPARE(int(header->sequence), sequence);
    QByteArray rewritten(8, '\0');
    header->writeTo(rewritten);
    QCOMPARE(rewritten, datagram.first(8));
}

void TestWirePrimitives::parseMac_data()
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
}

void TestWirePrimitives::parseMac()
{
    QFETCH(QString, text);
    QFETCH(QString, formatted);
    const auto mac = ParseMac(text);
    QCOMPARE(mac.has_value(), !formatted.isEmpty());
    if (mac)
        QCOMPARE(FormatMac(*mac), formatted);
}

QTEST_GUILESS_MAIN(TestWirePrimitives)
#include "tst_wireprimitives.moc"
