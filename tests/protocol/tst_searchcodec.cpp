#include "../support/hexbytes.h"
#include "protocol/searchcodec.h"

#include <QTest>

using namespace farlight;

// A reply written field by field at the offsets the devices use: magic, opcode, flag, sequence,
// requester MAC at 8, device MAC at 14, host name at 28 (32 bytes), SSID at 61 (32), channel at 94,
// WEP at 113, 185 bytes in all. Bytes 60 and 93, between the fields, carry noise.
static QByteArray reply(const char *head, const QByteArray &host, const QByteArray &ssid, quint8 channel, quint8 wep,
                        int size = 185)
{
    QByteArray b(185, '\0');
    b.replace(0, 14, hexBytes(head) + hexBytes("02 00 00 00 00 01"));
    b.replace(14, 6, hexBytes("00 0A 1B 2C 3D 4E"));
    b.replace(28, 32, host.leftJustified(32, '\0', true));
    b.replace(61, 32, ssid.leftJustified(32, '\0', true));
    b[94] = char(channel);
    b[113] = char(wep);
    b[60] = 'X';
    b[93] = 'Y';
    return b.left(size);
}

static const char Head[] = "87 65 43 21 12 10 00 01";

class TestSearchCodec : public QObject
{
    Q_OBJECT

private slots:
    void request()
    {
        QCOMPARE(BuildSearchRequest({0xFF, 0xEE, 0xDD, 0xCC, 0xBB, 0xAA}, 0x1234).toHex(' '),
                 hexBytes("87 65 43 21 12 00 12 34 FF EE DD CC BB AA 00 00").toHex(' '));
    }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("fields"); // host name|SSID|channel|WEP; empty: not a reply

        QTest::newRow("A P 1 then NULs") << reply(Head, "AP1", "lobby", 11, 1) << "AP1|lobby|11|1";
        QTest::newRow("32 characters, trailing spaces, no NUL")
            << reply(Head, QByteArray("Lobby AP").leftJustified(32, ' '), QByteArray(32, 'S'), 6, 0)
            << "Lobby AP|" + QString(32, 'S') + "|6|0";
        QTest::newRow("leading spaces without NUL are removed")
            << reply(Head, "   " + QByteArray(29, 'n'), "x", 1, 2) << QString(29, 'n') + "|x|1|2";
        QTest::newRow("spaces kept when a NUL ends the field") << reply(Head, " AP ", " s ", 1, 1) << " AP | s |1|1";
        QTest::newRow("Latin-1 host name") << reply(Head, "Caf\xE9", "s", 1, 1) << QStringLiteral(u"Caf\u00E9|s|1|1");
        QTest::newRow("empty host name") << reply(Head, "", "", 0, 0) << "||0|0";
        QTest::newRow("184 bytes") << reply(Head, "AP", "s", 3, 1, 184) << "AP|s|3|1";
        QTest::newRow("183 bytes") << reply(Head, "AP", "s", 3, 1, 183) << "";
        QTest::newRow("wrong magic") << reply("87 65 43 20 12 10 00 01", "AP", "s", 3, 1) << "";
        QTest::newRow("long datagram") << reply(Head, "AP", "s", 3, 1) + QByteArray(4000, 'z') << "AP|s|3|1";
    }

    void parse()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, fields);
        const auto parsed = SearchReply::parse(datagram);
        QString texts;
        if (parsed)
            texts = QStringList{parsed->hostName, parsed->ssid, QString::number(parsed->channel),
                                QString::number(parsed->wep)}.join(u'|');
        QCOMPARE(texts, fields);
        if (!parsed)
            return;
        QCOMPARE(parsed->sequence, quint16(1));
        QCOMPARE(FormatMac(parsed->deviceMac), QStringLiteral("00-0A-1B-2C-3D-4E"));
        QCOMPARE(FormatMac(parsed->requesterMac), QStringLiteral("02-00-00-00-00-01"));
    }
};

QTEST_GUILESS_MAIN(TestSearchCodec)
#include "tst_searchcodec.moc"
