// The simulator's request handling, datagram in, datagrams out, with no socket involved.

#include "simulatorcore.h"
#include "wirebytes.h"

#include <QRandomGenerator>
#include <QTest>

using namespace farlight;
using namespace Qt::StringLiterals;

namespace {

const QByteArray LobbyMac = wire::hex("00 0A 1B 2C 3D 4E");
const QByteArray BranchMac = wire::hex("00 0A 1B 2C 3D 60");
const QByteArray AdapterMac = wire::hex("02 46 4C 00 01 0A");
const QByteArray LongName = "Warehouse-North-Building-A-AP-01";
const QHostAddress Workstation(u"192.168.77.10"_s);
constexpr quint16 WorkstationPort = 50000;

DeviceConfig device(const QByteArray &name, const QByteArray &macBytes, const char *ip, const char *password,
                    ReplyMode reply = ReplyMode::Unicast)
{
    DeviceConfig d;
    d.hostName = name;
    for (int i = 0; i < 6; ++i)
        d.mac[std::size_t(i)] = quint8(macBytes[i]);
    d.ip = QHostAddress(QString::fromLatin1(ip));
    d.password = password;
    d.reply = reply;
    return d;
}

// Lobby: unicast, WEP on, one filter entry. Branch: foreign subnet, broadcast, no password.
// Then a 32-character and a 1-character host name.
QList<DeviceConfig> fleet()
{
    DeviceConfig lobby = device("AP-Lobby", LobbyMac, "192.168.77.21", "admin");
    lobby.ssid = "lobby";
    lobby.wep = 1;
    lobby.filter = {MacAddress{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}};
    DeviceConfig branch = device("AP-Branch", BranchMac, "10.99.0.5", "", ReplyMode::Broadcast);
    branch.channel = 11;
    DeviceConfig longName = device(LongName, wire::hex("00 0A 1B 2C 3D 50"), "192.168.77.23", "admin");
    longName.ssid = "WAREHOUSE-NORTH-WIRELESS-NETWORK";
    return {lobby, branch, longName, device("X", wire::hex("00 0A 1B 2C 3D 51"), "192.168.77.24", "admin")};
}

QByteArray macOf(const DeviceConfig &d)
{
    return QByteArray(reinterpret_cast<const char *>(d.mac.data()), 6);
}

InboundDatagram from(const QByteArray &data)
{
    return InboundDatagram{data, Workstation, WorkstationPort, QHostAddress(QHostAddress::Broadcast), 4000, 0};
}

QByteArray request(int index, quint8 opcode, quint8 flag, quint16 sequence, const QByteArray &password,
                   const QByteArray &body = {})
{
    const DeviceConfig d = fleet()[index];
    return wire::authRequest(opcode, flag, sequence, password, macOf(d), AdapterMac, d.hostName, body);
}

const QByteArray StaticBody = wire::address("192.168.1.20") + wire::address("255.255.255.0") + wire::zeros(4);

} // namespace

class TestSimulatorCore : public QObject
{
    Q_OBJECT

private slots:
    void searchReplies_data();
    void searchReplies();
    void setIp_data();
    void setIp();
    void filter_data();
    void filter();
    void ignoredDatagrams_data();
    void ignoredDatagrams();
    void ownBroadcastEchoIsIgnored();
    void dropFollowsSeed();
    void forcedStatusFault();
};

void TestSimulatorCore::searchReplies_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("broadcast");

    // Header echoing opcode, sequence and requester; device MAC; host name at 28, SSID at 61,
    // channel at 94, WEP at 113; 185 bytes in all.
    const auto reply = [](const char *deviceMac, const QByteArray &host, const QByteArray &ssid, const char *ch,
                          const char *wep) {
        return wire::hex("87 65 43 21 12 10 01 02 02 46 4C 00 01 0A") + wire::hex(deviceMac) + wire::zeros(8) + host
            + wire::zeros(1) + ssid + wire::zeros(1) + wire::hex(ch) + wire::zeros(18) + wire::hex(wep)
            + wire::zeros(71);
    };
    QTest::newRow("unicast, WEP on") << 0 << reply("000A1B2C3D4E", "AP-Lobby" + wire::zeros(24),
                                                   "lobby" + wire::zeros(27), "06", "01") << false;
    QTest::newRow("foreign subnet, broadcast")
        << 1 << reply("000A1B2C3D60", "AP-Branch" + wire::zeros(23), "wireless" + wire::zeros(24), "0B", "00")
        << true;
    QTest::newRow("32-character names, no NUL")
        << 2 << reply("000A1B2C3D50", LongName, "WAREHOUSE-NORTH-WIRELESS-NETWORK", "06", "00") << false;
}

void TestSimulatorCore::searchReplies()
{
    QFETCH(int, index);
    QFETCH(QByteArray, expected);
    QFETCH(bool, broadcast);
    QCOMPARE(expected.size(), 185);

    SimulatorCore core(fleet());
    const auto out = core.handleManagement(from(wire::searchRequest(0x0102, AdapterMac)));
    QCOMPARE(out.size(), 4);
    QCOMPARE(out[index].data.toHex(' '), expected.toHex(' '));
    QCOMPARE(out[index].source, fleet()[index].ip);
    QCOMPARE(out[index].sourcePort, quint16(4000));
    // Unicast goes back to the requester; broadcast to 255.255.255.255, still at the requester's port.
    QCOMPARE(out[index].destination, broadcast ? QHostAddress(QHostAddress::Broadcast) : Workstation);
    QCOMPARE(out[index].destinationPort, WorkstationPort);
}

void TestSimulatorCore::setIp_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<quint8>("flag");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("statusBytes");

    QTest::newRow("right password") << 0 << QByteArray("admin") << quint8(0x10) << StaticBody << wire::hex("0000");
    QTest::newRow("wrong password") << 0 << QByteArray("admim") << quint8(0x10) << StaticBody << wire::hex("00FF");
    QTest::newRow("one character too many") << 0 << QByteArray("admin1") << quint8(0x10) << StaticBody
                                            << wire::hex("00FF");
    QTest::newRow("empty password, device has one") << 0 << QByteArray() << quint8(0x10) << StaticBody
                                                    << wire::hex("00FF");
    QTest::newRow("empty password, device has none") << 1 << QByteArray() << quint8(0x10) << StaticBody
                                                     << wire::hex("0000");
    QTest::newRow("32-character host name") << 2 << QByteArray("admin") << quint8(0x10) << StaticBody
                                            << wire::hex("0000");
    QTest::newRow("1-character host name") << 3 << QByteArray("admin") << quint8(0x10) << StaticBody
                                           << wire::hex("0000");
    QTest::newRow("DHCP") << 0 << QByteArray("admin") << quint8(0x11) << QByteArray() << wire::hex("0000");
    QTest::newRow("DHCP, wrong password") << 0 << QByteArray("x") << quint8(0x11) << QByteArray() << wire::hex("00FF");
    QTest::newRow("address 0.0.0.0 refused")
        << 0 << QByteArray("admin") << quint8(0x10) << wire::zeros(4) + StaticBody.mid(4) << wire::hex("0001");
}

void TestSimulatorCore::setIp()
{
    QFETCH(int, index);
    QFETCH(QByteArray, password);
    QFETCH(quint8, flag);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, statusBytes);

    SimulatorCore core(fleet());
    const DeviceConfig config = fleet()[index];
    const auto out = core.handleManagement(from(request(index, 0x21, flag, 5, password, body)));
    QCOMPARE(out.size(), 1);
    // Header with the request's flag and sequence, adapter MAC, device MAC, status, two zero bytes.
    const QByteArray expected = wire::hex("87 65 43 21 21") + QByteArray(1, char(flag)) + wire::hex("00 05")
        + AdapterMac + macOf(config) + statusBytes + wire::zeros(2);
    QCOMPARE(out[0].data.toHex(' '), expected.toHex(' '));
    QCOMPARE(out[0].source, config.ip);
    QCOMPARE(out[0].destination,
             config.reply == ReplyMode::Broadcast ? QHostAddress(QHostAddress::Broadcast) : Workstation);

    const bool ok = statusBytes == wire::hex("0000");
    QCOMPARE(core.takeStateChanged(), ok);
    QCOMPARE(core.device(index).dhcp(), ok && flag == 0x11);
    QCOMPARE(core.device(index).appliedIp().toString(),
             ok && flag == 0x10 ? u"192.168.1.20"_s : config.ip.toString());
}

void TestSimulatorCore::filter_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("readNeedsPassword");
    QTest::addColumn<QByteArray>("replyHead"); // bytes 4..7 and 20..21
    QTest::addColumn<QByteArray>("list");

    const QByteArray a = wire::hex("AA BB CC 00 00 01");
    const QByteArray b = wire::hex("AA BB CC 00 00 02");
    const QByteArray old = wire::hex("00 11 22 33 44 55");
    const auto write = [](const char *password, const QByteArray &slotBytes) {
        return request(0, 0x60, 0x10, 9, password, slotBytes + wire::zeros(768 - slotBytes.size()));
    };
    QTest::newRow("read, no password needed") << request(0, 0x60, 0x20, 9, "") << false << wire::hex("60 30 00 09 0000")
                                              << old;
    QTest::newRow("read, wrong password") << request(0, 0x60, 0x20, 9, "x") << true << wire::hex("60 30 00 09 00FF")
                                          << QByteArray();
    QTest::newRow("read, right password") << request(0, 0x60, 0x20, 9, "admin") << true
                                          << wire::hex("60 30 00 09 0000") << old;
    QTest::newRow("write two") << write("admin", a + b) << false << wire::hex("60 00 00 09 0000") << a + b;
    QTest::newRow("write empty list") << write("admin", {}) << false << wire::hex("60 00 00 09 0000") << QByteArray();
    QTest::newRow("write skips empty, broadcast and repeated slots")
        << write("admin", b + wire::zeros(6) + a + wire::hex("FFFFFFFFFFFF") + b) << false
        << wire::hex("60 00 00 09 0000") << b + a;
    QTest::newRow("write, wrong password keeps the list") << write("nimda", a) << false
                                                          << wire::hex("60 00 00 09 00FF") << old;
}

void TestSimulatorCore::filter()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, readNeedsPassword);
    QFETCH(QByteArray, replyHead);
    QFETCH(QByteArray, list);

    QList<DeviceConfig> devices = fleet();
    devices[0].readNeedsPassword = readNeedsPassword;
    SimulatorCore core(devices);
    const auto out = core.handleManagement(from(datagram));
    QCOMPARE(out.size(), 1);
    // 792 bytes: header, adapter MAC, device MAC, status, two bytes, 128 slots of 6 bytes.
    const QByteArray expected = wire::Magic + replyHead.left(4) + AdapterMac + LobbyMac + replyHead.mid(4)
        + wire::zeros(2) + list + wire::zeros(768 - list.size());
    QCOMPARE(out[0].data.toHex(' '), expected.toHex(' '));
}

void TestSimulatorCore::ignoredDatagrams_data()
{
    QTest::addColumn<QByteArray>("datagram");

    const QByteArray search = wire::searchRequest(1, AdapterMac);
    QByteArray garbage(1500, '\0');
    QRandomGenerator random(1234);
    for (char &c : garbage)
        c = char(random.bounded(256));
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("magic only") << wire::Magic;
    QTest::newRow("header only") << search.left(8);
    QTest::newRow("search one byte short") << search.left(15);
    QTest::newRow("search one byte long") << search + wire::zeros(1);
    QTest::newRow("search with wrong magic") << wire::hex("87 65 43 20") + search.mid(4);
    QTest::newRow("search reply, not a request") << wire::Magic + wire::hex("12 10 00 01") + wire::zeros(177);
    QTest::newRow("static set-IP one byte short") << request(0, 0x21, 0x10, 1, "admin", StaticBody).left(43);
    QTest::newRow("DHCP set-IP carrying addresses") << request(0, 0x21, 0x11, 1, "admin", StaticBody);
    QTest::newRow("set-IP for an unknown MAC")
        << wire::authRequest(0x21, 0x11, 1, "admin", wire::hex("000A1B2C3D99"), AdapterMac, "AP-Lobby");
    QTest::newRow("filter write one byte long") << request(0, 0x60, 0x10, 1, "admin", wire::zeros(769));
    QTest::newRow("unknown opcode") << wire::Magic + wire::hex("33 00 00 01") + wire::zeros(24);
    QTest::newRow("garbage") << garbage;
    QTest::newRow("garbage after magic") << wire::Magic + garbage;
    QTest::newRow("largest datagram") << QByteArray(65507, char(0x87));
}

void TestSimulatorCore::ignoredDatagrams()
{
    QFETCH(QByteArray, datagram);
    SimulatorCore core(fleet());
    const QJsonDocument before = core.stateDocument();
    QVERIFY(core.handleManagement(from(datagram)).isEmpty());
    QCOMPARE(core.stateDocument(), before);
    QVERIFY(!core.takeStateChanged());
    const auto log = core.takeLogEntries();
    QCOMPARE(log.size(), 1);
    QVERIFY(!log[0][u"reason"].toString().isEmpty());
}

void TestSimulatorCore::ownBroadcastEchoIsIgnored()
{
    // Broadcast replies loop back into the simulator's namespace; answering them would never end.
    SimulatorCore core(fleet());
    InboundDatagram echo = from(wire::searchRequest(1, AdapterMac));
    echo.sender = fleet()[1].ip;
    QVERIFY(core.handleManagement(echo).isEmpty());
}

void TestSimulatorCore::dropFollowsSeed()
{
    // Which of 200 searches the lobby device answered, as 1 and 0.
    const auto answered = [](quint32 seed) {
        FaultConfig faults;
        faults.dropRate = 0.5;
        faults.seed = seed;
        SimulatorCore core({fleet().first()}, faults);
        QString pattern;
        for (int i = 0; i < 200; ++i)
            pattern += core.handleManagement(from(wire::searchRequest(quint16(i), AdapterMac))).isEmpty() ? u'0' : u'1';
        return pattern;
    };
    const QString first = answered(42);
    QCOMPARE(answered(42), first);
    QVERIFY(first.contains(u'0') && first.contains(u'1'));
    QVERIFY(answered(43) != first);
}

void TestSimulatorCore::forcedStatusFault()
{
    FaultConfig faults;
    faults.status = 1;
    faults.devices = {fleet()[0].mac};
    SimulatorCore core(fleet(), faults);
    auto out = core.handleManagement(from(request(0, 0x21, 0x10, 1, "admin", StaticBody)));
    QCOMPARE(out.size(), 1);
    QCOMPARE(out[0].data.mid(20, 2), wire::hex("0001"));
    // The device did take the settings: only its answer is wrong.
    QCOMPARE(core.device(0).appliedIp().toString(), u"192.168.1.20"_s);
    out = core.handleManagement(from(request(3, 0x21, 0x10, 1, "admin", StaticBody)));
    QCOMPARE(out.size(), 1);
    QCOMPARE(out[0].data.mid(20, 2), wire::hex("0000"));
}

QTEST_GUILESS_MAIN(TestSimulatorCore)
#include "tst_simulatorcore.moc"
