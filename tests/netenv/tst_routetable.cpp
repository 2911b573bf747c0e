#include "netenv/routetable.h"

#include <QTest>

using namespace farlight;

using GatewayMap = QHash<QString, QString>;
Q_DECLARE_METATYPE(GatewayMap)

namespace {

const QByteArray Header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

// One line as the kernel prints it; addresses are given as the kernel's hexadecimal words.
QByteArray Line(const char *iface, const char *destination, const char *gateway, const char *flags,
                const char *metric, const char *mask)
{
    return QByteArray(iface) + '\t' + destination + '\t' + gateway + '\t' + flags + "\t0\t0\t" + metric + '\t'
        + mask + "\t0\t0\t0\n";
}

} // namespace

class TestRouteTable : public QObject
{
    Q_OBJECT

private slots:
    void defaultGateways_data();
    void defaultGateways();
};

void TestRouteTable::defaultGateways_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<GatewayMap>("gateways");

    // On a little-endian machine 10.1.2.1 is printed 0102010A.
    const bool little = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    const char *gw10 = little ? "0102010A" : "0A010201";
    const char *gw192 = little ? "0101A8C0" : "C0A80101";
    const char *gw192b = little ? "FE01A8C0" : "C0A801FE";
    const char *net10 = little ? "0002010A" : "0A010200";
    const char *mask24 = little ? "00FFFFFF" : "FFFFFF00";

    QTest::newRow("empty text") << QByteArray() << GatewayMap{};
    QTest::newRow("header only") << Header << GatewayMap{};
    QTest::newRow("one default route")
        << Header + Line("v0", "00000000", gw10, "0003", "0", "00000000") + Line("v0", net10, "00000000", "0001", "0", mask24)
        << GatewayMap{{"v0", "10.1.2.1"}};
    QTest::newRow("routes to a network are not default routes")
        << Header + Line("v0", net10, gw10, "0003", "0", mask24) << GatewayMap{};
    QTest::newRow("default route without gateway flag")
        << Header + Line("tun0", "00000000", "00000000", "0001", "0", "00000000") << GatewayMap{};
    QTest::newRow("default route that is down")
        << Header + Line("v0", "00000000", gw10, "0002", "0", "00000000") << GatewayMap{};
    QTest::newRow("one gateway per interface")
        << Header + Line("eth0", "00000000", gw192, "0003", "100", "00000000")
            + Line("wlan0", "00000000", gw10, "0003", "600", "00000000")
        << GatewayMap{{"eth0", "192.168.1.1"}, {"wlan0", "10.1.2.1"}};
    QTest::newRow("lowest metric wins")
        << Header + Line("eth0", "00000000", gw192, "0003", "200", "00000000")
            + Line("eth0", "00000000", gw192b, "0003", "100", "00000000")
        << GatewayMap{{"eth0", "192.168.1.254"}};
    QTest::newRow("earlier line wins a tie")
        << Header + Line("eth0", "00000000", gw192, "0003", "100", "00000000")
            + Line("eth0", "00000000", gw192b, "0003", "100", "00000000")
        << GatewayMap{{"eth0", "192.168.1.1"}};
    QTest::newRow("malformed lines are skipped")
        << Header + "eth0\t00000000\n" + Line("eth0", "00000000", "XYZ", "0003", "0", "00000000")
            + Line("eth0", "00000000", "0101A8", "0003", "0", "00000000")
            + Line("eth1", "00000000", gw192, "0003", "0", "00000000")
        << GatewayMap{{"eth1", "192.168.1.1"}};
    QTest::newRow("first line is always the header")
        << Line("eth0", "00000000", gw192, "0003", "0", "00000000") << GatewayMap{};
}

void TestRouteTable::defaultGateways()
{
    QFETCH(QByteArray, text);
    QFETCH(GatewayMap, gateways);
    QCOMPARE(DefaultGatewaysFromRouteTable(text), gateways);
}

QTEST_GUILESS_MAIN(TestRouteTable)
#include "tst_routetable.moc"
