#include "ipconfig/inetaddr.h"

#include <QTest>

using namespace farlight;

class TestInetAddr : public QObject
{
    Q_OBJECT

private slots:
    void convert_data();
    void convert();
    void convertsEveryOctetValue();
};

void TestInetAddr::convert_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint32>("value");

    const quint32 none = 0xFFFFFFFFu;

    // Accepted texts.
    QTest::newRow("private address") << QStringLiteral("192.168.1.20") << 0xC0A80114u;
    QTest::newRow("loopback") << QStringLiteral("127.0.0.1") << 0x7F000001u;
    QTest::newRow("any") << QStringLiteral("0.0.0.0") << 0x00000000u;
    QTest::newRow("mask") << QStringLiteral("255.255.255.0") << 0xFFFFFF00u;
    QTest::newRow("smallest mask") << QStringLiteral("128.0.0.0") << 0x80000000u;
    QTest::newRow("all ones equals none") << QStringLiteral("255.255.255.255") << none;
    QTest::newRow("leading zeros are decimal") << QStringLiteral("192.168.001.010") << 0xC0A8010Au;
    QTest::newRow("leading zero before 8 and 9") << QStringLiteral("10.08.09.1") << 0x0A080901u;
    QTest::newRow("long run of zeros") << QStringLiteral("0000000010.1.1.1") << 0x0A010101u;
    QTest::newRow("gateway of zeros") << QStringLiteral("0.0.0.00") << 0x00000000u;
    QTest::newRow("top of each octet") << QStringLiteral("255.0.255.0") << 0xFF00FF00u;

    // Refused texts.
    QTest::newRow("empty") << QString() << none;
    QTest::newRow("three dots from four empty fields") << QStringLiteral("...") << none;
    QTest::newRow("empty third field") << QStringLiteral("192.168..1") << none;
    QTest::newRow("empty last field") << QStringLiteral("192.168.1.") << none;
    QTest::newRow("empty first field") << QStringLiteral(".168.1.1") << none;
    QTest::newRow("octet above 255") << QStringLiteral("192.168.1.256") << none;
    QTest::newRow("first octet above 255") << QStringLiteral("256.0.0.1") << none;
    QTest::newRow("huge octet") << QStringLiteral("1.2.3.99999999999999999999") << none;
    QTest::newRow("five parts") << QStringLiteral("1.2.3.4.5") << none;
    QTest::newRow("trailing dot") << QStringLiteral("1.2.3.4.") << none;
    QTest::newRow("shorthand a.b.c") << QStringLiteral("127.0.1") << none;
    QTest::newRow("shorthand a.b") << QStringLiteral("127.1") << none;
    QTest::newRow("shorthand a") << QStringLiteral("2130706433") << none;
    QTest::newRow("hexadecimal part") << QStringLiteral("0x7f.0.0.1") << none;
    QTest::newRow("bare 0x") << QStringLiteral("0x.0.0.1") << none;
    QTest::newRow("minus sign") << QStringLiteral("-1.0.0.1") << none;
    QTest::newRow("plus sign") << QStringLiteral("+1.0.0.1") << none;
    QTest::newRow("leading space") << QStringLiteral(" 1.2.3.4") << none;
    QTest::newRow("trailing space") << QStringLiteral("1.2.3.4 ") << none;
    QTest::newRow("trailing text after space") << QStringLiteral("1.2.3.4 junk") << none;
    QTest::newRow("space inside") << QStringLiteral("1.2. 3.4") << none;
    QTest::newRow("letters") << QStringLiteral("a.b.c.d") << none;
    QTest::newRow("comma") << QStringLiteral("1,2.3.4") << none;
    QTest::newRow("full-width digit") << QStringLiteral("\uFF11.2.3.4") << none;
    QTest::newRow("arabic-indic digit") << QStringLiteral("1.2.3.\u0664") << none;
    QTest::newRow("nul inside") << QString::fromUtf8("1.2.3.4\0", 8) << none;
}

void TestInetAddr::convert()
{
    QFETCH(QString, text);
    QFETCH(quint32, value);
    QCOMPARE(InetAddr(text), value);
}

void TestInetAddr::convertsEveryOctetValue()
{
    for (quint32 octet = 0; octet <= 255; ++octet) {
        const QString text = QStringLiteral("10.%1.%1.%1").arg(octet);
        QCOMPARE(InetAddr(text), 0x0A000000u | (octet << 16) | (octet << 8) | octet);
    }
}

QTEST_GUILESS_MAIN(TestInetAddr)
#include "tst_inetaddr.moc"
