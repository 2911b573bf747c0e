#include "netenv/fakeplatform.h"

#include <QTest>

using namespace farlight;

class TestFakePlatform : public QObject
{
    Q_OBJECT

private slots:
    void recordsRequests();
    void singleInstance_data();
    void singleInstance();
    void addressTableQueueComesFirst();
    void helpersFillTables();
};

void TestFakePlatform::recordsRequests()
{
    FakePlatform fake;
    Platform &platform = fake;
    QVERIFY(platform.removeArpEntry(7, QStringLiteral("192.168.1.20")));
    fake.arpRemovalResult = false;
    QVERIFY(!platform.removeArpEntry(3, QStringLiteral("10.0.0.2")));
    QCOMPARE(fake.arpRemovals.size(), 2);
    QCOMPARE(fake.arpRemovals[0], (FakePlatform::ArpRemoval{7, QStringLiteral("192.168.1.20")}));
    QCOMPARE(fake.arpRemovals[1], (FakePlatform::ArpRemoval{3, QStringLiteral("10.0.0.2")}));

    QVERIFY(platform.openUrl(QUrl(QStringLiteral("http://192.168.1.20"))));
    fake.openUrlResult = false;
    QVERIFY(!platform.openUrl(QUrl(QStringLiteral("http://10.0.0.2"))));
    QCOMPARE(fake.openedUrls,
             (QList<QUrl>{QUrl(QStringLiteral("http://192.168.1.20")), QUrl(QStringLiteral("http://10.0.0.2"))}));

    fake.versionCode = OsVersion::WindowsNt4;
    QCOMPARE(platform.osVersionCode(), qint32(4400));
}

void TestFakePlatform::singleInstance_data()
{
    QTest::addColumn<bool>("otherRunning");
    QTest::newRow("alone") << false;
    QTest::newRow("another copy runs") << true;
}

void TestFakePlatform::singleInstance()
{
    QFETCH(bool, otherRunning);
    FakePlatform fake;
    fake.otherInstanceRunning = otherRunning;
    QCOMPARE(fake.claimSingleInstance(), !otherRunning);
    QCOMPARE(fake.singleInstanceClaims, 1);
}

void TestFakePlatform::addressTableQueueComesFirst()
{
    FakePlatform fake;
    fake.addAddress(2, QStringLiteral("10.0.0.1"), QStringLiteral("255.0.0.0"));
    IpAddrTable failed;
    failed.sizeBytes = 10;
    failed.readResult = 87;
    fake.ipAddressTableQueue = {failed};
    QCOMPARE(fake.readIpAddressTable().readResult, quint32(87));
    const IpAddrTable later = fake.readIpAddressTable();
    QCOMPARE(later.readResult, quint32(0));
    QCOMPARE(later.rows.size(), 1);
    QCOMPARE(fake.readIpAddressTable().rows.size(), 1);
    QCOMPARE(fake.ipAddressTableReads, 3);
}

void TestFakePlatform::helpersFillTables()
{
    FakePlatform fake;
    fake.addInterface(QStringLiteral("Ethernet"), {0, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}, 5);
    fake.addAddress(5, QStringLiteral("192.168.1.10"), QStringLiteral("255.255.255.0"));
    fake.addAdapter(QStringLiteral("Wireless"), {2, 0, 0, 0, 0, 1}, 9, QStringLiteral("10.1.1.1"),
                    QStringLiteral("255.255.0.0"), QStringLiteral("10.1.0.1"));

    const IfTable interfaces = fake.readInterfaceTable();
    QVERIFY(interfaces.sizeBytes > 0);
    QCOMPARE(interfaces.rows.size(), 1);
    QCOMPARE(interfaces.rows[0].index, quint32(5));
    QCOMPARE(interfaces.rows[0].physicalAddress, QByteArray::fromHex("000a1b2c3d4e"));

    const IpAddrTable addresses = fake.readIpAddressTable();
    QVERIFY(addresses.sizeBytes > 0);
    QCOMPARE(addresses.rows[0].address, quint32(0xC0A8010A));
    QCOMPARE(addresses.rows[0].mask, quint32(0xFFFFFF00));
    QCOMPARE(addresses.rows[0].index, quint32(5));

    const AdapterInfoList adapters = fake.readAdaptersInfo();
    QCOMPARE(adapters.adapters.size(), 1);
    QCOMPARE(adapters.adapters[0].description, QStringLiteral("Wireless"));
    QCOMPARE(adapters.adapters[0].index, quint32(9));
    QCOMPARE(adapters.adapters[0].ipAddressList[0].address, QStringLiteral("10.1.1.1"));
    QCOMPARE(adapters.adapters[0].ipAddressList[0].mask, QStringLiteral("255.255.0.0"));
    QCOMPARE(adapters.adapters[0].gatewayList, QStringList{QStringLiteral("10.1.0.1")});
    QCOMPARE(fake.interfaceTableReads, 1);
    QCOMPARE(fake.adaptersInfoReads, 1);
}

QTEST_GUILESS_MAIN(TestFakePlatform)
#include "tst_fakeplatform.moc"
