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
const QList<QByteArray> HostNames{"AP-Lobby", "AP-Branch"};

// Lobby: a password, also for reading its one-entry filter list. Branch: no password, answers by
// broadcast. Their MACs end in 4E and 4F.
SimulatorCore simulator(const QByteArray &faults = "{}")
{
    SimConfig config;
    if (!config.load(R"({"devices": [
        {"host_name": "AP-Lobby", "mac": "000A1B2C3D4E", "ip": "192.168.77.21", "password": "admin",
         "filter": ["001122334455"], "read_needs_password": true},
        {"host_name": "AP-Branch", "mac": "000A1B2C3D4F", "ip": "10.99.0.5", "reply": "broadcast"}], "faults": )"
                     + faults + "}"))
        qFatal("%s", qPrintable(config.errorString()));
    return SimulatorCore(config.devices(), config.faults());
}

// Index 2 names a MAC that no simulated device has.
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

QByteArray filter(const char *password, bool write = false)
{
    SequenceCounters counters;
    FilterRequestHeader header;
    header.build(target(0), QString::fromLatin1(password), write ? Flag::FilterWrite : Flag::FilterRead, counters);
    return write ? header.writeRequest({}) : header.readRequest();
}

InboundDatagram from(const QByteArray &data, const QHostAddress &sender = QHostAddress(u"192.168.77.10"_s))
{
    return InboundDatagram{data, sender, 50000, QHostAddress(QHostAddress::Broadcast), DevicePort, 0};
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
        // Each reply's status and listed MACs | each device's address afterwards, marked when on DHCP.
        QTest::addColumn<QString>("outcome");

        const QByteArray none = "{}", forced = R"({"status": 1, "devices": ["000A1B2C3D4E"]})";
        const QString unchanged = u"| 192.168.77.21 10.99.0.5"_s, taken = u"| 192.168.1.20 10.99.0.5"_s;
        QTest::newRow("right password") << setIp(0, "admin") << none << "0 " + taken;
        QTest::newRow("wrong password: one character too many") << setIp(0, "admin1") << none << "255 " + unchanged;
        QTest::newRow("DHCP") << setIp(0, "admin", Flag::SetIpDhcp) << none << u"0 | 192.168.77.21 dhcp 10.99.0.5"_s;
        QTest::newRow("DHCP, wrong password") << setIp(0, "x", Flag::SetIpDhcp) << none << "255 " + unchanged;
        QTest::newRow("address 0.0.0.0 refused") << setIp(0, "admin", Flag::SetIpStatic, 0) << none << "1 " + unchanged;
        QTest::newRow("forced status: settings taken, answer wrong") << setIp(0, "admin") << forced << "1 " + taken;
        QTest::newRow("forced status spares other devices, none of which needs a password")
            << setIp(1, "") << forced << u"0 | 192.168.77.21 192.168.1.20"_s;
        QTest::newRow("filter read, right password") << filter("admin") << none << "0 001122334455 " + unchanged;
        QTest::newRow("filter read, wrong password") << filter("x") << none << "255 " + unchanged;
        QTest::newRow("filter write, wrong password keeps the list")
            << filter("nimda", true) << none << "255 001122334455 " + unchanged;

        const QByteArray search = BuildSearchRequest(Adapter, 1);
        QTest::newRow("search one byte short") << search.left(15) << none << unchanged;
        QTest::newRow("filter write one byte long") << filter("admin", true) + '\0' << none << unchanged;
        QTest::newRow("search with wrong magic") << "\x87\x65\x43\x20" + search.mid(4) << none << unchanged;
        QTest::newRow("set-IP for an unknown MAC") << setIp(2, "admin") << none << unchanged;
    }

    void answers()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QByteArray, faults);
        QFETCH(QString, outcome);
        SimulatorCore core = simulator(faults);
        QStringList seen;
        for (const OutboundDatagram &out : core.handleManagement(from(datagram))) {
            const auto reply = FilterReply::parse(out.data); // reads the status and any list of both reply kinds
            QVERIFY(reply);
            seen << QString::number(reply->status);
            for (const MacAddress &mac : reply->addresses)
                seen << MacKey(mac);
        }
        seen << u"|"_s;
        for (const QJsonValue &device : core.stateDocument()[u"devices"_s].toArray())
            seen << device[u"ip"_s].toString() + (device[u"dhcp"_s].toBool() ? u" dhcp"_s : QString());
        QCOMPARE(seen.join(u' '), outcome);
    }

    void ownBroadcastIgnored()
    {
        // Broadcast replies loop back into the simulator's namespace; answering them would never end.
        QVERIFY(simulator().handleManagement(from(BuildSearchRequest(Adapter, 1), QHostAddress(u"10.99.0.5"_s))).isEmpty());
    }

    void dropFollowsSeed()
    {
        // Which of 200 searches the two devices answered, as 0 to 2.
        const auto answered = [](const char *seed) {
            SimulatorCore core = simulator(QByteArray(R"({"drop_rate": 0.5, "seed": )") + seed + "}");
            QString pattern;
            for (int i = 0; i < 200; ++i)
                pattern += QString::number(core.handleManagement(from(BuildSearchRequest(Adapter, quint16(i)))).size());
            return pattern;
        };
        const QString first = answered("42");
        QCOMPARE(answered("42"), first);
        QVERIFY(first.contains(u'0') && first.contains(u'2') && answered("43") != first);
    }

    void lateRateHoldsBackEveryNth()
    {
        SimulatorCore core = simulator(R"({"delay_ms": 40, "late_rate": 0.25, "late_ms": 1300})");
        QList<int> delays;
        for (int i = 0; i < 4; ++i) {
            for (const OutboundDatagram &out : core.handleManagement(from(BuildSearchRequest(Adapter, quint16(i)))))
                delays << out.delayMs;
        }
        QCOMPARE(delays, (QList<int>{40, 40, 40, 1340, 40, 40, 40, 1340}));
    }

    // A fleet fresh from the box: one address and host name, told apart by MAC alone.
    void sharedAddress()
    {
        SimConfig config;
        QVERIFY(config.load(R"({"devices": [{"host_name": "AP", "mac": "000A1B2C3D4E", "ip": "192.168.1.1"},
            {"host_name": "AP", "mac": "000A1B2C3D4F", "ip": "192.168.1.1"}]})"));
        SimulatorCore core(config.devices(), config.faults());
        QCOMPARE(core.handleManagement(from(BuildSearchRequest(Adapter, 1))).size(), 2);
        SequenceCounters counters;
        SetIpRequest request;
        request.build({{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4F}, Adapter, "AP"}, {}, Flag::SetIpStatic, 0xC0A80114,
                      0xFFFFFF00, 0, counters);
        QCOMPARE(core.handleManagement(from(request.datagram())).size(), 1);
        const QJsonArray devices = core.stateDocument()[u"devices"_s].toArray();
        QCOMPARE(devices[0][u"ip"_s].toString() + u' ' + devices[1][u"ip"_s].toString(), u"192.168.1.1 192.168.1.20"_s);
    }
};

QTEST_GUILESS_MAIN(TestSimulatorCore)
#include "tst_simulatorcore.moc"
