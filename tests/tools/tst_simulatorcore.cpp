// The simulator's request handling, datagram in, datagrams out, with no socket involved.

#include "simulatorcore.h"
#include "wirebytes.h"

#include <QJsonArray>
#include <QRandomGenerator>
#include <QTest>

using namespace farlight;
using namespace Qt::StringLiterals;

namespace {

const QByteArray LobbyMac = wire::hex("00 0A 1B 2C 3D 4E");
const QByteArray BranchMac = wire::hex("00 0A 1B 2C 3D 60");
const QByteArray LongMac = wire::hex("00 0A 1B 2C 3D 50");
const QByteArray ShortMac = wire::hex("00 0A 1B 2C 3D 51");
const QByteArray AdapterMac = wire::hex("02 46 4C 00 01 0A");
const QByteArray OtherAdapterMac = wire::hex("02 46 4C 00 02 0A");
const char LongName[] = "Warehouse-North-Building-A-AP-01";
const QHostAddress Workstation(u"192.168.77.10"_s);
constexpr quint16 WorkstationPort = 50000;

MacAddress mac(const QByteArray &bytes)
{
    MacAddress m{};
    for (int i = 0; i < 6; ++i)
        m[std::size_t(i)] = quint8(bytes[i]);
    return m;
}

DeviceConfig device(const char *name, const QByteArray &macBytes, const char *ip, const char *password,
                    ReplyMode reply = ReplyMode::Unicast)
{
    DeviceConfig d;
    d.hostName = name;
    d.mac = mac(macBytes);
    d.ip = QHostAddress(QString::fromLatin1(ip));
    d.password = password;
    d.reply = reply;
    return d;
}

QList<DeviceConfig> fleet()
{
    DeviceConfig lobby = device("AP-Lobby", LobbyMac, "192.168.77.21", "admin");
    lobby.ssid = "lobby";
    lobby.channel = 6;
    lobby.wep = 1;
    lobby.filter = {mac(wire::hex("00 11 22 33 44 55"))};
    DeviceConfig branch = device("AP-Branch", BranchMac, "10.99.0.5", "", ReplyMode::Broadcast);
    branch.ssid = "branch";
    branch.channel = 11;
    DeviceConfig longName = device(LongName, LongMac, "192.168.77.23", "admin");
    longName.ssid = "WAREHOUSE-NORTH-WIRELESS-NETWORK";
    longName.channel = 1;
    longName.wep = 2;
    DeviceConfig shortName = device("X", ShortMac, "192.168.77.24", "admin");
    shortName.ssid = "x";
    shortName.channel = 13;
    return {lobby, branch, longName, shortName};
}

InboundDatagram from(const QByteArray &data, int interfaceIndex = 0)
{
    InboundDatagram in;
    in.data = data;
    in.sender = Workstation;
    in.senderPort = WorkstationPort;
    in.destination = QHostAddress(QHostAddress::Broadcast);
    in.destinationPort = 4000;
    in.interfaceIndex = interfaceIndex;
    return in;
}

QByteArray staticBody(const char *ip, const char *mask, const char *gateway)
{
    return wire::address(ip) + wire::address(mask) + wire::address(gateway);
}

QByteArray setIpReply(quint8 flag, quint16 sequence, const QByteArray &adapter, const QByteArray &device,
                      quint16 status)
{
    return wire::Magic + QByteArray(1, char(0x21)) + QByteArray(1, char(flag)) + wire::be16(sequence) + adapter
        + device + wire::be16(status) + wire::zeros(2);
}

QByteArray filterReply(quint8 flag, quint16 sequence, const QByteArray &adapter, const QByteArray &device,
                       quint16 status, const QByteArray &slotBytes)
{
    return wire::Magic + QByteArray(1, char(0x60)) + QByteArray(1, char(flag)) + wire::be16(sequence) + adapter
        + device + wire::be16(status) + wire::zeros(2) + slotBytes + wire::zeros(768 - slotBytes.size());
}

QJsonObject deviceState(const SimulatorCore &core, int index)
{
    return core.stateDocument().object()[u"devices"].toArray()[index].toObject();
}

} // namespace

class TestSimulatorCore : public QObject
{
    Q_OBJECT

private slots:
    void searchReplyBytes_data();
    void searchReplyBytes();
    void searchReachesEveryDeviceInItsReplyMode();
    void setIp_data();
    void setIp();
    void setIpForAnotherMacIsIgnored();
    void confirmationIsRecordedWithoutReply();
    void filterReadReturnsList();
    void filterReadWithPasswordCheck();
    void filterWriteStoresList_data();
    void filterWriteStoresList();
    void malformedDatagramsAreIgnored_data();
    void malformedDatagramsAreIgnored();
    void ownBroadcastEchoIsIgnored();
    void deviceHearsOnlyItsSegment();
    void absentDeviceStaysSilent();
    void randomDropIsReproducibleWithSeed();
    void fixedDropRateLosesExactShare();
    void duplicateAndDelayFaults();
    void wrongStatusFault();
    void wrongAdapterMacFault();
    void faultsLimitedToDeviceAndKind();
    void tftpRefusalFault();
    void logHasOneEntryPerRequest();
};

void TestSimulatorCore::searchReplyBytes_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray requester = AdapterMac;
    const auto reply = [&](const QByteArray &deviceMac, const QByteArray &host, const QByteArray &ssid,
                           quint8 channel, quint8 wep) {
        return wire::Magic + wire::hex("12 10 01 02") + requester + deviceMac + wire::zeros(8) + host
            + wire::zeros(1) + ssid + wire::zeros(1) + QByteArray(1, char(channel)) + wire::zeros(18)
            + QByteArray(1, char(wep)) + wire::zeros(71);
    };
    QTest::newRow("unicast device, WEP on") << 0
                                            << reply(LobbyMac, wire::text("AP-Lobby", 32), wire::text("lobby", 32), 6, 1);
    QTest::newRow("broadcast device") << 1
                                      << reply(BranchMac, wire::text("AP-Branch", 32), wire::text("branch", 32), 11, 0);
    QTest::newRow("32-character names have no NUL")
        << 2 << reply(LongMac, QByteArray(LongName), QByteArray("WAREHOUSE-NORTH-WIRELESS-NETWORK"), 1, 2);
    QTest::newRow("1-character host name") << 3 << reply(ShortMac, wire::text("X", 32), wire::text("x", 32), 13, 0);
}

void TestSimulatorCore::searchReplyBytes()
{
    QFETCH(int, index);
    QFETCH(QByteArray, expected);
    QCOMPARE(expected.size(), 185);

    SimulatorCore core(fleet());
    const auto out = core.handleManagement(from(wire::searchRequest(0x0102, AdapterMac)));
    QCOMPARE(out.size(), 4);
    QCOMPARE(out[index].data.toHex(' '), expected.toHex(' '));
}

void TestSimulatorCore::searchReachesEveryDeviceInItsReplyMode()
{
    SimulatorCore core(fleet());
    const auto out = core.handleManagement(from(wire::searchRequest(7, AdapterMac)));
    QCOMPARE(out.size(), 4);
    const QStringList sources{u"192.168.77.21"_s, u"10.99.0.5"_s, u"192.168.77.23"_s, u"192.168.77.24"_s};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(out[i].source.toString(), sources[i]);
        QCOMPARE(out[i].sourcePort, quint16(4000));
        QCOMPARE(out[i].destinationPort, WorkstationPort);
        QCOMPARE(out[i].delayMs, 0);
    }
    QCOMPARE(out[0].destination, Workstation);                             // unicast: back to the requester
    QCOMPARE(out[1].destination, QHostAddress(QHostAddress::Broadcast));   // broadcast: 255.255.255.255
    QCOMPARE(out[1].destination.toString(), u"255.255.255.255"_s);
}

void TestSimulatorCore::setIp_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<quint8>("flag");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<quint16>("status");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<bool>("dhcp");

    const QByteArray good = staticBody("192.168.1.20", "255.255.255.0", "192.168.1.1");
    QTest::newRow("static, right password") << 0 << QByteArray("admin") << quint8(0x10) << good << quint16(0)
                                            << u"192.168.1.20"_s << false;
    QTest::newRow("static, wrong password") << 0 << QByteArray("admim") << quint8(0x10) << good << quint16(255)
                                            << u"192.168.77.21"_s << false;
    QTest::newRow("static, empty password to a protected device")
        << 0 << QByteArray() << quint8(0x10) << good << quint16(255) << u"192.168.77.21"_s << false;
    QTest::newRow("static, password with one more character")
        << 0 << QByteArray("admin1") << quint8(0x10) << good << quint16(255) << u"192.168.77.21"_s << false;
    QTest::newRow("empty password, device without password")
        << 1 << QByteArray() << quint8(0x10) << good << quint16(0) << u"192.168.1.20"_s << false;
    QTest::newRow("1-character host name") << 3 << QByteArray("admin") << quint8(0x10) << good << quint16(0)
                                           << u"192.168.1.20"_s << false;
    QTest::newRow("32-character host name") << 2 << QByteArray("admin") << quint8(0x10) << good << quint16(0)
                                            << u"192.168.1.20"_s << false;
    QTest::newRow("DHCP, right password") << 0 << QByteArray("admin") << quint8(0x11) << QByteArray() << quint16(0)
                                          << u"192.168.77.21"_s << true;
    QTest::newRow("DHCP, wrong password") << 0 << QByteArray("x") << quint8(0x11) << QByteArray() << quint16(255)
                                          << u"192.168.77.21"_s << false;
    QTest::newRow("static address 0.0.0.0 fails")
        << 0 << QByteArray("admin") << quint8(0x10) << staticBody("0.0.0.0", "255.255.255.0", "0.0.0.0")
        << quint16(1) << u"192.168.77.21"_s << false;
    QTest::newRow("non-contiguous mask fails")
        << 0 << QByteArray("admin") << quint8(0x10) << staticBody("192.168.1.20", "255.0.255.0", "0.0.0.0")
        << quint16(1) << u"192.168.77.21"_s << false;
}

void TestSimulatorCore::setIp()
{
    QFETCH(int, index);
    QFETCH(QByteArray, password);
    QFETCH(quint8, flag);
    QFETCH(QByteArray, body);
    QFETCH(quint16, status);
    QFETCH(QString, ip);
    QFETCH(bool, dhcp);

    SimulatorCore core(fleet());
    const DeviceConfig &config = core.device(index).config();
    const QByteArray deviceMac = QByteArray(reinterpret_cast<const char *>(config.mac.data()), 6);
    const QByteArray request =
        wire::authRequest(0x21, flag, 0x0005, password, deviceMac, AdapterMac, config.hostName, body);
    QCOMPARE(request.size(), flag == 0x10 ? 44 : 32);

    const auto out = core.handleManagement(from(request));
    QCOMPARE(out.size(), 1);
    QCOMPARE(out[0].data.toHex(' '), setIpReply(flag, 0x0005, AdapterMac, deviceMac, status).toHex(' '));
    QCOMPARE(out[0].source, config.ip);
    QCOMPARE(core.takeStateChanged(), status == 0);
    const QJsonObject state = deviceState(core, index);
    QCOMPARE(state[u"ip"].toString(), ip);
    QCOMPARE(state[u"dhcp"].toBool(), dhcp);
    if (status == 0 && flag == 0x10) {
        QCOMPARE(state[u"mask"].toString(), u"255.255.255.0"_s);
        QCOMPARE(state[u"gateway"].toString(), u"192.168.1.1"_s);
    }
}

void TestSimulatorCore::setIpForAnotherMacIsIgnored()
{
    SimulatorCore core(fleet());
    const QByteArray body = staticBody("192.168.1.20", "255.255.255.0", "0.0.0.0");
    const QByteArray stranger = wire::hex("00 0A 1B 2C 3D 99");
    QVERIFY(core.handleManagement(from(wire::authRequest(0x21, 0x10, 1, "admin", stranger, AdapterMac, "AP-Lobby", body)))
                .isEmpty());

    // Only the named device answers, in its own reply mode, though every device heard the broadcast.
    const auto out =
        core.handleManagement(from(wire::authRequest(0x21, 0x10, 2, "", BranchMac, AdapterMac, "AP-Branch", body)));
    QCOMPARE(out.size(), 1);
    QCOMPARE(out[0].source.toString(), u"10.99.0.5"_s);
    QCOMPARE(out[0].destination.toString(), u"255.255.255.255"_s);
    QCOMPARE(deviceState(core, 0)[u"ip"].toString(), u"192.168.77.21"_s);
    QCOMPARE(deviceState(core, 1)[u"ip"].toString(), u"192.168.1.20"_s);
}

void TestSimulatorCore::confirmationIsRecordedWithoutReply()
{
    SimulatorCore core(fleet());
    const QByteArray request = wire::authRequest(0xA0, 0x99, 0, "admin", LobbyMac, AdapterMac, "AP-Lobby");
    QCOMPARE(request.size(), 32);
    QVERIFY(core.handleManagement(from(request)).isEmpty());
    QVERIFY(core.handleManagement(from(request)).isEmpty());
    QCOMPARE(deviceState(core, 0)[u"confirmations"].toInt(), 2);
    QCOMPARE(deviceState(core, 2)[u"confirmations"].toInt(), 0);
    QVERIFY(core.takeStateChanged());
}

void TestSimulatorCore::filterReadReturnsList()
{
    SimulatorCore core(fleet());
    // The list is readable whatever password the read carries (the program reads at dialog load).
    const QByteArray request = wire::authRequest(0x60, 0x20, 0x0102, "", LobbyMac, AdapterMac, "AP-Lobby");
    QCOMPARE(request.size(), 32);
    const auto out = core.handleManagement(from(request));
    QCOMPARE(out.size(), 1);
    QCOMPARE(out[0].data.size(), 792);
    QCOMPARE(out[0].data.toHex(' '),
             filterReply(0x30, 0x0102, AdapterMac, LobbyMac, 0, wire::hex("00 11 22 33 44 55")).toHex(' '));
}

void TestSimulatorCore::filterReadWithPasswordCheck()
{
    QList<DeviceConfig> devices = fleet();
    devices[0].readNeedsPassword = true;
    SimulatorCore core(devices);
    auto out = core.handleManagement(from(wire::authRequest(0x60, 0x20, 3, "wrong", LobbyMac, AdapterMac, "AP-Lobby")));
    QCOMPARE(out.size(), 1);
    QCOMPARE(out[0].data.toHex(' '), filterReply(0x30, 3, AdapterMac, LobbyMac, 255, {}).toHex(' '));
    out = core.handleManagement(from(wire::authRequest(0x60, 0x20, 4, "admin", LobbyMac, AdapterMac, "AP-Lobby")));
    QCOMPARE(out[0].data.toHex(' '),
             filterReply(0x30, 4, AdapterMac, LobbyMac, 0, wire::hex("00 11 22 33 44 55")).toHex(' '));
}

void TestSimulatorCore::filterWriteStoresList_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QByteArray>("slotBytes");
    QTest::addColumn<quint16>("status");
    QTest::addColumn<QStringList>("stored");

    const QByteArray a = wire::hex("AA BB CC 00 00 01");
    const QByteArray b = wire::hex("AA BB CC 00 00 02");
    const QByteArray empty = wire::zeros(6);
    const QByteArray broadcast = wire::hex("FF FF FF FF FF FF");
    QTest::newRow("two addresses") << QByteArray("admin") << a + b << quint16(0)
                                   << QStringList{u"AABBCC000001"_s, u"AABBCC000002"_s};
    QTest::newRow("empty list") << QByteArray("admin") << QByteArray() << quint16(0) << QStringList();
    QTest::newRow("empty, broadcast and repeated slots skipped")
        << QByteArray("admin") << b + empty + a + broadcast + b << quint16(0)
        << QStringList{u"AABBCC000002"_s, u"AABBCC000001"_s};
    QByteArray full;
    QStringList fullKeys;
    for (int i = 0; i < 128; ++i) {
        full += wire::hex("02 00 00 00 00") + QByteArray(1, char(i + 1));
        fullKeys << u"0200000000%1"_s.arg(i + 1, 2, 16, QLatin1Char('0')).toUpper();
    }
    QTest::newRow("128 addresses") << QByteArray("admin") << full << quint16(0) << fullKeys;
    QTest::newRow("wrong password keeps the old list")
        << QByteArray("nimda") << a + b << quint16(255) << QStringList{u"001122334455"_s};
}

void TestSimulatorCore::filterWriteStoresList()
{
    QFETCH(QByteArray, password);
    QFETCH(QByteArray, slotBytes);
    QFETCH(quint16, status);
    QFETCH(QStringList, stored);

    SimulatorCore core(fleet());
    const QByteArray body = slotBytes + wire::zeros(768 - slotBytes.size());
    const QByteArray request = wire::authRequest(0x60, 0x10, 9, password, LobbyMac, AdapterMac, "AP-Lobby", body);
    QCOMPARE(request.size(), 800);
    const auto out = core.handleManagement(from(request));
    QCOMPARE(out.size(), 1);
    QStringList state;
    for (const QJsonValue v : deviceState(core, 0)[u"filter"].toArray())
        state << v.toString();
    QCOMPARE(state, stored);

    // The write reply carries flag 0x00, the status, and the list the device now holds.
    QByteArray storedSlots;
    for (const QString &key : stored)
        storedSlots += QByteArray::fromHex(key.toLatin1());
    QCOMPARE(out[0].data.toHex(' '), filterReply(0x00, 9, AdapterMac, LobbyMac, status, storedSlots).toHex(' '));
}

void TestSimulatorCore::malformedDatagramsAreIgnored_data()
{
    QTest::addColumn<QByteArray>("datagram");

    const QByteArray search = wire::searchRequest(1, AdapterMac);
    const QByteArray setIp = wire::authRequest(0x21, 0x10, 1, "admin", LobbyMac, AdapterMac, "AP-Lobby",
                                               staticBody("192.168.1.20", "255.255.255.0", "0.0.0.0"));
    const QByteArray dhcp = wire::authRequest(0x21, 0x11, 1, "admin", LobbyMac, AdapterMac, "AP-Lobby");
    const QByteArray read = wire::authRequest(0x60, 0x20, 1, "admin", LobbyMac, AdapterMac, "AP-Lobby");
    const QByteArray write = wire::authRequest(0x60, 0x10, 1, "admin", LobbyMac, AdapterMac, "AP-Lobby",
                                               wire::zeros(768));
    const QByteArray confirm = wire::authRequest(0xA0, 0x99, 1, "admin", LobbyMac, AdapterMac, "AP-Lobby");
    QRandomGenerator random(1234);
    QByteArray garbage(1500, '\0');
    for (char &c : garbage)
        c = char(random.bounded(256));
    QByteArray wrongMagic = search;
    wrongMagic[3] = char(0x20);

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("one byte") << QByteArray(1, char(0x87));
    QTest::newRow("magic only") << wire::Magic;
    QTest::newRow("seven bytes of a header") << search.left(7);
    QTest::newRow("header only") << search.left(8);
    QTest::newRow("search one byte short") << search.left(15);
    QTest::newRow("search one byte long") << search + wire::zeros(1);
    QTest::newRow("search with wrong magic") << wrongMagic;
    QTest::newRow("search reply, not a request") << wire::Magic + wire::hex("12 10 00 01") + wire::zeros(177);
    QTest::newRow("static set-IP one byte short") << setIp.left(43);
    QTest::newRow("static set-IP one byte long") << setIp + wire::zeros(1);
    QTest::newRow("DHCP set-IP one byte short") << dhcp.left(31);
    QTest::newRow("DHCP set-IP carrying addresses") << dhcp + wire::zeros(12);
    QTest::newRow("set-IP with flag 0x12") << wire::Magic + wire::hex("21 12") + setIp.mid(6);
    QTest::newRow("confirmation one byte short") << confirm.left(31);
    QTest::newRow("filter read one byte long") << read + wire::zeros(1);
    QTest::newRow("filter write one byte short") << write.left(799);
    QTest::newRow("filter write one byte long") << write + wire::zeros(1);
    QTest::newRow("filter reply, not a request") << wire::Magic + wire::hex("60 30 00 01") + wire::zeros(784);
    QTest::newRow("unknown opcode") << wire::Magic + wire::hex("33 00 00 01") + wire::zeros(24);
    QTest::newRow("garbage") << garbage;
    QTest::newRow("garbage with magic") << wire::Magic + garbage;
    QTest::newRow("largest datagram") << QByteArray(65507, char(0x87));
}

void TestSimulatorCore::malformedDatagramsAreIgnored()
{
    QFETCH(QByteArray, datagram);
    SimulatorCore core(fleet());
    const QJsonDocument before = core.stateDocument();
    QVERIFY(core.handleManagement(from(datagram)).isEmpty());
    QCOMPARE(core.stateDocument(), before);
    QVERIFY(!core.takeStateChanged());
    const auto log = core.takeLogEntries();
    QCOMPARE(log.size(), 1);
    QCOMPARE(log[0][u"kind"].toString(), u"ignored"_s);
    QVERIFY(!log[0][u"reason"].toString().isEmpty());
}

void TestSimulatorCore::ownBroadcastEchoIsIgnored()
{
    SimulatorCore core(fleet());
    InboundDatagram echo = from(wire::searchRequest(1, AdapterMac));
    echo.sender = QHostAddress(u"10.99.0.5"_s);
    QVERIFY(core.handleManagement(echo).isEmpty());
    QVERIFY(core.takeLogEntries().isEmpty());
}

void TestSimulatorCore::deviceHearsOnlyItsSegment()
{
    SimulatorCore core(fleet());
    core.device(0).setInterfaceIndex(3);
    core.device(1).setInterfaceIndex(3);
    core.device(2).setInterfaceIndex(4);
    core.device(3).setInterfaceIndex(4);
    auto out = core.handleManagement(from(wire::searchRequest(1, AdapterMac), 3));
    QCOMPARE(out.size(), 2);
    QCOMPARE(out[0].source.toString(), u"192.168.77.21"_s);
    QCOMPARE(out[0].interfaceIndex, 3);
    QCOMPARE(out[1].source.toString(), u"10.99.0.5"_s);

    const QByteArray body = staticBody("192.168.1.20", "255.255.255.0", "0.0.0.0");
    const QByteArray request = wire::authRequest(0x21, 0x10, 2, "admin", LobbyMac, AdapterMac, "AP-Lobby", body);
    QVERIFY(core.handleManagement(from(request, 4)).isEmpty());
    QCOMPARE(core.handleManagement(from(request, 3)).size(), 1);
}

void TestSimulatorCore::absentDeviceStaysSilent()
{
    SimulatorCore core(fleet());
    core.device(1).setPresent(false);
    const auto out = core.handleManagement(from(wire::searchRequest(1, AdapterMac)));
    QCOMPARE(out.size(), 3);
    for (const auto &datagram : out)
        QVERIFY(datagram.source.toString() != u"10.99.0.5"_s);
}

namespace {

/// Which of @p count searches the first device answered, as a string of 1 and 0.
QString answeredPattern(const FaultConfig &faults, int count)
{
    QList<DeviceConfig> one{fleet().first()};
    SimulatorCore core(one, faults);
    QString pattern;
    for (int i = 0; i < count; ++i)
        pattern += core.handleManagement(from(wire::searchRequest(quint16(i), AdapterMac))).isEmpty() ? u'0' : u'1';
    return pattern;
}

} // namespace

void TestSimulatorCore::randomDropIsReproducibleWithSeed()
{
    FaultConfig faults;
    faults.dropRate = 0.5;
    faults.seed = 42;
    const QString first = answeredPattern(faults, 200);
    QCOMPARE(answeredPattern(faults, 200), first);
    // Some lost, some answered: a rate of one half over 200 requests cannot give all or nothing.
    QVERIFY(first.contains(u'0'));
    QVERIFY(first.contains(u'1'));
    faults.seed = 43;
    QVERIFY(answeredPattern(faults, 200) != first);

    faults.dropRate = 0.0;
    QCOMPARE(answeredPattern(faults, 50), QString(50, u'1'));
    faults.dropRate = 1.0;
    QCOMPARE(answeredPattern(faults, 50), QString(50, u'0'));
}

void TestSimulatorCore::fixedDropRateLosesExactShare()
{
    FaultConfig faults;
    faults.dropMode = FaultConfig::DropMode::Fixed;
    faults.dropRate = 0.25;
    QCOMPARE(answeredPattern(faults, 12), u"111011101110"_s);
    faults.dropRate = 0.5;
    QCOMPARE(answeredPattern(faults, 6), u"101010"_s);
    faults.dropRate = 0.1;
    QCOMPARE(answeredPattern(faults, 20), u"11111111101111111110"_s);
}

void TestSimulatorCore::duplicateAndDelayFaults()
{
    FaultConfig faults;
    faults.duplicate = 2;
    faults.delayMs = 1500;
    SimulatorCore core({fleet().first()}, faults);
    const auto out = core.handleManagement(from(wire::searchRequest(5, AdapterMac)));
    QCOMPARE(out.size(), 3);
    for (const auto &datagram : out) {
        QCOMPARE(datagram.data, out[0].data);
        QCOMPARE(datagram.delayMs, 1500);
    }
}

void TestSimulatorCore::wrongStatusFault()
{
    FaultConfig faults;
    faults.status = 1;
    SimulatorCore core(fleet(), faults);
    const QByteArray body = staticBody("192.168.1.20", "255.255.255.0", "0.0.0.0");
    auto out =
        core.handleManagement(from(wire::authRequest(0x21, 0x10, 1, "admin", LobbyMac, AdapterMac, "AP-Lobby", body)));
    QCOMPARE(out[0].data.toHex(' '), setIpReply(0x10, 1, AdapterMac, LobbyMac, 1).toHex(' '));
    // The device did take the settings: only its answer is wrong.
    QCOMPARE(deviceState(core, 0)[u"ip"].toString(), u"192.168.1.20"_s);
    out = core.handleManagement(from(wire::authRequest(0x60, 0x20, 2, "admin", LobbyMac, AdapterMac, "AP-Lobby")));
    QCOMPARE(out[0].data.mid(20, 2).toHex(), QByteArray("0001"));
}

void TestSimulatorCore::wrongAdapterMacFault()
{
    FaultConfig faults;
    faults.replyMac = mac(OtherAdapterMac);
    SimulatorCore core(fleet(), faults);
    auto out = core.handleManagement(from(wire::searchRequest(5, AdapterMac)));
    QCOMPARE(out[0].data.mid(8, 6), OtherAdapterMac);
    QCOMPARE(out[0].data.mid(14, 6), LobbyMac);
    out = core.handleManagement(from(wire::authRequest(0x21, 0x11, 1, "admin", LobbyMac, AdapterMac, "AP-Lobby")));
    QCOMPARE(out[0].data.toHex(' '), setIpReply(0x11, 1, OtherAdapterMac, LobbyMac, 0).toHex(' '));
}

void TestSimulatorCore::faultsLimitedToDeviceAndKind()
{
    FaultConfig faults;
    faults.dropRate = 1.0;
    faults.devices = {mac(BranchMac)};
    faults.kinds = {RequestKind::Search};
    SimulatorCore core(fleet(), faults);
    const auto out = core.handleManagement(from(wire::searchRequest(5, AdapterMac)));
    QCOMPARE(out.size(), 3);
    const auto log = core.takeLogEntries();
    QCOMPARE(log[0][u"devices"].toArray()[1].toObject()[u"action"].toString(), u"dropped"_s);
    // The same device still answers a kind the faults are not limited to.
    QCOMPARE(core.handleManagement(from(wire::authRequest(0x21, 0x11, 1, "", BranchMac, AdapterMac, "AP-Branch")))
                 .size(),
             1);
}

void TestSimulatorCore::tftpRefusalFault()
{
    FaultConfig faults;
    faults.tftpError = 3;
    SimulatorCore core(fleet(), faults);
    InboundDatagram in = from(wire::hex("00 02 2F 00 6F 63 74 65 74 00"));
    in.destination = QHostAddress(u"192.168.77.21"_s);
    in.destinationPort = 69;
    const auto out = core.handleTftp(0, in, 0);
    QCOMPARE(out.size(), 1);
    QCOMPARE(out[0].data.left(4), wire::hex("00 05 00 03"));
    QCOMPARE(out[0].data.back(), '\0');
    QCOMPARE(out[0].sourcePort, quint16(69));
    QCOMPARE(out[0].source.toString(), u"192.168.77.21"_s);
}

void TestSimulatorCore::logHasOneEntryPerRequest()
{
    SimulatorCore core(fleet());
    core.handleManagement(from(wire::searchRequest(1, AdapterMac)));
    core.handleManagement(from(wire::authRequest(0xA0, 0x99, 0, "admin", LobbyMac, AdapterMac, "AP-Lobby")));
    core.handleManagement(from(QByteArray("hello")));
    const auto log = core.takeLogEntries();
    QCOMPARE(log.size(), 3);
    QCOMPARE(log[0][u"kind"].toString(), u"search"_s);
    QCOMPARE(log[0][u"devices"].toArray().size(), 4);
    QCOMPARE(log[0][u"from"].toString(), u"192.168.77.10:50000"_s);
    QCOMPARE(log[1][u"kind"].toString(), u"confirm"_s);
    QCOMPARE(log[1][u"devices"].toArray()[0].toObject()[u"action"].toString(), u"recorded"_s);
    QCOMPARE(log[2][u"kind"].toString(), u"ignored"_s);
    QVERIFY(core.takeLogEntries().isEmpty());
}

QTEST_GUILESS_MAIN(TestSimulatorCore)
#include "tst_simulatorcore.moc"
