// One simulated device: the password check and the settings it accepts.

#include "simdevice.h"
#include "wirebytes.h"

#include <QJsonArray>
#include <QTest>

using namespace farlight;
using namespace Qt::StringLiterals;

namespace {

const QByteArray DeviceMac = wire::hex("00 0A 1B 2C 3D 4E");
const QByteArray AdapterMac = wire::hex("02 46 4C 00 01 0A");

DeviceConfig config(const QByteArray &hostName, const QByteArray &password)
{
    DeviceConfig d;
    d.hostName = hostName;
    for (int i = 0; i < 6; ++i)
        d.mac[std::size_t(i)] = quint8(DeviceMac[i]);
    d.ip = QHostAddress(u"192.168.77.21"_s);
    d.password = password;
    return d;
}

} // namespace

class TestSimDevice : public QObject
{
    Q_OBJECT

private slots:
    void passwordCheck_data();
    void passwordCheck();
    void scrambledFieldOfKnownDevice();
    void staticSettings_data();
    void staticSettings();
    void stateOfFreshDevice();
    void firmwareInState();
};

void TestSimDevice::passwordCheck_data()
{
    QTest::addColumn<QByteArray>("hostName");
    QTest::addColumn<QByteArray>("configured");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("adapterMac");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("right") << QByteArray("AP-Lobby") << QByteArray("admin") << QByteArray("admin") << AdapterMac << true;
    QTest::newRow("wrong") << QByteArray("AP-Lobby") << QByteArray("admin") << QByteArray("Admin") << AdapterMac
                           << false;
    QTest::newRow("empty sent, password configured")
        << QByteArray("AP-Lobby") << QByteArray("admin") << QByteArray() << AdapterMac << false;
    QTest::newRow("empty sent, no password configured")
        << QByteArray("AP-Lobby") << QByteArray() << QByteArray() << AdapterMac << true;
    QTest::newRow("something sent, no password configured")
        << QByteArray("AP-Lobby") << QByteArray() << QByteArray("admin") << AdapterMac << false;
    QTest::newRow("prefix of the password") << QByteArray("AP-Lobby") << QByteArray("admin") << QByteArray("admi")
                                            << AdapterMac << false;
    QTest::newRow("12 characters, no terminating zero")
        << QByteArray("AP-Lobby") << QByteArray("abcdefghijkl") << QByteArray("abcdefghijkl") << AdapterMac << true;
    QTest::newRow("1-character host name") << QByteArray("X") << QByteArray("admin") << QByteArray("admin")
                                           << AdapterMac << true;
    QTest::newRow("32-character host name") << QByteArray("Warehouse-North-Building-A-AP-01") << QByteArray("pw")
                                            << QByteArray("pw") << AdapterMac << true;
    QTest::newRow("other adapter: key follows the MAC in the request")
        << QByteArray("AP-Lobby") << QByteArray("admin") << QByteArray("admin") << wire::hex("02 46 4C 00 02 0A")
        << true;
}

void TestSimDevice::passwordCheck()
{
    QFETCH(QByteArray, hostName);
    QFETCH(QByteArray, configured);
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, adapterMac);
    QFETCH(bool, accepted);

    const SimDevice device(config(hostName, configured));
    const QByteArray request = wire::authRequest(0x21, 0x11, 0, sent, DeviceMac, adapterMac, hostName);
    QCOMPARE(device.passwordMatches(request), accepted);
}

void TestSimDevice::scrambledFieldOfKnownDevice()
{
    // "ab" with host name "XYZ" (L = 3): key bytes 00 0A 1B 2C 3D 4E | 02 46 4C 00 01 0A pick the
    // characters at 0,1,0,2,1,0 | 2,1,1,0,1,1, i.e. X Y X Z Y X | Z Y Y X Y Y.
    QByteArray field = wire::hex("61 62 00 00 00 00 00 00 00 00 00 00");
    const QByteArray picks("XYXZYXZYYXYY");
    for (int i = 0; i < 12; ++i)
        field[i] = char(field[i] ^ picks[i]);
    const QByteArray request = wire::Magic + wire::hex("21 11 00 00") + field + DeviceMac + AdapterMac;
    QVERIFY(SimDevice(config("XYZ", "ab")).passwordMatches(request));
    QVERIFY(!SimDevice(config("XYZ", "ba")).passwordMatches(request));
    QVERIFY(!SimDevice(config("XYY", "ab")).passwordMatches(request));
}

void TestSimDevice::staticSettings_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("gateway");
    QTest::addColumn<quint16>("status");

    QTest::newRow("ordinary") << u"192.168.1.20"_s << u"255.255.255.0"_s << u"192.168.1.1"_s << quint16(0);
    QTest::newRow("no gateway") << u"10.0.0.2"_s << u"255.0.0.0"_s << u"0.0.0.0"_s << quint16(0);
    QTest::newRow("/30") << u"10.0.0.1"_s << u"255.255.255.252"_s << u"0.0.0.0"_s << quint16(0);
    QTest::newRow("address 0.0.0.0") << u"0.0.0.0"_s << u"255.255.255.0"_s << u"0.0.0.0"_s << quint16(1);
    QTest::newRow("limited broadcast") << u"255.255.255.255"_s << u"255.255.255.0"_s << u"0.0.0.0"_s << quint16(1);
    QTest::newRow("loopback") << u"127.0.0.5"_s << u"255.0.0.0"_s << u"0.0.0.0"_s << quint16(1);
    QTest::newRow("multicast") << u"224.0.0.9"_s << u"255.255.255.0"_s << u"0.0.0.0"_s << quint16(1);
    QTest::newRow("network address") << u"192.168.1.0"_s << u"255.255.255.0"_s << u"0.0.0.0"_s << quint16(1);
    QTest::newRow("subnet broadcast") << u"192.168.1.255"_s << u"255.255.255.0"_s << u"0.0.0.0"_s << quint16(1);
    QTest::newRow("mask with a hole") << u"192.168.1.20"_s << u"255.255.0.255"_s << u"0.0.0.0"_s << quint16(1);
    QTest::newRow("mask 0.0.0.0") << u"192.168.1.20"_s << u"0.0.0.0"_s << u"0.0.0.0"_s << quint16(1);
    QTest::newRow("mask /32") << u"192.168.1.20"_s << u"255.255.255.255"_s << u"0.0.0.0"_s << quint16(1);
    QTest::newRow("gateway is the address") << u"192.168.1.20"_s << u"255.255.255.0"_s << u"192.168.1.20"_s
                                            << quint16(1);
    QTest::newRow("gateway multicast") << u"192.168.1.20"_s << u"255.255.255.0"_s << u"239.1.1.1"_s << quint16(1);
}

void TestSimDevice::staticSettings()
{
    QFETCH(QString, address);
    QFETCH(QString, mask);
    QFETCH(QString, gateway);
    QFETCH(quint16, status);

    SimDevice device(config("AP-Lobby", "admin"));
    const QByteArray body = wire::address(address.toLatin1()) + wire::address(mask.toLatin1())
        + wire::address(gateway.toLatin1());
    const QByteArray request = wire::authRequest(0x21, 0x10, 0, "admin", DeviceMac, AdapterMac, "AP-Lobby", body);
    QCOMPARE(device.setIp(request), status);
    QCOMPARE(device.appliedIp().toString(), status == 0 ? address : u"192.168.77.21"_s);
    QCOMPARE(device.appliedMask().toString(), status == 0 ? mask : u"255.255.255.0"_s);
    QCOMPARE(device.appliedGateway().toString(), status == 0 ? gateway : u"0.0.0.0"_s);
}

void TestSimDevice::stateOfFreshDevice()
{
    DeviceConfig c = config("AP-Lobby", "admin");
    c.filter = {MacAddress{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}};
    const QJsonObject state = SimDevice(c).stateJson();
    QCOMPARE(state[u"mac"].toString(), u"00-0A-1B-2C-3D-4E"_s);
    QCOMPARE(state[u"ip"].toString(), u"192.168.77.21"_s);
    QCOMPARE(state[u"mask"].toString(), u"255.255.255.0"_s);
    QCOMPARE(state[u"gateway"].toString(), u"0.0.0.0"_s);
    QCOMPARE(state[u"dhcp"].toBool(true), false);
    QCOMPARE(state[u"confirmations"].toInt(-1), 0);
    QCOMPARE(state[u"filter"].toArray(), QJsonArray{u"001122334455"_s});
    QCOMPARE(state[u"firmware"][u"size"].toInt(-1), 0);
    QCOMPARE(state[u"firmware"][u"sha256"].toString(u"x"_s), QString());
    QCOMPARE(state[u"firmware"][u"uploads"].toInt(-1), 0);
}

void TestSimDevice::firmwareInState()
{
    SimDevice device(config("AP-Lobby", "admin"));
    device.recordFirmware("/", QByteArray("abc"));
    const QJsonObject firmware = device.stateJson()[u"firmware"].toObject();
    QCOMPARE(firmware[u"size"].toInt(), 3);
    // SHA-256 of "abc", the standard's own test vector.
    QCOMPARE(firmware[u"sha256"].toString(), u"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"_s);
    QCOMPARE(firmware[u"uploads"].toInt(), 1);
    QCOMPARE(firmware[u"file_name"].toString(), u"/"_s);

    device.recordFirmware("/", QByteArray());
    QCOMPARE(device.stateJson()[u"firmware"][u"sha256"].toString(),
             u"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"_s);
    QCOMPARE(device.stateJson()[u"firmware"][u"uploads"].toInt(), 2);
}

QTEST_GUILESS_MAIN(TestSimDevice)
#include "tst_simdevice.moc"
