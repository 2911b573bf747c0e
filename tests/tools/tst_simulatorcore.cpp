// The simulator's own decisions, datagram in, datagrams out: how it judges passwords, whom it
// answers, the faults it injects and the input it must ignore. Requests are built with the
// program's own builders, whose bytes the protocol tests pin down.

#include "protocol/filterrequest.h"
#include "protocol/packetheader.h"
#include "protocol/searchcodec.h"
#include "protocol/setiprequest.h"
#include "simulatorcore.h"

#include <QJsonArray>
#include <QTest>

using namespace farlight;
using namespace Qt::StringLiterals;

namespace {

const MacAddress Adapter{0x02, 0x46, 0x4C, 0x00, 0x01, 0x0A};
const QHostAddress Workstation(u"192.168.77.10"_s);
constexpr quint16 WorkstationPort = 50000;
const QList<QByteArray> HostNames{"AP-Lobby", "AP-Branch", "X"};

// Lobby: unicast, a password, one filter entry. Branch: broadcast, no password. X: a 1-character
// host name and a filter list that only the password may read. Their MACs end in 4E, 4F and 50.
SimulatorCore simulator(const QByteArray &faults = "{}")
{
    SimConfig config;
    if (!config.load(R"({"devices": [
        {"host_name": "AP-Lobby", "mac": "000A1B2C3D4E", "ip": "192.168.77.21", "password": "admin",
         "filter": ["001122334455"]},
        {"host_name": "AP-Branch", "mac": "000A1B2C3D4F", "ip": "10.99.0.5", "reply": "broadcast"},
        {"host_name": "X", "mac": "000A1B2C3D50", "ip": "192.168.77.24", "password": "admin",
         "filter": ["AABBCC000009"], "read_needs_password": true}], "faults": )"
                     + faults + "}"))
        qFatal("%s", qPrintable(config.errorString()));
    return SimulatorCore(config.devices(), config.faults());
}

// Index 3 names a MAC that no simulated device has.
AuthTarget target(int index)
{
    return {{0x00, 0x0A, 0x1B, 0x2C, 0x3D, quint8(0x4E + index)}, Adapter, HostNames.value(index, "AP-Lobby")};
}

QByteArray setIp(int index, const char *password, quint8 flag = Flag::SetIpStatic, quint32 address = 0xC0A80114)
{
    SequenceCounters counters;
    SetIpRequest request;
    request.build(target(index), QString::fromLatin1(password), flag, address, 0xFFFFFF00, 0, counters);
    return request.datagram();
}

QByteArray filter(int index, const char *password, std::optional<QList<MacAddress>> write = {})
{
    SequenceCounters counters;
    FilterRequestHeader header;
    header.build(target(index), QString::fromLatin1(password), write ? Flag::FilterWrite : Flag::FilterRead, counters);
    return write ? header.writeRequest(*write) : header.readRequest();
}

InboundDatagram from(const QByteArray &data, const QHostAddress &sender = Workstation)
{
    return InboundDatagram{data, sender, WorkstationPort, QHostAddress(QHostAddress::Broadcast), DevicePort, 0};
}

} // namespace

class TestSimulatorCore : public QObject
{
    Q_OBJECT

private slots:
    void answers_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QByteArray>("faults");
        // Where the reply goes, its status and listed MACs | the device's address, DHCP and filter list
        // afterwards; empty: no reply, nothing changed.
        QTest::addColumn<QString>("outcome");

        const MacAddress a{0xAA, 0xBB, 0xCC, 0, 0, 1}, b{0xAA, 0xBB, 0xCC, 0, 0, 2}, all{255, 255, 255, 255, 255, 255};
        const QByteArray none = "{}", forced = R"({"status": 1, "devices": ["000A1B2C3D4E"]})";
        const QString lobby = u" | 192.168.77.21 001122334455"_s;
        QTest::newRow("right password") << setIp(0, "admin") << none << "unicast 0 | 192.168.1.20 001122334455";
        QTest::newRow("wrong password") << setIp(0, "admim") << none << "unicast 255" + lobby;
        QTest::newRow("one character too many") << setIp(0, "admin1") << none << "unicast 255" + lobby;
        QTest::newRow("no password, device has none, answers by broadcast")
            << setIp(1, "") << none << "255.255.255.255 0 | 192.168.1.20";
        QTest::newRow("DHCP")
            << setIp(0, "admin", Flag::SetIpDhcp) << none << "unicast 0 | 192.168.77.21 dhcp 001122334455";
        QTest::newRow("DHCP, wrong password") << setIp(0, "x", Flag::SetIpDhcp) << none << "unicast 255" + lobby;
        QTest::newRow("address 0.0.0.0 refused")
            << setIp(0, "admin", Flag::SetIpStatic, 0) << none << "unicast 1" + lobby;
        QTest::newRow("forced status: settings taken, answer wrong")
            << setIp(0, "admin") << forced << "unicast 1 | 192.168.1.20 001122334455";
        QTest::newRow("forced status spares other devices")
            << setIp(2, "admin") << forced << "unicast 0 | 192.168.1.20 AABBCC000009";
        QTest::newRow("filter read, no password needed") << filter(0, "") << none << "unicast 0 001122334455" + lobby;
        QTest::newRow("filter read, wrong password where needed")
            << filter(2, "x") << none << "unicast 255 | 192.168.77.24 AABBCC000009";
        QTest::newRow("filter read, right password")
            << filter(2, "admin") << none << "unicast 0 AABBCC000009 | 192.168.77.24 AABBCC000009";
        QTest::newRow("filter write skips empty, broadcast and repeated slots")
            << filter(0, "admin", QList<MacAddress>{b, {}, a, all, b}) << none
            << "unicast 0 AABBCC000002 AABBCC000001 | 192.168.77.21 AABBCC000002 AABBCC000001";
        QTest::newRow("filter write, wrong password keeps the list")
            << filter(0, "nimda", QList<MacAddress>{a}) << none << "unicast 255 001122334455" + lobby;

        const QByteArray search = BuildSearchRequest(Adapter, 1);
        QTest::newRow("empty") << QByteArray() << none << "";
        QTest::newRow("search one byte short") << search.left(15) << none << "";
        QTest::newRow("filter write one byte long") << filter(0, "admin", QList<MacAddress>{}) + '\0' << none << "";
        QTest::newRow("search with wrong magic") << "\x87\x65\x43\x20" + search.mid(4) << none << "";
        QTest::newRow("set-IP for an unknown MAC") << setIp(3, "admin") << none << "";
    }

    void answers()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QByteArray, faults);
        QFETCH(QString, outcome);
        SimulatorCore core = simulator(faults);
        const QJsonDocument before = core.stateDocument();
        const auto out = core.handleManagement(from(datagram));
        if (outcome.isEmpty()) {
            QVERIFY(out.isEmpty());
            QCOMPARE(core.stateDocument(), before);
            return;
        }
        const int index = datagram.at(25) - 0x4E; // the device the request names
        QCOMPARE(out.size(), 1);
        QCOMPARE(out[0].source, core.device(index).config().ip);
        QCOMPARE(out[0].destinationPort, WorkstationPort);
        const auto reply = FilterReply::parse(out[0].data); // reads the status and any list of both reply kinds
        QVERIFY(reply);
        QStringList seen{out[0].destination == Workstation ? u"unicast"_s : out[0].destination.toString(),
                         QString::number(reply->status)};
        for (const MacAddress &mac : reply->addresses)
            seen << MacKey(mac);
        const QJsonObject state = core.stateDocument()[u"devices"_s][index].toObject();
        seen << u"|"_s << state[u"ip"_s].toString();
        if (state[u"dhcp"_s].toBool())
            seen << u"dhcp"_s;
        for (const QJsonValue &mac : state[u"filter"_s].toArray())
            seen << mac.toString();
        QCOMPARE(seen.join(u' '), outcome);
    }

    void ownBroadcastIgnored()
    {
        // Broadcast replies loop back into the simulator's namespace; answering them would never end.
        QVERIFY(simulator().handleManagement(from(BuildSearchRequest(Adapter, 1), QHostAddress(u"10.99.0.5"_s))).isEmpty());
    }

    void dropFollowsSeed()
    {
        // Which of 200 searches the three devices answered, as 0 to 3.
        const auto answered = [](const char *seed) {
            SimulatorCore core = simulator(QByteArray(R"({"drop_rate": 0.5, "seed": )") + seed + "}");
            QString pattern;
            for (int i = 0; i < 200; ++i)
                pattern += QString::number(core.handleManagement(from(BuildSearchRequest(Adapter, quint16(i)))).size());
            return pattern;
        };
        const QString first = answered("42");
        QCOMPARE(answered("42"), first);
        QVERIFY(first.contains(u'0') && first.contains(u'3'));
        QVERIFY(answered("43") != first);
    }
};

QTEST_GUILESS_MAIN(TestSimulatorCore)
#include "tst_simulatorcore.moc"
