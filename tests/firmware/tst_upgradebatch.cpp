// The batch and its shared port 14321 on loopback in a private network namespace, against
// devices at 127.0.0.21 to .23 that the test answers by hand.
#include "firmware/upgradebatch.h"
#include "netenv/fakeplatform.h"
#include "protocol/tftppacket.h"

#include "../support/loopback.h"

#include <QElapsedTimer>
#include <QTest>

#include <net/if.h>

using namespace farlight;
using namespace std::chrono_literals;

class TestUpgradeBatch : public QObject
{
    Q_OBJECT

    FakePlatform m_platform;
    QUdpSocket m_devices[3]; // each device's port 69
    quint16 m_clientPort = 0;

    static DeviceTarget target(int device)
    {
        DeviceTarget target;
        target.address = QStringLiteral("127.0.0.%1").arg(21 + device);
        target.adapterAddress = QStringLiteral("127.0.0.1");
        target.interfaceIndex = qint32(if_nametoindex("lo"));
        return target;
    }

    // The next datagram at @p device: "W" for a write request, else opcode and block; "-" for none.
    QString next(int device)
    {
        const QNetworkDatagram datagram = testsupport::nextDatagram(m_devices[device]);
        if (datagram.isNull())
            return QStringLiteral("-");
        m_clientPort = quint16(datagram.senderPort());
        const QByteArray data = datagram.data();
        return Tftp::OpcodeOf(data) == Tftp::WriteRequest
            ? QStringLiteral("W")
            : QStringLiteral("%1 %2").arg(Tftp::OpcodeOf(data).value_or(0)).arg(Tftp::AckBlockOf(data).value_or(0));
    }

    void answer(int device, const QByteArray &datagram)
    {
        m_devices[device].writeDatagram(datagram, QHostAddress(QStringLiteral("127.0.0.1")), m_clientPort);
    }

private slots:
    void initTestCase()
    {
        for (int i = 0; i < 3; ++i)
            QVERIFY(m_devices[i].bind(QHostAddress(target(i).address), Tftp::ServerPort));
    }

    void init()
    {
        m_platform = FakePlatform();
        for (QUdpSocket &device : m_devices)
            testsupport::drain(device);
    }

    // A failed attempt starts again only after the pause, which holds no upload slot: the next
    // device goes first. Each attempt clears the ARP entry.
    void retryPauses()
    {
        UpgradeBatch batch(m_platform);
        batch.setJobs(1);
        batch.setRetries(1);
        batch.setRetransmitInterval(300ms);
        QSignalSpy done(&batch, &UpgradeBatch::targetFinished);
        QVERIFY(batch.start({target(0), target(1)}, "fw"));
        QCOMPARE(next(0), QStringLiteral("W"));
        QElapsedTimer clock;
        clock.start();
        answer(0, Tftp::BuildError(Tftp::DiskFull, "full"));
        QCOMPARE(next(1), QStringLiteral("W"));
        QVERIFY(!m_devices[0].hasPendingDatagrams());
        answer(1, Tftp::BuildAck(0));
        QCOMPARE(next(1), QStringLiteral("3 1"));
        answer(1, Tftp::BuildAck(1));
        QCOMPARE(next(0), QStringLiteral("W"));
        QVERIFY(clock.elapsed() >= 300);
        answer(0, Tftp::BuildAck(0));
        QCOMPARE(next(0), QStringLiteral("3 1"));
        answer(0, Tftp::BuildAck(1));
        QTRY_COMPARE(done.size(), 2);
        QCOMPARE(done[1][0].toInt(), 0);
        const auto result = done[1][1].value<UpgradeBatch::Result>();
        QCOMPARE(result.outcome, TftpUpload::Outcome::Complete);
        QCOMPARE(result.attempts, 2);
        QCOMPARE(m_platform.arpRemovals.size(), 3);
    }

    // A port taken by another program stops the batch, except on NT 4, where the upload times out.
    void portTaken_data()
    {
        QTest::addColumn<qint32>("version");
        QTest::newRow("refused") << OsVersion::Later;
        QTest::newRow("NT 4 goes on") << OsVersion::WindowsNt4;
    }

    void portTaken()
    {
        QFETCH(qint32, version);
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress::AnyIPv4, TftpUpload::LocalPort));
        m_platform.versionCode = version;
        UpgradeBatch batch(m_platform);
        batch.setRetransmitInterval(20ms);
        QSignalSpy done(&batch, &UpgradeBatch::targetFinished);
        const bool nt4 = version == OsVersion::WindowsNt4;
        QCOMPARE(batch.start({target(0)}, "fw"), nt4);
        QVERIFY(nt4 ? done.wait(3000) : m_platform.arpRemovals.isEmpty() && !m_devices[0].hasPendingDatagrams());
        if (nt4)
            QCOMPARE(done[0][1].value<UpgradeBatch::Result>().outcome, TftpUpload::Outcome::TimedOut);
    }
};

QTEST_GUILESS_MAIN(TestUpgradeBatch)
#include "tst_upgradebatch.moc"
