// The wait for a restart on loopback in a private network namespace: the test plays a device on
// port 4000 that answers every search. Devices that come back late or never are the upgrade --wait
// lab test's; here, that one still answering before it restarts is not taken as back.
#include "discovery/restartwatch.h"
#include "netenv/fakeplatform.h"

#include "../support/loopback.h"

#include <QElapsedTimer>
#include <QTest>

using namespace farlight;
using namespace std::chrono_literals;

namespace {
const MacAddress AdapterMac{0x02, 0, 0, 0, 0, 0x10};
const MacAddress DeviceMac{0x00, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
constexpr auto Pause = 200ms;
} // namespace

class TestRestartWatch : public QObject
{
    Q_OBJECT

private slots:
    void lookedForOnlyAfterThePause()
    {
        FakePlatform platform;
        platform.addAdapter(QStringLiteral("lo"), AdapterMac, 1, QStringLiteral("127.0.0.1"), QStringLiteral("255.0.0.0"),
                            QStringLiteral("0.0.0.0"));
        QUdpSocket device;
        QVERIFY(device.bind(QHostAddress::AnyIPv4, 4000));
        QElapsedTimer clock;
        int requests = 0;
        connect(&device, &QUdpSocket::readyRead, this, [&] {
            while (device.hasPendingDatagrams()) {
                const QNetworkDatagram request = device.receiveDatagram();
                ++requests;
                device.writeDatagram(testsupport::searchAnswer(request.data(), DeviceMac), request.senderAddress(),
                                     quint16(request.senderPort()));
            }
        });

        RestartWatch watch(platform);
        watch.setTiming(10ms, Pause);
        watch.setTimeout(2s);
        QSignalSpy finished(&watch, &RestartWatch::finished);
        DeviceTarget target;
        target.mac = DeviceMac;
        target.adapterAddress = QStringLiteral("127.0.0.1");
        clock.start();
        watch.watch(7, target);
        QVERIFY(finished.wait(4000));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished[0][0].toInt(), 7);
        QCOMPARE(finished[0][1].toBool(), true);
        const qint64 elapsed = finished[0][2].toLongLong();
        QVERIFY2(elapsed >= Pause.count(), qPrintable(QString::number(elapsed)));
        QVERIFY(!watch.isWatching());
        // A search of 15 x 10 ms, then a pause: a request every 350 ms at most, never a flood.
        QVERIFY2(requests >= 1 && requests <= clock.elapsed() / 350 + 1, qPrintable(QString::number(requests)));
    }
};

QTEST_GUILESS_MAIN(TestRestartWatch)
#include "tst_restartwatch.moc"
