#include "netenv/routetable.h"

#include <QTest>

using namespace farlight;

using GatewayMap = QHash<QString, QString>;
Q_DECLARE_METATYPE(GatewayMap)

namespace {

const QByteArray Header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

// One line as the kernel prints it. Addresses are the hexadecimal value of their wire bytes read
// as a number of this little-endian machine: 10.1.2.1 is 0102010A.
QByteArray Line(const char *iface, const char *destination, const char *gateway, const char *flags,
                const char *metric, const char *mask = "00000000")
{
    return QByteArray(iface) + '\t' + destination + '\t' + gateway + '\t' + flags + "\t0\t0\t" + metric + '\t'
        + mask + "\t0\t0\t0\n";
}

} // namespace

class TestRouteTable : public QObject
{
    Q_OBJECT

private slots:
    void defaultGateways_data()
    {
        if (QSysInfo::ByteOrder != QSysInfo::LittleEndian)
            QSKIP("The route texts below are those of a little-endian machine.");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<GatewayMap>("gateways");

        QTest::newRow("empty text") << QByteArray() << GatewayMap{};
        QTest::newRow("first line is always the header") << Line("eth0", "00000000", "0101A8C0", "0003", "0")
                                                         << GatewayMap{};
        QTest::newRow("one default route per interface")
            << Header + Line("eth0", "00000000", "0101A8C0", "0003", "100")
                + Line("wlan0", "0002010A", "00000000", "0001", "0", "00FFFFFF")
                + Line("wlan0", "00000000", "0102010A", "0003", "600")
            << GatewayMap{{"eth0", "192.168.1.1"}, {"wlan0", "10.1.2.1"}};
        QTest::newRow("only routes to 0.0.0.0/0 that are up with a gateway")
            << Header + Line("net", "0002010A", "0102010A", "0003", "0", "00FFFFFF")
                + Line("mask", "00000000", "0102010A", "0003", "0", "00FFFFFF")
                + Line("nogw", "00000000", "00000000", "0001", "0") + Line("down", "00000000", "0102010A", "0002", "0")
            << GatewayMap{};
        QTest::newRow("lowest metric wins, then the earlier line")
            << Header + Line("eth0", "00000000", "0101A8C0", "0003", "200")
                + Line("eth0", "00000000", "FE01A8C0", "0003", "100")
                + Line("eth0", "00000000", "0201A8C0", "0003", "100")
            << GatewayMap{{"eth0", "192.168.1.254"}};
        QTest::newRow("malformed lines are skipped")
            << Header + "eth0\t00000000\n" + Line("eth0", "00000000", "XYZ", "0003", "0")
                + Line("eth0", "00000000", "0101A8", "0003", "0") + Line("eth1", "00000000", "0101A8C0", "0003", "0")
            << GatewayMap{{"eth1", "192.168.1.1"}};
    }

    void defaultGateways()
    {
        QFETCH(QByteArray, text);
        QFETCH(GatewayMap, gateways);
        QCOMPARE(DefaultGatewaysFromRouteTable(text), gateways);
    }
};

QTEST_GUILESS_MAIN(TestRouteTable)
#include "tst_routetable.moc"
