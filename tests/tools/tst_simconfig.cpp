// The simulator's configuration: a bad file is refused with a message that names the fault.
// (The simulator tests load their devices and faults through it.)

#include "simconfig.h"

#include <QTest>

using namespace farlight;
using namespace Qt::StringLiterals;

namespace {

QByteArray withDevice(const char *extra, const char *faults = nullptr)
{
    QByteArray json = R"({"devices": [{"host_name": "AP", "mac": "00-0A-1B-2C-3D-4E", "ip": "10.0.0.2")";
    json += QByteArray(extra) + "}]";
    if (faults)
        json += QByteArray(R"(, "faults": )") + faults;
    return json + "}";
}

} // namespace

class TestSimConfig : public QObject
{
    Q_OBJECT

private slots:
    void refused_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("mentions");

        QTest::newRow("not JSON") << QByteArray("{devices: [}") << u"not valid JSON"_s;
        QTest::newRow("no devices key") << QByteArray("{}") << u"\"devices\" is missing"_s;
        QTest::newRow("unknown top-level key") << withDevice("").chopped(1) + R"(, "device": 1})" << u"\"device\""_s;
        QTest::newRow("unknown device key") << withDevice(R"(, "hostname": "x")")
                                            << u"devices[0]: unknown key \"hostname\""_s;
        QTest::newRow("missing ip") << withDevice("").replace(R"(, "ip": "10.0.0.2")", "") << u"\"ip\""_s;
        QTest::newRow("33-character host name")
            << withDevice("").replace("\"AP\"", "\"" + QByteArray(33, 'h') + "\"") << u"devices[0].host_name"_s;
        QTest::newRow("zero mac") << withDevice("").replace("00-0A-1B-2C-3D-4E", "000000000000") << u"devices[0].mac"_s;
        QTest::newRow("ip out of range") << withDevice("").replace("10.0.0.2", "10.0.0.256") << u"devices[0].ip"_s;
        QTest::newRow("channel too big") << withDevice(R"(, "channel": 256)") << u"devices[0].channel"_s;
        QTest::newRow("13-character password") << withDevice(R"(, "password": "1234567890123")")
                                               << u"devices[0].password"_s;
        QTest::newRow("unknown reply mode")
            << withDevice(R"(, "reply": "multicast")") << u"\"unicast\", \"broadcast\""_s;
        QTest::newRow("bad filter entry") << withDevice(R"(, "filter": ["001122334455", "0011223344"])")
                                          << u"devices[0].filter[1]"_s;
        QTest::newRow("same MAC twice")
            << withDevice(R"(}, {"host_name": "B", "mac": "000A1B2C3D4E", "ip": "10.0.0.3")") << u"devices[1].mac"_s;
        QTest::newRow("shared address with another mask")
            << withDevice(R"(}, {"host_name": "B", "mac": "000A1B2C3D4F", "ip": "10.0.0.2", "mask": "255.255.0.0")")
            << u"devices[1].ip"_s;
        QTest::newRow("late rate above 1") << withDevice("", R"({"late_rate": 1.01})") << u"faults.late_rate"_s;
        QTest::newRow("unknown fault") << withDevice("", R"({"loss": 0.5})") << u"faults: unknown key \"loss\""_s;
        QTest::newRow("drop rate above 1") << withDevice("", R"({"drop_rate": 1.5})") << u"faults.drop_rate"_s;
        QTest::newRow("unknown request kind") << withDevice("", R"({"requests": ["search", "reboot"]})")
                                              << u"faults.requests[1]"_s;
    }

    void refused()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, mentions);
        SimConfig config;
        QVERIFY(!config.load(json));
        QVERIFY2(config.errorString().contains(mentions), qPrintable(config.errorString()));
        QVERIFY(config.devices().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSimConfig)
#include "tst_simconfig.moc"
