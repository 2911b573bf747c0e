// Runs in a private network namespace: it adds its own links and neighbour entries there.
#include "labnet.h"
#include "netenv/adapterinventory.h"
#include "netenv/linuxplatform.h"
#include "netenv/platformutils.h"

#include <QDesktopServices>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace farlight;
using farlight::test::Ip;
using farlight::test::InterfaceIndex;

namespace {

const QString Adapter = QStringLiteral("v0");
const QString Bare = QStringLiteral("w0");
const QByteArray AdapterMac = QByteArray::fromHex("021122334455");
const QByteArray BareMac = QByteArray::fromHex("02aabbccddee");

bool NeighbourListed(const QString &address, const QString &device)
{
    QByteArray output;
    Ip({QStringLiteral("neigh"), QStringLiteral("show"), QStringLiteral("dev"), device}, &output);
    return output.contains((address + QLatin1Char(' ')).toLatin1());
}

bool AddNeighbour(const QString &address, const QString &device)
{
    return Ip({QStringLiteral("neigh"), QStringLiteral("replace"), address, QStringLiteral("lladdr"),
               QStringLiteral("02:00:00:00:00:09"), QStringLiteral("dev"), device});
}

const AdapterInfo *FindAdapter(const AdapterInfoList &list, const QString &name)
{
    for (const AdapterInfo &adapter : list.adapters) {
        if (adapter.name == name)
            return &adapter;
    }
    return nullptr;
}

// Receives the URLs the desktop is asked to open, in place of a browser.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

} // namespace

class TestLinuxPlatform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void adaptersInfoCarriesInterfaces();
    void adaptersInfoLeavesOutLoopback();
    void interfaceTablesCarryInterfaces();
    void inventoryFromTheSystem_data();
    void inventoryFromTheSystem();

    void removeArpEntry_data();
    void removeArpEntry();
    void removeArpEntryWithoutPrivilege();

    void openUrlHandsUrlToDesktop();

    void secondClaimInOneProcessFails();
    void claimByAnotherProcessBlocks();
    void claimOutlivesNoKilledProcess();
    void unusableLockFileDoesNotBlock();
    void defaultLockFile();

    void osVersionCode();
};

void TestLinuxPlatform::initTestCase()
{
    const QString link = QStringLiteral("link");
    const QString addr = QStringLiteral("addr");
    QVERIFY(Ip({link, "add", Adapter, "type", "veth", "peer", "name", "v1"}));
    QVERIFY(Ip({link, "set", Adapter, "address", "02:11:22:33:44:55"}));
    QVERIFY(Ip({addr, "add", "10.1.2.3/24", "dev", Adapter}));
    QVERIFY(Ip({addr, "add", "10.1.2.200/24", "dev", Adapter}));
    QVERIFY(Ip({link, "set", Adapter, "up"}));
    QVERIFY(Ip({link, "set", "v1", "up"}));
    QVERIFY(Ip({"route", "add", "default", "via", "10.1.2.1", "dev", Adapter}));
    // A second link without any IPv4 address, left down.
    QVERIFY(Ip({link, "add", Bare, "type", "veth", "peer", "name", "w1"}));
    QVERIFY(Ip({link, "set", Bare, "address", "02:aa:bb:cc:dd:ee"}));
}

void TestLinuxPlatform::cleanupTestCase()
{
    // The namespace goes with the test process; removing the links keeps a rerun inside one clean.
    Ip({QStringLiteral("link"), QStringLiteral("del"), Adapter});
    Ip({QStringLiteral("link"), QStringLiteral("del"), Bare});
}

void TestLinuxPlatform::adaptersInfoCarriesInterfaces()
{
    LinuxPlatform platform;
    const AdapterInfoList list = platform.readAdaptersInfo();
    QCOMPARE(list.sizeResult, TableResult::Success);
    QCOMPARE(list.readResult, TableResult::Success);

    const AdapterInfo *adapter = FindAdapter(list, Adapter);
    QVERIFY(adapter);
    QCOMPARE(adapter->description, Adapter);
    QCOMPARE(adapter->address, AdapterMac);
    QCOMPARE(adapter->index, quint32(InterfaceIndex(Adapter)));
    QVERIFY(adapter->flags.up);
    QVERIFY(!adapter->flags.loopback);
    QCOMPARE(adapter->ipAddressList.size(), 2);
    QCOMPARE(adapter->ipAddressList[0].address, QStringLiteral("10.1.2.3"));
    QCOMPARE(adapter->ipAddressList[0].mask, QStringLiteral("255.255.255.0"));
    QCOMPARE(adapter->ipAddressList[1].address, QStringLiteral("10.1.2.200"));
    QCOMPARE(adapter->gatewayList, QStringList{QStringLiteral("10.1.2.1")});

    const AdapterInfo *bare = FindAdapter(list, Bare);
    QVERIFY(bare);
    QCOMPARE(bare->address, BareMac);
    QVERIFY(!bare->flags.up);
    QCOMPARE(bare->ipAddressList.size(), 1);
    QCOMPARE(bare->ipAddressList[0].address, QStringLiteral("0.0.0.0"));
    QCOMPARE(bare->ipAddressList[0].mask, QStringLiteral("0.0.0.0"));
    QCOMPARE(bare->gatewayList, QStringList{QStringLiteral("0.0.0.0")});

    // In interface index order.
    for (qsizetype i = 1; i < list.adapters.size(); ++i)
        QVERIFY(list.adapters[i - 1].index < list.adapters[i].index);
}

void TestLinuxPlatform::adaptersInfoLeavesOutLoopback()
{
    LinuxPlatform platform;
    const AdapterInfoList list = platform.readAdaptersInfo();
    QVERIFY(!FindAdapter(list, QStringLiteral("lo")));
    QStringList names;
    for (const AdapterInfo &adapter : list.adapters)
        names.append(adapter.name);
    names.sort();
    QCOMPARE(names, (QStringList{"v0", "v1", "w0", "w1"}));
}

void TestLinuxPlatform::interfaceTablesCarryInterfaces()
{
    LinuxPlatform platform;
    const IfTable interfaces = platform.readInterfaceTable();
    QVERIFY(interfaces.sizeBytes > 0);
    QCOMPARE(interfaces.readResult, TableResult::Success);
    QCOMPARE(interfaces.rows.size(), 4);
    const quint32 index = quint32(InterfaceIndex(Adapter));
    bool found = false;
    for (const IfRow &row : interfaces.rows) {
        QVERIFY(row.description != QLatin1String("lo"));
        if (row.index != index)
            continue;
        found = true;
        QCOMPARE(row.description, Adapter);
        QCOMPARE(row.physicalAddress, AdapterMac);
    }
    QVERIFY(found);

    const IpAddrTable addresses = platform.readIpAddressTable();
    QVERIFY(addresses.sizeBytes > 0);
    QCOMPARE(addresses.rows.size(), 2);
    QCOMPARE(addresses.rows[0].address, quint32(0x0A010203));
    QCOMPARE(addresses.rows[0].mask, quint32(0xFFFFFF00));
    QCOMPARE(addresses.rows[0].index, index);
    QCOMPARE(addresses.rows[1].address, quint32(0x0A0102C8));
    QCOMPARE(addresses.rows[1].index, index);
}

void TestLinuxPlatform::inventoryFromTheSystem_data()
{
    QTest::addColumn<qint32>("code");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("gateway");

    QTest::newRow("adapter information") << qint32(OsVersion::Later) << "10.1.2.3" << "10.1.2.1";
    // The interface-table variant keeps the last address of the sorted table and no gateway.
    QTest::newRow("interface table") << qint32(OsVersion::WindowsNt4) << "10.1.2.200" << "0.0.0.0";
}

void TestLinuxPlatform::inventoryFromTheSystem()
{
    QFETCH(qint32, code);
    QFETCH(QString, address);
    QFETCH(QString, gateway);

    LinuxPlatform platform;
    AdapterArray table;
    qint16 count = 0;
    bool ok = true;
    const AdapterInventoryResult result = TakeAdapterInventory(code, platform, table, count, ok);
    QCOMPARE(count, qint16(4));
    QVERIFY(result.messages.isEmpty());
    QVERIFY(ok);

    const qint32 index = InterfaceIndex(Adapter);
    int found = 0;
    for (int i = 0; i < count; ++i) {
        const AdapterRecord &entry = table[std::size_t(i)];
        if (entry.InterfaceIndex != index) {
            QCOMPARE(entry.HasAddress, qint16(0));
            continue;
        }
        ++found;
        QCOMPARE(entry.IpAddress, address);
        QCOMPARE(entry.SubnetMask, QStringLiteral("255.255.255.0"));
        QCOMPARE(entry.Gateway, gateway);
        QCOMPARE(entry.Mac, (MacAddress{0x02, 0x11, 0x22, 0x33, 0x44, 0x55}));
        QCOMPARE(entry.HasAddress, qint16(1));
    }
    QCOMPARE(found, 1);
}

void TestLinuxPlatform::removeArpEntry_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("removed");

    QTest::newRow("entry on the interface") << true << Adapter << "10.1.2.9" << true;
    QTest::newRow("no such entry") << false << Adapter << "10.1.2.9" << false;
    QTest::newRow("entry on another interface") << true << Bare << "10.1.2.9" << false;
    QTest::newRow("address text not an address") << true << Adapter << "10.1.2" << false;
    QTest::newRow("empty address text") << true << Adapter << "" << false;
    QTest::newRow("interface index 0") << true << QString() << "10.1.2.9" << false;
}

void TestLinuxPlatform::removeArpEntry()
{
    QFETCH(bool, present);
    QFETCH(QString, device);
    QFETCH(QString, address);
    QFETCH(bool, removed);

    const QString entry = QStringLiteral("10.1.2.9");
    Ip({QStringLiteral("neigh"), QStringLiteral("flush"), QStringLiteral("dev"), Adapter});
    if (present) {
        QVERIFY(AddNeighbour(entry, Adapter));
        QVERIFY(NeighbourListed(entry, Adapter));
    }

    LinuxPlatform platform;
    const qint32 index = device.isEmpty() ? 0 : InterfaceIndex(device);
    QCOMPARE(platform.removeArpEntry(index, address), removed);
    QCOMPARE(NeighbourListed(entry, Adapter), present && !removed);
}

void TestLinuxPlatform::removeArpEntryWithoutPrivilege()
{
    const QString entry = QStringLiteral("10.1.2.10");
    QVERIFY(AddNeighbour(entry, Adapter));
    // A fresh user namespace holds no privilege over this network namespace.
    QByteArray output;
    QVERIFY(farlight::test::RunProgram(
        QStringLiteral("unshare"),
        {QStringLiteral("--user"), QStringLiteral(NETENV_HELPER), QStringLiteral("delarp"),
         QString::number(InterfaceIndex(Adapter)), entry},
        &output));
    QCOMPARE(output, QByteArray("false\n"));
    QVERIFY(NeighbourListed(entry, Adapter));

    // The same request with the privilege goes through, so the refusal above was the privilege's.
    QVERIFY(farlight::test::RunProgram(
        QStringLiteral(NETENV_HELPER), {QStringLiteral("delarp"), QString::number(InterfaceIndex(Adapter)), entry},
        &output));
    QCOMPARE(output, QByteArray("true\n"));
    QVERIFY(!NeighbourListed(entry, Adapter));
}

void TestLinuxPlatform::openUrlHandsUrlToDesktop()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    LinuxPlatform platform;
    const bool opened = platform.openUrl(QUrl(QStringLiteral("http://10.1.2.9")));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QVERIFY(opened);
    QCOMPARE(catcher.urls.size(), 1);
    QCOMPARE(catcher.urls[0].toString(), QStringLiteral("http://10.1.2.9"));
}

void TestLinuxPlatform::secondClaimInOneProcessFails()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("run/farlight.lock"));
    auto first = std::make_unique<LinuxPlatform>(path);
    LinuxPlatform second(path);
    QVERIFY(first->claimSingleInstance());
    // Asking again while holding the claim is no conflict.
    QVERIFY(first->claimSingleInstance());
    QVERIFY(!second.claimSingleInstance());
    first.reset();
    QVERIFY(second.claimSingleInstance());
}

void TestLinuxPlatform::claimByAnotherProcessBlocks()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("farlight.lock"));

    QProcess holder;
    holder.start(QStringLiteral(NETENV_HELPER), {QStringLiteral("claim"), path});
    QVERIFY(holder.waitForReadyRead());
    QCOMPARE(holder.readLine(), QByteArray("claimed\n"));

    LinuxPlatform platform(path);
    QVERIFY(!platform.claimSingleInstance());

    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished());
    QCOMPARE(holder.exitCode(), 0);
    QVERIFY(platform.claimSingleInstance());

    // And the other way round: while this process holds the claim, a second copy is refused.
    QProcess second;
    second.start(QStringLiteral(NETENV_HELPER), {QStringLiteral("claim"), path});
    QVERIFY(second.waitForFinished());
    QCOMPARE(second.exitCode(), 3);
    QCOMPARE(second.readAllStandardOutput(), QByteArray("running\n"));
}

void TestLinuxPlatform::claimOutlivesNoKilledProcess()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("farlight.lock"));

    QProcess holder;
    holder.start(QStringLiteral(NETENV_HELPER), {QStringLiteral("claim"), path});
    QVERIFY(holder.waitForReadyRead());
    QCOMPARE(holder.readLine(), QByteArray("claimed\n"));
    LinuxPlatform platform(path);
    QVERIFY(!platform.claimSingleInstance());

    // A copy that dies without cleaning up leaves its lock file behind, but not its claim.
    holder.kill();
    QVERIFY(holder.waitForFinished());
    QVERIFY(QFile::exists(path));
    QVERIFY(platform.claimSingleInstance());
}

void TestLinuxPlatform::unusableLockFileDoesNotBlock()
{
    LinuxPlatform platform(QStringLiteral("/proc/farlight/farlight.lock"));
    QVERIFY(platform.claimSingleInstance());
}

void TestLinuxPlatform::defaultLockFile()
{
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    const bool wasSet = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QString path = LinuxPlatform::DefaultLockFilePath();

    // The platform made without a path claims through that file.
    LinuxPlatform platform;
    QVERIFY(platform.claimSingleInstance());
    LinuxPlatform second(path);
    const bool secondClaimed = second.claimSingleInstance();
    if (wasSet)
        qputenv("XDG_RUNTIME_DIR", saved);
    else
        qunsetenv("XDG_RUNTIME_DIR");

    QCOMPARE(path, runtime.filePath(QStringLiteral("farlight.lock")));
    QVERIFY(!secondClaimed);
}

void TestLinuxPlatform::osVersionCode()
{
    LinuxPlatform platform;
    QCOMPARE(platform.osVersionCode(), qint32(0));
}

QTEST_MAIN(TestLinuxPlatform)
#include "tst_linuxplatform.moc"
