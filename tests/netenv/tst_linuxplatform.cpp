// Adds its own links and neighbour entries in the test's private network namespace. The adapter
// v0 has 10.1.2.3/24 and 10.1.2.200/24 and the default route through 10.1.2.1; w0 has no address.
#include "labnet.h"
#include "netenv/adapterinventory.h"
#include "netenv/linuxplatform.h"

#include <QTemporaryDir>
#include <QTest>

using namespace farlight;
using namespace farlight::test;

namespace {

const QString Entry = QStringLiteral("10.1.2.9");
const QString AddEntry = QStringLiteral("ip neigh replace 10.1.2.9 lladdr 02:00:00:00:00:09 dev v0");

bool EntryListed()
{
    QByteArray output;
    Run("ip neigh show dev v0", &output);
    return output.contains("10.1.2.9 ");
}

} // namespace

class TestLinuxPlatform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void inventoryFromTheSystem_data();
    void inventoryFromTheSystem();
    void removeArpEntry_data();
    void removeArpEntry();
    void removeArpEntryWithoutPrivilege();
    void singleInstanceAcrossProcesses();
};

void TestLinuxPlatform::initTestCase()
{
    // Links made outside the private namespace that ctest gives the test would be this machine's.
    QVERIFY2(qgetenv("FARLIGHT_IN_NETNS") == "1", "run through ctest");
    for (const char *command : {"ip link add v0 address 02:11:22:33:44:55 type veth peer name v1",
                                "ip addr add 10.1.2.3/24 dev v0", "ip addr add 10.1.2.200/24 dev v0",
                                "ip link set v0 up", "ip link set v1 up", "ip route add default via 10.1.2.1 dev v0",
                                "ip link add w0 address 02:aa:bb:cc:dd:ee type veth peer name w1"})
        QVERIFY(Run(command));
}

void TestLinuxPlatform::inventoryFromTheSystem_data()
{
    QTest::addColumn<qint32>("code");
    QTest::addColumn<QString>("v0");

    QTest::newRow("adapter information") << 0 << "10.1.2.3 255.255.255.0 10.1.2.1 02-11-22-33-44-55 1";
    // The interface-table variant takes the last address of the sorted table and no gateway.
    QTest::newRow("interface table") << 4400 << "10.1.2.200 255.255.255.0 0.0.0.0 02-11-22-33-44-55 1";
}

void TestLinuxPlatform::inventoryFromTheSystem()
{
    QFETCH(qint32, code);
    QFETCH(QString, v0);

    LinuxPlatform platform;
    QCOMPARE(platform.osVersionCode(), 0);
    AdapterArray table;
    qint16 count = 0;
    bool ok = true;
    const AdapterInventoryResult result = TakeAdapterInventory(code, platform, table, count, ok);
    QVERIFY(result.messages.isEmpty());
    QVERIFY(ok);
    QHash<int, QString> entries;
    for (int i = 0; i < count; ++i) {
        const AdapterRecord &entry = table[std::size_t(i)];
        entries.insert(entry.InterfaceIndex, QStringLiteral("%1 %2 %3 %4 %5")
                                                 .arg(entry.IpAddress, entry.SubnetMask, entry.Gateway,
                                                      FormatMac(entry.Mac))
                                                 .arg(entry.HasAddress));
    }
    // v0, v1, w0 and w1; the loopback is left out.
    QCOMPARE(entries.size(), 4);
    QVERIFY(!entries.contains(InterfaceIndex("lo")));
    QCOMPARE(entries.value(InterfaceIndex("v0")), v0);
    QCOMPARE(entries.value(InterfaceIndex("w0")), QStringLiteral("0.0.0.0 0.0.0.0 0.0.0.0 02-AA-BB-CC-DD-EE 0"));
}

void TestLinuxPlatform::removeArpEntry_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("removed");

    QTest::newRow("entry on the interface") << true << "v0" << Entry << true;
    QTest::newRow("no such entry") << false << "v0" << Entry << false;
    QTest::newRow("entry on another interface") << true << "w0" << Entry << false;
    QTest::newRow("not an address") << true << "v0" << "10.1.2.256" << false;
    QTest::newRow("interface index 0") << true << "" << Entry << false;
}

void TestLinuxPlatform::removeArpEntry()
{
    QFETCH(bool, present);
    QFETCH(QString, device);
    QFETCH(QString, address);
    QFETCH(bool, removed);

    Run("ip neigh flush dev v0");
    if (present)
        QVERIFY(Run(AddEntry) && EntryListed());
    LinuxPlatform platform;
    QCOMPARE(platform.removeArpEntry(InterfaceIndex(device), address), removed);
    QCOMPARE(EntryListed(), present && !removed);
}

void TestLinuxPlatform::removeArpEntryWithoutPrivilege()
{
    QVERIFY(Run(AddEntry));
    const QStringList request{"delarp", QString::number(InterfaceIndex("v0")), Entry};
    // A fresh user namespace holds no privilege over this network namespace.
    QByteArray output;
    QVERIFY(RunProgram("unshare", QStringList{"--user", NETENV_HELPER} + request, &output));
    QCOMPARE(output, QByteArray("false\n"));
    QVERIFY(EntryListed());
    // With the privilege the same request goes through, so the refusal was the privilege's.
    QVERIFY(RunProgram(NETENV_HELPER, request, &output));
    QCOMPARE(output, QByteArray("true\n"));
    QVERIFY(!EntryListed());
}

void TestLinuxPlatform::singleInstanceAcrossProcesses()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("run/farlight.lock");
    QProcess holder;
    holder.start(NETENV_HELPER, {"claim", path});
    QVERIFY(holder.waitForReadyRead());
    QCOMPARE(holder.readLine(), QByteArray("claimed\n"));
    LinuxPlatform platform(path);
    QVERIFY(!platform.claimSingleInstance());

    // A copy that dies without cleaning up leaves its lock file behind, but not its claim.
    holder.kill();
    QVERIFY(holder.waitForFinished());
    QVERIFY(QFile::exists(path));
    QVERIFY(platform.claimSingleInstance());

    // While this process holds the claim, another copy is refused.
    QProcess second;
    second.start(NETENV_HELPER, {"claim", path});
    QVERIFY(second.waitForFinished());
    QCOMPARE(second.readAllStandardOutput(), QByteArray("running\n"));
    QCOMPARE(second.exitCode(), 3);

    // Where no lock can be taken there is no telling whether a copy runs; starting beats never.
    QVERIFY(LinuxPlatform("/proc/farlight/farlight.lock").claimSingleInstance());
}

QTEST_GUILESS_MAIN(TestLinuxPlatform)
#include "tst_linuxplatform.moc"
