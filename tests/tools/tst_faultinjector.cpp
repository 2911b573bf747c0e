// The fault decisions: reproducible for a seed, exact for the fixed mode, scoped as configured.

#include "faultinjector.h"

#include <QTest>

using namespace farlight;

namespace {

constexpr MacAddress DeviceA{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
constexpr MacAddress DeviceB{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x60};

QList<bool> decisions(FaultConfig config, int count, const MacAddress &device = DeviceA,
                      RequestKind kind = RequestKind::Search)
{
    FaultInjector faults(std::move(config));
    QList<bool> result;
    for (int i = 0; i < count; ++i)
        result << faults.drop(device, kind);
    return result;
}

} // namespace

class TestFaultInjector : public QObject
{
    Q_OBJECT

private slots:
    void fixedRate_data();
    void fixedRate();
    void randomRateFollowsSeed();
    void scope();
    void noFaultsByDefault();
};

void TestFaultInjector::fixedRate_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("dropped");

    QTest::newRow("none") << 0.0 << 100 << 0;
    QTest::newRow("all") << 1.0 << 100 << 100;
    QTest::newRow("a quarter") << 0.25 << 100 << 25;
    QTest::newRow("a tenth") << 0.1 << 100 << 10;
    QTest::newRow("a third") << 1.0 / 3.0 << 99 << 33;
    QTest::newRow("0.3 over ten") << 0.3 << 10 << 3;
}

void TestFaultInjector::fixedRate()
{
    QFETCH(double, rate);
    QFETCH(int, count);
    QFETCH(int, dropped);
    FaultConfig config;
    config.dropMode = FaultConfig::DropMode::Fixed;
    config.dropRate = rate;
    QCOMPARE(decisions(config, count).count(true), dropped);
}

void TestFaultInjector::randomRateFollowsSeed()
{
    FaultConfig config;
    config.dropRate = 0.3;
    config.seed = 2024;
    const QList<bool> first = decisions(config, 1000);
    QCOMPARE(decisions(config, 1000), first);
    const int dropped = int(first.count(true));
    // 300 expected; the binomial spread (sd about 14.5) stays far inside these bounds.
    QVERIFY2(dropped > 200 && dropped < 400, qPrintable(QString::number(dropped)));
    config.seed = 2025;
    QVERIFY(decisions(config, 1000) != first);
}

void TestFaultInjector::scope()
{
    FaultConfig config;
    config.dropRate = 1.0;
    config.duplicate = 3;
    config.delayMs = 250;
    config.status = 1;
    config.tftpError = 2;
    config.devices = {DeviceB};
    config.kinds = {RequestKind::SetIp, RequestKind::Tftp};
    FaultInjector faults(config);

    QVERIFY(!faults.drop(DeviceA, RequestKind::SetIp));
    QVERIFY(!faults.drop(DeviceB, RequestKind::Search));
    QVERIFY(faults.drop(DeviceB, RequestKind::SetIp));
    QCOMPARE(faults.copies(DeviceA, RequestKind::SetIp), 1);
    QCOMPARE(faults.copies(DeviceB, RequestKind::SetIp), 4);
    QCOMPARE(faults.delayMs(DeviceB, RequestKind::Filter), 0);
    QCOMPARE(faults.delayMs(DeviceB, RequestKind::SetIp), 250);
    QCOMPARE(faults.status(DeviceB, RequestKind::SetIp), std::optional<quint16>(1));
    QCOMPARE(faults.status(DeviceA, RequestKind::SetIp), std::nullopt);
    QCOMPARE(faults.tftpError(DeviceB), std::optional<quint16>(2));
    QCOMPARE(faults.tftpError(DeviceA), std::nullopt);
}

void TestFaultInjector::noFaultsByDefault()
{
    FaultInjector faults;
    for (const RequestKind kind : {RequestKind::Search, RequestKind::SetIp, RequestKind::Confirm, RequestKind::Filter,
                                   RequestKind::Tftp}) {
        QVERIFY(!faults.drop(DeviceA, kind));
        QCOMPARE(faults.copies(DeviceA, kind), 1);
        QCOMPARE(faults.delayMs(DeviceA, kind), 0);
        QCOMPARE(faults.status(DeviceA, kind), std::nullopt);
        QCOMPARE(faults.replyMac(DeviceA, kind), std::nullopt);
    }
}

QTEST_GUILESS_MAIN(TestFaultInjector)
#include "tst_faultinjector.moc"
