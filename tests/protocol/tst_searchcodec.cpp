#include "protocol/searchcodec.h"
#include "testbytes.h"

#include <QTest>

using namespace farlight;

// A reply written field by field at the offsets the devices use: magic, opcode, flag, sequence,
// requester MAC at 8, device MAC at 14, host name at 28 (32 bytes), SSID at 61 (32), channel at 94,
// WEP at 113, 185 bytes in all.
static QByteArray reply(const QByteArray &head8, const QByteArray &hostField, const QByteArray &ssidField,
                        quint8 channel, quint8 wep, int size = 185)
{
    QByteArray b(185, '\0');
    b.replace(0, 8, head8);
    b.replace(8, 6, hexBytes("02 00 00 00 00 01"));
    b.replace(14, 6, hexBytes("00 0A 1B 2C 3D 4E"));
    b.replace(28, 32, hostField.leftJustified(32, '\0', true));
    b.replace(61, 32, ssidField.leftJustified(32, '\0', true));
    b[94] = char(channel);
    b[113] = char(wep);
    b[60] = 'X'; // uninterpreted bytes between the fields must not leak into them
    b[93] = 'Y';
    return b.left(size);
}

class TestSearchCodec : public QObject
{
    Q_OBJECT

private slots:
    void request();
    void parse_data();
    void parse();
    void deviceSideReplyRoundTrip();
};

void TestSearchCodec::request()
{
    QCOMPARE(BuildSearchRequest({0x02, 0x00, 0x00, 0x00, 0x00, 0x01}, 1).toHex(' '),
             hexBytes("87 65 43 21 12 00 00 01 02 00 00 00 00 01 00 00").toHex(' '));
    QCOMPARE(BuildSearchRequest({0xFF, 0xEE, 0xDD, 0xCC, 0xBB, 0xAA}, 0x1234).toHex(' '),
             hexBytes("87 65 43 21 12 00 12 34 FF EE DD CC BB AA 00 00").toHex(' '));
}

void TestSearchCodec::parse_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("hostName");
    QTest::addColumn<QString>("ssid");
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("wep");

    const QByteArray head = hexBytes("87 65 43 21 12 10 00 01");
    QTest::newRow("A P 1 then NULs") << reply(head, "AP1", "lobby", 11, 1) << true << "AP1" << "lobby" << 11 << 1;
    QTest::newRow("32 characters, trailing spaces, no NUL")
        << reply(head, QByteArray("Lobby AP").leftJustified(32, ' '), QByteArray(32, 'S'), 6, 0) << true
        << "Lobby AP" << QString(32, 'S') << 6 << 0;
    QTest::newRow("leading spaces without NUL are removed")
        << reply(head, QByteArray("   ").append(QByteArray(29, 'n')), "x", 1, 2) << true << QString(29, 'n') << "x"
        << 1 << 2;
    QTest::newRow("spaces kept when a NUL ends the field")
        << reply(head, " AP ", " s ", 1, 1) << true << " AP " << " s " << 1 << 1;
    QTest::newRow("Latin-1 host name") << reply(head, "Caf\xE9", "s", 1, 1) << true << QStringLiteral(u"Caf\u00E9")
                                       << "s" << 1 << 1;
    QTest::newRow("empty host name") << reply(head, "", "", 0, 0) << true << "" << "" << 0 << 0;
    QTest::newRow("184 bytes") << reply(head, "AP", "s", 3, 1, 184) << true << "AP" << "s" << 3 << 1;
    QTest::newRow("183 bytes") << reply(head, "AP", "s", 3, 1, 183) << false << "" << "" << 0 << 0;
    QTest::newRow("wrong magic") << reply(hexBytes("87 65 43 20 12 10 00 01"), "AP", "s", 3, 1) << false << "" << ""
                                 << 0 << 0;
    QTest::newRow("long datagram") << reply(head, "AP", "s", 3, 1) + QByteArray(4000, 'z') << true << "AP" << "s" << 3
                                   << 1;
}

void TestSearchCodec::parse()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, valid);
    const auto parsed = SearchReply::parse(datagram);
    QCOMPARE(parsed.has_value(), valid);
    if (!parsed)
        return;
    QFETCH(QString, hostName);
    QFETCH(QString, ssid);
    QFETCH(int, channel);
    QFETCH(int, wep);
    QCOMPARE(parsed->hostName, hostName);
    QCOMPARE(parsed->ssid, ssid);
    QCOMPARE(int(parsed->channel), channel);
    QCOMPARE(int(parsed->wep), wep);
    QCOMPARE(parsed->sequence, quint16(1));
    QCOMPARE(FormatMac(parsed->deviceMac), QStringLiteral("00-0A-1B-2C-3D-4E"));
    QCOMPARE(FormatMac(parsed->requesterMac), QStringLiteral("02-00-00-00-00-01"));
}

void TestSearchCodec::deviceSideReplyRoundTrip()
{
    SearchReplyFields fields;
    fields.sequence = 7;
    fields.requesterMac = {0x02, 0, 0, 0, 0, 0x01};
    fields.deviceMac = {0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
    fields.hostName = "AP-Lobby";
    fields.ssid = "lobby";
    fields.channel = 6;
    fields.wep = 1;
    const QByteArray bytes = BuildSearchReply(fields);
    QByteArray expected(185, '\0');
    expected.replace(0, 20, hexBytes("87 65 43 21 12 10 00 07 02 00 00 00 00 01 00 0A 1B 2C 3D 4E"));
    expected.replace(28, 8, "AP-Lobby");
    expected.replace(61, 5, "lobby");
    expected[94] = 6;
    expected[113] = 1;
    QCOMPARE(bytes.toHex(' '), expected.toHex(' '));
}

QTEST_GUILESS_MAIN(TestSearchCodec)
#include "tst_searchcodec.moc"
