// Reading the simulator's configuration: defaults, every accepted key, and clear refusals.

#include "simconfig.h"

#include <QTest>

using namespace farlight;
using namespace Qt::StringLiterals;

class TestSimConfig : public QObject
{
    Q_OBJECT

private slots:
    void fullDevice();
    void defaults();
    void faults();
    void refused_data();
    void refused();
    void unreadableFile();
};

void TestSimConfig::fullDevice()
{
    SimConfig config;
    QVERIFY2(config.load(R"({"devices": [{"host_name": "AP-Lobby", "mac": "00-0A-1B-2C-3D-4E",
        "ip": "192.168.77.21", "mask": "255.255.0.0", "gateway": "192.168.0.1", "ssid": "lobby", "channel": 6,
        "wep": 1, "password": "admin", "reply": "broadcast", "tftp": "fixed",
        "filter": ["001122334455", "00:aa:bb:cc:dd:ee"], "segment": 2, "read_needs_password": true,
        "comment": "front desk"}]})"),
             qPrintable(config.errorString()));
    QCOMPARE(config.devices().size(), 1);
    const DeviceConfig &d = config.devices().first();
    QCOMPARE(d.hostName, QByteArray("AP-Lobby"));
    QCOMPARE(FormatMac(d.mac), u"00-0A-1B-2C-3D-4E"_s);
    QCOMPARE(d.ip.toString(), u"192.168.77.21"_s);
    QCOMPARE(d.mask.toString(), u"255.255.0.0"_s);
    QCOMPARE(d.gateway.toString(), u"192.168.0.1"_s);
    QCOMPARE(d.ssid, QByteArray("lobby"));
    QCOMPARE(d.channel, quint8(6));
    QCOMPARE(d.wep, quint8(1));
    QCOMPARE(d.password, QByteArray("admin"));
    QCOMPARE(d.reply, ReplyMode::Broadcast);
    QCOMPARE(d.tftp, TftpMode::Fixed);
    QCOMPARE(d.filter.size(), 2);
    QCOMPARE(MacKey(d.filter[1]), u"00AABBCCDDEE"_s);
    QCOMPARE(d.segment, 2);
    QVERIFY(d.readNeedsPassword);
}

void TestSimConfig::defaults()
{
    SimConfig config;
    QVERIFY2(config.load(R"({"devices": [{"host_name": "X", "mac": "000A1B2C3D4E", "ip": "10.99.0.5"}]})"),
             qPrintable(config.errorString()));
    const DeviceConfig &d = config.devices().first();
    QCOMPARE(d.mask.toString(), u"255.255.255.0"_s);
    QCOMPARE(d.gateway.toString(), u"0.0.0.0"_s);
    QCOMPARE(d.ssid, QByteArray("wireless"));
    QCOMPARE(d.channel, quint8(6));
    QCOMPARE(d.wep, quint8(0));
    QCOMPARE(d.password, QByteArray());
    QCOMPARE(d.reply, ReplyMode::Unicast);
    QCOMPARE(d.tftp, TftpMode::Ephemeral);
    QVERIFY(d.filter.isEmpty());
    QCOMPARE(d.segment, 1);
    QVERIFY(!d.readNeedsPassword);

    const FaultConfig &f = config.faults();
    QCOMPARE(f.seed, 1u);
    QCOMPARE(f.dropRate, 0.0);
    QCOMPARE(f.duplicate, 0);
    QCOMPARE(f.delayMs, 0);
    QVERIFY(!f.status);
    QVERIFY(!f.replyMac);
    QVERIFY(!f.tftpError);
}

void TestSimConfig::faults()
{
    SimConfig config;
    QVERIFY2(config.load(R"({"devices": [{"host_name": "A", "mac": "00-0A-1B-2C-3D-4E", "ip": "10.0.0.2"}],
        "faults": {"seed": 7, "drop_rate": 0.25, "drop_mode": "fixed", "duplicate": 2, "delay_ms": 300,
                   "status": 1, "reply_mac": "02-00-00-00-00-99", "tftp_error": 3,
                   "devices": ["00-0A-1B-2C-3D-4E"], "requests": ["search", "tftp"]}})"),
             qPrintable(config.errorString()));
    const FaultConfig &f = config.faults();
    QCOMPARE(f.seed, 7u);
    QCOMPARE(f.dropRate, 0.25);
    QCOMPARE(f.dropMode, FaultConfig::DropMode::Fixed);
    QCOMPARE(f.duplicate, 2);
    QCOMPARE(f.delayMs, 300);
    QCOMPARE(f.status, std::optional<quint16>(1));
    QCOMPARE(FormatMac(*f.replyMac), u"02-00-00-00-00-99"_s);
    QCOMPARE(f.tftpError, std::optional<quint16>(3));
    QCOMPARE(f.devices.size(), 1);
    QCOMPARE(f.kinds, (QList<RequestKind>{RequestKind::Search, RequestKind::Tftp}));
}

void TestSimConfig::refused_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("mentions");

    const auto dev = [](const char *extra) {
        return QByteArray(R"({"devices": [{"host_name": "AP", "mac": "00-0A-1B-2C-3D-4E", "ip": "10.0.0.2")")
            + extra + "}]}";
    };
    QTest::newRow("not JSON") << QByteArray("{devices: [}") << u"not valid JSON"_s;
    QTest::newRow("empty file") << QByteArray() << u"not valid JSON"_s;
    QTest::newRow("top level is a list") << QByteArray("[]") << u"top level"_s;
    QTest::newRow("no devices key") << QByteArray("{}") << u"\"devices\" is missing"_s;
    QTest::newRow("no devices") << QByteArray(R"({"devices": []})") << u"devices"_s;
    QTest::newRow("unknown top-level key") << QByteArray(R"({"devices": [], "device": 1})") << u"\"device\""_s;
    QTest::newRow("unknown device key") << dev(R"(, "hostname": "x")") << u"devices[0]: unknown key \"hostname\""_s;
    QTest::newRow("missing host name")
        << QByteArray(R"({"devices": [{"mac": "00-0A-1B-2C-3D-4E", "ip": "10.0.0.2"}]})") << u"\"host_name\""_s;
    QTest::newRow("missing mac") << QByteArray(R"({"devices": [{"host_name": "A", "ip": "10.0.0.2"}]})")
                                 << u"\"mac\""_s;
    QTest::newRow("missing ip") << QByteArray(R"({"devices": [{"host_name": "A", "mac": "000A1B2C3D4E"}]})")
                                << u"\"ip\""_s;
    QTest::newRow("empty host name")
        << QByteArray(R"({"devices": [{"host_name": "", "mac": "000A1B2C3D4E", "ip": "10.0.0.2"}]})")
        << u"devices[0].host_name"_s;
    QTest::newRow("33-character host name")
        << QByteArray(R"({"devices": [{"host_name": "123456789012345678901234567890123", "mac": "000A1B2C3D4E",
            "ip": "10.0.0.2"}]})")
        << u"devices[0].host_name"_s;
    QTest::newRow("host name beyond Latin-1")
        << QByteArray(R"({"devices": [{"host_name": "AP-\u20ac", "mac": "000A1B2C3D4E", "ip": "10.0.0.2"}]})")
        << u"devices[0].host_name"_s;
    QTest::newRow("host name is a number")
        << QByteArray(R"({"devices": [{"host_name": 5, "mac": "000A1B2C3D4E", "ip": "10.0.0.2"}]})")
        << u"devices[0].host_name: must be a text"_s;
    QTest::newRow("bad mac")
        << QByteArray(R"({"devices": [{"host_name": "A", "mac": "00-0A-1B-2C-3D", "ip": "10.0.0.2"}]})")
        << u"devices[0].mac"_s;
    QTest::newRow("zero mac")
        << QByteArray(R"({"devices": [{"host_name": "A", "mac": "000000000000", "ip": "10.0.0.2"}]})")
        << u"devices[0].mac"_s;
    QTest::newRow("short ip")
        << QByteArray(R"({"devices": [{"host_name": "A", "mac": "000A1B2C3D4E", "ip": "10.2"}]})")
        << u"devices[0].ip"_s;
    QTest::newRow("ip out of range")
        << QByteArray(R"({"devices": [{"host_name": "A", "mac": "000A1B2C3D4E", "ip": "10.0.0.256"}]})")
        << u"devices[0].ip"_s;
    QTest::newRow("loopback ip")
        << QByteArray(R"({"devices": [{"host_name": "A", "mac": "000A1B2C3D4E", "ip": "127.0.0.2"}]})")
        << u"devices[0].ip"_s;
    QTest::newRow("mask with a hole") << dev(R"(, "mask": "255.0.255.0")") << u"devices[0].mask"_s;
    QTest::newRow("channel too big") << dev(R"(, "channel": 256)") << u"devices[0].channel"_s;
    QTest::newRow("channel negative") << dev(R"(, "channel": -1)") << u"devices[0].channel"_s;
    QTest::newRow("channel fractional") << dev(R"(, "channel": 6.5)") << u"devices[0].channel"_s;
    QTest::newRow("channel as text") << dev(R"(, "channel": "6")") << u"devices[0].channel"_s;
    QTest::newRow("13-character password") << dev(R"(, "password": "1234567890123")") << u"devices[0].password"_s;
    QTest::newRow("SSID too long") << dev(R"(, "ssid": "123456789012345678901234567890123")")
                                   << u"devices[0].ssid"_s;
    QTest::newRow("unknown reply mode") << dev(R"(, "reply": "multicast")") << u"\"unicast\", \"broadcast\""_s;
    QTest::newRow("unknown TFTP mode") << dev(R"(, "tftp": "random")") << u"devices[0].tftp"_s;
    QTest::newRow("filter not a list") << dev(R"(, "filter": "001122334455")") << u"devices[0].filter"_s;
    QTest::newRow("bad filter entry") << dev(R"(, "filter": ["001122334455", "0011223344"])")
                                      << u"devices[0].filter[1]"_s;
    QTest::newRow("filter entry twice") << dev(R"(, "filter": ["001122334455", "00-11-22-33-44-55"])")
                                        << u"devices[0].filter[1]"_s;
    QByteArray many = R"(, "filter": [)";
    for (int i = 0; i < 129; ++i)
        many += (i ? ", " : "") + QByteArray("\"0200000000") + QByteArray::number(i, 16).rightJustified(2, '0') + '"';
    many += "]";
    QTest::newRow("129 filter entries") << dev(many.constData()) << u"at most 128"_s;
    QTest::newRow("segment 3") << dev(R"(, "segment": 3)") << u"devices[0].segment"_s;
    QTest::newRow("read_needs_password as text") << dev(R"(, "read_needs_password": "yes")")
                                                 << u"devices[0].read_needs_password"_s;
    QTest::newRow("same MAC twice")
        << QByteArray(R"({"devices": [{"host_name": "A", "mac": "000A1B2C3D4E", "ip": "10.0.0.2"},
                                      {"host_name": "B", "mac": "00-0A-1B-2C-3D-4E", "ip": "10.0.0.3"}]})")
        << u"devices[1].mac"_s;
    QTest::newRow("same ip twice")
        << QByteArray(R"({"devices": [{"host_name": "A", "mac": "000A1B2C3D4E", "ip": "10.0.0.2"},
                                      {"host_name": "B", "mac": "000A1B2C3D4F", "ip": "10.0.0.2"}]})")
        << u"devices[1].ip"_s;

    const auto faults = [](const char *body) {
        return QByteArray(R"({"devices": [{"host_name": "A", "mac": "000A1B2C3D4E", "ip": "10.0.0.2"}], "faults": )")
            + body + "}";
    };
    QTest::newRow("faults not an object") << faults("[]") << u"faults: must be an object"_s;
    QTest::newRow("unknown fault") << faults(R"({"loss": 0.5})") << u"faults: unknown key \"loss\""_s;
    QTest::newRow("drop rate above 1") << faults(R"({"drop_rate": 1.5})") << u"faults.drop_rate"_s;
    QTest::newRow("unknown drop mode") << faults(R"({"drop_mode": "burst"})") << u"faults.drop_mode"_s;
    QTest::newRow("too many duplicates") << faults(R"({"duplicate": 11})") << u"faults.duplicate"_s;
    QTest::newRow("negative delay") << faults(R"({"delay_ms": -5})") << u"faults.delay_ms"_s;
    QTest::newRow("status beyond 16 bits") << faults(R"({"status": 65536})") << u"faults.status"_s;
    QTest::newRow("bad reply MAC") << faults(R"({"reply_mac": "nope"})") << u"faults.reply_mac"_s;
    QTest::newRow("fault for an unknown device") << faults(R"({"devices": ["00-0A-1B-2C-3D-99"]})")
                                                 << u"faults.devices[0]"_s;
    QTest::newRow("unknown request kind") << faults(R"({"requests": ["search", "reboot"]})")
                                          << u"faults.requests[1]"_s;
}

void TestSimConfig::refused()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, mentions);
    SimConfig config;
    QVERIFY(!config.load(json));
    QVERIFY2(config.errorString().contains(mentions), qPrintable(config.errorString()));
    QVERIFY(config.devices().isEmpty());
}

void TestSimConfig::unreadableFile()
{
    SimConfig config;
    QVERIFY(!config.loadFile(u"/nonexistent/apsim.json"_s));
    QVERIFY(config.errorString().contains(u"/nonexistent/apsim.json"_s));
}

QTEST_GUILESS_MAIN(TestSimConfig)
#include "tst_simconfig.moc"
